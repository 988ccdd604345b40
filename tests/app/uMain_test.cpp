// The main window driven by input: keyword search, page flip, download link,
// the download list and the player's commands, against the stand-in site.
#include "app/uMain.h"
#include "app_test_support.h"

#include "app/uSettings.h"
#include "framework/CLApp.h"
#include "framework/CLEnglishDefaults.h"
#include "framework/CLMultiLang.h"
#include "media/FFLoad.h"
#include "platform/display/tray.h"
#include "platform/os/process.h"
#include "platform/webview/headless.h"
#include "platform/win/controls/listview.h"
#include "platform/win/input.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/scroll.h"
#include "platform/win/shellnotify.h"
#include "platform/win/window.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

using apptest::AppTest;
using apptest::Count;

namespace {

class MainWindowTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        main = new TfrmMain(form, engine);
        main->OnPrepareDownload = [this](TfrmPrepareDownload& dialog) {
            dialog.cbSaveto->SetText(dir.file("out"));
            dialog.cbbRate->SetItemIndex(1);
            return mrOk;
        };
        main->frmPlayerFrame->OnFlashVar = [this](const std::string& name, const std::string& v) {
            flash.push_back(name + "=" + v);
        };
        main->OnBrowserScript = [this](const std::string& script) { scripts.push_back(script); };
        std::filesystem::create_directories(dir.file("out"));
        main->Show();
    }
    void TearDown() override {
        if (Application->MainForm() == main) Application->SetMainForm(nullptr);
        main->mdDownloader()->StopAll();
        AppTest::TearDown();
    }
    std::string Page() const { return main->BrowserContent[cbMain]; }
    void TypeAndEnter(const std::string& text) {
        main->frmSearchFrame->cbKeyword->SetText(text);
        SendMessage(main->frmSearchFrame->cbKeyword->Handle(), WM_KEYDOWN, 13, 0);
    }
    bool Click(const std::string& url) {
        bool cancel = false;
        main->frmCenterView->wbMainBeforeNavigate2(url, cancel);
        return cancel;
    }
    // A task of the queue as a list file would bring it back.
    void AddTask(const std::string& Title, const std::string& SavePath, EDownloadState State) {
        auto* item = new TDownloadItem;
        item->URL = "http://127.0.0.1:1/watch?v=" + Title;
        item->FileName = dir.file("tmp/" + Title + ".mtd");
        item->Comment()->SetValues("Title", Title);
        item->Comment()->SetValues("SavePath", SavePath);
        item->Comment()->SetValues("Long", "61");
        ASSERT_TRUE(main->mdDownloader()->DownloadList()->Append(item));
        item->SetDownloadState(State);
    }
    // Double-clicks a row of the download list as the user does.
    void DoubleClickRow(int i) {
        TspSkinListViewSP* lv = main->frmDownloadList->lvDL;
        const TRect r = lv->Items()->Item(i)->DisplayRect(drBounds);
        const TPoint p = lv->ClientToScreen(TPoint{r.Left + 20, (r.Top + r.Bottom) / 2});
        for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
            DeliverMouse(m, POINT{p.X, p.Y}, m == WM_LBUTTONUP ? WPARAM(0) : WPARAM(MK_LBUTTON));
        Application->ProcessMessages();
    }
    std::string Row(int i, int sub) {
        TListItem* row = main->frmDownloadList->lvDL->Items()->Item(i);
        return sub < 0 ? row->Caption() : row->SubItems()->Strings(sub);
    }

    TfrmMain* main = nullptr;
    std::vector<std::string> flash;
    std::vector<std::string> scripts;
};

TEST_F(MainWindowTest, KeywordToResultPageToQueuedTask) {
    TypeAndEnter("rock");
    ASSERT_TRUE(Wait([&] { return Count(Page(), "<tr id=\"row") == 10; })) << Page();
    EXPECT_EQ(main->ActivePage, tsResult);
    EXPECT_NE(Page().find("<b>1</b>"), std::string::npos);
    EXPECT_EQ(main->frmSearchFrame->Recent()->Strings(0), "rock");

    ASSERT_TRUE(Click("xmd:ACTION=FlipPage&PAGE=2"));
    ASSERT_TRUE(Wait([&] { return Page().find("<b>2</b>") != std::string::npos; }));

    // The first entry's Download link queues a task and the list shows it.
    const std::string html = Page();
    const std::size_t at = html.find("xmd:ACTION=Download");
    ASSERT_NE(at, std::string::npos);
    const std::string link = html.substr(at, html.find('"', at) - at);
    ASSERT_TRUE(Click(link));
    TDownloadList* list = main->mdDownloader()->DownloadList();
    ASSERT_EQ(list->ItemCount(), 1);
    ASSERT_EQ(main->frmDownloadList->lvDL->Items()->Count(), 1);
    const std::string title = list->Items(0)->Comment()->Values("Title");
    EXPECT_FALSE(title.empty());
    EXPECT_EQ(Row(0, -1), title);
    EXPECT_EQ(Row(0, 0), dir.file("out/") + title + ".mp3");
    EXPECT_TRUE(main->actClearAll->Enabled);

    // The same entry again goes to a numbered file.
    main->Download(list->Items(0)->Comment() ? ReadTaskComment(list->Items(0)->Comment())
                                             : TUrlInfo());
    ASSERT_EQ(list->ItemCount(), 2);
    EXPECT_EQ(Row(1, 0), dir.file("out/") + "(1)" + title + ".mp3");

    // Without a stored limit no task starts; with one the task runs to its MP3.
    EXPECT_EQ(Row(0, 2), "Ready");
    // The page marks an entry once its MP3 is there, not when it is queued.
    EXPECT_EQ(std::count_if(scripts.begin(), scripts.end(),
                            [](const std::string& s) { return s.rfind("ShowDIcon(", 0) == 0; }),
              0);
    main->mdDownloader()->SetMaxTasks(2);
    main->mdDownloader()->Resume();
    ASSERT_TRUE(Wait([&] { return Row(0, 2) == "Finished"; }, 60000)) << Row(0, 2);
    EXPECT_EQ(main->frmDownloadList->lvDL->Items()->Item(0)->ImageIndex(), 2);
    EXPECT_TRUE(std::filesystem::exists(dir.file("out/") + title + ".mp3"));
    const std::string pid = list->Items(0)->Comment()->Values("PId");
    EXPECT_NE(std::find(scripts.begin(), scripts.end(), "ShowDIcon(" + pid + ");"), scripts.end());
}

