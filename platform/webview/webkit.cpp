#include "platform/webview/webkit.h"

#include <gtk/gtk.h>
#include <libsoup/soup.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <thread>
#include <utility>

#include "platform/display/backend.h"
#include "platform/display/gtk.h"
#include "platform/os/file.h"
#include "platform/os/folders.h"
#include "platform/os/process.h"
#include "platform/os/shell.h"
#include "platform/win/hooks.h"
#include "platform/win/input.h"
#include "platform/win/messages.h"
#include "platform/win/window.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace webview {
namespace {

constexpr const char* kErrorHandler = "lantroveScriptError";
constexpr const char* kExternalHandler = "lantroveExternal";
constexpr const char* kWindowHandler = "lantroveWindow";
constexpr const char* kUnloadHandler = "lantroveUnload";
constexpr char kSep = '\x1f';
constexpr int VK_F1_ = 0x70;

class WebKitView;
// A view made before the program's first, so the engine's processes start
// while the program builds its windows; the first view of the program shares
// its process, and it goes then.
WebKitWebView*& engineSeed() {
    static WebKitWebView* seed = nullptr;
    return seed;
}
void releaseEngineSeed() {
    if (WebKitWebView* seed = std::exchange(engineSeed(), nullptr)) g_object_unref(seed);
}
// Every view alive, by its engine widget.
std::map<WebKitWebView*, WebKitView*>& liveViews() {
    static std::map<WebKitWebView*, WebKitView*> v;
    return v;
}
bool popupBlocking = false;
// Certificates of authorities the program trusts beside the system's.
std::vector<GTlsCertificate*>& trustedAuthorities() {
    static std::vector<GTlsCertificate*> v;
    return v;
}

std::string& printFileTarget() {
    static std::string target;
    return target;
}

bool gtkInForce() {
    return std::strcmp(display::Current().Name(), "gtk") == 0;
}

void onDownloadStarted(WebKitDownload* download);

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
    // The engine's memory monitor wakes the program every second or two for
    // as long as it runs; the program's few local pages do not need it.
    setenv("WEBKIT_DISABLE_MEMORY_PRESSURE_MONITOR", "1", 0);
    // A script that runs too long is stopped by the engine itself, so the
    // page's process stays and the page with it.
    setenv("JSC_watchdog", std::to_string(engine_data::kScriptLimitMs).c_str(), 0);
    g_signal_connect(
        webkit_web_context_get_default(), "download-started",
        G_CALLBACK(+[](WebKitWebContext*, WebKitDownload* d, gpointer) { onDownloadStarted(d); }),
        nullptr);
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

// The engine's context for the values scripts hand over is kept for the
// process: made anew after every idle spell it would cost a script machine
// each time.
void keepScriptContext(JSCContext* context) {
    static JSCContext* kept = nullptr;
    if (!kept && context) kept = JSC_CONTEXT(g_object_ref(context));
}

std::string lowerOf(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The browser menus' command number of an engine menu action.
int menuCommandOf(WebKitContextMenuAction action) {
    switch (action) {
    case WEBKIT_CONTEXT_MENU_ACTION_GO_BACK:
        return 2282;
    case WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD:
        return 2283;
    case WEBKIT_CONTEXT_MENU_ACTION_RELOAD:
        return 2300;
    case WEBKIT_CONTEXT_MENU_ACTION_SELECT_ALL:
        return 31;
    case WEBKIT_CONTEXT_MENU_ACTION_PASTE:
        return 26;
    case WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK:
        return 2136;
    case WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK_IN_NEW_WINDOW:
        return 2137;
    case WEBKIT_CONTEXT_MENU_ACTION_COPY:
        return 15;
    case WEBKIT_CONTEXT_MENU_ACTION_CUT:
        return 16;
    default:
        return kMenuEngineAction + int(action);
    }
}

class WebKitView : public View {
public:
    explicit WebKitView(HWND host) : View(host) {
        prepareEngine();
        ucm_ = webkit_user_content_manager_new();
        // Every view shares the first live view's web process: a process of
        // its own per view costs tens of megabytes and its start-up.
        WebKitWebView* related = liveViews().empty() ? engineSeed() : liveViews().begin()->first;
        view_ = GTK_WIDGET(
            related ? g_object_new(WEBKIT_TYPE_WEB_VIEW, "user-content-manager", ucm_,
                                   "related-view", related, nullptr)
                    : g_object_new(WEBKIT_TYPE_WEB_VIEW, "user-content-manager", ucm_, nullptr));
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
        g_signal_connect(view_, "authenticate", G_CALLBACK(onAuthenticate), this);
        g_signal_connect(view_, "load-failed-with-tls-errors", G_CALLBACK(onTlsErrors), this);
        g_signal_connect(view_, "print", G_CALLBACK(onPrintRequest), this);
        g_signal_connect(view_, "scroll-event", G_CALLBACK(onScroll), this);
        g_signal_connect(view_, "drag-motion", G_CALLBACK(onDragMotion), this);
        g_signal_connect(view_, "drag-leave", G_CALLBACK(onDragLeave), this);
        g_signal_connect(view_, "drag-drop", G_CALLBACK(onDragDrop), this);
        g_signal_connect(view_, "drag-data-received", G_CALLBACK(onDragData), this);
        g_signal_connect(ucm_, (std::string("script-message-received::") + kErrorHandler).c_str(),
                         G_CALLBACK(onScriptMessage), this);
        webkit_user_content_manager_register_script_message_handler(ucm_, kErrorHandler);
        g_signal_connect(ucm_, (std::string("script-message-received::") + kWindowHandler).c_str(),
                         G_CALLBACK(onWindowMessage), this);
        webkit_user_content_manager_register_script_message_handler(ucm_, kWindowHandler);
        g_signal_connect(ucm_, (std::string("script-message-received::") + kUnloadHandler).c_str(),
                         G_CALLBACK(onUnloadMessage), this);
        webkit_user_content_manager_register_script_message_handler(ucm_, kUnloadHandler);
        g_signal_connect(
            ucm_, (std::string("script-message-with-reply-received::") + kExternalHandler).c_str(),
            G_CALLBACK(onExternalMessage), this);
        webkit_user_content_manager_register_script_message_handler_with_reply(
            ucm_, kExternalHandler, nullptr);
        webkit_settings_set_javascript_can_open_windows_automatically(ws, !popupBlocking);
        installUserContent();
        liveViews()[WEBKIT_WEB_VIEW(view_)] = this;
        releaseEngineSeed();
        attached_ = display::Current().AttachNativeView(host, view_, inset());
    }

    ~WebKitView() override {
        *alive_ = false;
        liveViews().erase(WEBKIT_WEB_VIEW(view_));
        if (pageSetup_) g_object_unref(pageSetup_);
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
        // A jump within the page or a script address loads nothing: no
        // page-finished notice of its own will come.
        if (!sameDocument(url)) expectLoad(url);
        webkit_web_view_load_request(WEBKIT_WEB_VIEW(view_), req);
        g_object_unref(req);
        return true;
    }

    bool LoadHtml(const std::string& bytes, const std::string& charset,
                  const std::string& baseUrl) override {
        GBytes* b = g_bytes_new(bytes.data(), bytes.size());
        std::string base = baseUrl.empty() ? "about:blank" : baseUrl;
        internalUri_ = base;
        memoryBytes_ = bytes;
        memoryBase_ = base;
        memoryCharset_ = charset;
        pendingCharset_.reset();
        webkit_web_view_load_bytes(WEBKIT_WEB_VIEW(view_), b, "text/html",
                                   charset.empty() ? "UTF-8" : charset.c_str(), base.c_str());
        g_bytes_unref(b);
        hasDoc_ = true;
        expectLoad(base);
        return true;
    }

    bool GoBack() override {
        if (!webkit_web_view_can_go_back(WEBKIT_WEB_VIEW(view_))) return false;
        expectLoad("");
        webkit_web_view_go_back(WEBKIT_WEB_VIEW(view_));
        return true;
    }
    bool GoForward() override {
        if (!webkit_web_view_can_go_forward(WEBKIT_WEB_VIEW(view_))) return false;
        expectLoad("");
        webkit_web_view_go_forward(WEBKIT_WEB_VIEW(view_));
        return true;
    }
    void Stop() override {
        webkit_web_view_stop_loading(WEBKIT_WEB_VIEW(view_));
        if (awaitingStart_) {
            awaitingStart_ = false;
            setState(hasDoc_ ? ReadyState::Complete : ReadyState::Uninitialized);
        }
    }
    void Reload(bool bypassCache) override {
        if (!hasDoc_) return;
        if (pendingCharset_) {
            std::string cs = *pendingCharset_;
            pendingCharset_.reset();
            SetCharset(cs, true);
            return;
        }
        expectLoad("");
        if (bypassCache)
            webkit_web_view_reload_bypass_cache(WEBKIT_WEB_VIEW(view_));
        else
            webkit_web_view_reload(WEBKIT_WEB_VIEW(view_));
    }

    bool SetCharset(const std::string& charset, bool reload) override {
        if (!hasDoc_) return false;
        if (!reload) {
            pendingCharset_ = charset;
            return true;
        }
        pendingCharset_.reset();
        if (!memoryBase_.empty() && Url() == memoryBase_) {
            // A page from memory is decoded again from the bytes it came in;
            // its own set stays the one it was given.
            std::string own = memoryCharset_;
            bool ok =
                LoadHtml(std::string(memoryBytes_), charset.empty() ? own : charset, memoryBase_);
            memoryCharset_ = own;
            return ok;
        }
        WebKitWebView* wv = WEBKIT_WEB_VIEW(view_);
        // The engine reloads the page from its original bytes in the set; a
        // set equal to the one it holds would not reload, so it is cleared
        // first.
        const char* now = webkit_web_view_get_custom_charset(wv);
        expectLoad("");
        if (now && charset == now) webkit_web_view_set_custom_charset(wv, nullptr);
        webkit_web_view_set_custom_charset(wv, charset.empty() ? nullptr : charset.c_str());
        return true;
    }

    void ClearBackForward() override {
        WebKitWebView* wv = WEBKIT_WEB_VIEW(view_);
        if (!webkit_web_view_can_go_back(wv) && !webkit_web_view_can_go_forward(wv)) return;
        WebKitWebViewSessionState* state = webkit_web_view_get_session_state(wv);
        GBytes* bytes = webkit_web_view_session_state_serialize(state);
        webkit_web_view_session_state_unref(state);
        // The session keeps a list of pages and the index of the current
        // one; a session holding only the current page replaces it.
        static const char* const kTypes[] = {"(qa(s(ssssasmayxx(ii)dm(sa(uaysxmxmds))av)u)mu)",
                                             "(qa(ts(ssssasmayxx(ii)dm(sa(uaysxmxmds))av)u)mu)"};
        for (const char* type : kTypes) {
            GVariant* v = g_variant_new_from_bytes(G_VARIANT_TYPE(type), bytes, FALSE);
            g_variant_ref_sink(v);
            if (!g_variant_is_normal_form(v)) {
                g_variant_unref(v);
                continue;
            }
            guint16 version = 0;
            GVariant* items = nullptr;
            GVariant* current = nullptr;
            g_variant_get(v, "(q@a*@mu)", &version, &items, &current);
            guint32 index = 0;
            bool haveIndex = g_variant_n_children(current) == 1;
            if (haveIndex) g_variant_get(current, "mu", &index);
            if (haveIndex && index < g_variant_n_children(items)) {
                GVariant* item = g_variant_get_child_value(items, index);
                GVariant* one = g_variant_new_array(nullptr, &item, 1);
                GVariant* zero =
                    g_variant_new_maybe(G_VARIANT_TYPE_UINT32, g_variant_new_uint32(0));
                GVariant* parts[] = {g_variant_new_uint16(version), one, zero};
                GVariant* fresh = g_variant_ref_sink(g_variant_new_tuple(parts, 3));
                GBytes* data = g_variant_get_data_as_bytes(fresh);
                WebKitWebViewSessionState* only = webkit_web_view_session_state_new(data);
                if (only) {
                    webkit_web_view_restore_session_state(wv, only);
                    webkit_web_view_session_state_unref(only);
                }
                g_bytes_unref(data);
                g_variant_unref(fresh);
                g_variant_unref(item);
            }
            g_variant_unref(items);
            g_variant_unref(current);
            g_variant_unref(v);
            break;
        }
        g_bytes_unref(bytes);
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
                    keepScriptContext(jsc_value_get_context(v));
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
        // A script still running is given up on here; the engine stops it at
        // its limit and the page goes on.
        if (!finished) g_cancellable_cancel(cancel);
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
        webkit_print_operation_set_page_setup(op, pageSetupObject());
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

    void SetPageSetup(const PageSetup& setup) override {
        pageSetupValues_ = setup;
        if (pageSetup_) g_object_unref(pageSetup_);
        pageSetup_ = nullptr;
    }
    PageSetup CurrentPageSetup() const override { return pageSetupValues_; }

    bool RunPageSetupDialog() override {
        GtkWidget* top = gtk_widget_get_toplevel(view_);
        struct Answer {
            bool done = false;
            GtkPageSetup* setup = nullptr;
        };
        auto answer = std::make_shared<Answer>();
        auto* hold = new std::shared_ptr<Answer>(answer);
        GtkPrintSettings* settings = gtk_print_settings_new();
        gtk_print_run_page_setup_dialog_async(
            GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr, pageSetupObject(), settings,
            +[](GtkPageSetup* setup, gpointer data) {
                auto* p = static_cast<std::shared_ptr<Answer>*>(data);
                (*p)->setup = setup;
                (*p)->done = true;
                delete p;
            },
            hold);
        g_object_unref(settings);
        // The dialog is modal: the program waits for its answer.
        pumpUntil([&] { return answer->done; }, 24u * 3600 * 1000);
        if (!answer->setup) return false;
        // Cancelling hands back the set-up unchanged.
        bool changed = answer->setup != pageSetup_;
        if (changed) {
            if (pageSetup_) g_object_unref(pageSetup_);
            pageSetup_ = answer->setup;
            pageSetupValues_.landscape =
                gtk_page_setup_get_orientation(pageSetup_) == GTK_PAGE_ORIENTATION_LANDSCAPE;
        } else {
            g_object_unref(answer->setup);
        }
        return changed;
    }

    bool PrintPreview() override {
        if (!hasDoc_) return false;
        std::string pdf = os::TempFolder() + "lantrove-preview-" +
                          std::to_string(os::CurrentProcessId()) + "-" +
                          std::to_string(++previewSerial_) + ".pdf";
        WebKitPrintOperation* op = webkit_print_operation_new(WEBKIT_WEB_VIEW(view_));
        webkit_print_operation_set_page_setup(op, pageSetupObject());
        GtkPrintSettings* settings = gtk_print_settings_new();
        gtk_print_settings_set_printer(settings, "Print to File");
        gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
        gchar* uri = g_filename_to_uri(pdf.c_str(), nullptr, nullptr);
        gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_URI, uri ? uri : "");
        g_free(uri);
        webkit_print_operation_set_print_settings(op, settings);
        g_object_unref(settings);
        // The preview opens once the file is written.
        auto* file = new std::string(pdf);
        g_signal_connect_data(
            op, "finished", G_CALLBACK(+[](WebKitPrintOperation*, gpointer data) {
                os::OpenDocument(*static_cast<std::string*>(data));
            }),
            file, +[](gpointer data, GClosure*) { delete static_cast<std::string*>(data); },
            GConnectFlags(0));
        webkit_print_operation_print(op);
        g_object_unref(op);
        return true;
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
    // A navigation of the host's: until its load starts, notices of the page
    // before it are not its own.
    void expectLoad(const std::string& url) {
        awaitingStart_ = true;
        awaitedUrl_ = url;
        setState(ReadyState::Loading);
    }

    bool sameDocument(const std::string& url) const {
        if (lowerOf(url).rfind("javascript:", 0) == 0) return true;
        size_t hash = url.find('#');
        if (hash == std::string::npos || !hasDoc_) return false;
        std::string now = Url();
        return now.substr(0, now.find('#')) == url.substr(0, hash);
    }

    GtkPageSetup* pageSetupObject() {
        if (pageSetup_) return pageSetup_;
        pageSetup_ = gtk_page_setup_new();
        const PageSetup& p = pageSetupValues_;
        gtk_page_setup_set_orientation(pageSetup_, p.landscape ? GTK_PAGE_ORIENTATION_LANDSCAPE
                                                               : GTK_PAGE_ORIENTATION_PORTRAIT);
        GtkUnit unit = p.inches ? GTK_UNIT_INCH : GTK_UNIT_MM;
        if (p.left >= 0) gtk_page_setup_set_left_margin(pageSetup_, p.left, unit);
        if (p.top >= 0) gtk_page_setup_set_top_margin(pageSetup_, p.top, unit);
        if (p.right >= 0) gtk_page_setup_set_right_margin(pageSetup_, p.right, unit);
        if (p.bottom >= 0) gtk_page_setup_set_bottom_margin(pageSetup_, p.bottom, unit);
        return pageSetup_;
    }

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
        Guarded([&] {
            if (OnStateChange) OnStateChange(s);
        });
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
        // The host's object as window.external (its methods answer through
        // promises), the page's requests to move or size its window, and
        // the notice that the page goes away.
        std::string top =
            "(function(){var m=window.webkit&&window.webkit.messageHandlers;if(!m)return;"
            "var ext=m." +
            std::string(kExternalHandler) + ",win=m." + kWindowHandler + ",gone=m." +
            kUnloadHandler +
            ";var p=new Proxy({},{get:function(t,n){if(typeof n!=='string'||n==='then')"
            "return undefined;return function(){return ext.postMessage([n].concat("
            "Array.prototype.map.call(arguments,String)))}}});"
            "try{Object.defineProperty(window,'external',{value:p,configurable:true,"
            "writable:true})}catch(e){}"
            "['moveTo','moveBy','resizeTo','resizeBy'].forEach(function(n){window[n]="
            "function(x,y){win.postMessage([n,Number(x)||0,Number(y)||0].join(','))}});"
            "window.addEventListener('pagehide',function(){try{gone.postMessage('')}catch(e){}})"
            "})();";
        WebKitUserScript* host =
            webkit_user_script_new(top.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                   WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
        webkit_user_content_manager_add_script(ucm_, host);
        webkit_user_script_unref(host);
    }

    static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
            auto* rd = WEBKIT_RESPONSE_POLICY_DECISION(decision);
            if (webkit_response_policy_decision_is_mime_type_supported(rd)) return FALSE;
            WebKitURIRequest* req = webkit_response_policy_decision_get_request(rd);
            std::string url = webkit_uri_request_get_uri(req);
            // The view shows pages only: what it cannot show is the host's
            // when it takes it, else the engine saves it.
            bool taken = false;
            Guarded([&] { taken = v->OnDownload && v->OnDownload(url); });
            if (taken)
                webkit_policy_decision_ignore(decision);
            else
                webkit_policy_decision_download(decision);
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
        if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
            webkit_policy_decision_ignore(decision);
            bool cancel = false;
            Guarded([&] {
                if (v->OnNewWindow) v->OnNewWindow(nav, cancel);
            });
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
        if (nav.url == v->translated_) {
            v->translated_.clear();
        } else {
            std::string out;
            bool translate = false;
            Guarded([&] { translate = v->OnTranslateUrl && v->OnTranslateUrl(nav.url, out); });
            if (translate && !out.empty() && out != nav.url) {
                // The host sends the navigation elsewhere.
                webkit_policy_decision_ignore(decision);
                v->translated_ = out;
                Navigation to = nav;
                to.url = out;
                v->Navigate(to);
                return TRUE;
            }
        }
        bool cancel = false;
        Guarded([&] {
            if (v->OnBeforeNavigate) v->OnBeforeNavigate(nav, cancel);
        });
        if (cancel) {
            webkit_policy_decision_ignore(decision);
            // The host's own navigation that it cancelled leaves the page as it was.
            if (v->awaitingStart_ && nav.url == v->awaitedUrl_) {
                v->awaitingStart_ = false;
                v->setState(v->hasDoc_ ? ReadyState::Complete : ReadyState::Uninitialized);
            }
        } else {
            webkit_policy_decision_use(decision);
        }
        return TRUE;
    }

    static void onLoadChanged(WebKitWebView* wv, WebKitLoadEvent event, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        const char* uri = webkit_web_view_get_uri(wv);
        std::string url = uri ? uri : "";
        if (event == WEBKIT_LOAD_STARTED) {
            v->awaitingStart_ = false;
            v->setState(ReadyState::Loading);
            return;
        }
        // A notice of the page before the host's new navigation belongs to
        // that page, not to the navigation.
        if (v->awaitingStart_) return;
        switch (event) {
        case WEBKIT_LOAD_COMMITTED:
            v->hasDoc_ = true;
            v->setState(ReadyState::Interactive);
            Guarded([&] {
                if (v->OnNavigateComplete) v->OnNavigateComplete(url);
            });
            break;
        case WEBKIT_LOAD_FINISHED:
            v->hasDoc_ = true;
            v->setState(ReadyState::Complete);
            Guarded([&] {
                if (v->OnDocumentComplete) v->OnDocumentComplete(url);
            });
            break;
        default:
            break;
        }
    }

    static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error,
                                 gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        // A load the network layer gave up by itself (a connection to the
        // site still closing after a refused certificate takes the next load
        // with it) is tried again, twice at most for an address, rather than
        // shown as an error; a load the host replaced or stopped fails with
        // the engine's own cancellation instead.
        if (uri && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
            if (v->retryUrl_ != uri) {
                v->retryUrl_ = uri;
                v->retries_ = 0;
            }
            if (v->retries_ < 2) {
                ++v->retries_;
                loadAgainLater(v, uri);
                return TRUE;
            }
        }
        bool cancelled =
            g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
            g_error_matches(error, WEBKIT_POLICY_ERROR,
                            WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE);
        if (!cancelled && !v->awaitingStart_)
            Guarded([&] {
                if (v->OnNavigateError)
                    v->OnNavigateError(uri ? uri : "", error ? error->message : "");
            });
        return cancelled ? TRUE : FALSE;
    }

    static void onTitle(WebKitWebView*, GParamSpec*, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        Guarded([&] {
            if (v->OnTitleChange) v->OnTitleChange(v->Title());
        });
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
            Guarded([&] {
                if (v->OnStatusText) v->OnStatusText(text);
            });
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
        dialog.handled = false;
        Guarded([&] {
            if (v->OnScriptDialog) v->OnScriptDialog(dialog);
        });
        if (!dialog.handled) {
            // Left to the engine: its own dialog, unless it shows none.
            if (!v->settings_.silent) return FALSE;
            dialog.accept = dialog.kind == DialogKind::Alert;
            dialog.response.clear();
        }
        if (dialog.kind == DialogKind::Confirm || dialog.kind == DialogKind::BeforeUnload)
            webkit_script_dialog_confirm_set_confirmed(d, dialog.accept);
        else if (dialog.kind == DialogKind::Prompt)
            webkit_script_dialog_prompt_set_text(d,
                                                 dialog.accept ? dialog.response.c_str() : nullptr);
        return TRUE;
    }

    static gboolean onContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent* e,
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
        std::vector<WebKitContextMenuItem*> engineItems;
        std::vector<MenuItem> items;
        for (GList* l = webkit_context_menu_get_items(menu); l; l = l->next) {
            auto* item = static_cast<WebKitContextMenuItem*>(l->data);
            MenuItem m;
            if (!webkit_context_menu_item_is_separator(item)) {
                m.action = menuCommandOf(webkit_context_menu_item_get_stock_action(item));
                if (GtkAction* a = webkit_context_menu_item_get_action(item))
                    if (const char* label = gtk_action_get_label(a)) m.label = label;
            }
            engineItems.push_back(item);
            items.push_back(m);
        }
        std::vector<MenuItem> kept = items;
        bool closed = false;
        Guarded([&] {
            closed = v->OnContextMenu &&
                     v->OnContextMenu(kind, int(x) + v->inset(), int(y) + v->inset(), kept);
        });
        if (closed) return TRUE;
        // What the host took out of the list leaves the engine's menu.
        size_t k = 0;
        for (size_t i = 0; i < items.size(); ++i) {
            if (k < kept.size() && kept[k].action == items[i].action &&
                kept[k].label == items[i].label) {
                ++k;
                continue;
            }
            webkit_context_menu_remove(menu, engineItems[i]);
        }
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
        bool kept = false;
        Guarded([&] { kept = v->OnKey && v->OnKey(k); });
        if (kept) return TRUE;
        if (k.down && k.virtualKey == VK_F1_ && !k.control && !k.alt && !k.shift) {
            // Help for the page: the host answers it.
            int px = 0, py = 0;
            GdkWindow* w = gtk_widget_get_window(v->view_);
            GdkDevice* pointer =
                gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_window_get_display(w)));
            gdk_window_get_device_position(w, pointer, &px, &py, nullptr);
            bool answered = false;
            Guarded([&] { answered = v->OnHelp && v->OnHelp(px + v->inset(), py + v->inset()); });
            if (answered) return TRUE;
        }
        return FALSE;
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
        if (msg)
            Guarded([&] {
                if (v->OnMouse)
                    v->OnMouse(
                        MouseInput{msg, int(e->x) + v->inset(), int(e->y) + v->inset(), keys});
            });
        return FALSE;
    }

    static gboolean onFocus(GtkWidget*, GdkEventFocus* e, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        bool in = e->in != 0;
        if (in && GetFocus() != v->host_) SetFocus(v->host_);
        Guarded([&] {
            if (v->OnFocusChange) v->OnFocusChange(in);
        });
        return FALSE;
    }

    static void onTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        v->hasDoc_ = false;
        v->setState(ReadyState::Complete);
    }

    static void onZoom(WebKitWebView* wv, GParamSpec*, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        Guarded([&] {
            if (v->OnZoomChange) v->OnZoomChange(webkit_web_view_get_zoom_level(wv));
        });
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
        Guarded([&] {
            if (v->OnNewWindow) v->OnNewWindow(nav, cancel);
        });
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
        keepScriptContext(jsc_value_get_context(value));
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
        Guarded([&] {
            if (v->OnScriptError) v->OnScriptError(err);
        });
    }

    static gboolean onAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request,
                                   gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        const char* host = webkit_authentication_request_get_host(request);
        const char* realm = webkit_authentication_request_get_realm(request);
        std::string user, password;
        int answer = 2;
        Guarded([&] {
            if (v->OnAuthenticate)
                answer = v->OnAuthenticate(host ? host : "", realm ? realm : "", user, password);
        });
        // The same log-in refused once more is not tried again.
        bool refused = webkit_authentication_request_is_retry(request) && user == v->lastUser_ &&
                       password == v->lastPassword_;
        if (answer == 1 && !refused) {
            v->lastUser_ = user;
            v->lastPassword_ = password;
            WebKitCredential* c = webkit_credential_new(user.c_str(), password.c_str(),
                                                        WEBKIT_CREDENTIAL_PERSISTENCE_FOR_SESSION);
            webkit_authentication_request_authenticate(request, c);
            webkit_credential_free(c);
            return TRUE;
        }
        if (answer == 2 && !v->settings_.silent) return FALSE; // the engine asks the user
        webkit_authentication_request_cancel(request);
        return TRUE;
    }

    static gboolean onTlsErrors(WebKitWebView*, gchar* failingUri, GTlsCertificate* certificate,
                                GTlsCertificateFlags errors, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        if (!certificate || !failingUri) return FALSE;
        // A site signed by an authority the program trusts is shown.
        bool trusted = false;
        for (GTlsCertificate* ca : trustedAuthorities()) {
            GTlsCertificateFlags f = g_tls_certificate_verify(certificate, nullptr, ca);
            if (!(f & G_TLS_CERTIFICATE_UNKNOWN_CA) &&
                !(errors & ~G_TLS_CERTIFICATE_UNKNOWN_CA & G_TLS_CERTIFICATE_VALIDATE_ALL))
                trusted = true;
        }
        if (!trusted) return FALSE;
        GUri* parsed = g_uri_parse(failingUri, G_URI_FLAGS_NONE, nullptr);
        if (!parsed) return FALSE;
        webkit_web_context_allow_tls_certificate_for_host(webkit_web_context_get_default(),
                                                          certificate, g_uri_get_host(parsed));
        g_uri_unref(parsed);
        loadAgainLater(v, failingUri);
        return TRUE;
    }

    // Loads the address again once the engine is done with the failed load:
    // a load started inside its report can be cancelled by the rest of it.
    static void loadAgainLater(WebKitView* v, const std::string& url) {
        struct Later {
            WebKitView* view;
            std::shared_ptr<bool> alive;
            std::string url;
        };
        g_idle_add_full(
            G_PRIORITY_DEFAULT,
            +[](gpointer data) -> gboolean {
                auto* l = static_cast<Later*>(data);
                if (!*l->alive) return G_SOURCE_REMOVE;
                Navigation again;
                again.url = l->url;
                l->view->Navigate(again);
                return G_SOURCE_REMOVE;
            },
            new Later{v, v->alive_, url}, +[](gpointer data) { delete static_cast<Later*>(data); });
    }

    static gboolean onPrintRequest(WebKitWebView*, WebKitPrintOperation*, gpointer self) {
        // The page's own print request: no dialog when the engine shows none.
        return static_cast<WebKitView*>(self)->settings_.silent ? TRUE : FALSE;
    }

    static gboolean onScroll(GtkWidget*, GdkEventScroll* e, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        // The wheel over the page goes through the thread's mouse hooks first,
        // as it does over every other window.
        if (e->direction == GDK_SCROLL_LEFT || e->direction == GDK_SCROLL_RIGHT) return FALSE;
        if (e->direction == GDK_SCROLL_SMOOTH && e->delta_y == 0) return FALSE;
        POINT screen{int(e->x_root), int(e->y_root)};
        bool taken = false;
        Guarded([&] { taken = RunMouseHooks(WM_MOUSEWHEEL, screen, v->host_); });
        return taken ? TRUE : FALSE;
    }

    static int effectsOf(GdkDragAction a) {
        return ((a & GDK_ACTION_COPY) ? 1 : 0) | ((a & GDK_ACTION_MOVE) ? 2 : 0) |
               ((a & GDK_ACTION_LINK) ? 4 : 0);
    }
    static GdkDragAction actionOf(int effect) {
        if (effect & 2) return GDK_ACTION_MOVE;
        if (effect & 1) return GDK_ACTION_COPY;
        if (effect & 4) return GDK_ACTION_LINK;
        return GdkDragAction(0);
    }
    DragEvent dragEvent(DragStep step, GdkDragContext* ctx, int x, int y) {
        DragEvent d;
        d.step = step;
        d.x = x + inset();
        d.y = y + inset();
        GdkModifierType mods = GdkModifierType(0);
        GdkWindow* w = gtk_widget_get_window(view_);
        if (w)
            gdk_window_get_device_position(w, gdk_drag_context_get_device(ctx), nullptr, nullptr,
                                           &mods);
        if (mods & GDK_SHIFT_MASK) d.keys |= MK_SHIFT;
        if (mods & GDK_CONTROL_MASK) d.keys |= MK_CONTROL;
        d.allowed = effectsOf(gdk_drag_context_get_actions(ctx));
        return d;
    }

    static gboolean onDragMotion(GtkWidget*, GdkDragContext* ctx, gint x, gint y, guint time,
                                 gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        if (!v->settings_.acceptDrops) {
            gdk_drag_status(ctx, GdkDragAction(0), time);
            return TRUE;
        }
        if (!v->settings_.hostDrops) return FALSE;
        DragEvent d = v->dragEvent(v->dragInside_ ? DragStep::Over : DragStep::Enter, ctx, x, y);
        if (!v->dragInside_) v->dropped_ = false;
        v->dragInside_ = true;
        Guarded([&] {
            if (v->OnDrag) v->OnDrag(d);
        });
        gdk_drag_status(ctx, actionOf(d.effect & d.allowed), time);
        return TRUE;
    }

    static void onDragLeave(GtkWidget* w, GdkDragContext*, guint, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        if (!v->settings_.hostDrops || !v->dragInside_) return;
        v->dragInside_ = false;
        g_signal_stop_emission_by_name(w, "drag-leave");
        // A drop comes right after its own leave: the host hears of a leave
        // only when no drop followed.
        struct Later {
            WebKitView* view;
            std::shared_ptr<bool> alive;
        };
        g_idle_add_full(
            G_PRIORITY_DEFAULT,
            +[](gpointer data) -> gboolean {
                auto* l = static_cast<Later*>(data);
                if (*l->alive && !l->view->dropped_ && !l->view->dragInside_) {
                    DragEvent d;
                    d.step = DragStep::Leave;
                    Guarded([&] {
                        if (l->view->OnDrag) l->view->OnDrag(d);
                    });
                }
                return G_SOURCE_REMOVE;
            },
            new Later{v, v->alive_}, +[](gpointer data) { delete static_cast<Later*>(data); });
    }

    static gboolean onDragDrop(GtkWidget* w, GdkDragContext* ctx, gint x, gint y, guint time,
                               gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        if (!v->settings_.acceptDrops) {
            gtk_drag_finish(ctx, FALSE, FALSE, time);
            return TRUE;
        }
        if (!v->settings_.hostDrops) return FALSE;
        GdkAtom target = gtk_drag_dest_find_target(w, ctx, nullptr);
        if (target == GDK_NONE) {
            gtk_drag_finish(ctx, FALSE, FALSE, time);
            return TRUE;
        }
        v->dropPending_ = true;
        v->dropped_ = true;
        v->dropX_ = x;
        v->dropY_ = y;
        gtk_drag_get_data(w, ctx, target, time);
        return TRUE;
    }

    static void onDragData(GtkWidget* w, GdkDragContext* ctx, gint, gint, GtkSelectionData* data,
                           guint, guint time, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        if (!v->dropPending_) return;
        v->dropPending_ = false;
        v->dragInside_ = false;
        g_signal_stop_emission_by_name(w, "drag-data-received");
        DragEvent d = v->dragEvent(DragStep::Drop, ctx, v->dropX_, v->dropY_);
        if (gchar** uris = gtk_selection_data_get_uris(data)) {
            for (gchar** u = uris; *u; ++u)
                d.text += std::string(d.text.empty() ? "" : "\n") + *u;
            g_strfreev(uris);
        } else if (guchar* text = gtk_selection_data_get_text(data)) {
            d.text = reinterpret_cast<const char*>(text);
            g_free(text);
        }
        Guarded([&] {
            if (v->OnDrag) v->OnDrag(d);
        });
        gtk_drag_finish(ctx, (d.effect & d.allowed) != 0, FALSE, time);
    }

    static std::string messageText(WebKitJavascriptResult* r) {
        keepScriptContext(jsc_value_get_context(webkit_javascript_result_get_js_value(r)));
        char* s = jsc_value_to_string(webkit_javascript_result_get_js_value(r));
        std::string text = s ? s : "";
        g_free(s);
        return text;
    }

    static void onWindowMessage(WebKitUserContentManager*, WebKitJavascriptResult* r,
                                gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        std::string text = messageText(r);
        char name[16] = {};
        int x = 0, y = 0;
        if (std::sscanf(text.c_str(), "%15[a-zA-Z],%d,%d", name, &x, &y) != 3) return;
        static const std::map<std::string, WindowRequest> kinds = {
            {"moveTo", WindowRequest::MoveTo},
            {"moveBy", WindowRequest::MoveBy},
            {"resizeTo", WindowRequest::ResizeTo},
            {"resizeBy", WindowRequest::ResizeBy}};
        auto it = kinds.find(name);
        if (it == kinds.end()) return;
        Guarded([&] {
            if (v->OnWindowRequest) v->OnWindowRequest(it->second, x, y);
        });
    }

    static void onUnloadMessage(WebKitUserContentManager*, WebKitJavascriptResult* r,
                                gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        keepScriptContext(jsc_value_get_context(webkit_javascript_result_get_js_value(r)));
        Guarded([&] {
            if (v->OnUnload) v->OnUnload();
        });
    }

    static gboolean onExternalMessage(WebKitUserContentManager*, JSCValue* value,
                                      WebKitScriptMessageReply* reply, gpointer self) {
        auto* v = static_cast<WebKitView*>(self);
        keepScriptContext(jsc_value_get_context(value));
        std::vector<std::string> parts;
        if (jsc_value_is_array(value)) {
            JSCValue* len = jsc_value_object_get_property(value, "length");
            int n = jsc_value_to_int32(len);
            g_object_unref(len);
            for (int i = 0; i < n; ++i) {
                JSCValue* e = jsc_value_object_get_property_at_index(value, guint(i));
                char* t = jsc_value_to_string(e);
                parts.push_back(t ? t : "");
                g_free(t);
                g_object_unref(e);
            }
        }
        std::string answer;
        bool known = false;
        if (!parts.empty()) {
            std::vector<std::string> args(parts.begin() + 1, parts.end());
            Guarded(
                [&] { known = v->OnExternalCall && v->OnExternalCall(parts[0], args, answer); });
        }
        if (known) {
            JSCValue* a = jsc_value_new_string(jsc_value_get_context(value), answer.c_str());
            webkit_script_message_reply_return_value(reply, a);
            g_object_unref(a);
        } else {
            webkit_script_message_reply_return_error_message(
                reply, "The host gives the page no such object.");
        }
        return TRUE;
    }

