// Notification-area hosts of the GTK backend: StatusNotifierItem over D-Bus
// (one private bus connection per icon, so each sits at the usual object
// path) and the X11 system tray through GTK's status icon.
#include "platform/display/tray.h"

#include <string>

#include "platform/win/input.h"
#include "platform/win/messages.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/queue.h"

// After our headers: the X11 headers define macros that clash with their names.
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

namespace display {
namespace {

constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";
constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kItemXml =
    "<node><interface name='org.kde.StatusNotifierItem'>"
    "<property name='Category' type='s' access='read'/>"
    "<property name='Id' type='s' access='read'/>"
    "<property name='Title' type='s' access='read'/>"
    "<property name='Status' type='s' access='read'/>"
    "<property name='IconName' type='s' access='read'/>"
    "<property name='IconPixmap' type='a(iiay)' access='read'/>"
    "<property name='ToolTip' type='(sa(iiay)ss)' access='read'/>"
    "<property name='ItemIsMenu' type='b' access='read'/>"
    "<property name='Menu' type='o' access='read'/>"
    "<method name='Activate'><arg type='i' direction='in'/><arg type='i' direction='in'/></method>"
    "<method name='SecondaryActivate'><arg type='i' direction='in'/>"
    "<arg type='i' direction='in'/></method>"
    "<method name='ContextMenu'><arg type='i' direction='in'/><arg type='i' direction='in'/>"
    "</method>"
    "<method name='Scroll'><arg type='i' direction='in'/><arg type='s' direction='in'/></method>"
    "<signal name='NewIcon'/><signal name='NewToolTip'/><signal name='NewTitle'/>"
    "<signal name='NewStatus'><arg type='s'/></signal>"
    "</interface></node>";

void PostClick(const TrayIconData& icon, UINT down, UINT up, int x, int y) {
    SetCursorPosFromBackend(POINT{x, y});
    PostMessage(icon.owner, icon.callbackMessage, WPARAM(icon.id), LPARAM(down));
    if (up) PostMessage(icon.owner, icon.callbackMessage, WPARAM(icon.id), LPARAM(up));
}

bool NameHasOwner(GDBusConnection* bus, const char* name) {
    GVariant* r = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                              "org.freedesktop.DBus", "NameHasOwner",
                                              g_variant_new("(s)", name), G_VARIANT_TYPE("(b)"),
                                              G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, nullptr);
    if (!r) return false;
    gboolean has = FALSE;
    g_variant_get(r, "(b)", &has);
    g_variant_unref(r);
    return has;
}

// Desktop notifications stand in for balloons under both hosts.
class Balloons {
public:
    explicit Balloons(GDBusConnection* bus) : bus_(bus) {
        if (!bus_) return;
        g_object_ref(bus_);
        sub_ = g_dbus_connection_signal_subscribe(bus_, nullptr, "org.freedesktop.Notifications",
                                                  "ActionInvoked", "/org/freedesktop/Notifications",
                                                  nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                                  &Balloons::OnAction, this, nullptr);
    }
    ~Balloons() {
        if (!bus_) return;
        g_dbus_connection_signal_unsubscribe(bus_, sub_);
        g_object_unref(bus_);
    }
    bool Show(const TrayIconData& icon, const TrayBalloon& b) {
        if (!bus_) return false;
        GVariantBuilder actions;
        g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
        g_variant_builder_add(&actions, "s", "default");
        g_variant_builder_add(&actions, "s", "Open");
        const char* iconName = b.flags == 3   ? "dialog-error"
                               : b.flags == 2 ? "dialog-warning"
                               : b.flags == 1 ? "dialog-information"
                                              : "";
        GVariant* r = g_dbus_connection_call_sync(
            bus_, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
            "org.freedesktop.Notifications", "Notify",
            g_variant_new("(susssasa{sv}i)", "Lantrove", guint32(last_), iconName, b.title.c_str(),
                          b.text.c_str(), &actions, nullptr, -1),
            G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
        if (!r) return false;
        g_variant_get(r, "(u)", &last_);
        g_variant_unref(r);
        owner_ = icon;
        return true;
    }
    void Hide() {
        if (!bus_ || !last_) return;
        g_dbus_connection_call(bus_, "org.freedesktop.Notifications",
                               "/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                               "CloseNotification", g_variant_new("(u)", last_), nullptr,
                               G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
        last_ = 0;
    }
    // The balloon of the host's icon of that owner and id (false when there
    // is none); an empty text takes the shown balloon down.
    template <class Items>
    bool ShowFor(const Items& items, HWND owner, UINT id, const TrayBalloon& b) {
        auto it = items.find(std::make_pair(owner, id));
        if (it == items.end()) return false;
        if (b.text.empty()) {
            Hide();
            return true;
        }
        return Show(it->second->data, b);
    }
    template <class Items> bool HideFor(const Items& items, HWND owner, UINT id) {
        if (!items.count(std::make_pair(owner, id))) return false;
        Hide();
        return true;
    }

private:
    static void OnAction(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                         GVariant* params, gpointer self) {
        auto* b = static_cast<Balloons*>(self);
        guint32 id = 0;
        const gchar* key = nullptr;
        g_variant_get(params, "(u&s)", &id, &key);
        if (id == b->last_ && b->owner_.owner)
            PostMessage(b->owner_.owner, b->owner_.callbackMessage, WPARAM(b->owner_.id),
                        kTrayBalloonClicked);
    }
    GDBusConnection* bus_ = nullptr;
    guint sub_ = 0;
    guint32 last_ = 0;
    TrayIconData owner_;
};

// ---- StatusNotifierItem

struct SniItem {
    TrayIconData data;
    GDBusConnection* bus = nullptr;
    guint reg = 0;
};

class SniTray : public TrayHost {
public:
    SniTray(GDBusConnection* session) : session_(session), balloons_(session) {
        GError* err = nullptr;
        info_ = g_dbus_node_info_new_for_xml(kItemXml, &err);
        if (err) g_error_free(err);
        // A watcher that comes back (the desktop's panel restarted) knows no
        // items: each registers again.
        watch_ = g_bus_watch_name_on_connection(session_, kWatcher, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                                &SniTray::OnWatcher, nullptr, this, nullptr);
    }
    ~SniTray() override {
        if (watch_) g_bus_unwatch_name(watch_);
        for (auto& [k, item] : items_)
            Drop(item.get());
        if (info_) g_dbus_node_info_unref(info_);
        g_object_unref(session_);
    }
    const char* Name() const override { return "StatusNotifierItem host"; }

    bool Add(const TrayIconData& icon) override {
        auto key = std::make_pair(icon.owner, icon.id);
        if (items_.count(key) || !info_) return false;
        auto item = std::make_unique<SniItem>();
        item->data = icon;
        gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        if (!address) return false;
        item->bus = g_dbus_connection_new_for_address_sync(
            address,
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        g_free(address);
        if (!item->bus) return false;
        static const GDBusInterfaceVTable vtable = {
            &SniTray::OnMethod, &SniTray::OnProperty, nullptr, {}};
        item->reg = g_dbus_connection_register_object(item->bus, kItemPath, info_->interfaces[0],
                                                      &vtable, item.get(), nullptr, nullptr);
        if (!Register(item.get())) {
            Drop(item.get());
            return false;
        }
        items_[key] = std::move(item);
        return true;
    }
    bool Modify(const TrayIconData& icon) override {
        auto it = items_.find(std::make_pair(icon.owner, icon.id));
        if (it == items_.end()) return false;
        it->second->data = icon;
        for (const char* s : {"NewIcon", "NewToolTip", "NewTitle"})
            g_dbus_connection_emit_signal(it->second->bus, nullptr, kItemPath,
                                          "org.kde.StatusNotifierItem", s, nullptr, nullptr);
        return true;
    }
    bool Remove(HWND owner, UINT id) override {
        auto it = items_.find(std::make_pair(owner, id));
        if (it == items_.end()) return false;
        Drop(it->second.get());
        items_.erase(it);
        return true;
    }
    bool ShowBalloon(HWND owner, UINT id, const TrayBalloon& b) override {
        return balloons_.ShowFor(items_, owner, id, b);
    }
    bool HideBalloon(HWND owner, UINT id) override { return balloons_.HideFor(items_, owner, id); }

private:
    static bool Register(SniItem* item) {
        const char* unique = g_dbus_connection_get_unique_name(item->bus);
        GVariant* r = g_dbus_connection_call_sync(
            item->bus, kWatcher, "/StatusNotifierWatcher", kWatcher, "RegisterStatusNotifierItem",
            g_variant_new("(s)", unique), nullptr, G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
        if (!r) return false;
        g_variant_unref(r);
        return true;
    }
    static void OnWatcher(GDBusConnection*, const gchar*, const gchar*, gpointer self) {
        auto* tray = static_cast<SniTray*>(self);
        // The first appearance is the watcher the items registered with.
        if (!tray->watcherSeen_) {
            tray->watcherSeen_ = true;
            return;
        }
        for (auto& [k, item] : tray->items_)
            Register(item.get());
    }
    static void Drop(SniItem* item) {
        if (!item->bus) return;
        if (item->reg) g_dbus_connection_unregister_object(item->bus, item->reg);
        g_dbus_connection_close_sync(item->bus, nullptr, nullptr);
        g_object_unref(item->bus);
        item->bus = nullptr;
    }
    static GVariant* Pixmaps(const TrayIconData& d) {
        GVariantBuilder b;
        g_variant_builder_init(&b, G_VARIANT_TYPE("a(iiay)"));
        if (d.width > 0 && d.height > 0 && d.argb.size() == size_t(d.width) * size_t(d.height)) {
            std::vector<guchar> bytes;
            bytes.reserve(d.argb.size() * 4);
            for (uint32_t p : d.argb)
                for (int s : {24, 16, 8, 0})
                    bytes.push_back(guchar(p >> s));
            GVariant* ay =
                g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, bytes.data(), bytes.size(), 1);
            g_variant_builder_add(&b, "(ii@ay)", d.width, d.height, ay);
        }
        return g_variant_builder_end(&b);
    }
    static GVariant* OnProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                const gchar* name, GError**, gpointer self) {
        const TrayIconData& d = static_cast<SniItem*>(self)->data;
        std::string n = name;
        if (n == "Category") return g_variant_new_string("ApplicationStatus");
        if (n == "Id") return g_variant_new_string("lantrove");
        if (n == "Title") return g_variant_new_string(d.tip.empty() ? "Lantrove" : d.tip.c_str());
        if (n == "Status") return g_variant_new_string("Active");
        if (n == "IconName")
            return g_variant_new_string(d.argb.empty() ? "application-x-executable" : "");
        if (n == "IconPixmap") return Pixmaps(d);
        if (n == "ToolTip")
            return g_variant_new("(s@a(iiay)ss)", "", Pixmaps(TrayIconData{}), d.tip.c_str(), "");
        if (n == "ItemIsMenu") return g_variant_new_boolean(FALSE);
        if (n == "Menu") return g_variant_new_object_path("/NO_DBUSMENU");
        return nullptr;
    }
    static void OnMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                         const gchar* method, GVariant* params, GDBusMethodInvocation* inv,
                         gpointer self) {
        const TrayIconData& d = static_cast<SniItem*>(self)->data;
        std::string m = method;
        gint x = 0, y = 0;
        if (m != "Scroll") g_variant_get(params, "(ii)", &x, &y);
        if (m == "Activate")
            PostClick(d, WM_LBUTTONDOWN, WM_LBUTTONUP, x, y);
        else if (m == "SecondaryActivate")
            PostClick(d, WM_MBUTTONDOWN, WM_MBUTTONUP, x, y);
        else if (m == "ContextMenu")
            PostClick(d, WM_RBUTTONDOWN, WM_RBUTTONUP, x, y);
        g_dbus_method_invocation_return_value(inv, nullptr);
    }

    GDBusConnection* session_;
    guint watch_ = 0;
    bool watcherSeen_ = false;
    GDBusNodeInfo* info_ = nullptr;
    Balloons balloons_;
    std::map<std::pair<HWND, UINT>, std::unique_ptr<SniItem>> items_;
};

// ---- X11 system tray

G_GNUC_BEGIN_IGNORE_DEPRECATIONS

struct XItem {
    TrayIconData data;
    GtkStatusIcon* icon = nullptr;
    TrayClicks clicks;
};

class XTray : public TrayHost {
public:
    explicit XTray(GDBusConnection* session) : balloons_(session) {
        if (session) g_object_unref(session);
    }
    ~XTray() override {
        for (auto& [k, item] : items_)
            g_object_unref(item->icon);
    }
    const char* Name() const override { return "X11 system tray"; }

