#include "platform/os/access.h"
#include "platform/os/clock.h"
#include "platform/os/folders.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

namespace {

TEST(FoldersTest, SpecialFoldersFollowTheEnvironment) {
    TempDir dir;
    setenv("XDG_CONFIG_HOME", (dir.path() + "/cfg/").c_str(), 1);
    setenv("LANTROVE_COMMON_APPDATA", dir.file("common").c_str(), 1);
    EXPECT_EQ(os::SpecialFolder("AppData"), dir.file("cfg"));
    EXPECT_EQ(os::SpecialFolder("Common AppData"), dir.file("common"));
    unsetenv("LANTROVE_COMMON_APPDATA");
    setenv("XDG_CONFIG_DIRS", "/opt/xdg:/etc/xdg", 1);
    EXPECT_EQ(os::SpecialFolder("Common AppData"), "/opt/xdg");
    unsetenv("XDG_CONFIG_DIRS");
    EXPECT_EQ(os::SpecialFolder("Common AppData"), "/etc/xdg");
    dir.write("cfg/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    EXPECT_EQ(os::SpecialFolder("Desktop"), os::HomeFolder() + "/Schreibtisch");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(os::SpecialFolder("AppData"), os::HomeFolder() + "/.config");
    EXPECT_EQ(os::SpecialFolder("Favorites"), "");
}

TEST(FoldersTest, ProgramFileAndItsOverride) {
    std::string real = os::ProgramFileName();
    ASSERT_FALSE(real.empty());
    EXPECT_EQ(real.front(), '/');
    EXPECT_EQ(os::ProgramFolder().back(), '/');
    os::SetProgramFileNameOverride("/opt/app/tool");
    EXPECT_EQ(os::ProgramFolder(), "/opt/app/");
    os::SetProgramFileNameOverride("");
    EXPECT_EQ(os::ProgramFileName(), real);
}

TEST(FoldersTest, ListingReportsLinksWithoutFollowingThem) {
    TempDir dir;
    dir.write("a/file.txt", "x");
    dir.write("outside/keep.txt", "x");
    ASSERT_EQ(symlink(dir.file("outside").c_str(), dir.file("a/link").c_str()), 0);
    ASSERT_TRUE(os::CreateFolderTree(dir.file("a/sub/deeper")));
    std::vector<os::FolderEntry> entries;
    ASSERT_TRUE(os::ListFolder(dir.file("a"), entries));
    std::sort(entries.begin(), entries.end(),
              [](const auto& x, const auto& y) { return x.name < y.name; });
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "file.txt");
    EXPECT_EQ(entries[0].kind, os::EntryKind::File);
    EXPECT_EQ(entries[1].kind, os::EntryKind::Link);
    EXPECT_EQ(entries[2].kind, os::EntryKind::Folder);
    EXPECT_TRUE(os::RemoveFileEntry(dir.file("a/link")));
    EXPECT_TRUE(dir.exists("outside/keep.txt"));
    EXPECT_FALSE(os::ListFolder(dir.file("missing"), entries));
}

TEST(FoldersTest, CreateFolderTreeFailsBelowAFile) {
    TempDir dir;
    dir.write("blocker", "x");
    EXPECT_FALSE(os::CreateFolderTree(dir.file("blocker/sub")));
    EXPECT_TRUE(os::CreateFolderTree(dir.file("x/y/z/")));
    EXPECT_TRUE(os::IsFolderWritable(dir.file("x/y/z")));
    EXPECT_FALSE(os::IsFolderWritable(dir.file("blocker")));
    EXPECT_FALSE(os::IsFolderWritable(dir.file("nothing")));
    EXPECT_TRUE(os::CheckAccess(dir.file("blocker"), os::kGenericRead | os::kGenericWrite));
    EXPECT_FALSE(os::CheckAccess(dir.file("nothing"), os::kGenericRead));
    EXPECT_FALSE(os::CheckAccess(dir.file("blocker"), 0));
}

TEST(FoldersTest, CreationTimeIsNearNow) {
    TempDir dir;
    int64_t us = 0;
    ASSERT_TRUE(os::FileCreationTimeUs(dir.write("f", "x"), us));
    int64_t now = os::SystemClock().WallTimeUs();
    EXPECT_LE(us, now + 1000000);
    EXPECT_GT(us, now - 600LL * 1000000);
    EXPECT_FALSE(os::FileCreationTimeUs(dir.file("missing"), us));
}

TEST(FoldersTest, MasksMatchWithoutCase) {
    EXPECT_TRUE(os::MatchesMask("Deutsch.LAN", "*.lan"));
    EXPECT_TRUE(os::MatchesMask("a.b", "*.*"));
    EXPECT_TRUE(os::MatchesMask("ab", "a?"));
    EXPECT_FALSE(os::MatchesMask("a.lang", "*.lan"));
}

TEST(ClockTest, ManualClockDrivesTicksAndDates) {
    os::ManualClock clock(0xFFFFFFF0ull, 0, 3600);
    os::SetClock(&clock);
    EXPECT_EQ(os::GetTickCount(), 0xFFFFFFF0u);
    clock.Advance(0x20);
    EXPECT_EQ(os::GetTickCount(), 0x10u); // wraps like the classic count
    EXPECT_EQ(os::GetTickCount64(), 0x100000010ull);
    clock.SetWallTimeUs(0);
    EXPECT_DOUBLE_EQ(os::NowUtcDateTime(), 25569.0);
    EXPECT_DOUBLE_EQ(os::NowLocalDateTime(), 25569.0 + 1.0 / 24);
    os::SetClock(nullptr);
    EXPECT_GT(os::NowUtcDateTime(), 40000.0);
}

} // namespace