public:
    GtkWidget* view_ = nullptr;
    WebKitUserContentManager* ucm_ = nullptr;
    bool attached_ = false;
    bool hasDoc_ = false;
    ReadyState state_ = ReadyState::Uninitialized;
    std::string internalUri_, pendingTarget_, status_;
    int findAnswer_ = -1;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    // The host's navigation whose load has not started yet.
    bool awaitingStart_ = false;
    std::string awaitedUrl_;
    // The page last shown from memory, for decoding it again.
    std::string memoryBytes_, memoryBase_, memoryCharset_;
    std::optional<std::string> pendingCharset_;
    PageSetup pageSetupValues_;
    GtkPageSetup* pageSetup_ = nullptr;
    int previewSerial_ = 0;
    // An address the host translated: its own decision is not translated again.
    std::string translated_;
    // Drags the host decides: whether one is over the page, the drop asked for.
    bool dragInside_ = false;
    bool dropPending_ = false, dropped_ = false;
    int dropX_ = 0, dropY_ = 0;
    std::string lastUser_, lastPassword_;
    // The address last loaded again after the network layer gave it up.
    std::string retryUrl_;
    int retries_ = 0;
};

// A name in folder for a file offered as name: the name itself when free,
// else "name (2).ext" and so on.
std::string freeName(const std::string& folder, std::string name) {
    for (char& c : name)
        if (c == '/') c = '_';
    if (name.empty() || name == "." || name == "..") name = "download";
    size_t dot = name.rfind('.');
    std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    std::string ext = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
    std::string path = folder + "/" + name;
    for (int n = 2; os::IsFile(path) || os::IsDirectory(path) || os::IsSymlink(path); ++n)
        path = folder + "/" + stem + " (" + std::to_string(n) + ")" + ext;
    return path;
}

