// The main window driven by input: keyword search, page flip, download link,
// the download list and the player's commands, against the stand-in site.
#include "app/uMain.h"
#include "app_test_support.h"

#include "platform/win/input.h"

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

} // namespace
