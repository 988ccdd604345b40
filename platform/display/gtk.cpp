#include "platform/display/gtk.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <vector>

#include "platform/os/clock.h"
#include "platform/win/input.h"
#include "platform/win/layered.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/region.h"
#include "platform/win/shellnotify.h"
#include "platform/win/window.h"

namespace display {
namespace {

int virtualKeyOf(guint keyval) {
    if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return int('A' + (keyval - GDK_KEY_a));
    if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) return int('A' + (keyval - GDK_KEY_A));
    if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) return int('0' + (keyval - GDK_KEY_0));
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12) return VK_F1 + int(keyval - GDK_KEY_F1);
    switch (keyval) {
    case GDK_KEY_BackSpace:
        return VK_BACK;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
        return VK_TAB;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
        return VK_RETURN;
    case GDK_KEY_Shift_L:
    case GDK_KEY_Shift_R:
        return VK_SHIFT;
    case GDK_KEY_Control_L:
    case GDK_KEY_Control_R:
        return VK_CONTROL;
    case GDK_KEY_Alt_L:
    case GDK_KEY_Alt_R:
        return VK_MENU;
    case GDK_KEY_Escape:
        return VK_ESCAPE;
    case GDK_KEY_space:
        return VK_SPACE;
    case GDK_KEY_Page_Up:
        return VK_PRIOR;
    case GDK_KEY_Page_Down:
        return VK_NEXT;
    case GDK_KEY_End:
        return VK_END;
    case GDK_KEY_Home:
        return VK_HOME;
    case GDK_KEY_Left:
        return VK_LEFT;
    case GDK_KEY_Up:
        return VK_UP;
    case GDK_KEY_Right:
        return VK_RIGHT;
    case GDK_KEY_Down:
        return VK_DOWN;
    case GDK_KEY_Insert:
        return VK_INSERT;
    case GDK_KEY_Delete:
        return VK_DELETE;
    default:
        return 0;
    }
}

WPARAM keysOf(guint state) {
    WPARAM k = 0;
    if (state & GDK_BUTTON1_MASK) k |= MK_LBUTTON;
    if (state & GDK_BUTTON3_MASK) k |= MK_RBUTTON;
    if (state & GDK_BUTTON2_MASK) k |= MK_MBUTTON;
    if (state & GDK_SHIFT_MASK) k |= MK_SHIFT;
    if (state & GDK_CONTROL_MASK) k |= MK_CONTROL;
    return k;
}

class GtkBackend : public Backend {
public:
    GtkBackend() {
        self_ = this;
        GdkDisplay* d = gdk_display_get_default();
        composited_ = gdk_screen_is_composited(gdk_display_get_default_screen(d));
        std::vector<MonitorDesc> mons;
        int n = gdk_display_get_n_monitors(d);
        for (int i = 0; i < n; ++i) {
            GdkMonitor* m = gdk_display_get_monitor(d, i);
            GdkRectangle g, w;
            gdk_monitor_get_geometry(m, &g);
            gdk_monitor_get_workarea(m, &w);
            MonitorDesc md{RECT{g.x, g.y, g.x + g.width, g.y + g.height},
                           RECT{w.x, w.y, w.x + w.width, w.y + w.height}};
            if (gdk_monitor_is_primary(m))
                mons.insert(mons.begin(), md);
            else
                mons.push_back(md);
        }
        if (!mons.empty()) SetMonitors(mons);
        SetSurfacePresenter([this](HWND top, const RECT& r) { queueDraw(top, &r); });
        SetWindowRegionListener([this](HWND h) { applyShape(h); });
        SetLayeredListener([this](HWND h) { applyLayered(h); });
        SetCursorPresenter([this](HCURSOR c) { showCursor(c); });
    }
    ~GtkBackend() override {
        SetSurfacePresenter(nullptr);
        SetCursorPresenter(nullptr);
        SetWindowRegionListener(nullptr);
        SetLayeredListener(nullptr);
        for (auto& [widget, v] : views_) {
            unplace(widget, v);
            g_object_unref(widget);
        }
        for (auto& [h, w] : windows_)
            destroyWin(w);
        windows_.clear();
        if (deactivateCheck_) g_source_remove(deactivateCheck_);
        self_ = nullptr;
    }

    const char* Name() const override { return "gtk"; }

