#include "framework/SPTools.h"

#include "classlib/strings.h"
#include "platform/display/headless.h"
#include "platform/os/ipc.h"
#include "platform/os/process.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

namespace {

std::vector<std::string> Lines(const TStrings& list) {
    std::vector<std::string> v;
    for (int i = 0; i < list.Count(); ++i)
        v.push_back(list[i]);
    return v;
}

using V = std::vector<std::string>;

TEST(SPToolsTest, CombinePath) {
    struct {
        const char* base;
        const char* path;
        const char* expected;
    } rows[] = {
        {"/opt/app", "res/page.htm", "/opt/app/res/page.htm"},
        {"/opt/app/", "res\\images\\about.png", "/opt/app/res/images/about.png"},
        {"/opt/app", "/etc/abs", "/etc/abs"}, // absolute stays absolute
        {"relative", "\\rooted", "/rooted"},
        {"relative", "res\\x.htm", "res\\x.htm"}, // no absolute base: unchanged
        {"c:\\app", "x.htm", "x.htm"},
        {"", "x.txt", "x.txt"},
        {"/opt/app", "", "/opt/app/"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(CombinePath(r.base, r.path), r.expected) << r.base << " + " << r.path;
    EXPECT_EQ(ExpandRelativePath("/opt/app/lantrove", "lang/x.lan"), "/opt/app/lang/x.lan");
    EXPECT_EQ(IncludeTrailingBackslashEx(""), "");
    EXPECT_EQ(IncludeTrailingBackslashEx("a\\b"), "a/b/");
    EXPECT_EQ(SlashesToBackslashes("a/b/c"), "a\\b\\c");
    EXPECT_EQ(ExtractFileBaseName("/x/archive.tar.gz"), "archive.tar");
    EXPECT_EQ(ExtractFileBaseName("noext"), "noext");
}

TEST(SPToolsTest, FormatParamsFillsEachPlaceholderOnce) {
    EXPECT_EQ(FormatParams("{1} then {2}, {1}", {"a{2}", "b"}), "a{2} then b, a{2}");
    std::vector<std::string> ten;
    for (int i = 1; i <= 10; ++i)
        ten.push_back("p" + std::to_string(i));
    EXPECT_EQ(FormatParams("{10}{1}", ten), "p10p1");
    EXPECT_EQ(FormatParams("{0}{3}{01}{}{x}{", {"a", "b"}), "{0}{3}{01}{}{x}{");
    EXPECT_EQ(FormatParams("no params {1}", {}), "no params {1}");
}

TEST(SPToolsTest, SplitText) {
    TStringList list;
    SplitText("a,,b,", ',', &list);
    EXPECT_EQ(Lines(list), (V{"a", "", "b", ""}));
    list.Clear();
    SplitText("", ',', &list);
    EXPECT_EQ(list.Count(), 0);
    list.Clear();
    SplitTextQuoted("\"x,y\",\"say \"\"hi\"\"\",\"open", ',', '"', &list);
    EXPECT_EQ(Lines(list), (V{"x,y", "say \"hi\"", "open"}));
}

TEST(SPToolsTest, ParseQueryParams) {
    TStringList list;
    ParseQueryParams("xmd:ACTION=Search&KEYWORD=two%20words+here&ID=", &list, true);
    EXPECT_EQ(list.Values("ACTION"), "Search");
    EXPECT_EQ(list.Values("keyword"), "two words here");
    EXPECT_EQ(list.IndexOfName("ID"), -1);
    // A broken escape skips only its own piece.
    list.Clear();
    ParseQueryParams("http://h/p?A=%zz&B=%41", &list, true);
    EXPECT_EQ(list.IndexOfName("A"), -1);
    EXPECT_EQ(list.Values("B"), "A");
    list.Clear();
    ParseQueryParams("zint:PAGE=Help&X=%20", &list, false);
    EXPECT_EQ(Lines(list), (V{"PAGE=Help", "X=%20"}));
}

TEST(SPToolsTest, SmallTextRoutines) {
    EXPECT_EQ(RemoveInvalidFileNameChars("  What? A/B \"song\"\r\n<live>|*:\\' "),
              "What AB songlive");
    std::string accented; // two bytes a letter
    for (int i = 0; i < 200; ++i)
        accented += "\xC3\xA9";
    const struct {
        std::string text, name;
    } names[] = {
        {std::string("a\0b\tc\x1b\x7f", 7), "a_b_c__"},
        {"..", ""},
        {" ... ", ""},
        {"./..", ""},
        {"..song..", "..song.."},
        {std::string(300, 'x'), std::string(MaxFileNameTextBytes, 'x')},
        {accented, accented.substr(0, MaxFileNameTextBytes - 1)},
    };
    for (const auto& n : names)
        EXPECT_EQ(RemoveInvalidFileNameChars(n.text), n.name) << n.text;
    EXPECT_EQ(AddURLParams("", "a=1"), "a=1");
    EXPECT_EQ(AddURLParams("http://h/p", "a=1"), "http://h/p?a=1");
    EXPECT_EQ(AddURLParams("http://h/p?x=1", "a=1"), "http://h/p?x=1&a=1");
    EXPECT_EQ(AddURLParams("http://h/p?x=1&", "a=1"), "http://h/p?x=1&a=1");
    EXPECT_EQ(AddURLParams("http://h/p?", "a=1"), "http://h/p?a=1");
    EXPECT_EQ(CharsToHex("unknow"), "756E6B6E6F77");
    EXPECT_EQ(CharsToHex("abc", 2), "6162");
    EXPECT_EQ(IntToHexPadded(0xAB, 2), "00AB");
    EXPECT_EQ(VersionStrToInt("1.2.3.4 beta"), 0x01020304u);
    EXPECT_EQ(VersionStrToInt("257.1.1.1"), 0x01010101u);
    EXPECT_EQ(VersionStrToInt("1.2.3"), 0u);
    EXPECT_TRUE(TextBeginsWith("HTTP://x", "http"));
    EXPECT_FALSE(TextBeginsWith("ht", "http"));
    EXPECT_EQ(SafeStrToInt("$10", 7), 16);
    EXPECT_EQ(SafeStrToInt("x", 7), 7);
}

TEST(SPToolsTest, RectanglesAndFitting) {
    EXPECT_EQ(RectToStr(TRect(1, -2, 30, 40)), "1,-2,30,40");
    TRect r(9, 9, 9, 9);
    StrToRect("1,2,3", r);
    EXPECT_EQ(r, TRect(9, 9, 9, 9));
    StrToRect("1,x,3,99999999999", r);
    EXPECT_EQ(r, TRect(1, 0, 3, 0));
    EXPECT_EQ(FitSizeKeepAspect(TSize(400, 200), TSize(100, 100)), TSize(100, 50));
    EXPECT_EQ(FitSizeKeepAspect(TSize(200, 400), TSize(100, 100)), TSize(50, 100));
    EXPECT_EQ(FitSizeKeepAspect(TSize(0, 5), TSize(100, 100)), TSize(0, 5));
    EXPECT_EQ(FitSizeKeepAspect(TSize(5, 5), TSize(0, 100)), TSize(0, 100));
    EXPECT_EQ(FitSizeKeepAspect(TSize(2000000000, 3), TSize(2000000000, 2000000000)),
              TSize(2000000000, 3));
    EXPECT_EQ(FitRectCentered(TSize(400, 200), TRect(10, 10, 111, 111)), TRect(10, 35, 111, 85));
}

TEST(SPToolsTest, ClearDirectoryRemovesLinksWithoutFollowingThem) {
    TempDir dir;
    dir.write("work/a.txt", "a");
    dir.write("work/sub/deep/b.txt", "b");
    dir.write("outside/keep.txt", "keep");
    std::filesystem::create_directory_symlink(dir.file("outside"), dir.file("work/dirlink"));
    std::filesystem::create_symlink(dir.file("outside/keep.txt"), dir.file("work/filelink"));

    EXPECT_TRUE(ClearDirectory(dir.file("work"), false));
    EXPECT_FALSE(dir.exists("work/a.txt"));
    EXPECT_FALSE(dir.exists("work/dirlink"));
    EXPECT_FALSE(dir.exists("work/filelink"));
    EXPECT_TRUE(dir.exists("work/sub/deep/b.txt")); // not recursive: folders stay
    EXPECT_TRUE(ClearDirectory(dir.file("work"), true));
    EXPECT_FALSE(dir.exists("work/sub"));
    EXPECT_TRUE(dir.exists("work"));
    EXPECT_EQ(dir.read("outside/keep.txt"), "keep");
    EXPECT_TRUE(ClearDirectory(dir.file("missing"), true));
}

TEST(SPToolsTest, ListFilesAndUniqueNames) {
    TempDir dir;
    dir.write("lang/Deutsch.LAN", "");
    dir.write("lang/English.lan", "");
    dir.write("lang/readme.txt", "");
    dir.write("lang/folder.lan/x", "");
    TStringList list;
    ListFiles(dir.file("lang/*.lan"), &list, false);
    list.Sort();
    EXPECT_EQ(Lines(list), (V{"Deutsch.LAN", "English.lan"}));
    list.Clear();
    ListFiles(dir.file("lang/E*.lan"), &list, true);
    EXPECT_EQ(Lines(list), (V{dir.file("lang/English.lan")}));

    std::string name = GetUniqueFileName(dir.path(), "sg", "tmp");
    EXPECT_EQ(name.rfind(dir.path() + "/sg", 0), 0u);
    EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
    EXPECT_FALSE(dir.exists(name.substr(dir.path().size() + 1)));
    std::string hex = name.substr(dir.path().size() + 3, name.size() - dir.path().size() - 7);
    EXPECT_TRUE(!hex.empty() && hex.size() <= 5 &&
                std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(c); }));
}

TEST(SPToolsTest, FilesFoldersAndTimes) {
    TempDir dir;
    WriteStringToFile(" ", dir.file("setting.dat"));
    EXPECT_EQ(dir.read("setting.dat"), "\xEF\xBB\xBF ");
    WriteStringToFile("x", dir.file("no/such/folder/f")); // nothing happens
    TFileTime t = 0;
    ASSERT_TRUE(GetFileCreationTime(dir.path(), t));
    EXPECT_GT(FileTimeToDateTime(t), 40000.0);
    EXPECT_FALSE(GetFileCreationTime(dir.file("missing"), t));
    EXPECT_TRUE(CheckFileAccess(0x40000000u, dir.path()));
    EXPECT_EQ(GetTempDirectory().back(), '/');
    EXPECT_EQ(GetAppFolder().back(), '/');
    EXPECT_EQ(GetAppFolderNoSlash() + "/", GetAppFolder());
    EXPECT_EQ(GetLongPath(""), "");
    EXPECT_EQ(GetLongPath(dir.file("missing")), dir.file("missing"));
}

class SPToolsDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", dir.file("user").c_str(), 1);
        setenv("LANTROVE_COMMON_APPDATA", dir.file("common").c_str(), 1);
        os::SetLaunchHook([this](const std::vector<std::string>& argv, const std::string&) {
            launched.push_back(argv);
            return true;
        });
    }
    void TearDown() override {
        os::SetLaunchHook(nullptr);
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("LANTROVE_COMMON_APPDATA");
    }
    TempDir dir;
    std::vector<std::vector<std::string>> launched;
};

