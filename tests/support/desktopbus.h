// A desktop's tray services for tests: a session bus of the test's own
// (dbus-daemon) with the stand-in watcher and notification service of
// tools/desktopstub, which logs each request as a line.
#pragma once

#include <string>
#include <vector>

namespace guitest {

// Starts a session bus and names it (DBUS_SESSION_BUS_ADDRESS) to everything
// started after it; stops it and forgets the name when it goes.
class PrivateBus {
public:
    bool Start();
    ~PrivateBus();

private:
    std::string address_, pid_;
};

// The lines of a log that start with a word.
std::vector<std::string> Logged(const std::string& file, const std::string& word);

// The watcher and notification service, as one process that can be stopped
// and started again (a panel that restarts).
class DesktopServices {
public:
    explicit DesktopServices(std::string log) : log_(std::move(log)) {}
    ~DesktopServices() { Stop(); }
    // True once both services own their names.
    bool Start();
    void Stop();
    const std::string& Log() const { return log_; }

private:
    std::string log_, pid_;
};

} // namespace guitest
