// The session-end watch against a session manager and a login1 of the test's
// own, each on a private message bus, and against SIGTERM sent to this
// process.
#include "platform/os/session.h"

#include "support/tempdir.h"

#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

bool WaitFor(const std::function<bool()>& Cond, int Ms = 10000) {
    const auto end = Clock::now() + std::chrono::milliseconds(Ms);
    while (Clock::now() < end) {
        if (Cond()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Cond();
}

// A message bus of the test's own.
class PrivateBus {
public:
    bool Start(const std::string& Socket) {
        socket_ = Socket;
        const std::string address = "--address=unix:path=" + Socket;
        std::vector<std::string> args = {"dbus-daemon",
                                         "--config-file=/usr/share/dbus-1/session.conf", address,
                                         "--nofork", "--nopidfile"};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        // Its notes about limits it may not raise are no news here.
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
        const int r = posix_spawnp(&pid_, "dbus-daemon", &quiet, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&quiet);
        if (r != 0) return false;
        return WaitFor([&] {
            struct stat st {};
            return stat(Socket.c_str(), &st) == 0;
        });
    }
    ~PrivateBus() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    std::string Address() const { return "unix:path=" + socket_; }

private:
    pid_t pid_ = 0;
    std::string socket_;
};

const char* const kServices = R"XML(
<node>
  <interface name="org.gnome.SessionManager">
    <method name="RegisterClient">
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="UnregisterClient"><arg type="o" direction="in"/></method>
  </interface>
  <interface name="org.gnome.SessionManager.ClientPrivate">
    <method name="EndSessionResponse">
      <arg type="b" direction="in"/><arg type="s" direction="in"/>
    </method>
  </interface>
  <interface name="org.freedesktop.login1.Manager">
    <method name="Inhibit">
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="h" direction="out"/>
    </method>
  </interface>
</node>)XML";

constexpr const char* kClientPath = "/org/gnome/SessionManager/Client7";

// The session manager and login1 as the watch sees them: what they were
// asked, and the signals they send.
class Services {
public:
    ~Services() { Stop(); }

    bool Start(const std::string& SessionBus, const std::string& SystemBus) {
        info_ = g_dbus_node_info_new_for_xml(kServices, nullptr);
        context_ = g_main_context_new();
        loop_ = g_main_loop_new(context_, FALSE);
        thread_ = std::thread([this, SessionBus, SystemBus] { Run(SessionBus, SystemBus); });
        return WaitFor([&] { return Ready(); });
    }
    void Stop() {
        if (!loop_) return;
        g_main_context_invoke(
            context_,
            [](gpointer l) -> gboolean {
                g_main_loop_quit(static_cast<GMainLoop*>(l));
                return G_SOURCE_REMOVE;
            },
            loop_);
        thread_.join();
        for (GDBusConnection* c : {session_, system_})
            if (c) g_object_unref(c);
        g_main_loop_unref(loop_);
        g_main_context_unref(context_);
        g_dbus_node_info_unref(info_);
        loop_ = nullptr;
        if (inhibitRead_ >= 0) close(inhibitRead_);
    }

    void Emit(bool System, const char* Path, const char* Interface, const char* Signal,
              GVariant* Parameters) {
        g_dbus_connection_emit_signal(System ? system_ : session_, nullptr, Path, Interface, Signal,
                                      Parameters, nullptr);
        g_dbus_connection_flush_sync(System ? system_ : session_, nullptr, nullptr);
    }
    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> g(lock_);
        return calls_;
    }
    // Whether the watch still holds the shutdown delay lock.
    bool InhibitorHeld() {
        if (inhibitRead_ < 0) return false;
        char c;
        const ssize_t n = read(inhibitRead_, &c, 1);
        return !(n == 0);
    }

private:
    bool Ready() {
        std::lock_guard<std::mutex> g(lock_);
        return owned_ == 2;
    }
    void Record(const std::string& Call) {
        std::lock_guard<std::mutex> g(lock_);
        calls_.push_back(Call);
    }
    static void OnMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                         const gchar* Method, GVariant* Parameters,
                         GDBusMethodInvocation* Invocation, gpointer Data) {
        auto* self = static_cast<Services*>(Data);
        const std::string method = Method;
        if (method == "RegisterClient") {
            const gchar *app = nullptr, *startup = nullptr;
            g_variant_get(Parameters, "(&s&s)", &app, &startup);
            self->Record("RegisterClient " + std::string(app));
            g_dbus_method_invocation_return_value(Invocation, g_variant_new("(o)", kClientPath));
        } else if (method == "UnregisterClient") {
            const gchar* path = nullptr;
            g_variant_get(Parameters, "(&o)", &path);
            self->Record("UnregisterClient " + std::string(path));
            g_dbus_method_invocation_return_value(Invocation, nullptr);
        } else if (method == "EndSessionResponse") {
            gboolean ok = FALSE;
            const gchar* reason = nullptr;
            g_variant_get(Parameters, "(b&s)", &ok, &reason);
            self->Record(std::string("EndSessionResponse ") + (ok ? "true" : "false"));
            g_dbus_method_invocation_return_value(Invocation, nullptr);
        } else if (method == "Inhibit") {
            const gchar *what = nullptr, *who = nullptr, *why = nullptr, *mode = nullptr;
            g_variant_get(Parameters, "(&s&s&s&s)", &what, &who, &why, &mode);
            self->Record("Inhibit " + std::string(what) + " " + mode);
            int ends[2];
            if (pipe2(ends, O_CLOEXEC) != 0) return;
            fcntl(ends[0], F_SETFL, O_NONBLOCK);
            if (self->inhibitRead_ >= 0) close(self->inhibitRead_);
            self->inhibitRead_ = ends[0];
            GUnixFDList* fds = g_unix_fd_list_new_from_array(&ends[1], 1);
            g_dbus_method_invocation_return_value_with_unix_fd_list(Invocation,
                                                                    g_variant_new("(h)", 0), fds);
            g_object_unref(fds);
        }
    }
    GDBusConnection* Own(const std::string& Address, const char* Name,
                         const std::vector<std::pair<const char*, int>>& Objects) {
        GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
            Address.c_str(),
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        if (!bus) return nullptr;
        static const GDBusInterfaceVTable vtable = {&Services::OnMethod, nullptr, nullptr, {}};
        for (const auto& [path, iface] : Objects)
            g_dbus_connection_register_object(bus, path, info_->interfaces[iface], &vtable, this,
                                              nullptr, nullptr);
        g_bus_own_name_on_connection(
            bus, Name, G_BUS_NAME_OWNER_FLAGS_NONE,
            [](GDBusConnection*, const gchar*, gpointer d) {
                auto* self = static_cast<Services*>(d);
                std::lock_guard<std::mutex> g(self->lock_);
                ++self->owned_;
            },
            nullptr, this, nullptr);
        return bus;
    }
    void Run(const std::string& SessionBus, const std::string& SystemBus) {
        g_main_context_push_thread_default(context_);
        session_ = Own(SessionBus, "org.gnome.SessionManager",
                       {{"/org/gnome/SessionManager", 0}, {kClientPath, 1}});
        system_ = Own(SystemBus, "org.freedesktop.login1", {{"/org/freedesktop/login1", 2}});
        g_main_loop_run(loop_);
        g_main_context_pop_thread_default(context_);
    }

    GDBusNodeInfo* info_ = nullptr;
    GMainContext* context_ = nullptr;
    GMainLoop* loop_ = nullptr;
    std::thread thread_;
    GDBusConnection *session_ = nullptr, *system_ = nullptr;
    std::mutex lock_;
    int owned_ = 0;
    std::vector<std::string> calls_;
    int inhibitRead_ = -1;
};

class SessionWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (access("/usr/bin/dbus-daemon", X_OK) != 0) GTEST_SKIP() << "no dbus-daemon";
        ASSERT_TRUE(sessionBus.Start(dir.file("session")));
        ASSERT_TRUE(systemBus.Start(dir.file("system")));
        for (const char* v : {"DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS"})
            if (const char* old = std::getenv(v)) saved.push_back({v, old});
        setenv("DBUS_SESSION_BUS_ADDRESS", sessionBus.Address().c_str(), 1);
        setenv("DBUS_SYSTEM_BUS_ADDRESS", systemBus.Address().c_str(), 1);
    }
    void TearDown() override {
        os::StopSessionWatch();
        services.Stop();
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        for (auto& [name, value] : saved)
            setenv(name.c_str(), value.c_str(), 1);
    }
    std::vector<std::string> Seen() {
        std::lock_guard<std::mutex> g(lock);
        return seen;
    }
    bool Called(const std::string& Call) {
        return WaitFor([&] {
            for (const std::string& c : services.Calls())
                if (c == Call) return true;
            return false;
        });
    }

    TempDir dir;
    PrivateBus sessionBus, systemBus;
    Services services;
    std::vector<std::pair<std::string, std::string>> saved;
    std::mutex lock;
    std::vector<std::string> seen;
};

