// File dialogs and the clipboard through the headless backend's stand-ins.
#include <gtest/gtest.h>

#include "platform/display/headless.h"
#include "platform/win/clipboard.h"
#include "platform/win/filedialog.h"
#include "platform/win/window.h"

namespace {

class FileDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        headless = display::CurrentHeadless();
        ASSERT_NE(headless, nullptr);
        WNDCLASS wc;
        if (!GetClassInfo(nullptr, "DialogOwner", &wc)) {
            wc.lpfnWndProc = DefWindowProc;
            wc.lpszClassName = "DialogOwner";
            RegisterClass(wc);
        }
        owner = CreateWindowEx(0, "DialogOwner", "owner", WS_POPUP, 0, 0, 50, 50, 0, 0, nullptr,
                               nullptr);
    }
    void TearDown() override {
        headless->SetFileDialogAnswer(nullptr);
        DestroyWindow(owner);
    }
    display::Headless* headless = nullptr;
    HWND owner = 0;
};

} // namespace

TEST_F(FileDialogs, RequestsCarryWhatTheCallerAsked) {
    display::FileDialogRequest seen;
    bool ownerEnabled = true;
    headless->SetFileDialogAnswer([&](const display::FileDialogRequest& r) {
        seen = r;
        ownerEnabled = IsWindowEnabled(owner);
        return std::optional<std::string>("/data/song.mp3");
    });
    std::string name = "start.mp3";
    ASSERT_TRUE(ChooseSaveFileDialog(owner, "Save", "Audio|*.mp3; *.ogg|All|*", 2, true, name));
    EXPECT_EQ(name, "/data/song.mp3");
    EXPECT_EQ(seen.kind, display::FileDialogRequest::SaveFile);
    EXPECT_EQ(seen.initial, "start.mp3");
    ASSERT_EQ(seen.filters.size(), 2u);
    EXPECT_EQ(seen.filters[0].second, "*.mp3; *.ogg");
    EXPECT_EQ(seen.filterIndex, 1);
    EXPECT_TRUE(seen.confirmOverwrite);
    // The owner is disabled while the dialog runs and enabled again after.
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner));

    ASSERT_TRUE(ChooseOpenFileDialog(owner, "Open", "odd|", 0, name));
    EXPECT_EQ(seen.kind, display::FileDialogRequest::OpenFile);
    EXPECT_EQ(seen.filterIndex, 0);
}

TEST_F(FileDialogs, CancelKeepsTheNameAndAnswersEmpty) {
    std::string name = "keep";
    EXPECT_FALSE(ChooseOpenFileDialog(owner, "Open", "", 1, name));
    EXPECT_EQ(name, "keep");
    EXPECT_EQ(ChooseFolderDialog(owner, "Folder", "/tmp"), "");
    // An owner that is gone is no obstacle.
    DestroyWindow(owner);
    EXPECT_EQ(ChooseFolderDialog(owner, "Folder", "/tmp"), "");
}

TEST(Clipboard, HoldsAnyTextInsideTheProcess) {
    std::string odd("a\0\xff\r\n", 5);
    SetClipboardText(odd);
    EXPECT_EQ(GetClipboardText(), odd);
    EXPECT_TRUE(ClipboardHasText());
    SetClipboardText("");
    EXPECT_FALSE(ClipboardHasText());
}
