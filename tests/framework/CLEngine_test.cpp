#include "framework/CLEngine.h"

#include "framework/CLApp.h"
#include "framework/CLEnglishDefaults.h"
#include "framework/CLMultiLang.h"
#include "framework/CLSettings.h"
#include "framework/OxDebug.h"
#include "platform/display/tray.h"
#include "platform/os/clock.h"
#include "platform/os/codepage.h"
#include "platform/os/folders.h"
#include "platform/os/ipc.h"
#include "platform/os/process.h"
#include "platform/os/registry.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/spTrayIcon.h"
#include "support/httpserver.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

class TfrmEngineHost : public TForm {
public:
    explicit TfrmEngineHost(TComponent* AOwner) : TForm(AOwner) {}
};

// A program folder with "const.dat", a user and an all-users folder, a
// registry of our own and a main window carrying an engine.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        os::SetIpcNamespace("lantrove-test-eng-" + std::to_string(os::CurrentProcessId()));
        DebuggerInstance()->SetActive(false);
        DebuggerInstance()->SetAutoStart(false);
        os::SetProgramFileNameOverride(dir.file("prog/lantrove"));
        setenv("XDG_CONFIG_HOME", dir.file("user").c_str(), 1);
        setenv("LANTROVE_COMMON_APPDATA", dir.file("common").c_str(), 1);
        dir.write("prog/const.dat", "[setting]\n"
                                    "App.Name=Lantrove\nApp.ID=77\nApp.Ver=2.6.1.8 beta\n"
                                    "App.MagicWord=lantrove\nApp.RegPath=Lantrove\n"
                                    "App.SubVer=3\n"
                                    "URL.Home=http://example.test/home\n"
                                    "URL.Update=http://example.test/up?\n"
                                    "URL.Help=HTTPS://example.test/h?x=1\n"
                                    "URL.Local=%EXEPATH%/res/page.html\n"
                                    "URL.Blank=   \n"
                                    "URL.Redirect=http://example.test/r\n");
        SetAppParams({});
        Application->Initialize();
        form = new TfrmEngineHost(nullptr);
        engine = new TCLEngine(form);
    }
    void TearDown() override {
        SetMessageDialogHook(nullptr);
        delete form;
        Application->ProcessMessages();
        FreeSettingsInstance();
        os::SetLaunchHook(nullptr);
        os::SetClock(nullptr);
        os::SetProgramFileNameOverride("");
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("LANTROVE_COMMON_APPDATA");
        os::NamedEvent::Remove(OxFlushEventName);
        os::SetIpcNamespace("");
    }
    TCLSettings* Settings() { return SettingsInstance(); }
    void WithLanguageData() {
        data = new TCLMultiLangData(form);
        LoadEnglishDefaults(data);
        engine->SetLanguageData(data);
    }

    TempDir dir;
    TfrmEngineHost* form = nullptr;
    TCLEngine* engine = nullptr;
    TCLMultiLangData* data = nullptr;
    // Installed by the tests that drive time; removed in TearDown.
    std::unique_ptr<os::ManualClock> clock;
};

TEST_F(EngineTest, ThereIsOneEngineInstanceAndItsOwnerMustBeAForm) {
    EXPECT_EQ(EngineInstance(), engine);
    auto* second = new TCLEngine(form);
    EXPECT_EQ(EngineInstance(), engine);
    // The first engine's defaults reach the settings store.
    EXPECT_EQ(Settings()->GetSettingString("Path.Skins"), "skins");
    delete engine;
    engine = nullptr;
    EXPECT_EQ(EngineInstance(), nullptr);
    EXPECT_EQ(Settings()->GetSettingString("Path.Skins"), "");
    delete second;
    TComponent plain(nullptr);
    EXPECT_THROW(TCLEngine bad(&plain), EInvalidCast);
}

