#include "platform/webview/headless.h"

#include "platform/os/codepage.h"
#include "platform/os/file.h"
#include "platform/win/input.h"
#include "platform/win/messages.h"
#include "platform/win/queue.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <regex>

namespace webview {
namespace {

std::mutex resourcesLock;
std::map<std::string, std::string>& resources() {
    static std::map<std::string, std::string> r;
    return r;
}

constexpr int64_t kMaxFile = 256ll << 20;

std::string lowerOf(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return {};
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

std::string percentDecode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() &&
            std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += char(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string schemeOf(const std::string& url) {
    size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0) return {};
    for (size_t i = 0; i < colon; ++i) {
        char c = url[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return {};
    }
    return lowerOf(url.substr(0, colon));
}

// href resolved against the page address the simple ways pages use.
std::string resolveHref(const std::string& base, const std::string& href) {
    if (!schemeOf(href).empty()) return href;
    if (href.empty()) return base;
    if (href[0] == '#') return base.substr(0, base.find('#')) + href;
    size_t schemeEnd = base.find("://");
    if (schemeEnd == std::string::npos) return href;
    if (href[0] == '/') {
        size_t hostEnd = base.find('/', schemeEnd + 3);
        return (hostEnd == std::string::npos ? base : base.substr(0, hostEnd)) + href;
    }
    size_t slash = base.rfind('/');
    return base.substr(0, slash + 1) + href;
}

ScriptResult fail(const std::string& e) {
    return ScriptResult{false, {}, e};
}
ScriptResult okValue(const std::string& v) {
    return ScriptResult{true, v, {}};
}

} // namespace

HeadlessView::HeadlessView(HWND host) : View(host) {}

HeadlessView::~HeadlessView() {
    *alive_ = false;
}

void HeadlessView::SetResource(const std::string& url, const std::string& html) {
    std::lock_guard<std::mutex> g(resourcesLock);
    resources()[url] = html;
}

void HeadlessView::ClearResources() {
    std::lock_guard<std::mutex> g(resourcesLock);
    resources().clear();
}

void HeadlessView::post(std::function<void()> call) {
    std::weak_ptr<bool> alive = alive_;
    PostThreadCall(GetCurrentThreadId(), [alive, call = std::move(call)] {
        if (auto a = alive.lock(); a && *a) call();
    });
}

void HeadlessView::setState(ReadyState s) {
    if (state_ == s) return;
    state_ = s;
    if (OnStateChange) OnStateChange(s);
}

bool HeadlessView::Navigate(const Navigation& nav) {
    if (trim(nav.url).empty() || schemeOf(nav.url).empty()) return false;
    uint64_t serial = ++serial_;
    post([this, nav, serial] {
        Navigation n = nav;
        bool cancel = false;
        if (OnBeforeNavigate) OnBeforeNavigate(n, cancel);
        if (!cancel) begin(n, true, serial);
    });
    return true;
}

bool HeadlessView::resolve(const std::string& url, std::string& html, std::string& error) {
    std::string scheme = schemeOf(url);
    if (lowerOf(url) == "about:blank") {
        html.clear();
        return true;
    }
    if (scheme == "about") {
        // The text after "about:" is the page.
        html = url.substr(6);
        return true;
    }
    if (scheme == "file") {
        std::string path = percentDecode(url.substr(7));
        if (path.compare(0, 9, "localhost") == 0) path = path.substr(9);
        path = path.substr(0, path.find_first_of("?#"));
        if (os::IsDirectory(path)) {
            html = "<html><head><title>" + path + "</title></head><body></body></html>";
            return true;
        }
        if (!os::ReadWholeFile(path, html, kMaxFile)) {
            error = "file not found";
            return false;
        }
        return true;
    }
    {
        std::lock_guard<std::mutex> g(resourcesLock);
        auto it = resources().find(url);
        if (it != resources().end()) {
            html = it->second;
            return true;
        }
    }
    if (scheme == "http" || scheme == "https") {
        // No network here: an empty page stands for it.
        html.clear();
        return true;
    }
    if (scheme == "data") {
        size_t comma = url.find(',');
        html = comma == std::string::npos ? std::string() : percentDecode(url.substr(comma + 1));
        return true;
    }
    error = "unsupported scheme: " + scheme;
    return false;
}

void HeadlessView::begin(const Navigation& nav, bool pushHistory, uint64_t serial) {
    navigations_.push_back(nav);
    // A load asked for after this one has replaced it.
    if (serial != serial_) return;
    std::string html, error;
    if (!resolve(nav.url, html, error)) {
        if (OnNavigateError) OnNavigateError(nav.url, error);
        return;
    }
    if (pushHistory) {
        history_.resize(std::min(history_.size(), historyPos_ + (history_.empty() ? 0 : 1)));
        history_.push_back(nav.url);
        historyPos_ = history_.size() - 1;
    }
    hasDoc_ = true;
    setState(ReadyState::Loading);
    std::string url = nav.url;
    post([this, url, html, serial] { finish(url, html, "", serial); });
}

bool HeadlessView::LoadHtml(const std::string& bytes, const std::string& charset,
                            const std::string& baseUrl) {
    uint64_t serial = ++serial_;
    memoryBytes_ = bytes;
    memoryBase_ = baseUrl.empty() ? "about:blank" : baseUrl;
    hasDoc_ = true;
    setState(ReadyState::Loading);
    std::string cs = charset.empty() ? "UTF-8" : charset;
    std::string html = lowerOf(cs) == "utf-8" ? bytes : ConvertCharset(bytes, cs, "UTF-8");
    std::string url = baseUrl.empty() ? "about:blank" : baseUrl;
    post([this, url, html, cs, serial] { finish(url, html, cs, serial); });
    return true;
}

void HeadlessView::finish(const std::string& url, std::string html, const std::string& charset,
                          uint64_t serial) {
    if (serial != serial_) return; // a later load replaced this one
    if (hold_) return;
    doc_.Parse(html);
    url_ = url;
    std::string meta = doc_.MetaCharset();
    charset_ = !charset.empty() ? charset : !meta.empty() ? meta : "UTF-8";
    scroll_ = POINT{0, 0};
    selection_.clear();
    findPos_ = std::string::npos;
    std::string title = doc_.Title();
    setState(ReadyState::Interactive);
    if (title != title_ || title.empty()) {
        title_ = title;
        if (OnTitleChange) OnTitleChange(title_.empty() ? url_ : title_);
    }
    if (OnNavigateComplete) OnNavigateComplete(url_);
    setState(ReadyState::Complete);
    if (OnDocumentComplete) OnDocumentComplete(url_);
}

bool HeadlessView::GoBack() {
    if (historyPos_ == 0 || history_.empty()) return false;
    --historyPos_;
    Navigation nav;
    nav.url = history_[historyPos_];
    uint64_t serial = ++serial_;
    post([this, nav, serial] { begin(nav, false, serial); });
    return true;
}

bool HeadlessView::GoForward() {
    if (historyPos_ + 1 >= history_.size()) return false;
    ++historyPos_;
    Navigation nav;
    nav.url = history_[historyPos_];
    uint64_t serial = ++serial_;
    post([this, nav, serial] { begin(nav, false, serial); });
    return true;
}

void HeadlessView::Stop() {
    if (state_ == ReadyState::Complete || !hasDoc_) return;
    ++serial_;
    setState(ReadyState::Complete);
}

void HeadlessView::Reload(bool) {
    if (url_.empty()) return;
    Navigation nav;
    nav.url = url_;
    uint64_t serial = ++serial_;
    post([this, nav, serial] { begin(nav, false, serial); });
}

bool HeadlessView::SetCharset(const std::string& charset, bool reload) {
    if (!hasDoc_) return false;
    if (!reload) return true;
    if (url_ == memoryBase_) return LoadHtml(std::string(memoryBytes_), charset, memoryBase_);
    Reload(false);
    return true;
}

void HeadlessView::ClearBackForward() {
    if (history_.empty()) return;
    std::string current = history_[historyPos_];
    history_.assign(1, current);
    historyPos_ = 0;
}

bool HeadlessView::RunPageSetupDialog() {
    ++pageSetupDialogs_;
    if (!PageSetupDialogAnswer) return false;
    pageSetup_ = *PageSetupDialogAnswer;
    return true;
}

bool HeadlessView::PrintPreview() {
    if (!hasDoc_) return false;
    ++previews_;
    return true;
}

ScriptResult HeadlessView::Evaluate(const std::string& script, unsigned) {
    scripts_.push_back(script);
    if (!hasDoc_) return fail("no document");
    if (ScriptHandler)
        if (auto r = ScriptHandler(script)) return *r;
    std::string s = trim(script);
    while (!s.empty() && s.back() == ';')
        s = trim(s.substr(0, s.size() - 1));
    if (s.empty()) return okValue("");
    if (s.compare(0, 5, "throw") == 0) return fail("Error: " + trim(s.substr(5)));
    std::string compact;
    for (char c : s)
        if (!std::isspace(static_cast<unsigned char>(c))) compact += c;
    if (compact.find("while(true)") != std::string::npos ||
        compact.find("while(1)") != std::string::npos ||
        compact.find("for(;;)") != std::string::npos)
        return fail("script timed out");
    if (s == "document.title") return okValue(title_);
    if (s == "document.readyState")
        return okValue(state_ == ReadyState::Complete ? "complete" : "loading");
    if (s == "document.body.innerText" || s == "document.documentElement.innerText")
        return okValue(doc_.Text());
    if (s == "document.documentElement.outerHTML") return okValue(DocumentHtml());
    if (s == "document.documentElement.innerHTML") return okValue(DocumentInnerHtml());
    if (s == "document.links.length") return okValue(std::to_string(Links().size()));
    if (s == "document.characterSet") return okValue(charset_);
    static const std::regex number(R"(-?\d+(\.\d+)?)");
    if (std::regex_match(s, number)) return okValue(s);
    static const std::regex literal(R"((["'])(.*)\1)");
    std::smatch m;
    if (std::regex_match(s, m, literal)) return okValue(m[2].str());
    static const std::regex byId(
        R"(document\.getElementById\(\s*(["'])(.*?)\1\s*\)\.(innerText|textContent|innerHTML|value|href|tagName|id))");
    if (std::regex_match(s, m, byId)) {
        HtmlNode* e = doc_.ById(m[2].str());
        if (!e) return fail("TypeError: null is not an object");
        std::string prop = m[3].str();
        if (prop == "innerText") return okValue(HtmlDocument::FoldedText(*e));
        if (prop == "textContent") return okValue(HtmlDocument::TextOf(*e));
        if (prop == "innerHTML") {
            std::string out;
            for (auto& c : e->children)
                out += HtmlDocument::Serialize(*c);
            return okValue(out);
        }
        if (prop == "tagName") return okValue(e->tag);
        if (prop == "href") return okValue(resolveHref(url_, e->Attr("href")));
        return okValue(e->Attr(prop));
    }
    static const std::regex call(R"(([A-Za-z_$][\w$]*)\s*\((.*)\))");
    if (std::regex_match(s, m, call)) {
        std::string name = m[1].str();
        static const std::regex def("function\\s+" + std::string("([A-Za-z_$][\\w$]*)") +
                                    "\\s*\\(");
        for (const std::string& src : doc_.Scripts())
            for (std::sregex_iterator it(src.begin(), src.end(), def), end; it != end; ++it)
                if ((*it)[1].str() == name) return okValue("");
        return fail("ReferenceError: Can't find variable: " + name);
    }
    return fail("the headless view does not run this script");
}

std::string HeadlessView::DocumentHtml() {
    return hasDoc_ ? doc_.OuterHtml() : std::string();
}
std::string HeadlessView::DocumentInnerHtml() {
    return hasDoc_ ? doc_.InnerHtml() : std::string();
}
std::string HeadlessView::DocumentText() {
    return hasDoc_ ? doc_.Text() : std::string();
}

std::vector<std::string> HeadlessView::Links() {
    std::vector<std::string> out;
    if (!hasDoc_) return out;
    for (HtmlNode* a : doc_.ByTag("A"))
        if (a->attrs.count("href")) out.push_back(resolveHref(url_, a->Attr("href")));
    for (HtmlNode* a : doc_.ByTag("AREA"))
        if (a->attrs.count("href")) out.push_back(resolveHref(url_, a->Attr("href")));
    return out;
}

std::string HeadlessView::SelectedText(bool) {
    return selection_;
}

bool HeadlessView::ScrollTo(int x, int y) {
    if (!hasDoc_) return false;
    scroll_ = POINT{std::max(0, x), std::max(0, y)};
    return true;
}

bool HeadlessView::ScrollToElement(const std::string& id) {
    return hasDoc_ && doc_.ById(id) != nullptr;
}

POINT HeadlessView::ScrollPosition() {
    return hasDoc_ ? scroll_ : POINT{-1, -1};
}

SIZE HeadlessView::ScrollSize() {
    return hasDoc_ ? SIZE{0, 0} : SIZE{0, 0};
}

SIZE HeadlessView::ClientSize() {
    return SIZE{0, 0};
}

int HeadlessView::FillField(const std::string& name, const std::string& value, int index) {
    if (!hasDoc_) return 0;
    int k = 0, i = 0;
    for (HtmlNode* e : doc_.ByName(name)) {
        int at = i++;
        if (index != -1 && at != index) continue;
        if (e->tag == "INPUT" || e->tag == "SELECT" || e->tag == "TEXTAREA") {
            e->attrs["value"] = value;
            ++k;
        }
    }
    return k;
}

std::string HeadlessView::FieldValue(const std::string& name) {
    if (!hasDoc_) return {};
    for (HtmlNode* e : doc_.ByName(name)) {
        for (HtmlNode* p = e->parent; p; p = p->parent)
            if (p->tag == "FORM") {
                if (e->tag == "TEXTAREA" && !e->attrs.count("value"))
                    return HtmlDocument::TextOf(*e);
                return e->Attr("value");
            }
    }
    return {};
}

bool HeadlessView::ExecCommand(const std::string& command, const std::string&) {
    if (!hasDoc_) return false;
    std::string c = lowerOf(command);
    if (c == "selectall") {
        selection_ = doc_.Text();
        return true;
    }
    if (c == "unselect") {
        selection_.clear();
        return true;
    }
    return c == "copy" || c == "cut" || c == "paste" || c == "delete" || c == "undo" ||
           c == "redo" || c == "backcolor" || c == "forecolor";
}

bool HeadlessView::CommandEnabled(const std::string& command) {
    if (!hasDoc_) return false;
    std::string c = lowerOf(command);
    if (c == "undo" || c == "redo") return false;
    return c == "selectall" || c == "copy" || c == "cut" || c == "paste";
}

bool HeadlessView::SetDesignMode(const std::string& mode) {
    if (!hasDoc_) return false;
    designMode_ = mode;
    return true;
}

void HeadlessView::SetZoom(double factor) {
    if (factor <= 0) return;
    if (factor != zoom_) {
        zoom_ = factor;
        if (OnZoomChange) OnZoomChange(factor);
    }
}

bool HeadlessView::Find(const std::string& text, const FindOptions& options) {
    if (!hasDoc_ || text.empty()) return false;
    std::string hay = doc_.Text(), needle = text;
    if (!options.matchCase) {
        hay = lowerOf(hay);
        needle = lowerOf(needle);
    }
    auto isWord = [&](size_t at) {
        auto w = [&](size_t i) { return std::isalnum(static_cast<unsigned char>(hay[i])) != 0; };
        return (at == 0 || !w(at - 1)) &&
               (at + needle.size() >= hay.size() || !w(at + needle.size()));
    };
    auto search = [&](size_t from, bool back) -> size_t {
        for (size_t at = back ? hay.rfind(needle, from) : hay.find(needle, from);
             at != std::string::npos;
             at = back ? (at == 0 ? std::string::npos : hay.rfind(needle, at - 1))
                       : hay.find(needle, at + 1))
            if (!options.wholeWord || isWord(at)) return at;
        return std::string::npos;
    };
    size_t from = findPos_ == std::string::npos
                      ? (options.backwards ? std::string::npos : 0)
                      : (options.backwards ? (findPos_ == 0 ? std::string::npos : findPos_ - 1)
                                           : findPos_ + 1);
    size_t at = from == std::string::npos && options.backwards && findPos_ != std::string::npos
                    ? std::string::npos
                    : search(from, options.backwards);
    if (at == std::string::npos && options.wrap)
        at = search(options.backwards ? std::string::npos : 0, options.backwards);
    if (at == std::string::npos) return false;
    findPos_ = at;
    selection_ = doc_.Text().substr(at, text.size());
    return true;
}

bool HeadlessView::Print(bool) {
    if (!hasDoc_) return false;
    ++prints_;
    return true;
}

void HeadlessView::Focus() {
    if (focused_) return;
    focused_ = true;
    if (OnFocusChange) OnFocusChange(true);
}

bool HeadlessView::ClickLink(size_t index, int x, int y, WPARAM keys) {
    std::vector<HtmlNode*> anchors;
    for (HtmlNode* a : doc_.ByTag("A"))
        if (a->attrs.count("href")) anchors.push_back(a);
    if (!hasDoc_ || index >= anchors.size()) return false;
    if (OnMouse) OnMouse(MouseInput{WM_LBUTTONDOWN, x, y, keys | MK_LBUTTON});
    Navigation nav;
    nav.url = resolveHref(url_, anchors[index]->Attr("href"));
    nav.target = anchors[index]->Attr("target");
    nav.userInitiated = true;
    uint64_t serial = ++serial_;
    post([this, nav, serial]() mutable {
        if (lowerOf(nav.target) == "_blank") {
            bool cancel = false;
            if (OnNewWindow) OnNewWindow(nav, cancel);
            if (cancel) return;
            // No second window here: the page opens in this view.
        }
        bool cancel = false;
        if (OnBeforeNavigate) OnBeforeNavigate(nav, cancel);
        if (!cancel) begin(nav, true, serial);
    });
    return true;
}

bool HeadlessView::ClickLinkTo(const std::string& url) {
    size_t i = 0;
    for (HtmlNode* a : doc_.ByTag("A")) {
        if (!a->attrs.count("href")) continue;
        if (a->Attr("href") == url || resolveHref(url_, a->Attr("href")) == url)
            return ClickLink(i);
        ++i;
    }
    return false;
}

bool HeadlessView::PressKey(const KeyInput& key) {
    return OnKey && OnKey(key);
}

bool HeadlessView::OpenContextMenu(int x, int y, int kind) {
    if (!settings_.contextMenu) return false;
    std::vector<MenuItem> items;
    return !(OnContextMenu && OnContextMenu(kind, x, y, items));
}

void HeadlessView::RightClick(int x, int y, WPARAM keys) {
    if (OnMouse) OnMouse(MouseInput{WM_RBUTTONDOWN, x, y, keys | MK_RBUTTON});
}

bool HeadlessView::RaiseScriptError(const ScriptError& error) {
    return OnScriptError ? OnScriptError(error) : true;
}

void HeadlessView::OpenDialog(ScriptDialog& dialog) {
    dialog.handled = false;
    if (OnScriptDialog) OnScriptDialog(dialog);
    if (!dialog.handled) {
        // No dialog of its own here: it is answered quietly.
        dialog.accept = dialog.kind == DialogKind::Alert;
        dialog.response.clear();
    }
}

bool HeadlessView::RequestDownload(const std::string& url) {
    return OnDownload && OnDownload(url);
}

} // namespace webview
