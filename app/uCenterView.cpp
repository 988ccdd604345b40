#include "app/uCenterView.h"

#include "app/ZuzIva.h"
#include "app/uCommonFunc.h"
#include "classlib/sysutils.h"
#include "classlib/urlencode.h"
#include "download/PcreRegex.h"
#include "download/SingleDownloader.h"
#include "framework/CLEngine.h"
#include "framework/CLSettings.h"
#include "framework/SPTools.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <unordered_map>

namespace {

std::string Setting(const std::string& Key) {
    return SettingsInstance()->GetSettingString(Key);
}

// A template file named by a text key, or its English default.
std::string TemplateFile(const std::string& Key, const std::string& Default) {
    const std::string name = AppText(Key);
    return ProgramFile(name.empty() ? Default : name);
}

std::string PageAddress(const std::string& Page) {
    if (TCLEngine* engine = EngineInstance()) return engine->GetURL(Page, false);
    return Setting("URL." + Page);
}

// "Popularity": 3 log2 of the view count, within 10..100.
std::string PopularityOf(const std::string& Views) {
    std::string digits;
    for (char c : Views)
        if (c != ',' && c != ' ') digits += c;
    const std::int32_t n = StrToIntDef(digits, 0);
    if (n <= 0) return "10";
    const int p = int(std::floor(3.0 * std::log2(double(n))));
    return IntToStr(std::min(100, std::max(10, p)));
}

std::string DecodedOrSame(const std::string& Text) {
    const auto decoded = FormDecode(Text, TFormBytes::Ansi);
    return decoded ? *decoded : Text;
}

// The values of a list by name, as its Values gives them (the first line of
// a name wins; letters of either case are alike unless the list says
// otherwise), each found without a walk through the list.
class TListValues {
public:
    explicit TListValues(const TStringList& List) : FList(List) {
        FFirst.reserve(size_t(List.Count()));
        for (int i = 0; i < List.Count(); ++i) {
            const std::string line = List.Get(i);
            const size_t at = line.find(List.NameValueSeparator());
            if (at != std::string::npos) FFirst.emplace(Key(line.substr(0, at)), i);
        }
    }
    std::string operator()(const std::string& Name) const {
        const auto it = FFirst.find(Key(Name));
        return it == FFirst.end() ? std::string() : FList.ValueFromIndex(it->second);
    }

private:
    std::string Key(std::string Name) const {
        if (!FList.CaseSensitive())
            for (char& c : Name)
                if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        return Name;
    }
    const TStringList& FList;
    std::unordered_map<std::string, int> FFirst;
};

// Group 1 of the first match in a text.
bool FirstGroupOf(TPcreRegex& Re, const std::string& Text, std::string& Group) {
    Re.SetSubject(Text);
    if (!Re.Match()) return false;
    Group = Re.Group(1);
    return true;
}

// The counts come from the settings, which an update answer may set: the
// pages built from them stay within these.
constexpr int MaxCategories = 1000;
constexpr int MaxCategoryPages = 100;

int CategoriesCount() {
    return std::clamp(SettingsInstance()->GetSettingInteger("categories_count"), 0, MaxCategories);
}

} // namespace

// The entry patterns of one result page, each compiled once for all entries.
struct TEntryPatterns {
    TPcreRegex Id{Setting("Pattern.id")};
    TPcreRegex Title{Setting("Pattern.title")};
    TPcreRegex Duration{Setting("Pattern.duration")};
    TPcreRegex Popularity{Setting("Pattern.popularity2")};
};

std::string ProgramFile(const std::string& RelativePath) {
    return GetAppFolder() + StringReplace(RelativePath, "\\", "/", rfReplaceAll);
}

std::string AppPathForPages() {
    return IncludeTrailingPathDelimiter(GetAppFolder());
}

