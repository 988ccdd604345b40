#include "platform/webview/webview.h"

#include "platform/display/backend.h"
#include "platform/webview/headless.h"
#include "platform/webview/webkit.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace webview {

std::string JsString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += char(c);
            }
        }
    }
    // Keeps a "</script>" in the text from ending a script element.
    std::string safe;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '<' && i + 1 < out.size() && out[i + 1] == '/')
            safe += "<\\/", ++i;
        else
            safe += out[i];
    }
    return safe + "\"";
}

namespace {

std::vector<std::string> splitLines(const std::string& s) {
    std::vector<std::string> out;
    size_t start = 0;
    if (s.empty()) return out;
    for (;;) {
        size_t nl = s.find('\n', start);
        out.push_back(s.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
    return out;
}

bool parsePair(const std::string& s, long& a, long& b) {
    return std::sscanf(s.c_str(), "%ld,%ld", &a, &b) == 2;
}

} // namespace

std::string View::EvalText(const std::string& script) {
    ScriptResult r = Evaluate(script);
    return r.ok ? r.value : std::string();
}

std::string View::DocumentHtml() {
    return EvalText("document.documentElement ? document.documentElement.outerHTML : ''");
}

std::string View::DocumentInnerHtml() {
    return EvalText("document.documentElement ? document.documentElement.innerHTML : ''");
}

std::string View::DocumentText() {
    return EvalText("document.documentElement ? document.documentElement.innerText : ''");
}

std::vector<std::string> View::Links() {
    return splitLines(EvalText("Array.from(document.links).map(function(a){return "
                               "a.href.replace(/\\n/g,'')}).join('\\n')"));
}

std::string View::SelectedText(bool asHtml) {
    return EvalText(std::string("(function(){var s=window.getSelection();"
                                "if(!s||s.rangeCount==0||s.isCollapsed)return '';") +
                    (asHtml ? "var d=document.createElement('div');"
                              "d.appendChild(s.getRangeAt(0).cloneContents());return d.innerHTML;"
                            : "return s.toString();") +
                    "})()");
}

bool View::ScrollTo(int x, int y) {
    return Evaluate("window.scrollTo(" + std::to_string(x) + "," + std::to_string(y) + ");true").ok;
}

bool View::ScrollToElement(const std::string& id) {
    return EvalText("(function(){var e=document.getElementById(" + JsString(id) +
                    ");if(!e)return false;var r=e.getBoundingClientRect();"
                    "window.scrollBy(r.left,r.top);return true})()") == "true";
}

POINT View::ScrollPosition() {
    long x = 0, y = 0;
    if (!parsePair(EvalText("window.scrollX+','+window.scrollY"), x, y)) return POINT{-1, -1};
    return POINT{int(x), int(y)};
}

SIZE View::ScrollSize() {
    long w = 0, h = 0;
    if (!parsePair(EvalText("document.body?document.body.scrollWidth+','+document.body."
                            "scrollHeight:''"),
                   w, h))
        return SIZE{0, 0};
    return SIZE{int(w), int(h)};
}

SIZE View::ClientSize() {
    long w = 0, h = 0;
    if (!parsePair(EvalText("document.body?document.body.clientWidth+','+document.body."
                            "clientHeight:''"),
                   w, h))
        return SIZE{0, 0};
    return SIZE{int(w), int(h)};
}

int View::FillField(const std::string& name, const std::string& value, int index) {
    std::string n = EvalText(
        "(function(){var l=document.getElementsByName(" + JsString(name) +
        "),k=0,i;for(i=0;i<l.length;i++){if(" + std::to_string(index) +
        "!=-1&&i!=" + std::to_string(index) +
        ")continue;var t=l[i].tagName;if(t=='INPUT'||t=='SELECT'||t=='TEXTAREA'){l[i].value=" +
        JsString(value) + ";k++}}return k})()");
    return std::atoi(n.c_str());
}

std::string View::FieldValue(const std::string& name) {
    return EvalText("(function(){for(var f of document.forms){var e=f.elements[" + JsString(name) +
                    "];if(e){if(e.length!==undefined&&!e.tagName)e=e[0];return e.value}}"
                    "return ''})()");
}

bool View::ExecCommand(const std::string& command, const std::string& value) {
    return EvalText("document.execCommand(" + JsString(command) + ",false," + JsString(value) +
                    ")") == "true";
}

bool View::CommandEnabled(const std::string& command) {
    return EvalText("document.queryCommandEnabled(" + JsString(command) + ")") == "true";
}

std::string View::Charset() {
    return EvalText("document.characterSet");
}

std::string View::DesignMode() {
    // The engine answers "on"/"off"; the host knows them as "On"/"Off".
    std::string m = EvalText("document.designMode");
    if (!m.empty()) m[0] = char(std::toupper(static_cast<unsigned char>(m[0])));
    return m;
}

bool View::SetDesignMode(const std::string& mode) {
    std::string lower;
    for (char c : mode)
        lower += char(std::tolower(static_cast<unsigned char>(c)));
    return Evaluate("document.designMode=" + JsString(lower) + ";true").ok;
}

std::string View::Cookie() {
    return EvalText("document.cookie");
}

bool View::SaveTo(const std::string& path) {
    if (!HasDocument()) return false;
    std::string html = DocumentHtml();
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    f << "<!DOCTYPE html>\n" << html;
    return bool(f.flush());
}

bool View::ViewSource() {
    if (!HasDocument()) return false;
    std::string src = DocumentHtml(), url = Url(), esc;
    for (char c : src) {
        if (c == '<')
            esc += "&lt;";
        else if (c == '>')
            esc += "&gt;";
        else if (c == '&')
            esc += "&amp;";
        else
            esc += c;
    }
    return LoadHtml("<html><head><meta charset=\"utf-8\"></head><body><pre>" + esc +
                        "</pre></body></html>",
                    "UTF-8", url);
}

namespace {
std::function<void(std::exception_ptr)>& hostExceptionHandler() {
    static std::function<void(std::exception_ptr)> h;
    return h;
}
} // namespace

void SetHostExceptionHandler(std::function<void(std::exception_ptr)> handler) {
    hostExceptionHandler() = std::move(handler);
}

void ReportHostException(std::exception_ptr e) {
    auto& h = hostExceptionHandler();
    if (!h) return;
    try {
        h(e);
    } catch (...) {
        // A handler that fails itself ends here.
    }
}

std::unique_ptr<View> CreateView(HWND host, bool forceHeadless) {
    if (!forceHeadless && std::strcmp(display::Current().Name(), "gtk") == 0) {
        if (auto v = CreateWebKitView(host)) return v;
    }
    return std::make_unique<HeadlessView>(host);
}

std::string FileUrl(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out = "file://";
    if (path.empty() || path[0] != '/') out += '/';
    for (unsigned char c : path) {
        if (std::isalnum(c) || std::strchr("/-._~!$&'()*+,;=:@", c))
            out += char(c);
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

} // namespace webview
