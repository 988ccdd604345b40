#include "platform/player/player.h"

#include <cctype>
#include <filesystem>

namespace player {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecode(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            const int hi = hexValue(s[i + 1]);
            const int lo = hexValue(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += char(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

} // namespace

bool ParseCommandUrl(const std::string& url, std::string& command, std::string& argument) {
    const std::string scheme = kCommandScheme;
    if (url.size() < scheme.size()) return false;
    for (std::size_t i = 0; i < scheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(url[i])) != scheme[i]) return false;
    const std::string rest = url.substr(scheme.size());
    const std::size_t slash = rest.find('/');
    command = percentDecode(rest.substr(0, slash));
    argument = slash == std::string::npos ? std::string() : percentDecode(rest.substr(slash + 1));
    return !command.empty();
}

PlayerView::PlayerView(HWND host, std::string pageFile, bool forceHeadless)
    : view_(webview::CreateView(host, forceHeadless)), pageFile_(std::move(pageFile)) {
    webview::Settings settings;
    settings.contextMenu = false;
    settings.scrollBars = false;
    settings.border3D = false;
    settings.textSelection = false;
    view_->Apply(settings);
    view_->OnBeforeNavigate = [this](webview::Navigation& nav, bool& cancel) {
        std::string command, argument;
        if (!ParseCommandUrl(nav.url, command, argument)) return;
        cancel = true;
        if (OnCommand) OnCommand(command, argument);
    };
    view_->OnDocumentComplete = [this](const std::string&) {
        if (ready_) return;
        ready_ = true;
        auto pending = std::move(pending_);
        pending_.clear();
        for (const auto& [name, value] : pending)
            deliver(name, value);
    };
}

PlayerView::~PlayerView() {
    view_->OnBeforeNavigate = nullptr;
    view_->OnDocumentComplete = nullptr;
}

bool PlayerView::Load() {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(pageFile_, ec)) return false;
    ready_ = false;
    webview::Navigation nav;
    nav.url = webview::FileUrl(pageFile_);
    return view_->Navigate(nav);
}

void PlayerView::SetVariable(const std::string& name, const std::string& value) {
    history_.emplace_back(name, value);
    if (!ready_) {
        pending_.emplace_back(name, value);
        return;
    }
    deliver(name, value);
}

void PlayerView::deliver(const std::string& name, const std::string& value) {
    // The page may be busy loading media: a short wait is enough.
    view_->Evaluate("SetVariable(" + webview::JsString(name) + "," + webview::JsString(value) + ")",
                    1000);
}

} // namespace player
