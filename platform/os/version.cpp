#include "platform/os/version.h"

#include <sys/utsname.h>

namespace os {

bool QueryWindowsVersion(WindowsVersionRecord& record) {
    record = WindowsVersionRecord();
    return false;
}

std::string SystemName() {
    utsname u{};
    return uname(&u) == 0 ? std::string(u.sysname) : std::string();
}

std::string SystemRelease() {
    utsname u{};
    return uname(&u) == 0 ? std::string(u.release) : std::string();
}

} // namespace os
