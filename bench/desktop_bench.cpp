// The program as the desktop sees it, against a bare toolkit window with a
// web view showing the same welcome page (bench/reference/bare_window), in
// the same run: time from starting the process to its main window being
// fully painted (no pixel of it changes for half a second), the memory of
// the whole process tree then and three seconds later, at rest
// (proportional set size, web processes included), and how often the tree
// wakes up a second at rest (the quietest of five three-second spells after
// that). Run under xvfb-run (a display without a window manager).
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Run {
    double paintedMs = 0; // start to the last change of the window's pixels
    double pssMiB = 0;    // memory of the process tree once painted
    double wakeups = 0;   // context switches a second of the tree at rest
    bool ok = false;
};

std::string ReadFile(const std::string& path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// The process and every process below it.
std::vector<pid_t> Tree(pid_t root) {
    std::map<pid_t, std::vector<pid_t>> children;
    for (const auto& e : fs::directory_iterator("/proc")) {
        const std::string name = e.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string stat = ReadFile(e.path().string() + "/stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(stat.substr(close + 2));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        children[parent].push_back(pid_t(std::stoi(name)));
    }
    std::vector<pid_t> all{root};
    for (size_t i = 0; i < all.size(); ++i)
        for (pid_t c : children[all[i]])
            all.push_back(c);
    return all;
}

double PssMiB(const std::vector<pid_t>& tree) {
    double kb = 0;
    for (pid_t p : tree) {
        std::istringstream s(ReadFile("/proc/" + std::to_string(p) + "/smaps_rollup"));
        std::string line;
        while (std::getline(s, line))
            if (line.rfind("Pss:", 0) == 0) kb += std::atof(line.c_str() + 4);
    }
    return kb / 1024;
}

// Context switches so far of every thread of the tree, by thread.
std::map<std::string, long> Switches(const std::vector<pid_t>& tree) {
    std::map<std::string, long> n;
    for (pid_t p : tree) {
        const std::string tasks = "/proc/" + std::to_string(p) + "/task";
        std::error_code ec;
        for (const auto& t : fs::directory_iterator(tasks, ec)) {
            std::istringstream s(ReadFile(t.path().string() + "/status"));
            std::string line;
            long count = 0;
            while (std::getline(s, line))
                if (line.find("ctxt_switches:") != std::string::npos)
                    count += std::atol(line.c_str() + line.find(':') + 1);
            n[t.path().string()] = count;
        }
    }
    return n;
}

// Switches between two looks: of threads seen in both, and all of those that
// started between them (a thread that ended is not counted).
long SwitchesBetween(const std::map<std::string, long>& before,
                     const std::map<std::string, long>& after) {
    long n = 0;
    for (const auto& [task, count] : after) {
        const auto was = before.find(task);
        n += was == before.end() ? count : std::max(0L, count - was->second);
    }
    return n;
}

// The largest viewable top-level window whose name begins with prefix.
Window FindTop(Display* d, const std::string& prefix) {
    Window root = DefaultRootWindow(d), parent = 0, *kids = nullptr, best = 0;
    unsigned n = 0;
    int bestArea = 0;
    if (!XQueryTree(d, root, &root, &parent, &kids, &n)) return 0;
    for (unsigned i = 0; i < n; ++i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(d, kids[i], &a) || a.map_state != IsViewable) continue;
        char* name = nullptr;
        if (!XFetchName(d, kids[i], &name) || !name) continue;
        const bool match = std::string(name).rfind(prefix, 0) == 0;
        XFree(name);
        if (match && a.width * a.height > bestArea) {
            bestArea = a.width * a.height;
            best = kids[i];
        }
    }
    if (kids) XFree(kids);
    return best;
}

// The window's pixels; empty when it cannot be read.
std::vector<uint32_t> Pixels(Display* d, Window w) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a)) return {};
    XImage* img = XGetImage(d, w, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    if (!img) return {};
    // Rows as the server sends them (32 bits a pixel at depth 24).
    std::vector<uint32_t> out(size_t(img->bytes_per_line / 4) * size_t(a.height));
    std::memcpy(out.data(), img->data, out.size() * 4);
    XDestroyImage(img);
    return out;
}

// Pixels that differ; a size change counts as all of them.
size_t Changed(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size()) return std::max(a.size(), b.size());
    size_t n = 0;
    for (size_t i = 0; i < a.size(); ++i)
        n += a[i] != b[i];
    return n;
}

// A window can go between finding it and reading it (the splash does): such
// a request fails and the window is looked for again.
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