TfrmCenterView::TfrmCenterView(TComponent* AOwner)
    : TComponent(AOwner), FSearchResult(std::make_unique<TStringList>()),
      FYoutube(std::make_unique<TSingleDownloader>(nullptr)),
      FYoutubeCategory(std::make_unique<TSingleDownloader>(nullptr)) {
    FYoutube->AcceptTypes = "*/*";
    FYoutube->HttpCharset = KUTF8;
    FYoutube->OnDoneString = [this](TObject* s, const std::string& t) {
        sdYoutubeDoneString(s, t);
    };
    FYoutube->OnError = [this](TObject* s) { sdYoutubeError(s); };
    FYoutubeCategory->AcceptTypes = "*/*";
    FYoutubeCategory->HttpCharset = KUTF8;
    FYoutubeCategory->OnDoneString = [this](TObject* s, const std::string& t) {
        sdYouTubeCategoryDoneString(s, t);
    };
    FYoutubeCategory->OnError = [this](TObject* s) { sdYouTubeCategoryError(s); };
}

TfrmCenterView::~TfrmCenterView() {
    FYoutube->Abort();
    FYoutubeCategory->Abort();
}

void TfrmCenterView::SetActivePage(TCenterPage Page) {
    if (OnActivatePage) OnActivatePage(Page);
}

void TfrmCenterView::ShowLoading(TCenterBrowser Browser) {
    if (OnNavigate) OnNavigate(Browser, "file://" + ProgramFile("res\\loading.html"));
}

void TfrmCenterView::ShowSearch(const std::string& Keyword, int Page) {
    if (OnSearchEvent) OnSearchEvent(this);
    ShowLoading(cbMain);
    TCurrentInfo* current = MainWindowSide().CurrentInfo;
    if (!current || current->MDInfo->Count() == 0) return;
    TStringList list;
    list.Assign(*current->MDInfo);
    list.SetValues("SearchKeyURL",
                   list.Values("SearchKeyURL") + FormEncode(Keyword, TFormBytes::UTF8));
    list.SetValues("Page", IntToStr(Page <= 0 ? 1 : Page));
    list.SetValues("SearchKey", Keyword);
    StartSearch(list.Text());
}

void TfrmCenterView::StartSearch(const std::string& SearchListText) {
    FSearchResult->Clear();
    FSearchResult->SetText(SearchListText);
    const std::string url = FSearchResult->Values("SearchKeyURL");
    if (url.empty()) return;
    // A newer search replaces the one still running: its answer never arrives.
    FYoutube->Abort();
    FYoutube->URL = url + "&page=" + FSearchResult->Values("Page");
    FYoutube->GetString();
}

void TfrmCenterView::ParseEntry(const std::string& EntryText, int Index, TStringList* List,
                                TEntryPatterns& Patterns) {
    const std::string i = IntToStr(Index);
    std::string group;
    try {
        if (!FirstGroupOf(Patterns.Id, EntryText, group)) return;
        List->Add("ID" + i + "=" + group);
        if (!FirstGroupOf(Patterns.Title, EntryText, group)) return;
        // Decoded here, once; later steps take the title as it is.
        List->Add("TITLE" + i + "=" + ReplaceHtmlEntities(group));
        if (!FirstGroupOf(Patterns.Duration, EntryText, group)) return;
        List->Add("DURATION" + i + "=" + group);
        if (FirstGroupOf(Patterns.Popularity, EntryText, group)) {
            List->Add("POPULARITY" + i + "=" + PopularityOf(group));
        } else {
            static std::mt19937 random(std::random_device{}());
            List->Add("POPULARITY" + i + "=4." + IntToStr(random() % 9));
        }
    } catch (const Exception&) {
        // A pattern that does not compile leaves its fields out.
    }
}

namespace {

// Why a page fetch failed, as the user reads it.
std::string FetchFailure(const TSingleDownloader& Fetch) {
    if (Fetch.StatusCode() >= 400)
        return AppTextEx("Text.SiteError", {IntToStr(Fetch.StatusCode())});
    return AppTextEx("Text.SearchFailed", {Fetch.LastError()});
}

} // namespace

