#include "framework/CLUpdateForm.h"

#include "dialog_test_support.h"

namespace {

using dlgtest::Click;
using dlgtest::WhenReady;

TEST(UpdateAnswerTest, OnlySiteAddressesAndPatternsMayChange) {
    struct Case {
        std::string name, value;
        bool allowed;
    } cases[] = {
        {"Pattern.id", "id=\"([^\"]+)\"", true},
        {"SearchKeyURL", "http://other.test/s?q=", true},
        {"searchkeyurl", "http://other.test/s?q=", true},
        {"WatchPattern2", "x(.*)y", true},
        {"c_12_url", "https://other.test/c", true},
        {"c_3_name", "Rock", true},
        {"URL.Update", "https://other.test/update", true},
        {"Banner.Top.RemoteURL", "http://other.test/b.html", true},
        // Pages opened in a browser must be web addresses.
        {"URL.help", "file:///etc/passwd", false},
        {"URL.home", "/usr/bin/xterm", false},
        {"c_1_url", "javascript:alert(1)", false},
        {"Banner.Top.URL", "%exepath%/evil.html", false},
        // Paths, program names and start-up behaviour never change.
        {"Path.Skins", "/tmp/skins", false},
        {"Path.Languages", "../../x", false},
        {"Tpl.ResultFile", "/etc/passwd", false},
        {"App.Name", "Other", false},
        {"App.MagicWord", "", false},
        {"Update.BeginAuto", "1", false},
        {"Pattern.", "x", false},
        {"c_x_url", "http://a.test/", false},
        {"Pattern.id", std::string(MaxUpdateValueBytes + 1, 'a'), false},
        {"Pattern.id", "a\x01b", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UpdateSettingAllowed(c.name, c.value), c.allowed) << c.name << "=" << c.value;
}

TEST(UpdateAnswerTest, BrokenAnswersChangeNothing) {
    const std::string good =
        "magicword=Lantrove\r\nResult=1\r\ninfo=New!\r\npage=http://x.test/d\r\n"
        "__MODIFY__.Pattern.id=abc\r\nBanner.Top.URL=http://x.test/b\r\n";
    TUpdateAnswer a = ParseUpdateAnswer(good, "lantrove");
    ASSERT_TRUE(a.Accepted);
    EXPECT_EQ(a.Result, 1);
    EXPECT_EQ(a.Info, "New!");
    EXPECT_EQ(a.Page, "http://x.test/d");
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(a.Changes,
              (std::vector<P>{{"Pattern.id", "abc"}, {"Banner.Top.URL", "http://x.test/b"}}));

    struct Case {
        std::string text, magic;
    } broken[] = {
        {"magicword=other\r\n__MODIFY__.Pattern.id=abc\r\n", "lantrove"},
        {"__MODIFY__.Pattern.id=abc\r\n", "lantrove"}, // no magic word at all
        {good + "__MODIFY__.Path.Skins=/tmp\r\n", "lantrove"},
        {good + std::string(MaxUpdateAnswerBytes, 'x'), "lantrove"},
        {good + std::string("\0", 1), "lantrove"},
    };
    for (const Case& c : broken) {
        TUpdateAnswer b = ParseUpdateAnswer(c.text, c.magic);
        EXPECT_FALSE(b.Accepted) << c.text.substr(0, 80);
        EXPECT_TRUE(b.Changes.empty());
    }
    // Without a magic word of its own the program takes any answer.
    EXPECT_TRUE(ParseUpdateAnswer("Result=x\r\n", "").Accepted);
    EXPECT_EQ(ParseUpdateAnswer("Result=x\r\n", "").Result, 0);
}

// The page a newer version offers opens in the desktop's browser: only a web
// address is taken, never a local file or a program.
TEST(UpdateAnswerTest, ThePageOfANewVersionIsAWebAddress) {
    const std::pair<std::string, std::string> cases[] = {
        {"https://x.test/download", "https://x.test/download"},
        {"HTTP://x.test/d", "HTTP://x.test/d"},
        {"file:///etc/passwd", ""},
        {"/usr/bin/xterm", ""},
        {"%exepath%/lantrove", ""},
        {"javascript:alert(1)", ""},
    };
    for (const auto& [page, taken] : cases) {
        const TUpdateAnswer a = ParseUpdateAnswer(
            "magicword=lantrove\r\nResult=1\r\npage=" + page + "\r\n", "lantrove");
        EXPECT_TRUE(a.Accepted);
        EXPECT_EQ(a.Page, taken) << page;
    }
}

class UpdateCheckTest : public dlgtest::DialogTest {
protected:
    struct Seen {
        bool okCancel = false, okOnly = false, cancelVisible = false, boxInside = false;
        std::string info;
    };
    // Runs the user-started check; once the result shows, records it and
    // presses the button the result offers.
    Seen UserCheck(bool confirm) {
        Seen seen;
        WhenReady watcher(
            [this] {
                TfrmCLUpdateForm* f = engine->LastUpdateForm();
                return f && f->Visible() && f->btnOK2->Enabled();
            },
            [this, &seen, confirm] {
                TfrmCLUpdateForm* f = engine->LastUpdateForm();
                if (!f) return;
                seen.okCancel = f->pnOkCancel->Visible();
                seen.okOnly = f->pnOK->Visible();
                seen.cancelVisible = f->btnCancel->Visible();
                seen.boxInside = f->cbAutoCheckUpdate->Top() >= 0 &&
                                 f->cbAutoCheckUpdate->Top() + f->cbAutoCheckUpdate->Height() <=
                                     f->pnInfo->Height();
                seen.info = f->lbInfo->Lines()->Text();
                if (seen.okCancel) {
                    TControl* b = confirm ? f->btnOK : f->btnCancel;
                    Click(b);
                } else
                    Click(f->btnOK2);
            });
        engine->AppUpdate(true);
        return seen;
    }
};

TEST_F(UpdateCheckTest, UserStartedCheckShowsWhatTheSiteAnswers) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> switches;
        bool okCancel;
        std::string info;      // a part of the text shown
        std::string patternId; // "Pattern.id" afterwards
        bool lastDateWritten;
    } cases[] = {
        // A newer version: OK opens its page; the answer's patterns are stored.
        {{{"update-result", "1"},
          {"update-version", "1.2.0.0"},
          {"update-modify", "Pattern.id=fresh([0-9]+)"}},
         true,
         "Lantrove 1.2.0.0 is available",
         "fresh([0-9]+)",
         true},
        {{{"update-result", "0"}}, false, "is the latest version already", "", true},
        // A broken answer (another magic word) changes nothing.
        {{{"update-result", "1"},
          {"update-magic", "stranger"},
          {"update-modify", "Pattern.id=stranger"}},
         false,
         "connect to Lantrove Update Server",
         "",
         true},
        // So does an answer asking for anything besides the site's patterns.
        {{{"update-result", "1"},
          {"update-modify", "Pattern.id=half"},
          {"update-modify", "Path.Skins=/tmp/elsewhere"}},
         false,
         "connect to Lantrove Update Server",
         "",
         true},
        // The connection breaks off: a network error, and no answer date.
        {{{"drop", "/update"}}, false, "connect to Lantrove Update Server", "", false},
    };
    for (const Case& c : cases) {
        const std::string before = Settings()->GetSettingString("Pattern.id");
        SCOPED_TRACE(c.info);
        Switch("reset", "1");
        for (const auto& [name, value] : c.switches)
            Switch(name, value);
        Settings()->SetSettingFloat("Update.LastDate", 0);
        launched.clear();
        Seen seen = UserCheck(true);
        EXPECT_EQ(seen.okCancel, c.okCancel);
        EXPECT_EQ(seen.okOnly, !c.okCancel);
        EXPECT_EQ(seen.cancelVisible, c.okCancel);
        EXPECT_TRUE(seen.boxInside);
        EXPECT_NE(seen.info.find(c.info), std::string::npos) << seen.info;
        EXPECT_EQ(Settings()->GetSettingString("Pattern.id"),
                  c.patternId.empty() ? before : c.patternId);
        EXPECT_EQ(Settings()->GetSettingString("Path.Skins"), "skins");
        EXPECT_EQ(Settings()->GetSettingFloat("Update.LastDate") != 0, c.lastDateWritten);
        if (c.okCancel) {
            ASSERT_EQ(launched.size(), 1u);
            EXPECT_EQ(launched[0], site.Base() + "/download?ver=1.2.0.0");
        } else {
            EXPECT_TRUE(launched.empty());
        }
        EXPECT_EQ(engine->LastUpdateForm(), nullptr); // freed after a waited check
    }
    EXPECT_NE(SettingFile().find("Pattern.id=fresh([0-9]+)"), std::string::npos);
    EXPECT_EQ(Settings()->GetSettingInteger("Update.Times"), 2);
}

