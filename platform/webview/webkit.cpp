#include "platform/webview/webkit.h"

#include <gtk/gtk.h>
#include <libsoup/soup.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/display/backend.h"
#include "platform/display/gtk.h"
#include "platform/os/process.h"
#include "platform/win/input.h"
#include "platform/win/messages.h"
#include "platform/win/window.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace webview {
namespace {

constexpr const char* kErrorHandler = "lantroveScriptError";
constexpr char kSep = '\x1f';

std::string& printFileTarget() {
    static std::string target;
    return target;
}

bool gtkInForce() {
    return std::strcmp(display::Current().Name(), "gtk") == 0;
}

// Settings the engine needs in this environment, made once before its first
// process starts: its sandbox cannot run as root or without the sandbox
// helper, and a virtual display has no GPU to accelerate with.
void prepareEngine() {
    static bool done = false;
    if (done) return;
    done = true;
    if (geteuid() == 0 || os::FindProgram("bwrap").empty())
        setenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1", 0);
    setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
    setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
}

// Runs the GLib loop until done() or timeoutMs pass; answers done().
template <class Done> bool pumpUntil(Done done, unsigned timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return done();
        if (!g_main_context_iteration(nullptr, FALSE))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::string lowerOf(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

class WebKitView : public View {
public:
    explicit WebKitView(HWND host) : View(host) {
        prepareEngine();
        ucm_ = webkit_user_content_manager_new();
        view_ =
            GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "user-content-manager", ucm_, nullptr));
        g_object_ref_sink(view_);
        WebKitSettings* ws = webkit_web_view_get_settings(WEBKIT_WEB_VIEW(view_));
        webkit_settings_set_hardware_acceleration_policy(ws,
                                                         WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
        webkit_settings_set_allow_file_access_from_file_urls(ws, TRUE);
        webkit_settings_set_javascript_can_open_windows_automatically(ws, TRUE);
        webkit_settings_set_enable_developer_extras(ws, FALSE);
        gtk_widget_set_can_focus(view_, TRUE);
        g_signal_connect(view_, "decide-policy", G_CALLBACK(onDecidePolicy), this);
        g_signal_connect(view_, "load-changed", G_CALLBACK(onLoadChanged), this);
        g_signal_connect(view_, "load-failed", G_CALLBACK(onLoadFailed), this);
        g_signal_connect(view_, "notify::title", G_CALLBACK(onTitle), this);
        g_signal_connect(view_, "mouse-target-changed", G_CALLBACK(onMouseTarget), this);
        g_signal_connect(view_, "script-dialog", G_CALLBACK(onScriptDialog), this);
        g_signal_connect(view_, "context-menu", G_CALLBACK(onContextMenu), this);
        g_signal_connect(view_, "key-press-event", G_CALLBACK(onKey), this);
        g_signal_connect(view_, "key-release-event", G_CALLBACK(onKey), this);
        g_signal_connect(view_, "button-press-event", G_CALLBACK(onButton), this);
        g_signal_connect(view_, "focus-in-event", G_CALLBACK(onFocus), this);
        g_signal_connect(view_, "focus-out-event", G_CALLBACK(onFocus), this);
        g_signal_connect(view_, "web-process-terminated", G_CALLBACK(onTerminated), this);
        g_signal_connect(view_, "notify::zoom-level", G_CALLBACK(onZoom), this);
        g_signal_connect(view_, "create", G_CALLBACK(onCreate), this);
        WebKitFindController* fc = webkit_web_view_get_find_controller(WEBKIT_WEB_VIEW(view_));
        g_signal_connect(fc, "found-text", G_CALLBACK(onFound), this);
        g_signal_connect(fc, "failed-to-find-text", G_CALLBACK(onNotFound), this);
        g_signal_connect(ucm_, (std::string("script-message-received::") + kErrorHandler).c_str(),
                         G_CALLBACK(onScriptMessage), this);
        webkit_user_content_manager_register_script_message_handler(ucm_, kErrorHandler);
        installUserContent();
        attached_ = display::Current().AttachNativeView(host, view_, inset());
    }

    ~WebKitView() override {
        *alive_ = false;
        WebKitFindController* fc = webkit_web_view_get_find_controller(WEBKIT_WEB_VIEW(view_));
        g_signal_handlers_disconnect_by_data(fc, this);
        g_signal_handlers_disconnect_by_data(view_, this);
        g_signal_handlers_disconnect_by_data(ucm_, this);
        if (attached_) display::Current().DetachNativeView(view_);
        gtk_widget_destroy(view_);
        g_object_unref(view_);
        g_object_unref(ucm_);
    }

    const char* BackendName() const override { return "webkit"; }

    bool Navigate(const Navigation& nav) override {
        std::string url = nav.url;
        if (url.empty() || url.find(':') == std::string::npos) return false;
        WebKitURIRequest* req = webkit_uri_request_new(url.c_str());
        if (!nav.headers.empty()) {
            SoupMessageHeaders* h = webkit_uri_request_get_http_headers(req);
            if (h) {
                size_t start = 0;
                while (start < nav.headers.size()) {
                    size_t end = nav.headers.find('\n', start);
                    std::string line = nav.headers.substr(start, end - start);
                    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
                        line.pop_back();
                    size_t colon = line.find(':');
                    if (colon != std::string::npos && colon > 0) {
                        std::string value = line.substr(colon + 1);
                        value.erase(0, value.find_first_not_of(' '));
                        soup_message_headers_replace(h, line.substr(0, colon).c_str(),
                                                     value.c_str());
                    }
                    if (end == std::string::npos) break;
                    start = end + 1;
                }
            }
        }
        pendingTarget_ = nav.target;
        if (!nav.postData.empty()) {
            // The engine loads addresses by GET only: a form page posts the
            // fields of url-encoded data instead.
            g_object_unref(req);
            return postForm(url, nav.postData);
        }
        webkit_web_view_load_request(WEBKIT_WEB_VIEW(view_), req);
        g_object_unref(req);
        return true;
    }

    bool LoadHtml(const std::string& bytes, const std::string& charset,
                  const std::string& baseUrl) override {
        GBytes* b = g_bytes_new(bytes.data(), bytes.size());
        std::string base = baseUrl.empty() ? "about:blank" : baseUrl;
        internalUri_ = base;
        webkit_web_view_load_bytes(WEBKIT_WEB_VIEW(view_), b, "text/html",
                                   charset.empty() ? "UTF-8" : charset.c_str(), base.c_str());
        g_bytes_unref(b);
        hasDoc_ = true;
        setState(ReadyState::Loading);
        return true;
    }

    bool GoBack() override {
        if (!webkit_web_view_can_go_back(WEBKIT_WEB_VIEW(view_))) return false;
        webkit_web_view_go_back(WEBKIT_WEB_VIEW(view_));
        return true;
    }
    bool GoForward() override {
        if (!webkit_web_view_can_go_forward(WEBKIT_WEB_VIEW(view_))) return false;
        webkit_web_view_go_forward(WEBKIT_WEB_VIEW(view_));
        return true;
    }
    void Stop() override { webkit_web_view_stop_loading(WEBKIT_WEB_VIEW(view_)); }
    void Reload(bool bypassCache) override {
        if (bypassCache)
            webkit_web_view_reload_bypass_cache(WEBKIT_WEB_VIEW(view_));
        else
            webkit_web_view_reload(WEBKIT_WEB_VIEW(view_));
    }

    ReadyState State() const override { return state_; }
    bool Busy() const override { return webkit_web_view_is_loading(WEBKIT_WEB_VIEW(view_)); }
    bool HasDocument() const override { return hasDoc_; }
    std::string Url() const override {
        const char* u = webkit_web_view_get_uri(WEBKIT_WEB_VIEW(view_));
        return u ? u : "";
    }
    std::string Title() const override {
        const char* t = webkit_web_view_get_title(WEBKIT_WEB_VIEW(view_));
        return t ? t : "";
    }

    ScriptResult Evaluate(const std::string& script, unsigned timeoutMs) override {
        if (!hasDoc_) return ScriptResult{false, {}, "no document"};
        struct Pending {
            bool done = false;
            ScriptResult result;
        };
        auto pending = std::make_shared<Pending>();
        auto* hold = new std::shared_ptr<Pending>(pending);
        GCancellable* cancel = g_cancellable_new();
        webkit_web_view_evaluate_javascript(
            WEBKIT_WEB_VIEW(view_), script.data(), gssize(script.size()), nullptr, nullptr, cancel,
            [](GObject* source, GAsyncResult* res, gpointer data) {
                auto* p = static_cast<std::shared_ptr<Pending>*>(data);
                GError* error = nullptr;
                JSCValue* v = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source),
                                                                         res, &error);
                Pending& out = **p;
                if (!v) {
                    out.result.ok = false;
                    out.result.error = error ? error->message : "script failed";
                } else {
                    out.result.ok = true;
                    if (!jsc_value_is_undefined(v) && !jsc_value_is_null(v)) {
                        char* s = jsc_value_to_string(v);
                        out.result.value = s ? s : "";
                        g_free(s);
                    }
                    g_object_unref(v);
                }
                if (error) g_error_free(error);
                out.done = true;
                delete p;
            },
            hold);
        bool finished = pumpUntil([&] { return pending->done; }, timeoutMs);
        if (!finished) {
            g_cancellable_cancel(cancel);
            // A script that never ends holds the page's process: end it, the
            // view shows nothing until the next load.
            webkit_web_view_terminate_web_process(WEBKIT_WEB_VIEW(view_));
            hasDoc_ = false;
            setState(ReadyState::Complete);
        }
        g_object_unref(cancel);
        if (!finished) return ScriptResult{false, {}, "script timed out"};
        return pending->result;
    }

