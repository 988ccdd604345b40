// The prepare-download dialog: what it makes of a result's title, the output
// path, the checks of OK, and what it remembers between showings.
#include "app/uPrepareDownload.h"
#include "app_test_support.h"

#include "platform/display/headless.h"
#include "platform/win/input.h"

#include <chrono>
#include <thread>

using apptest::AppTest;

namespace {

class PrepareDownloadTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        TfrmPrepareDownload::BalloonHook() = [this](const std::string& text, int, int, int ms) {
            balloons.push_back(text + "/" + std::to_string(ms));
        };
    }
    void TearDown() override {
        TfrmPrepareDownload::BalloonHook() = nullptr;
        AppTest::TearDown();
    }
    std::unique_ptr<TfrmPrepareDownload> Open(const std::string& title) {
        auto d = std::make_unique<TfrmPrepareDownload>(nullptr);
        TUrlInfo info;
        info.Title = title;
        d->SetInfo(info);
        return d;
    }
    std::vector<std::string> balloons;
};

TEST_F(PrepareDownloadTest, TitleBecomesFileNameAndTag) {
    const std::string forty(40, 'x');
    const std::string chinese = "\xE4\xB8\xAD\xE6\x96\x87"; // two characters
    std::string longChinese;
    for (int i = 0; i < 16; ++i)
        longChinese += chinese;
    struct Case {
        std::string title, fileName, tag;
        bool tagsShown;
    };
    for (const Case& c : {
             Case{"", "undefined.mp3", "undefined", false},
             Case{"Song", "Song.mp3", "Song", false},
             // Decoded once already: spelled-out escapes stay as they are.
             Case{"100%41 &amp; more", "100%41 &amp; more.mp3", "100%41 &amp; more", false},
             Case{forty, forty + ".mp3", std::string(30, 'x'), true},
             // Thirty characters, not thirty bytes.
             Case{longChinese, longChinese + ".mp3", longChinese.substr(0, 30 * 3), true},
         }) {
        SettingsInstance()->SetSettingBool("ShowMp3TagEdit", false);
        auto d = Open(c.title);
        EXPECT_EQ(d->edtFileName->Text(), c.fileName) << c.title;
        EXPECT_EQ(d->edtTitle->Text(), c.tag) << c.title;
        EXPECT_EQ(d->TagEditVisible(), c.tagsShown) << c.title;
        EXPECT_EQ(d->tmHint->Enabled(), c.tagsShown) << c.title;
    }
}