void onDownloadStarted(WebKitDownload* download) {
    // Downloads of the views go to the user's download folder under the name
    // the site offers.
    if (!liveViews().count(webkit_download_get_web_view(download))) return;
    g_signal_connect(download, "decide-destination",
                     G_CALLBACK(+[](WebKitDownload* d, gchar* suggested, gpointer) {
                         std::string folder = os::SpecialFolder("Downloads");
                         os::MakeDirectories(folder);
                         std::string file = freeName(folder, suggested ? suggested : "");
                         gchar* uri = g_filename_to_uri(file.c_str(), nullptr, nullptr);
                         webkit_download_set_destination(d, uri);
                         g_free(uri);
                         return TRUE;
                     }),
                     nullptr);
}

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

bool ClearHistory(unsigned) {
    // The pages visited are each view's lists of pages before and after
    // the current one; what sites store is not history and stays.
    if (!gtkInForce()) return false;
    for (auto& [wv, view] : liveViews())
        view->ClearBackForward();
    return true;
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

void SetPopupBlocking(bool block) {
    popupBlocking = block;
    for (auto& [wv, view] : liveViews())
        webkit_settings_set_javascript_can_open_windows_automatically(
            webkit_web_view_get_settings(wv), !block);
}

void* LibraryHandle() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&webkit_web_view_new), &info) || !info.dli_fname)
        return nullptr;
    static void* handle = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
    return handle;
}

