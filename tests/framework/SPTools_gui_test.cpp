// The folder dialog behind BrowseForFolder under a real display, answered
// through keys sent to the X server.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>
#include <vector>

#include "framework/SPTools.h"
#include "platform/display/gtk.h"
#include "support/screen.h"
#include "support/tempdir.h"

namespace {

using guitest::run;

// Answers the dialog named title from another thread: waits for it, focuses
// it and runs the xdotool commands given, one after the other.
std::future<int> answer(const std::string& title, std::vector<std::string> commands) {
    return std::async(std::launch::async, [=] {
        int rc = run("xdotool search --sync --onlyvisible --name '^" + title +
                     "$' sleep 1 windowfocus sleep 1");
        for (const std::string& c : commands)
            rc |= run("xdotool " + c);
        return rc;
    });
}

} // namespace

TEST(BrowseForFolderOnScreen, AnswersTheChosenFolderAndEmptyOnCancel) {
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    display::Install(std::move(backend));
    TempDir dir;
    std::string start = dir.file("start");
    std::string other = dir.file("other");
    std::filesystem::create_directories(start);
    std::filesystem::create_directories(other);

    // The initial folder is shown selected: accepting at once answers it.
    auto accepted = answer("Pick a folder", {"key alt+s"});
    EXPECT_EQ(BrowseForFolder(0, start, "Pick a folder"), start);
    EXPECT_EQ(accepted.get(), 0);

    // A folder typed into the location field is the answer.
    auto typed = answer("Pick another", {"key ctrl+l", "sleep 0.5 type --delay 20 '" + other + "'",
                                         "sleep 0.5 key alt+s"});
    std::string chosen = BrowseForFolder(0, start, "Pick another");
    EXPECT_EQ(typed.get(), 0);
    EXPECT_EQ(chosen, other);

    // Escape cancels: the answer is empty.
    auto cancelled = answer("Pick again", {"key Escape"});
    EXPECT_EQ(BrowseForFolder(0, start, "Pick again"), "");
    EXPECT_EQ(cancelled.get(), 0);
    display::Install(nullptr);
}