// The watch registers with the session manager and holds a shutdown delay
// lock; each way the session or the system can end reaches the handler on the
// watch's thread, and the answers go back where they are due. SIGTERM to the
// process is one of them and does not end the process. Stopped, the watch
// unregisters and SIGTERM has its former handling again.
TEST_F(SessionWatchTest, EveryWayTheSessionEndsReachesTheHandler) {
    ASSERT_TRUE(services.Start(sessionBus.Address(), systemBus.Address()));
    struct sigaction before {};
    sigaction(SIGTERM, nullptr, &before);
    const std::thread::id testThread = std::this_thread::get_id();
    ASSERT_TRUE(os::StartSessionWatch(
        "lantrove-test", [&](os::SessionEnd kind, std::function<void(bool)> answer) {
            std::lock_guard<std::mutex> g(lock);
            seen.push_back(kind == os::SessionEnd::Query ? "query" : "end");
            EXPECT_NE(std::this_thread::get_id(), testThread);
            // The answer may come from any thread, later.
            std::thread([answer] { answer(true); }).detach();
        }));
    EXPECT_FALSE(os::StartSessionWatch("again", [](os::SessionEnd, std::function<void(bool)>) {}));
    EXPECT_EQ(os::SessionWatchSources(),
              (std::vector<std::string>{"SIGTERM", "session manager", "login1"}));
    EXPECT_TRUE(Called("RegisterClient lantrove-test"));
    EXPECT_TRUE(Called("Inhibit shutdown delay"));
    EXPECT_TRUE(services.InhibitorHeld());

    const char* client = "org.gnome.SessionManager.ClientPrivate";
    services.Emit(false, kClientPath, client, "QueryEndSession", g_variant_new("(u)", 0));
    ASSERT_TRUE(WaitFor([&] { return Seen().size() == 1; }));
    EXPECT_TRUE(Called("EndSessionResponse true"));
    services.Emit(false, kClientPath, client, "EndSession", g_variant_new("(u)", 0));
    services.Emit(false, kClientPath, client, "Stop", nullptr);
    ASSERT_TRUE(WaitFor([&] { return Seen().size() == 3; }));
    EXPECT_TRUE(WaitFor([&] {
        int n = 0;
        for (const std::string& c : services.Calls())
            n += c == "EndSessionResponse true";
        return n == 2;
    }));

    services.Emit(true, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                  "PrepareForShutdown", g_variant_new("(b)", TRUE));
    ASSERT_TRUE(WaitFor([&] { return Seen().size() == 4; }));
    EXPECT_TRUE(WaitFor([&] { return !services.InhibitorHeld(); }));

    ASSERT_EQ(kill(getpid(), SIGTERM), 0);
    ASSERT_TRUE(WaitFor([&] { return Seen().size() == 5; }));
    EXPECT_EQ(Seen(), (std::vector<std::string>{"query", "end", "end", "end", "end"}));

    os::StopSessionWatch();
    EXPECT_TRUE(Called("UnregisterClient " + std::string(kClientPath)));
    struct sigaction after {};
    sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
    EXPECT_TRUE(os::SessionWatchSources().empty());
}

// Without any bus the watch still takes SIGTERM.
TEST_F(SessionWatchTest, WithoutBusesOnlySigtermIsWatched) {
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system", 1);
    std::atomic<int> ends{0};
    ASSERT_TRUE(os::StartSessionWatch("lantrove-test",
                                      [&](os::SessionEnd kind, std::function<void(bool)> answer) {
                                          if (kind == os::SessionEnd::End) ++ends;
                                          answer(true);
                                      }));
    EXPECT_EQ(os::SessionWatchSources(), std::vector<std::string>{"SIGTERM"});
    ASSERT_EQ(kill(getpid(), SIGTERM), 0);
    EXPECT_TRUE(WaitFor([&] { return ends == 1; }));
}

} // namespace
