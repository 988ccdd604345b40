#include "framework/jex_WinVersion.h"

#include "classlib/sysutils.h"
#include "platform/os/registry.h"

namespace {

constexpr uint32_t kPlatform9x = 1;
constexpr uint32_t kPlatformNT = 2;

constexpr uint8_t kNtWorkstation = 1;

constexpr uint16_t kSuiteSmallBusiness = 0x0001;
constexpr uint16_t kSuiteEnterprise = 0x0002;
constexpr uint16_t kSuiteSmallBusinessRestricted = 0x0020;
constexpr uint16_t kSuiteDatacenter = 0x0080;
constexpr uint16_t kSuitePersonal = 0x0200;
constexpr uint16_t kSuiteBlade = 0x0400;

constexpr uint16_t kArchX86 = 0;
constexpr uint16_t kArchIA64 = 6;
constexpr uint16_t kArchAMD64 = 9;
constexpr uint16_t kArchIA32OnWin64 = 10;

void SetVersion(TWindowsProductVersion& v, uint32_t major, uint32_t minor) {
    v.Major = int32_t(major);
    v.Minor = int32_t(minor);
    v.AsString = Format("%d.%d", v.Major, v.Minor);
}

char SecondChar(const std::string& s) {
    return s.size() >= 2 ? s[1] : '\0';
}

void NtProduct(const TWinVersionSource& src, uint16_t arch, TWindowsTypeEx& info) {
    const auto& r = src.Record;
    bool workstation = r.productType == kNtWorkstation;
    if (r.major == 6 && r.minor == 0) {
        if (workstation) {
            info.Product = "Microsoft Windows Vista";
            info.OSKind = winVista;
            if (r.wow64 || arch == kArchAMD64 || arch == kArchIA64 || arch == kArchIA32OnWin64) {
                info.Product = "Microsoft Windows Vista 64 Edition";
                info.OSKind = winVista64;
            }
        } else {
            info.Product = "Microsoft Windows Server Longhorn";
            info.OSKind = winLonghorn;
        }
    } else if (r.major == 5 && r.minor == 2) {
        if (r.serverR2) {
            info.Product = "Microsoft Windows Server 2003 R2";
            info.OSKind = win2003R2;
        } else if (workstation && arch == kArchAMD64) {
            info.Product = "Microsoft Windows XP Professional x64 Edition";
            info.OSKind = winXPx64;
        } else {
            info.Product = "Microsoft Windows Server 2003 family";
            info.OSKind = win2003;
        }
    } else if (r.major == 5 && r.minor == 1) {
        info.Product = "Microsoft Windows XP";
        info.OSKind = winXP;
    } else if (r.major == 5 && r.minor == 0) {
        info.Product = "Microsoft Windows 2000";
        info.OSKind = win2000;
    } else if (r.major <= 4) {
        info.Product = "Microsoft Windows NT";
        info.OSKind = winNT;
    }
}

void NtEdition(const TWinVersionSource& src, uint16_t arch, TWindowsTypeEx& info) {
    const auto& r = src.Record;
    uint16_t suite = r.suiteMask;
    if (!r.extended) {
        std::string t = src.ProductOptionsType;
        if (SameText(t, "WINNT"))
            info.Kind.AsString = "Workstation";
        else if (SameText(t, "LANMANNT"))
            info.Kind.AsString = "Server";
        else if (SameText(t, "SERVERNT"))
            info.Kind.AsString = "Advanced Server";
        info.Kind.AsString += Format(" %d.%d ", int(r.major), int(r.minor));
        return;
    }
    if (r.productType == kNtWorkstation) {
        if (arch == kArchAMD64) return;
        info.Kind.AsType = wptWorkstation;
        if (r.major == 4)
            info.Kind.AsString = "Workstation 4.0";
        else
            info.Kind.AsString = (suite & kSuitePersonal) ? "Home Edition" : "Professional";
        return;
    }
    info.Server = true;
    info.Kind.AsType = wptServer;
    std::string& w = info.Kind.AsString;
    if (r.major == 5 && r.minor == 2) {
        if (arch == kArchIA64) {
            if (suite & kSuiteDatacenter)
                w = "Datacenter Edition for Itanium-based Systems";
            else if (suite & kSuiteEnterprise)
                w = "Enterprise Edition for Itanium-based Systems";
        } else if (arch == kArchAMD64) {
            if (suite & kSuiteDatacenter)
                w = "Datacenter x64 Edition";
            else if (suite & kSuiteEnterprise)
                w = "Enterprise x64 Edition";
            else
                w = "Standard x64 Edition";
        } else {
            if (suite & kSuiteDatacenter)
                w = "Datacenter Edition";
            else if (suite & kSuiteEnterprise)
                w = "Enterprise Edition";
            else if (suite & kSuiteBlade)
                w = "Web Edition";
            else if (suite & kSuiteSmallBusiness)
                w = "Small Business Server";
            else if (suite & kSuiteSmallBusinessRestricted)
                w = "Small Business Server ( Restricted )";
            else
                w = "Standard Edition";
        }
    } else if (r.major == 5 && r.minor == 0) {
        info.Product = "Microsoft Windows Server 2000 family";
        if (suite & kSuiteDatacenter)
            w = "Datacenter Server";
        else if (suite & kSuiteEnterprise)
            w = "Advanced Server";
        else
            w = "Server";
    } else {
        w = (suite & kSuiteEnterprise) ? "Server 4.0 Enterprise Edition" : "Server 4.0";
    }
}

} // namespace