    std::string DesignMode() override {
        std::string m = View::DesignMode();
        return m;
    }

    void SetZoom(double factor) override {
        if (factor > 0) webkit_web_view_set_zoom_level(WEBKIT_WEB_VIEW(view_), factor);
    }
    double Zoom() const override { return webkit_web_view_get_zoom_level(WEBKIT_WEB_VIEW(view_)); }

    bool Find(const std::string& text, const FindOptions& o) override {
        if (!hasDoc_ || text.empty()) return false;
        WebKitFindController* fc = webkit_web_view_get_find_controller(WEBKIT_WEB_VIEW(view_));
        guint32 opts = 0;
        if (!o.matchCase) opts |= WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE;
        if (o.backwards) opts |= WEBKIT_FIND_OPTIONS_BACKWARDS;
        if (o.wrap) opts |= WEBKIT_FIND_OPTIONS_WRAP_AROUND;
        if (o.wholeWord) opts |= WEBKIT_FIND_OPTIONS_AT_WORD_STARTS;
        findAnswer_ = -1;
        const char* current = webkit_find_controller_get_search_text(fc);
        if (current && text == current && opts == webkit_find_controller_get_options(fc)) {
            if (o.backwards)
                webkit_find_controller_search_previous(fc);
            else
                webkit_find_controller_search_next(fc);
        } else {
            webkit_find_controller_search(fc, text.c_str(), opts, G_MAXUINT);
        }
        pumpUntil([&] { return findAnswer_ >= 0; }, 3000);
        return findAnswer_ == 1;
    }
    void FindFinish() override {
        webkit_find_controller_search_finish(
            webkit_web_view_get_find_controller(WEBKIT_WEB_VIEW(view_)));
    }