std::string TfrmCenterView::MakeErrorHtml(const std::string& Heading, const std::string& Reason) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + HtmlEscape(Heading) +
           "</title>\n<link rel=\"stylesheet\" href=\"file://" + HtmlEscape(AppPathForPages()) +
           "res/pages.css\"></head>\n<body class=\"result\"><h1>" + HtmlEscape(Heading) +
           "</h1>\n<p class=\"error\">" + HtmlEscape(Reason) + "</p>\n</body></html>\n";
}

void TfrmCenterView::sdYoutubeError(TObject*) {
    if (OnLoadHtml)
        OnLoadHtml(cbMain,
                   MakeErrorHtml(FSearchResult->Values("SearchKey"), FetchFailure(*FYoutube)));
}

void TfrmCenterView::sdYouTubeCategoryError(TObject*) {
    const std::string name =
        FCategoryResult ? FCategoryResult->Values(IntToStr(FCategoryID) + "_name") : "";
    if (OnLoadHtml)
        OnLoadHtml(cbCategory, MakeErrorHtml(DecodedOrSame(name), FetchFailure(*FYoutubeCategory)));
}

void TfrmCenterView::sdYoutubeDoneString(TObject*, const std::string& PageText) {
    TCurrentInfo* current = MainWindowSide().CurrentInfo;
    if (!current || !current->GetMDInfo()) {
        AppMessageBox("MsgBox.InfoGetting", mtInformation, {mbOK});
        return;
    }
    // An error page of the site is no result page.
    if (FYoutube->StatusCode() >= 400) {
        sdYoutubeError(nullptr);
        return;
    }
    try {
        TPcreRegex re(Setting("Pattern.entry"), TPcreRegex::SingleLine | TPcreRegex::Ungreedy);
        re.SetSubject(PageText);
        TEntryPatterns patterns;
        int i = 0;
        for (bool ok = re.Match(); ok; ok = re.MatchAgain())
            ParseEntry(re.Group(1), i++, FSearchResult.get(), patterns);
        re.SetPattern(Setting("Pattern.pages"));
        int k = 0;
        for (bool ok = re.Match(); ok; ok = re.MatchAgain())
            FSearchResult->Add("PAGE" + IntToStr(k++) + "=" + re.Group(1));
    } catch (const Exception&) {
        // The page shows what was found.
    }
    // Nothing the patterns know: say so rather than show an empty page.
    if (FSearchResult->Values("ID0").empty()) {
        if (OnLoadHtml)
            OnLoadHtml(cbMain, MakeErrorHtml(FSearchResult->Values("SearchKey"),
                                             AppText("Text.NoResults")));
        return;
    }
    const std::string html = MakeResultHtml(FSearchResult.get());
    if (OnLoadHtml) OnLoadHtml(cbMain, html);
}

std::string TfrmCenterView::MakeResultHtml(TStringList* List) {
    TZuzIva tpl;
    try {
        tpl.LoadTpl(TemplateFile("Tpl.ResultFile", "res\\result_en.html"));
    } catch (const Exception&) {
        return {};
    }
    const std::string appPath = AppPathForPages();
    std::optional<TListValues> values(std::in_place, *List);
    tpl.SetVar("SC_KEY", HtmlEscape((*values)("SearchKey")));
    tpl.SetVar("APP_PATH", appPath);
    int j = 0;
    bool white = true;
    for (;; ++j) {
        const std::string n = IntToStr(j);
        const std::string id = (*values)("ID" + n);
        if (id.empty()) break;
        const std::string title = (*values)("TITLE" + n);
        const std::string duration = (*values)("DURATION" + n);
        // Site texts go into a page of "xmd:" links: escaped, and the id only
        // when it looks like one.
        if (title.empty() || duration.empty() || !IsValidVideoId(id)) continue;
        tpl.BeginBlock("youtube");
        tpl.SetVar("APP_PATH", appPath);
        tpl.SetVar("YT_TITLE", HtmlEscape(title));
        tpl.SetVar("YT_TITLE_URL", TitleToUrlText(title));
        tpl.SetVar("YT_ID", id);
        tpl.SetVar("RUN_TIME", HtmlEscape(duration));
        tpl.SetVar("YT_LONG", GetRuntimeLong(duration));
        tpl.SetVar("POPULARITY",
                   HtmlEscape(StringReplace((*values)("POPULARITY" + n), ".", "", rfReplaceAll)));
        tpl.SetVar("ID", n);
        tpl.SetVar("DOWNLOADTAB_CLASS", white ? "downloadtab_white" : "downloadtab_gray");
        white = !white;
        tpl.EndBlock("youtube");
    }
    List->SetValues("SCOUNT", "0");
    List->SetValues("VCOUNT", IntToStr(j));
    values.emplace(*List); // the list has changed
    TCurrentInfo* current = MainWindowSide().CurrentInfo;
    const int currentPage = current ? current->Page : 0;
    for (int k = 0;; ++k) {
        const std::string label = (*values)("PAGE" + IntToStr(k));
        if (label.empty()) break;
        tpl.BeginBlock("pages");
        if (StrToIntDef(label, -1) != currentPage) {
            tpl.SetVar("PAGE", HtmlEscape(label));
            tpl.SetVar("PAGE_ID", HtmlEscape(label));
        } else {
            tpl.SetVar("CURRENTPAGE", IntToStr(currentPage));
        }
        tpl.EndBlock("pages");
    }
    tpl.MakeHtml();
    return tpl.m_sHTML;
}

