// The tray services of a desktop, for tests that run their own session bus:
// a StatusNotifier watcher that takes item registrations and a notification
// service that takes notifications, each writing what it is asked to a log,
// one line a request. Usage: desktopstub <log-file>
//   ready                          both names are owned
//   register <service> <sender>    RegisterStatusNotifierItem
//   notify <id> <icon>|<summary>|<body>
//   close <id>                     CloseNotification
#include <gio/gio.h>

#include <cstdio>
#include <string>

namespace {

constexpr const char* kWatcherXml =
    "<node><interface name='org.kde.StatusNotifierWatcher'>"
    "<method name='RegisterStatusNotifierItem'><arg type='s' direction='in'/></method>"
    "<method name='RegisterStatusNotifierHost'><arg type='s' direction='in'/></method>"
    "<property name='RegisteredStatusNotifierItems' type='as' access='read'/>"
    "<property name='IsStatusNotifierHostRegistered' type='b' access='read'/>"
    "<property name='ProtocolVersion' type='i' access='read'/>"
    "<signal name='StatusNotifierItemRegistered'><arg type='s'/></signal>"
    "</interface></node>";
constexpr const char* kNotificationsXml =
    "<node><interface name='org.freedesktop.Notifications'>"
    "<method name='Notify'><arg type='s' direction='in'/><arg type='u' direction='in'/>"
    "<arg type='s' direction='in'/><arg type='s' direction='in'/><arg type='s' direction='in'/>"
    "<arg type='as' direction='in'/><arg type='a{sv}' direction='in'/>"
    "<arg type='i' direction='in'/><arg type='u' direction='out'/></method>"
    "<method name='CloseNotification'><arg type='u' direction='in'/></method>"
    "<method name='GetCapabilities'><arg type='as' direction='out'/></method>"
    "<method name='GetServerInformation'><arg type='s' direction='out'/>"
    "<arg type='s' direction='out'/><arg type='s' direction='out'/>"
    "<arg type='s' direction='out'/></method>"
    "<signal name='ActionInvoked'><arg type='u'/><arg type='s'/></signal>"
    "<signal name='NotificationClosed'><arg type='u'/><arg type='u'/></signal>"
    "</interface></node>";

FILE* logFile = nullptr;
int g_owned = 0;
guint32 g_lastId = 0;

void Log(const std::string& line) {
    std::fprintf(logFile, "%s\n", line.c_str());
    std::fflush(logFile);
}

void OnWatcherCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*,
                   const gchar* method, GVariant* params, GDBusMethodInvocation* inv, gpointer) {
    const gchar* service = "";
    g_variant_get(params, "(&s)", &service);
    if (std::string(method) == "RegisterStatusNotifierItem")
        Log(std::string("register ") + service + " " + sender);
    g_dbus_method_invocation_return_value(inv, nullptr);
}

GVariant* OnWatcherProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                            const gchar* name, GError**, gpointer) {
    std::string n = name;
    if (n == "IsStatusNotifierHostRegistered") return g_variant_new_boolean(TRUE);
    if (n == "ProtocolVersion") return g_variant_new_int32(0);
    return g_variant_new_strv(nullptr, 0);
}

void OnNotificationsCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                         const gchar* method, GVariant* params, GDBusMethodInvocation* inv,
                         gpointer) {
    std::string m = method;
    if (m == "Notify") {
        const gchar *app = "", *icon = "", *summary = "", *body = "";
        guint32 replaces = 0;
        g_variant_get_child(params, 0, "&s", &app);
        g_variant_get_child(params, 1, "u", &replaces);
        g_variant_get_child(params, 2, "&s", &icon);
        g_variant_get_child(params, 3, "&s", &summary);
        g_variant_get_child(params, 4, "&s", &body);
        guint32 id = replaces ? replaces : ++g_lastId;
        Log("notify " + std::to_string(id) + " " + icon + "|" + summary + "|" + body);
        g_dbus_method_invocation_return_value(inv, g_variant_new("(u)", id));
    } else if (m == "CloseNotification") {
        guint32 id = 0;
        g_variant_get(params, "(u)", &id);
        Log("close " + std::to_string(id));
        g_dbus_method_invocation_return_value(inv, nullptr);
    } else if (m == "GetCapabilities") {
        const gchar* caps[] = {"actions", "body", nullptr};
        g_dbus_method_invocation_return_value(inv, g_variant_new("(^as)", caps));
    } else {
        g_dbus_method_invocation_return_value(
            inv, g_variant_new("(ssss)", "desktopstub", "lantrove", "1", "1.2"));
    }
}

void Register(GDBusConnection* bus, const char* xml, const char* path,
              const GDBusInterfaceVTable* vtable) {
    GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(xml, nullptr);
    g_dbus_connection_register_object(bus, path, info->interfaces[0], vtable, nullptr, nullptr,
                                      nullptr);
    g_dbus_node_info_unref(info);
}

void OnBus(GDBusConnection* bus, const gchar* name, gpointer) {
    static const GDBusInterfaceVTable watcher = {&OnWatcherCall, &OnWatcherProperty, nullptr, {}};
    static const GDBusInterfaceVTable notifications = {&OnNotificationsCall, nullptr, nullptr, {}};
    if (std::string(name) == "org.kde.StatusNotifierWatcher")
        Register(bus, kWatcherXml, "/StatusNotifierWatcher", &watcher);
    else
        Register(bus, kNotificationsXml, "/org/freedesktop/Notifications", &notifications);
}

void OnOwned(GDBusConnection*, const gchar*, gpointer) {
    if (++g_owned == 2) Log("ready");
}

void OnLost(GDBusConnection*, const gchar* name, gpointer loop) {
    Log(std::string("lost ") + name);
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: desktopstub <log-file>\n");
        return 2;
    }
    logFile = std::fopen(argv[1], "a");
    if (!logFile) return 1;
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    for (const char* name : {"org.kde.StatusNotifierWatcher", "org.freedesktop.Notifications"})
        g_bus_own_name(G_BUS_TYPE_SESSION, name, G_BUS_NAME_OWNER_FLAGS_NONE, &OnBus, &OnOwned,
                       &OnLost, loop, nullptr);
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
    std::fclose(logFile);
    return 0;
}