// The media libraries load beside the first download, not on the main
// thread once it has ended: here the site holds the download still part way.
TEST_F(MainWindowTest, TheMediaLibrariesLoadWhileTheFirstDownloadRuns) {
    ASSERT_FALSE(FFLoader().Loaded(ConverterLibraries));
    TUrlInfo info;
    info.Action = UA_DOWNLOAD;
    info.Id = "St4lLeDv1d0";
    info.Title = "Stalled";
    info.Long = 30;
    main->Download(info);
    TDownloadList* list = main->mdDownloader()->DownloadList();
    ASSERT_EQ(list->ItemCount(), 1);
    main->mdDownloader()->SetMaxTasks(1);
    main->mdDownloader()->Resume();
    ASSERT_TRUE(Wait([] { return FFLoader().Loaded(ConverterLibraries); }, 30000));
    EXPECT_EQ(list->Items(0)->DownloadState(), KDownloading);
}

// A failed download says why on its row, does not count as running, and the
// window then closes without a question: whether the site refused the file
// or the temporary folder cannot be written.
TEST_F(MainWindowTest, AFailedDownloadSaysWhyAndTheWindowCloses) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::string reason;
    };
    const Case cases[] = {
        {"refused",
         [this] {
             Switch("status", "404");
             Switch("status-path", "/get_video");
         },
         "404"},
        {"no temporary folder",
         [this] {
             // A file stands where the folder would be made.
             dir.write("blocked", "a file");
             SettingsInstance()->SetSettingstring("TemporaryDir", dir.file("blocked/Downloading"));
         },
         "Not a directory"},
    };
    main->mdDownloader()->SetMaxTasks(2);
    TDownloadList* list = main->mdDownloader()->DownloadList();
    TspSkinListViewSP* lv = main->frmDownloadList->lvDL;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        list->ClearAll();
        main->frmDownloadList->RefreshList();
        c.arrange();
        TUrlInfo info;
        info.Action = UA_DOWNLOAD;
        info.Id = site::FixedVideos()[0].Id;
        info.Title = c.name;
        main->Download(info);
        ASSERT_EQ(list->ItemCount(), 1);
        ASSERT_TRUE(Wait([&] { return list->Items(0)->DownloadState() == KFailed; }, 30000));
        EXPECT_EQ(Row(0, 2), "Failed");
        EXPECT_FALSE(main->mdDownloader()->IsDownloading());
        // The pointer over the row shows the reason as its hint.
        const TRect r = lv->Items()->Item(0)->DisplayRect(drBounds);
        SendMessage(lv->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(r.Left + 5, r.Top + 3));
        EXPECT_NE(lv->Hint.find(c.reason), std::string::npos) << lv->Hint;
        SendMessage(lv->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(r.Left + 5, r.Bottom + 40));
        EXPECT_EQ(lv->Hint, "");
    }
    messages.clear();
    EXPECT_TRUE(main->FormCloseQuery());
    EXPECT_TRUE(messages.empty());
}

// The list file follows every change of the list, so a run killed at any
// moment leaves it as it was; a list that cannot be saved at close is said
// by a message, and the close goes on.
TEST_F(MainWindowTest, TheListFileFollowsTheListAndAFailedSaveIsSaid) {
    const std::string file = main->CurrentInfo()->DownloadListFileName;
    ASSERT_FALSE(file.empty());
    auto saved = [&] {
        TMultiDownloader reread(nullptr);
        reread.DownloadList()->LoadFromFile(file);
        std::string titles;
        for (int i = 0; i < reread.DownloadList()->ItemCount(); ++i)
            titles += reread.DownloadList()->Items(i)->Comment()->Values("Title") + ";";
        return titles;
    };
    for (const std::string title : {"One", "Two", "Three"}) {
        TUrlInfo info;
        info.Action = UA_DOWNLOAD;
        info.Id = site::FixedVideos()[0].Id;
        info.Title = title;
        main->Download(info);
    }
    ASSERT_TRUE(Wait([&] { return saved() == "One;Two;Three;"; })) << saved();
    main->frmDownloadList->lvDL->Items()->Item(0)->SetSelected(true);
    main->actMoveDown->Execute();
    ASSERT_TRUE(Wait([&] { return saved() == "Two;One;Three;"; })) << saved();
    main->frmDownloadList->lvDL->Items()->Item(2)->SetSelected(true);
    answer = mrYes;
    main->actRemoveTask->Execute();
    ASSERT_TRUE(Wait([&] { return saved() == "Two;One;"; })) << saved();

    // The data folder cannot take the file.
    main->CurrentInfo()->DownloadListFileName = dir.file("gone/folder/downloadlist.sav");
    const std::string temp = GetTempDir() + "Two.mp3.mtd";
    std::ofstream(temp) << "media";
    messages.clear();
    EXPECT_TRUE(main->FormCloseQuery());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("The download list could not be saved: ", 0), 0u) << messages[0];
    // The close went on: the temporary folder was cleared.
    EXPECT_FALSE(std::filesystem::exists(temp));
}

