// The whole program on a display against the stand-in site, driven by real
// input through the X server: starting and ending it with a folder of its
// own, finding its windows, clicking and typing, and reading the screen.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "SiteServer.h"
#include "support/desktopbus.h"
#include "support/screen.h"
#include "support/tempdir.h"

namespace e2e {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Where things sit in the main window, from its outer top-left: the skin's
// caption and menu bar, the search row, then the left menu (150 wide) and
// the page in its skinned panel.
inline constexpr int kSearchY = 78;
inline constexpr int kMenuX = 60, kMenuTop = 114, kMenuStep = 24;
inline constexpr int kPageLeft = 160;
inline constexpr int kPageTop = 103;
// The caption's close and minimize buttons, from the window's top-right
// corner.
inline constexpr int kCloseFromRight = 23, kMinimizeFromRight = 111, kCloseY = 16;
// The download list's first row, and the items of its menu from the point
// it opened at.
inline constexpr int kListLeft = 16, kListRowY = 590;
inline constexpr int kMenuItemX = 40, kOpenFileItemY = 17, kOpenFolderItemY = 43, kRetryItemY = 78;
// The list shows seven rows of 18 pixels; its bar stands at its right.
inline constexpr int kListRows = 7, kListRowStep = 18, kListBarX = 965;
// The menu bar: "View" (English) and "Ansicht" (the test's German), the
// items "Change Language" and, in its submenu, "English" and the second
// language.
inline constexpr int kMenuBarY = 41, kViewX = 70, kViewGermanX = 83;
inline constexpr int kLanguageItemX = 130, kLanguageItemY = 223;
inline constexpr int kSubmenuX = 275, kEnglishItemY = 249, kSecondLanguageItemY = 275;
// The download list's "Options..." button.
inline constexpr int kOptionsX = 73, kOptionsY = 553;
// In the result page (its style sheet fixes rows and pager).
inline constexpr int kRowTop = 64, kRowHeight = 30;
inline constexpr int kPlayX = 20, kDownloadX = 80;
inline constexpr int kPagerY = 45, kPagerFirstX = 74, kPagerStep = 24;

inline std::string Output(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen((cmd + " 2>/dev/null").c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

inline std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

inline int Shell(const std::string& cmd) {
    return std::system((cmd + " >/dev/null 2>&1").c_str());
}

inline bool WaitFor(const std::function<bool()>& cond, int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        if (cond()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return cond();
}

struct Window {
    std::string id;
    int x = 0, y = 0, w = 0, h = 0;
};

// Where an X window is, and its size.
inline Window GeometryOf(const std::string& id) {
    std::istringstream geo(Output("xdotool getwindowgeometry --shell " + id));
    std::string line;
    Window w{id};
    while (std::getline(geo, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string k = line.substr(0, eq);
        const int v = std::atoi(line.c_str() + eq + 1);
        if (k == "X") w.x = v;
        if (k == "Y") w.y = v;
        if (k == "WIDTH") w.w = v;
        if (k == "HEIGHT") w.h = v;
    }
    return w;
}

// The newest visible window whose title is exactly name.
inline bool FindWindow(const std::string& name, Window& win) {
    std::istringstream ids(Output("xdotool search --onlyvisible --name '^" + name + "'"));
    std::string id;
    Window best;
    while (ids >> id) {
        const Window w = GeometryOf(id);
        // The program's hidden helper windows are tiny.
        if (w.w > 100 && w.w * w.h > best.w * best.h) best = w;
    }
    if (best.id.empty()) return false;
    win = best;
    return true;
}

// A window manager runs on the display (it announces itself on the root).
inline bool WindowManaged() {
    return Output("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") != std::string::npos;
}

// The window manager shows the window as an icon only.
inline bool Iconic(const std::string& id) {
    return Output("xprop -id " + id + " WM_STATE").find("Iconic") != std::string::npos;
}

inline std::string Probe(const std::string& file, const std::string& entries) {
    return Output("ffprobe -v error -show_entries " + entries +
                  " -of default=noprint_wrappers=1 '" + file + "'");
}

// The pixels of a screen rectangle.
inline std::vector<COLORREF> Pixels(int x, int y, int w, int h) {
    std::vector<COLORREF> out;
    guitest::Screenshot shot;
    if (!guitest::captureScreen(shot)) return out;
    for (int j = y; j < y + h && j < shot.h; ++j)
        for (int i = x; i < x + w && i < shot.w; ++i)
            out.push_back(shot.at(i, j));
    return out;
}

// A value as a list file's comma text holds it.
inline std::string CommaItem(const std::string& text) {
    if (text.find_first_of(" ,\"") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// Dark pixels (text) in a screen rectangle.
inline int DarkPixels(int x, int y, int w, int h) {
    guitest::Screenshot shot;
    if (!guitest::captureScreen(shot)) return -1;
    int n = 0;
    for (int j = y; j < y + h && j < shot.h; ++j)
        for (int i = x; i < x + w && i < shot.w; ++i) {
            const COLORREF c = shot.at(i, j);
            if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 100) ++n;
        }
    return n;
}

class ProgramE2E : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        ASSERT_TRUE(bus.Start());
        ASSERT_TRUE(desktop.Start());
        ASSERT_TRUE(site.Start());
        out = dir.file("music");
        fs::create_directories(out);
        // What the desktop is asked to open is written down, not opened.
        dir.write("bin/xdg-open",
                  "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" +
                      dir.file("opened.log") + "'\n");
        fs::permissions(dir.file("bin/xdg-open"), fs::perms::owner_all);
        fs::create_directories(dir.file("run"));
        fs::permissions(dir.file("run"), fs::perms::owner_all);
    }
    void TearDown() override {
        Stop(false);
        site.Stop();
    }

    // The settings a user of the site would have, in a fresh settings folder;
    // the lines of extra ("key=value") come first, so they win.
    void WriteSettings(const std::string& extra = {}, const std::string& sections = {}) {
        std::string text = "[setting]\n" + extra;
        for (const auto& [key, value] : site::SiteSettings(site.Base()))
            text += key + "=" + (value.front() == ' ' ? "\"" + value + "\"" : value) + "\n";
        text += "App.Splash=0\nUpdate.BeginAuto=0\nSettings.MaxTasks=2\n"
                "Settings.DownloadListVisible=1\nMusicSaveTo=" +
                out + "\n" + sections;
        for (const char* root : {"config", "common"})
            dir.write(std::string(root) + "/" + DataFolderName() + "/setting.dat", text);
    }
    // The name of the program's data folder under the configuration folders:
    // the one the shipped configuration names.
    static std::string DataFolderName() { return "lantrove"; }
    // A file of the data folder the program chose (all users' or the user's).
    std::string DataFile(const std::string& name) {
        for (const char* root : {"common", "config"}) {
            const std::string path =
                dir.file(std::string(root) + "/" + DataFolderName() + "/" + name);
            if (fs::exists(path)) return path;
        }
        return {};
    }
    std::string ListFile() {
        const std::string file = DataFile("downloadlist.sav");
        return file.empty() ? std::string() : Read(file);
    }
    static std::string Read(const std::string& file) {
        std::ifstream f(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    // Files in the music folder whose names end so.
    std::vector<std::string> OutFiles(const std::string& ending) {
        std::vector<std::string> files;
        for (const auto& e : fs::directory_iterator(out)) {
            const std::string name = e.path().filename().string();
            if (name.size() >= ending.size() &&
                name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
                files.push_back(name);
        }
        return files;
    }
    void SetSwitch(const std::string& name, const std::string& value) {
        site::Switches s = site.GetSwitches();
        ASSERT_TRUE(site::ApplySwitch(s, name, value));
        site.SetSwitches(s);
    }
    // Download of a result row, accepted as the dialog offers it.
    void QueueRow(int row) {
        ClickRow(row, kDownloadX);
        Window dlg;
        ASSERT_TRUE(WaitFor([&] { return FindWindow("Download MP3", dlg); }, 15000)) << row;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        Key("Return");
        ASSERT_TRUE(WaitFor([&] { return !FindWindow("Download MP3", dlg); }, 10000)) << row;
    }
    // Ends the program at once, as a crash or a power cut would.
    void Kill() {
        ASSERT_GT(pid, 0);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
    // Asks the program to close as another instance's "-s" does; true when
    // it ended by itself.
    bool CloseByRequest() {
        if (pid <= 0 || !RunSecond("-s")) return false;
        int status = 0;
        if (!WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 30000)) return false;
        pid = -1;
        return true;
    }

    // What the settings files hold now, the user's and the common one.
    std::string SettingsText() {
        return dir.read("config/" + DataFolderName() + "/setting.dat") +
               dir.read("common/" + DataFolderName() + "/setting.dat");
    }
    static std::string Program() { return std::string(LANTROVE_PROGRAM_DIR) + "/lantrove"; }

    // Runs the program with this test's folders; Switch is its one parameter
    // when given.
    pid_t Launch(const char* Switch = nullptr) {
        const pid_t child = fork();
        if (child == 0) {
            setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
            setenv("LANTROVE_COMMON_APPDATA", dir.file("common").c_str(), 1);
            setenv("HOME", dir.path().c_str(), 1);
            // Instances of this test find each other, and no other run's.
            setenv("XDG_RUNTIME_DIR", dir.file("run").c_str(), 1);
            setenv("LANTROVE_IPC_NAMESPACE", ("lantrove-e2e-" + std::to_string(getppid())).c_str(),
                   1);
            setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
            const char* path = std::getenv("PATH");
            setenv("PATH", (dir.file("bin") + ":" + (path ? path : "/usr/bin:/bin")).c_str(), 1);
            const std::string log = dir.file("program.log");
            freopen(log.c_str(), "a", stdout);
            freopen(log.c_str(), "a", stderr);
            execl(Program().c_str(), Program().c_str(), Switch, static_cast<char*>(nullptr));
            _exit(127);
        }
        return child;
    }
    // A second instance, which hands over to the running one and ends.
    bool RunSecond(const char* Switch = nullptr) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            const pid_t second = Launch(Switch);
            if (second < 0) return false;
            int status = 0;
            if (!WaitFor([&] { return waitpid(second, &status, WNOHANG) == second; }, 20000)) {
                kill(second, SIGKILL);
                waitpid(second, nullptr, 0);
                return false;
            }
            if (!WIFEXITED(status)) return false;
            // 1: no display yet (see Start).
            if (WEXITSTATUS(status) != 1) return WEXITSTATUS(status) == 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        }
        return false;
    }

    void Start() {
        // The display server starts afresh when its last client leaves, and
        // refuses connections meanwhile: a program that found no display
        // is started again.
        for (int attempt = 0; attempt < 3; ++attempt) {
            pid = Launch();
            ASSERT_GE(pid, 0);
            int status = 0;
            bool ended = false;
            WaitFor(
                [&] {
                    ended = waitpid(pid, &status, WNOHANG) == pid;
                    return ended || FindWindow("Lantrove", main);
                },
                30000);
            if (!ended) break;
            pid = -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        }
        ASSERT_TRUE(pid > 0 && FindWindow("Lantrove", main)) << dir.read("program.log");
        Shell("xdotool windowactivate --sync " + main.id);
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
    }
    // Ends the program: as another instance's close request when graceful
    // (the list is saved), otherwise at once.
    void Stop(bool graceful) {
        if (pid <= 0) return;
        if (graceful) {
            RunSecond("-s");
            int status = 0;
            if (WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 20000)) {
                pid = -1;
                return;
            }
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }

    void ClickAt(int x, int y) {
        Shell("xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y) +
              " click 1");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    void ClickPage(int x, int y) { ClickAt(main.x + kPageLeft + x, main.y + kPageTop + y); }
    void ClickRow(int row, int x) { ClickPage(x, kRowTop + row * kRowHeight + kRowHeight / 2); }
    void ClickPager(int label) { ClickPage(kPagerFirstX + (label - 1) * kPagerStep, kPagerY); }
    void Type(const std::string& text) {
        Shell("xdotool type --delay 20 '" + text + "'");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    void Key(const std::string& key) {
        Shell("xdotool key " + key);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }

    int CountRequests(const std::string& prefix) {
        int n = 0;
        for (const std::string& r : site.Requests())
            if (r.rfind(prefix, 0) == 0) ++n;
        return n;
    }
    bool WaitRequest(const std::string& prefix, int count, int ms = 20000) {
        return WaitFor([&] { return CountRequests(prefix) >= count; }, ms);
    }

    // Searches a keyword through the search box. A program still starting
    // on a loaded machine may not have its box ready for the first click and
    // keys: the search is typed again (replacing what the box holds) until
    // the site sees it.
    void Search(const std::string& keyword) {
        const int before = CountRequests("/search");
        bool searched = false;
        for (int attempt = 0; attempt < 3 && !searched; ++attempt) {
            ClickAt(main.x + kPageLeft + 100, main.y + kSearchY);
            Key("ctrl+a");
            Type(keyword);
            Key("Return");
            searched = WaitRequest("/search", before + 1, 10000);
        }
        ASSERT_TRUE(searched) << dir.read("program.log");
        // The page renders.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    }

    // The saved download list of the data folders: finished tasks, each a
    // title and the file it was saved to.
    void WriteList(const std::vector<std::pair<std::string, std::string>>& Tasks) {
        std::string text = "[Global]\nItemCount=" + std::to_string(Tasks.size()) + "\n";
        for (std::size_t i = 0; i < Tasks.size(); ++i) {
            const std::string n = std::to_string(i);
            text += "[" + n + "]\nURL=" + site.Base() + "/watch?v=saved" + n +
                    "\nFileName=" + dir.file("saved" + n + ".mtd") +
                    "\nCaption=\nComment=" + CommaItem("Title=" + Tasks[i].first) + "," +
                    CommaItem("SavePath=" + Tasks[i].second) +
                    ",Long=61\nState=5\nINeedRedirect=0\nRedirectTheme=0\nRedirectURL=\n";
        }
        for (const char* root : {"config", "common"})
            dir.write(std::string(root) + "/" + DataFolderName() + "/downloadlist.sav", text);
    }
    // The list the program saved last (the folder it uses holds the newer).
    std::string SavedList() {
        std::string newest;
        fs::file_time_type when{};
        for (const char* root : {"config", "common"}) {
            const fs::path p = fs::path(dir.file(root)) / DataFolderName() / "downloadlist.sav";
            std::error_code ec;
            const auto t = fs::last_write_time(p, ec);
            if (!ec && (newest.empty() || t > when)) {
                when = t;
                newest = dir.read(std::string(root) + "/" + DataFolderName() + "/downloadlist.sav");
            }
        }
        return newest;
    }
    // What the desktop was asked to open, one argument a line.
    std::vector<std::string> Opened() {
        std::vector<std::string> lines;
        std::istringstream in(dir.read("opened.log"));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    bool WaitOpened(std::size_t count) {
        return WaitFor([&] { return Opened().size() >= count; }, 10000);
    }
    void DoubleClickAt(int x, int y) {
        Shell("xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y) +
              " click --repeat 2 --delay 80 1");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    // A row of the list as the list shows it now (0: the top one).
    int ListRowY(int row) { return main.y + kListRowY + 8 + row * kListRowStep; }
    int ListX() { return main.x + kListLeft + 40; }

    std::vector<std::string> Mp3s() {
        std::vector<std::string> files;
        for (const auto& e : fs::directory_iterator(out))
            if (e.path().extension() == ".mp3") files.push_back(e.path().string());
        return files;
    }
    // Text in the first row of the download list.
    int FirstListRowInk() { return DarkPixels(main.x + kListLeft, main.y + kListRowY, 290, 15); }

    TempDir dir;
    // The desktop's tray: the close button puts the window there.
    guitest::PrivateBus bus;
    guitest::DesktopServices desktop{dir.file("desktop.log")};
    site::SiteServer site;
    std::string out;
    pid_t pid = -1;
    Window main;
};

} // namespace e2e
