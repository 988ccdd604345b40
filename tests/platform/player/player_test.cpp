// The preview player page in the headless web view: command addresses, the
// variables handed over once the page is ready, and the commands it sends.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "platform/player/player.h"
#include "platform/webview/headless.h"
#include "platform/win/queue.h"
#include "support/tempdir.h"

namespace {

void pumpUntil(const std::function<bool()>& done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!done() && std::chrono::steady_clock::now() < end)
        RunThreadCalls(5);
}

TEST(PlayerCommandUrl, SplitsAndDecodes) {
    struct Case {
        std::string url;
        bool ok;
        std::string command, argument;
    };
    for (const Case& c : {
             Case{"playercmd:PLAY/NEXT", true, "PLAY", "NEXT"},
             Case{"PlayerCmd:DOWNLOAD/CURRENT", true, "DOWNLOAD", "CURRENT"},
             Case{"playercmd:DOWNLOADLIST/", true, "DOWNLOADLIST", ""},
             Case{"playercmd:REPEATMODE", true, "REPEATMODE", ""},
             Case{"playercmd:A%2FB/x%20y%2", true, "A/B", "x y%2"},
             Case{"playercmd:/NEXT", false, "", "NEXT"},
             Case{"xmd:ACTION=Play", false, "", ""},
             Case{"playercm", false, "", ""},
         }) {
        std::string command, argument;
        EXPECT_EQ(player::ParseCommandUrl(c.url, command, argument), c.ok) << c.url;
        if (c.ok) {
            EXPECT_EQ(command, c.command) << c.url;
            EXPECT_EQ(argument, c.argument) << c.url;
        }
    }
}

TEST(PlayerView, HandsVariablesOverInOrderOnceReady) {
    TempDir dir;
    const std::string page = dir.write("player.html", "<html><body>player</body></html>");
    player::PlayerView p(0, page, true);
    auto* view = static_cast<webview::HeadlessView*>(p.View());
    p.SetVariable("callbackvar", "Stop,");
    p.SetVariable("callbackvar", "Title,It's \"here\"");
    EXPECT_TRUE(view->Scripts().empty());
    ASSERT_TRUE(p.Load());
    pumpUntil([&] { return p.Ready(); });
    ASSERT_TRUE(p.Ready());
    p.SetVariable("callbackvar", "Play,http://127.0.0.1/get_video?video_id=a&t=b");
    const std::vector<std::string> expected = {
        "SetVariable(" + webview::JsString("callbackvar") + "," + webview::JsString("Stop,") + ")",
        "SetVariable(" + webview::JsString("callbackvar") + "," +
            webview::JsString("Title,It's \"here\"") + ")",
        "SetVariable(" + webview::JsString("callbackvar") + "," +
            webview::JsString("Play,http://127.0.0.1/get_video?video_id=a&t=b") + ")"};
    EXPECT_EQ(view->Scripts(), expected);
    EXPECT_EQ(p.History().size(), 3u);
}

TEST(PlayerView, CommandsAreCaughtAndOtherNavigationsGoOn) {
    TempDir dir;
    const std::string page = dir.write(
        "player.html",
        "<html><body><a href='playercmd:PLAY/PREV'>prev</a><a href='about:x'>x</a></body></html>");
    player::PlayerView p(0, page, true);
    std::vector<std::string> commands;
    p.OnCommand = [&](const std::string& c, const std::string& a) {
        commands.push_back(c + " " + a);
    };
    ASSERT_TRUE(p.Load());
    pumpUntil([&] { return p.Ready(); });
    auto* view = static_cast<webview::HeadlessView*>(p.View());
    const std::string url = view->Url();
    ASSERT_TRUE(view->ClickLinkTo("playercmd:PLAY/PREV"));
    pumpUntil([&] { return !commands.empty(); });
    EXPECT_EQ(commands, std::vector<std::string>{"PLAY PREV"});
    EXPECT_EQ(view->Url(), url);
}

TEST(PlayerView, MissingPageDoesNotLoad) {
    player::PlayerView p(0, "/nonexistent/player.html", true);
    EXPECT_FALSE(p.Load());
    EXPECT_FALSE(p.Ready());
}

} // namespace
