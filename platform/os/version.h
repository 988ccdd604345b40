// What the system says about its version, in the shape the edition detection
// reads. This system is not Windows: QueryWindowsVersion answers false and
// leaves the record empty.
#pragma once

#include <cstdint>
#include <string>

namespace os {

struct WindowsVersionRecord {
    bool extended = false; // the service-pack numbers, suite and product type are known
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint32_t platformId = 0; // 0 Win32s, 1 Windows 9x, 2 NT
    std::string servicePack; // the service-pack text
    uint16_t servicePackMajor = 0;
    uint16_t servicePackMinor = 0;
    uint16_t suiteMask = 0;
    uint8_t productType = 0;   // 1 workstation, 2 domain controller, 3 server
    uint16_t architecture = 0; // 0 x86, 6 IA-64, 9 AMD64, 10 IA-32 on Win64
    bool wow64 = false;
    bool serverR2 = false;
};

bool QueryWindowsVersion(WindowsVersionRecord& record);

// The running system, for logs and page parameters ("Linux", "6.1.0").
std::string SystemName();
std::string SystemRelease();

} // namespace os
