// The run routine: its switches and early exits, the debug-mode rule, and the
// exchange between two real instances (this test program started again in
// the role of the instance that already runs).
#include "framework/CLApp.h"

#include "browser/EmbeddedBrowser.h"
#include "browser/WbControlComponent.h"
#include "browser/WbFocusControl.h"
#include "framework/CLEngine.h"
#include "framework/CLSettings.h"
#include "framework/OxDebug.h"
#include "platform/display/headless.h"
#include "platform/os/folders.h"
#include "platform/os/ipc.h"
#include "platform/os/process.h"
#include "platform/os/registry.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr const char* kRoleVar = "LANTROVE_APP_PEER_ARGS";
constexpr const char* kLogVar = "LANTROVE_APP_PEER_LOG";
constexpr const char* kProgramVar = "LANTROVE_APP_TEST_PROGRAM";

bool g_isPeer = false;

// The other instance's record of what reached it.
void Log(const std::string& line) {
    const char* file = std::getenv(kLogVar);
    if (!g_isPeer || !file) return;
    std::ofstream out(file, std::ios::app);
    out << line << "\n";
}

// What a run of the main window did, for the tests in this process.
struct Seen {
    int created = 0;
    bool shownAtStart = false;
    bool browserHooks = false;
    std::vector<std::string> files;
    // The session messages the window got, with the engine's view then.
    std::vector<std::string> session;
};
Seen g_seen;
bool g_closeWhenReady = true;
// Ends the run as the desktop does when the session ends.
bool g_terminateWhenReady = false;
bool g_setsProxy = false;

// A plain main window with the engine component: the engine answers the
// other instances; in this process the window closes itself once its loop runs.
class TfrmInstanceMain : public TForm {
public:
    explicit TfrmInstanceMain(TComponent* AOwner) : TForm(AOwner) {
        ++g_seen.created;
        // The browsers' process-wide hooks exist before the main window.
        TWbControl* wb = GlobalWbControl();
        g_seen.browserHooks = wb && wb->MouseWheelFix()->Hook() &&
                              wb->MouseWheelFix()->Hook()->Active() && TWBFocusControl::Active();
        // As a browser of the window does when it sets a proxy.
        if (g_setsProxy) ProxyChangedFlag() = true;
        auto* engine = new TCLEngine(this);
        engine->OnCmdFile = [](const std::string& file) {
            g_seen.files.push_back(file);
            Log("cmd:" + file);
        };
        // What reading the form resource does: the engine posts "CL InitPost".
        engine->Loaded();
        UINT busy = RegisterWindowMessage(kMsgIfBusy);
        UINT bring = RegisterWindowMessage(kMsgBringToFront);
        UINT close = RegisterWindowMessage(kMsgCloseApp);
        TWndMethod inner = WindowProc;
        WindowProc = [=, this](TMessage& m) {
            if (m.Msg == busy) Log("ifbusy");
            if (m.Msg == bring) Log("bring");
            if (m.Msg == close) Log("closeapp");
            if (m.Msg == WM_USER + 50) {
                g_seen.shownAtStart = Visible();
                Log(Visible() ? "ready:shown" : "ready:hidden");
                if (g_terminateWhenReady)
                    kill(getpid(), SIGTERM);
                else if (g_closeWhenReady)
                    PostMessage(Handle(), WM_CLOSE, 0, 0);
                return;
            }
            if (m.Msg == WM_QUERYENDSESSION || m.Msg == WM_ENDSESSION) {
                inner(m);
                const bool ending = EngineInstance() && EngineInstance()->SessionEnding();
                g_seen.session.push_back(
                    std::string(m.Msg == WM_QUERYENDSESSION ? "query" : "end") +
                    (m.Msg == WM_ENDSESSION ? ":" + std::to_string(m.WParam) : "") +
                    (ending ? " ending" : ""));
                return;
            }
            inner(m);
        };
        OnClose = [](TObject*, TCloseAction&) { Log("closed"); };
        // Handled after the engine's own start-up message.
        PostMessage(Handle(), WM_USER + 50, 0, 0);
    }
};

void UseProgram(const std::string& program) {
    os::SetProgramFileNameOverride(program);
}

