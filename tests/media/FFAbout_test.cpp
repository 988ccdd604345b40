#include "media/FFAbout.h"

#include "classlib/forms.h"
#include "media/FFEncode.h"
#include "platform/os/process.h"
#include "platform/os/registry.h"
#include "platform/os/shell.h"
#include "platform/win/input.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class MediaAboutTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", dir.file("user").c_str(), 1);
        os::SetLaunchHook([this](const std::vector<std::string>& argv, const std::string&) {
            launched.push_back(argv);
            return true;
        });
    }
    void TearDown() override {
        SetAboutDialogHook(nullptr);
        os::SetLaunchHook(nullptr);
        unsetenv("XDG_CONFIG_HOME");
    }
    TempDir dir;
    std::vector<std::vector<std::string>> launched;
};

TEST_F(MediaAboutTest, EncoderNamesItselfAndTheLinkOpens) {
    TFFEncoder encoder(nullptr);
    std::string caption, title, link;
    SetAboutDialogHook([&](TfrmAbout& form) {
        caption = form.Caption();
        EXPECT_EQ(form.ClientWidth(), 291);
        EXPECT_EQ(form.ClientHeight(), 160);
        title = form.Label1->Caption();
        link = form.LinkAddress();
        form.Label4Click();
        PostThreadCall(GetCurrentThreadId(), [&form] {
            DeliverKey(true, VK_ESCAPE, 0);
            DeliverKey(false, VK_ESCAPE, 0);
        });
    });
    encoder.ShowAbout();
    EXPECT_EQ(caption, "About FFEncoder");
    EXPECT_EQ(title, "FFEncoder - Version 3.9");
    EXPECT_TRUE(link.ends_with("/media/?from=vcl_about_ffencoder")) << link;
    // Without a registered HTML program the shell opens the address.
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].back(), link);
}

} // namespace