TEST_F(SPToolsDesktopTest, BrowserCommandGetsTheAddressAsOneArgument) {
    const std::string url = "http://example.test/a b?q=\"x\"&r=1";
    ASSERT_TRUE(OpenURLInBrowser(0, url));
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].back(), url);

    RegWriteString(os::RegRoot::ClassesRoot, "http\\shell\\open\\command", "",
                   "\"/opt/my browser/run\" -new \"%1\"");
    ASSERT_TRUE(OpenURLInBrowser(0, url));
    EXPECT_EQ(launched[1], (V{"/opt/my browser/run", "-new", url}));

    RegWriteString(os::RegRoot::ClassesRoot, "http\\shell\\open\\command", "", "/usr/bin/web");
    ASSERT_TRUE(OpenURLInBrowser(0, url));
    EXPECT_EQ(launched[2], (V{"/usr/bin/web", url}));

    for (const char* bad : {"xmd:ACTION=Play", "-x", "", "ftp://example.test/"})
        EXPECT_FALSE(OpenURLInBrowser(0, bad)) << bad;
    EXPECT_EQ(launched.size(), 3u);
}

TEST_F(SPToolsDesktopTest, LocalPagesOpenWhenTheFileExists) {
    const std::string page = dir.write("res/my page.htm", "<html></html>");
    dir.write("res/folder.htm/inner", "");
    struct {
        std::string address;
        bool opens;
    } rows[] = {
        {page, true},
        {"file://" + dir.file("res/my%20page.htm"), true},
        {"FILE://localhost" + page, true},
        {dir.file("res/missing.htm"), false},
        {"file://" + dir.file("res/missing.htm"), false},
        {dir.file("res/folder.htm"), false},
        {"file://otherhost" + page, false},
        {"res/my page.htm", false}, // relative: no telling where it is
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.address);
        launched.clear();
        EXPECT_EQ(OpenURLInBrowser(0, r.address), r.opens);
        ASSERT_EQ(launched.size(), r.opens ? 1u : 0u);
        // The desktop's handler gets the file as one argument.
        if (r.opens) EXPECT_EQ(launched[0].back(), page);
    }
    // With a browser command the address goes in as it was given.
    RegWriteString(os::RegRoot::ClassesRoot, "http\\shell\\open\\command", "",
                   "/usr/bin/web \"%1\"");
    launched.clear();
    const std::string address = "file://" + dir.file("res/my%20page.htm");
    ASSERT_TRUE(OpenURLInBrowser(0, address));
    EXPECT_EQ(launched[0], (V{"/usr/bin/web", address}));
}

