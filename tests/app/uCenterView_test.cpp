// Keyword searches, result pages, link actions and the category pages,
// against the stand-in site.
#include "app_test_support.h"

#include "classlib/sysutils.h"
#include "platform/os/codepage.h"

using apptest::AppTest;
using apptest::Count;

namespace {

class SearchTest : public AppTest {
protected:
    // Searches and waits for the result page.
    std::string Search(const std::string& keyword, int page = 1) {
        const std::size_t before = loaded.size();
        SearchKeyword(keyword, page);
        EXPECT_TRUE(Wait([&] { return loaded.size() > before; })) << keyword;
        return loaded.empty() ? std::string() : loaded.back().html;
    }
    bool Click(const std::string& url) {
        bool cancel = false;
        view->wbMainBeforeNavigate2(url, cancel);
        return cancel;
    }
};

TEST_F(SearchTest, KeywordBecomesAResultPageWithEscapedSiteTexts) {
    const std::string html = Search("café & co");
    ASSERT_FALSE(html.empty());
    EXPECT_EQ(calls.front(), "box:café & co");
    // The search went to the site with the keyword form-encoded.
    EXPECT_EQ(view->SearchResult()->Values("SearchKeyURL"),
              site.Base() + "/search?q=caf%C3%A9+%26+co");
    EXPECT_EQ(navigated.front().second, "file://" + ProgramFolder() + "res/loading.html");
    EXPECT_EQ(pages.back(), tsResult);

    // Every entry rendered; titles decoded once, then escaped for the page.
    EXPECT_EQ(Count(html, "<tr id=\"row"), 10u);
    EXPECT_EQ(view->SearchResult()->Values("VCOUNT"), "10");
    EXPECT_EQ(view->SearchResult()->Values("TITLE1"), "He said \"Hello\" & it's fine");
    EXPECT_EQ(view->SearchResult()->Values("TITLE2"), "中文歌曲 (Live)");
    EXPECT_EQ(view->SearchResult()->Values("TITLE3"), "Beyoncé – Four Minutes");
    EXPECT_NE(html.find(">He said &quot;Hello&quot; &amp; it&#39;s fine</a>"), std::string::npos);
    EXPECT_NE(html.find(">Café del Mar — Ελληνικά &amp; Русский</a>"), std::string::npos);
    EXPECT_EQ(html.find("&amp;amp;"), std::string::npos);
    EXPECT_NE(html.find("<h1>Results for &quot;café &amp; co&quot;</h1>"), std::string::npos);
    // Links carry the id, the doubly encoded title and the length in seconds.
    EXPECT_NE(html.find("xmd:ACTION=Download&ID=Qh7_Nd2kR9s&TITLE=He+said+%2522Hello%2522+%2526+"
                        "it's+fine&LONG=205&PID=1"),
              std::string::npos);
    EXPECT_NE(html.find("<td class=\"time\">7:30</td>"), std::string::npos);
    // Popularity from the view counts: 1,234,567 gives 60; none gives 4.x.
    struct Pop {
        int entry;
        std::string value;
    };
    for (const Pop& p : {Pop{0, "60"}, Pop{1, "29"}, Pop{2, "10"}, Pop{3, "76"}, Pop{5, "10"}})
        EXPECT_EQ(view->SearchResult()->Values("POPULARITY" + std::to_string(p.entry)), p.value);
    EXPECT_EQ(view->SearchResult()->Values("POPULARITY4").rfind("4.", 0), 0u);
    // Page links: the current page in bold, the others as links.
    EXPECT_NE(html.find("<b>1</b>"), std::string::npos);
    EXPECT_NE(html.find("xmd:ACTION=FlipPage&PAGE=2\">2</a>"), std::string::npos);
    EXPECT_NE(html.find("xmd:ACTION=FlipPage&PAGE=3\">3</a>"), std::string::npos);
    // The keyword is kept among the recent ones.
    EXPECT_EQ(SettingsInstance()->GetSettingString("keyword0"), "café & co");
}

TEST_F(SearchTest, PagesAndRefusedSearches) {
    const std::string page3 = Search("rock", 3);
    EXPECT_EQ(Count(page3, "<tr id=\"row"), 4u);
    EXPECT_NE(page3.find("<b>3</b>"), std::string::npos);
    EXPECT_EQ(view->SearchResult()->Values("Page"), "3");
    EXPECT_EQ(Count(Search("rock", 0), "<tr id=\"row"), 10u); // page 0 is page 1
    EXPECT_EQ(view->SearchResult()->Values("Page"), "1");

    // A changed page layout: the patterns find nothing, and the page says so.
    Switch("layout", "2");
    const std::string missed = Search("rock");
    EXPECT_EQ(Count(missed, "<tr id=\"row"), 0u);
    EXPECT_NE(missed.find("No results could be read from the site&#39;s page."), std::string::npos);

    // A title pattern that does not compile: the entries have ids only and
    // none is shown, but the page still comes.
    Switch("layout", "1");
    SettingsInstance()->SetSettingstring("Pattern.title", "([");
    const std::string broken = Search("rock");
    EXPECT_EQ(Count(broken, "<tr id=\"row"), 0u);
    EXPECT_EQ(view->SearchResult()->Values("VCOUNT"), "10");
    EXPECT_NE(broken.find("<b>1</b>"), std::string::npos);

    const std::size_t shown = loaded.size();
    SearchKeyword("", 1);
    SearchKeyword("Title/Artist/Album", 1);
    EXPECT_EQ(messages,
              (std::vector<std::string>{"Please enter the keyword.", "Please enter the keyword."}));
    EXPECT_EQ(loaded.size(), shown);
}

// A search that fails shows why, in place of the loading page that would
// otherwise stay.
TEST_F(SearchTest, FailedSearchesSayWhy) {
    struct Case {
        const char* name;
        std::string value;
        std::string says;
    };
    const Case cases[] = {
        {"status", "500", "The site answered with error 500."},
        {"status", "404", "The site answered with error 404."},
        {"drop", "/search", "The search failed: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        Switch("reset", "");
        Switch(c.name, c.value);
        const std::string page = Search("rock");
        EXPECT_EQ(loaded.back().browser, cbMain);
        EXPECT_NE(page.find("<h1>rock</h1>"), std::string::npos) << page;
        EXPECT_NE(page.find(c.says), std::string::npos) << page;
    }
    // The network is gone: nobody answers at the site's address.
    site.Stop();
    const std::string page = Search("rock");
    EXPECT_NE(page.find("The search failed: "), std::string::npos) << page;
    EXPECT_EQ(page.find("The search failed: <"), std::string::npos) << page;
}

TEST_F(SearchTest, AdvancedSearchBuildsItsKeyword) {
    struct Case {
        std::string artist, title, album;
        int edition;
        std::string keyword;
    };
    const Case cases[] = {
        {"Ana", "", "Blue", 0, "Advance Search:Ana Blue "},
        {"", "Song", "", 3, "Advance Search:Song remix edition "},
        {"", "", "", 2, "Advance Search:remix edition "},
        {"", "", "", 0, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TfrmCenterView::AdvancedSearchKeyword(c.artist, c.title, c.album, c.edition,
                                                        "remix edition"),
                  c.keyword);
    view->AdvancedSearch("", "", "", 0, "search all editions");
    EXPECT_EQ(messages, (std::vector<std::string>{"Please enter one of Artist, Title, Album or "
                                                  "Edition sections at least."}));
    view->AdvancedSearch("Ana", "Song", "", 0, "");
    ASSERT_TRUE(Wait([&] { return !loaded.empty(); }));
    // The prefix is kept among the recent keywords, not in the search.
    EXPECT_EQ(view->SearchResult()->Values("SearchKey"), "Ana Song ");
    EXPECT_EQ(SettingsInstance()->GetSettingString("keyword0"), "Advance Search:Ana Song ");
}

TEST_F(SearchTest, AnOlderAnswerArrivingLateIsDropped) {
    Switch("slow", "400");
    SearchKeyword("first", 1);
    SearchKeyword("second", 1);
    ASSERT_TRUE(Wait([&] { return !loaded.empty(); }));
    Wait([] { return false; }, 900);
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_NE(loaded[0].html.find("Results for &quot;second&quot;"), std::string::npos);
    EXPECT_EQ(view->SearchResult()->Values("TITLE9").rfind("second ", 0), 0u);
}

TEST_F(SearchTest, LinksBecomeActions) {
    Search("pop");
    calls.clear();
    const std::string title = "100% \"Pure\" Love & Café";
    const std::string t = TfrmCenterView::TitleToUrlText(title);
    struct Case {
        std::string link;
        bool cancel;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"XMD:ACTION=play&ID=Pc9Ra1Sd3Fg&TITLE=" + t + "&LONG=30&PID=4",
         true,
         {"flash:Stop,", "flash:Title," + title, "flash:Wait,", "play:Pc9Ra1Sd3Fg",
          "script:ShowIcon(4);"}},
        {"xmd:ACTION=Play&ID=Pc9Ra1Sd3Fg",
         true,
         {"flash:Stop,", "flash:Title,", "flash:Wait,", "play:Pc9Ra1Sd3Fg", "script:ShowIcon(0);"}},
        {"xmd:ACTION=Download&ID=Qh7_Nd2kR9s&TITLE=" + t + "&LONG=205&PAGE=1&PID=1",
         true,
         {"download:Qh7_Nd2kR9s"}},
        // An id that is no id reaches neither an address nor a script.
        {"xmd:ACTION=Play&ID=x%27)%3Balert(1)%3B%2F%2F&PID=2", true, {}},
        {"xmd:ACTION=Download&ID=..%2F..%2Fetc", true, {}},
        {"xmd:ACTION=Other&ID=abc", false, {}},
        {"http://127.0.0.1/page.html", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link);
        calls.clear();
        downloads.clear();
        EXPECT_EQ(Click(c.link), c.cancel);
        EXPECT_EQ(calls, c.calls);
    }
    Click("xmd:ACTION=Download&ID=Qh7_Nd2kR9s&TITLE=" + t + "&LONG=205&PAGE=1&PID=1");
    ASSERT_EQ(downloads.size(), 1u);
    EXPECT_EQ(downloads[0].Title, title); // decoded exactly once
    EXPECT_EQ(downloads[0].Long, 205);
    EXPECT_EQ(downloads[0].PId, 1);
    EXPECT_EQ(downloads[0].SC_Key, "pop");
    EXPECT_EQ(current.URLInfo.Id, "Qh7_Nd2kR9s");

    // Turning the page searches the current keyword again; a search link
    // searches its own keyword.
    loaded.clear();
    EXPECT_TRUE(Click("xmd:ACTION=FlipPage&PAGE=2&KEYWORD=ignored"));
    ASSERT_TRUE(Wait([&] { return !loaded.empty(); }));
    EXPECT_EQ(view->SearchResult()->Values("SearchKey"), "pop");
    EXPECT_EQ(view->SearchResult()->Values("Page"), "2");
    loaded.clear();
    EXPECT_TRUE(Click("xmd:ACTION=Search&KEYWORD=%E5%A4%9C%E7%A9%BA+blue"));
    ASSERT_TRUE(Wait([&] { return !loaded.empty(); }));
    EXPECT_EQ(current.Keyword, "夜空 blue");
    EXPECT_EQ(view->SearchResult()->Values("Page"), "1");
}

TEST_F(SearchTest, TitlesSurviveTheLinkRoundTrip) {
    // Under a single-byte code page too.
    ASSERT_TRUE(SetAnsiCodePage("WINDOWS-1252"));
    downloads.clear();
    Click("xmd:ACTION=Download&ID=abc&TITLE=" + TfrmCenterView::TitleToUrlText("中文 Ελληνικά"));
    SetAnsiCodePage("");
    ASSERT_EQ(downloads.size(), 1u);
    EXPECT_EQ(downloads[0].Title, "中文 Ελληνικά");

    for (const std::string title :
         {"100% Pure", "a+b=c&d", "Ελληνικά \"quoted\" 'single'", "%41 stays", "x <b>bold</b> y"}) {
        SCOPED_TRACE(title);
        downloads.clear();
        Click("xmd:ACTION=Download&ID=abc&TITLE=" + TfrmCenterView::TitleToUrlText(title));
        ASSERT_EQ(downloads.size(), 1u);
        // Tags are dropped from the link text; everything else comes back.
        EXPECT_EQ(downloads[0].Title, title == "x <b>bold</b> y" ? "x bold y" : title);
    }
}

// The page takes each field as the list's Values gives it: names in either
// case, the first line of a name, lines added while the page is made.
TEST_F(SearchTest, ResultPageReadsTheListByName) {
    TStringList list;
    list.SetText("SearchKey=k\nid0=Ab1_cd2Ef3g\nID0=Zz9_Zz9Zz9z\ntitle0=First\nTITLE0=Other\n"
                 "Duration0=1:05\npopularity0=4.5\nID1=Bb1_cd2Ef3g\nTITLE1=\nDURATION1=2:00\n"
                 "ID2=Cc1_cd2Ef3g\nTITLE2=Third\nDURATION2=0:30\nPOPULARITY2=70\n"
                 "Page0=1\nPAGE1=2\nVCOUNT=9");
    current.Page = 1;
    const std::string html = view->MakeResultHtml(&list);
    EXPECT_EQ(Count(html, "<tr id=\"row"), 2u);
    EXPECT_NE(html.find("ID=Ab1_cd2Ef3g&TITLE=First&LONG=65"), std::string::npos);
    EXPECT_EQ(html.find("Zz9_Zz9Zz9z"), std::string::npos);
    EXPECT_EQ(html.find("Bb1_cd2Ef3g"), std::string::npos); // no title: left out
    EXPECT_NE(html.find("ID=Cc1_cd2Ef3g&TITLE=Third&LONG=30"), std::string::npos);
    EXPECT_EQ(list.Values("VCOUNT"), "3");
    EXPECT_EQ(list.Values("SCOUNT"), "0");
    EXPECT_NE(html.find("<b>1</b>"), std::string::npos);
    EXPECT_NE(html.find("xmd:ACTION=FlipPage&PAGE=2\">2</a>"), std::string::npos);
}

TEST(RuntimeLong, DurationTexts) {
    const std::pair<std::string, std::string> cases[] = {
        {"3:25", "205"}, {"<span>7:30</span>", "450"}, {"1:02:03", "3723"}, {"45", "45"}, {"", ""},
        {"x:10", "10"},
    };
    for (const auto& [text, seconds] : cases)
        EXPECT_EQ(TfrmCenterView::GetRuntimeLong(text), seconds) << text;
}

class CategoryTest : public SearchTest {};

TEST_F(CategoryTest, CategoriesKeywordListsAndTheirPages) {
    EXPECT_TRUE(Click("xmd:ACTION=Category"));
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].browser, cbCategory);
    EXPECT_EQ(pages.back(), tsCategory);
    const std::string& cats = loaded[0].html;
    EXPECT_EQ(Count(cats, "<li><a href=\"xmd:ACTION=Categories"), 10u);
    EXPECT_NE(cats.find("CATEGORYID=2&CATEGORYPAGE=1\">Hip-Hop &amp; Rap</a>"), std::string::npos);
    EXPECT_NE(cats.find("CATEGORYID=5&CATEGORYPAGE=1\">R&amp;B</a>"), std::string::npos);
    // "More & Other" comes last, with its own number.
    EXPECT_GT(cats.find("CATEGORYID=3&CATEGORYPAGE=1\">More &amp; Other</a>"),
              cats.find("CATEGORYID=9&CATEGORYPAGE=1\">K-Pop</a>"));

