#include "framework/CLApp.h"

#include "browser/EmbeddedBrowser.h"
#include "classlib/sysutils.h"
#include "framework/CLSettings.h"
#include "framework/CLSplashForm.h"
#include "framework/OxDebug.h"
#include "framework/SPTools.h"
#include "platform/os/codepage.h"
#include "platform/os/ipc.h"
#include "platform/os/session.h"
#include "platform/win/paint.h"
#include "platform/win/windows.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

bool DebugMode = false;

namespace {

std::mutex g_paramsLock;
bool g_paramsSet = false;
std::vector<std::string> g_params;
std::atomic<uint16_t> g_controlWord{0x037F};

std::vector<std::string> ProcessParams() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> out;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\0', start);
        if (end == std::string::npos) end = all.size();
        out.emplace_back(all, start, end - start);
        start = end + 1;
    }
    if (!out.empty()) out.erase(out.begin()); // the program itself
    return out;
}

TCLSettings* Settings() {
    return SettingsInstance("");
}

// The store of a run that only talked to the running instance goes unwritten;
// a later use reads the files afresh.
void DropHeldSettings() {
    FreeSettingsInstance();
    ReleaseSettingsWrites();
}

// The single-instance mutex, held until the process ends. Released before it
// is unmapped, so an instance that ends normally never leaves it locked.
struct InstanceMutexHolder {
    std::mutex lock;
    std::vector<std::unique_ptr<os::NamedMutex>> held;
    ~InstanceMutexHolder() {
        for (auto& m : held)
            m->Release();
    }
};

InstanceMutexHolder& InstanceMutexes() {
    static InstanceMutexHolder holder;
    return holder;
}

// True when this is the only instance: the mutex is now held by this process.
// The mutex stands for a live instance: one left locked by a process that is
// gone counts as free and is made afresh.
bool CreateAppInstanceMutex(const std::string& Name) {
    auto m = os::NamedMutex::Create(Name);
    if (!m) return true; // nothing to test against: run
    auto r = m->TryLock();
    if (r == os::NamedMutex::WaitResult::TimedOut && !m->OwnedByAnotherProcess()) {
        m.reset();
        os::NamedMutex::Remove(Name);
        m = os::NamedMutex::Create(Name);
        if (!m) return true;
        r = m->TryLock();
    }
    if (r != os::NamedMutex::WaitResult::Acquired && r != os::NamedMutex::WaitResult::Abandoned)
        return false;
    InstanceMutexHolder& h = InstanceMutexes();
    std::lock_guard<std::mutex> g(h.lock);
    h.held.push_back(std::move(m));
    return true;
}

// The switches the run routine knows, as the usage text lists them.
constexpr const char* kSwitchHelp[][2] = {
    {"d", "write debug output"},
    {"h", "start hidden, in the tray"},
    {"a", "start only when the setting \"App.Autorun\" is on (the session's autostart)"},
    {"s", "close the running instance"},
    {"r", "close the running instance, wait 2 seconds, then start"},
    {"i", "end at once (a step of installing)"},
    {"u", "end at once (a step of removing)"},
};

bool IsHelpParam(const std::string& Param) {
    for (const char* help : {"--help", "-help", "/help", "-?", "/?"})
        if (SameText(Param, help)) return true;
    return false;
}

// A parameter meant as a switch: "-" and anything, or "/" and one character
// (longer texts after "/" are paths).
bool LooksLikeSwitch(const std::string& Param) {
    return (Param.size() >= 2 && Param[0] == '-') || (Param.size() == 2 && Param[0] == '/');
}

bool IsKnownSwitch(const std::string& Param) {
    if (Param.size() != 2 || (Param[0] != '-' && Param[0] != '/')) return false;
    const char letter = char(std::tolower(static_cast<unsigned char>(Param[1])));
    for (const auto& entry : kSwitchHelp)
        if (entry[0][0] == letter) return true;
    return false;
}

void PrintUsage(std::FILE* To) {
    std::string name = ExtractFileName(GetAppFileName());
    if (name.empty()) name = "lantrove";
    std::fprintf(To, "Usage: %s [switches] [file]\n", name.c_str());
    for (const auto& entry : kSwitchHelp)
        std::fprintf(To, "  -%s  %s\n", entry[0], entry[1]);
    std::fprintf(To, "  --help  show this text\n"
                     "A switch may begin with \"-\" or \"/\" and be written in any case.\n");
}