TEST_F(UpdateCheckTest, EscapeAbortsTheCheckAndTheBoxIsRemembered) {
    Switch("slow", "3000");
    WhenReady escape(
        [this] { return engine->LastUpdateForm() && engine->LastUpdateForm()->Visible(); },
        [this] {
            TfrmCLUpdateForm* f = engine->LastUpdateForm();
            EXPECT_TRUE(f->Updating());
            EXPECT_FALSE(f->btnOK2->Enabled());
            SetActiveWindow(f->Handle());
            dlgtest::Key(VK_ESCAPE);
        });
    engine->AppUpdate(true);
    EXPECT_EQ(Settings()->GetSettingFloat("Update.LastDate"), 0);

    // Ok stores the state of the check box, unless the box is switched off.
    Switch("reset", "1");
    Settings()->SetSettingBool("Update.AutoCheck", true);
    WhenReady untick(
        [this] { return engine->LastUpdateForm() && engine->LastUpdateForm()->btnOK2->Enabled(); },
        [this] {
            TfrmCLUpdateForm* f = engine->LastUpdateForm();
            EXPECT_TRUE(f->cbAutoCheckUpdate->Checked());
            Click(f->cbAutoCheckUpdate);
            EXPECT_FALSE(f->cbAutoCheckUpdate->Checked());
            Click(f->btnOK2);
        });
    engine->AppUpdate(true);
    EXPECT_FALSE(Settings()->GetSettingBool("Update.AutoCheck"));
}

