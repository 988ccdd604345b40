// The program itself on a display against the stand-in site, driven by real
// input (pointer and keys through the X server): a keyword to its result
// pages, a preview the player plays through the web engine, a Download
// through the prepare-download dialog to a tagged MP3, the saved download
// list on the next start, and the category and hot-songs pages. The site's
// request log shows what the program asked for.
#include <gtest/gtest.h>

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

#include "SiteServer.h"
#include "support/desktopbus.h"
#include "support/screen.h"
#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Where things sit in the main window, from its outer top-left: the skin's
// caption and menu bar, the search row, then the left menu (150 wide) and
// the page in its skinned panel.
constexpr int kSearchY = 78;
constexpr int kMenuX = 60, kMenuTop = 114, kMenuStep = 24;
constexpr int kPageLeft = 160;
constexpr int kPageTop = 103;
// The caption's close button, from the window's top-right corner.
constexpr int kCloseFromRight = 23, kCloseY = 16;
// The download list's first row, and the items of its menu from the point
// it opened at.
constexpr int kListLeft = 16, kListRowY = 590;
constexpr int kMenuItemX = 40, kRetryItemY = 78;
// In the result page (its style sheet fixes rows and pager).
constexpr int kRowTop = 64, kRowHeight = 30;
constexpr int kPlayX = 20, kDownloadX = 80;
constexpr int kPagerY = 45, kPagerFirstX = 74, kPagerStep = 24;