// The instance that already runs: AppRun with the parameters it was given.
TEST(AppRunPeer, Run) {
    const char* args = std::getenv(kRoleVar);
    if (!args) GTEST_SKIP() << "runs only as the other instance of the tests below";
    g_isPeer = true;
    UseProgram(std::getenv(kProgramVar));
    os::SetLaunchHook([](const std::vector<std::string>&, const std::string&) { return false; });
    std::vector<std::string> params;
    std::istringstream in(args);
    for (std::string p; std::getline(in, p);)
        if (!p.empty()) params.push_back(p);
    SetAppParams(params);
    g_closeWhenReady = false;
    TfrmInstanceMain* frmMain = nullptr;
    AppRun(frmMain);
    Log("ended");
}

class AppRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        guid = "{lantrove-test-" + std::to_string(rd()) + "-" + std::to_string(rd()) + "}";
        program = dir.file("prog/lantrove");
        setenv("XDG_CONFIG_HOME", dir.file("user").c_str(), 1);
        setenv("LANTROVE_COMMON_APPDATA", dir.file("common").c_str(), 1);
        setenv("LANTROVE_IPC_DIR", dir.path().c_str(), 1);
        setenv("LANTROVE_IPC_NAMESPACE", ("lt" + std::to_string(rd())).c_str(), 1);
        setenv(kProgramVar, program.c_str(), 1);
        setenv(kLogVar, dir.file("peer.log").c_str(), 1);
        WriteConst("");
        UseProgram(program);
        os::SetLaunchHook(
            [](const std::vector<std::string>&, const std::string&) { return false; });
        g_seen = Seen{};
        g_closeWhenReady = true;
        DebugMode = false;
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        FreeSettingsInstance();
        os::NamedMutex::Remove("Global\\" + guid);
        for (const char* n : {"Global\\OxDebugQueueMutex"})
            os::NamedMutex::Remove(n);
        os::SharedMemory::Remove("Global\\OxDebugMap");
        for (const char* n : {"Global\\OxDebugQueueEvent", "Global\\OxDebugFlushEvent",
                              "Global\\OxDebugStartEvent"})
            os::NamedEvent::Remove(n);
        if (auto* h = display::CurrentHeadless()) {
            h->SetKeyDown(VK_CONTROL, false);
            h->SetKeyDown(VK_SHIFT, false);
        }
        os::SetLaunchHook(nullptr);
        UseProgram("");
        unsetenv("LANTROVE_IPC_DIR");
    }

    void WriteConst(const std::string& extra) {
        dir.write("prog/const.dat", "[setting]\nApp.ID=4242\nApp.GUID=" + guid +
                                        "\nApp.ConfigPath=lantrove-test\n" + extra);
    }

    bool RunCounted() {
        for (const char* root : {"user", "common"}) {
            fs::path p = fs::path(dir.file(root)) / "lantrove-test" / "setting.dat";
            std::ifstream in(p);
            std::string text((std::istreambuf_iterator<char>(in)), {});
            if (text.find("RunTimes") != std::string::npos) return true;
        }
        return false;
    }

    // Every settings file of both data folders, with its name.
    std::string SettingsFiles() {
        std::string all;
        for (const char* root : {"user", "common"})
            for (const char* name : {"setting.dat", "setting.dat.bak", "UserFlag.ini"}) {
                std::string rel = std::string(root) + "/lantrove-test/" + name;
                if (dir.exists(rel)) all += rel + ":" + dir.read(rel) + "\n";
            }
        return all;
    }

    // Runs AppRun here with these parameters; the callback counts its calls.
    void RunHere(std::vector<std::string> params, bool callbackAnswer = true) {
        SetAppParams(std::move(params));
        TfrmInstanceMain* frmMain = nullptr;
        AppRun(frmMain, [&] {
            ++callbacks;
            return callbackAnswer;
        });
        EXPECT_EQ(frmMain, nullptr); // freed by the end of the run
    }

    void StartPeer(const std::vector<std::string>& params) {
        std::string joined = "\n";
        for (auto& p : params)
            joined += p + "\n";
        setenv(kRoleVar, joined.c_str(), 1);
        std::string self = "/proc/self/exe";
        std::string filter = "--gtest_filter=AppRunPeer.Run";
        char* argv[] = {self.data(), filter.data(), nullptr};
        ASSERT_EQ(posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, environ), 0);
        unsetenv(kRoleVar);
    }

    std::string PeerLog() { return dir.read("peer.log"); }

    bool WaitForLog(const std::string& text) {
        for (int i = 0; i < 3000; ++i) {
            if (PeerLog().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    bool WaitForPeerExit() {
        for (int i = 0; i < 3000; ++i) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = 0;
                return WIFEXITED(status) && WEXITSTATUS(status) == 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    bool PeerAlive() { return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0; }

    TempDir dir;
    std::string guid;
    std::string program;
    pid_t pid = 0;
    int callbacks = 0;
};

// ---------------------------------------------------------------------------
// One instance

enum class Outcome { BeforeSettings, EndedByAutorun, EndedByCallback, FullRun };

struct SwitchCase {
    std::vector<std::string> params;
    std::string settings;
    bool callbackAnswer;
    Outcome outcome;
    bool shown; // for a full run
};

TEST_F(AppRunTest, SwitchesAndEarlyExits) {
    const SwitchCase cases[] = {
        {{"-i"}, "", true, Outcome::BeforeSettings, false},
        {{"/U"}, "", true, Outcome::BeforeSettings, false},
        {{"file.mp3", "-I"}, "", true, Outcome::BeforeSettings, false},
        {{"-a"}, "App.Autorun=0\n", true, Outcome::EndedByAutorun, false},
        {{"/A"}, "App.Autorun=1\n", true, Outcome::FullRun, true},
        {{}, "", false, Outcome::EndedByCallback, false},
        {{}, "", true, Outcome::FullRun, true},
        {{"-H"}, "", true, Outcome::FullRun, false},
        {{"-hx", "-ii"}, "", true, Outcome::FullRun, true}, // not switches
        {{"/usr"}, "", true, Outcome::FullRun, true},       // a path, not "/u"
    };
    for (const SwitchCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.params));
        FreeSettingsInstance();
        fs::remove_all(dir.file("user"));
        fs::remove_all(dir.file("common"));
        WriteConst(c.settings);
        g_seen = Seen{};
        callbacks = 0;
        RunHere(c.params, c.callbackAnswer);
        EXPECT_EQ(RunCounted(), c.outcome != Outcome::BeforeSettings);
        EXPECT_EQ(callbacks,
                  c.outcome == Outcome::EndedByCallback || c.outcome == Outcome::FullRun ? 1 : 0);
        EXPECT_EQ(g_seen.created, c.outcome == Outcome::FullRun ? 1 : 0);
        if (c.outcome == Outcome::FullRun) {
            EXPECT_EQ(g_seen.shownAtStart, c.shown);
        }
    }
}

// "--help" (and its other spellings) prints the switches the program knows and
// ends the run before anything is read; a switch the program does not know is
// named, with the same list, on the error output, and the run goes on.
TEST_F(AppRunTest, HelpAndUnknownSwitchesPrintTheKnownSwitches) {
    struct Case {
        std::vector<std::string> params;
        bool help, unknown;
        std::string named;
    } cases[] = {
        {{"--help"}, true, false, ""},
        {{"/?"}, true, false, ""},
        {{"-HELP", "song.mp3"}, true, false, ""},
        {{"-x", "song.mp3"}, false, true, "\"-x\""},
        {{"--verbose"}, false, true, "\"--verbose\""},
        {{"/q"}, false, true, "\"/q\""},
        {{"-d", "/usr/share/a.mp3"}, false, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.params));
        FreeSettingsInstance();
        fs::remove_all(dir.file("user"));
        g_seen = Seen{};
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        RunHere(c.params);
        const std::string out = ::testing::internal::GetCapturedStdout();
        const std::string err = ::testing::internal::GetCapturedStderr();
        const std::string& usage = c.help ? out : err;
        for (const char* known : {"-d ", "-h ", "-a ", "-s ", "-r ", "-i ", "-u ", "--help"})
            EXPECT_EQ(usage.find(known) != std::string::npos, c.help || c.unknown) << known;
        if (c.help) EXPECT_EQ(err, "");
        if (!c.help) EXPECT_EQ(out, "");
        if (c.unknown) EXPECT_NE(err.find(c.named), std::string::npos) << err;
        if (!c.help && !c.unknown) EXPECT_EQ(err, "");
        EXPECT_EQ(g_seen.created, c.help ? 0 : 1);
        EXPECT_EQ(RunCounted(), !c.help);
    }
}

