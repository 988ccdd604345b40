// The clipboard's text, through the display backend (the desktop's clipboard
// under a display, one inside the process headless).
#pragma once

#include <string>

#include "platform/win/types.h"

BOOL SetClipboardText(const std::string& text);
// Empty when the clipboard holds no text.
std::string GetClipboardText();
BOOL ClipboardHasText();