// Starts argv in a fresh data folder and measures it; the process tree is
// ended afterwards.
Run Measure(const std::vector<std::string>& argv, const std::string& title, int restSpells = 0,
            bool memoryAtRest = false) {
    Run run;
    Display* d = XOpenDisplay(nullptr);
    if (!d) return run;
    XSetErrorHandler(IgnoreXError);
    char folder[] = "/tmp/desktop-bench-XXXXXX";
    if (!mkdtemp(folder)) return run;
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        setenv("HOME", folder, 1);
        setenv("XDG_CONFIG_HOME", (std::string(folder) + "/config").c_str(), 1);
        setenv("XDG_CACHE_HOME", (std::string(folder) + "/cache").c_str(), 1);
        setenv("XDG_DATA_HOME", (std::string(folder) + "/data").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", folder, 1);
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    // Painted: no more than a text caret's worth of pixels changes for half
    // a second (a blinking caret is not painting).
    constexpr size_t kCaret = 64;
    std::vector<uint32_t> last;
    auto lastChange = start;
    const auto limit = start + std::chrono::seconds(30);
    while (Clock::now() < limit) {
        if (const Window w = FindTop(d, title)) {
            std::vector<uint32_t> now = Pixels(d, w);
            if (Changed(now, last) > kCaret) {
                last = std::move(now);
                lastChange = Clock::now();
            } else if (!last.empty() &&
                       Clock::now() - lastChange > std::chrono::milliseconds(500)) {
                run.ok = true;
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.paintedMs = std::chrono::duration<double, std::milli>(lastChange - start).count();
    // At rest: what the tree holds once a program has had the time to give
    // back what its start-up no longer needs.
    if (memoryAtRest) std::this_thread::sleep_for(std::chrono::seconds(3));
    run.pssMiB = PssMiB(Tree(pid));
    // At rest: the quietest of several three-second spells, so work that
    // follows the start-up once (a collection in the page's process, say)
    // is not counted, while a periodic wake-up shows in every spell.
    for (int spell = 0; spell < restSpells; ++spell) {
        const auto before = Switches(Tree(pid));
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const double rate = double(SwitchesBetween(before, Switches(Tree(pid)))) / 3;
        run.wakeups = spell == 0 ? rate : std::min(run.wakeups, rate);
    }
    kill(-pid, SIGTERM);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(-pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    XCloseDisplay(d);
    fs::remove_all(folder);
    return run;
}

const std::string kProgram = std::string(LANTROVE_PROGRAM_DIR) + "/lantrove";
const std::string kReference = std::string(LANTROVE_BENCH_DIR) + "/bare_window";
const std::string kWelcome = std::string(LANTROVE_PROGRAM_DIR) + "/res/welcome.html";

void Report(benchmark::State& state, const Run& ours, const Run& reference, double Run::*field,
            const char* unit) {
    state.counters[std::string("ours_") + unit] = ours.*field;
    state.counters[std::string("reference_") + unit] = reference.*field;
    if (reference.*field > 0) state.counters["ratio"] = ours.*field / (reference.*field);
}

// Start-up to a painted main window and its memory, against the bare web
// view window; iterations alternate the two.
void BM_StartupToPaintedWindow(benchmark::State& state) {
    Run ours, reference;
    int n = 0;
    for (auto _ : state) {
        const Run o = Measure({kProgram}, "Lantrove");
        const Run r = Measure({kReference, kWelcome}, "Bare window");
        if (!o.ok || !r.ok) {
            state.SkipWithError("a window never settled");
            return;
        }
        ours.paintedMs += o.paintedMs;
        ours.pssMiB += o.pssMiB;
        reference.paintedMs += r.paintedMs;
        reference.pssMiB += r.pssMiB;
        ++n;
        state.SetIterationTime(o.paintedMs / 1000);
    }
    ours.paintedMs /= n;
    reference.paintedMs /= n;
    Report(state, ours, reference, &Run::paintedMs, "ms");
}

void BM_MemoryOfTheProcessTree(benchmark::State& state) {
    Run ours, reference;
    for (auto _ : state) {
        ours = Measure({kProgram}, "Lantrove", 0, true);
        reference = Measure({kReference, kWelcome}, "Bare window", 0, true);
        if (!ours.ok || !reference.ok) {
            state.SkipWithError("a window never settled");
            return;
        }
        state.SetIterationTime(ours.pssMiB / 1000);
    }
    Report(state, ours, reference, &Run::pssMiB, "MiB");
}

// Wake-ups at rest: the program with its main window shown and nothing to
// do, against a toolkit window at rest.
void BM_WakeupsAtRest(benchmark::State& state) {
    Run ours, reference;
    for (auto _ : state) {
        ours = Measure({kProgram}, "Lantrove", 5);
        reference = Measure({kReference, "--rest"}, "Bare window", 5);
        if (!ours.ok || !reference.ok) {
            state.SkipWithError("a window never settled");
            return;
        }
        state.SetIterationTime(ours.wakeups / 1000);
    }
    state.counters["ours_per_s"] = ours.wakeups;
    state.counters["reference_per_s"] = reference.wakeups;
}

BENCHMARK(BM_StartupToPaintedWindow)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryOfTheProcessTree)->Iterations(1)->UseManualTime();
BENCHMARK(BM_WakeupsAtRest)->Iterations(1)->UseManualTime();

} // namespace
