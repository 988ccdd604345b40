#include "platform/win/filedialog.h"

#include "platform/display/backend.h"
#include "platform/win/window.h"

namespace {

std::vector<std::pair<std::string, std::string>> parseFilter(const std::string& filter) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < filter.size()) {
        size_t end = filter.find('|', start);
        if (end == std::string::npos) end = filter.size();
        parts.push_back(filter.substr(start, end - start));
        start = end + 1;
    }
    std::vector<std::pair<std::string, std::string>> out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2)
        out.emplace_back(parts[i], parts[i + 1]);
    return out;
}

HWND topLevelOf(HWND h) {
    while (h && (DWORD(GetWindowLongPtr(h, GWL_STYLE)) & WS_CHILD))
        h = GetParent(h);
    return h;
}

std::optional<std::string> run(const display::FileDialogRequest& r) {
    // The owner takes no input while the dialog is up.
    HWND top = IsWindow(r.owner) ? topLevelOf(r.owner) : 0;
    bool wasEnabled = top && IsWindowEnabled(top);
    if (wasEnabled) EnableWindow(top, 0);
    auto answer = display::Current().RunFileDialog(r);
    if (wasEnabled && IsWindow(top)) {
        EnableWindow(top, 1);
        // The activation comes back to the window the dialog belonged to.
        if (IsWindowVisible(top)) SetActiveWindow(top);
    }
    return answer;
}

bool runFile(display::FileDialogRequest::Kind kind, HWND owner, const std::string& title,
             const std::string& filter, int filterIndex, bool confirm, std::string& fileName) {
    display::FileDialogRequest r;
    r.kind = kind;
    r.owner = owner;
    r.title = title;
    r.initial = fileName;
    r.filters = parseFilter(filter);
    r.filterIndex = filterIndex > 0 ? filterIndex - 1 : 0;
    r.confirmOverwrite = confirm;
    auto answer = run(r);
    if (!answer || answer->empty()) return false;
    fileName = *answer;
    return true;
}

} // namespace

std::string ChooseFolderDialog(HWND owner, const std::string& title,
                               const std::string& initialFolder) {
    display::FileDialogRequest r;
    r.kind = display::FileDialogRequest::ChooseFolder;
    r.owner = owner;
    r.title = title;
    r.initial = initialFolder;
    return run(r).value_or(std::string());
}

bool ChooseOpenFileDialog(HWND owner, const std::string& title, const std::string& filter,
                          int filterIndex, std::string& fileName) {
    return runFile(display::FileDialogRequest::OpenFile, owner, title, filter, filterIndex, false,
                   fileName);
}

bool ChooseSaveFileDialog(HWND owner, const std::string& title, const std::string& filter,
                          int filterIndex, bool confirmOverwrite, std::string& fileName) {
    return runFile(display::FileDialogRequest::SaveFile, owner, title, filter, filterIndex,
                   confirmOverwrite, fileName);
}
