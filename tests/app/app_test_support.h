// A program folder (const.dat pointing at the stand-in site, the res/ files),
// data folders of its own, an engine with the English texts, message boxes
// answered by the test, and the main window's side recorded.
#pragma once

#include "SiteServer.h"
#include "app/uCenterView.h"
#include "app/uCommonFunc.h"
#include "app/uMDDef.h"
#include "classlib/forms.h"
#include "download/MultiDownloader.h"
#include "download/download_test_support.h"
#include "framework/CLApp.h"
#include "framework/CLEngine.h"
#include "framework/CLEnglishDefaults.h"
#include "framework/CLMultiLang.h"
#include "framework/CLSettings.h"
#include "framework/OxDebug.h"
#include "platform/os/folders.h"
#include "platform/os/ipc.h"
#include "platform/os/process.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/forms/spMessages.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace apptest {

class TfrmHost : public TForm {
public:
    explicit TfrmHost(TComponent* AOwner) : TForm(AOwner) {}
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        os::SetIpcNamespace("lantrove-test-app-" + std::to_string(os::CurrentProcessId()));
        DebuggerInstance()->SetActive(false);
        DebuggerInstance()->SetAutoStart(false);
        os::SetProgramFileNameOverride(dir.file("prog/lantrove"));
        setenv("XDG_CONFIG_HOME", dir.file("user").c_str(), 1);
        setenv("LANTROVE_COMMON_APPDATA", dir.file("common").c_str(), 1);
        ASSERT_TRUE(site.Start());
        std::string constDat = "[setting]\nApp.Name=Lantrove\nApp.MagicWord=lantrove\n";
        for (const auto& [key, value] : site::SiteSettings(site.Base()))
            constDat += key + "=" + (value.front() == ' ' ? "\"" + value + "\"" : value) + "\n";
        dir.write("prog/const.dat", constDat + ExtraSettings());
        namespace fs = std::filesystem;
        fs::create_directories(dir.file("prog/res"));
        for (const auto& e : fs::directory_iterator(std::string(LANTROVE_SOURCE_DIR) + "/res"))
            fs::copy(e.path(), dir.file("prog/res/" + e.path().filename().string()));
        SetAppParams({});
        Application->Initialize();
        form = new TfrmHost(nullptr);
        engine = new TCLEngine(form);
        auto* data = new TCLMultiLangData(form);
        LoadEnglishDefaults(data);
        engine->SetLanguageData(data);
        SetMessageDialogHook([this](TspMessageForm& f) {
            messages.push_back(f.Message->Caption());
            f.ModalResult = answer;
        });

        queue = new TMultiDownloader(form);
        queue->SetMaxTasks(2);
        view = new TfrmCenterView(form);
        view->OnLoadHtml = [this](TCenterBrowser b, const std::string& html) {
            loaded.push_back({b, html});
        };
        view->OnNavigate = [this](TCenterBrowser b, const std::string& url) {
            navigated.push_back({b, url});
        };
        view->OnActivatePage = [this](TCenterPage p) { pages.push_back(p); };
        TMainWindowSide& side = MainWindowSide();
        side = TMainWindowSide();
        side.Queue = queue;
        side.CurrentInfo = &current;
        side.CenterView = view;
        side.SetStatusInfo = [this](const std::string& t) { calls.push_back("status:" + t); };
        side.Download = [this](const TUrlInfo& i) {
            downloads.push_back(i);
            calls.push_back("download:" + i.Id);
        };
        side.SetSearchText = [this](const std::string& t) { calls.push_back("box:" + t); };
        side.SetFlashVar = [this](const std::string& v) { calls.push_back("flash:" + v); };
        side.PlayVideoId = [this](const std::string& id) { calls.push_back("play:" + id); };
        side.ExecScript = [this](const std::string& s) { calls.push_back("script:" + s); };
    }
    void TearDown() override {
        // Nothing a test started may report into the next one.
        StopConversions();
        EXPECT_TRUE(dltest::DrainThreads());
        MainWindowSide() = TMainWindowSide();
        SetMessageDialogHook(nullptr);
        delete form;
        Application->ProcessMessages();
        FreeSettingsInstance();
        site.Stop();
        os::SetProgramFileNameOverride("");
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("LANTROVE_COMMON_APPDATA");
        os::SetIpcNamespace("");
    }
    virtual std::string ExtraSettings() { return {}; }

    // Lets the page fetches arrive; true once cond holds.
    bool Wait(const std::function<bool()>& cond, int ms = 20000) {
        return dltest::PumpUntil(cond, ms);
    }
    void Switch(const std::string& name, const std::string& value) {
        site::Switches s = site.GetSwitches();
        ASSERT_TRUE(site::ApplySwitch(s, name, value));
        site.SetSwitches(s);
    }
    std::string ProgramFolder() const { return dir.file("prog/"); }

    struct Loaded {
        TCenterBrowser browser;
        std::string html;
    };

    TempDir dir;
    site::SiteServer site;
    TfrmHost* form = nullptr;
    TCLEngine* engine = nullptr;
    TMultiDownloader* queue = nullptr;
    TfrmCenterView* view = nullptr;
    TCurrentInfo current;
    int answer = mrOk;
    std::vector<std::string> messages;
    std::vector<std::string> calls;
    std::vector<TUrlInfo> downloads;
    std::vector<Loaded> loaded;
    std::vector<std::pair<TCenterBrowser, std::string>> navigated;
    std::vector<TCenterPage> pages;
};

inline std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

} // namespace apptest