    bool Print(bool askUser) override {
        if (!hasDoc_) return false;
        WebKitPrintOperation* op = webkit_print_operation_new(WEBKIT_WEB_VIEW(view_));
        bool ok = true;
        if (askUser) {
            GtkWidget* top = gtk_widget_get_toplevel(view_);
            ok = webkit_print_operation_run_dialog(op, GTK_IS_WINDOW(top) ? GTK_WINDOW(top)
                                                                          : nullptr) ==
                 WEBKIT_PRINT_OPERATION_RESPONSE_PRINT;
        } else {
            std::string file = printFileTarget();
            if (!file.empty()) {
                GtkPrintSettings* settings = gtk_print_settings_new();
                gtk_print_settings_set_printer(settings, "Print to File");
                gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
                gchar* uri = g_filename_to_uri(file.c_str(), nullptr, nullptr);
                gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_URI, uri ? uri : "");
                g_free(uri);
                webkit_print_operation_set_print_settings(op, settings);
                g_object_unref(settings);
            }
            webkit_print_operation_print(op);
        }
        g_object_unref(op);
        return ok;
    }

    bool Snapshot(int width, int height, std::vector<uint32_t>& pixels) override {
        if (!hasDoc_ || width <= 0 || height <= 0) return false;
        struct Shot {
            bool done = false;
            cairo_surface_t* surface = nullptr;
        };
        auto shot = std::make_shared<Shot>();
        auto* hold = new std::shared_ptr<Shot>(shot);
        webkit_web_view_get_snapshot(
            WEBKIT_WEB_VIEW(view_), WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE,
            nullptr,
            [](GObject* source, GAsyncResult* res, gpointer data) {
                auto* p = static_cast<std::shared_ptr<Shot>*>(data);
                (*p)->surface =
                    webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), res, nullptr);
                (*p)->done = true;
                delete p;
            },
            hold);
        if (!pumpUntil([&] { return shot->done; }, 5000) || !shot->surface) return false;
        cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        cairo_t* cr = cairo_create(target);
        double sw = cairo_image_surface_get_width(shot->surface);
        double sh = cairo_image_surface_get_height(shot->surface);
        if (sw > 0 && sh > 0) cairo_scale(cr, width / sw, height / sh);
        cairo_set_source_surface(cr, shot->surface, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(target);
        pixels.assign(size_t(width) * height, 0);
        const unsigned char* data = cairo_image_surface_get_data(target);
        int stride = cairo_image_surface_get_stride(target);
        for (int y = 0; y < height; ++y)
            std::memcpy(&pixels[size_t(y) * width], data + size_t(y) * stride, size_t(width) * 4);
        cairo_surface_destroy(target);
        cairo_surface_destroy(shot->surface);
        return true;
    }

    void Apply(const Settings& s) override {
        bool insetChanged = s.border3D != settings_.border3D;
        settings_ = s;
        WebKitSettings* ws = webkit_web_view_get_settings(WEBKIT_WEB_VIEW(view_));
        webkit_settings_set_auto_load_images(ws, s.images);
        webkit_settings_set_enable_media(ws, s.media);
        webkit_settings_set_enable_javascript_markup(ws, s.scripts);
        webkit_settings_set_user_agent(ws, s.userAgent.empty() ? nullptr : s.userAgent.c_str());
        installUserContent();
        if (insetChanged && attached_) {
            display::Current().DetachNativeView(view_);
            attached_ = display::Current().AttachNativeView(host_, view_, inset());
        }
    }

    void SetHost(HWND host) override {
        if (attached_) display::Current().DetachNativeView(view_);
        host_ = host;
        attached_ = display::Current().AttachNativeView(host_, view_, inset());
    }

    void Focus() override {
        if (GetFocus() != host_) SetFocus(host_);
        display::Current().SyncNativeViews();
        if (!gtk_widget_has_focus(view_)) gtk_widget_grab_focus(view_);
    }
    bool HasFocus() const override { return gtk_widget_has_focus(view_); }
    void SyncPlacement() override { display::Current().SyncNativeViews(); }

    GtkWidget* Widget() const { return view_; }

