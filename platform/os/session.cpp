// The session-end watch: SIGTERM through a wake pipe, the session manager's
// client interface on the session bus and login1's shutdown notice on the
// system bus, all dispatched on the watch's own thread and main context.
#include "platform/os/session.h"

#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <glib-unix.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

namespace os {

namespace {

constexpr const char* kSessionManager = "org.gnome.SessionManager";
constexpr const char* kSessionManagerPath = "/org/gnome/SessionManager";
constexpr const char* kClientPrivate = "org.gnome.SessionManager.ClientPrivate";
constexpr const char* kLogin1 = "org.freedesktop.login1";
constexpr const char* kLogin1Path = "/org/freedesktop/login1";
constexpr const char* kLogin1Manager = "org.freedesktop.login1.Manager";
constexpr int kCallTimeoutMs = 2000;

// The signal handler only writes a byte here; the watch's thread reads it.
int g_wake[2] = {-1, -1};
struct sigaction g_previousTerm {};

void OnTerminate(int) {
    const int saved = errno;
    const char byte = 1;
    ssize_t written = write(g_wake[1], &byte, 1);
    (void)written;
    errno = saved;
}

// An answer that reaches its receiver once, whoever calls it first.
std::function<void(bool)> Once(std::function<void(bool)> Answer) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    return [Answer = std::move(Answer), done](bool ok) {
        if (!done->exchange(true) && Answer) Answer(ok);
    };
}

// The bus's address; "" when there is none to talk to (nothing is started
// to provide one).
std::string BusAddress(bool System) {
    const char* env = std::getenv(System ? "DBUS_SYSTEM_BUS_ADDRESS" : "DBUS_SESSION_BUS_ADDRESS");
    if (env && *env) return env;
    std::string socket;
    if (System) {
        socket = "/run/dbus/system_bus_socket";
    } else if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) {
        socket = std::string(run) + "/bus";
    }
    struct stat st {};
    if (socket.empty() || stat(socket.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) return "";
    return "unix:path=" + socket;
}

GDBusConnection* Connect(bool System) {
    const std::string address = BusAddress(System);
    if (address.empty()) return nullptr;
    return g_dbus_connection_new_for_address_sync(
        address.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
}

bool HasOwner(GDBusConnection* Bus, const char* Name) {
    GVariant* r = g_dbus_connection_call_sync(
        Bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", Name), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE,
        kCallTimeoutMs, nullptr, nullptr);
    if (!r) return false;
    gboolean has = FALSE;
    g_variant_get(r, "(b)", &has);
    g_variant_unref(r);
    return has;
}

using BusRef = std::shared_ptr<GDBusConnection>;

BusRef Hold(GDBusConnection* Bus) {
    return BusRef(static_cast<GDBusConnection*>(g_object_ref(Bus)),
                  [](GDBusConnection* b) { g_object_unref(b); });
}

struct Watch {
    std::string appId, startupId;
    SessionEndHandler handler;
    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;
    std::thread thread;
    std::mutex lock;
    std::condition_variable ready;
    bool started = false;
    std::vector<std::string> sources;

    GDBusConnection* session = nullptr;
    std::string clientPath;
    guint clientSignal = 0;
    GDBusConnection* system = nullptr;
    guint shutdownSignal = 0;
    // The delay lock on shutdown; closing it lets the shutdown go on.
    std::shared_ptr<std::atomic<int>> inhibitor = std::make_shared<std::atomic<int>>(-1);
};

std::mutex g_watchLock;
Watch* g_watch = nullptr;

gboolean OnWake(gint Fd, GIOCondition, gpointer Data) {
    char buf[64];
    while (read(Fd, buf, sizeof buf) > 0) {
    }
    static_cast<Watch*>(Data)->handler(SessionEnd::End, Once(nullptr));
    return G_SOURCE_CONTINUE;
}

std::function<void(bool)> EndSessionResponse(GDBusConnection* Bus, const std::string& Path) {
    BusRef bus = Hold(Bus);
    return Once([bus, Path](bool ok) {
        g_dbus_connection_call(bus.get(), kSessionManager, Path.c_str(), kClientPrivate,
                               "EndSessionResponse", g_variant_new("(bs)", gboolean(ok), ""),
                               nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    });
}

void OnClientSignal(GDBusConnection* Bus, const gchar*, const gchar*, const gchar*,
                    const gchar* Signal, GVariant*, gpointer Data) {
    auto* w = static_cast<Watch*>(Data);
    const std::string signal = Signal ? Signal : "";
    if (signal == "QueryEndSession")
        w->handler(SessionEnd::Query, EndSessionResponse(Bus, w->clientPath));
    else if (signal == "EndSession")
        w->handler(SessionEnd::End, EndSessionResponse(Bus, w->clientPath));
    else if (signal == "Stop")
        w->handler(SessionEnd::End, Once(nullptr));
}

void RegisterWithSessionManager(Watch* w) {
    GVariant* r = g_dbus_connection_call_sync(
        w->session, kSessionManager, kSessionManagerPath, kSessionManager, "RegisterClient",
        g_variant_new("(ss)", w->appId.c_str(), w->startupId.c_str()), G_VARIANT_TYPE("(o)"),
        G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr);
    if (!r) return;
    const gchar* path = nullptr;
    g_variant_get(r, "(&o)", &path);
    w->clientPath = path ? path : "";
    g_variant_unref(r);
    if (w->clientPath.empty()) return;
    w->clientSignal = g_dbus_connection_signal_subscribe(
        w->session, kSessionManager, kClientPrivate, nullptr, w->clientPath.c_str(), nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, OnClientSignal, w, nullptr);
    w->sources.push_back("session manager");
}

void TakeInhibitor(Watch* w) {
    GUnixFDList* fds = nullptr;
    GVariant* r = g_dbus_connection_call_with_unix_fd_list_sync(
        w->system, kLogin1, kLogin1Path, kLogin1Manager, "Inhibit",
        g_variant_new("(ssss)", "shutdown", w->appId.c_str(), "Saving its lists", "delay"),
        G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &fds, nullptr,
        nullptr);
    if (r) {
        gint32 index = -1;
        g_variant_get(r, "(h)", &index);
        const int fd = fds ? g_unix_fd_list_get(fds, index, nullptr) : -1;
        const int old = w->inhibitor->exchange(fd);
        if (old >= 0) close(old);
        g_variant_unref(r);
    }
    if (fds) g_object_unref(fds);
}

void OnShutdown(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                GVariant* Parameters, gpointer Data) {
    auto* w = static_cast<Watch*>(Data);
    gboolean starting = FALSE;
    if (Parameters && g_variant_is_of_type(Parameters, G_VARIANT_TYPE("(b)")))
        g_variant_get(Parameters, "(b)", &starting);
    if (!starting) {
        // The shutdown was called off: hold it up again next time.
        TakeInhibitor(w);
        return;
    }
    auto inhibitor = w->inhibitor;
    w->handler(SessionEnd::End, Once([inhibitor](bool) {
                   const int fd = inhibitor->exchange(-1);
                   if (fd >= 0) close(fd);
               }));
}

void WatchLogin1(Watch* w) {
    w->shutdownSignal = g_dbus_connection_signal_subscribe(
        w->system, kLogin1, kLogin1Manager, "PrepareForShutdown", kLogin1Path, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, OnShutdown, w, nullptr);
    TakeInhibitor(w);
    w->sources.push_back("login1");
}

void Run(Watch* w) {
    g_main_context_push_thread_default(w->context);
    GSource* wake = g_unix_fd_source_new(g_wake[0], G_IO_IN);
    g_source_set_callback(wake, reinterpret_cast<GSourceFunc>(reinterpret_cast<void (*)()>(OnWake)),
                          w, nullptr);
    g_source_attach(wake, w->context);
    g_source_unref(wake);
    w->sources.push_back("SIGTERM");
    if ((w->session = Connect(false)) && HasOwner(w->session, kSessionManager))
        RegisterWithSessionManager(w);
    if ((w->system = Connect(true)) && HasOwner(w->system, kLogin1)) WatchLogin1(w);
    {
        std::lock_guard<std::mutex> g(w->lock);
        w->started = true;
    }
    w->ready.notify_all();

    g_main_loop_run(w->loop);

    if (w->session) {
        if (w->clientSignal) g_dbus_connection_signal_unsubscribe(w->session, w->clientSignal);
        if (!w->clientPath.empty()) {
            GVariant* r = g_dbus_connection_call_sync(
                w->session, kSessionManager, kSessionManagerPath, kSessionManager,
                "UnregisterClient", g_variant_new("(o)", w->clientPath.c_str()), nullptr,
                G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr);
            if (r) g_variant_unref(r);
        }
        g_object_unref(w->session);
    }
    if (w->system) {
        if (w->shutdownSignal) g_dbus_connection_signal_unsubscribe(w->system, w->shutdownSignal);
        g_object_unref(w->system);
    }
    const int fd = w->inhibitor->exchange(-1);
    if (fd >= 0) close(fd);
    // Calls still queued on this context run before it goes.
    while (g_main_context_iteration(w->context, FALSE)) {
    }
    g_main_context_pop_thread_default(w->context);
}

} // namespace

bool StartSessionWatch(const std::string& AppId, SessionEndHandler Handler) {
    std::lock_guard<std::mutex> g(g_watchLock);
    if (g_watch || !Handler) return false;
    if (pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    auto* w = new Watch;
    w->appId = AppId;
    // The session manager's start-up token is for this process alone.
    if (const char* id = std::getenv("DESKTOP_AUTOSTART_ID")) {
        w->startupId = id;
        unsetenv("DESKTOP_AUTOSTART_ID");
    }
    w->handler = std::move(Handler);
    w->context = g_main_context_new();
    w->loop = g_main_loop_new(w->context, FALSE);
    struct sigaction act {};
    act.sa_handler = OnTerminate;
    sigemptyset(&act.sa_mask);
    act.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &act, &g_previousTerm);
    w->thread = std::thread(Run, w);
    std::unique_lock<std::mutex> wait(w->lock);
    w->ready.wait(wait, [w] { return w->started; });
    g_watch = w;
    return true;
}

void StopSessionWatch() {
    std::unique_ptr<Watch> w;
    {
        std::lock_guard<std::mutex> g(g_watchLock);
        w.reset(g_watch);
        g_watch = nullptr;
    }
    if (!w) return;
    sigaction(SIGTERM, &g_previousTerm, nullptr);
    g_main_context_invoke(
        w->context,
        [](gpointer loop) -> gboolean {
            g_main_loop_quit(static_cast<GMainLoop*>(loop));
            return G_SOURCE_REMOVE;
        },
        w->loop);
    w->thread.join();
    g_main_loop_unref(w->loop);
    g_main_context_unref(w->context);
    close(g_wake[0]);
    close(g_wake[1]);
    g_wake[0] = g_wake[1] = -1;
}

std::vector<std::string> SessionWatchSources() {
    std::lock_guard<std::mutex> g(g_watchLock);
    return g_watch ? g_watch->sources : std::vector<std::string>();
}

} // namespace os