std::string TfrmCenterView::AdvancedSearchKeyword(const std::string& Artist,
                                                  const std::string& Title,
                                                  const std::string& Album, int EditionIndex,
                                                  const std::string& EditionText) {
    if (Artist.empty() && Title.empty() && Album.empty() && EditionIndex <= 0) return {};
    std::string keyword = AppText("Text.AdvanceSearch");
    for (const std::string* field : {&Artist, &Title, &Album})
        if (!field->empty()) keyword += *field + " ";
    if (EditionIndex > 0) keyword += EditionText + " ";
    return keyword;
}

void TfrmCenterView::AdvancedSearch(const std::string& Artist, const std::string& Title,
                                    const std::string& Album, int EditionIndex,
                                    const std::string& EditionText) {
    const std::string keyword =
        AdvancedSearchKeyword(Artist, Title, Album, EditionIndex, EditionText);
    if (keyword.empty())
        AppMessageBox("MsgBox.NoEnterAdvKeywords", mtInformation, {mbOK});
    else
        SearchKeyword(keyword, 1);
}

std::string TfrmCenterView::TitleToUrlText(const std::string& Title) {
    // Compiled once (per thread) for all the titles of every page.
    static thread_local TPcreRegex tags("<(\\S*?)[^>]*>");
    const std::string plain = tags.ReplaceAll(Title, "");
    // UTF-8 bytes, so a title in any script survives whatever the code page.
    return StringReplace(FormEncode(plain, TFormBytes::UTF8), "%", "%25", rfReplaceAll);
}

std::string TfrmCenterView::GetRuntimeLong(const std::string& Duration) {
    if (Duration.empty()) return {};
    std::string text = Duration;
    const std::size_t gt = text.find('>');
    if (gt != std::string::npos) text = text.substr(gt + 1);
    const std::size_t lt = text.find('<');
    if (lt != std::string::npos) text = text.substr(0, lt);
    TStringList parts;
    SplitText(text, ':', &parts);
    // m:ss, h:mm:ss, or a bare number of seconds.
    int seconds = 0;
    for (int i = 0; i < parts.Count() && i < 3; ++i)
        seconds = seconds * 60 + StrToIntDef(Trim(parts[i]), 0);
    return IntToStr(seconds);
}

