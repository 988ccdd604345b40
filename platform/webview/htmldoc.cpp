#include "platform/webview/htmldoc.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <set>

#include "platform/os/codepage.h"

namespace webview {
namespace {

const std::set<std::string> kVoid = {"AREA",  "BASE", "BR",   "COL",   "EMBED",  "HR",    "IMG",
                                     "INPUT", "LINK", "META", "PARAM", "SOURCE", "TRACK", "WBR"};
// Elements whose text stands apart from what comes before and after it.
const std::set<std::string> kBlock = {"P",  "DIV", "LI",         "TR",   "TD",   "TH",    "H1",
                                      "H2", "H3",  "H4",         "H5",   "H6",   "TABLE", "UL",
                                      "OL", "PRE", "BLOCKQUOTE", "FORM", "BODY", "TITLE"};
const std::set<std::string> kRaw = {"SCRIPT", "STYLE", "TEXTAREA", "TITLE"};
// Deep trees from hostile markup must not exhaust the stack of the walkers.
constexpr size_t kMaxDepth = 512;

std::string upper(std::string s) {
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}
std::string lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A character reference's code point; U+0000 and values outside Unicode read
// as U+FFFD.
void appendUtf8(std::string& out, unsigned long cp) {
    AppendUtf8(out, cp == 0 || cp > 0x10FFFF ? U'\uFFFD' : char32_t(cp));
}

std::string escapeText(const std::string& s, bool attr) {
    std::string out;
    for (char c : s) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (attr && c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

void walk(HtmlNode& n, const std::function<void(HtmlNode&)>& f) {
    // Iterative: the tree may be as deep as the parser allows.
    std::vector<HtmlNode*> stack{&n};
    while (!stack.empty()) {
        HtmlNode* cur = stack.back();
        stack.pop_back();
        f(*cur);
        for (auto it = cur->children.rbegin(); it != cur->children.rend(); ++it)
            stack.push_back(it->get());
    }
}

} // namespace

std::string HtmlNode::Attr(const std::string& name) const {
    auto it = attrs.find(name);
    return it == attrs.end() ? std::string() : it->second;
}

std::string DecodeEntities(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        size_t semi = s.find(';', i);
        if (semi == std::string::npos || semi - i > 32) {
            out += '&';
            continue;
        }
        std::string name = s.substr(i + 1, semi - i - 1);
        bool ok = true;
        if (!name.empty() && name[0] == '#') {
            bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
            std::string digits = name.substr(hex ? 2 : 1);
            if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [&](char c) {
                    return hex ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                               : std::isdigit(static_cast<unsigned char>(c)) != 0;
                }))
                ok = false;
            else
                appendUtf8(out, std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10));
        } else if (name == "amp")
            out += '&';
        else if (name == "lt")
            out += '<';
        else if (name == "gt")
            out += '>';
        else if (name == "quot")
            out += '"';
        else if (name == "apos")
            out += '\'';
        else if (name == "nbsp")
            out += "\xC2\xA0";
        else
            ok = false;
        if (!ok) {
            out += '&';
            continue;
        }
        i = semi;
    }
    return out;
}