// Help asked for: the usage, and the run ends. A switch the program does not
// know is named with the usage; the run goes on without it.
bool AnswerHelpAndUnknownSwitches() {
    const std::vector<std::string>& params = AppParams();
    for (const std::string& p : params)
        if (IsHelpParam(p)) {
            PrintUsage(stdout);
            std::fflush(stdout);
            return false;
        }
    bool told = false;
    for (const std::string& p : params)
        if (LooksLikeSwitch(p) && !IsKnownSwitch(p)) {
            std::fprintf(stderr, "%s: unknown switch \"%s\" is ignored\n",
                         ExtractFileName(GetAppFileName()).c_str(), p.c_str());
            told = true;
        }
    if (told) PrintUsage(stderr);
    return true;
}

// The session ends (or the process is asked to terminate): the main window
// is asked as on the desktop it was made for, then told that the session
// ends, and the run ends. Main thread.
bool g_sessionEnded = false;

bool AnswerSessionEnd(os::SessionEnd Kind) {
    TForm* main = Application ? Application->MainForm() : nullptr;
    const HWND wnd = main && main->HandleAllocated() ? main->Handle() : 0;
    bool ok = true;
    if (wnd) ok = SendMessage(wnd, WM_QUERYENDSESSION, 0, 0) != 0;
    if (Kind == os::SessionEnd::End && !g_sessionEnded) {
        g_sessionEnded = true;
        if (wnd) SendMessage(wnd, WM_ENDSESSION, 1, 0);
        Application->Terminate();
    }
    return ok;
}

} // namespace

void SetAppParams(std::vector<std::string> Params) {
    std::lock_guard<std::mutex> g(g_paramsLock);
    g_params = std::move(Params);
    g_paramsSet = true;
}

const std::vector<std::string>& AppParams() {
    std::lock_guard<std::mutex> g(g_paramsLock);
    if (!g_paramsSet) {
        g_params = ProcessParams();
        g_paramsSet = true;
    }
    return g_params;
}

bool FindCmdLineSwitch(char Letter) {
    int want = std::tolower(static_cast<unsigned char>(Letter));
    for (const std::string& p : AppParams())
        if (p.size() == 2 && (p[0] == '-' || p[0] == '/') &&
            std::tolower(static_cast<unsigned char>(p[1])) == want)
            return true;
    return false;
}

bool IsCmdLineFileParam(const std::string& Param) {
    if (Param.empty() || Param[0] == '-') return false;
    // "/x" is a switch; any longer text after "/" is an absolute path.
    if (Param[0] == '/' && Param.size() == 2 && std::isalpha(static_cast<unsigned char>(Param[1])))
        return false;
    return true;
}

void Set8087CW(uint16_t ControlWord) {
    g_controlWord = ControlWord;
}
uint16_t Get8087CW() {
    return g_controlWord;
}

// ---------------------------------------------------------------------------
// Sending side

HWND FindAppWindow(const std::string& ClassName) {
    int32_t id = Settings()->GetSettingInteger("App.ID");
    UINT msg = RegisterWindowMessage(kMsgGetAppID);
    for (HWND h = FindWindowEx(0, 0, ClassName.c_str(), nullptr); h != 0;
         h = FindWindowEx(0, h, ClassName.c_str(), nullptr)) {
        LRESULT answer = 0;
        // A window that does not answer in time is passed over, never waited on.
        if (SendMessageTimeout(h, msg, 0, 0, SMTO_ABORTIFHUNG, winipc::TimeoutMs(), &answer) &&
            answer == LRESULT(id))
            return h;
    }
    return 0;
}

void SendCloseApp(const std::string& ClassName) {
    HWND h = FindAppWindow(ClassName);
    if (h) SendMessage(h, RegisterWindowMessage(kMsgCloseApp), 0, 0);
}

void ActivateRunningApp(const std::string& ClassName) {
    HWND h = FindAppWindow(ClassName);
    if (!h) return;
    if (SendMessage(h, RegisterWindowMessage(kMsgIfBusy), 0, 0) == 1) return;
    if (SendMessage(h, RegisterWindowMessage(kMsgBringToFront), 0, 0) == 1) return;
    ForceForegroundWindow(h);
}