private:
    bool postForm(const std::string& url, const std::string& data) {
        std::string fields;
        size_t start = 0;
        auto esc = [](const std::string& s) {
            std::string o;
            for (char c : s)
                o += c == '"'   ? std::string("&quot;")
                     : c == '&' ? std::string("&amp;")
                     : c == '<' ? std::string("&lt;")
                                : std::string(1, c);
            return o;
        };
        while (start < data.size()) {
            size_t end = data.find('&', start);
            std::string pair = data.substr(start, end - start);
            while (!pair.empty() && (pair.back() == '\r' || pair.back() == '\n'))
                pair.pop_back();
            size_t eq = pair.find('=');
            char* name = g_uri_unescape_string(pair.substr(0, eq).c_str(), nullptr);
            std::string value = eq == std::string::npos ? "" : pair.substr(eq + 1);
            for (char& c : value)
                if (c == '+') c = ' ';
            char* val = g_uri_unescape_string(value.c_str(), nullptr);
            fields += "<input type=\"hidden\" name=\"" + esc(name ? name : "") + "\" value=\"" +
                      esc(val ? val : "") + "\">";
            g_free(name);
            g_free(val);
            if (end == std::string::npos) break;
            start = end + 1;
        }
        return LoadHtml("<html><body onload=\"document.forms[0].submit()\"><form method=\"post\" "
                        "action=\"" +
                            esc(url) + "\">" + fields + "</form></body></html>",
                        "UTF-8", "about:blank");
    }

    int inset() const { return settings_.border3D ? 2 : 0; }

    void setState(ReadyState s) {
        if (state_ == s) return;
        state_ = s;
        if (OnStateChange) OnStateChange(s);
    }

    void installUserContent() {
        webkit_user_content_manager_remove_all_style_sheets(ucm_);
        webkit_user_content_manager_remove_all_scripts(ucm_);
        std::string css;
        if (!settings_.scrollBars)
            css += "html,body{overflow:hidden !important}::-webkit-scrollbar{display:none}";
        if (!settings_.textSelection)
            css += "*{-webkit-user-select:none !important;user-select:none !important}";
        if (!css.empty()) {
            WebKitUserStyleSheet* sheet =
                webkit_user_style_sheet_new(css.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                            WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
            webkit_user_content_manager_add_style_sheet(ucm_, sheet);
            webkit_user_style_sheet_unref(sheet);
        }
        if (!settings_.hostCss.empty()) {
            // The host's sheet is the page's default: the page's own rules win.
            WebKitUserStyleSheet* sheet = webkit_user_style_sheet_new(
                settings_.hostCss.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
            webkit_user_content_manager_add_style_sheet(ucm_, sheet);
            webkit_user_style_sheet_unref(sheet);
        }
        std::string script =
            "window.addEventListener('error',function(e){try{window.webkit.messageHandlers." +
            std::string(kErrorHandler) +
            ".postMessage([String(e.message),String(e.filename||''),String(e.lineno||0),"
            "String(e.colno||0)].join('\\x1f'))}catch(x){}});";
        WebKitUserScript* us =
            webkit_user_script_new(script.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                   WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
        webkit_user_content_manager_add_script(ucm_, us);
        webkit_user_script_unref(us);
    }

    static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
            auto* rd = WEBKIT_RESPONSE_POLICY_DECISION(decision);
            if (webkit_response_policy_decision_is_mime_type_supported(rd)) return FALSE;
            WebKitURIRequest* req = webkit_response_policy_decision_get_request(rd);
            std::string url = webkit_uri_request_get_uri(req);
            // The view shows pages only; whatever it cannot show goes to the host.
            if (v->OnDownload) v->OnDownload(url);
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
        auto* nd = WEBKIT_NAVIGATION_POLICY_DECISION(decision);
        WebKitNavigationAction* action =
            webkit_navigation_policy_decision_get_navigation_action(nd);
        WebKitURIRequest* req = webkit_navigation_action_get_request(action);
        Navigation nav;
        nav.url = webkit_uri_request_get_uri(req) ? webkit_uri_request_get_uri(req) : "";
        const char* frame = webkit_navigation_action_get_frame_name(action);
        nav.target = frame ? frame : v->pendingTarget_;
        v->pendingTarget_.clear();
        nav.userInitiated = webkit_navigation_action_is_user_gesture(action);
        const char* method = webkit_uri_request_get_http_method(req);
        if (method && std::strcmp(method, "POST") == 0) nav.flags |= 0;
        if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
            webkit_policy_decision_ignore(decision);
            bool cancel = false;
            if (v->OnNewWindow) v->OnNewWindow(nav, cancel);
            // No second window here: an allowed one opens in this view.
            if (!cancel) v->Navigate(nav);
            return TRUE;
        }
        if (!v->internalUri_.empty() && nav.url == v->internalUri_) {
            // Our own memory load: not a navigation of the page.
            v->internalUri_.clear();
            webkit_policy_decision_use(decision);
            return TRUE;
        }
        bool cancel = false;
        if (v->OnBeforeNavigate) v->OnBeforeNavigate(nav, cancel);
        if (cancel)
            webkit_policy_decision_ignore(decision);
        else
            webkit_policy_decision_use(decision);
        return TRUE;
    }

    static void onLoadChanged(WebKitWebView* wv, WebKitLoadEvent event, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        const char* uri = webkit_web_view_get_uri(wv);
        std::string url = uri ? uri : "";
        switch (event) {
        case WEBKIT_LOAD_STARTED:
            v->setState(ReadyState::Loading);
            break;
        case WEBKIT_LOAD_REDIRECTED:
            break;
        case WEBKIT_LOAD_COMMITTED:
            v->hasDoc_ = true;
            v->setState(ReadyState::Interactive);
            if (v->OnNavigateComplete) v->OnNavigateComplete(url);
            break;
        case WEBKIT_LOAD_FINISHED:
            v->hasDoc_ = true;
            v->setState(ReadyState::Complete);
            if (v->OnDocumentComplete) v->OnDocumentComplete(url);
            break;
        }
    }

    static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error,
                                 gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        bool cancelled =
            g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
            g_error_matches(error, WEBKIT_POLICY_ERROR,
                            WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE);
        if (!cancelled && v->OnNavigateError)
            v->OnNavigateError(uri ? uri : "", error ? error->message : "");
        return cancelled ? TRUE : FALSE;
    }

    static void onTitle(WebKitWebView*, GParamSpec*, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        if (v->OnTitleChange) v->OnTitleChange(v->Title());
    }

    static void onMouseTarget(WebKitWebView*, WebKitHitTestResult* hit, guint, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        std::string text;
        if (webkit_hit_test_result_context_is_link(hit)) {
            const char* u = webkit_hit_test_result_get_link_uri(hit);
            text = u ? u : "";
        }
        if (text != v->status_) {
            v->status_ = text;
            if (v->OnStatusText) v->OnStatusText(text);
        }
    }

    static gboolean onScriptDialog(WebKitWebView*, WebKitScriptDialog* d, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        ScriptDialog dialog;
        switch (webkit_script_dialog_get_dialog_type(d)) {
        case WEBKIT_SCRIPT_DIALOG_ALERT:
            dialog.kind = DialogKind::Alert;
            break;
        case WEBKIT_SCRIPT_DIALOG_CONFIRM:
            dialog.kind = DialogKind::Confirm;
            break;
        case WEBKIT_SCRIPT_DIALOG_PROMPT:
            dialog.kind = DialogKind::Prompt;
            dialog.defaultText = webkit_script_dialog_prompt_get_default_text(d);
            dialog.response = dialog.defaultText;
            break;
        case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
            dialog.kind = DialogKind::BeforeUnload;
            break;
        }
        const char* msg = webkit_script_dialog_get_message(d);
        dialog.message = msg ? msg : "";
        if (v->OnScriptDialog) v->OnScriptDialog(dialog);
        if (dialog.kind == DialogKind::Confirm || dialog.kind == DialogKind::BeforeUnload)
            webkit_script_dialog_confirm_set_confirmed(d, dialog.accept);
        else if (dialog.kind == DialogKind::Prompt)
            webkit_script_dialog_prompt_set_text(d,
                                                 dialog.accept ? dialog.response.c_str() : nullptr);
        // The host answers every dialog; the engine shows none of its own.
        return TRUE;
    }

    static gboolean onContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent* e,
                                  WebKitHitTestResult* hit, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        if (!v->settings_.contextMenu) return TRUE;
        double x = 0, y = 0;
        if (e) gdk_event_get_coords(e, &x, &y);
        int kind = kContextDefault;
        if (webkit_hit_test_result_context_is_link(hit))
            kind = kContextAnchor;
        else if (webkit_hit_test_result_context_is_image(hit))
            kind = kContextImage;
        else if (webkit_hit_test_result_context_is_editable(hit))
            kind = kContextControl;
        else if (webkit_hit_test_result_context_is_selection(hit))
            kind = kContextSelection;
        if (v->OnContextMenu && v->OnContextMenu(kind, int(x) + v->inset(), int(y) + v->inset()))
            return TRUE;
        return FALSE;
    }

    static gboolean onKey(GtkWidget*, GdkEventKey* e, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        KeyInput k;
        k.down = e->type == GDK_KEY_PRESS;
        k.virtualKey = display::VirtualKeyFromKeyval(e->keyval);
        k.scanCode = e->hardware_keycode > 8 ? e->hardware_keycode - 8 : 0;
        k.shift = (e->state & GDK_SHIFT_MASK) != 0;
        k.control = (e->state & GDK_CONTROL_MASK) != 0;
        k.alt = (e->state & GDK_MOD1_MASK) != 0;
        if (!k.virtualKey) return FALSE;
        return v->OnKey && v->OnKey(k) ? TRUE : FALSE;
    }

    static gboolean onButton(GtkWidget*, GdkEventButton* e, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        if (e->type != GDK_BUTTON_PRESS) return FALSE;
        if (GetFocus() != v->host_) SetFocus(v->host_);
        WPARAM keys = 0;
        if (e->state & GDK_SHIFT_MASK) keys |= MK_SHIFT;
        if (e->state & GDK_CONTROL_MASK) keys |= MK_CONTROL;
        UINT msg = 0;
        if (e->button == 1) {
            msg = WM_LBUTTONDOWN;
            keys |= MK_LBUTTON;
        } else if (e->button == 3) {
            msg = WM_RBUTTONDOWN;
            keys |= MK_RBUTTON;
        } else if (e->button == 2) {
            msg = WM_MBUTTONDOWN;
            keys |= MK_MBUTTON;
        }
        if (msg && v->OnMouse)
            v->OnMouse(MouseInput{msg, int(e->x) + v->inset(), int(e->y) + v->inset(), keys});
        return FALSE;
    }

    static gboolean onFocus(GtkWidget*, GdkEventFocus* e, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        bool in = e->in != 0;
        if (in && GetFocus() != v->host_) SetFocus(v->host_);
        if (v->OnFocusChange) v->OnFocusChange(in);
        return FALSE;
    }

    static void onTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        v->hasDoc_ = false;
        v->setState(ReadyState::Complete);
    }

    static void onZoom(WebKitWebView* wv, GParamSpec*, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        if (v->OnZoomChange) v->OnZoomChange(webkit_web_view_get_zoom_level(wv));
    }

    static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer self) {
        // window.open from script: the same decision as a link to a new window.
        auto* v = static_cast<WebKitView*>(self);
        WebKitURIRequest* req = webkit_navigation_action_get_request(action);
        Navigation nav;
        nav.url = webkit_uri_request_get_uri(req) ? webkit_uri_request_get_uri(req) : "";
        nav.target = "_blank";
        nav.userInitiated = webkit_navigation_action_is_user_gesture(action);
        bool cancel = false;
        if (v->OnNewWindow) v->OnNewWindow(nav, cancel);
        if (!cancel && !nav.url.empty()) v->Navigate(nav);
        return nullptr;
    }

    static void onFound(WebKitFindController*, guint, gpointer self) {
        static_cast<WebKitView*>(self)->findAnswer_ = 1;
    }
    static void onNotFound(WebKitFindController*, gpointer self) {
        static_cast<WebKitView*>(self)->findAnswer_ = 0;
    }

    static void onScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* r,
                                gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        JSCValue* value = webkit_javascript_result_get_js_value(r);
        char* s = jsc_value_to_string(value);
        std::string text = s ? s : "";
        g_free(s);
        ScriptError err;
        std::vector<std::string> parts;
        size_t start = 0;
        for (;;) {
            size_t p = text.find(kSep, start);
            parts.push_back(text.substr(start, p - start));
            if (p == std::string::npos) break;
            start = p + 1;
        }
        parts.resize(4);
        err.message = parts[0];
        err.url = parts[1];
        err.line = std::atoi(parts[2].c_str());
        err.column = std::atoi(parts[3].c_str());
        // The engine cannot stop a script once it failed; the answer only
        // matters to the host.
        if (v->OnScriptError) v->OnScriptError(err);
    }

    GtkWidget* view_ = nullptr;
    WebKitUserContentManager* ucm_ = nullptr;
    bool attached_ = false;
    bool hasDoc_ = false;
    ReadyState state_ = ReadyState::Uninitialized;
    std::string internalUri_, pendingTarget_, status_;
    int findAnswer_ = -1;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

