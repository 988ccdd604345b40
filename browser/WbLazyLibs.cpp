#include "browser/WbLazyLibs.h"

#include "platform/os/codepage.h"
#include "platform/os/file.h"
#include "platform/os/shell.h"
#include "platform/webview/webkit.h"
#include "platform/win/window.h"

#include <array>
#include <mutex>

namespace {

constexpr int kFeatureCount = 28;
constexpr int kPopupManagement = 5;
std::mutex featuresLock;
std::array<bool, kFeatureCount> features{};

} // namespace

intptr_t HtmlHelpCall(HWND, const std::string& File, int, int) {
    if (File.empty() || !os::IsFile(File)) return 0;
    return os::ShellOpen(File, "", "") ? 1 : 0;
}

HRESULT FeatureSwitch(int Feature, uint32_t, bool Enable) {
    if (Feature < 0 || Feature >= kFeatureCount) return E_FAIL;
    {
        std::lock_guard<std::mutex> g(featuresLock);
        features[size_t(Feature)] = Enable;
    }
    // Pop-up management: scripts open windows only when the user asked.
    if (Feature == kPopupManagement) webview::engine_data::SetPopupBlocking(Enable);
    return S_OK;
}

HRESULT FeatureQuery(int Feature, uint32_t) {
    if (Feature < 0 || Feature >= kFeatureCount) return E_FAIL;
    std::lock_guard<std::mutex> g(featuresLock);
    return features[size_t(Feature)] ? S_OK : S_FALSE;
}

void* BrowserResourceModule() {
    return webview::engine_data::LibraryHandle();
}

HWND AncestorOfClass(HWND Window, const std::string& ClassName) {
    if (!Window) return 0;
    for (HWND h = GetParent(Window); h; h = GetParent(h)) {
        if (GetClassName(h) == ClassName) return h;
        if (!(DWORD(GetWindowLongPtr(h, GWL_STYLE)) & WS_CHILD)) break;
    }
    return 0;
}

std::string ClassNameOfWindow(HWND Window) {
    return IsWindow(Window) ? GetClassName(Window) : std::string();
}

std::string WindowTextOf(HWND Window) {
    return IsWindow(Window) ? GetWindowText(Window) : std::string();
}

std::u16string TaskMemCopy(const std::string& Text) {
    return Utf8ToUtf16(Text);
}

int IndexOfText(const std::string& Text, const std::vector<std::string>& List, int LastIndex) {
    for (int i = 0; i <= LastIndex && i < int(List.size()); ++i)
        if (List[size_t(i)] == Text) return i;
    return -1;
}

int PosOfChar(char C, const std::string& Text) {
    size_t p = Text.find(C);
    return p == std::string::npos ? 0 : int(p) + 1;
}

bool BeginsWith(const std::string& Prefix, const std::string& Text) {
    return Text.compare(0, Prefix.size(), Prefix) == 0 && Text.size() >= Prefix.size();
}

size_t ItemIdListSize(const uint8_t* List) {
    if (!List) return 0;
    size_t total = 0;
    for (;;) {
        uint16_t size = uint16_t(List[total] | (List[total + 1] << 8));
        if (size == 0) break;
        total += size;
    }
    return total + 2;
}
