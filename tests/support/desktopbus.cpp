#include "support/desktopbus.h"

#include "support/screen.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace guitest {
namespace {

std::string Output(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[512];
        while (size_t n = fread(buf, 1, sizeof buf, p))
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

} // namespace

bool PrivateBus::Start() {
    std::istringstream out(
        Output("dbus-daemon --session --fork --print-address=1 --print-pid=1 2>/dev/null"));
    std::getline(out, address_);
    out >> pid_;
    if (address_.empty() || pid_.empty()) return false;
    setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    return true;
}

PrivateBus::~PrivateBus() {
    if (!pid_.empty()) run("kill " + pid_);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

std::vector<std::string> Logged(const std::string& file, const std::string& word) {
    std::ifstream in(file);
    std::vector<std::string> out;
    for (std::string l; std::getline(in, l);)
        if (l.rfind(word + " ", 0) == 0 || l == word) out.push_back(l);
    return out;
}

bool DesktopServices::Start() {
    const size_t before = Logged(log_, "ready").size();
    pid_ = Trimmed(Output("sh -c '" + std::string(LANTROVE_DESKTOP_STUB) + " " + log_ +
                          " >/dev/null 2>&1 & echo $!'"));
    return !pid_.empty() && pumpUntil([&] { return Logged(log_, "ready").size() > before; });
}

void DesktopServices::Stop() {
    if (pid_.empty()) return;
    run("kill " + pid_);
    // Gone once the bus no longer names its watcher.
    pumpUntil([] {
        return Output("gdbus call --session --dest org.freedesktop.DBus --object-path "
                      "/org/freedesktop/DBus --method org.freedesktop.DBus.NameHasOwner "
                      "org.kde.StatusNotifierWatcher 2>/dev/null")
                   .find("false") != std::string::npos;
    });
    pid_.clear();
}

} // namespace guitest