WebKitWebsiteDataManager* dataManager() {
    return webkit_web_context_get_website_data_manager(webkit_web_context_get_default());
}

bool clearData(WebKitWebsiteDataTypes types, unsigned timeoutMs) {
    if (!gtkInForce()) return false;
    prepareEngine();
    auto done = std::make_shared<int>(-1);
    auto* hold = new std::shared_ptr<int>(done);
    webkit_website_data_manager_clear(
        dataManager(), types, 0, nullptr,
        [](GObject* src, GAsyncResult* res, gpointer data) {
            auto* p = static_cast<std::shared_ptr<int>*>(data);
            **p = webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(src), res,
                                                           nullptr)
                      ? 1
                      : 0;
            delete p;
        },
        hold);
    pumpUntil([&] { return *done >= 0; }, timeoutMs);
    return *done == 1;
}

bool offlineFlag = false;

} // namespace

std::unique_ptr<View> CreateWebKitView(HWND host) {
    if (!gtkInForce()) return nullptr;
    return std::make_unique<WebKitView>(host);
}

namespace engine_data {

bool ClearCache(unsigned timeoutMs) {
    return clearData(
        WebKitWebsiteDataTypes(WEBKIT_WEBSITE_DATA_MEMORY_CACHE | WEBKIT_WEBSITE_DATA_DISK_CACHE),
        timeoutMs);
}

bool ClearCookies(unsigned timeoutMs) {
    return clearData(WEBKIT_WEBSITE_DATA_COOKIES, timeoutMs);
}

bool ClearHistory(unsigned timeoutMs) {
    // The engine keeps no visited-pages list of its own beyond each view's
    // back list; what it keeps per site is its session data.
    return clearData(WebKitWebsiteDataTypes(WEBKIT_WEBSITE_DATA_SESSION_STORAGE |
                                            WEBKIT_WEBSITE_DATA_LOCAL_STORAGE),
                     timeoutMs);
}

std::string CookiesFor(const std::string& url, unsigned timeoutMs) {
    if (!gtkInForce()) return {};
    prepareEngine();
    struct Answer {
        bool done = false;
        std::string text;
    };
    auto answer = std::make_shared<Answer>();
    auto* hold = new std::shared_ptr<Answer>(answer);
    WebKitCookieManager* cm = webkit_website_data_manager_get_cookie_manager(dataManager());
    webkit_cookie_manager_get_cookies(
        cm, url.c_str(), nullptr,
        [](GObject* src, GAsyncResult* res, gpointer data) {
            auto* p = static_cast<std::shared_ptr<Answer>*>(data);
            GList* list =
                webkit_cookie_manager_get_cookies_finish(WEBKIT_COOKIE_MANAGER(src), res, nullptr);
            std::string text;
            for (GList* l = list; l; l = l->next) {
                auto* c = static_cast<SoupCookie*>(l->data);
                if (!text.empty()) text += "; ";
                text += std::string(soup_cookie_get_name(c)) + "=" + soup_cookie_get_value(c);
            }
            g_list_free_full(list, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
            (*p)->text = text;
            (*p)->done = true;
            delete p;
        },
        hold);
    pumpUntil([&] { return answer->done; }, timeoutMs);
    return answer->text;
}

std::string CacheFolder() {
    if (!gtkInForce()) return {};
    prepareEngine();
    const char* d = webkit_website_data_manager_get_disk_cache_directory(dataManager());
    return d ? d : "";
}

std::string DataFolder() {
    if (!gtkInForce()) return {};
    prepareEngine();
    const char* d = webkit_website_data_manager_get_base_data_directory(dataManager());
    return d ? d : "";
}

void SetProxy(const std::string& address, const std::string& bypass, const std::string& pacUrl) {
    if (!gtkInForce()) return;
    prepareEngine();
    // The engine takes no configuration script: with one, the system's own
    // proxy settings apply.
    if (address.empty() || !pacUrl.empty()) {
        webkit_website_data_manager_set_network_proxy_settings(
            dataManager(), WEBKIT_NETWORK_PROXY_MODE_DEFAULT, nullptr);
        return;
    }
    std::vector<std::string> hosts;
    size_t start = 0;
    while (start <= bypass.size() && !bypass.empty()) {
        size_t p = bypass.find(';', start);
        std::string h = bypass.substr(start, p - start);
        if (h == "<local>") h = "localhost";
        if (!h.empty()) hosts.push_back(h);
        if (p == std::string::npos) break;
        start = p + 1;
    }
    std::vector<const char*> ignore;
    for (auto& h : hosts)
        ignore.push_back(h.c_str());
    ignore.push_back(nullptr);
    std::string uri = address.find("://") == std::string::npos ? "http://" + address : address;
    WebKitNetworkProxySettings* s = webkit_network_proxy_settings_new(uri.c_str(), ignore.data());
    webkit_website_data_manager_set_network_proxy_settings(dataManager(),
                                                           WEBKIT_NETWORK_PROXY_MODE_CUSTOM, s);
    webkit_network_proxy_settings_free(s);
}

void SetOffline(bool offline) {
    offlineFlag = offline;
}

void SetPrintToFile(const std::string& pdfPath) {
    printFileTarget() = pdfPath;
}

bool Offline() {
    return offlineFlag;
}

std::string EngineVersion() {
    return std::to_string(webkit_get_major_version()) + "." +
           std::to_string(webkit_get_minor_version()) + "." +
           std::to_string(webkit_get_micro_version());
}

} // namespace engine_data

} // namespace webview
