// Which Windows edition the program runs on. On this system the version
// record says it is not Windows, so the answers are the unknown ones; the
// table logic still works on any record handed to GetWindowsTypeExFrom.
#pragma once

#include "platform/os/version.h"

#include <cstdint>
#include <string>

enum TWindowsType {
    winUnknown,
    win31,
    win95,
    win95OSR2,
    winNT,
    win98,
    win98se,
    winME,
    win2000,
    winXP,
    winXPx64,
    win2003,
    win2003R2,
    winVista,
    winVista64,
    winLonghorn
};

enum TWindowsProductType { wptWorkstation, wptServer };

struct TWindowsProductKind {
    std::string AsString;
    TWindowsProductType AsType = wptWorkstation;
};

struct TWindowsProductVersion {
    std::string AsString;
    int32_t Major = 0;
    int32_t Minor = 0;
};

struct TWindowsTypeEx {
    std::string Full;
    std::string Product;
    TWindowsProductKind Kind;
    TWindowsType OSKind = winUnknown;
    TWindowsProductVersion OSVersion;
    int32_t OSBuild = 0;
    bool Server = false;
    std::string ServicePack;
    TWindowsProductVersion ServicePackVersion;
};

// Everything the detection reads from the system.
struct TWinVersionSource {
    bool Available = false; // the version query succeeded
    os::WindowsVersionRecord Record;
    std::string ProductOptionsType; // "ProductType" of the machine's product options key
    bool HotfixQ246009 = false;     // the machine's Q246009 hotfix key opens
};

TWinVersionSource ReadWinVersionSource();
void GetWindowsTypeExFrom(const TWinVersionSource& Source, TWindowsTypeEx& Info);
void GetWindowsTypeEx(TWindowsTypeEx& Info);
bool IsWindowsVista64();
bool IsWow64();
