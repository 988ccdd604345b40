#include "framework/CLSettings.h"

#include "classlib/strings.h"
#include "framework/OxDebug.h"
#include "platform/os/clock.h"
#include "platform/os/folders.h"
#include "platform/os/ipc.h"
#include "platform/os/process.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <unistd.h>

namespace {

// A program folder, a per-user and an all-users folder of our own.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        os::SetIpcNamespace("lantrove-test-set-" + std::to_string(os::CurrentProcessId()));
        DebuggerInstance()->SetActive(false);
        DebuggerInstance()->SetAutoStart(false);
        os::SetProgramFileNameOverride(dir.file("prog/lantrove"));
        setenv("XDG_CONFIG_HOME", dir.file("user").c_str(), 1);
        setenv("LANTROVE_COMMON_APPDATA", dir.file("common").c_str(), 1);
        word = dir.file("prog/lantrove");
        for (char& c : word)
            if (c == '/') c = '_';
        dir.write("prog/const.dat", "[setting]\nApp.Name=Lantrove\n");
    }
    void TearDown() override {
        FreeSettingsInstance();
        SetSettingsEngineLists(nullptr, nullptr);
        os::SetProgramFileNameOverride("");
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("LANTROVE_COMMON_APPDATA");
        os::NamedEvent::Remove(OxFlushEventName);
        os::SetIpcNamespace("");
    }
    std::string UserFolder() const { return dir.file("user/" + word + "/"); }
    std::string CommonFolder() const { return dir.file("common/" + word + "/"); }

    TempDir dir;
    std::string word;
};

TEST_F(SettingsTest, LayersInOrder) {
    dir.write("prog/const.dat", "[setting]\nA=const\nB=const\nC=const\nE=const\n[other]\nG=x\n");
    dir.write("prog/oem.const.dat", "[setting]\nA=oem\n");
    dir.write("common/" + word + "/setting.dat",
              "[setting]\nC=\nF=user\n"); // an empty value hides the shipped one
    TStringList overwrite, defaults;
    overwrite.Add("F=engine");
    defaults.Add("D=default");
    defaults.Add("E=default");
    SetSettingsEngineLists(&overwrite, &defaults);
    TCLSettings* s = SettingsInstance();
    EXPECT_EQ(s->GetSettingString("a"), "oem");
    EXPECT_EQ(s->GetSettingString("B"), "const");
    EXPECT_EQ(s->GetSettingString("C"), "");
    EXPECT_TRUE(s->GetSettingExists("C"));
    EXPECT_EQ(s->GetSettingString("D"), "default");
    EXPECT_EQ(s->GetSettingString("E"), "const");
    EXPECT_EQ(s->GetSettingString("F"), "engine");
    EXPECT_EQ(s->GetSettingString("G"), ""); // other sections are not read
    EXPECT_FALSE(s->GetSettingExists("G"));
    // Writes go to the user's file only; the engine's override still wins.
    s->SetSettingstring("F", "changed");
    EXPECT_EQ(s->GetSettingString("F"), "engine");
    SetSettingsEngineLists(nullptr, nullptr);
    EXPECT_EQ(s->GetSettingString("F"), "changed");
    EXPECT_EQ(s->GetSettingString("D"), "");
}

TEST_F(SettingsTest, TypedValues) {
    dir.write("prog/const.dat", "[setting]\nDebug.Enabled=true\nDebug.Disabled=1\n"
                                "Settings.MaxTasks=abc\nHex=$10\nHex2=0x10\nHuge=99999999999\n"
                                "Rect=1,2,3,4\nShortRect=1,2,3\nBadRect=1,x,3,4\nF=2.5\n");
    TCLSettings* s = SettingsInstance();
    EXPECT_FALSE(s->GetSettingBool("Debug.Enabled"));
    EXPECT_TRUE(s->GetSettingBool("Debug.Disabled"));
    EXPECT_EQ(s->GetSettingInteger("Settings.MaxTasks"), 0);
    EXPECT_EQ(s->GetSettingInteger("Hex"), 16);
    EXPECT_EQ(s->GetSettingInteger("Hex2"), 16);
    EXPECT_EQ(s->GetSettingInteger("Huge"), 0);
    EXPECT_EQ(s->GetSettingRect("Rect"), TRect(1, 2, 3, 4));
    EXPECT_EQ(s->GetSettingRect("ShortRect", TRect(5, 5, 5, 5)), TRect(5, 5, 5, 5));
    EXPECT_EQ(s->GetSettingRect("BadRect"), TRect(1, 0, 3, 4));
    EXPECT_DOUBLE_EQ(s->GetSettingFloat("F"), 2.5);
    EXPECT_DOUBLE_EQ(s->GetSettingFloat("Missing"), 0);

    s->SetSettingBool("B", true);
    s->SetSettingInteger("I", -12);
    s->SetSettingFloat("Update.LastDate", 45000.25);
    s->SetSettingRect("MainForm.Rect", TRect(-1, 2, 300, 400));
    s->SetSettingstring("Title", "Ünïcödé ✓");
    FreeSettingsInstance();
    s = SettingsInstance();
    EXPECT_EQ(s->GetSettingString("B"), "1");
    EXPECT_EQ(s->GetSettingInteger("I"), -12);
    EXPECT_DOUBLE_EQ(s->GetSettingFloat("Update.LastDate"), 45000.25);
    EXPECT_EQ(s->GetSettingString("MainForm.Rect"), "-1,2,300,400");
    EXPECT_EQ(s->GetSettingString("Title"), "Ünïcödé ✓");
    std::string bytes = dir.read("common/" + word + "/setting.dat");
    EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF", 0), 0u); // UTF-8 with a byte-order mark
}