void TfrmCenterView::wbMainBeforeNavigate2(const std::string& URL, bool& Cancel) {
    if (!StartsText("xmd:", URL)) return;
    TStringList params;
    ParseQueryParams(URL, &params, true);
    const std::string action = params.Values("ACTION");
    TCurrentInfo* current = MainWindowSide().CurrentInfo;
    TUrlInfo info;
    if (SameText(action, "Play")) {
        info.Action = UA_PLAY;
        if (current) current->PID = StrToIntDef(params.Values("PID"), 0);
    } else if (SameText(action, "Download")) {
        info.Action = UA_DOWNLOAD;
    } else if (SameText(action, "FlipPage")) {
        info.Action = UA_FLIPPAGE;
    } else if (SameText(action, "Search")) {
        info.Action = UA_SEARCH;
        if (current) current->Keyword = params.Values("KEYWORD");
    } else if (SameText(action, "Categories")) {
        ShowLoading(cbCategory);
        const std::string page = params.Values("CATEGORYPAGE");
        FetchCategory(params.Values("CATEGORYID"), page.empty() ? 1 : StrToIntDef(page, 1));
        Cancel = true;
        return;
    } else if (SameText(action, "Category")) {
        ShowCategory();
        Cancel = true;
        return;
    }
    if (!params.Values("ID").empty()) info.Id = params.Values("ID");
    if (!params.Values("LONG").empty()) info.Long = StrToIntDef(params.Values("LONG"), 0);
    // The title is written twice encoded ("%" as "%25"): its second decoding.
    const auto title = FormDecode(params.Values("TITLE"), TFormBytes::UTF8);
    info.Title = title ? *title : params.Values("TITLE");
    if (!params.Values("PAGE").empty()) info.Page = StrToIntDef(params.Values("PAGE"), 0);
    info.PId = StrToIntDef(params.Values("PID"), 0);
    if (current) info.SC_Key = current->Keyword;
    if (DoUrlAction(info)) Cancel = true;
}

void TfrmCenterView::ShowCategory() {
    LoadCategories();
}

void TfrmCenterView::LoadCategories() {
    FCategoryResult = std::make_unique<TStringList>();
    FCategoryResult->SetValues("pattern", Setting("c_pattern"));
    FCategoryResult->SetValues("categories_count", Setting("categories_count"));
    const int count = CategoriesCount();
    for (int i = 0; i < count; ++i) {
        const std::string n = IntToStr(i);
        FCategoryResult->SetValues(n + "_name", Setting("c_" + n + "_name"));
        FCategoryResult->SetValues(n + "_url", Setting("c_" + n + "_url"));
    }
    const std::string html = MakeCategoriesHtml();
    if (OnLoadHtml) OnLoadHtml(cbCategory, html);
    SetActivePage(tsCategory);
}

std::string TfrmCenterView::MakeCategoriesHtml() {
    TZuzIva tpl;
    try {
        tpl.LoadTpl(TemplateFile("Tpl.CategoryFile", "res\\categories_en.html"));
    } catch (const Exception&) {
        return {};
    }
    const std::string appPath = AppPathForPages();
    const int count = CategoriesCount();
    int more = 0;
    for (int i = 0; i < count; ++i) {
        const std::string name =
            StringReplace(FCategoryResult ? FCategoryResult->Values(IntToStr(i) + "_name") : "",
                          "/", " & ", rfReplaceAll);
        if (name == "More & Other") {
            more = i;
            continue;
        }
        tpl.BeginBlock("categories");
        tpl.SetVar("APP_PATH", appPath);
        tpl.SetVar("CATEGORY_NAME", HtmlEscape(DecodedOrSame(name)));
        tpl.SetVar("ID", IntToStr(i));
        tpl.EndBlock("categories");
    }
    tpl.BeginBlock("categories");
    tpl.SetVar("APP_PATH", appPath);
    tpl.SetVar("CATEGORY_NAME", HtmlEscape("More & Other"));
    tpl.SetVar("ID", IntToStr(more));
    tpl.EndBlock("categories");
    tpl.MakeHtml();
    return tpl.m_sHTML;
}

void TfrmCenterView::FetchCategory(const std::string& CategoryId, int Page) {
    FCategoryID = StrToIntDef(CategoryId, -1);
    FCategoryPage = Page;
    const std::string url =
        FCategoryResult ? FCategoryResult->Values(CategoryId + "_url") : std::string();
    if (url.empty()) return;
    // A newer page replaces the one still loading.
    FYoutubeCategory->Abort();
    FYoutubeCategory->URL = url + "&p=" + IntToStr(Page);
    FYoutubeCategory->GetString();
}

