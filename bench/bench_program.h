// What the benchmarks of the main road share: the stand-in site as a process
// of its own, the program's main window on the display (with its engine,
// English texts and data folders of its own), pumping the main loop while
// something is awaited, and a probe that finds the main loop's longest block.
#pragma once

#include "SiteContent.h"
#include "app/uCommonFunc.h"
#include "app/uMain.h"
#include "classlib/forms.h"
#include "classlib/thread.h"
#include "download/MultiDownloader.h"
#include "framework/CLApp.h"
#include "framework/CLEngine.h"
#include "framework/CLEnglishDefaults.h"
#include "framework/CLMultiLang.h"
#include "framework/CLSettings.h"
#include "framework/OxDebug.h"
#include "platform/display/gtk.h"
#include "platform/os/folders.h"
#include "platform/os/ipc.h"
#include "platform/os/process.h"
#include "platform/win/queue.h"
#include "skin/forms/spMessages.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The stand-in site, started from the build's program folder; stopped (by
// its process id) when this goes.
class SiteProcess {
public:
    explicit SiteProcess(const fs::path& mediaFolder) {
        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const std::string program = std::string(LANTROVE_PROGRAM_DIR) + "/lantrove-site";
        const std::string media = "--media=" + mediaFolder.string();
        char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(media.c_str()),
                        nullptr};
        if (posix_spawn(&FPid, program.c_str(), &actions, nullptr, argv, environ) != 0) FPid = 0;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        // Its first line is its address.
        if (FILE* in = fdopen(out[0], "r")) {
            char line[256] = {};
            if (FPid && std::fgets(line, sizeof line, in)) {
                FBase = line;
                while (!FBase.empty() && (FBase.back() == '\n' || FBase.back() == '\r'))
                    FBase.pop_back();
            }
            std::fclose(in);
        } else {
            close(out[0]);
        }
    }
    ~SiteProcess() {
        if (FPid <= 0) return;
        kill(FPid, SIGTERM);
        int status = 0;
        waitpid(FPid, &status, 0);
    }
    SiteProcess(const SiteProcess&) = delete;
    SiteProcess& operator=(const SiteProcess&) = delete;

    bool Running() const { return FPid > 0 && !FBase.empty(); }
    const std::string& Base() const { return FBase; }
    // Changes a switch of the running site ("/__site?name=value").
    bool Switch(const std::string& name, const std::string& value) const {
        httplib::Client client(FBase);
        auto res = client.Get("/__site?" + name + "=" + value);
        return res && res->status == 200;
    }

private:
    pid_t FPid = 0;
    std::string FBase;
};

class TfrmBenchHost : public TForm {
public:
    explicit TfrmBenchHost(TComponent* AOwner) : TForm(AOwner) {}
};

// A program folder beside the site, data folders of its own and the main
// window shown on the display. Made once per run and kept to its end.
class Program {
public:
    Program() {
        fs::remove_all(FFolder);
        fs::create_directories(FFolder / "prog/res");
        fs::create_directories(FFolder / "out");
        FSite = std::make_unique<SiteProcess>(FFolder / "media");
        if (!FSite->Running()) {
            FError = "the stand-in site did not start";
            return;
        }
        auto backend = display::CreateGtkBackend();
        if (!backend) {
            FError = "no display (run under xvfb-run)";
            return;
        }
        display::Install(std::move(backend));
        os::SetIpcNamespace("lantrove-bench-" + std::to_string(os::CurrentProcessId()));
        DebuggerInstance()->SetActive(false);
        DebuggerInstance()->SetAutoStart(false);
        for (const auto& e : fs::directory_iterator(std::string(LANTROVE_SOURCE_DIR) + "/res"))
            fs::copy(e.path(), FFolder / "prog/res" / e.path().filename(),
                     fs::copy_options::recursive);
        os::SetProgramFileNameOverride((FFolder / "prog/lantrove").string());
        setenv("XDG_CONFIG_HOME", (FFolder / "user").c_str(), 1);
        setenv("LANTROVE_COMMON_APPDATA", (FFolder / "common").c_str(), 1);
        std::ofstream dat(FFolder / "prog/const.dat");
        dat << "[setting]\nApp.Name=Lantrove\nApp.MagicWord=lantrove\n";
        for (const auto& [key, value] : site::SiteSettings(FSite->Base()))
            dat << key << "=" << (value.front() == ' ' ? "\"" + value + "\"" : value) << "\n";
        dat.close();
        SetAppParams({});
        Application->Initialize();
        FHost = new TfrmBenchHost(nullptr);
        TCLEngine* engine = new TCLEngine(FHost);
        auto* texts = new TCLMultiLangData(FHost);
        LoadEnglishDefaults(texts);
        engine->SetLanguageData(texts);
        // Message boxes (a task already queued, say) are answered at once.
        SetMessageDialogHook([](TspMessageForm& f) { f.ModalResult = mrOk; });
        FMain = new TfrmMain(FHost, engine);
        // Downloads go to a folder of the run's own, at 192 kbit/s.
        SettingsInstance()->SetSettingstring("MusicSaveTo", (FFolder / "out").string());
        SettingsInstance()->SetSettingInteger("MusicBitrate", 2);
        FMain->SetBounds(0, 0, 1000, 760);
        FMain->Show();
        Pump(500);
    }