std::string Output(const std::string& cmd) {
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

int Shell(const std::string& cmd) {
    return std::system((cmd + " >/dev/null 2>&1").c_str());
}

bool WaitFor(const std::function<bool()>& cond, int ms) {
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

// The newest visible window whose title is exactly name.
bool FindWindow(const std::string& name, Window& win) {
    std::istringstream ids(Output("xdotool search --onlyvisible --name '^" + name + "'"));
    std::string id;
    Window best;
    while (ids >> id) {
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
        // The program's hidden helper windows are tiny.
        if (w.w > 100 && w.w * w.h > best.w * best.h) best = w;
    }
    if (best.id.empty()) return false;
    win = best;
    return true;
}

std::string Probe(const std::string& file, const std::string& entries) {
    return Output("ffprobe -v error -show_entries " + entries +
                  " -of default=noprint_wrappers=1 '" + file + "'");
}

// Dark pixels (text) in a screen rectangle.
int DarkPixels(int x, int y, int w, int h) {
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
        fs::create_directories(dir.file("run"));
        fs::permissions(dir.file("run"), fs::perms::owner_all);
    }
    void TearDown() override {
        Stop(false);
        site.Stop();
    }

    // The settings a user of the site would have, in a fresh settings folder.
    void WriteSettings(const std::string& extra = {}) {
        std::string text = "[setting]\n";
        for (const auto& [key, value] : site::SiteSettings(site.Base()))
            text += key + "=" + (value.front() == ' ' ? "\"" + value + "\"" : value) + "\n";
        text += "App.Splash=0\nUpdate.BeginAuto=0\nSettings.MaxTasks=2\n"
                "Settings.DownloadListVisible=1\nMusicSaveTo=" +
                out + "\n" + extra;
        std::string word = fs::canonical(Program()).string();
        for (char& c : word)
            if (c == '/' || c == '\\' || c == ':') c = '_';
        for (const char* root : {"config", "common"})
            dir.write(std::string(root) + "/" + word + "/setting.dat", text);
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

    // Searches a keyword through the search box (focused at start).
    void Search(const std::string& keyword) {
        const int before = CountRequests("/search");
        ClickAt(main.x + kPageLeft + 100, main.y + kSearchY);
        Key("ctrl+a");
        Type(keyword);
        Key("Return");
        ASSERT_TRUE(WaitRequest("/search", before + 1)) << dir.read("program.log");
        // The page renders.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    }

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

TEST_F(ProgramE2E, KeywordToTaggedMp3AndTheListOnTheNextStart) {
    WriteSettings();
    Start();
    Search("rock");
    ASSERT_EQ(CountRequests("/search?q=rock&page=1"), 1);

    ClickPager(2);
    ASSERT_TRUE(WaitRequest("/search?q=rock&page=2", 1)) << dir.read("program.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ClickPager(1);
    ASSERT_TRUE(WaitRequest("/search?q=rock&page=1", 2));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));

    // A preview: the player resolves the entry and plays its media address
    // through the web engine, which asks the site for the media.
    ClickRow(0, kPlayX);
    EXPECT_TRUE(WaitFor(
        [&] {
            for (const std::string& r : site.Requests())
                if (r.rfind("/get_video", 0) == 0 && r.find("Lt4pZ8xQw1A") != std::string::npos)
                    return true;
            return false;
        },
        30000))
        << dir.read("program.log");

    // Download asks first. In the dialog (OK has the focus) the album and
    // artist are typed in, and Enter accepts.
    EXPECT_EQ(FirstListRowInk(), 0);
    ClickRow(0, kDownloadX);
    Window dlg;
    ASSERT_TRUE(WaitFor([&] { return FindWindow("Download MP3", dlg); }, 15000));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Key("shift+Tab");
    Type("Album One");
    Key("shift+Tab");
    Type("Artist One");
    Key("Return");
    ASSERT_TRUE(WaitFor([&] { return !FindWindow("Download MP3", dlg); }, 10000));
    ASSERT_TRUE(WaitFor([&] { return Mp3s().size() == 1; }, 90000)) << dir.read("program.log");
    // Tagged once converted.
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    const std::string mp3 = Mp3s()[0];
    // The file name: artist, "-", then the title tag (its first 30 characters).
    EXPECT_NE(mp3.find("Artist One-Café del Mar — Ελληνικά"), std::string::npos) << mp3;
    const std::string stream =
        Probe(mp3, "stream=codec_name,sample_rate,channels,bit_rate:format=duration");
    EXPECT_NE(stream.find("codec_name=mp3"), std::string::npos) << stream;
    EXPECT_NE(stream.find("sample_rate=44100"), std::string::npos) << stream;
    EXPECT_NE(stream.find("channels=2"), std::string::npos) << stream;
    EXPECT_NE(stream.find("bit_rate=128000"), std::string::npos) << stream;
    const auto d = stream.find("duration=");
    ASSERT_NE(d, std::string::npos);
    EXPECT_NEAR(std::atof(stream.c_str() + d + 9), 30.0, 1.0);
    const std::string tags = Probe(mp3, "format_tags=title,artist,album");
    EXPECT_NE(tags.find("title=Café del Mar — Ελληνικά & Русс"), std::string::npos) << tags;
    EXPECT_NE(tags.find("artist=Artist One"), std::string::npos) << tags;
    EXPECT_NE(tags.find("album=Album One"), std::string::npos) << tags;
    // The ID3v1 tag at the end: title, artist and album fields of 30 bytes.
    std::string bytes;
    {
        std::ifstream f(mp3, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(f), {});
    }
    ASSERT_GT(bytes.size(), 128u);
    const std::string v1 = bytes.substr(bytes.size() - 128);
    EXPECT_EQ(v1.substr(0, 3), "TAG");
    EXPECT_EQ(v1.substr(3, 4), "Caf\xC3");
    EXPECT_EQ(v1.substr(33, 10), "Artist One");
    EXPECT_EQ(v1.substr(63, 9), "Album One");
    EXPECT_GT(FirstListRowInk(), 20);

    // The caption's close button puts the window in the tray; starting the
    // program again brings it back from there.
    ClickAt(main.x + main.w - kCloseFromRight, main.y + kCloseY);
    EXPECT_TRUE(WaitFor([&] { return !FindWindow("Lantrove", main); }, 10000));
    EXPECT_FALSE(guitest::Logged(desktop.Log(), "register").empty()) << dir.read("program.log");
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "the close button ended the program";
    EXPECT_TRUE(RunSecond()) << dir.read("program.log");
    ASSERT_TRUE(WaitFor([&] { return FindWindow("Lantrove", main); }, 10000))
        << dir.read("program.log");

    // Closing saves the list; the next start shows it again.
    Stop(true);
    ASSERT_EQ(pid, -1) << "the program did not end on the close request";
    Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    EXPECT_GT(FirstListRowInk(), 20);
    Stop(false);
}

// Three downloads at once with a task limit of 2: never more than two media
// transfers at the same time (each is slowed so they would overlap); the
// broken media file ends as failed and leaves no MP3 behind, the other two
// finish.
TEST_F(ProgramE2E, ThreeDownloadsWithALimitOfTwoAndABrokenFile) {
    WriteSettings();
    Start();
    Search("pop");
    site::Switches slow = site.GetSwitches();
    slow.PaceMs = 200;
    site.SetSwitches(slow);
    for (int row : {0, 2, 6}) {
        ClickRow(row, kDownloadX);
        Window dlg;
        ASSERT_TRUE(WaitFor([&] { return FindWindow("Download MP3", dlg); }, 15000)) << row;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        Key("Return");
        ASSERT_TRUE(WaitFor([&] { return !FindWindow("Download MP3", dlg); }, 10000)) << row;
    }
    ASSERT_TRUE(WaitFor([&] { return Mp3s().size() == 2; }, 90000)) << dir.read("program.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    EXPECT_EQ(Mp3s().size(), 2u);
    for (const std::string& f : Mp3s())
        EXPECT_EQ(f.find("Broken"), std::string::npos) << f;
    // All three were asked of the site.
    for (const char* id : {"Lt4pZ8xQw1A", "Zx3-Lm8vB0q", "Br0kEnF1le0"}) {
        bool asked = false;
        for (const std::string& r : site.Requests())
            asked = asked || (r.rfind("/watch", 0) == 0 && r.find(id) != std::string::npos);
        EXPECT_TRUE(asked) << id;
    }
    EXPECT_EQ(site.PeakMediaTransfers(), 2);
    Stop(false);
}

// A media transfer that breaks off ends as failed; the list's "Download
// again" (offered for failed rows only) then fetches it whole.
TEST_F(ProgramE2E, ABrokenTransferFailsAndDownloadAgainFinishesIt) {
    WriteSettings();
    Start();
    Search("pop");
    site::Switches drop = site.GetSwitches();
    drop.Drop = true;
    drop.DropPath = "/get_video";
    site.SetSwitches(drop);
    auto mediaAsked = [&] {
        int n = 0;
        for (const std::string& r : site.Requests())
            if (r.rfind("/get_video", 0) == 0 && r.find("Lt4pZ8xQw1A") != std::string::npos) ++n;
        return n;
    };
    ClickRow(0, kDownloadX);
    Window dlg;
    ASSERT_TRUE(WaitFor([&] { return FindWindow("Download MP3", dlg); }, 15000));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Key("Return");
    ASSERT_TRUE(WaitFor([&] { return !FindWindow("Download MP3", dlg); }, 10000));
    ASSERT_TRUE(WaitFor([&] { return mediaAsked() >= 1; }, 30000)) << dir.read("program.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    EXPECT_TRUE(Mp3s().empty());
    const int asked = mediaAsked();

    site.SetSwitches(site::Switches());
    // The row's menu, then its "Download again".
    const int rowX = main.x + kListLeft + 40, rowY = main.y + kListRowY + 7;
    Shell("xdotool mousemove --sync " + std::to_string(rowX) + " " + std::to_string(rowY) +
          " click 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Shell("xdotool click 3");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    ClickAt(rowX + kMenuItemX, rowY + kRetryItemY);
    ASSERT_TRUE(WaitFor([&] { return Mp3s().size() == 1; }, 90000)) << dir.read("program.log");
    EXPECT_GT(mediaAsked(), asked);
    Stop(false);
}

TEST_F(ProgramE2E, HotSongsAndCategoryPages) {
    WriteSettings();
    Start();
    // The desktop shows the program's own icon for its window (48 x 48).
    EXPECT_NE(Output("xprop -id " + main.id + " -f _NET_WM_ICON 32c ' = $0+' _NET_WM_ICON")
                  .find("= 48, 48, "),
              std::string::npos);
    // The left menu: Hot Songs, then Categories.
    ClickAt(main.x + kMenuX, main.y + kMenuTop + kMenuStep * 2);
    EXPECT_TRUE(WaitRequest("/hot", 1)) << dir.read("program.log");
    ClickAt(main.x + kMenuX, main.y + kMenuTop + kMenuStep * 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    // The first category's keyword list comes from the site.
    ClickPage(22, 50);
    EXPECT_TRUE(WaitRequest("/category?c=0&p=1", 1)) << dir.read("program.log");
    Stop(false);
}

} // namespace