TEST_F(SPToolsDesktopTest, ShellFoldersAndRegistryStrings) {
    EXPECT_EQ(GetShellFolderPath("AppData"), dir.file("user"));
    EXPECT_EQ(GetShellFolderPath("Common AppData"), dir.file("common"));
    EXPECT_EQ(GetCommonShellFolderPath("AppData"), "");
    EXPECT_EQ(RegReadString(os::RegRoot::CurrentUser, "Software\\X", "CHL", "unknow"), "unknow");
    RegWriteString(os::RegRoot::CurrentUser, "Software\\X", "CHL", "web");
    EXPECT_EQ(RegReadString(os::RegRoot::CurrentUser, "software\\x", "chl", "unknow"), "web");
}

TEST(SPToolsInstanceTest, SingleInstanceMutexSeesAnotherHolder) {
    os::SetIpcNamespace("lantrove-test-sp-" + std::to_string(os::CurrentProcessId()));
    const std::string name = "Global\\{6C1B7E52-TEST}";
    std::promise<bool> taken;
    std::promise<void> finish;
    // Another holder: a thread that takes the mutex and ends holding it, as
    // an instance that exits does.
    std::thread other([&] {
        taken.set_value(CreateSingleInstanceMutex(name));
        finish.get_future().wait();
    });
    EXPECT_TRUE(taken.get_future().get());
    EXPECT_FALSE(CreateSingleInstanceMutex(name));
    finish.set_value();
    other.join();
    EXPECT_TRUE(CreateSingleInstanceMutex(name)); // the other holder has ended
    os::NamedMutex::Remove(name);
    os::SetIpcNamespace("");
}

} // namespace

TEST(SPToolsDialogTest, BrowseForFolderAsksTheFolderDialog) {
    auto* headless = display::CurrentHeadless();
    ASSERT_NE(headless, nullptr);
    display::FileDialogRequest seen;
    headless->SetFileDialogAnswer([&](const display::FileDialogRequest& r) {
        seen = r;
        return std::optional<std::string>("/tmp/chosen");
    });
    EXPECT_EQ(BrowseForFolder(0, "/tmp/start", "Save to"), "/tmp/chosen");
    EXPECT_EQ(seen.kind, display::FileDialogRequest::ChooseFolder);
    EXPECT_EQ(seen.initial, "/tmp/start");
    EXPECT_EQ(seen.title, "Save to");
    // Cancelled: empty.
    headless->SetFileDialogAnswer([](const display::FileDialogRequest&) { return std::nullopt; });
    EXPECT_EQ(BrowseForFolder(0, "/tmp/start", "Save to"), "");
    headless->SetFileDialogAnswer(nullptr);
}
