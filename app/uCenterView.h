// The centre view's pages: keyword searches and their result pages, the
// categories and keyword-list pages, the hot-songs and welcome pages, and the
// "xmd:" links of those pages.
//
// This is the part without windows. The frame's three browsers (result,
// hot songs, category) and its page control are reached through the events
// below, which the window binds when it is built; headless, a test binds them.
#pragma once

#include "app/uMDDef.h"
#include "classlib/classes.h"
#include "classlib/strings.h"

#include <functional>
#include <memory>
#include <string>

class TSingleDownloader;
struct TEntryPatterns;

// The browsers of the centre view.
enum TCenterBrowser { cbMain, cbHome, cbCategory };
// Its pages (tabs).
enum TCenterPage { tsResult, tsHome, tsCategory, tsAdv };

class TfrmCenterView : public TComponent {
public:
    explicit TfrmCenterView(TComponent* AOwner);
    ~TfrmCenterView() override;

    // Window side: show HTML text in a browser, navigate a browser, make a
    // page active.
    std::function<void(TCenterBrowser, const std::string& Html)> OnLoadHtml;
    std::function<void(TCenterBrowser, const std::string& URL)> OnNavigate;
    std::function<void(TCenterPage)> OnActivatePage;
    TNotifyEvent OnSearchEvent;

    TStringList* SearchResult() const { return FSearchResult.get(); }
    TStringList* CategoryResult() const { return FCategoryResult.get(); }
    int CategoryID() const { return FCategoryID; }
    int CategoryPage() const { return FCategoryPage; }
    TSingleDownloader* sdYoutube() const { return FYoutube.get(); }
    TSingleDownloader* sdYouTubeCategory() const { return FYoutubeCategory.get(); }

    void ShowSearch(const std::string& Keyword, int Page);
    void StartSearch(const std::string& SearchListText);
    void ShowLoading(TCenterBrowser Browser = cbMain);
    void sdYoutubeDoneString(TObject* Sender, const std::string& PageText);
    // A search or category page that failed: a page that says why, in
    // place of the loading page.
    void sdYoutubeError(TObject* Sender);
    void sdYouTubeCategoryError(TObject* Sender);
    static std::string MakeErrorHtml(const std::string& Heading, const std::string& Reason);
    std::string MakeResultHtml(TStringList* List);

    // The advanced search of the form's fields: artist, title, album and the
    // edition list's chosen item (its index and text). Refused with a message
    // when nothing was given.
    void AdvancedSearch(const std::string& Artist, const std::string& Title,
                        const std::string& Album, int EditionIndex, const std::string& EditionText);
    // Its keyword: the "Text.AdvanceSearch" prefix, then every field given and
    // a space each; empty when nothing was given.
    static std::string AdvancedSearchKeyword(const std::string& Artist, const std::string& Title,
                                             const std::string& Album, int EditionIndex,
                                             const std::string& EditionText);

    static std::string TitleToUrlText(const std::string& Title);
    static std::string GetRuntimeLong(const std::string& Duration);

    // The before-navigate handler of the three browsers.
    void wbMainBeforeNavigate2(const std::string& URL, bool& Cancel);

    void ShowCategory();
    void LoadCategories();
    std::string MakeCategoriesHtml();
    void FetchCategory(const std::string& CategoryId, int Page);
    void sdYouTubeCategoryDoneString(TObject* Sender, const std::string& PageText);
    std::string MakeKeywordListHtml();
    void ShowHotSongs();
    void ShowWelcome();
    void RefreshWelcom() { ShowWelcome(); }

private:
    void SetActivePage(TCenterPage Page);
    void ParseEntry(const std::string& EntryText, int Index, TStringList* List,
                    TEntryPatterns& Patterns);

    std::unique_ptr<TStringList> FSearchResult;
    std::unique_ptr<TStringList> FCategoryResult;
    int FCategoryID = -1;
    int FCategoryPage = 1;
    std::unique_ptr<TSingleDownloader> FYoutube;
    std::unique_ptr<TSingleDownloader> FYoutubeCategory;
};

// The program folder's file for a path written with "\" in texts and settings.
std::string ProgramFile(const std::string& RelativePath);
// The program folder as the pages' "APP_PATH", ending in "/".
std::string AppPathForPages();
