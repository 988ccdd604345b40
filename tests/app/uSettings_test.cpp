#include "app/uSettings.h"

#include "app_test_support.h"
#include "download/MultiDownloader.h"
#include "framework/dialog_test_support.h"
#include "skin/forms/SkinnedForm.h"

namespace {

using dlgtest::Click;
using dlgtest::Key;
using dlgtest::WhenReady;

class SettingsDialogTest : public apptest::AppTest {
protected:
    // Shows the dialog modally and lets Act work it through input.
    int Run(std::function<void(TfrmSettings&)> Act) {
        TfrmSettings dialog(form, queue);
        WhenReady watcher([&dialog] { return dialog.Visible(); }, [&] { Act(dialog); });
        return dialog.ShowModal();
    }
    void TypeTasks(TfrmSettings& d, const std::string& text) {
        Click(d.edtMaxTasks);
        Key(VK_END);
        Key(VK_BACK);
        Key(VK_BACK);
        for (char c : text)
            Key(c, char32_t(c));
    }
    std::string Entry() { return AutostartEntryFileName(); }
};

TEST_F(SettingsDialogTest, OptionsThroughInputOkAndCancel) {
    TCLSettings* s = SettingsInstance();
    EXPECT_EQ(Entry(), dir.file("user/autostart/Lantrove.desktop"));
    // Tick everything, untick restarting, four tasks, OK.
    EXPECT_EQ(Run([&](TfrmSettings& d) {
                  EXPECT_FALSE(d.cbAutoRun->Checked());
                  EXPECT_TRUE(d.cbRestart->Checked()); // nothing remembered yet
                  EXPECT_EQ(d.MaxTasksValue(), 2);     // the queue's limit
                  for (TControl* c : {(TControl*)d.cbAutoRun, (TControl*)d.cbAutoUpdate,
                                      (TControl*)d.cbShowAddTask, (TControl*)d.cbRestart})
                      Click(c);
                  TypeTasks(d, "4");
                  Click(d.btnOk);
              }),
              mrOk);
    EXPECT_TRUE(s->GetSettingBool("Settings.AutoRun"));
    EXPECT_TRUE(s->GetSettingBool("Update.AutoCheck"));
    EXPECT_TRUE(s->GetSettingBool("Settings.ShowListWhenAddTask"));
    EXPECT_EQ(s->GetMessageShowAgainResult(24), 2);
    EXPECT_EQ(queue->MaxTasks(), 4);
    EXPECT_EQ(s->GetSettingInteger("Settings.MaxTasks"), 4);
    ASSERT_TRUE(dir.exists("user/autostart/Lantrove.desktop"));
    const std::string entry = dir.read("user/autostart/Lantrove.desktop");
    EXPECT_NE(entry.find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(entry.find("Type=Application\n"), std::string::npos);
    EXPECT_NE(entry.find("Exec=\"" + dir.file("prog/lantrove") + "\"\n"), std::string::npos)
        << entry;

    // Cancel keeps everything, except remembered answers cleared on the way.
    s->SetMessageShowAgainFlag(7, false);
    EXPECT_EQ(Run([&](TfrmSettings& d) {
                  EXPECT_TRUE(d.cbAutoRun->Checked());
                  EXPECT_FALSE(d.cbRestart->Checked());
                  EXPECT_EQ(d.MaxTasksValue(), 4);
                  Click(d.cbAutoRun);
                  TypeTasks(d, "9");
                  Click(d.btnClearShowAgainFlag);
                  Key(VK_ESCAPE);
              }),
              mrCancel);
    EXPECT_TRUE(dir.exists("user/autostart/Lantrove.desktop"));
    EXPECT_EQ(queue->MaxTasks(), 4);
    EXPECT_TRUE(s->GetMessageShowAgainFlag(7));
    EXPECT_EQ(s->GetMessageShowAgainResult(24), 1);

    // Unticking start-with-session removes the entry; the limit stays in 1..10.
    Run([&](TfrmSettings& d) {
        Click(d.cbAutoRun);
        TypeTasks(d, "40");
        Click(d.btnOk);
    });
    EXPECT_FALSE(dir.exists("user/autostart/Lantrove.desktop"));
    EXPECT_FALSE(s->GetSettingBool("Settings.AutoRun"));
    EXPECT_EQ(queue->MaxTasks(), 10);
}

TEST_F(SettingsDialogTest, FrameAndControlsTakeTheMainWindowsSkinData) {
    TspSkinData skin(nullptr);
    engine->SetSkinData(&skin);
    {
        TfrmSettings d(form, queue);
        for (TspSkinData* bound :
             {d.spSkinnedForm->SkinData(), d.pcSettings->SkinData(), d.cbRestart->SkinData(),
              d.edtMaxTasks->SkinData(), d.lblMaxTasks->SkinData(), d.btnOk->SkinData()})
            EXPECT_EQ(bound, &skin);
    }
    engine->SetSkinData(nullptr);
}

TEST_F(SettingsDialogTest, AutostartEntryQuotesTheProgramAndKeepsToItsFolder) {
    os::SetProgramFileNameOverride(dir.file("my prog/lan\"trove$"));
    SettingsInstance()->SetSettingstring("APP.Name", "a/b");
    TfrmSettings::SetAutoRun(true);
    ASSERT_TRUE(dir.exists("user/autostart/a_b.desktop"));
    EXPECT_NE(dir.read("user/autostart/a_b.desktop")
                  .find("Exec=\"" + dir.file("my prog/lan\\\\\"trove\\\\$") + "\"\n"),
              std::string::npos)
        << dir.read("user/autostart/a_b.desktop");
    TfrmSettings::SetAutoRun(false);
    EXPECT_FALSE(dir.exists("user/autostart/a_b.desktop"));
    TfrmSettings::SetAutoRun(false); // nothing to remove
}

TEST_F(SettingsDialogTest, LoweringTheLimitPutsTheExcessTasksBackToReady) {
    dltest::GatedServer gate;
    queue->SetMaxTasks(5);
    const std::vector<std::string> names = {"a", "b", "c", "d", "e"};
    for (const std::string& n : names)
        ASSERT_TRUE(queue->Append(gate.Url(n), dir.file("out/" + n + ".mtd"), false, KDirect, ""));
    queue->Resume();
    TDownloadList* list = queue->DownloadList();
    auto states = [&] {
        std::string out;
        for (int i = 0; i < list->ItemCount(); ++i)
            out += std::to_string(int(list->Items(i)->DownloadState()));
        return out;
    };
    ASSERT_TRUE(Wait([&] {
        for (const std::string& n : names)
            if (gate.Requests(n) == 0) return false;
        return true;
    })) << states();
    Run([&](TfrmSettings& d) {
        TypeTasks(d, "2");
        Click(d.btnOk);
    });
    EXPECT_EQ(list->ItemCount(), 5);
    for (int i = 2; i < 5; ++i)
        EXPECT_EQ(list->Items(i)->DownloadState(), KReady) << states();
    // None is lost: each finishes once the places free up.
    for (const std::string& n : names)
        for (int k = 0; k < 3; ++k)
            gate.Open(n); // earlier, cancelled requests may hold places at the gate
    ASSERT_TRUE(Wait([&] { return queue->UnfinishedTasksCount() == 0; })) << states();
    for (const std::string& n : names)
        EXPECT_EQ(dir.read("out/" + n + ".mtd"), "body-" + n);
    gate.Stop();
}

} // namespace