TWinVersionSource ReadWinVersionSource() {
    TWinVersionSource src;
    src.Available = os::QueryWindowsVersion(src.Record);
    if (src.Available) {
        os::RegReadValue(os::RegRoot::LocalMachine,
                         "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", "ProductType",
                         src.ProductOptionsType);
        src.HotfixQ246009 =
            os::RegKeyExists(os::RegRoot::LocalMachine,
                             "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009");
    }
    return src;
}

void GetWindowsTypeExFrom(const TWinVersionSource& Source, TWindowsTypeEx& Info) {
    Info = TWindowsTypeEx();
    if (!Source.Available) return;
    const auto& r = Source.Record;
    SetVersion(Info.OSVersion, r.major, r.minor);
    SetVersion(Info.ServicePackVersion, r.servicePackMajor, r.servicePackMinor);
    Info.OSBuild = int32_t(r.build);

    if (r.platformId == kPlatform9x) {
        Info.Kind.AsType = wptWorkstation;
        Info.ServicePack = r.servicePack;
        char c = SecondChar(r.servicePack);
        if (r.major == 4 && r.minor == 0) {
            Info.Product = "Microsoft Windows 95";
            Info.OSKind = win95;
            if (c == 'C' || c == 'B') {
                Info.Kind.AsString = "OSR2";
                Info.OSKind = win95OSR2;
            }
            Info.Full = Format("%s %s", Info.Product, Info.Kind.AsString);
        } else if (r.major == 4 && r.minor == 10) {
            Info.Product = "Microsoft Windows 98";
            Info.OSKind = win98;
            if (c == 'A') {
                Info.Kind.AsString = "SE";
                Info.OSKind = win98se;
            }
            Info.Full = Format("%s %s", Info.Product, Info.Kind.AsString);
        } else if (r.major == 4 && r.minor == 90) {
            Info.Product = "Microsoft Windows Millennium Edition";
            Info.OSKind = winME;
            Info.Full = Info.Product;
        }
    } else if (r.platformId == kPlatformNT) {
        // The architecture matters only for version 5.2; elsewhere it counts as x86.
        uint16_t arch = (r.major == 5 && r.minor == 2) ? r.architecture : kArchX86;
        NtProduct(Source, arch, Info);
        NtEdition(Source, arch, Info);
        int build = int(r.build & 0xFFFF);
        if (r.major == 4 && SameText(r.servicePack, "Service Pack 6") && Source.HotfixQ246009)
            Info.ServicePack = Format("Service Pack 6a (Build %d) \r\n", build);
        else
            Info.ServicePack = Format("%s (Build %d) \r\n", r.servicePack, build);
        Info.Full = Format("%s %s", Info.Product, Info.Kind.AsString);
    } else { // Win32s and anything else
        Info.Product = "Microsoft Win32s";
        Info.Kind.AsType = wptWorkstation;
        Info.Full = Info.Product;
        Info.OSKind = win31;
    }
    Info.ServicePack = Trim(Info.ServicePack);
}

void GetWindowsTypeEx(TWindowsTypeEx& Info) {
    GetWindowsTypeExFrom(ReadWinVersionSource(), Info);
}

bool IsWindowsVista64() {
    TWindowsTypeEx info;
    GetWindowsTypeEx(info);
    return info.OSKind == winVista64;
}

bool IsWow64() {
    os::WindowsVersionRecord r;
    return os::QueryWindowsVersion(r) && r.wow64;
}