    EXPECT_TRUE(Click("xmd:ACTION=Categories&CATEGORYID=0&CATEGORYPAGE=2"));
    EXPECT_EQ(navigated.back(),
              std::make_pair(cbCategory, "file://" + ProgramFolder() + "res/loading.html"));
    ASSERT_TRUE(Wait([&] { return loaded.size() == 2; }));
    const std::string& list = loaded[1].html;
    EXPECT_EQ(view->CategoryResult()->Values("KEYWORD_COUNT"), "11");
    EXPECT_NE(list.find("<title>Pop - Top Songs</title>"), std::string::npos);
    EXPECT_EQ(list.find("__title__"), std::string::npos);
    EXPECT_NE(list.find(">Tom &amp; Jerry Blues (Part 2) - The Cartoons</a>"), std::string::npos)
        << list;
    EXPECT_NE(list.find("KEYWORD=Tom+%26+Jerry+Blues+(Part+2)+-+The+Cartoons\""),
              std::string::npos);
    // The row without an artist is listed by its title alone.
    EXPECT_NE(list.find(">Unknown Artist Anthem</a>"), std::string::npos);
    EXPECT_NE(list.find("<b>2</b>"), std::string::npos);
    EXPECT_NE(list.find("xmd:ACTION=Categories&CATEGORYID=0&CATEGORYPAGE=3\">3</a>"),
              std::string::npos);
    // A keyword of the list searches it.
    loaded.clear();
    EXPECT_TRUE(Click("xmd:ACTION=Search&KEYWORD=Se%C3%B1orita+-+Shawn+%26+Camila"));
    ASSERT_TRUE(Wait([&] { return !loaded.empty(); }));
    EXPECT_EQ(view->SearchResult()->Values("SearchKey"), "Señorita - Shawn & Camila");
}

