// The main window driven by input: keyword search, page flip, download link,
// the download list and the player's commands, against the stand-in site.
#include "app/uMain.h"
#include "app_test_support.h"

#include "framework/CLApp.h"
#include "platform/display/tray.h"
#include "platform/win/input.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/shellnotify.h"
#include "platform/win/window.h"

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
    std::string Row(int i, int sub) {
        TListItem* row = main->frmDownloadList->lvDL->Items()->Item(i);
        return sub < 0 ? row->Caption() : row->SubItems()->Strings(sub);
    }

    TfrmMain* main = nullptr;
    std::vector<std::string> flash;
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
    main->mdDownloader()->SetMaxTasks(2);
    main->mdDownloader()->Resume();
    ASSERT_TRUE(Wait([&] { return Row(0, 2) == "Finished"; }, 60000)) << Row(0, 2);
    EXPECT_EQ(main->frmDownloadList->lvDL->Items()->Item(0)->ImageIndex(), 2);
    EXPECT_TRUE(std::filesystem::exists(dir.file("out/") + title + ".mp3"));
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
    auto* other = new TfrmMain(form, engine);
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
