// The program itself starts on a display with a fresh settings folder and
// keeps running with its main window up.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/tempdir.h"

TEST(ProgramStart, RunsWithAFreshSettingsFolder) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    TempDir config;
    const std::string program = std::string(LANTROVE_PROGRAM_DIR) + "/lantrove";
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 40 && ended == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ended = waitpid(pid, &status, WNOHANG);
    }
    EXPECT_EQ(ended, 0) << "the program ended at start, status " << status;
    if (ended == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
}