// Counts from the settings (which an update answer may set) are bounded: a
// huge number of categories or pages makes pages of reasonable size, and a
// category page that cannot be had says why.
TEST_F(CategoryTest, HostileCountsAndFailedPages) {
    SettingsInstance()->SetSettingstring("categories_count", "2147483647");
    SettingsInstance()->SetSettingstring("c_pages", "2147483647");
    EXPECT_TRUE(Click("xmd:ACTION=Category"));
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(Count(loaded[0].html, "xmd:ACTION=Categories"), 1000u);
    EXPECT_TRUE(Click("xmd:ACTION=Categories&CATEGORYID=0&CATEGORYPAGE=1"));
    ASSERT_TRUE(Wait([&] { return loaded.size() == 2; }));
    EXPECT_EQ(Count(loaded[1].html, "CATEGORYPAGE="), 99u); // every page but the current one
    EXPECT_NE(loaded[1].html.find("<b>1</b>"), std::string::npos);

    Switch("status", "503");
    EXPECT_TRUE(Click("xmd:ACTION=Categories&CATEGORYID=0&CATEGORYPAGE=2"));
    ASSERT_TRUE(Wait([&] { return loaded.size() == 3; }));
    EXPECT_EQ(loaded[2].browser, cbCategory);
    EXPECT_NE(loaded[2].html.find("The site answered with error 503."), std::string::npos);
}

TEST_F(CategoryTest, HotSongsAndWelcomePages) {
    view->ShowHotSongs();
    EXPECT_EQ(pages.back(), tsHome);
    EXPECT_EQ(navigated.back(),
              std::make_pair(cbHome, site.Base() + "/hot#" + site.Base() + "/info"));
    view->ShowWelcome();
    EXPECT_EQ(pages.back(), tsResult);
    EXPECT_EQ(navigated.back(),
              std::make_pair(cbMain, "file://" + ProgramFolder() + "res/welcome.html?" +
                                         site.Base() + "/info"));
}

} // namespace