TEST_F(EngineTest, GetURLResolvesPagesAndAddsTheParameters) {
    std::string folder = os::ProgramFolder();
    folder.pop_back();
    struct Case {
        const char* page;
        bool params;
        std::string want; // "*" stands for the client parameters
    };
    const Case cases[] = {
        {"Home", false, "http://example.test/home"},
        {"Home", true, "http://example.test/home?ACTION=Home&*"},
        {"Update", true, "http://example.test/up?ACTION=Update&*"},
        {"Help", true, "HTTPS://example.test/h?x=1&ACTION=Help&*"},
        {"Local", true, folder + "/res/page.html"},
        {"Blank", false, "http://example.test/r"},
        {"Missing", true, "http://example.test/r?ACTION=Missing&*"},
    };
    for (const Case& c : cases) {
        std::string got = engine->GetURL(c.page, c.params);
        std::string want = c.want;
        size_t star = want.find('*');
        if (star != std::string::npos) {
            // The parameters begin with the five digits of the time token.
            ASSERT_GT(got.size(), star + 5) << c.page;
            EXPECT_NE(got.find("&PID=lantrove&LANG="), std::string::npos) << got;
            got.resize(star);
            want.resize(star);
        }
        EXPECT_EQ(got, want) << c.page;
    }
}

TEST_F(EngineTest, ClientParametersComeInOrderAndEncoded) {
    // 2026-12-10 13:45:07.089 UTC, local time the same.
    clock = std::make_unique<os::ManualClock>(1000, int64_t(1797083107) * 1000000 + 89000, 0);
    os::SetClock(clock.get());
    ASSERT_TRUE(SetAnsiCodePage("WINDOWS-1252"));
    setenv("LANG", "de_DE.UTF-8", 1);
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    ASSERT_TRUE(os::RegWriteValue(os::RegRoot::LocalMachine, "Software\\Lantrove", "CHL",
                                  "\"c:\\dl\\ch01\""));
    Settings()->SetSettingstring("Language", "Français");
    std::string want =
        "07089&PID=lantrove&LANG=Fran%E7ais&DAY=" + IntToStr(Settings()->GetRunDays()) +
        "&RUNTIME=" + IntToStr(Settings()->RunTimes()) +
        "&VER=02060108&SVER=3&WVER=0_0_&WLANG=1031&CHL=63683031";
    std::string got = engine->GetURLParam();
    SetAnsiCodePage("");
    EXPECT_EQ(got, want);

    Settings()->SetSettingstring("App.PID", "p id/1");
    Settings()->SetSettingstring("App.Ver", "2.6");
    os::RegDeleteValue(os::RegRoot::LocalMachine, "Software\\Lantrove", "CHL");
    got = engine->GetURLParam();
    EXPECT_NE(got.find("&PID=p+id%2F1&"), std::string::npos) << got;
    EXPECT_NE(got.find("&VER=00000000&"), std::string::npos) << got;
    EXPECT_NE(got.find("&CHL=756E6B6E6F77"), std::string::npos) << got; // "unknow"
}

TEST_F(EngineTest, PagesOpenInTheBrowserAndZintLinksAreAnsweredHere) {
    std::vector<std::string> opened;
    os::SetLaunchHook([&](const std::vector<std::string>& argv, const std::string&) {
        opened.push_back(argv.back());
        return true;
    });
    engine->ShowPage("Home");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].rfind("http://example.test/home?ACTION=Home&", 0), 0u) << opened[0];

    bool cancel = false;
    engine->WebBeforeNavigate2(nullptr, nullptr, "ZINT:open?PAGE=Home%20x&y=1", 0, "", "", "",
                               cancel);
    EXPECT_TRUE(cancel);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1].rfind("http://example.test/r?ACTION=Home x&", 0), 0u) << opened[1];
    cancel = false;
    engine->WebBeforeNavigate2(nullptr, nullptr, "zint:nothing", 0, "", "", "", cancel);
    EXPECT_TRUE(cancel);
    cancel = false;
    engine->WebBeforeNavigate2(nullptr, nullptr, "http://example.test/zint:", 0, "", "", "",
                               cancel);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(opened.size(), 2u);
}