TEST_F(SettingsTest, RememberedAnswers) {
    TCLSettings* s = SettingsInstance();
    EXPECT_TRUE(s->GetMessageShowAgainFlag(7));
    EXPECT_EQ(s->GetMessageShowAgainResult(7), 1);
    s->SetMessageShowAgainFlag(7, false);
    s->SetMessageShowAgainResult(7, 6);
    FreeSettingsInstance();
    s = SettingsInstance();
    EXPECT_FALSE(s->GetMessageShowAgainFlag(7));
    EXPECT_EQ(s->GetMessageShowAgainResult(7), 6);
    EXPECT_TRUE(s->GetMessageShowAgainFlag(8));
    s->ClearShowAgainFlag();
    EXPECT_TRUE(s->GetMessageShowAgainFlag(7));
    EXPECT_EQ(s->GetMessageShowAgainResult(7), 1);
}

TEST_F(SettingsTest, FirstRunUsesWritableAllUsersFolderAndCountsRuns) {
    TCLSettings* s = SettingsInstance();
    EXPECT_TRUE(s->AllUser());
    EXPECT_EQ(s->UserDataPath(), CommonFolder());
    EXPECT_EQ(s->RunTimes(), 0);
    EXPECT_NE(dir.read("user/" + word + "/UserFlag.ini").find("AllUsers=1"), std::string::npos);
    EXPECT_NE(dir.read("common/" + word + "/setting.dat").find("RunTimes=1"), std::string::npos);
    FreeSettingsInstance();
    EXPECT_EQ(SettingsInstance()->RunTimes(), 1);
    FreeSettingsInstance();
    EXPECT_EQ(SettingsInstance()->RunTimes(), 2);
}

TEST_F(SettingsTest, NoAllUserKeepsDataPerUserWithoutFlagFile) {
    dir.write("prog/const.dat", "[setting]\nSetting.NoAllUser=1\n");
    TCLSettings* s = SettingsInstance();
    EXPECT_FALSE(s->AllUser());
    EXPECT_EQ(s->UserDataPath(), UserFolder());
    EXPECT_FALSE(dir.exists("user/" + word + "/UserFlag.ini"));
    EXPECT_TRUE(dir.exists("user/" + word + "/setting.dat"));
}

TEST_F(SettingsTest, UnwritableAllUsersFolderFallsBackToPerUser) {
    dir.write("common", "a file where the folder should be");
    dir.write("user/" + word + "/UserFlag.ini", "[Flag]\nAllUsers=1\n");
    TCLSettings* s = SettingsInstance();
    EXPECT_FALSE(s->AllUser());
    EXPECT_EQ(s->UserDataPath(), UserFolder());
    EXPECT_FALSE(s->GetAllUserFlag());
    EXPECT_FALSE(s->IsAllUserPathWriteable());
}

TEST_F(SettingsTest, UnwritableDataFolderKeepsSettingsInMemory) {
    dir.write("common", "blocked");
    dir.write("user", "blocked too");
    TCLSettings* s = nullptr;
    ASSERT_NO_THROW(s = SettingsInstance());
    ASSERT_NO_THROW(s->SetSettingstring("Kept", "in memory"));
    EXPECT_EQ(s->GetSettingString("Kept"), "in memory");
    EXPECT_EQ(s->GetSettingString("RunTimes"), "1");
    EXPECT_EQ(dir.read("common"), "blocked");
}

TEST_F(SettingsTest, ConfigPathNamesTheDataFolder) {
    dir.write("prog/const.dat", "[setting]\nApp.ConfigPath=Lantrove\n");
    EXPECT_EQ(SettingsInstance()->UserDataPath(), dir.file("common/Lantrove/"));
}

