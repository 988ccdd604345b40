// A small, forgiving document model of an HTML page: enough for the headless
// view to answer what hosts ask of a page (title, text, links, elements by
// id and name, form values) without running the page.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace webview {

struct HtmlNode {
    std::string tag; // upper case; empty for a text node
    std::string text;
    std::map<std::string, std::string> attrs; // names in lower case
    std::vector<std::unique_ptr<HtmlNode>> children;
    HtmlNode* parent = nullptr;

    std::string Attr(const std::string& name) const;
};

class HtmlDocument {
public:
    // Any bytes parse: broken markup gives the best tree it can, never fails.
    void Parse(const std::string& html);

    HtmlNode& Root() { return root_; }
    std::string Title() const;
    // Text of the body (or of the whole document without one), white space
    // folded as a browser shows it.
    std::string Text() const;
    // Markup of the document element's contents.
    std::string InnerHtml() const;
    std::string OuterHtml() const;
    std::vector<HtmlNode*> ByTag(const std::string& tag);
    std::vector<HtmlNode*> ByName(const std::string& name);
    HtmlNode* ById(const std::string& id);
    // Source of every inline script, in document order.
    std::vector<std::string> Scripts();
    // The charset a <meta> names, empty when none.
    std::string MetaCharset();

    static std::string TextOf(const HtmlNode& node);
    // TextOf with white space folded as a browser shows it.
    static std::string FoldedText(const HtmlNode& node);
    static std::string Serialize(const HtmlNode& node);

private:
    HtmlNode root_;
};

// Decodes character references (&amp;, &#39;, &#x41;, &nbsp; ...).
std::string DecodeEntities(const std::string& s);

} // namespace webview
