// The headless web view: no engine and no display. It records navigations,
// loads local files and memory documents into a small document model, answers
// the document queries and a few plain script forms from it, and lets tests
// act as the user (click links, press keys, open context menus, raise script
// errors and dialogs). Its events fire from the window layer's loop.
#pragma once

#include "platform/webview/htmldoc.h"
#include "platform/webview/webview.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace webview {

class HeadlessView : public View {
public:
    explicit HeadlessView(HWND host);
    ~HeadlessView() override;
    const char* BackendName() const override { return "headless"; }

    bool Navigate(const Navigation& nav) override;
    bool LoadHtml(const std::string& bytes, const std::string& charset,
                  const std::string& baseUrl) override;
    bool GoBack() override;
    bool GoForward() override;
    void Stop() override;
    void Reload(bool bypassCache) override;
    bool SetCharset(const std::string& charset, bool reload) override;
    void ClearBackForward() override;
    ReadyState State() const override { return state_; }
    bool Busy() const override { return state_ != ReadyState::Complete && hasDoc_; }
    bool HasDocument() const override { return hasDoc_; }
    std::string Url() const override { return url_; }
    std::string Title() const override { return title_; }
    ScriptResult Evaluate(const std::string& script, unsigned timeoutMs = 5000) override;

    std::string DocumentHtml() override;
    std::string DocumentInnerHtml() override;
    std::string DocumentText() override;
    std::vector<std::string> Links() override;
    std::string SelectedText(bool asHtml) override;
    bool ScrollTo(int x, int y) override;
    bool ScrollToElement(const std::string& id) override;
    POINT ScrollPosition() override;
    SIZE ScrollSize() override;
    SIZE ClientSize() override;
    int FillField(const std::string& name, const std::string& value, int index) override;
    std::string FieldValue(const std::string& name) override;
    bool ExecCommand(const std::string& command, const std::string& value = "") override;
    bool CommandEnabled(const std::string& command) override;
    std::string Charset() override { return hasDoc_ ? charset_ : std::string(); }
    std::string DesignMode() override { return hasDoc_ ? designMode_ : std::string(); }
    bool SetDesignMode(const std::string& mode) override;
    std::string Cookie() override { return cookie_; }

    void SetZoom(double factor) override;
    double Zoom() const override { return zoom_; }
    bool Find(const std::string& text, const FindOptions& options) override;
    void FindFinish() override { findPos_ = std::string::npos; }
    bool Print(bool askUser) override;
    void SetPageSetup(const PageSetup& setup) override { pageSetup_ = setup; }
    PageSetup CurrentPageSetup() const override { return pageSetup_; }
    // The stand-in's dialog answers as PageSetupDialogAnswer says (none: cancelled).
    bool RunPageSetupDialog() override;
    bool PrintPreview() override;
    bool Snapshot(int, int, std::vector<uint32_t>&) override { return false; }
    void Apply(const Settings& settings) override { settings_ = settings; }
    void Focus() override;
    bool HasFocus() const override { return focused_; }

    // What tests look at and do.
    // Every navigation that passed before-navigate, in order.
    const std::vector<Navigation>& Navigations() const { return navigations_; }
    // Every script given to Evaluate, in order.
    const std::vector<std::string>& Scripts() const { return scripts_; }
    int PrintCount() const { return prints_; }
    int PreviewCount() const { return previews_; }
    int PageSetupDialogCount() const { return pageSetupDialogs_; }
    std::optional<PageSetup> PageSetupDialogAnswer;
    HtmlDocument& Document() { return doc_; }
    // Documents stay loading (never complete) while held.
    void HoldCompletion(bool hold) { hold_ = hold; }
    // Pages served for addresses that are neither files nor "about:".
    static void SetResource(const std::string& url, const std::string& html);
    static void ClearResources();
    // Answers scripts the stand-in does not know; nullopt falls back to the
    // built-in forms.
    std::function<std::optional<ScriptResult>(const std::string& script)> ScriptHandler;
    // The user clicks link number index of the page (document order) at
    // (x, y) of the host, with keys (MK_*) held; false when there is none.
    bool ClickLink(size_t index, int x = 10, int y = 10, WPARAM keys = 0);
    // The user clicks the first link whose href is url.
    bool ClickLinkTo(const std::string& url);
    // Input through the page: answers whether the host kept it from the page.
    bool PressKey(const KeyInput& key);
    bool OpenContextMenu(int x, int y, int kind = kContextDefault); // true when a menu shows
    void RightClick(int x, int y, WPARAM keys = 0);
    // The page raises a script error: answers whether scripts go on.
    bool RaiseScriptError(const ScriptError& error);
    void OpenDialog(ScriptDialog& dialog);
    bool RequestDownload(const std::string& url); // true when the host cancelled it

private:
    void post(std::function<void()> call);
    void begin(const Navigation& nav, bool pushHistory, uint64_t serial);
    void finish(const std::string& url, std::string html, const std::string& charset,
                uint64_t serial);
    void setState(ReadyState s);
    bool resolve(const std::string& url, std::string& html, std::string& error);

    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    ReadyState state_ = ReadyState::Uninitialized;
    bool hasDoc_ = false;
    bool hold_ = false;
    bool focused_ = false;
    uint64_t serial_ = 0;
    std::string url_, title_, charset_ = "UTF-8", designMode_ = "Off", cookie_;
    HtmlDocument doc_;
    std::vector<Navigation> navigations_;
    std::vector<std::string> history_;
    size_t historyPos_ = 0;
    std::vector<std::string> scripts_;
    int prints_ = 0;
    int previews_ = 0;
    int pageSetupDialogs_ = 0;
    PageSetup pageSetup_;
    std::string memoryBytes_, memoryBase_;
    double zoom_ = 1.0;
    POINT scroll_{0, 0};
    std::string selection_;
    size_t findPos_ = std::string::npos;
};

} // namespace webview