    void Wait(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, uint64_t deadlineMs,
              bool mainThread) override {
        uint64_t now = os::CurrentClock().MonotonicMs();
        if (deadlineMs != kNoDeadline && now >= deadlineMs) return;
        if (!mainThread) {
            if (deadlineMs == kNoDeadline)
                cv.wait(lock);
            else
                cv.wait_for(lock, std::chrono::milliseconds(deadlineMs - now));
            return;
        }
        // The main thread sleeps in the toolkit's poll: display events, the
        // web engine's sources and WakeMain (a posted message) all end it, and
        // a timeout source stands for the next timer of ours.
        lock.unlock();
        GSource* timeout = nullptr;
        if (deadlineMs != kNoDeadline) {
            timeout = g_timeout_source_new(guint(std::min<uint64_t>(deadlineMs - now, G_MAXINT)));
            g_source_set_callback(
                timeout, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
            g_source_attach(timeout, nullptr);
        }
        g_main_context_iteration(nullptr, TRUE);
        if (timeout) {
            g_source_destroy(timeout);
            g_source_unref(timeout);
        }
        pump();
        lock.lock();
    }

    void WakeMain() override { g_main_context_wakeup(nullptr); }

    void ProcessEvents() override { pump(); }

    SIZE ScreenSize() override {
        return SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }

    int16_t KeyState(int virtualKey) override {
        auto it = keys_.find(virtualKey);
        return it != keys_.end() && it->second ? int16_t(0x8000) : 0;
    }

    void WindowCreated(HWND hwnd) override {
        Win w;
        w.popup = isPopupKind(hwnd);
        // Menus, drop-downs and hints are not the window manager's to place,
        // stack or focus.
        w.window = gtk_window_new(w.popup ? GTK_WINDOW_POPUP : GTK_WINDOW_TOPLEVEL);
        gtk_window_set_decorated(GTK_WINDOW(w.window), FALSE);
        gtk_widget_set_app_paintable(w.window, TRUE);
        // A window of its own group: a modal one's grab leaves the others
        // (its drop-downs and menus) to our own modality rules.
        w.group = gtk_window_group_new();
        gtk_window_group_add_window(w.group, GTK_WINDOW(w.window));
        GdkScreen* screen = gtk_widget_get_screen(w.window);
        if (GdkVisual* rgba = gdk_screen_get_rgba_visual(screen); rgba && composited_)
            gtk_widget_set_visual(w.window, rgba);
        w.area = gtk_drawing_area_new();
        gtk_widget_set_can_focus(w.area, TRUE);
        // Native views lie over the drawn surface, each at its host's place.
        w.overlay = gtk_overlay_new();
        gtk_container_add(GTK_CONTAINER(w.overlay), w.area);
        gtk_container_add(GTK_CONTAINER(w.window), w.overlay);
        g_signal_connect(w.overlay, "get-child-position", G_CALLBACK(onChildPosition), this);
        gtk_widget_add_events(w.area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                          GDK_POINTER_MOTION_MASK | GDK_SCROLL_MASK |
                                          GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK);
        auto* data = reinterpret_cast<gpointer>(hwnd);
        g_signal_connect(w.area, "draw", G_CALLBACK(onDraw), data);
        g_signal_connect(w.area, "button-press-event", G_CALLBACK(onButton), data);
        g_signal_connect(w.area, "button-release-event", G_CALLBACK(onButton), data);
        g_signal_connect(w.area, "motion-notify-event", G_CALLBACK(onMotion), data);
        g_signal_connect(w.area, "scroll-event", G_CALLBACK(onScroll), data);
        g_signal_connect(w.window, "key-press-event", G_CALLBACK(onKey), data);
        g_signal_connect(w.window, "key-release-event", G_CALLBACK(onKey), data);
        g_signal_connect(w.window, "delete-event", G_CALLBACK(onDelete), data);
        g_signal_connect(w.window, "focus-in-event", G_CALLBACK(onFocusIn), data);
        g_signal_connect(w.window, "focus-out-event", G_CALLBACK(onFocusOut), data);
        g_signal_connect(w.window, "map-event", G_CALLBACK(onMapped), data);
        g_signal_connect(w.window, "window-state-event", G_CALLBACK(onWindowState), data);
        // Text comes through the input method: compose sequences, dead keys
        // and input-method editors give their characters whole.
        w.im = gtk_im_multicontext_new();
        g_signal_connect(w.im, "commit", G_CALLBACK(onCommit), data);
        g_signal_connect(w.area, "realize", G_CALLBACK(onRealize), w.im);
        windows_[hwnd] = w;
        place(hwnd);
        WindowTextChanged(hwnd);
        WindowIconChanged(hwnd);
    }

    void WindowDestroyed(HWND hwnd) override {
        for (auto& [widget, v] : views_)
            if (v.top == hwnd) unplace(widget, v);
        auto it = windows_.find(hwnd);
        if (it == windows_.end()) return;
        Win w = it->second;
        windows_.erase(it);
        // Windows it was the parent of for the window manager lose that parent.
        for (auto& [h, other] : windows_)
            if (gtk_window_get_transient_for(GTK_WINDOW(other.window)) == GTK_WINDOW(w.window))
                gtk_window_set_transient_for(GTK_WINDOW(other.window), nullptr);
        destroyWin(w);
    }

    void WindowShown(HWND hwnd, bool) override { syncMapped(hwnd); }

    void WindowMinimized(HWND hwnd, bool minimized) override {
        auto it = windows_.find(hwnd);
        if (it == windows_.end() || it->second.popup) return;
        // Without a window manager nothing takes the request: the window stays.
        if (minimized)
            gtk_window_iconify(GTK_WINDOW(it->second.window));
        else
            gtk_window_deiconify(GTK_WINDOW(it->second.window));
    }

    void ShowNow(HWND hwnd) override {
        auto it = windows_.find(hwnd);
        if (it == windows_.end() || !it->second.mapped) return;
        const unsigned before = it->second.draws;
        gtk_widget_queue_draw(it->second.area);
        // The window manager may never map it (or take long): the wait has
        // a bound, after which the window shows whenever it does.
        bool late = false;
        const guint bound = g_timeout_add(
            500,
            +[](gpointer p) {
                *static_cast<bool*>(p) = true;
                return G_SOURCE_REMOVE;
            },
            &late);
        while (!late) {
            it = windows_.find(hwnd);
            if (it == windows_.end() || it->second.draws != before) break;
            g_main_context_iteration(nullptr, TRUE);
        }
        if (!late) g_source_remove(bound);
        gdk_display_flush(gdk_display_get_default());
        syncViews();
    }

    void WindowMoved(HWND hwnd, const RECT&) override { place(hwnd); }

    void WindowTextChanged(HWND hwnd) override {
        auto it = windows_.find(hwnd);
        if (it != windows_.end())
            gtk_window_set_title(GTK_WINDOW(it->second.window), GetWindowText(hwnd).c_str());
    }

    // The X window's icon is the window's big icon, else its small or class icon.
    void WindowIconChanged(HWND hwnd) override {
        auto it = windows_.find(hwnd);
        if (it == windows_.end()) return;
        HICON icon = GetWindowIcon(hwnd, ICON_BIG);
        if (!icon) icon = GetWindowIcon(hwnd, ICON_SMALL2);
        int w = 0, h = 0;
        std::vector<uint32_t> argb;
        GdkPixbuf* pixbuf = nullptr;
        if (icon && GetIconPixels(icon, w, h, argb)) {
            pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, w, h);
            guchar* px = gdk_pixbuf_get_pixels(pixbuf);
            const int stride = gdk_pixbuf_get_rowstride(pixbuf);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    uint32_t c = argb[size_t(y) * size_t(w) + size_t(x)];
                    guchar* p = px + y * stride + x * 4;
                    p[0] = guchar(c >> 16), p[1] = guchar(c >> 8), p[2] = guchar(c),
                    p[3] = guchar(c >> 24);
                }
        }
        gtk_window_set_icon(GTK_WINDOW(it->second.window), pixbuf);
        if (pixbuf) g_object_unref(pixbuf);
    }

    void WindowActivated(HWND hwnd) override {
        auto it = windows_.find(hwnd);
        if (it == windows_.end() || !gtk_widget_get_visible(it->second.window)) return;
        if (it->second.popup) {
            if (GdkWindow* gw = gtk_widget_get_window(it->second.window)) gdk_window_raise(gw);
            return;
        }
        presentedMs_ = os::CurrentClock().MonotonicMs();
        gtk_window_present(GTK_WINDOW(it->second.window));
    }

    void WindowRaised(HWND hwnd) override {
        auto it = windows_.find(hwnd);
        if (it == windows_.end()) return;
        if (GdkWindow* gw = gtk_widget_get_window(it->second.window)) gdk_window_raise(gw);
        // What it owns stays above it.
        for (auto& [h, w] : windows_)
            if (h != hwnd && GetWindow(h, GW_OWNER) == hwnd && w.mapped)
                if (GdkWindow* gw = gtk_widget_get_window(w.window)) gdk_window_raise(gw);
    }

    void WindowRestacked(HWND hwnd, HWND after) override {
        auto it = windows_.find(hwnd);
        if (it == windows_.end()) return;
        GdkWindow* gw = gtk_widget_get_window(it->second.window);
        if (!gw) return;
        if (after == HWND_BOTTOM) {
            gdk_window_lower(gw);
            return;
        }
        auto below = windows_.find(after);
        GdkWindow* sibling =
            below == windows_.end() ? nullptr : gtk_widget_get_window(below->second.window);
        if (sibling)
            gdk_window_restack(gw, sibling, FALSE);
        else
            WindowRaised(hwnd);
    }

    bool AttachNativeView(HWND host, void* nativeView, int inset) override {
        auto* widget = static_cast<GtkWidget*>(nativeView);
        g_object_ref(widget);
        NativeView v;
        v.host = host;
        v.inset = inset;
        views_[widget] = v;
        syncViews();
        return true;
    }

    void DetachNativeView(void* nativeView) override {
        auto* widget = static_cast<GtkWidget*>(nativeView);
        auto it = views_.find(widget);
        if (it == views_.end()) return;
        unplace(widget, it->second);
        views_.erase(it);
        g_object_unref(widget);
    }

    void SyncNativeViews() override { syncViews(); }

    void SetClipboardText(const std::string& text) override {
        GtkClipboard* c = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
        gtk_clipboard_set_text(c, text.data(), gint(text.size()));
        gtk_clipboard_store(c);
    }

    std::optional<std::string> GetClipboardText() override {
        GtkClipboard* c = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
        gchar* t = gtk_clipboard_wait_for_text(c);
        if (!t) return std::nullopt;
        std::string out(t);
        g_free(t);
        return out;
    }

    void Beep() override { GtkBeep(); }
    HBITMAP CaptureScreen(const RECT& area) override { return GtkCaptureScreen(area); }

    std::optional<std::string> RunFileDialog(const FileDialogRequest& r) override {
        GtkFileChooserAction action =
            r.kind == FileDialogRequest::ChooseFolder ? GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER
            : r.kind == FileDialogRequest::SaveFile   ? GTK_FILE_CHOOSER_ACTION_SAVE
                                                      : GTK_FILE_CHOOSER_ACTION_OPEN;
        const char* accept = r.kind == FileDialogRequest::ChooseFolder ? "_Select"
                             : r.kind == FileDialogRequest::SaveFile   ? "_Save"
                                                                       : "_Open";
        GtkWindow* parent = nullptr;
        HWND top = r.owner;
        while (top && (DWORD(GetWindowLongPtr(top, GWL_STYLE)) & WS_CHILD))
            top = GetParent(top);
        if (auto it = windows_.find(top); it != windows_.end())
            parent = GTK_WINDOW(it->second.window);
        GtkWidget* dlg =
            gtk_file_chooser_dialog_new(r.title.c_str(), parent, action, "_Cancel",
                                        GTK_RESPONSE_CANCEL, accept, GTK_RESPONSE_ACCEPT, nullptr);
        GtkFileChooser* fc = GTK_FILE_CHOOSER(dlg);
        gtk_dialog_set_default_response(GTK_DIALOG(dlg), GTK_RESPONSE_ACCEPT);
        gtk_file_chooser_set_local_only(fc, TRUE);
        for (const auto& [name, patterns] : r.filters) {
            GtkFileFilter* f = gtk_file_filter_new();
            gtk_file_filter_set_name(f, name.c_str());
            size_t start = 0;
            while (start <= patterns.size()) {
                size_t end = patterns.find(';', start);
                if (end == std::string::npos) end = patterns.size();
                std::string p = patterns.substr(start, end - start);
                p.erase(0, p.find_first_not_of(' '));
                p.erase(p.find_last_not_of(' ') + 1);
                if (!p.empty()) gtk_file_filter_add_pattern(f, p.c_str());
                start = end + 1;
            }
            gtk_file_chooser_add_filter(fc, f);
        }
        if (r.filterIndex > 0) {
            GSList* list = gtk_file_chooser_list_filters(fc);
            if (auto* f = g_slist_nth_data(list, guint(r.filterIndex)))
                gtk_file_chooser_set_filter(fc, GTK_FILE_FILTER(f));
            g_slist_free(list);
        }
        if (!r.initial.empty()) {
            if (r.kind == FileDialogRequest::SaveFile) {
                std::string folder = r.initial, name = r.initial;
                size_t slash = r.initial.rfind('/');
                if (slash != std::string::npos) {
                    folder = r.initial.substr(0, slash ? slash : 1);
                    name = r.initial.substr(slash + 1);
                    gtk_file_chooser_set_current_folder(fc, folder.c_str());
                }
                gtk_file_chooser_set_current_name(fc, name.c_str());
            } else if (g_file_test(r.initial.c_str(), G_FILE_TEST_EXISTS)) {
                // Shows the item selected inside its folder.
                gtk_file_chooser_set_filename(fc, r.initial.c_str());
            }
        }
        gtk_file_chooser_set_do_overwrite_confirmation(fc, r.confirmOverwrite);
        // With no window manager to focus it, the dialog takes the keyboard
        // itself once it is on the screen.
        g_signal_connect(dlg, "map-event", G_CALLBACK(+[](GtkWidget* w, GdkEvent*, gpointer) {
                             gtk_window_present(GTK_WINDOW(w));
                             return FALSE;
                         }),
                         nullptr);
        gint response = gtk_dialog_run(GTK_DIALOG(dlg));
        std::optional<std::string> chosen;
        if (response == GTK_RESPONSE_ACCEPT) {
            if (gchar* name = gtk_file_chooser_get_filename(fc)) {
                chosen = std::string(name);
                g_free(name);
            }
        }
        gtk_widget_destroy(dlg);
        pump();
        return chosen;
    }

