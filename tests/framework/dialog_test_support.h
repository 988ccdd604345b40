// A program folder pointing at the stand-in site, an engine with the English
// texts on a host window, launches recorded instead of run, and input
// helpers that click and type into windows through the headless display.
#pragma once

#include "SiteServer.h"
#include "classlib/forms.h"
#include "download/download_test_support.h"
#include "framework/CLApp.h"
#include "framework/CLEngine.h"
#include "framework/CLEnglishDefaults.h"
#include "framework/CLMultiLang.h"
#include "framework/CLSettings.h"
#include "framework/OxDebug.h"
#include "platform/os/clock.h"
#include "platform/os/folders.h"
#include "platform/os/ipc.h"
#include "platform/os/process.h"
#include "platform/os/shell.h"
#include "platform/win/input.h"
#include "platform/win/windows.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace dlgtest {

class TfrmDialogHost : public TForm {
public:
    explicit TfrmDialogHost(TComponent* AOwner) : TForm(AOwner) {}
};

// Presses and releases the left button over the middle of a control.
inline void Click(TControl* Control) {
    // Windows other tests left on the screen must not take the click.
    if (TForm* form = Control->GetParentForm())
        SetWindowPos(form->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    TPoint p = Control->ClientToScreen(TPoint{Control->Width() / 2, Control->Height() / 2});
    DeliverMouse(WM_LBUTTONDOWN, POINT{p.X, p.Y}, MK_LBUTTON);
    DeliverMouse(WM_LBUTTONUP, POINT{p.X, p.Y}, 0);
    Application->ProcessMessages();
}

inline void Key(int VirtualKey, char32_t Character = 0) {
    DeliverKey(true, VirtualKey, Character);
    DeliverKey(false, VirtualKey, 0);
    Application->ProcessMessages();
}

// Runs Act on the main thread's loop (so inside a modal showing) once Ready
// holds there, asking every few milliseconds from a thread of its own so the
// loop's other messages keep flowing; gives up after a while so a stuck
// dialog fails instead of hanging. Keep it alive until the dialog is done.
class WhenReady {
public:
    WhenReady(std::function<bool()> Ready, std::function<void()> Act, int TimeoutMs = 20000)
        : FThread([this, Ready, Act, TimeoutMs, main = GetCurrentThreadId()] {
              const auto deadline =
                  std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
              while (!FDone) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
                  const bool late = std::chrono::steady_clock::now() > deadline;
                  SendThreadCall(main, [&] {
                      if (FDone || (!Ready() && !late)) return;
                      if (late && !Ready()) ADD_FAILURE() << "the dialog never became ready";
                      FDone = true;
                      Act();
                  });
              }
          }) {}
    ~WhenReady() {
        // Lets a last call in flight run before the thread goes.
        while (!FDone)
            Application->ProcessMessages();
        FThread.join();
    }

private:
    std::atomic<bool> FDone{false};
    std::thread FThread;
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        os::SetIpcNamespace("lantrove-test-dlg-" + std::to_string(os::CurrentProcessId()));
        DebuggerInstance()->SetActive(false);
        DebuggerInstance()->SetAutoStart(false);
        os::SetProgramFileNameOverride(dir.file("prog/lantrove"));
        setenv("XDG_CONFIG_HOME", dir.file("user").c_str(), 1);
        setenv("LANTROVE_COMMON_APPDATA", dir.file("common").c_str(), 1);
        os::SetLaunchHook([this](const std::vector<std::string>& argv, const std::string&) {
            launched.push_back(argv.back());
            return true;
        });
        ASSERT_TRUE(site.Start());
        std::string constDat = "[setting]\nApp.Name=Lantrove\nApp.Ver=1.1.0.0\n"
                               "App.MagicWord=lantrove\nApp.Copyright=(c) Lantrove makers\n";
        for (const auto& [key, value] : site::SiteSettings(site.Base()))
            constDat += key + "=" + (value.front() == ' ' ? "\"" + value + "\"" : value) + "\n";
        dir.write("prog/const.dat", constDat + ExtraSettings());
        namespace fs = std::filesystem;
        fs::create_directories(dir.file("prog/res/images"));
        for (const char* name : {"about.png", "update.png", "splash.png"})
            fs::copy_file(std::string(LANTROVE_SOURCE_DIR) + "/res/images/" + name,
                          dir.file(std::string("prog/res/images/") + name));
        SetAppParams({});
        Application->Initialize();
        form = new TfrmDialogHost(nullptr);
        form->SetBounds(100, 100, 600, 400);
        engine = new TCLEngine(form);
        data = new TCLMultiLangData(form);
        LoadEnglishDefaults(data);
        engine->SetLanguageData(data);
    }
    void TearDown() override {
        EXPECT_TRUE(dltest::DrainThreads());
        os::SetClock(nullptr);
        delete form;
        Application->ProcessMessages();
        FreeSettingsInstance();
        site.Stop();
        os::SetLaunchHook(nullptr);
        os::SetProgramFileNameOverride("");
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("LANTROVE_COMMON_APPDATA");
        os::SetIpcNamespace("");
    }
    virtual std::string ExtraSettings() { return {}; }

    void Switch(const std::string& name, const std::string& value) {
        site::Switches s = site.GetSwitches();
        ASSERT_TRUE(site::ApplySwitch(s, name, value)) << name;
        site.SetSwitches(s);
    }
    TCLSettings* Settings() { return SettingsInstance(); }
    std::string Lib(const std::string& key) { return engine->GetLibString(key); }
    // What "setting.dat" holds on disk.
    std::string SettingFile() {
        std::ifstream in(Settings()->UserDataPath() + "setting.dat", std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    TempDir dir;
    site::SiteServer site;
    TfrmDialogHost* form = nullptr;
    TCLEngine* engine = nullptr;
    TCLMultiLangData* data = nullptr;
    std::vector<std::string> launched;
};

} // namespace dlgtest