bool TrustAuthority(const std::string& bytes) {
    GTlsCertificate* cert = nullptr;
    if (bytes.find("-----BEGIN CERTIFICATE-----") != std::string::npos) {
        cert = g_tls_certificate_new_from_pem(bytes.data(), gssize(bytes.size()), nullptr);
    } else if (!bytes.empty()) {
        GByteArray* der = g_byte_array_new();
        g_byte_array_append(der, reinterpret_cast<const guint8*>(bytes.data()),
                            guint(bytes.size()));
        cert = G_TLS_CERTIFICATE(
            g_initable_new(g_tls_backend_get_certificate_type(g_tls_backend_get_default()), nullptr,
                           nullptr, "certificate", der, nullptr));
        g_byte_array_unref(der);
    }
    if (!cert) return false;
    // The same authority again replaces the one held.
    auto& all = trustedAuthorities();
    for (auto it = all.begin(); it != all.end(); ++it)
        if (g_tls_certificate_is_same(*it, cert)) {
            g_object_unref(*it);
            all.erase(it);
            break;
        }
    all.push_back(cert);
    return true;
}

std::string EngineVersion() {
    return std::to_string(webkit_get_major_version()) + "." +
           std::to_string(webkit_get_minor_version()) + "." +
           std::to_string(webkit_get_micro_version());
}

} // namespace engine_data

} // namespace webview

namespace webview {

void StartEngine() {
    if (!gtkInForce() || engineSeed() || !liveViews().empty()) return;
    prepareEngine();
    WebKitSettings* settings = webkit_settings_new();
    webkit_settings_set_hardware_acceleration_policy(settings,
                                                     WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    engineSeed() = WEBKIT_WEB_VIEW(
        g_object_ref_sink(g_object_new(WEBKIT_TYPE_WEB_VIEW, "settings", settings, nullptr)));
    g_object_unref(settings);
    // A page to show is what starts the page process.
    webkit_web_view_load_uri(engineSeed(), "about:blank");
}

void StopEngineStart() {
    releaseEngineSeed();
}

} // namespace webview
