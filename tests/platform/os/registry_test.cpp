#include "platform/os/folders.h"
#include "platform/os/registry.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", dir.file("user").c_str(), 1);
        setenv("LANTROVE_COMMON_APPDATA", dir.file("common").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("LANTROVE_COMMON_APPDATA");
    }
    TempDir dir;
};

TEST_F(RegistryTest, ValuesRoundTripAndMatchWithoutCase) {
    const std::string key = "Software\\OxTools\\OxDebug";
    EXPECT_FALSE(os::RegKeyExists(os::RegRoot::CurrentUser, key));
    const std::string odd = "a=b\\c\nnext [x]\r";
    ASSERT_TRUE(os::RegWriteValue(os::RegRoot::CurrentUser, key, "OxDebugViewer", odd));
    ASSERT_TRUE(os::RegWriteValue(os::RegRoot::CurrentUser, key, "[odd=name", "v"));
    std::string v;
    ASSERT_TRUE(os::RegReadValue(os::RegRoot::CurrentUser, "\\software\\oxtools\\OXDEBUG\\",
                                 "oxdebugviewer", v));
    EXPECT_EQ(v, odd);
    ASSERT_TRUE(os::RegReadValue(os::RegRoot::CurrentUser, key, "[ODD=name", v));
    EXPECT_EQ(v, "v");
    EXPECT_TRUE(os::RegKeyExists(os::RegRoot::CurrentUser, "Software\\OxTools"));
    EXPECT_FALSE(os::RegKeyExists(os::RegRoot::CurrentUser, "Software\\OxTool"));
    // Roots are kept apart.
    EXPECT_FALSE(os::RegReadValue(os::RegRoot::LocalMachine, key, "OxDebugViewer", v));

    ASSERT_TRUE(os::RegWriteValue(os::RegRoot::CurrentUser, key, "OXDEBUGVIEWER", "second"));
    ASSERT_TRUE(os::RegReadValue(os::RegRoot::CurrentUser, key, "OxDebugViewer", v));
    EXPECT_EQ(v, "second");
    EXPECT_TRUE(os::RegDeleteValue(os::RegRoot::CurrentUser, key, "oxdebugviewer"));
    EXPECT_FALSE(os::RegReadValue(os::RegRoot::CurrentUser, key, "OxDebugViewer", v));
    EXPECT_FALSE(os::RegDeleteValue(os::RegRoot::CurrentUser, key, "OxDebugViewer"));
}

TEST_F(RegistryTest, ShellFoldersComeFromTheSpecialFolders) {
    const std::string key = "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    std::string v;
    ASSERT_TRUE(os::RegReadValue(os::RegRoot::CurrentUser, key, "AppData", v));
    EXPECT_EQ(v, dir.file("user"));
    ASSERT_TRUE(os::RegReadValue(os::RegRoot::LocalMachine, key, "Common AppData", v));
    EXPECT_EQ(v, dir.file("common"));
    EXPECT_FALSE(os::RegReadValue(os::RegRoot::LocalMachine, key, "AppData", v));
}

TEST_F(RegistryTest, UnwritableStoreReportsFailure) {
    dir.write("common", "a file where the folder should be");
    EXPECT_FALSE(os::RegWriteValue(os::RegRoot::LocalMachine, "Software\\X", "CHL", "1"));
    std::string v;
    EXPECT_FALSE(os::RegReadValue(os::RegRoot::LocalMachine, "Software\\X", "CHL", v));
}

} // namespace