TEST_F(MainWindowTest, PlayerCommandsMoveThroughTheResults) {
    TypeAndEnter("rock");
    ASSERT_TRUE(Wait([&] { return Count(Page(), "<tr id=\"row") == 10; }));
    main->CurrentInfo()->PID = -1;
    struct Step {
        std::string command, args;
        int pid;
    };
    // NEXT from nothing starts at 0; PREV steps back; NEXT wraps after the last.
    for (const Step& s : {Step{"PLAY", "PLAYNOW", 0}, Step{"PLAY", "NEXT", 1},
                          Step{"PLAY", "PREV", 0}, Step{"PLAY", "PREV", 0}}) {
        main->frmPlayerFrame->FSCommand(s.command, s.args);
        EXPECT_EQ(main->CurrentInfo()->PID, s.pid) << s.command << " " << s.args;
    }
    main->CurrentInfo()->PID = 9;
    main->frmPlayerFrame->FSCommand("PLAY", "NEXT");
    EXPECT_EQ(main->CurrentInfo()->PID, 0);
    main->CurrentInfo()->PID = 9;
    flash.clear();
    main->frmPlayerFrame->FSCommand("PLAY", "NEXTTOEND");
    EXPECT_EQ(flash, std::vector<std::string>{"callbackvar=Stop"});

    main->frmPlayerFrame->FSCommand("REPEATMODE", "2");
    EXPECT_TRUE(main->actRepeatOne->Checked);
    EXPECT_FALSE(main->actRepeatOff->Checked);
    EXPECT_EQ(flash.back(), "callbackvar=RepeatMode,2");
    // The tray menu's "Repeat Mode" items follow once a menu opens.
    main->SyncMenus();
    EXPECT_EQ(main->pmTray->Items()->Items(0)->Caption, "Open...");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(main->miTrayRepeat->Items(i)->Checked, i == 1) << i;
    const bool shown = main->pnlDownloadList->Visible();
    main->frmPlayerFrame->FSCommand("DOWNLOADLIST", "");
    EXPECT_NE(main->pnlDownloadList->Visible(), shown);
}

TEST_F(MainWindowTest, StatusLineAndListTexts) {
    TfrmStatus* status = main->frmStatus;
    status->SetStatusInfo("first");
    status->SetStatusInfo("second");
    EXPECT_EQ(main->lblStatus->Caption(), "second");
    status->SetBackInfo();
    EXPECT_EQ(main->lblStatus->Caption(), "first");
    status->SetBackInfo();
    EXPECT_EQ(status->StatusInfo(), "first");

    EXPECT_EQ(TfrmDownloadList::LengthText(6000), "100:00");
    EXPECT_EQ(TfrmDownloadList::LengthText(65), "01:05");
}

// The empty search box shows its grey hint while it has no focus; the list
// ends with the clearing item, which empties the recent keywords.
TEST_F(MainWindowTest, SearchBoxHintAndRecentKeywords) {
    TfrmSearchFrame* box = main->frmSearchFrame;
    // The box has the focus once the window shows; leaving it empty shows the hint.
    EXPECT_EQ(box->Keyword(), "");
    box->KeywordExit();
    EXPECT_TRUE(box->ShowsPlaceholder());
    EXPECT_EQ(box->Keyword(), "Title/Artist/Album");
    box->KeywordEnter();
    EXPECT_FALSE(box->ShowsPlaceholder());
    EXPECT_EQ(box->Keyword(), "");
    box->KeywordExit();
    EXPECT_TRUE(box->ShowsPlaceholder());

    TypeAndEnter("rock");
    EXPECT_FALSE(box->ShowsPlaceholder());
    TypeAndEnter("jazz");
    EXPECT_EQ(box->Keyword(), "jazz");
    const std::vector<std::string> recent = {"jazz", "rock", "- Clear -"};
    auto items = [&] {
        std::vector<std::string> v;
        for (int i = 0; i < box->Recent()->Count(); ++i)
            v.push_back(box->Recent()->Strings(i));
        return v;
    };
    EXPECT_EQ(items(), recent);
    box->DropDown();
    EXPECT_EQ(items(), recent);
    box->ChooseRecent(1);
    EXPECT_EQ(box->Keyword(), "rock");
    box->ChooseRecent(2);
    EXPECT_EQ(items(), std::vector<std::string>{"- Clear -"});
    EXPECT_EQ(box->Keyword(), "");
}

// The list's menu opens a finished task's file with the desktop's handler and
// its folder with the file manager, each as one argument; a double click on a
// finished row opens its file. Without a file (unfinished, gone) or a folder
// the items are off and nothing is started.
TEST_F(MainWindowTest, OpenDestinationFileAndFolder) {
    std::vector<std::vector<std::string>> launched;
    os::SetLaunchHook([&](const std::vector<std::string>& argv, const std::string&) {
        launched.push_back(argv);
        return true;
    });
    const std::string folder = dir.file("out/it's a \"folder\" $(x)");
    std::filesystem::create_directories(folder);
    const std::string done = folder + "/Song; rm -rf ~.mp3";
    dir.write(done.substr(dir.path().size() + 1), "ID3");
    AddTask("done", done, KFinished);
    AddTask("waiting", folder + "/Waiting.mp3", KReady);
    AddTask("gone", dir.file("nowhere/Gone.mp3"), KFinished);
    main->ShowDownloadList(true);
    TspSkinListViewSP* lv = main->frmDownloadList->lvDL;
    auto target = [&](std::size_t i) { return launched.at(i).back(); };

    struct Case {
        int row;
        bool file, folder;
    } cases[] = {{0, true, true}, {1, false, true}, {2, false, false}};
    for (const Case& c : cases) {
        lv->SetSelected(lv->Items()->Item(c.row));
        main->frmDownloadList->CheckAct();
        EXPECT_EQ(main->actOpenFile->Enabled, c.file) << c.row;
        EXPECT_EQ(main->actOpenContainingFolder->Enabled, c.folder) << c.row;
        launched.clear();
        main->actOpenFile->Execute();
        main->actOpenContainingFolder->Execute();
        ASSERT_EQ(launched.size(), std::size_t(c.file) + std::size_t(c.folder)) << c.row;
        if (c.file) {
            EXPECT_EQ(target(0), done);
        }
        if (c.folder) {
            EXPECT_EQ(target(c.file ? 1 : 0), folder);
        }
        // One program and the path as its last, single argument.
        for (const auto& argv : launched)
            EXPECT_TRUE(argv.front() == "xdg-open" || argv.front() == "gio") << argv.front();
    }
    // Nothing selected: both off.
    lv->SetSelected(nullptr);
    main->frmDownloadList->CheckAct();
    EXPECT_FALSE(main->actOpenFile->Enabled);
    EXPECT_FALSE(main->actOpenContainingFolder->Enabled);

    launched.clear();
    DoubleClickRow(0);
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(target(0), done);
    launched.clear();
    DoubleClickRow(1);
    EXPECT_TRUE(launched.empty());
    os::SetLaunchHook(nullptr);
}