// SIGTERM (what the desktop sends when the session ends) reaches the main
// window as the session's end, on the main thread: first the query (the
// engine now knows the session ends), then the end; then the run ends.
TEST_F(AppRunTest, TerminationEndsTheRunThroughTheSessionEnd) {
    g_terminateWhenReady = true;
    RunHere({});
    g_terminateWhenReady = false;
    EXPECT_EQ(g_seen.created, 1);
    EXPECT_EQ(g_seen.session, (std::vector<std::string>{"query ending", "end:1 ending"}));
    // Afterwards SIGTERM has its own handling again.
    struct sigaction now {};
    sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}

TEST_F(AppRunTest, FirstParameterOfTheOnlyInstanceReachesOnCmdFile) {
    const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
        {{"/home/ü/Musik/a b.mp3", "-d"}, {"/home/ü/Musik/a b.mp3"}},
        {{"song.mp3"}, {"song.mp3"}},
        {{"-x", "song.mp3"}, {}},
        {{"/x"}, {}},
    };
    for (auto& [params, files] : cases) {
        SCOPED_TRACE(::testing::PrintToString(params));
        g_seen = Seen{};
        RunHere(params);
        EXPECT_EQ(g_seen.files, files);
    }
}

struct DebugCase {
    std::vector<std::string> params;
    bool enabled;
    bool disabled;
    bool ctrl;
    bool shift;
    bool expected;
};

