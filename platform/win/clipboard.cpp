#include "platform/win/clipboard.h"

#include "platform/display/backend.h"

BOOL SetClipboardText(const std::string& text) {
    display::Current().SetClipboardText(text);
    return 1;
}

std::string GetClipboardText() {
    return display::Current().GetClipboardText().value_or(std::string());
}

BOOL ClipboardHasText() {
    auto t = display::Current().GetClipboardText();
    return t && !t->empty();
}
