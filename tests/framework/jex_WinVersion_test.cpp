#include "framework/jex_WinVersion.h"

#include <gtest/gtest.h>

namespace {

TWinVersionSource Nt(uint32_t major, uint32_t minor, uint8_t productType, uint16_t suite = 0,
                     uint16_t arch = 0) {
    TWinVersionSource s;
    s.Available = true;
    s.Record.extended = true;
    s.Record.platformId = 2;
    s.Record.major = major;
    s.Record.minor = minor;
    s.Record.build = 0x0A280000u | 2600u;
    s.Record.productType = productType;
    s.Record.suiteMask = suite;
    s.Record.architecture = arch;
    s.Record.servicePack = "Service Pack 2";
    s.Record.servicePackMajor = 2;
    return s;
}

struct Row {
    const char* what;
    TWinVersionSource source;
    TWindowsType kind;
    const char* product;
    const char* words;
    bool server;
};

TEST(WinVersionTest, EditionTable) {
    auto wow = Nt(6, 0, 1);
    wow.Record.wow64 = true;
    auto r2 = Nt(5, 2, 3, 0x0002);
    r2.Record.serverR2 = true;
    const Row rows[] = {
        {"XP Home", Nt(5, 1, 1, 0x0200), winXP, "Microsoft Windows XP", "Home Edition", false},
        {"XP Pro", Nt(5, 1, 1), winXP, "Microsoft Windows XP", "Professional", false},
        {"Vista", Nt(6, 0, 1), winVista, "Microsoft Windows Vista", "Professional", false},
        {"Vista 64 under WOW", wow, winVista64, "Microsoft Windows Vista 64 Edition",
         "Professional", false},
        {"Longhorn", Nt(6, 0, 3, 0x0002), winLonghorn, "Microsoft Windows Server Longhorn",
         "Server 4.0 Enterprise Edition", true},
        {"Windows 7", Nt(6, 1, 1), winUnknown, "", "Professional", false},
        {"2003 R2", r2, win2003R2, "Microsoft Windows Server 2003 R2", "Enterprise Edition", true},
        {"XP x64", Nt(5, 2, 1, 0, 9), winXPx64, "Microsoft Windows XP Professional x64 Edition", "",
         false},
        {"2003 Itanium", Nt(5, 2, 3, 0x0080, 6), win2003, "Microsoft Windows Server 2003 family",
         "Datacenter Edition for Itanium-based Systems", true},
        {"2003 x64 standard", Nt(5, 2, 3, 0, 9), win2003, "Microsoft Windows Server 2003 family",
         "Standard x64 Edition", true},
        {"2003 web", Nt(5, 2, 3, 0x0400), win2003, "Microsoft Windows Server 2003 family",
         "Web Edition", true},
        {"2003 SBS restricted", Nt(5, 2, 2, 0x0020), win2003,
         "Microsoft Windows Server 2003 family", "Small Business Server ( Restricted )", true},
        {"2000 advanced", Nt(5, 0, 3, 0x0002), win2000, "Microsoft Windows Server 2000 family",
         "Advanced Server", true},
        {"2000 pro", Nt(5, 0, 1), win2000, "Microsoft Windows 2000", "Professional", false},
        {"NT4 workstation", Nt(4, 0, 1), winNT, "Microsoft Windows NT", "Workstation 4.0", false},
    };
    for (const Row& row : rows) {
        TWindowsTypeEx info;
        GetWindowsTypeExFrom(row.source, info);
        SCOPED_TRACE(row.what);
        EXPECT_EQ(info.OSKind, row.kind);
        EXPECT_EQ(info.Product, row.product);
        EXPECT_EQ(info.Kind.AsString, row.words);
        EXPECT_EQ(info.Full, std::string(row.product) + " " + row.words);
        EXPECT_EQ(info.Server, row.server);
        EXPECT_EQ(info.Kind.AsType, row.server ? wptServer : wptWorkstation);
        EXPECT_EQ(info.ServicePack, "Service Pack 2 (Build 2600)");
    }
}

TEST(WinVersionTest, VersionNumbersAndNt4ServicePack6a) {
    auto s = Nt(4, 0, 1);
    s.Record.servicePack = "service pack 6";
    s.Record.servicePackMajor = 6;
    s.Record.build = 1381;
    TWindowsTypeEx info;
    GetWindowsTypeExFrom(s, info);
    EXPECT_EQ(info.ServicePack, "service pack 6 (Build 1381)");
    s.HotfixQ246009 = true;
    GetWindowsTypeExFrom(s, info);
    EXPECT_EQ(info.ServicePack, "Service Pack 6a (Build 1381)");
    EXPECT_EQ(info.OSVersion.AsString, "4.0");
    EXPECT_EQ(info.ServicePackVersion.AsString, "6.0");
    EXPECT_EQ(info.ServicePackVersion.Major, 6);
    EXPECT_EQ(info.OSBuild, 1381);
}

TEST(WinVersionTest, WithoutExtendedRecordTheProductTypeNamesTheEdition) {
    auto s = Nt(4, 0, 0);
    s.Record.extended = false;
    s.ProductOptionsType = "lanmannt";
    TWindowsTypeEx info;
    GetWindowsTypeExFrom(s, info);
    EXPECT_EQ(info.Kind.AsString, "Server 4.0 ");
    EXPECT_EQ(info.Full, "Microsoft Windows NT Server 4.0 ");
}

TEST(WinVersionTest, Windows9xAndWin32s) {
    TWinVersionSource s;
    s.Available = true;
    s.Record.platformId = 1;
    s.Record.major = 4;
    s.Record.servicePack = " C";
    TWindowsTypeEx info;
    GetWindowsTypeExFrom(s, info);
    EXPECT_EQ(info.OSKind, win95OSR2);
    EXPECT_EQ(info.Full, "Microsoft Windows 95 OSR2");
    EXPECT_EQ(info.ServicePack, "C");
    s.Record.minor = 10;
    s.Record.servicePack = " A ";
    GetWindowsTypeExFrom(s, info);
    EXPECT_EQ(info.OSKind, win98se);
    EXPECT_EQ(info.Full, "Microsoft Windows 98 SE");
    s.Record.minor = 90;
    GetWindowsTypeExFrom(s, info);
    EXPECT_EQ(info.OSKind, winME);
    EXPECT_EQ(info.Full, "Microsoft Windows Millennium Edition");
    s.Record.platformId = 0;
    GetWindowsTypeExFrom(s, info);
    EXPECT_EQ(info.OSKind, win31);
    EXPECT_EQ(info.Full, "Microsoft Win32s");
}

TEST(WinVersionTest, ThisSystemIsNotWindows) {
    TWindowsTypeEx info;
    info.Product = "stale";
    GetWindowsTypeEx(info);
    EXPECT_EQ(info.OSKind, winUnknown);
    EXPECT_EQ(info.Product, "");
    EXPECT_EQ(info.Full, "");
    EXPECT_FALSE(IsWindowsVista64());
    EXPECT_FALSE(IsWow64());
}

} // namespace