class AutoUpdateTest : public dlgtest::DialogTest {
protected:
    std::string ExtraSettings() override {
        return "Update.BeginAuto=1\nUpdate.AutoCheck=1\nUpdate.AutoClose=1\n"
               "Update.DelaySeconds=2\nRunTimes=4\n";
    }
    // What the engine does once the loop runs: the automatic check.
    TfrmCLUpdateForm* StartAuto() {
        engine->InitPost();
        return engine->LastUpdateForm();
    }
    bool Finished(TfrmCLUpdateForm* f) {
        return dltest::PumpUntil([&] { return !f->Updating(); }, 20000);
    }
};

TEST_F(AutoUpdateTest, NewVersionShowsItselfAndClosesAfterTheDelay) {
    Switch("update-result", "1");
    TfrmCLUpdateForm* f = StartAuto();
    ASSERT_NE(f, nullptr);
    EXPECT_FALSE(f->Visible()); // no window while asking
    ASSERT_TRUE(Finished(f));
    // The countdown runs on a clock the test moves.
    os::ManualClock clock(os::SystemClock().MonotonicMs(), os::SystemClock().WallTimeUs());
    os::SetClock(&clock);
    Application->ProcessMessages();
    ASSERT_TRUE(f->Visible());
    EXPECT_TRUE(f->pnOkCancel->Visible());
    EXPECT_EQ(f->DelaySeconds(), 5); // at least five seconds
    for (int i = 0; i < 24 && f->Visible(); ++i) {
        clock.Advance(200);
        Application->ProcessMessages();
    }
    EXPECT_TRUE(f->Visible());
    EXPECT_TRUE(f->lblTimer->Visible());
    for (int i = 0; i < 10 && f->Visible(); ++i) {
        clock.Advance(200);
        Application->ProcessMessages();
    }
    EXPECT_FALSE(f->Visible());
}

TEST_F(AutoUpdateTest, NothingToShowOrFailuresStayQuiet) {
    struct Case {
        std::string name, value;
    } cases[] = {{"update-result", "0"}, {"update-magic", "stranger"}, {"drop", "/update"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Switch("reset", "1");
        Switch(c.name, c.value);
        Settings()->SetSettingFloat("Update.LastDate", 0);
        auto* f = new TfrmCLUpdateForm(form);
        f->StartUpdate(false, false, true, false, true);
        ASSERT_TRUE(Finished(f));
        Application->ProcessMessages();
        EXPECT_FALSE(f->Visible());
        delete f;
    }
}

TEST_F(AutoUpdateTest, DaysBetweenChecksAndFirstRun) {
    // Asked a day ago, with three days to wait: no request.
    Settings()->SetSettingInteger("Update.Days", 3);
    Settings()->SetSettingFloat("Update.LastDate", Now() - 1);
    EXPECT_EQ(StartAuto(), nullptr);

    // The first run ever stores the answer's settings but shows nothing.
    Settings()->SetSettingInteger("Update.Days", 0);
    Settings()->SetSettingInteger("RunTimes", 0);
    FreeSettingsInstance();
    Switch("update-result", "1");
    Switch("update-modify", "Pattern.title=first-run");
    engine->AppUpdateAuto();
    TfrmCLUpdateForm* f = engine->LastUpdateForm();
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(Finished(f));
    Application->ProcessMessages();
    EXPECT_FALSE(f->Visible());
    EXPECT_EQ(Settings()->GetSettingString("Pattern.title"), "first-run");
}

TEST_F(AutoUpdateTest, WaitingForTheFirstAnswer) {
    Settings()->SetSettingInteger("Update.Times", 0);
    EXPECT_TRUE(engine->AppWaitFirstUpdate());
    EXPECT_EQ(Settings()->GetSettingInteger("Update.Times"), 1);
    // A broken answer is reported in the compact window, which waits for Ok.
    Switch("update-magic", "stranger");
    Settings()->SetSettingInteger("Update.Times", 0);
    std::string shown;
    WhenReady ok(
        [this] { return engine->LastUpdateForm() && engine->LastUpdateForm()->btnOK2->Enabled(); },
        [this, &shown] {
            TfrmCLUpdateForm* f = engine->LastUpdateForm();
            shown = f->lbInfo->Lines()->Text();
            Click(f->btnOK2);
        });
    EXPECT_FALSE(engine->AppWaitFirstUpdate());
    EXPECT_NE(shown.find("connect to Lantrove Update Server"), std::string::npos) << shown;
}

} // namespace