TEST_F(PrepareDownloadTest, LongTitleShowsTheBalloonHalfASecondLater) {
    auto d = Open(std::string(40, 'y'));
    EXPECT_TRUE(balloons.empty());
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (balloons.empty() && std::chrono::steady_clock::now() < end) {
        Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_FALSE(balloons.empty());
    EXPECT_EQ(balloons, std::vector<std::string>{"No more than 30 characters./5000"});
    EXPECT_FALSE(d->tmHint->Enabled());
}

TEST_F(PrepareDownloadTest, ArtistJoinsTheFileNameUntilTheUserTypesOne) {
    auto d = Open("Title");
    d->SetTagEditVisible(true);
    d->cbArtist->SetText("Band");
    EXPECT_EQ(d->edtFileName->Text(), "Band-Title.mp3");
    d->edtTitle->SetText("Other");
    EXPECT_EQ(d->edtFileName->Text(), "Band-Other.mp3");
    // A key typed into the file name makes it the user's.
    d->Show();
    d->edtFileName->SetFocus();
    SendMessage(d->edtFileName->Handle(), WM_CHAR, 'z', 0);
    EXPECT_TRUE(d->FileNameModified());
    const std::string typed = d->edtFileName->Text();
    d->cbArtist->SetText("Another");
    d->edtTitle->SetText("Changed");
    EXPECT_EQ(d->edtFileName->Text(), typed);
}

TEST_F(PrepareDownloadTest, ShiftTabGoesBackFromOkThroughTheTagBoxes) {
    auto d = Open("Title");
    d->SetTagEditVisible(true);
    d->Show();
    d->btnDownload->SetFocus();
    auto* headless = display::CurrentHeadless();
    ASSERT_NE(headless, nullptr);
    auto key = [](int vk, char32_t ch = 0) {
        DeliverKey(true, vk, ch);
        DeliverKey(false, vk, 0);
        Application->ProcessMessages();
    };
    headless->SetKeyDown(VK_SHIFT, true);
    key(VK_TAB);
    headless->SetKeyDown(VK_SHIFT, false);
    EXPECT_TRUE(d->cbAlbum->Edit()->Focused());
    key('A', 'A');
    headless->SetKeyDown(VK_SHIFT, true);
    key(VK_TAB);
    headless->SetKeyDown(VK_SHIFT, false);
    EXPECT_TRUE(d->cbArtist->Edit()->Focused());
    key('B', 'B');
    EXPECT_EQ(d->cbAlbum->Text(), "A");
    EXPECT_EQ(d->cbArtist->Text(), "B");
}

TEST_F(PrepareDownloadTest, OutputPathKeepsOrAddsTheExtension) {
    auto d = Open("x");
    d->cbSaveto->SetText("/music");
    struct Case {
        std::string name, path;
    };
    for (const Case& c : {Case{"song.MP3", "/music/song.MP3"}, Case{"song", "/music/song.mp3"},
                          Case{"a/../b", "/music/a_.._b.mp3"}, Case{"..", "/music/_...mp3"}}) {
        d->edtFileName->SetText(c.name);
        EXPECT_EQ(d->GetSaveToFullPath(".mp3"), c.path) << c.name;
    }
}

TEST_F(PrepareDownloadTest, OkChecksNameAndFolder) {
    struct Case {
        std::string fileName, folder;
        bool closes;
        bool message;
    };
    const std::string fresh = dir.file("new/music");
    for (const Case& c : {Case{"a.mp3", fresh, true, false},        // made with its parents
                          Case{"a.mp3", "relative/x", false, true}, // nowhere to make it
                          Case{"", fresh, false, false},            // the name first
                          Case{"a.mp3", "", false, false}}) {
        messages.clear();
        auto d = Open("a");
        d->edtFileName->SetText(c.fileName);
        d->cbSaveto->SetText(c.folder);
        d->btnDownloadClick(nullptr);
        EXPECT_EQ(d->ModalResult == mrOk, c.closes) << c.fileName << " " << c.folder;
        EXPECT_EQ(!messages.empty(), c.message) << c.folder;
    }
    EXPECT_TRUE(std::filesystem::is_directory(fresh));
}

TEST_F(PrepareDownloadTest, RemembersFolderBitrateAndRecentTags) {
    {
        auto d = Open("a");
        d->cbSaveto->SetText(dir.file("music"));
        d->cbbRate->SetItemIndex(3);
        d->SetTagEditVisible(true);
        d->cbArtist->SetText("First");
        d->cbAlbum->SetText("Album");
    }
    {
        auto d = Open("b");
        EXPECT_EQ(d->cbSaveto->Text(), dir.file("music"));
        EXPECT_EQ(d->cbbRate->ItemIndex(), 3);
        EXPECT_TRUE(d->TagEditVisible());
        ASSERT_EQ(d->cbArtist->Items()->Count(), 1);
        EXPECT_EQ(d->cbArtist->Items()->Strings(0), "First");
        d->cbArtist->SetText("Second");
        // The clearing item, chosen in the open list, empties the album list.
        d->Show();
        d->cbAlbum->DropDown();
        ASSERT_EQ(d->cbAlbum->Items()->Count(), 2);
        ASSERT_TRUE(d->cbAlbum->IsPopupVisible());
        TspListBox* list = d->cbAlbum->ListBox()->ListBox.get();
        const TRect row = list->ItemRect(1);
        const LPARAM at = MAKELPARAM(5, row.Top + 2);
        SendMessage(list->Handle(), WM_MOUSEMOVE, 0, at);
        SendMessage(list->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessage(list->Handle(), WM_LBUTTONUP, 0, at);
        EXPECT_FALSE(d->cbAlbum->IsPopupVisible());
        EXPECT_EQ(d->cbAlbum->Text(), "");
        EXPECT_EQ(d->cbAlbum->Items()->Count(), 0);
    }
    auto d = Open("c");
    ASSERT_EQ(d->cbArtist->Items()->Count(), 2);
    EXPECT_EQ(d->cbArtist->Items()->Strings(1), "Second");
    EXPECT_EQ(d->cbAlbum->Items()->Count(), 0);
    // Hiding the tags shrinks the dialog by their rows.
    const int height = d->Height();
    d->SetTagEditVisible(false);
    EXPECT_EQ(d->Height(), height - 90);
}

// A stored count that a damaged or hostile settings file makes huge reads a
// list of reasonable length.
TEST_F(PrepareDownloadTest, HugeStoredCountsReadBoundedLists) {
    for (const char* count : {"SaveToCount", "ArtistCount", "AlbumCount"})
        SettingsInstance()->SetSettingstring(count, "2147483647");
    SettingsInstance()->SetSettingstring("Artist0", "Ana");
    auto d = Open("Song");
    EXPECT_EQ(d->cbArtist->Items()->Count(), 1);
    EXPECT_EQ(d->cbArtist->Items()->Strings(0), "Ana");
}

TEST_F(PrepareDownloadTest, ControlsTakeTheMainWindowsSkinData) {
    TspSkinData skin(nullptr);
    engine->SetSkinData(&skin);
    {
        auto d = Open("a");
        for (TspSkinData* bound :
             {d->edtFileName->SkinData(), d->edtTitle->SkinData(), d->cbSaveto->SkinData(),
              d->cbbRate->SkinData(), d->cbArtist->SkinData(), d->btnBrowse->SkinData(),
              d->btnDownload->SkinData(), d->lbTitle->SkinData(), d->btnShowTagEdit->SkinData(),
              d->cbAutoRename->SkinData()})
            EXPECT_EQ(bound, &skin);
    }
    engine->SetSkinData(nullptr);
}

TEST_F(PrepareDownloadTest, BrowseKeepsTenRecentFolders) {
    int n = 0;
    const auto shown = TfrmPrepareDownload::FolderDialogHook();
    TfrmPrepareDownload::FolderDialogHook() = [&](HWND, const std::string&) {
        return "/f" + std::to_string(n++);
    };
    auto d = Open("a");
    for (int i = 0; i < 12; ++i)
        d->btnBrowseClick(nullptr);
    TfrmPrepareDownload::FolderDialogHook() = shown;
    EXPECT_EQ(d->cbSaveto->Text(), "/f11");
    ASSERT_EQ(d->cbSaveto->Items()->Count(), 10);
    EXPECT_EQ(d->cbSaveto->Items()->Strings(0), "/f11");
    EXPECT_EQ(d->cbSaveto->Items()->Strings(9), "/f2");
}

} // namespace