TEST_F(EngineTest, SkinsAreListedOnceAndSelectedByTheirFiles) {
    for (const char* f :
         {"Blue.skn", "Blue.nsf.skn", "Dark.Red.skn", "Green.nsf.skn", "default.skn", "notes.txt"})
        dir.write(std::string("prog/skins/") + f, "x");
    TStrings* list = engine->SkinList();
    EXPECT_EQ(list->Text(), "Default\r\nBlue\r\nDark.Red\r\nGreen\r\n");

    int changes = 0;
    engine->OnSkinChanged = [&](TObject*) { ++changes; };
    auto* menu = new TMenuItem(form);
    engine->SetSkinMenuItem(menu);
    Settings()->SetSettingstring("Skin", "Green");
    engine->Loaded();
    EXPECT_EQ(changes, 0); // not while loading
    EXPECT_EQ(engine->Skin(), "Green");
    EXPECT_FALSE(engine->SkinnableForm());
    ASSERT_EQ(menu->Count(), 4);
    EXPECT_TRUE(menu->Items(3)->Checked);

    menu->Items(1)->Click(); // Blue
    EXPECT_EQ(engine->Skin(), "Blue");
    EXPECT_EQ(ExtractFileName(engine->SkinFileName()), "Blue.skn");
    EXPECT_TRUE(engine->SkinnableForm());
    EXPECT_EQ(Settings()->GetSettingString("Skin"), "Blue");
    EXPECT_TRUE(menu->Items(1)->Checked);
    EXPECT_FALSE(menu->Items(3)->Checked);
    EXPECT_EQ(changes, 1);
    engine->SetSkin("Blue");
    EXPECT_EQ(changes, 1);

    for (int i = 0; i < menu->Count(); ++i) {
        menu->Items(i)->Click();
        EXPECT_EQ(engine->Skin(), menu->Items(i)->Caption);
        EXPECT_TRUE(menu->Items(i)->Checked);
    }
    engine->SetSkin("Missing");
    EXPECT_EQ(engine->Skin(), "Default");
    EXPECT_EQ(Settings()->GetSettingString("Skin"), "Default");
    EXPECT_TRUE(menu->Items(0)->Checked);
}

TEST_F(EngineTest, AOneEntryMenuIsHidden) {
    auto* menu = new TMenuItem(form);
    engine->SetSkinMenuItem(menu);
    engine->Loaded();
    EXPECT_EQ(engine->Skin(), "Default");
    EXPECT_FALSE(menu->Visible);
    EXPECT_EQ(menu->Count(), 0);
}

TEST_F(EngineTest, LanguagesLoadFromFilesAndFallBackToTheBuiltInTexts) {
    dir.write("prog/lang/German.lan",
              "[Info]\nLanguage=Deutsch\nTranslator=Jo\n[AppRes]\nStatus.Ready=Bereit\n"
              "AppName=Lantrove DE\n");
    dir.write("prog/lang/English.lan", "[AppRes]\nStatus.Ready=Ready EN\n");
    dir.write("prog/lang/Abc.lan", "");
    WithLanguageData();
    auto* menu = new TMenuItem(form);
    engine->SetLanguageMenuItem(menu);
    Settings()->SetSettingstring("Language", "German");
    Settings()->SetSettingstring("App.Ver", "1.0");
    int changes = 0, titles = 0;
    engine->OnLanguageChanged = [&](TObject*) { ++changes; };
    engine->OnTitleChange = [&](TObject*) { ++titles; };
    engine->Loaded();
    EXPECT_EQ(engine->LanguageList()->Text(), "English\r\nAbc\r\nGerman\r\n");
    EXPECT_EQ(engine->Language(), "German");
    EXPECT_EQ(engine->LanguageTranslator(), "Jo");
    EXPECT_EQ(engine->GetAppString("Status.Ready"), "Bereit");
    EXPECT_EQ(engine->GetAppString("Status.Failed"), "Failed");
    EXPECT_EQ(engine->AppTitle(), "Lantrove DE  1.0");
    EXPECT_EQ(form->Caption(), "Lantrove DE  1.0");
    EXPECT_EQ(changes, 0);
    ASSERT_EQ(menu->Count(), 3);
    EXPECT_TRUE(menu->Items(2)->Checked);

    // "English.lan" exists here, so it is loaded like any other language.
    menu->Items(0)->Click();
    EXPECT_EQ(engine->Language(), "English");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(engine->GetAppString("Status.Ready"), "Ready EN");

    engine->SetLanguage("Default"); // no such file: the built-in texts
    EXPECT_EQ(engine->Language(), "English");
    EXPECT_EQ(engine->GetAppString("Status.Ready"), "Ready");
    EXPECT_EQ(Settings()->GetSettingString("Language"), "English");
    EXPECT_EQ(engine->AppTitle(), "Lantrove  1.0");

    engine->SetTitleIncludeVer(false);
    EXPECT_EQ(engine->AppTitle(), "Lantrove");
    Settings()->SetSettingBool("App.NoAutoTitle", true);
    engine->SetTitleIncludeVer(true);
    EXPECT_EQ(engine->AppTitle(), "Lantrove  1.0");
    EXPECT_EQ(form->Caption(), "Lantrove");
}