// The shipped configuration names the data folder after the program, so the
// settings and the download list stay where they are when the program moves.
TEST_F(SettingsTest, TheShippedConfigurationNamesTheDataFolderAfterTheProgram) {
    std::ifstream in(std::string(LANTROVE_PROGRAM_DIR) + "/const.dat", std::ios::binary);
    const std::string shipped((std::istreambuf_iterator<char>(in)), {});
    ASSERT_FALSE(shipped.empty());
    dir.write("prog/const.dat", shipped);
    EXPECT_EQ(SettingsInstance()->UserDataPath(), dir.file("common/lantrove/"));
}

TEST_F(SettingsTest, DamagedAndOddFilesReadSafely) {
    const char raw[] = "\0\xff\xfe[set\x01ting]\n=x\n[setting\nA";
    std::string garbage(raw, sizeof raw - 1);
    garbage += std::string(200000, 'z'); // one very long line without an end
    dir.write("common/" + word + "/setting.dat", garbage);
    // UTF-16 with a byte-order mark.
    std::u16string text = u"[setting]\r\nWide=Wörter\r\n";
    std::string utf16("\xFF\xFE", 2);
    for (char16_t c : text) {
        utf16 += char(c & 0xFF);
        utf16 += char(c >> 8);
    }
    dir.write("prog/const.dat", utf16);
    dir.write("prog/oem.const.dat", "\xEF\xBB\xBF[setting]\nBom=yes\n");
    TCLSettings* s = SettingsInstance();
    EXPECT_EQ(s->GetSettingString("Wide"), "Wörter");
    EXPECT_EQ(s->GetSettingString("Bom"), "yes");
    EXPECT_EQ(s->GetSettingString("A"), "");
    std::string big(1 << 20, 'v');
    s->SetSettingstring("Big", big);
    s->SetSettingstring("Lines", "one\r\ntwo");
    FreeSettingsInstance();
    s = SettingsInstance();
    EXPECT_EQ(s->GetSettingString("Big"), big);
    EXPECT_EQ(s->GetSettingString("Lines").find('\n'), std::string::npos);
    EXPECT_EQ(s->GetSettingString("RunTimes"), "2");
}

TEST_F(SettingsTest, OversizeSettingsFileIsNeverOverwritten) {
    const std::string file = dir.write("common/" + word + "/setting.dat", "[setting]\nKeep=1\n");
    std::filesystem::resize_file(file, (64u << 20) + 1); // sparse, so cheap
    TCLSettings* s = SettingsInstance();
    s->SetSettingstring("New", "value");
    EXPECT_EQ(s->GetSettingString("New"), "value");
    EXPECT_EQ(std::filesystem::file_size(file), (64u << 20) + 1);
    FreeSettingsInstance();
    EXPECT_EQ(std::filesystem::file_size(file), (64u << 20) + 1);
    std::ifstream in(file);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "[setting]");
}