private:
    struct Win {
        GtkWidget* window = nullptr;
        GtkWidget* overlay = nullptr;
        GtkWidget* area = nullptr;
        GtkWindowGroup* group = nullptr;
        GtkIMContext* im = nullptr;
        bool popup = false; // override-redirect: menus, drop-downs, hints
        bool mapped = false;
        unsigned draws = 0; // times the toolkit drew the surface
        // Without a compositor: the screen under a layered window, taken
        // before it shows, that its pixels are blended over.
        cairo_surface_t* under = nullptr;
    };
    struct NativeView {
        HWND host = 0;
        HWND top = 0; // the window whose overlay holds the view, 0 when none
        int inset = 0;
        GdkRectangle place{0, 0, 1, 1};
        bool visible = false;
    };

    static void dropUnder(Win& w) {
        if (w.under) cairo_surface_destroy(w.under);
        w.under = nullptr;
    }

    static void destroyWin(Win& w) {
        dropUnder(w);
        if (w.im) {
            gtk_im_context_set_client_window(w.im, nullptr);
            g_signal_handlers_disconnect_by_data(w.im, nullptr);
            g_object_unref(w.im);
            w.im = nullptr;
        }
        gtk_widget_destroy(w.window);
        if (w.group) g_object_unref(w.group);
        w.group = nullptr;
    }

    static DWORD styleOf(HWND h) { return DWORD(GetWindowLongPtr(h, GWL_STYLE)); }
    static DWORD exStyleOf(HWND h) { return DWORD(GetWindowLongPtr(h, GWL_EXSTYLE)); }

    // A captionless tool window is a menu, a drop-down list or a hint: the
    // display shows it where it is told, above the rest, without focus.
    static bool isPopupKind(HWND hwnd) {
        return (styleOf(hwnd) & WS_POPUP) && !(styleOf(hwnd) & WS_CAPTION) &&
               (exStyleOf(hwnd) & WS_EX_TOOLWINDOW);
    }

    // What the window is to the window manager, from its styles and owner.
    static GdkWindowTypeHint typeHintOf(HWND hwnd, HWND owner) {
        DWORD ex = exStyleOf(hwnd);
        if (isPopupKind(hwnd)) {
            if (ex & (WS_EX_TOPMOST | WS_EX_NOACTIVATE)) return GDK_WINDOW_TYPE_HINT_TOOLTIP;
            if (ex & WS_EX_LAYERED) return GDK_WINDOW_TYPE_HINT_UTILITY;
            return GetWindow(hwnd, GW_OWNER) ? GDK_WINDOW_TYPE_HINT_COMBO
                                             : GDK_WINDOW_TYPE_HINT_POPUP_MENU;
        }
        DWORD style = styleOf(hwnd);
        bool dialogFrame = (style & WS_CAPTION) && !(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
        if (owner || dialogFrame) return GDK_WINDOW_TYPE_HINT_DIALOG;
        // A captionless window of its own: the picture shown while starting.
        if ((styleOf(hwnd) & WS_POPUP) && !(styleOf(hwnd) & WS_CAPTION))
            return GDK_WINDOW_TYPE_HINT_SPLASHSCREEN;
        return GDK_WINDOW_TYPE_HINT_NORMAL;
    }

    // Tells the window manager what it needs before the window shows: the
    // owner it belongs to, its kind and whether it is modal (its owner is
    // disabled while it shows).
    void describe(HWND hwnd, Win& w) {
        HWND owner = GetWindow(hwnd, GW_OWNER);
        // A menu or hint belongs to the window that is active.
        if (!owner && w.popup) owner = GetActiveWindow();
        GtkWindow* parent = nullptr;
        if (auto o = windows_.find(owner); o != windows_.end() && owner != hwnd)
            parent = GTK_WINDOW(o->second.window);
        gtk_window_set_transient_for(GTK_WINDOW(w.window), parent);
        gtk_window_set_type_hint(GTK_WINDOW(w.window), typeHintOf(hwnd, owner));
        bool modal = parent && !IsWindowEnabled(owner);
        gtk_window_set_modal(GTK_WINDOW(w.window), modal);
        bool takesFocus = !w.popup && !(exStyleOf(hwnd) & WS_EX_NOACTIVATE);
        gtk_window_set_accept_focus(GTK_WINDOW(w.window), takesFocus);
        gtk_window_set_focus_on_map(GTK_WINDOW(w.window), takesFocus);
        gtk_window_set_skip_taskbar_hint(GTK_WINDOW(w.window), parent != nullptr || w.popup);
    }

    static bool isLayered(HWND hwnd) {
        return (DWORD(GetWindowLongPtr(hwnd, GWL_EXSTYLE)) & WS_EX_LAYERED) != 0;
    }

    // A window shows while visible; a layered one only once it was given
    // attributes or a picture.
    void syncMapped(HWND hwnd) {
        auto it = windows_.find(hwnd);
        if (it == windows_.end()) return;
        Win& w = it->second;
        bool want = IsWindowVisible(hwnd) && (!isLayered(hwnd) || GetLayeredState(hwnd).layered);
        if (want && !w.mapped) {
            place(hwnd);
            dropUnder(w);
            if (!composited_ && isLayered(hwnd)) {
                RECT r{};
                GetWindowRect(hwnd, &r);
                if (GdkPixbuf* pb = gdk_pixbuf_get_from_window(
                        gdk_get_default_root_window(), r.left, r.top,
                        std::max(1, int(r.right - r.left)), std::max(1, int(r.bottom - r.top)))) {
                    w.under = gdk_cairo_surface_create_from_pixbuf(pb, 1, nullptr);
                    g_object_unref(pb);
                }
            }
            gtk_window_set_keep_above(
                GTK_WINDOW(w.window),
                (DWORD(GetWindowLongPtr(hwnd, GWL_EXSTYLE)) & WS_EX_TOPMOST) != 0);
            describe(hwnd, w);
            gtk_widget_show_all(w.window);
            // Showing everything also shows the views our windows keep hidden.
            for (auto& [widget, v] : views_)
                if (v.top == hwnd && !v.visible) gtk_widget_set_visible(widget, FALSE);
            w.mapped = true;
            applyShape(hwnd);
        } else if (!want && w.mapped) {
            gtk_widget_hide(w.window);
            w.mapped = false;
            dropUnder(w);
        }
    }

    static void pump() {
        for (int i = 0; i < 100 && g_main_context_iteration(nullptr, FALSE); ++i) {
        }
        if (self_) self_->syncViews();
    }

    static HWND topOf(HWND hwnd) {
        while (hwnd && (DWORD(GetWindowLongPtr(hwnd, GWL_STYLE)) & WS_CHILD))
            hwnd = GetParent(hwnd);
        return hwnd;
    }

    void unplace(GtkWidget* widget, NativeView& v) {
        if (GtkWidget* parent = gtk_widget_get_parent(widget))
            gtk_container_remove(GTK_CONTAINER(parent), widget);
        v.top = 0;
        v.visible = false;
    }

    // Follows each host: its top-level window, place, visibility and focus.
    void syncViews() {
        if (syncing_) return;
        syncing_ = true;
        for (auto& [widget, v] : views_) {
            if (!IsWindow(v.host)) {
                unplace(widget, v);
                continue;
            }
            HWND top = topOf(v.host);
            auto win = windows_.find(top);
            if (win == windows_.end()) {
                unplace(widget, v);
                continue;
            }
            if (v.top != top) {
                unplace(widget, v);
                gtk_overlay_add_overlay(GTK_OVERLAY(win->second.overlay), widget);
                v.top = top;
            }
            RECT topRect{}, client{};
            GetWindowRect(top, &topRect);
            GetClientRect(v.host, &client);
            POINT origin{0, 0};
            ClientToScreen(v.host, &origin);
            GdkRectangle place{int(origin.x - topRect.left) + v.inset,
                               int(origin.y - topRect.top) + v.inset,
                               std::max(1, int(client.right) - 2 * v.inset),
                               std::max(1, int(client.bottom) - 2 * v.inset)};
            bool visible = IsWindowVisible(v.host) && client.right > 2 * v.inset &&
                           client.bottom > 2 * v.inset;
            if (visible != v.visible) {
                gtk_widget_set_visible(widget, visible);
                v.visible = visible;
            }
            if (place.x != v.place.x || place.y != v.place.y || place.width != v.place.width ||
                place.height != v.place.height) {
                v.place = place;
                gtk_widget_queue_resize(widget);
            }
            // Our focus decides the native focus inside the window.
            bool want = visible && GetFocus() == v.host;
            if (want && !gtk_widget_has_focus(widget))
                gtk_widget_grab_focus(widget);
            else if (!want && gtk_widget_has_focus(widget))
                gtk_widget_grab_focus(win->second.area);
        }
        syncing_ = false;
    }

    static gboolean onChildPosition(GtkOverlay*, GtkWidget* widget, GdkRectangle* allocation,
                                    gpointer self) {
        auto* b = static_cast<GtkBackend*>(self);
        auto it = b->views_.find(widget);
        if (it == b->views_.end()) return FALSE;
        *allocation = it->second.place;
        return TRUE;
    }

    void place(HWND hwnd) {
        auto it = windows_.find(hwnd);
        if (it == windows_.end()) return;
        RECT r{};
        GetWindowRect(hwnd, &r);
        int w = std::max(1, int(r.right - r.left)), h = std::max(1, int(r.bottom - r.top));
        gtk_widget_set_size_request(it->second.area, w, h);
        gtk_window_resize(GTK_WINDOW(it->second.window), w, h);
        gtk_window_move(GTK_WINDOW(it->second.window), r.left, r.top);
        gtk_widget_queue_draw(it->second.area);
    }

    void queueDraw(HWND top, const RECT* r) {
        auto it = windows_.find(top);
        if (it == windows_.end()) return;
        if (r)
            gtk_widget_queue_draw_area(it->second.area, r->left, r->top, r->right - r->left,
                                       r->bottom - r->top);
        else
            gtk_widget_queue_draw(it->second.area);
    }

    void applyShape(HWND hwnd) {
        auto it = windows_.find(hwnd);
        if (it == windows_.end()) return;
        if (!HasWindowRegion(hwnd)) {
            gtk_widget_shape_combine_region(it->second.window, nullptr);
            return;
        }
        cairo_region_t* region = cairo_region_create();
        for (const RECT& r : GetWindowRegionRects(hwnd)) {
            cairo_rectangle_int_t c{r.left, r.top, r.right - r.left, r.bottom - r.top};
            cairo_region_union_rectangle(region, &c);
        }
        gtk_widget_shape_combine_region(it->second.window, region);
        cairo_region_destroy(region);
    }

    void applyLayered(HWND hwnd) {
        auto it = windows_.find(hwnd);
        if (it == windows_.end()) return;
        LayeredState s = GetLayeredState(hwnd);
        // Without a compositor the window blends itself over what was under it.
        if (composited_)
            gtk_widget_set_opacity(it->second.window, s.layered ? s.alpha / 255.0 : 1.0);
        syncMapped(hwnd);
        gtk_widget_queue_draw(it->second.area);
    }

    static gboolean onDraw(GtkWidget*, cairo_t* cr, gpointer data) {
        auto hwnd = reinterpret_cast<HWND>(data);
        if (self_)
            if (auto it = self_->windows_.find(hwnd); it != self_->windows_.end())
                ++it->second.draws;
        HBITMAP surface = GetWindowSurface(hwnd);
        if (!surface) return FALSE;
        LayeredState ls = GetLayeredState(hwnd);
        cairo_surface_t* s = nullptr;
        std::vector<uint32_t> premultiplied;
        if (ls.perPixel) {
            // Our pictures carry straight alpha; cairo wants it premultiplied.
            premultiplied.resize(size_t(surface->width) * size_t(surface->height));
            for (int y = 0; y < surface->height; ++y) {
                const auto* row = reinterpret_cast<const uint32_t*>(surface->row(y));
                for (int x = 0; x < surface->width; ++x) {
                    uint32_t p = row[x], a = p >> 24, out = a << 24;
                    for (int sh = 0; sh < 24; sh += 8)
                        out |= ((((p >> sh) & 0xFF) * a + 127) / 255) << sh;
                    premultiplied[size_t(y) * size_t(surface->width) + size_t(x)] = out;
                }
            }
            s = cairo_image_surface_create_for_data(
                reinterpret_cast<unsigned char*>(premultiplied.data()), CAIRO_FORMAT_ARGB32,
                surface->width, surface->height, surface->width * 4);
        } else {
            s = cairo_image_surface_create_for_data(surface->data.get(), CAIRO_FORMAT_RGB24,
                                                    surface->width, surface->height,
                                                    surface->stride);
        }
        cairo_surface_t* under = nullptr;
        if (self_) {
            auto it = self_->windows_.find(hwnd);
            if (it != self_->windows_.end()) under = it->second.under;
        }
        if (under && ls.layered) {
            cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
            cairo_set_source_surface(cr, under, 0, 0);
            cairo_paint(cr);
            cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
            cairo_set_source_surface(cr, s, 0, 0);
            cairo_paint_with_alpha(cr, ls.alpha / 255.0);
        } else {
            cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
            cairo_set_source_surface(cr, s, 0, 0);
            cairo_paint(cr);
        }
        cairo_surface_destroy(s);
        return TRUE;
    }

    // The display's own screen position: steady while our window moves.
    static POINT screenPoint(double xRoot, double yRoot) { return POINT{int(xRoot), int(yRoot)}; }

    static gboolean onButton(GtkWidget* w, GdkEventButton* e, gpointer data) {
        gtk_widget_grab_focus(w);
        UINT msg = 0;
        bool dbl = e->type == GDK_2BUTTON_PRESS;
        if (e->type == GDK_3BUTTON_PRESS) return TRUE;
        bool down = e->type == GDK_BUTTON_PRESS || dbl;
        switch (e->button) {
        case 1:
            msg = dbl ? WM_LBUTTONDBLCLK : down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
            break;
        case 2:
            msg = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
            break;
        case 3:
            msg = dbl ? WM_RBUTTONDBLCLK : down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
            break;
        default:
            return FALSE;
        }
        WPARAM keys = keysOf(e->state);
        if (down)
            keys |= e->button == 1   ? WPARAM(MK_LBUTTON)
                    : e->button == 3 ? WPARAM(MK_RBUTTON)
                                     : WPARAM(MK_MBUTTON);
        DeliverMouse(msg, screenPoint(e->x_root, e->y_root), keys, 0, reinterpret_cast<HWND>(data));
        return TRUE;
    }

    static gboolean onMotion(GtkWidget*, GdkEventMotion* e, gpointer data) {
        DeliverMouse(WM_MOUSEMOVE, screenPoint(e->x_root, e->y_root), keysOf(e->state), 0,
                     reinterpret_cast<HWND>(data));
        return TRUE;
    }

    static gboolean onScroll(GtkWidget*, GdkEventScroll* e, gpointer data) {
        int delta = e->direction == GDK_SCROLL_UP     ? 120
                    : e->direction == GDK_SCROLL_DOWN ? -120
                                                      : 0;
        if (delta)
            DeliverMouse(WM_MOUSEWHEEL, screenPoint(e->x_root, e->y_root), keysOf(e->state), delta,
                         reinterpret_cast<HWND>(data));
        return TRUE;
    }

    static gboolean onKey(GtkWidget* window, GdkEventKey* e, gpointer data) {
        auto* b = self_;
        if (!b) return FALSE;
        auto hwnd = reinterpret_cast<HWND>(data);
        int vk = virtualKeyOf(e->keyval);
        bool down = e->type == GDK_KEY_PRESS;
        if (vk) b->keys_[vk] = down;
        // A native view with the focus takes its keys itself (it routes
        // them to its host).
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
        if (focus && b->views_.count(focus)) return FALSE;
        auto it = b->windows_.find(hwnd);
        if (it == b->windows_.end()) return TRUE;
        // The input method sees the key first; what it commits meanwhile
        // follows the key's own message.
        b->composing_ = true;
        b->composed_.clear();
        bool filtered = it->second.im && gtk_im_context_filter_keypress(it->second.im, e);
        b->composing_ = false;
        std::u32string text = std::move(b->composed_);
        b->composed_.clear();
        char32_t ch = down ? char32_t(gdk_keyval_to_unicode(e->keyval)) : 0;
        if (vk || (!filtered && ch)) DeliverKey(down, vk, ch, hwnd, filtered);
        if (!text.empty()) DeliverText(text, hwnd);
        return TRUE;
    }

    static void onCommit(GtkIMContext*, const gchar* str, gpointer data) {
        std::u32string text;
        for (const gchar* p = str; p && *p; p = g_utf8_next_char(p))
            text.push_back(char32_t(g_utf8_get_char(p)));
        if (self_ && self_->composing_)
            self_->composed_ += text;
        else
            DeliverText(text, reinterpret_cast<HWND>(data));
    }

    static void onRealize(GtkWidget* area, gpointer im) {
        gtk_im_context_set_client_window(GTK_IM_CONTEXT(im), gtk_widget_get_window(area));
    }

    // The window manager (or the X server) gave one of our windows the
    // focus: that window is the active one, unless it is held by a modal
    // dialog, which then comes forward instead.
    static gboolean onFocusIn(GtkWidget*, GdkEventFocus*, gpointer data) {
        auto hwnd = reinterpret_cast<HWND>(data);
        if (!self_) return FALSE;
        if (auto it = self_->windows_.find(hwnd); it != self_->windows_.end() && it->second.im)
            gtk_im_context_focus_in(it->second.im);
        if (IsWindow(hwnd) && GetActiveWindow() != hwnd) ActivateFromDisplay(hwnd);
        return FALSE;
    }

    // The focus left: when no window of ours has it a moment later, the
    // program is no longer the active one.
    static gboolean onFocusOut(GtkWidget*, GdkEventFocus*, gpointer data) {
        auto hwnd = reinterpret_cast<HWND>(data);
        if (!self_) return FALSE;
        if (auto it = self_->windows_.find(hwnd); it != self_->windows_.end() && it->second.im)
            gtk_im_context_focus_out(it->second.im);
        if (!self_->deactivateCheck_)
            self_->deactivateCheck_ = g_timeout_add(150, onDeactivateCheck, nullptr);
        return FALSE;
    }

    static gboolean onDeactivateCheck(gpointer) {
        if (!self_) return G_SOURCE_REMOVE;
        self_->deactivateCheck_ = 0;
        for (auto& [h, w] : self_->windows_)
            if (w.mapped && gtk_window_has_toplevel_focus(GTK_WINDOW(w.window)))
                return G_SOURCE_REMOVE;
        // The active window was just asked for and the focus is on its way.
        if (self_->presentedMs_ + 500 > os::CurrentClock().MonotonicMs()) return G_SOURCE_REMOVE;
        if (GetActiveWindow()) DeactivateFromDisplay();
        return G_SOURCE_REMOVE;
    }

    // A window the layer made active before it was on the screen gets the
    // focus once it is.
    static gboolean onMapped(GtkWidget* widget, GdkEvent*, gpointer data) {
        auto hwnd = reinterpret_cast<HWND>(data);
        if (self_ && GetActiveWindow() == hwnd && !gtk_window_is_active(GTK_WINDOW(widget))) {
            self_->presentedMs_ = os::CurrentClock().MonotonicMs();
            gtk_window_present(GTK_WINDOW(widget));
        }
        return FALSE;
    }

    // The desktop minimized the window or brought it back (its task list,
    // a key of the window manager's): the window learns it as from its own
    // system menu.
    static gboolean onWindowState(GtkWidget*, GdkEventWindowState* e, gpointer data) {
        auto hwnd = reinterpret_cast<HWND>(data);
        if (!(e->changed_mask & GDK_WINDOW_STATE_ICONIFIED)) return FALSE;
        const bool iconified = (e->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
        if (iconified != bool(IsIconic(hwnd)))
            PostMessage(hwnd, WM_SYSCOMMAND, iconified ? SC_MINIMIZE : SC_RESTORE, 0);
        return FALSE;
    }

    static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data) {
        auto hwnd = reinterpret_cast<HWND>(data);
        // The window manager's close button on a window held by a modal
        // dialog brings the dialog forward instead.
        if (!IsWindowEnabled(hwnd)) {
            if (HWND popup = GetLastActivePopup(hwnd); popup != hwnd) SetActiveWindow(popup);
            return TRUE;
        }
        PostMessage(hwnd, WM_CLOSE, 0, 0);
        return TRUE;
    }

    // The pointer shape over all our windows (only the one under the pointer shows it).
    void showCursor(HCURSOR c) {
        const char* name = "default";
        switch (CursorShapeOf(c)) {
        case CursorShape::SizeWE:
            name = "ew-resize";
            break;
        case CursorShape::SizeNS:
            name = "ns-resize";
            break;
        case CursorShape::SizeNWSE:
            name = "nwse-resize";
            break;
        case CursorShape::SizeNESW:
            name = "nesw-resize";
            break;
        case CursorShape::Hand:
            name = "pointer";
            break;
        case CursorShape::IBeam:
            name = "text";
            break;
        case CursorShape::Arrow:
            break;
        }
        GdkDisplay* display = gdk_display_get_default();
        if (!display) return;
        GdkCursor* cursor = gdk_cursor_new_from_name(display, name);
        for (auto& [h, w] : windows_)
            if (GdkWindow* gw = gtk_widget_get_window(w.window)) gdk_window_set_cursor(gw, cursor);
        if (cursor) g_object_unref(cursor);
    }

    std::map<HWND, Win> windows_;
    std::map<int, bool> keys_;
    bool composing_ = false;
    std::u32string composed_;
    guint deactivateCheck_ = 0;
    uint64_t presentedMs_ = 0;
    std::map<GtkWidget*, NativeView> views_;
    bool syncing_ = false;
    bool composited_ = false;
    static inline GtkBackend* self_ = nullptr;
};

} // namespace

int VirtualKeyFromKeyval(unsigned keyval) {
    return virtualKeyOf(keyval);
}

std::unique_ptr<Backend> CreateGtkBackend() {
    // Nothing here draws with OpenGL: without it the toolkit does not load
    // and probe the GL driver while it opens the display, which takes a
    // tenth of a second. Programs started later do not inherit the switch.
    const bool noGl = !g_getenv("GDK_GL");
    if (noGl) g_setenv("GDK_GL", "disable", TRUE);
    const bool ok = gtk_init_check(nullptr, nullptr);
    if (noGl) g_unsetenv("GDK_GL");
    if (!ok) return nullptr;
    return std::make_unique<GtkBackend>();
}

} // namespace display