    bool Add(const TrayIconData& icon) override {
        auto key = std::make_pair(icon.owner, icon.id);
        if (items_.count(key)) return false;
        auto item = std::make_unique<XItem>();
        item->data = icon;
        item->icon = gtk_status_icon_new();
        g_signal_connect(item->icon, "button-press-event", G_CALLBACK(&XTray::OnPress), item.get());
        g_signal_connect(item->icon, "button-release-event", G_CALLBACK(&XTray::OnRelease),
                         item.get());
        Apply(item.get());
        items_[key] = std::move(item);
        return true;
    }
    bool Modify(const TrayIconData& icon) override {
        auto it = items_.find(std::make_pair(icon.owner, icon.id));
        if (it == items_.end()) return false;
        it->second->data = icon;
        Apply(it->second.get());
        return true;
    }
    bool Remove(HWND owner, UINT id) override {
        auto it = items_.find(std::make_pair(owner, id));
        if (it == items_.end()) return false;
        gtk_status_icon_set_visible(it->second->icon, FALSE);
        g_object_unref(it->second->icon);
        items_.erase(it);
        return true;
    }
    bool ShowBalloon(HWND owner, UINT id, const TrayBalloon& b) override {
        return balloons_.ShowFor(items_, owner, id, b);
    }
    bool HideBalloon(HWND owner, UINT id) override { return balloons_.HideFor(items_, owner, id); }

private:
    static void Apply(XItem* item) {
        const TrayIconData& d = item->data;
        if (d.width > 0 && d.height > 0 && d.argb.size() == size_t(d.width) * size_t(d.height)) {
            GdkPixbuf* pb = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, d.width, d.height);
            guchar* px = gdk_pixbuf_get_pixels(pb);
            int stride = gdk_pixbuf_get_rowstride(pb);
            for (int y = 0; y < d.height; ++y)
                for (int x = 0; x < d.width; ++x) {
                    uint32_t p = d.argb[size_t(y * d.width + x)];
                    guchar* o = px + y * stride + x * 4;
                    o[0] = guchar(p >> 16);
                    o[1] = guchar(p >> 8);
                    o[2] = guchar(p);
                    o[3] = guchar(p >> 24);
                }
            gtk_status_icon_set_from_pixbuf(item->icon, pb);
            g_object_unref(pb);
        } else {
            gtk_status_icon_set_from_icon_name(item->icon, "application-x-executable");
        }
        gtk_status_icon_set_tooltip_text(item->icon, d.tip.empty() ? nullptr : d.tip.c_str());
        gtk_status_icon_set_visible(item->icon, TRUE);
    }
    // GTK's own double-press event after a second press adds nothing: the
    // second press already is the double click.
    static gboolean OnPress(GtkStatusIcon*, GdkEventButton* e, gpointer self) {
        auto* item = static_cast<XItem*>(self);
        if (e->type != GDK_BUTTON_PRESS) return TRUE;
        UINT m = item->clicks.Press(e->button, e->time, GetDoubleClickTime());
        if (m) PostClick(item->data, m, 0, int(e->x_root), int(e->y_root));
        return TRUE;
    }
    static gboolean OnRelease(GtkStatusIcon*, GdkEventButton* e, gpointer self) {
        auto* item = static_cast<XItem*>(self);
        UINT m = item->clicks.Release(e->button);
        if (m) PostClick(item->data, m, 0, int(e->x_root), int(e->y_root));
        return TRUE;
    }

    Balloons balloons_;
    std::map<std::pair<HWND, UINT>, std::unique_ptr<XItem>> items_;
};

G_GNUC_END_IGNORE_DEPRECATIONS

bool X11TrayManagerRuns() {
#ifdef GDK_WINDOWING_X11
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return false;
    Display* x = gdk_x11_display_get_xdisplay(display);
    std::string atom = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(x));
    Atom a = XInternAtom(x, atom.c_str(), False);
    return XGetSelectionOwner(x, a) != None;
#else
    return false;
#endif
}

} // namespace

std::unique_ptr<TrayHost> CreateDesktopTray() {
    if (!gdk_display_get_default()) return nullptr;
    // Tray clicks count as double clicks within the desktop's own time.
    gint doubleClick = 0;
    g_object_get(gtk_settings_get_default(), "gtk-double-click-time", &doubleClick, nullptr);
    if (doubleClick > 0) SetDoubleClickTime(UINT(doubleClick));
    GDBusConnection* session = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (session && NameHasOwner(session, kWatcher)) return std::make_unique<SniTray>(session);
    if (X11TrayManagerRuns()) return std::make_unique<XTray>(session);
    if (session) g_object_unref(session);
    return nullptr;
}

} // namespace display
