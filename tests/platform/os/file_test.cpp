#include "platform/os/file.h"

#include "support/tempdir.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

TEST(OsFileTest, OpenReadWriteSeek) {
    TempDir tmp;
    int err = 0;
    int fd = os::FileCreate(tmp.file("f"), &err);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(os::FileWrite(fd, "abcdef", 6), 6);
    EXPECT_EQ(os::FileSeek(fd, 1, 0), 1);
    char buf[8] = {};
    EXPECT_EQ(os::FileRead(fd, buf, 8), 5);
    EXPECT_EQ(os::FileSeek(fd, 0, 2), 6);
    EXPECT_TRUE(os::FileTruncate(fd, 3));
    EXPECT_EQ(os::FileSeek(fd, -1, 0), -1);
    os::FileClose(fd);
    EXPECT_EQ(tmp.read("f"), "abc");

    EXPECT_EQ(os::FileOpen(tmp.file("missing"), os::FileAccess::Read, &err), os::kInvalidFile);
    EXPECT_EQ(err, ENOENT);
    EXPECT_EQ(os::FileOpen(tmp.path(), os::FileAccess::Read, &err), os::kInvalidFile);
    EXPECT_EQ(err, EISDIR);
    EXPECT_FALSE(os::ErrorText(ENOENT).empty());
}

TEST(OsFileTest, ReadWholeFileHonoursTheLimit) {
    TempDir tmp;
    std::string bytes;
    EXPECT_TRUE(os::ReadWholeFile(tmp.write("a", "12345"), bytes, 5));
    EXPECT_EQ(bytes, "12345");
    int err = 0;
    EXPECT_FALSE(os::ReadWholeFile(tmp.file("a"), bytes, 4, &err));
    EXPECT_EQ(err, EFBIG);
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(os::ReadWholeFile(tmp.file("none"), bytes, 100));
}

// A FIFO would block the open and a device might never end: neither is read.
TEST(OsFileTest, ReadWholeFileRefusesWhatIsNotARegularFile) {
    TempDir tmp;
    ASSERT_EQ(mkfifo(tmp.file("fifo").c_str(), 0600), 0);
    std::string bytes = "old";
    int err = 0;
    EXPECT_FALSE(os::ReadWholeFile(tmp.file("fifo"), bytes, 100, &err));
    EXPECT_EQ(err, EINVAL);
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(os::ReadWholeFile("/dev/zero", bytes, 100, &err));
    EXPECT_EQ(err, EINVAL);
    EXPECT_FALSE(os::ReadWholeFile(tmp.path(), bytes, 100, &err));
    EXPECT_EQ(err, EISDIR);
}

TEST(OsFileTest, AtomicWriteKeepsModeFollowsLinksAndLeavesNoTemporaries) {
    TempDir tmp;
    std::string target = tmp.write("real.dat", "old");
    chmod(target.c_str(), 0600);
    std::filesystem::create_symlink(target, tmp.file("link.dat"));
    std::string error;
    ASSERT_TRUE(os::WriteFileAtomic(tmp.file("link.dat"), "new", &error)) << error;
    EXPECT_TRUE(os::IsSymlink(tmp.file("link.dat")));
    EXPECT_EQ(tmp.read("real.dat"), "new");
    struct stat st {};
    stat(target.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(os::ListDirectory(tmp.path()).size(), 2u);

    EXPECT_FALSE(os::WriteFileAtomic(tmp.file("no/dir/x"), "a", &error));
    EXPECT_NE(error.find("no/dir/x"), std::string::npos);
}

TEST(OsFileTest, FoldersAndListing) {
    TempDir tmp;
    EXPECT_TRUE(os::MakeDirectories(tmp.file("a/b/c/")));
    EXPECT_TRUE(os::IsDirectory(tmp.file("a/b/c")));
    tmp.write("a/f.txt", "xyz");
    std::filesystem::create_symlink(tmp.file("a/nowhere"), tmp.file("a/broken"));
    auto entries = os::ListDirectory(tmp.file("a"));
    std::sort(entries.begin(), entries.end(),
              [](const os::DirEntry& x, const os::DirEntry& y) { return x.name < y.name; });
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "b");
    EXPECT_TRUE(entries[0].isDirectory);
    EXPECT_EQ(entries[1].name, "broken");
    EXPECT_TRUE(entries[1].isSymlink);
    EXPECT_EQ(entries[2].name, "f.txt");
    EXPECT_EQ(entries[2].size, 3);
    EXPECT_TRUE(os::ListDirectory(tmp.file("none")).empty());
    EXPECT_FALSE(os::RemoveFile(tmp.file("a/b")));
    EXPECT_TRUE(os::RemoveFile(tmp.file("a/broken")));
    EXPECT_TRUE(os::IsFile(tmp.file("a/f.txt")));
    EXPECT_FALSE(os::IsFile(tmp.file("a/b")));

    int64_t us = 0;
    ASSERT_TRUE(os::SetModifyTimeUs(tmp.file("a/f.txt"), 1234567890123456));
    ASSERT_TRUE(os::GetModifyTimeUs(tmp.file("a/f.txt"), us));
    EXPECT_EQ(us, 1234567890123456);
}

} // namespace