TEST_F(EngineTest, TextsByKey) {
    EXPECT_EQ(engine->GetAppString("Status.Ready"), ""); // no language data
    EXPECT_EQ(engine->AppName(), "Lantrove");            // from the settings then
    WithLanguageData();
    EXPECT_EQ(engine->GetLangString("Status.Ready", false), "Ready");
    EXPECT_EQ(engine->GetLangString("Nope", false), "[AppRes]Nope");
    EXPECT_EQ(engine->GetLangString("Status.Ready", true), "[LibRes]Status.Ready");
    EXPECT_EQ(engine->GetLibStringEx("TfrmCLAboutForm.CopyRightLine3", {"Deutsch", "Jo"}),
              "Deutsch is tranlated by Jo");
    // A placeholder without a parameter stays; a parameter's own text is not searched.
    EXPECT_EQ(engine->GetLibStringEx("TfrmCLAboutForm.CopyRightLine3", {"{2}"}),
              "{2} is tranlated by {2}");
    EXPECT_EQ(engine->GetLibStringEx("TfrmCLAboutForm.CopyRightLine3", {"{2}", "X"}),
              "{2} is tranlated by X");
}

TEST_F(EngineTest, RememberedAnswersStopTheBoxFromShowing) {
    WithLanguageData();
    int shown = 0;
    bool tick = true;
    int answer = mrOk;
    std::string text, caption;
    bool hadBox = false;
    SetMessageDialogHook([&](TspMessageForm& f) {
        ++shown;
        text = f.Message->Caption();
        caption = f.Caption();
        hadBox = f.DisplayCheckBox != nullptr;
        if (f.DisplayCheckBox && tick) f.DisplayCheckBox->SetChecked(true);
        f.ModalResult = answer;
    });
    // No number: no box, nothing remembered.
    EXPECT_EQ(engine->ShowMessageEx("MsgBox.TaskExists", {}, 0, mtInformation, {mbOK}, 0, false),
              mrOk);
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(hadBox);
    EXPECT_EQ(text, "This task is already in the Download List.");
    EXPECT_EQ(caption, "Lantrove");

    // Asked, not ticked: asked again.
    tick = false;
    EXPECT_EQ(engine->ShowMessageEx("MsgBox.RemoveAll", {}, 19, mtConfirmation, {mbOK, mbCancel}, 0,
                                    false),
              mrOk);
    EXPECT_TRUE(hadBox);
    EXPECT_EQ(shown, 2);
    tick = true;
    EXPECT_EQ(engine->ShowMessageEx("MsgBox.RemoveAll", {}, 19, mtConfirmation, {mbOK, mbCancel}, 0,
                                    false),
              mrOk);
    EXPECT_EQ(shown, 3);
    EXPECT_EQ(engine->ShowMessageEx("MsgBox.RemoveAll", {}, 19, mtConfirmation, {mbOK, mbCancel}, 0,
                                    false),
              mrOk);
    EXPECT_EQ(engine->ShowMessageEx("MsgBox.RemoveAll", {}, 19, mtConfirmation, {mbOK, mbCancel}, 7,
                                    false),
              7);
    EXPECT_EQ(shown, 3);

    answer = mrCancel;
    EXPECT_EQ(engine->ShowMessageEx("Missing.Key", {}, 20, mtWarning, {mbOK, mbCancel}, 0, true),
              mrCancel);
    EXPECT_EQ(text, "[LibRes]Missing.Key");
    // Written at once: a store read afresh from disk has both answers.
    SetSettingsEngineLists(nullptr, nullptr);
    FreeSettingsInstance();
    EXPECT_FALSE(Settings()->GetMessageShowAgainFlag(20));
    EXPECT_EQ(Settings()->GetMessageShowAgainResult(20), mrCancel);
    EXPECT_EQ(engine->ShowMessageEx("Missing.Key", {}, 20, mtWarning, {mbOK, mbCancel}, 0, true),
              mrCancel);
    EXPECT_EQ(shown, 4);
    EXPECT_TRUE(Settings()->GetMessageShowAgainFlag(21));

    engine->ShowErrorMessage("TfrmCLAboutForm.CopyRightLine2", "9.9", true);
    EXPECT_EQ(text, "Version : 9.9");
    EXPECT_FALSE(hadBox);
}

