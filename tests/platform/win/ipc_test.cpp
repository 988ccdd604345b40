// Messages between two real processes: this test program started again in
// the peer role.
#include "platform/win/windows.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace {

constexpr const char* kRoleVar = "LANTROVE_WIN_IPC_PEER";
constexpr const char* kOutVar = "LANTROVE_WIN_IPC_OUT";

UINT g_echo = 0;
UINT g_quit = 0;

LRESULT PeerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == g_echo) return LRESULT(wParam + 1);
    if (msg == g_quit) {
        PostQuitMessage(0);
        return 1;
    }
    if (msg == WM_COPYDATA) {
        auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        std::ofstream out(std::getenv(kOutVar), std::ios::binary | std::ios::app);
        out.write(static_cast<const char*>(cds->lpData), cds->cbData);
        return LRESULT(cds->cbData + cds->dwData);
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

// The peer: one window of class "TInstancePeer", answering until told to quit.
TEST(InstancePeer, Serve) {
    if (!std::getenv(kRoleVar)) GTEST_SKIP() << "runs only as the peer of the tests below";
    RegisterWindowMessage("Peer Padding"); // so the numbers differ from the other side's
    g_echo = RegisterWindowMessage("Peer Echo");
    g_quit = RegisterWindowMessage("Peer Quit");
    WNDCLASS wc;
    wc.lpfnWndProc = PeerProc;
    wc.lpszClassName = "TInstancePeer";
    RegisterClass(wc);
    HWND h = CreateWindowEx(0, "TInstancePeer", "peer", 0, 0, 0, 1, 1, 0, 0, nullptr, nullptr);
    ASSERT_TRUE(winipc::Publish());
    MSG msg;
    while (GetMessage(&msg, 0, 0, 0))
        DispatchMessage(&msg);
    DestroyWindow(h);
}

class InstanceMessagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("LANTROVE_IPC_DIR", dir.path().c_str(), 1);
        setenv(kOutVar, dir.file("received").c_str(), 1);
        winipc::SetTimeoutMs(5000);
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        winipc::SetTimeoutMs(5000);
        unsetenv("LANTROVE_IPC_DIR");
    }

    void StartPeer() {
        setenv(kRoleVar, "1", 1);
        std::string self = "/proc/self/exe";
        std::string filter = "--gtest_filter=InstancePeer.Serve";
        char* argv[] = {self.data(), filter.data(), nullptr};
        ASSERT_EQ(posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, environ), 0);
        unsetenv(kRoleVar);
    }

    // The peer's window, once the peer answers.
    HWND WaitForPeer() {
        for (int i = 0; i < 3000; ++i) {
            HWND h = FindWindowEx(0, 0, "TInstancePeer", nullptr);
            if (h) return h;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 0;
    }

    bool SocketLeft() {
        for (auto& e : std::filesystem::directory_iterator(dir.path()))
            if (e.path().extension() == ".sock") return true;
        return false;
    }

    TempDir dir;
    pid_t pid = 0;
};

TEST_F(InstanceMessagesTest, FindsTheOtherInstanceAndExchangesMessagesAndData) {
    RegisterWindowMessage("Other Padding A");
    RegisterWindowMessage("Other Padding B");
    UINT echo = RegisterWindowMessage("Peer Echo");
    UINT quit = RegisterWindowMessage("Peer Quit");
    StartPeer();
    HWND peer = WaitForPeer();
    ASSERT_NE(peer, 0u);
    EXPECT_TRUE(IsWindow(peer));
    EXPECT_EQ(GetClassName(peer), "TInstancePeer");
    EXPECT_EQ(FindWindowEx(0, peer, "TInstancePeer", nullptr), 0u);
    EXPECT_EQ(FindWindowEx(0, 0, "TNoSuchClass", nullptr), 0u);

    // The registered message arrives by name, whatever number it has there.
    EXPECT_EQ(SendMessage(peer, echo, 41, 0), 42);

    // The bytes of a copy-data record arrive whole, zero bytes included.
    std::u16string text = u"/home/ü/song 1.mp3";
    text.push_back(u'\0');
    COPYDATASTRUCT cds;
    cds.dwData = 3;
    cds.cbData = DWORD(text.size() * 2);
    cds.lpData = text.data();
    EXPECT_EQ(SendMessage(peer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)),
              LRESULT(cds.cbData + 3));
    EXPECT_EQ(dir.read("received"),
              std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));

    EXPECT_EQ(SendMessage(peer, quit, 0, 0), 1);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    pid = 0;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // Gone: sends fail, and the walk finds nothing.
    LRESULT r = -5;
    EXPECT_EQ(SendMessageTimeout(peer, echo, 1, 0, SMTO_NORMAL, 1000, &r), 0);
    EXPECT_EQ(r, -5);
    EXPECT_FALSE(IsWindow(peer));
    EXPECT_EQ(FindWindowEx(0, 0, "TInstancePeer", nullptr), 0u);
}

TEST_F(InstanceMessagesTest, HungOrKilledPeerGivesFailedSendsNotAHang) {
    UINT echo = RegisterWindowMessage("Peer Echo");
    StartPeer();
    HWND peer = WaitForPeer();
    ASSERT_NE(peer, 0u);

    winipc::SetTimeoutMs(300);
    kill(pid, SIGSTOP);
    LRESULT r = -5;
    EXPECT_EQ(SendMessageTimeout(peer, echo, 1, 0, SMTO_NORMAL, 300, &r), 0);
    EXPECT_EQ(SendMessage(peer, echo, 1, 0), 0);
    EXPECT_EQ(FindWindowEx(0, 0, "TInstancePeer", nullptr), 0u);

    // Killed: its socket stays behind and is cleared by the next walk.
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = 0;
    EXPECT_TRUE(SocketLeft());
    EXPECT_EQ(FindWindowEx(0, 0, "TInstancePeer", nullptr), 0u);
    EXPECT_FALSE(SocketLeft());
    EXPECT_EQ(SendMessage(peer, echo, 1, 0), 0);
}

} // namespace