void TfrmCenterView::sdYouTubeCategoryDoneString(TObject*, const std::string& PageText) {
    if (!FCategoryResult) return;
    if (FYoutubeCategory->StatusCode() >= 400) {
        sdYouTubeCategoryError(nullptr);
        return;
    }
    int n = 0;
    try {
        TPcreRegex re(Setting("c_pattern_entry"), TPcreRegex::SingleLine | TPcreRegex::Ungreedy);
        re.SetSubject(PageText);
        // Compiled once for all rows.
        TPcreRegex titles(Setting("c_pattern_title")), artists(Setting("c_pattern_artist"));
        for (bool ok = re.Match(); ok; ok = re.MatchAgain()) {
            std::string title, artist;
            if (!FirstGroupOf(titles, re.Group(1), title)) continue;
            title = ReplaceHtmlEntities(title);
            if (title == "__title__") continue;
            if (FirstGroupOf(artists, re.Group(1), artist)) artist = ReplaceHtmlEntities(artist);
            if (title.empty() || artist.empty()) continue;
            FCategoryResult->SetValues("KEYWORD_" + IntToStr(n++),
                                       artist == " " ? title : title + " - " + artist);
        }
    } catch (const Exception&) {
        // What was found is listed.
    }
    FCategoryResult->SetValues("KEYWORD_COUNT", IntToStr(n));
    const std::string html = MakeKeywordListHtml();
    if (OnLoadHtml) OnLoadHtml(cbCategory, html);
}

std::string TfrmCenterView::MakeKeywordListHtml() {
    TZuzIva tpl;
    try {
        tpl.LoadTpl(TemplateFile("Tpl.KeywordListFile", "res\\keywordlist_en.html"));
    } catch (const Exception&) {
        return {};
    }
    const int count =
        FCategoryResult ? StrToIntDef(FCategoryResult->Values("KEYWORD_COUNT"), 0) : 0;
    for (int n = 0; n < count; ++n) {
        const std::string keyword = FCategoryResult->Values("KEYWORD_" + IntToStr(n));
        tpl.BeginBlock("keywords");
        tpl.SetVar("KEYWORD", FormEncode(keyword, TFormBytes::UTF8));
        tpl.SetVar("KEYWORDTITLE", HtmlEscape(keyword));
        tpl.EndBlock("keywords");
    }
    // A page link for each page: within reason, whatever the settings say.
    const int pages = std::min(SettingsInstance()->GetSettingInteger("c_pages"), MaxCategoryPages);
    if (pages >= 2) {
        for (int p = 1; p <= pages; ++p) {
            const std::string num = IntToStr(p);
            tpl.BeginBlock("pages");
            if (p == FCategoryPage)
                tpl.SetVar("PAGE", "<b>" + num + "</b>");
            else
                tpl.SetVar("PAGE",
                           "<a href=\"xmd:ACTION=Categories&CATEGORYID=" + IntToStr(FCategoryID) +
                               "&CATEGORYPAGE=" + num + "\">" + num + "</a>");
            tpl.EndBlock("pages");
        }
    }
    const std::string name =
        FCategoryResult ? FCategoryResult->Values(IntToStr(FCategoryID) + "_name") : "";
    tpl.SetVar("TITLE", HtmlEscape(DecodedOrSame(name) + Setting("c_pagetitle")));
    tpl.SetVar("APP_PATH", AppPathForPages());
    tpl.MakeHtml();
    return tpl.m_sHTML;
}

void TfrmCenterView::ShowHotSongs() {
    SetActivePage(tsHome);
    if (OnNavigate) OnNavigate(cbHome, PageAddress("HomeURL") + "#" + PageAddress("InfoURL"));
}

void TfrmCenterView::ShowWelcome() {
    SetActivePage(tsResult);
    if (OnNavigate)
        OnNavigate(cbMain,
                   "file://" + ProgramFile("res\\welcome.html") + "?" + PageAddress("InfoURL"));
}