TEST_F(SettingsTest, FifosInPlaceOfTheFilesNeitherBlockNorGetReplaced) {
    const std::string fifos[] = {"prog/const.dat", "common/" + word + "/setting.dat"};
    for (const std::string& name : fifos) {
        std::filesystem::create_directories(std::filesystem::path(dir.file(name)).parent_path());
        std::filesystem::remove(dir.file(name));
        ASSERT_EQ(mkfifo(dir.file(name).c_str(), 0600), 0);
    }
    auto made = std::async(std::launch::async, [] {
        TCLSettings* s = SettingsInstance();
        s->SetSettingstring("After", "fifo");
        return s->GetSettingString("After");
    });
    if (made.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        // Free the blocked reader so the test can end.
        for (const std::string& name : fifos)
            close(open(dir.file(name).c_str(), O_WRONLY | O_NONBLOCK));
        FAIL() << "reading a FIFO blocked";
    }
    EXPECT_EQ(made.get(), "fifo");
    struct stat st {};
    ASSERT_EQ(stat(dir.file("common/" + word + "/setting.dat").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// What the program did not write itself survives: another encoding, comments,
// lines that do not parse, a file marked read-only.
TEST_F(SettingsTest, ForeignContentIsKeptAndReadOnlyFilesAreLeftAlone) {
    const std::string file = "common/" + word + "/setting.dat";
    const std::string single = "; written by hand\r\n[setting]\r\nArtist=Caf\xE9 M\xFCller \x80\r\n"
                               "not an entry\r\n";
    dir.write(file, single);
    TCLSettings* s = SettingsInstance();
    EXPECT_EQ(s->GetSettingString("Artist"), "Café Müller €");
    EXPECT_EQ(dir.read(file + ".bak"), single); // kept before the run count was written
    EXPECT_NE(dir.read(file).find("Artist=Café Müller €"), std::string::npos);
    FreeSettingsInstance();

    // The program's own file is replaced without a copy.
    std::filesystem::remove(dir.file(file + ".bak"));
    SettingsInstance()->SetSettingstring("Own", "1");
    EXPECT_FALSE(dir.exists(file + ".bak"));
    FreeSettingsInstance();

    // Valid UTF-8 without a mark stays UTF-8.
    dir.write(file, "[setting]\nArtist=Café\n");
    EXPECT_EQ(SettingsInstance()->GetSettingString("Artist"), "Café");
    FreeSettingsInstance();
    std::filesystem::remove(dir.file(file + ".bak"));

    dir.write(file, "[setting]\nLocked=1\n");
    std::filesystem::permissions(dir.file(file), std::filesystem::perms::owner_read |
                                                     std::filesystem::perms::group_read);
    s = SettingsInstance();
    s->SetSettingstring("Locked", "2");
    EXPECT_EQ(s->GetSettingString("Locked"), "2");
    EXPECT_EQ(dir.read(file), "[setting]\nLocked=1\n");
    EXPECT_FALSE(dir.exists(file + ".bak"));
}

TEST_F(SettingsTest, HeldWritesReachTheDiskOnlyWhenReleased) {
    for (bool release : {false, true}) {
        SCOPED_TRACE(release);
        std::filesystem::remove_all(dir.file("common"));
        std::filesystem::remove_all(dir.file("user"));
        HoldSettingsWrites();
        TCLSettings* s = SettingsInstance();
        s->SetSettingstring("Held", "yes");
        EXPECT_EQ(s->GetSettingString("Held"), "yes");
        EXPECT_FALSE(dir.exists("common/" + word + "/setting.dat"));
        EXPECT_FALSE(dir.exists("user/" + word + "/UserFlag.ini"));
        if (!release) FreeSettingsInstance();
        ReleaseSettingsWrites();
        EXPECT_EQ(dir.exists("common/" + word + "/setting.dat"), release);
        EXPECT_EQ(dir.read("user/" + word + "/UserFlag.ini").find("AllUsers=1") !=
                      std::string::npos,
                  release);
        if (release) {
            EXPECT_NE(dir.read("common/" + word + "/setting.dat").find("RunTimes=1"),
                      std::string::npos);
        }
        FreeSettingsInstance();
    }
}

TEST_F(SettingsTest, BeginUpdateHoldsWritesAndNoCacheRereads) {
    TCLSettings* s = SettingsInstance();
    const std::string file = "common/" + word + "/setting.dat";
    s->BeginUpdate();
    s->SetSettingstring("Held", "1");
    EXPECT_EQ(dir.read(file).find("Held"), std::string::npos);
    s->EndUpdate();
    EXPECT_NE(dir.read(file).find("Held=1"), std::string::npos);

    dir.write(file, "[setting]\nFromOutside=yes\n");
    EXPECT_EQ(s->GetSettingString("FromOutside"), "");
    s->SetNoCache(true);
    EXPECT_EQ(s->GetSettingString("FromOutside"), "yes");
}

TEST_F(SettingsTest, EncodedStringsRoundTrip) {
    TCLSettings* s = SettingsInstance();
    s->SetSettingsecString("Secret", "pass wörd");
    EXPECT_NE(s->GetSettingString("Secret"), "pass wörd");
    EXPECT_EQ(s->GetSettingString("Secret").size(), 2 * std::string("pass wörd").size());
    EXPECT_EQ(s->GetSettingsecString("Secret"), "pass wörd");
}

TEST_F(SettingsTest, RunDaysCountFromTheOldestFolder) {
    TCLSettings* s = SettingsInstance();
    EXPECT_EQ(s->GetRunDays(), 0);
    os::ManualClock clock(0, os::SystemClock().WallTimeUs() + int64_t(3.5 * 86400e6));
    os::SetClock(&clock);
    EXPECT_EQ(s->GetRunDays(), 3);
    os::SetClock(nullptr);
}

TEST_F(SettingsTest, LanguageStringFromTheChosenFile) {
    dir.write("prog/const.dat", "[setting]\nPath.Languages=lang\nLanguage=Deutsch\n");
    dir.write("prog/lang/Deutsch.lan", "[AppRes]\nHello=Hallo\n");
    TCLSettings* s = SettingsInstance();
    EXPECT_EQ(s->SlowGetLanguageString("AppRes", "Hello", "?"), "Hallo");
    EXPECT_EQ(s->SlowGetLanguageString("AppRes", "Missing", "?"), "?");
}

} // namespace
