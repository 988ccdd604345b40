// The preview player: a page of our own shown in a web view. The host hands
// it instructions by setting a named variable ("callbackvar"); the page plays
// media addresses through the web engine and answers with commands (a name
// and an argument) that it sends as navigations to a private scheme.
#pragma once

#include "platform/webview/webview.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace player {

// The scheme of the page's commands: "playercmd:" NAME "/" ARGUMENT, both
// percent-escaped.
inline constexpr const char* kCommandScheme = "playercmd:";

// Splits a command address; false when url is not one.
bool ParseCommandUrl(const std::string& url, std::string& command, std::string& argument);

class PlayerView {
public:
    // The page is loaded from pageFile once Load is called.
    PlayerView(HWND host, std::string pageFile, bool forceHeadless = false);
    ~PlayerView();
    PlayerView(const PlayerView&) = delete;
    PlayerView& operator=(const PlayerView&) = delete;

    // False when the page file does not exist.
    bool Load();
    // Hands the page a variable; values set before the page is ready are
    // handed over in order once it is.
    void SetVariable(const std::string& name, const std::string& value);
    // Every value set, oldest first (what the page was told).
    const std::vector<std::pair<std::string, std::string>>& History() const { return history_; }
    bool Ready() const { return ready_; }
    webview::View* View() const { return view_.get(); }

    std::function<void(const std::string& command, const std::string& argument)> OnCommand;

private:
    void deliver(const std::string& name, const std::string& value);

    std::unique_ptr<webview::View> view_;
    std::string pageFile_;
    bool ready_ = false;
    std::vector<std::pair<std::string, std::string>> pending_;
    std::vector<std::pair<std::string, std::string>> history_;
};

} // namespace player