// The download list reaches all its rows: 60 tasks, the last one brought into
// view by the wheel, by the keys and by dragging the list's own bar. Titles
// stay on one line and cannot be edited in place.
TEST_F(MainWindowTest, SixtyRowsScrollToTheLast) {
    for (int i = 0; i < 60; ++i)
        AddTask("Song " + std::to_string(i) + " with a title long enough to need more room",
                dir.file("out/" + std::to_string(i) + ".mp3"), KReady);
    main->ShowDownloadList(true);
    Application->ProcessMessages();
    TspSkinListViewSP* lv = main->frmDownloadList->lvDL;
    EXPECT_FALSE(lv->WordBreak());
    EXPECT_TRUE(lv->ReadOnly());
    TspSkinScrollBar* bar = lv->VScrollBar();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(lv->Items()->Count(), 60);
    const int page = int(SendMessage(lv->Handle(), LVM_GETCOUNTPERPAGE, 0, 0));
    ASSERT_GT(page, 0);
    ASSERT_LT(page, 60);
    // The bar stands beside the list, on the frame.
    EXPECT_TRUE(bar->Visible());
    EXPECT_EQ(bar->Parent(), main->frmDownloadList);
    EXPECT_LE(lv->Left() + lv->Width(), bar->Left());
    auto lastShown = [&] { return lv->TopItem() && lv->TopItem()->Index() + page >= 60; };
    auto top = [&] {
        lv->Scroll(0, -100000);
        Application->ProcessMessages();
        ASSERT_EQ(lv->TopItem()->Index(), 0);
        EXPECT_EQ(bar->Position(), 0);
    };
    auto screen = [](TWinControl* c, int x, int y) {
        const TPoint p = c->ClientToScreen(TPoint{x, y});
        return POINT{p.X, p.Y};
    };

    // A click on the first row gives the list the focus (the wheel goes to
    // the focused window); then the wheel.
    const TRect first = lv->Items()->Item(0)->DisplayRect(drBounds);
    const POINT row = screen(lv, 30, (first.Top + first.Bottom) / 2);
    DeliverMouse(WM_LBUTTONDOWN, row, MK_LBUTTON);
    DeliverMouse(WM_LBUTTONUP, row, 0);
    for (int i = 0; i < 60 && !lastShown(); ++i) {
        DeliverMouse(WM_MOUSEWHEEL, row, 0, -120);
        Application->ProcessMessages();
    }
    EXPECT_TRUE(lastShown());
    EXPECT_EQ(bar->Position(), GetScrollPos(lv->Handle(), SB_VERT));

    // The keys: End.
    top();
    DeliverKey(true, VK_END, 0);
    DeliverKey(false, VK_END, 0);
    Application->ProcessMessages();
    EXPECT_TRUE(lastShown());
    ASSERT_NE(lv->Selected(), nullptr);
    EXPECT_EQ(lv->Selected()->Index(), 59);
    EXPECT_EQ(bar->Position(), GetScrollPos(lv->Handle(), SB_VERT));

    // The bar: its thumb dragged to the bottom.
    top();
    const TRect thumb = bar->Buttons[TspSkinScrollBar::THUMB].R;
    ASSERT_FALSE(thumb.IsEmpty());
    const int x = (thumb.Left + thumb.Right) / 2;
    DeliverMouse(WM_LBUTTONDOWN, screen(bar, x, (thumb.Top + thumb.Bottom) / 2), MK_LBUTTON);
    for (int y = thumb.Bottom; y <= bar->Height() + 20; y += 10)
        DeliverMouse(WM_MOUSEMOVE, screen(bar, x, y), MK_LBUTTON);
    DeliverMouse(WM_LBUTTONUP, screen(bar, x, bar->Height() + 20), 0);
    Application->ProcessMessages();
    EXPECT_TRUE(lastShown());
}

// Without a skin the splitter above the list is 10 pixels thick; the
// advanced-search form opens with its shadowed heading; the browsers' own key
// handling never sees Backspace, Shift or F5, and F5 does not reload a page.
TEST_F(MainWindowTest, SplitterHeadingAndBrowserKeys) {
    main->ShowDownloadList(true);
    EXPECT_EQ(main->splBottom->DefaultSize, 10);
    EXPECT_EQ(main->splBottom->Height(), 10);

    ASSERT_NE(main->lbAdvSearch, nullptr);
    EXPECT_EQ(main->lbAdvSearch->Caption(), "Advanced Search");
    EXPECT_EQ(main->lbAdvSearch->Parent(), main->tsAdvPage);
    EXPECT_LT(main->lbAdvSearch->Top() + main->lbAdvSearch->Height(), main->edtArtist->Top());

    TEmbeddedBrowser* browser = main->wbMain;
    auto* view = dynamic_cast<webview::HeadlessView*>(browser->WebView());
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(Wait([&] { return view->HasDocument() && !view->Busy(); }));
    std::vector<uint16_t> seen;
    browser->OnKeyDown = [&](TObject*, uint16_t& key, uint16_t, TShiftState) {
        seen.push_back(key);
    };
    const std::size_t before = view->Navigations().size();
    struct Case {
        int vk;
        bool keptFromPage;
    } cases[] = {{VK_F1 + 4, true}, {VK_BACK, false}, {VK_SHIFT, false}, {'A', false}};
    for (const Case& c : cases) {
        webview::KeyInput k;
        k.virtualKey = c.vk;
        EXPECT_EQ(view->PressKey(k), c.keptFromPage) << c.vk;
    }
    Application->ProcessMessages();
    EXPECT_EQ(seen, std::vector<uint16_t>{'A'});
    EXPECT_EQ(view->Navigations().size(), before);
}