void SendCmdParam(const std::string& ClassName, const std::u16string& Text) {
    HWND h = FindAppWindow(ClassName);
    if (!h) return;
    COPYDATASTRUCT cds;
    cds.dwData = 0;
    cds.cbData = DWORD(Text.size() * sizeof(char16_t));
    cds.lpData = Text.data();
    SendMessage(h, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
}

// ---------------------------------------------------------------------------
// The run routine

void AppRun(const TFormClass& FormClass, TForm** FormReference, TAppStartCallback StartCallback) {
    Set8087CW(0x133F);
    TOxDebugger* debugger = DebuggerInstance();
    debugger->SetActive(false);
    debugger->SetAutoStart(false);

    if (!AnswerHelpAndUnknownSwitches()) return;
    if (FindCmdLineSwitch('i') || FindCmdLineSwitch('u')) return;
    // Nothing is written until this run is known to be one of its own: an
    // instance that only talks to the running one leaves the files alone.
    HoldSettingsWrites();
    const std::string& className = FormClass.ClassName;
    if (FindCmdLineSwitch('s')) {
        SendCloseApp(className);
        DropHeldSettings();
        return;
    }
    if (FindCmdLineSwitch('r')) {
        SendCloseApp(className);
        std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    }

    bool keys = (GetKeyState(VK_CONTROL) & 0x8000) && (GetKeyState(VK_SHIFT) & 0x8000);
    DebugMode = FindCmdLineSwitch('d') || ((Settings()->GetSettingBool("Debug.Enabled") || keys) &&
                                           !Settings()->GetSettingBool("Debug.Disabled"));
    debugger->SetActive(DebugMode);
    debugger->SetAutoStart(DebugMode);
    if (DebugMode) debugger->LogMsgWithType("Enter Debug Mode...", cmtInformation);

    if (FindCmdLineSwitch('a') && !Settings()->GetSettingBool("App.Autorun")) {
        ReleaseSettingsWrites();
        return;
    }
    if (StartCallback && !StartCallback()) {
        ReleaseSettingsWrites();
        return;
    }

    if (!Settings()->GetSettingBool("App.Multiple")) {
        if (!CreateAppInstanceMutex("Global\\" + Settings()->GetSettingString("App.GUID"))) {
            ActivateRunningApp(className);
            const auto& params = AppParams();
            if (!params.empty() && IsCmdLineFileParam(params[0]))
                SendCmdParam(className, Utf8ToUtf16(params[0]));
            DropHeldSettings();
            return;
        }
    }
    ReleaseSettingsWrites();

    // The browsers' process-wide hooks are in place before the first window,
    // and the engine's processes start before anything else is built.
    EmbeddedBrowserUnitStart();
    Application->Initialize();
    winipc::Publish();
    if (Settings()->GetSettingBool("App.Splash")) {
        frmCLSplashForm = new TfrmCLSplashForm(nullptr);
        frmCLSplashForm->Show();
        // Making the main window takes a while: the splash is on the screen,
        // painted, before that starts.
        if (frmCLSplashForm) ShowWindowNow(frmCLSplashForm->Handle());
    }
    Application->CreateForm(FormClass, FormReference);
    bool showMainForm = Application->ShowMainForm;
    if (FindCmdLineSwitch('h')) Application->ShowMainForm = false;
    // The session's end reaches the main thread through its queue.
    g_sessionEnded = false;
    const DWORD mainThread = GetCurrentThreadId();
    os::StartSessionWatch(
        ExtractFileName(GetAppFileName()),
        [mainThread](os::SessionEnd Kind, std::function<void(bool)> Answer) {
            if (!PostThreadCall(mainThread, [Kind, Answer] { Answer(AnswerSessionEnd(Kind)); }))
                Answer(true);
        });
    Application->Run();
    os::StopSessionWatch();
    Application->ShowMainForm = showMainForm;

    // Other instances stop finding this one before its windows go.
    winipc::Unpublish();
    // The forms go before the settings store, so what they write on their way
    // out reaches the store of this run rather than a new one.
    Application->DestroyComponents();
    if (FormReference) *FormReference = nullptr;
    delete frmCLSplashForm;
    // The proxy and sounds the browsers changed are put back.
    EmbeddedBrowserUnitStop();
    FreeSettingsInstance();
}