void HtmlDocument::Parse(const std::string& html) {
    root_ = HtmlNode{};
    root_.tag = "#DOCUMENT";
    std::vector<HtmlNode*> open{&root_};
    auto add = [&](std::unique_ptr<HtmlNode> n) {
        HtmlNode* p = open.back();
        n->parent = p;
        HtmlNode* raw = n.get();
        p->children.push_back(std::move(n));
        return raw;
    };
    auto addText = [&](const std::string& t) {
        if (t.empty()) return;
        auto n = std::make_unique<HtmlNode>();
        n->text = t;
        add(std::move(n));
    };
    size_t i = 0, n = html.size();
    std::string text;
    while (i < n) {
        char c = html[i];
        if (c != '<') {
            text += c;
            ++i;
            continue;
        }
        if (html.compare(i, 4, "<!--") == 0) {
            size_t end = html.find("-->", i + 4);
            addText(DecodeEntities(text));
            text.clear();
            i = end == std::string::npos ? n : end + 3;
            continue;
        }
        if (i + 1 < n && (html[i + 1] == '!' || html[i + 1] == '?')) {
            size_t end = html.find('>', i);
            i = end == std::string::npos ? n : end + 1;
            continue;
        }
        bool closing = i + 1 < n && html[i + 1] == '/';
        size_t p = i + (closing ? 2 : 1);
        size_t nameStart = p;
        while (p < n && (std::isalnum(static_cast<unsigned char>(html[p])) || html[p] == '-' ||
                         html[p] == ':'))
            ++p;
        if (p == nameStart) { // a lone "<" is text
            text += c;
            ++i;
            continue;
        }
        addText(DecodeEntities(text));
        text.clear();
        std::string tag = upper(html.substr(nameStart, p - nameStart));
        std::map<std::string, std::string> attrs;
        bool selfClose = false;
        // Attributes up to the closing ">" (quoted values may hold ">").
        while (p < n && html[p] != '>') {
            if (std::isspace(static_cast<unsigned char>(html[p]))) {
                ++p;
                continue;
            }
            if (html[p] == '/') {
                selfClose = true;
                ++p;
                continue;
            }
            size_t as = p;
            while (p < n && !std::isspace(static_cast<unsigned char>(html[p])) && html[p] != '=' &&
                   html[p] != '>' && html[p] != '/')
                ++p;
            std::string an = lower(html.substr(as, p - as));
            if (p == as) {
                ++p;
                continue;
            }
            std::string av;
            while (p < n && std::isspace(static_cast<unsigned char>(html[p])))
                ++p;
            if (p < n && html[p] == '=') {
                ++p;
                while (p < n && std::isspace(static_cast<unsigned char>(html[p])))
                    ++p;
                if (p < n && (html[p] == '"' || html[p] == '\'')) {
                    char q = html[p++];
                    size_t e = html.find(q, p);
                    if (e == std::string::npos) e = n;
                    av = html.substr(p, e - p);
                    p = e < n ? e + 1 : n;
                } else {
                    size_t vs = p;
                    while (p < n && !std::isspace(static_cast<unsigned char>(html[p])) &&
                           html[p] != '>')
                        ++p;
                    av = html.substr(vs, p - vs);
                }
            }
            selfClose = false;
            if (!attrs.count(an)) attrs[an] = DecodeEntities(av);
        }
        i = p < n ? p + 1 : n;
        if (closing) {
            // Close up to the matching open element; a stray end tag is dropped.
            for (size_t k = open.size(); k-- > 1;) {
                if (open[k]->tag == tag) {
                    open.resize(k);
                    break;
                }
            }
            continue;
        }
        if (tag == "P" || tag == "LI" || tag == "OPTION" || tag == "TR" || tag == "TD") {
            // These close an open element of their own kind.
            for (size_t k = open.size(); k-- > 1;) {
                if (open[k]->tag == tag) {
                    open.resize(k);
                    break;
                }
                if (open[k]->tag == "TABLE" || open[k]->tag == "UL" || open[k]->tag == "SELECT")
                    break;
            }
        }
        auto node = std::make_unique<HtmlNode>();
        node->tag = tag;
        node->attrs = std::move(attrs);
        HtmlNode* added = add(std::move(node));
        if (kRaw.count(tag)) {
            std::string endTag = "</" + lower(tag);
            size_t e = i;
            for (;; ++e) {
                e = html.find("</", e);
                if (e == std::string::npos) break;
                if (lower(html.substr(e, endTag.size())) == endTag) break;
            }
            std::string raw = html.substr(i, e == std::string::npos ? std::string::npos : e - i);
            auto t = std::make_unique<HtmlNode>();
            t->text = tag == "SCRIPT" || tag == "STYLE" ? raw : DecodeEntities(raw);
            t->parent = added;
            added->children.push_back(std::move(t));
            if (e == std::string::npos)
                i = n;
            else {
                size_t gt = html.find('>', e);
                i = gt == std::string::npos ? n : gt + 1;
            }
            continue;
        }
        if (!kVoid.count(tag) && !selfClose && open.size() < kMaxDepth) open.push_back(added);
    }
    addText(DecodeEntities(text));
}

std::string HtmlDocument::Title() const {
    std::string t;
    walk(const_cast<HtmlNode&>(root_), [&](HtmlNode& n) {
        if (t.empty() && n.tag == "TITLE") t = TextOf(n);
    });
    // Folded as a title bar shows it.
    std::string out;
    bool space = false;
    for (char c : t) {
        if (std::isspace(static_cast<unsigned char>(c)))
            space = !out.empty();
        else {
            if (space) out += ' ';
            space = false;
            out += c;
        }
    }
    return out;
}