TEST_F(AppRunTest, DebugModeTruthTable) {
    const DebugCase cases[] = {
        {{}, false, false, false, false, false},      {{"-d"}, false, false, false, false, true},
        {{"/D"}, false, true, false, false, true}, // the switch wins over Debug.Disabled
        {{}, true, false, false, false, true},        {{}, true, true, false, false, false},
        {{}, false, false, true, true, true},         {{}, false, false, true, false, false},
        {{}, false, false, false, true, false},       {{}, false, true, true, true, false},
        {{"-dd"}, false, false, false, false, false},
    };
    display::Headless* keys = display::CurrentHeadless();
    ASSERT_NE(keys, nullptr);
    for (const DebugCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.params) + " enabled=" + std::to_string(c.enabled) +
                     " disabled=" + std::to_string(c.disabled) + " ctrl=" + std::to_string(c.ctrl) +
                     " shift=" + std::to_string(c.shift));
        FreeSettingsInstance();
        WriteConst(std::string("Debug.Enabled=") + (c.enabled ? "1" : "0") +
                   "\nDebug.Disabled=" + (c.disabled ? "1" : "0") + "\n");
        keys->SetKeyDown(VK_CONTROL, c.ctrl);
        keys->SetKeyDown(VK_SHIFT, c.shift);
        DebugMode = !c.expected;
        RunHere(c.params, false); // decided before the start callback
        EXPECT_EQ(DebugMode, c.expected);
        EXPECT_EQ(DebuggerInstance()->Active(), c.expected);
        EXPECT_EQ(DebuggerInstance()->AutoStart(), c.expected);
    }
    DebuggerInstance()->SetActive(false);
}

TEST_F(AppRunTest, TheBrowserUnitRunsAroundTheMainWindow) {
    // A proxy a browser set during the run is put back at its end.
    const std::string key = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    ASSERT_TRUE(os::RegWriteValue(os::RegRoot::CurrentUser, key, "ProxyEnable", "1"));
    g_setsProxy = true;
    RunHere({});
    g_setsProxy = false;
    EXPECT_EQ(g_seen.created, 1);
    EXPECT_TRUE(g_seen.browserHooks);
    EXPECT_EQ(GlobalWbControl(), nullptr);
    EXPECT_FALSE(TWBFocusControl::Active());
    std::string v;
    ASSERT_TRUE(os::RegReadValue(os::RegRoot::CurrentUser, key, "ProxyEnable", v));
    EXPECT_EQ(v, "0");
    EXPECT_FALSE(ProxyChangedFlag());
}

