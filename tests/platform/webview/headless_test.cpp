// The headless web view's document model and loads: broken and hostile
// markup, huge pages, unknown schemes, and the order of its events.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/webview/headless.h"
#include "platform/webview/htmldoc.h"
#include "platform/win/queue.h"

namespace {

using webview::HtmlDocument;

TEST(HtmlDocument, BrokenMarkupStillGivesTextTitleAndLinks) {
    struct Case {
        std::string html, title, text;
        size_t links;
    } cases[] = {
        {"<html><head><title>A &amp; B</title></head><body><p>x<p>y</body>", "A & B", "x y", 0},
        {"<title>t", "t", "", 0},
        {"<a href='1'>one<a href=\"2\">two</a>", "", "onetwo", 2},
        {"<p class=\"x>broken quote</p><a href=x>l</a>", "", "", 0},
        {"<<<>>> & &#x41; &#66; &bogus; &#xFFFFFFFF;", "", "<<<>>> & A B &bogus; \xEF\xBF\xBD", 0},
        {"</div></span>text<script>if (a < b) document.write('<a href=z>')</script>", "", "text",
         0},
        {"<!-- <a href=no> --><a href=yes>y</a><!-- never closed", "", "y", 1},
        {"", "", "", 0},
        {std::string("\0\xff\xfe<b>\0</b>", 9), "", "", 0},
    };
    for (const Case& c : cases) {
        HtmlDocument d;
        d.Parse(c.html);
        EXPECT_EQ(d.Title(), c.title) << c.html;
        if (!c.text.empty()) EXPECT_EQ(d.Text(), c.text) << c.html;
        size_t links = 0;
        for (auto* a : d.ByTag("A"))
            links += a->attrs.count("href");
        EXPECT_EQ(links, c.links) << c.html;
    }
}

TEST(HtmlDocument, DeepAndHugePagesParse) {
    std::string deep;
    for (int i = 0; i < 20000; ++i)
        deep += "<div>";
    deep += "bottom";
    HtmlDocument d;
    d.Parse(deep);
    EXPECT_EQ(d.Text(), "bottom");
    EXPECT_FALSE(d.OuterHtml().empty());

    std::string huge = "<html><body>";
    for (int i = 0; i < 20000; ++i)
        huge += "<a href=\"xmd:ID=" + std::to_string(i) + "\">entry " + std::to_string(i) + "</a>";
    huge += "</body></html>";
    d.Parse(huge);
    EXPECT_EQ(d.ByTag("A").size(), 20000u);
    EXPECT_EQ(d.ByTag("A").back()->Attr("href"), "xmd:ID=19999");
}

void pumpUntil(const std::function<bool()>& done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!done() && std::chrono::steady_clock::now() < end) {
        RunThreadCalls(5);
    }
}

TEST(HeadlessView, EventsComeFromTheLoopInOrder) {
    webview::HeadlessView v(0);
    std::vector<std::string> events;
    v.OnBeforeNavigate = [&](webview::Navigation& n, bool&) {
        events.push_back("before " + n.url);
    };
    v.OnTitleChange = [&](const std::string& t) { events.push_back("title " + t); };
    v.OnNavigateComplete = [&](const std::string& u) { events.push_back("navigated " + u); };
    v.OnDocumentComplete = [&](const std::string& u) { events.push_back("complete " + u); };
    v.OnNavigateError = [&](const std::string& u, const std::string&) {
        events.push_back("error " + u);
    };
    webview::HeadlessView::SetResource("http://site/p", "<title>P</title>");
    ASSERT_TRUE(v.Navigate({"http://site/p"}));
    EXPECT_TRUE(events.empty()); // nothing inside the call
    pumpUntil([&] { return v.State() == webview::ReadyState::Complete; });
    EXPECT_EQ(events,
              (std::vector<std::string>{"before http://site/p", "title P",
                                        "navigated http://site/p", "complete http://site/p"}));
    // Unknown schemes and missing files are errors; the page stays.
    events.clear();
    ASSERT_TRUE(v.Navigate({"foo:bar"}));
    pumpUntil([&] { return events.size() >= 2; });
    ASSERT_TRUE(v.Navigate({"file:///no/such/file.html"}));
    pumpUntil([&] { return events.size() >= 4; });
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[1], "error foo:bar");
    EXPECT_EQ(events[3], "error file:///no/such/file.html");
    EXPECT_EQ(v.Title(), "P");
    // A second navigation asked for before the first started replaces it.
    events.clear();
    v.Navigate({"http://site/p"});
    v.Navigate({"about:blank"});
    pumpUntil([&] { return events.size() >= 5; });
    EXPECT_EQ(events.front(), "before http://site/p");
    EXPECT_EQ(events.back(), "complete about:blank");
    EXPECT_FALSE(v.Navigate({""}));
    EXPECT_FALSE(v.Navigate({"no scheme here"}));
    webview::HeadlessView::ClearResources();
}

TEST(HeadlessView, ALaterLoadReplacesAnEarlierOne) {
    webview::HeadlessView v(0);
    v.Navigate({"about:blank"});
    v.LoadHtml("<title>Mem</title>", "", "file:///base/");
    pumpUntil([&] { return v.State() == webview::ReadyState::Complete; });
    RunThreadCalls(20);
    EXPECT_EQ(v.Title(), "Mem");
    EXPECT_EQ(v.Url(), "file:///base/");
    // A single-byte character set is converted.
    v.LoadHtml("<title>caf\xE9</title>", "ISO-8859-1", "");
    pumpUntil([&] { return v.Title() == "caf\xC3\xA9"; });
    EXPECT_EQ(v.Title(), "caf\xC3\xA9");
    EXPECT_EQ(v.Charset(), "ISO-8859-1");
}

} // namespace