TEST_F(EngineTest, TheWindowProcedureAnswersOtherInstances) {
    HWND h = form->Handle();
    std::vector<std::string> files;
    engine->OnCmdFile = [&](const std::string& f) { files.push_back(f); };
    SetAppParams({"/music/first.mp3"});
    engine->Loaded();
    EXPECT_EQ(SendMessage(h, RegisterWindowMessage(kMsgGetAppID), 0, 0), 77);
    EXPECT_EQ(SendMessage(h, RegisterWindowMessage(kMsgIfBusy), 0, 0), 1);
    Application->ProcessMessages(); // "CL InitPost", then the command-line file
    EXPECT_EQ(SendMessage(h, RegisterWindowMessage(kMsgIfBusy), 0, 0), 0);
    EXPECT_EQ(files, (std::vector<std::string>{"/music/first.mp3"}));

    std::u16string text = u"Ünïcode.mp3";
    COPYDATASTRUCT cds;
    cds.dwData = 5;
    cds.cbData = DWORD(text.size() * 2);
    cds.lpData = text.data();
    EXPECT_EQ(SendMessage(h, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 0);
    Application->ProcessMessages();
    EXPECT_EQ(files.back(), "Ünïcode.mp3");
    EXPECT_EQ(SendMessage(h, RegisterWindowMessage(kMsgBringToFront), 0, 0), 0);

    // "CL CloseApp" closes through the form's normal close path.
    bool asked = false;
    bool closed = false;
    form->OnCloseQuery = [&](TObject*, bool&) { asked = true; };
    form->OnClose = [&](TObject*, TCloseAction&) { closed = true; };
    EXPECT_EQ(SendMessage(h, RegisterWindowMessage(kMsgCloseApp), 0, 0), 0);
    EXPECT_FALSE(closed); // the sender is answered before the close runs
    Application->ProcessMessages();
    EXPECT_TRUE(asked);
    EXPECT_TRUE(closed);

    delete engine; // the form's own procedure is back
    engine = nullptr;
    EXPECT_EQ(SendMessage(h, RegisterWindowMessage(kMsgGetAppID), 0, 0), 0);
}

TEST_F(EngineTest, BringToFrontRestoresAWindowHiddenInTheTray) {
    display::InstallTray(std::make_unique<display::TrayStandIn>());
    auto* sf = new TspSkinnedForm(form);
    auto* tray = new TspTrayIcon(form);
    engine->SetSkinForm(sf);
    sf->SetTrayIcon(tray);
    Application->SetMainForm(form);
    form->Show();
    sf->MinimizeToTray();
    EXPECT_FALSE(form->Visible());
    EXPECT_EQ(SendMessage(form->Handle(), RegisterWindowMessage(kMsgBringToFront), 0, 0), 1);
    EXPECT_TRUE(form->Visible());
    EXPECT_FALSE(display::CurrentTrayStandIn()->Find(tray->CallbackWindow(), 1));
    Application->SetMainForm(nullptr);
    engine->SetSkinForm(nullptr);
    delete tray;
    delete sf;
    display::InstallTray(nullptr);
}

TEST_F(EngineTest, SessionEndsOnlyAfterTheSessionEndQuery) {
    // A tick count that starts low must not look like a recent query.
    clock = std::make_unique<os::ManualClock>(10);
    os::SetClock(clock.get());
    EXPECT_FALSE(engine->SessionEnding());
    SendMessage(form->Handle(), WM_QUERYENDSESSION, 0, 0);
    EXPECT_TRUE(engine->SessionEnding());
    clock->Advance(299999);
    EXPECT_TRUE(engine->SessionEnding());
    clock->Advance(1);
    EXPECT_FALSE(engine->SessionEnding());
}

TEST_F(EngineTest, CacheDownloadsFetchEachAddressOnce) {
    httptest::TestHttpServer server;
    std::atomic<int> hits{0};
    server.Server().Get("/banner", [&](const httplib::Request&, httplib::Response& res) {
        ++hits;
        res.set_content("banner", "text/plain");
    });
    server.Start();
    std::vector<std::string> done;
    auto onDone = [&](TObject*, const std::string& file, int64_t) { done.push_back(file); };
    std::string file = dir.file("cache/deep/banner.html");
    engine->DownloadtoCache(server.Url("/banner"), file, onDone);
    engine->DownloadtoCache(server.Url("/banner"), dir.file("other.html"), onDone);
    for (int i = 0; i < 500 && done.empty(); ++i) {
        Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0], file);
    EXPECT_EQ(dir.read("cache/deep/banner.html"), "banner");
    EXPECT_EQ(hits.load(), 1);
    EXPECT_FALSE(dir.exists("other.html"));
}

} // namespace