TEST_F(AppRunTest, ControlWordIsRecordedAllMasked) {
    Set8087CW(0x1332);
    RunHere({"-i"});
    EXPECT_EQ(Get8087CW(), 0x133F);
}

// ---------------------------------------------------------------------------
// Two instances

TEST_F(AppRunTest, SecondInstanceBringsTheFirstForwardAndHandsOverItsFileAsUtf16) {
    StartPeer({"-h"});
    ASSERT_TRUE(WaitForLog("ready:hidden"));

    const std::string before = SettingsFiles();
    RunHere({"/tmp/Ünïcode ♫ song.mp3", "-d"});
    EXPECT_EQ(g_seen.created, 0);       // handed over, no window here
    EXPECT_EQ(SettingsFiles(), before); // and no settings written
    ASSERT_TRUE(WaitForLog("cmd:"));
    std::string log = PeerLog();
    // Without a tray icon the engine leaves bringing it forward to the sender.
    EXPECT_NE(log.find("ifbusy\nbring\n"), std::string::npos) << log;
    EXPECT_NE(log.find("cmd:/tmp/Ünïcode ♫ song.mp3\n"), std::string::npos) << log;
    HWND peer = FindAppWindow("TfrmInstanceMain");
    ASSERT_NE(peer, 0u);
    EXPECT_TRUE(IsWindowVisible(peer));

    // A switch as first parameter is never handed over.
    RunHere({"-x"});
    EXPECT_EQ(PeerLog().find("cmd:-x"), std::string::npos);
    EXPECT_TRUE(PeerAlive());
}

TEST_F(AppRunTest, SwitchSClosesTheRunningInstanceThroughItsNormalClose) {
    StartPeer({});
    ASSERT_TRUE(WaitForLog("ready:shown"));
    RunHere({"/s"});
    EXPECT_EQ(g_seen.created, 0);
    EXPECT_TRUE(WaitForPeerExit());
    EXPECT_NE(PeerLog().find("closeapp\nclosed\nended\n"), std::string::npos) << PeerLog();
    // With nobody running, "-s" sends nothing and ends.
    RunHere({"-S"});
    EXPECT_EQ(g_seen.created, 0);
}

TEST_F(AppRunTest, SwitchRClosesTheRunningInstanceAndStartsAfterwards) {
    StartPeer({});
    ASSERT_TRUE(WaitForLog("ready:shown"));
    RunHere({"-r"});
    EXPECT_TRUE(WaitForPeerExit());
    EXPECT_NE(PeerLog().find("closed"), std::string::npos);
    EXPECT_EQ(g_seen.created, 1); // this one ran in its place
    EXPECT_TRUE(g_seen.shownAtStart);
}

TEST_F(AppRunTest, WithAppMultipleBothInstancesRun) {
    WriteConst("App.Multiple=1\n");
    StartPeer({});
    ASSERT_TRUE(WaitForLog("ready:shown"));
    RunHere({"song.mp3"});
    EXPECT_EQ(g_seen.created, 1);
    EXPECT_EQ(g_seen.files, (std::vector<std::string>{"song.mp3"}));
    EXPECT_TRUE(PeerAlive());
    EXPECT_EQ(PeerLog().find("ifbusy"), std::string::npos);
    EXPECT_EQ(PeerLog().find("cmd:"), std::string::npos);
}

TEST_F(AppRunTest, DeadOrMissingInstanceIsNotWaitedFor) {
    StartPeer({});
    ASSERT_TRUE(WaitForLog("ready:shown"));
    winipc::SetTimeoutMs(300);
    kill(pid, SIGSTOP); // hung: it holds the mutex but cannot answer
    RunHere({"song.mp3"});
    EXPECT_EQ(g_seen.created, 0);
    EXPECT_EQ(PeerLog().find("cmd:"), std::string::npos);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = 0;
    winipc::SetTimeoutMs(5000);
    // Its mutex is abandoned with it: the next start runs.
    RunHere({});
    EXPECT_EQ(g_seen.created, 1);
}

} // namespace