    const std::string& Error() const { return FError; }
    TfrmMain* Main() const { return FMain; }
    SiteProcess& Site() const { return *FSite; }
    fs::path Folder() const { return FFolder; }

    // Runs the program's own main loop, a message at a time, until done holds
    // (true) or ms pass (false). A thread nudges the loop every 20 ms, so a
    // loop waiting for nothing in particular looks at done again.
    static bool PumpUntil(const std::function<bool()>& done, int ms = 60000) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        std::atomic<bool> stop{false};
        std::thread nudge([&stop, main = GetCurrentThreadId()] {
            while (!stop) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                PostThreadCall(main, [] {});
            }
        });
        bool ok = true;
        while (!done()) {
            if (Clock::now() > end) {
                ok = false;
                break;
            }
            Application->HandleMessage();
        }
        stop = true;
        nudge.join();
        return ok;
    }
    static void Pump(int ms) {
        PumpUntil([] { return false; }, ms);
    }

    // Ends the program's side before the run ends: the site goes with the
    // process's static objects.
    void Close() {
        if (!FMain) return;
        FMain->mdDownloader()->StopAll();
        Application->SetMainForm(nullptr);
        MainWindowSide() = TMainWindowSide();
        SetMessageDialogHook(nullptr);
        delete FHost;
        FHost = nullptr;
        FMain = nullptr;
        Application->ProcessMessages();
        FreeSettingsInstance();
        FSite.reset();
        std::error_code ec;
        fs::remove_all(FFolder, ec);
    }

private:
    fs::path FFolder = fs::temp_directory_path() / ("lantrove-bench-" + std::to_string(getpid()));
    std::unique_ptr<SiteProcess> FSite;
    std::string FError;
    TfrmBenchHost* FHost = nullptr;
    TfrmMain* FMain = nullptr;
};

// The longest time the main loop went without running a call handed to it,
// while the probe runs: a thread hands it one every millisecond and notes how
// long each waited.
class LoopProbe {
public:
    LoopProbe()
        : FMain(GetCurrentThreadId()), FThread([main = FMain, state = FState] {
              while (!state->Stop) {
                  const auto sent = Clock::now();
                  auto ran = std::make_shared<std::atomic<bool>>(false);
                  PostThreadCall(main, [state, sent, ran] {
                      const double ms = Ms(Clock::now() - sent);
                      double longest = state->Longest.load();
                      while (ms > longest && !state->Longest.compare_exchange_weak(longest, ms)) {
                      }
                      *ran = true;
                  });
                  // One call in flight at a time: the next goes once this ran.
                  while (!*ran && !state->Stop)
                      std::this_thread::sleep_for(std::chrono::microseconds(200));
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
          }) {}
    ~LoopProbe() {
        FState->Stop = true;
        FThread.join();
    }
    LoopProbe(const LoopProbe&) = delete;
    LoopProbe& operator=(const LoopProbe&) = delete;

    double LongestMs() const { return FState->Longest.load(); }

private:
    struct State {
        std::atomic<bool> Stop{false};
        std::atomic<double> Longest{0};
    };
    DWORD FMain;
    std::shared_ptr<State> FState = std::make_shared<State>();
    std::thread FThread;
};

} // namespace bench