std::string HtmlDocument::TextOf(const HtmlNode& node) {
    std::string out;
    std::vector<const HtmlNode*> stack{&node};
    while (!stack.empty()) {
        const HtmlNode* cur = stack.back();
        stack.pop_back();
        if (cur->tag.empty()) out += cur->text;
        if (cur->tag == "SCRIPT" || cur->tag == "STYLE") continue;
        if (cur->tag == "BR" || kBlock.count(cur->tag)) out += '\n';
        for (auto it = cur->children.rbegin(); it != cur->children.rend(); ++it)
            stack.push_back(it->get());
    }
    return out;
}

std::string HtmlDocument::Text() const {
    const HtmlNode* body = nullptr;
    walk(const_cast<HtmlNode&>(root_), [&](HtmlNode& n) {
        if (!body && n.tag == "BODY") body = &n;
    });
    return FoldedText(body ? *body : root_);
}

std::string HtmlDocument::FoldedText(const HtmlNode& node) {
    std::string raw = TextOf(node);
    std::string out;
    bool space = false;
    for (char c : raw) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            space = !out.empty();
        } else {
            if (space) out += ' ';
            space = false;
            out += c;
        }
    }
    return out;
}

std::string HtmlDocument::Serialize(const HtmlNode& node) {
    if (node.tag.empty())
        return node.parent && (node.parent->tag == "SCRIPT" || node.parent->tag == "STYLE")
                   ? node.text
                   : escapeText(node.text, false);
    std::string out;
    bool self = node.tag != "#DOCUMENT";
    if (self) {
        out += "<" + lower(node.tag);
        for (auto& [k, v] : node.attrs)
            out += " " + k + "=\"" + escapeText(v, true) + "\"";
        out += ">";
    }
    for (auto& c : node.children)
        out += Serialize(*c);
    if (self && !kVoid.count(node.tag)) out += "</" + lower(node.tag) + ">";
    return out;
}

std::string HtmlDocument::InnerHtml() const {
    for (auto& c : root_.children)
        if (c->tag == "HTML") {
            std::string out;
            for (auto& k : c->children)
                out += Serialize(*k);
            return out;
        }
    return Serialize(root_);
}

std::string HtmlDocument::OuterHtml() const {
    for (auto& c : root_.children)
        if (c->tag == "HTML") return Serialize(*c);
    return "<html>" + Serialize(root_) + "</html>";
}

std::vector<HtmlNode*> HtmlDocument::ByTag(const std::string& tag) {
    std::vector<HtmlNode*> out;
    std::string t = upper(tag);
    walk(root_, [&](HtmlNode& n) {
        if (n.tag == t) out.push_back(&n);
    });
    return out;
}

std::vector<HtmlNode*> HtmlDocument::ByName(const std::string& name) {
    std::vector<HtmlNode*> out;
    walk(root_, [&](HtmlNode& n) {
        if (!n.tag.empty() && n.attrs.count("name") && n.attrs["name"] == name) out.push_back(&n);
    });
    return out;
}

HtmlNode* HtmlDocument::ById(const std::string& id) {
    HtmlNode* found = nullptr;
    walk(root_, [&](HtmlNode& n) {
        if (!found && !n.tag.empty() && n.attrs.count("id") && n.attrs["id"] == id) found = &n;
    });
    return found;
}

std::vector<std::string> HtmlDocument::Scripts() {
    std::vector<std::string> out;
    for (HtmlNode* s : ByTag("SCRIPT"))
        out.push_back(TextOf(*s).empty() && !s->children.empty() ? s->children[0]->text
                      : s->children.empty()                      ? std::string()
                                                                 : s->children[0]->text);
    return out;
}

std::string HtmlDocument::MetaCharset() {
    for (HtmlNode* m : ByTag("META")) {
        if (m->attrs.count("charset")) return m->attrs["charset"];
        std::string content = lower(m->Attr("content"));
        size_t p = content.find("charset=");
        if (p != std::string::npos) return m->Attr("content").substr(p + 8);
    }
    return {};
}

} // namespace webview