// The desktop session ends while a task runs: the query is answered yes, and
// at the end the window closes without asking (nobody is there to answer),
// stopping the tasks and saving the list.
TEST_F(MainWindowTest, TheSessionsEndSavesTheListWithoutAQuestion) {
    AddTask("running", dir.file("out/Running.mp3"), KDownloading);
    AddTask("waiting", dir.file("out/Waiting.mp3"), KReady);
    const std::string file = main->CurrentInfo()->DownloadListFileName;
    ASSERT_FALSE(file.empty());
    std::filesystem::remove(file);
    // The engine lives on the test's window, as it does on the program's
    // main window: the query reaches it there.
    EXPECT_EQ(SendMessage(form->Handle(), WM_QUERYENDSESSION, 0, 0), 1);
    EXPECT_EQ(SendMessage(main->Handle(), WM_QUERYENDSESSION, 0, 0), 1);
    EXPECT_TRUE(main->Visible());
    SendMessage(main->Handle(), WM_ENDSESSION, 1, 0);
    EXPECT_TRUE(messages.empty()) << messages.front();
    EXPECT_FALSE(main->Visible());
    const std::string saved = dir.read(file.substr(dir.path().size() + 1));
    EXPECT_NE(saved.find("Running.mp3"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Waiting.mp3"), std::string::npos) << saved;
    EXPECT_FALSE(main->mdDownloader()->DownloadList()->Items(0)->Busy());
}

// The window's own skinned parts and those of its frames all take the main
// skin data.
TEST_F(MainWindowTest, EverySkinnedPartTakesTheMainSkinData) {
    TspSkinData skin(nullptr);
    MainWindowSide().SkinData = &skin;
    ApplyMainSkinData(main);
    EXPECT_EQ(main->spSkinnedForm->SkinData(), &skin);
    EXPECT_EQ(main->spSkinnedForm->MenusSkinData(), &skin);
    EXPECT_EQ(main->mmMain->SkinData(), &skin);
    EXPECT_EQ(main->pmTray->SkinData(), &skin);
    EXPECT_EQ(main->spMainMenuBar->SkinData(), &skin);
    EXPECT_EQ(main->pnlCenterView->SkinData(), &skin);
    EXPECT_EQ(main->lstMenu->SkinData(), &skin);
    EXPECT_EQ(main->btnClearAll->SkinData(), &skin);
    EXPECT_EQ(main->splBottom->SkinData(), &skin);
    EXPECT_EQ(main->lblDownloadList->SkinData(), &skin);
    EXPECT_EQ(main->pcMain->SkinData(), &skin);
    EXPECT_EQ(main->edtAlbum->SkinData(), &skin);
    EXPECT_EQ(main->cbbEdition->SkinData(), &skin);
    EXPECT_EQ(main->frmSearchFrame->cbKeyword->SkinData(), &skin);
    EXPECT_EQ(main->frmStatus->lblStatus->SkinData(), &skin);
    EXPECT_EQ(main->frmDownloadList->lvDL->SkinData(), &skin);
    EXPECT_EQ(main->frmDownloadList->pmDL->SkinData(), &skin);
    MainWindowSide().SkinData = nullptr;
}

// In both shipped skins the parts of the window that carry text draw from
// the skin: the status line, the "Download List" link and the strip beside
// the list's buttons lie on the skin's panel colour with text that stands out
// from it, and a keyword typed into the box has the box's own text colour.
TEST_F(MainWindowTest, EveryPartDrawsFromTheSkinInBothShippedSkins) {
    auto light = [](COLORREF c) {
        return (GetRValue(c) * 299 + GetGValue(c) * 587 + GetBValue(c) * 114) / 1000;
    };
    main->ShowDownloadList(true);
    for (const char* name : {"Default", "Graphite"}) {
        SCOPED_TRACE(name);
        TspSkinData skin(nullptr);
        skin.LoadFromCompressedFile(std::string(LANTROVE_PROGRAM_DIR) + "/skins/" + name + ".skn");
        ASSERT_FALSE(skin.Empty);
        MainWindowSide().SkinData = &skin;
        ApplyMainSkinData(main);
        Application->ProcessMessages();
        const COLORREF face = ColorToRGB(skin.SkinColors()->cBtnFace());

        HBITMAP shot = RenderWindowToBitmap(main->Handle());
        RECT wr{};
        GetWindowRect(main->Handle(), &wr);
        // The commonest colour of a control's rectangle, and how far the
        // lightness of its other pixels lies from it at most.
        auto look = [&](TControl* c, TRect r) {
            std::map<COLORREF, int> counts;
            std::vector<COLORREF> seen;
            for (int y = r.Top; y < r.Bottom; ++y)
                for (int x = r.Left; x < r.Right; ++x) {
                    TPoint p = c->ClientToScreen(TPoint(x, y));
                    COLORREF px = shot->getPixel(p.X - wr.left, p.Y - wr.top);
                    ++counts[px];
                    seen.push_back(px);
                }
            COLORREF bg = 0;
            int most = -1;
            for (auto [colour, n] : counts)
                if (n > most) bg = colour, most = n;
            int contrast = 0;
            for (COLORREF px : seen)
                contrast = std::max(contrast, std::abs(light(px) - light(bg)));
            return std::pair{bg, contrast};
        };
        TControl* status = main->frmStatus;
        TControl* link = main->lblDownloadList;
        for (auto [what, c] : {std::pair{"status line", status}, std::pair{"link", link}}) {
            auto [bg, contrast] = look(c, TRect(0, 0, c->Width(), c->Height()));
            EXPECT_EQ(bg, face) << what;
            EXPECT_GE(contrast, 100) << what;
        }
        TWinControl* buttons = main->btnClearAll->Parent();
        int right = 0;
        for (int i = 0; i < buttons->ControlCount(); ++i)
            right = std::max(right, buttons->Controls(i)->Left() + buttons->Controls(i)->Width());
        auto [strip, flat] =
            look(buttons, TRect(right + 4, 2, buttons->Width() - 4, buttons->Height() - 2));
        EXPECT_EQ(strip, face);
        EXPECT_EQ(flat, 0);
        DeleteObject(shot);

        TfrmSearchFrame* box = main->frmSearchFrame;
        box->KeywordExit();
        ASSERT_TRUE(box->ShowsPlaceholder());
        box->KeywordEnter();
        const TColor typed = box->cbKeyword->Edit()->Font()->Color();
        EXPECT_TRUE(typed == box->cbKeyword->FontColor || typed == box->cbKeyword->ActiveFontColor)
            << std::hex << typed;
        MainWindowSide().SkinData = nullptr;
    }
}

// The caption's close button puts the window in the tray with the program's
// hint; a click on the icon, or another instance's bring-to-front message,
// brings it back and takes the icon away. Maximize does nothing and roll-up
// toggles always-on-top.
TEST_F(MainWindowTest, CaptionButtonsAndTheTray) {
    display::TrayStandIn* tray = display::CurrentTrayStandIn();
    ASSERT_NE(tray, nullptr);
    Application->SetMainForm(main);
    const HWND icon = main->spTrayIcon->CallbackWindow();
    auto toTray = [&] {
        bool cancel = false;
        main->spSkinnedFormObjectCommand(cmClose, cancel);
        EXPECT_TRUE(cancel);
        EXPECT_FALSE(main->Visible());
        EXPECT_TRUE(main->InTray);
        const auto shown = tray->Find(icon, 1);
        ASSERT_TRUE(shown.has_value());
        EXPECT_EQ(shown->tip, "Quendral");
    };
    EXPECT_FALSE(tray->Find(icon, 1).has_value());
    toTray();
    tray->Click(icon, 1, WM_LBUTTONDOWN);
    tray->Click(icon, 1, WM_LBUTTONUP);
    // The click counts once the double-click time has passed.
    ASSERT_TRUE(Wait(
        [&] {
            Application->ProcessMessages();
            return main->Visible();
        },
        5000));
    EXPECT_FALSE(main->InTray);
    EXPECT_FALSE(tray->Find(icon, 1).has_value());

    toTray();
    // The engine answers for the window it lives on.
    EXPECT_EQ(SendMessage(form->Handle(), RegisterWindowMessage(kMsgBringToFront), 0, 0), 1);
    EXPECT_TRUE(main->Visible());
    EXPECT_FALSE(tray->Find(icon, 1).has_value());

    for (TStdCommand c : {cmMaximize, cmRollUp, cmRollUp}) {
        const bool onTop = main->AlwaysOnTop();
        const TRect bounds = main->BoundsRect();
        bool cancel = false;
        main->spSkinnedFormObjectCommand(c, cancel);
        EXPECT_TRUE(cancel);
        EXPECT_EQ(main->AlwaysOnTop(), c == cmRollUp ? !onTop : onTop);
        EXPECT_EQ(main->BoundsRect(), bounds);
        EXPECT_TRUE(main->Visible());
    }
    // Minimizing keeps its ordinary handling.
    bool cancel = false;
    main->spSkinnedFormObjectCommand(cmMinimize, cancel);
    EXPECT_FALSE(cancel);
}

// Name and raw value of every line of one section of a language document.
std::map<std::string, std::string> SectionLines(const std::string& Document,
                                                const std::string& Section) {
    std::map<std::string, std::string> out;
    std::istringstream in(Document);
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[') {
            inside = line == "[" + Section + "]";
            continue;
        }
        const std::size_t eq = line.find('=');
        if (inside && eq != std::string::npos) out[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return out;
}

class MainWindowLanguageTest : public AppTest {
protected:
    void TearDown() override {
        delete main;
        AppTest::TearDown();
    }
    // The window's texts as a translator collects them, by section.
    std::string Collected(TComponent* Window) {
        TCLMultiLangData data(nullptr);
        auto* collector = new TCLMultiLang(Window);
        collector->SetLanguageData(&data);
        collector->UpdateData();
        std::string text = data.CurrentData()->Text();
        delete collector;
        return text;
    }
    TfrmMain* main = nullptr;
};

// The built-in English document holds every text that the main window and
// the centre frame's advanced search carry, with the same value: a window
// switched back to English gets back exactly the texts it was made with.
TEST_F(MainWindowLanguageTest, TheEnglishDefaultsHoldEveryTextOfTheWindows) {
    TCLMultiLangData* data = engine->LanguageData();
    engine->SetLanguageData(nullptr);
    main = new TfrmMain(form, engine);
    engine->SetLanguageData(data);
    auto plain = [](std::string v) {
        v = StringReplace(v, "{AppName}", "Lantrove", rfReplaceAll);
        while (v.size() >= 4 && v.compare(v.size() - 4, 4, "<BR>") == 0)
            v.resize(v.size() - 4);
        return v;
    };
    struct Window {
        TComponent* component;
        std::string section;
        std::size_t atLeast;
    } windows[] = {{main, "TfrmMain", 100}, {main->frmCenterView, "TfrmCenterView", 10}};
    for (const Window& w : windows) {
        const auto own = SectionLines(Collected(w.component), w.section);
        const auto defaults = SectionLines(EnglishDefaultsDocument(), w.section);
        EXPECT_GE(own.size(), w.atLeast) << w.section;
        for (const auto& [key, value] : own) {
            const auto it = defaults.find(key);
            if (it == defaults.end()) {
                ADD_FAILURE() << w.section << " lacks " << key << "=" << value;
                continue;
            }
            EXPECT_EQ(plain(it->second), plain(value)) << w.section << " " << key;
        }
    }
    // The texts people see among them.
    const auto defaults = SectionLines(EnglishDefaultsDocument(), "TfrmMain");
    EXPECT_EQ(defaults.at("miFile.Caption"), "&File");
    EXPECT_EQ(defaults.at("lstMenu.Items"),
              "MP3 Search<BR>Advanced Search<BR>Hot Songs<BR>Categories<BR>Support");
    EXPECT_EQ(defaults.at("spTrayIcon.Hint"), "Quendral");
}

// A second language file chosen while the program runs: the main window's
// menus, left menu and buttons, the advanced-search form and the dialogs
// opened afterwards speak it; the keys it lacks keep their English texts.
// Choosing English again (its shipped file) brings every text back.
TEST_F(MainWindowLanguageTest, ASecondLanguageOnTheRunningWindowsAndBack) {
    std::filesystem::create_directories(dir.file("prog/lang"));
    SaveEnglishLanguageFile(dir.file("prog/lang/English.lan"), "1.0");
    dir.write("prog/lang/German.lan",
              "[Info]\nLanguage=Deutsch\nTranslator=Test\n\n"
              "[TfrmMain]\nmiFile.Caption=&Datei\nmiView.Caption=&Ansicht\n"
              "actExit.Caption=&Beenden\nactOption.Caption=&Einstellungen...\n"
              "lstMenu.Items=MP3-Suche<BR>Erweiterte Suche<BR>Beliebte Titel<BR>Kategorien<BR>"
              "Hilfe\nbtnSearchNow.Caption=Jetzt suchen!\nlblDownloadList.Caption=Downloads\n\n"
              "[TfrmCenterView]\nlbAdvSearch.Caption=Erweiterte Suche\n"
              "lbAdvArtist.Caption=K\xC3\xBCnstler:\n\n"
              "[TfrmSettings]\nfrmSettings.Caption=Einstellungen\n"
              "cbAutoRun.Caption=Beim Anmelden starten\n\n"
              "[TfrmPrepareDownload]\nfrmPrepareDownload.Caption=MP3 laden\n"
              "btnCancel.Caption=Abbrechen\n");
    main = new TfrmMain(form, engine);
    TMenuItem* file = main->mmMain->Items()->Items(0);
    TMenuItem* exit = file->Items(0);
    struct Text {
        std::function<std::string()> get;
        std::string english, german;
    } texts[] = {
        {[&] { return file->Caption; }, "&File", "&Datei"},
        {[&] { return main->mmMain->Items()->Items(1)->Caption; }, "&View", "&Ansicht"},
        {[&] { return main->mmMain->Items()->Items(2)->Caption; }, "&Tools", "&Tools"},
        {[&] { return exit->Caption; }, "&Exit", "&Beenden"},
        {[&] { return main->btnOption->Caption(); }, "&Options...", "&Options..."},
        {[&] { return main->lstMenu->Items()->Strings(4); }, "Support", "Hilfe"},
        {[&] { return main->btnSearchNow->Caption(); }, "Search MP3 Now!", "Jetzt suchen!"},
        {[&] { return main->lblDownloadList->Caption(); }, "Download List", "Downloads"},
        {[&] { return main->spTrayIcon->Hint(); }, "Quendral", "Quendral"},
        {[&] { return main->lbAdvSearch->Caption(); }, "Advanced Search", "Erweiterte Suche"},
        {[&] { return main->cbbEdition->Items()->Strings(1); }, "live edition", "live edition"},
        {[&] {
             TfrmSettings d(main, main->mdDownloader());
             return d.Caption() + "|" + d.cbAutoRun->Caption() + "|" + d.btnCancel->Caption();
         },
         "Options|Automatically run when I log on to the desktop|Cancel",
         "Einstellungen|Beim Anmelden starten|Cancel"},
        {[&] {
             TfrmPrepareDownload d(nullptr);
             return d.Caption() + "|" + d.btnCancel->Caption() + "|" + d.btnDownload->Caption();
         },
         "Download MP3|Cancel|OK", "MP3 laden|Abbrechen|OK"},
    };
    for (const Text& t : texts)
        EXPECT_EQ(t.get(), t.english);
    main->edtArtist->SetText("typed");
    main->cbbEdition->SetItemIndex(3);
    main->lstMenuSelect(1);

    engine->SetLanguage("German");
    EXPECT_EQ(engine->Language(), "German");
    for (const Text& t : texts)
        EXPECT_EQ(t.get(), t.german);
    // What the user typed and chose stays.
    EXPECT_EQ(main->edtArtist->Text(), "typed");
    EXPECT_EQ(main->cbbEdition->ItemIndex(), 3);
    EXPECT_EQ(main->lstMenu->ItemIndex(), 1);

    engine->SetLanguage("English");
    for (const Text& t : texts)
        EXPECT_EQ(t.get(), t.english);
    EXPECT_EQ(main->edtArtist->Text(), "typed");
    EXPECT_EQ(main->cbbEdition->ItemIndex(), 3);
    EXPECT_EQ(main->cbbEdition->Text(), "remix edition");
}

} // namespace

namespace {

// What the screen holds of a window now, against what a full repaint makes.
int StaleOrMissing(HWND h) {
    Application->ProcessMessages();
    HBITMAP now = GetWindowSurface(h);
    if (!now) return -1;
    std::vector<uint32_t> held;
    for (int y = 0; y < now->height; ++y)
        for (int x = 0; x < now->width; ++x)
            held.push_back(reinterpret_cast<const uint32_t*>(now->row(y))[x] & 0xFFFFFF);
    HBITMAP full = RenderWindowToBitmap(h);
    int differ = 0;
    for (int y = 0; y < full->height; ++y)
        for (int x = 0; x < full->width; ++x)
            if ((reinterpret_cast<const uint32_t*>(full->row(y))[x] & 0xFFFFFF) !=
                held[size_t(y) * size_t(full->width) + size_t(x)])
                ++differ;
    DeleteObject(full);
    return differ;
}

std::vector<uint32_t> Pixels(HWND h) {
    HBITMAP b = RenderWindowToBitmap(h);
    std::vector<uint32_t> out;
    for (int y = 0; y < b->height; ++y)
        for (int x = 0; x < b->width; ++x)
            out.push_back(reinterpret_cast<const uint32_t*>(b->row(y))[x] & 0xFFFFFF);
    DeleteObject(b);
    return out;
}

// The program's icon, drawn at build time, is what its windows and its tray
// icon show.
TEST(ProgramIcon, TheDrawnIconReachesTheWindowsAndTheTray) {
    TIcon icon;
    EXPECT_FALSE(LoadProgramIcon(icon, std::string(LANTROVE_PROGRAM_DIR) + "/res/missing.png"));
    EXPECT_TRUE(icon.Empty());
    ASSERT_TRUE(LoadProgramIcon(icon, std::string(LANTROVE_PROGRAM_DIR) + "/res/lantrove.png"));
    ASSERT_EQ(icon.Width(), 48);
    ASSERT_EQ(icon.Height(), 48);
    EXPECT_EQ(icon.Pixels()[0] >> 24, 0u);               // a clear corner
    EXPECT_EQ(icon.Pixels()[5 * 48 + 40], 0xFF2F6FEBu);  // the blue tile
    EXPECT_EQ(icon.Pixels()[33 * 48 + 16] >> 24, 0xFFu); // the note
}

// Switching the skin while the main window shows repaints every part of it
// at once from the new skin, and switching back gives the first picture again.
// On a desktop without a notification area the close button minimizes the
// window: hidden behind an icon that shows nowhere, it could not come back.
TEST_F(MainWindowTest, CloseToTrayMinimizesWhereNoTrayShows) {
    display::InstallTray(std::make_unique<display::TrayStandIn>(false));
    Application->SetMainForm(main);
    bool cancel = false;
    main->spSkinnedFormObjectCommand(cmClose, cancel);
    EXPECT_TRUE(cancel);
    EXPECT_TRUE(main->Visible());
    EXPECT_TRUE(IsIconic(main->Handle()));
    EXPECT_FALSE(main->InTray);
    EXPECT_FALSE(display::CurrentTrayStandIn()->Find(main->spTrayIcon->CallbackWindow(), 1));
    display::InstallTray(nullptr);
}

TEST_F(MainWindowTest, MainWindowAndTrayShowTheProgramsIcon) {
    TIcon saved;
    saved.Assign(&Application->Icon);
    ASSERT_TRUE(LoadProgramIcon(Application->Icon,
                                std::string(LANTROVE_PROGRAM_DIR) + "/res/lantrove.png"));
    // A window of its own (the main one already has the name).
    auto* other = new TfrmMain(nullptr, engine);
    EXPECT_NE(GetWindowIcon(other->Handle(), ICON_BIG), nullptr);
    int w = 0, h = 0;
    std::vector<uint32_t> px;
    ASSERT_TRUE(GetIconPixels(GetWindowIcon(other->Handle(), ICON_BIG), w, h, px));
    EXPECT_EQ(w, 48);
    other->spTrayIcon->SetIconVisible(true);
    const auto shown = display::CurrentTrayStandIn()->Find(other->spTrayIcon->CallbackWindow(), 1);
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->width, 48);
    EXPECT_EQ(shown->argb, Application->Icon.Pixels());
    other->spTrayIcon->SetIconVisible(false);
    delete other;
    Application->Icon.Assign(&saved);
}

TEST_F(MainWindowTest, SkinSwitchRepaintsTheWholeMainWindowAtOnce) {
    const std::string skins = std::string(LANTROVE_PROGRAM_DIR) + "/skins/";
    TspSkinData skin(nullptr);
    skin.LoadFromCompressedFile(skins + "Default.skn");
    ASSERT_FALSE(skin.Empty);
    MainWindowSide().SkinData = &skin;
    ApplyMainSkinData(main);
    main->spSkinnedForm->SetSkinData(&skin);
    Application->ProcessMessages();
    const HWND h = main->Handle();
    const std::vector<uint32_t> first = Pixels(h);
    EXPECT_EQ(StaleOrMissing(h), 0);

    skin.LoadFromCompressedFile(skins + "Graphite.skn");
    EXPECT_EQ(StaleOrMissing(h), 0) << "after the switch to Graphite";
    const std::vector<uint32_t> graphite = Pixels(h);
    EXPECT_NE(graphite, first);

    skin.LoadFromCompressedFile(skins + "Default.skn");
    EXPECT_EQ(StaleOrMissing(h), 0) << "after the switch back";
    EXPECT_EQ(Pixels(h), first);
    main->spSkinnedForm->SetSkinData(nullptr);
    ApplyMainSkinData(main);
    MainWindowSide().SkinData = nullptr;
}

} // namespace
