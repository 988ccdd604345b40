#include "framework/CLSettings.h"

#include "classlib/strings.h"
#include "classlib/sysutils.h"
#include "framework/OxDebug.h"
#include "framework/SPTools.h"
#include "platform/os/access.h"
#include "platform/os/clock.h"
#include "platform/os/codepage.h"
#include "platform/os/file.h"
#include "platform/os/folders.h"

#include <algorithm>
#include <mutex>

namespace {

const char* const kSection = "setting";
const char* const kShowAgain = "ShowAgain";
const char* const kShowAgainResult = "ShowAgainModuleResult";
const char* const kConstFile = "const.dat";
const char* const kFlagFile = "UserFlag.ini";
// The largest settings file read; the class library's INI files stop there too.
constexpr int64_t kMaxSettingFileSize = 64ll << 20;
constexpr uint32_t kEncodeMask = 0x5A3C91E7u;

std::mutex g_engineLock;
TStrings* g_overwrite = nullptr;
TStrings* g_default = nullptr;

bool EngineValue(TStrings* list, const std::string& name, std::string* value) {
    if (!list) return false;
    int i = list->IndexOfName(name);
    if (i < 0) return false;
    if (value) *value = list->ValueFromIndex(i);
    return true;
}

bool IniValue(TMemIniFile* ini, const std::string& name, std::string* value) {
    if (!ini || !ini->ValueExists(kSection, name)) return false;
    if (value) *value = ini->ReadString(kSection, name, "");
    return true;
}

void LogSettings(const std::string& text) {
    DebuggerInstance()->LogMsgWithTag(text, "CLSettings");
}

std::unique_ptr<TCLSettings> g_instance;
bool g_writesHeld = false;

bool HasByteOrderMark(std::string_view bytes) {
    return bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") ||
           bytes.starts_with("\xFE\xFF");
}

// The file made at the first start holds a blank only: nothing to keep.
bool HoldsOnlyBlanks(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    for (char c : bytes)
        if (static_cast<unsigned char>(c) > ' ') return false;
    return true;
}

} // namespace

std::string DecodeSettingBytes(const std::string& Bytes) {
    if (HasByteOrderMark(Bytes)) return DecodeTextBytes(Bytes);
    return IsValidUtf8(Bytes) ? Bytes : SingleByteFallbackToUtf8(Bytes);
}

void HoldSettingsWrites() {
    g_writesHeld = true;
}

void ReleaseSettingsWrites() {
    g_writesHeld = false;
    if (g_instance) g_instance->WriteHeldChanges();
}

bool SettingsWritesHeld() {
    return g_writesHeld;
}

void SetSettingsEngineLists(TStrings* SettingOverwrite, TStrings* SettingDefault) {
    std::lock_guard<std::mutex> g(g_engineLock);
    g_overwrite = SettingOverwrite;
    g_default = SettingDefault;
}

TCLSettings* SettingsInstance(const std::string& FileName) {
    if (!g_instance) g_instance = std::make_unique<TCLSettings>(FileName);
    return g_instance.get();
}

void FreeSettingsInstance() {
    g_instance.reset();
}

TCLSettings::TCLSettings(const std::string& strSettingFile) {
    FSettingFilename = strSettingFile.empty() ? std::string("setting.dat") : strSettingFile;
    std::string constName = strSettingFile.empty() ? std::string(kConstFile) : strSettingFile;
    FConstDataPath = GetAppFolder();
    FConstValueIni = std::make_unique<TMemIniFile>(FConstDataPath + constName);
    FOemValueIni = std::make_unique<TMemIniFile>(FConstDataPath + "oem." + constName);

    FConfigPathWord = GetSettingString("App.ConfigPath");
    if (FConfigPathWord.empty()) {
        FConfigPathWord = GetAppFileName();
        for (char& c : FConfigPathWord)
            if (c == '\\' || c == ':' || c == '/') c = '_';
    }
    FUserDataPathCurrentUser =
        IncludeTrailingBackslashEx(GetShellFolderPath("AppData")) + FConfigPathWord + "/";
    FUserDataPathAllUsers = IncludeTrailingBackslashEx(GetCommonShellFolderPath("Common AppData")) +
                            FConfigPathWord + "/";
    FEncodeMask = kEncodeMask;

    if (SafeStrToInt(GetSettingString("Setting.NoAllUser"), 0) != 0) {
        SetAllUser(false);
    } else {
        // The flag as stored now; it may not be on disk yet while writes are held.
        bool allUsers;
        if (IsAllUserFlagExists()) {
            allUsers = GetAllUserFlag();
            if (allUsers && !IsAllUserPathWriteable()) {
                allUsers = false;
                SetAllUserFlag(false);
            }
        } else {
            allUsers = IsAllUserPathWriteable();
            SetAllUserFlag(allUsers);
        }
        SetAllUser(allUsers);
    }

    FRunTimes = GetSettingInteger("RunTimes");
    SetSettingInteger("RunTimes", FRunTimes + 1);
}

TCLSettings::~TCLSettings() = default;

void TCLSettings::SetAllUser(bool Value) {
    FAllUser = Value;
    FUserDataPath = Value ? FUserDataPathAllUsers : FUserDataPathCurrentUser;
    if (!os::CreateFolderTree(FUserDataPath))
        LogSettings("Cannot create the data folder: " + FUserDataPath);
    FUserDataPath = IncludeTrailingBackslashEx(GetLongPath(FUserDataPath));
    FSettingIni.reset();
    std::string file = FUserDataPath + FSettingFilename;
    if (!os::PathExists(file)) {
        if (g_writesHeld)
            FSavePending = true;
        else
            WriteStringToFile(" ", file);
    }
    LoadSettingFile(file);
}

void TCLSettings::LoadSettingFile(const std::string& FileName) {
    FSettingIni = std::make_unique<TMemIniFile>();
    FKeepFile = false;
    FBackupDue = false;
    FForeignBytes.clear();
    std::string bytes;
    if (os::PathExists(FileName)) {
        if (!os::ReadWholeFile(FileName, bytes, kMaxSettingFileSize)) {
            FKeepFile = true;
            LogSettings("Cannot read " + FileName + "; changes stay in memory");
        } else {
            FSettingIni->SetText(DecodeSettingBytes(bytes));
            // What would be lost by writing the document back: anything
            // that does not read back byte for byte.
            FBackupDue = !HoldsOnlyBlanks(bytes) &&
                         EncodeTextBytes(FSettingIni->GetText(), TTextEncoding::UTF8BOM) != bytes;
            if (FBackupDue) FForeignBytes = std::move(bytes);
        }
    }
    FSettingIni->Rename(FileName, false);
}

bool TCLSettings::LookUp(const std::string& strName, std::string* Value) {
    {
        std::lock_guard<std::mutex> g(g_engineLock);
        if (EngineValue(g_overwrite, strName, Value)) return true;
    }
    if (FSettingIni) {
        if (FNoCache) LoadSettingFile(std::string(FSettingIni->FileName()));
        if (IniValue(FSettingIni.get(), strName, Value)) return true;
    }
    if (IniValue(FOemValueIni.get(), strName, Value) ||
        IniValue(FConstValueIni.get(), strName, Value))
        return true;
    std::lock_guard<std::mutex> g(g_engineLock);
    return EngineValue(g_default, strName, Value);
}

std::string TCLSettings::GetSettingString(const std::string& strName) {
    std::string value;
    if (LookUp(strName, &value)) return value;
    LogSettings("Setting Not Found :" + strName);
    return "";
}

int32_t TCLSettings::GetSettingInteger(const std::string& strName) {
    return StrToIntDef(GetSettingString(strName), 0);
}

bool TCLSettings::GetSettingBool(const std::string& strName) {
    return GetSettingInteger(strName) != 0;
}

double TCLSettings::GetSettingFloat(const std::string& strName) {
    return StrToFloatDef(GetSettingString(strName), 0);
}

TRect TCLSettings::GetSettingRect(const std::string& strName, const TRect& Default) {
    TRect r = Default;
    StrToRect(GetSettingString(strName), r);
    return r;
}

bool TCLSettings::GetSettingExists(const std::string& strName) {
    return LookUp(strName, nullptr);
}

void TCLSettings::SetSettingstring(const std::string& strName, const std::string& strValue) {
    if (!FSettingIni) return;
    FSettingIni->WriteString(kSection, strName, strValue);
    if (!FUpdating) UpdateSettingINI();
}

void TCLSettings::SetSettingInteger(const std::string& strName, int32_t iValue) {
    SetSettingstring(strName, IntToStr(iValue));
}

void TCLSettings::SetSettingBool(const std::string& strName, bool ibValue) {
    SetSettingstring(strName, ibValue ? "1" : "0");
}

void TCLSettings::SetSettingFloat(const std::string& strName, double fValue) {
    SetSettingstring(strName, FloatToStr(fValue));
}

void TCLSettings::SetSettingRect(const std::string& strName, const TRect& rcValue) {
    SetSettingstring(strName, RectToStr(rcValue));
}

void TCLSettings::BeginUpdate() {
    FUpdating = true;
}

void TCLSettings::EndUpdate() {
    FUpdating = false;
    UpdateSettingINI();
}

void TCLSettings::UpdateSettingINI() {
    if (!FSettingIni || FKeepFile) return;
    if (g_writesHeld) {
        FSavePending = true;
        return;
    }
    const std::string& file = FSettingIni->FileName();
    if (os::IsReadOnlyFile(file)) {
        LogSettings(file + " is read-only; changes stay in memory");
        return;
    }
    // A data folder that cannot be written must not stop the program: the
    // settings stay in memory and the failure goes to the debug channel.
    if (FBackupDue) {
        std::string error;
        if (!os::WriteFileAtomic(file + ".bak", FForeignBytes, &error)) {
            LogSettings("Cannot keep " + file + ".bak: " + error);
            return;
        }
        FBackupDue = false;
        FForeignBytes.clear();
    }
    try {
        FSettingIni->UpdateFile();
        FSavePending = false;
    } catch (const Exception& e) {
        LogSettings("Cannot save " + file + ": " + e.Message);
    }
}

void TCLSettings::WriteHeldChanges() {
    if (FPendingFlagFile) {
        auto flags = std::move(FPendingFlagFile);
        SaveFlagFile(*flags);
    }
    if (FSavePending) UpdateSettingINI();
}

bool TCLSettings::GetMessageShowAgainFlag(int32_t iNumber) {
    return FSettingIni ? FSettingIni->ReadBool(kShowAgain, IntToStr(iNumber), true) : true;
}

void TCLSettings::SetMessageShowAgainFlag(int32_t iNumber, bool bValue) {
    if (!FSettingIni) return;
    FSettingIni->WriteBool(kShowAgain, IntToStr(iNumber), bValue);
    if (!FUpdating) UpdateSettingINI();
}

int32_t TCLSettings::GetMessageShowAgainResult(int32_t iNumber) {
    return FSettingIni ? FSettingIni->ReadInteger(kShowAgainResult, IntToStr(iNumber), 1) : 1;
}

void TCLSettings::SetMessageShowAgainResult(int32_t iNumber, int32_t iValue) {
    if (!FSettingIni) return;
    FSettingIni->WriteInteger(kShowAgainResult, IntToStr(iNumber), iValue);
    if (!FUpdating) UpdateSettingINI();
}

void TCLSettings::ClearShowAgainFlag() {
    if (!FSettingIni) return;
    FSettingIni->EraseSection(kShowAgain);
    FSettingIni->EraseSection(kShowAgainResult);
    if (!FUpdating) UpdateSettingINI();
}

bool TCLSettings::IsAllUserFlagExists() {
    os::CreateFolderTree(FUserDataPathCurrentUser);
    TMemIniFile ini(FUserDataPathCurrentUser + kFlagFile);
    return ini.ValueExists("Flag", "AllUsers");
}

bool TCLSettings::GetAllUserFlag() {
    os::CreateFolderTree(FUserDataPathCurrentUser);
    TMemIniFile ini(FUserDataPathCurrentUser + kFlagFile);
    return ini.ReadBool("Flag", "AllUsers", true);
}

void TCLSettings::SetAllUserFlag(bool bValue) {
    os::CreateFolderTree(FUserDataPathCurrentUser);
    TMemIniFile ini(FUserDataPathCurrentUser + kFlagFile);
    ini.WriteBool("Flag", "AllUsers", bValue);
    SaveFlagFile(ini);
}

void TCLSettings::SaveFlagFile(TMemIniFile& Ini) {
    if (g_writesHeld) {
        FPendingFlagFile = std::make_unique<TMemIniFile>();
        FPendingFlagFile->SetText(Ini.GetText());
        FPendingFlagFile->Rename(Ini.FileName(), false);
        return;
    }
    try {
        Ini.UpdateFile();
    } catch (const Exception& e) {
        LogSettings("Cannot save " + Ini.FileName() + ": " + e.Message);
    }
}

bool TCLSettings::IsAllUserPathWriteable() {
    try {
        if (!os::CreateFolderTree(FUserDataPathAllUsers)) return false;
        return os::IsFolderWritable(FUserDataPathAllUsers);
    } catch (...) {
        return false;
    }
}

int32_t TCLSettings::GetRunDays() {
    // Creation times are UTC, so the days are counted against UTC now.
    double now = os::NowUtcDateTime();
    int64_t best = 0;
    for (const std::string& path :
         {FConstDataPath, FUserDataPathCurrentUser, FUserDataPathAllUsers}) {
        TFileTime t = 0;
        if (path.empty() || !GetFileCreationTime(path, t)) continue;
        best = std::max<int64_t>(best, DaysBetween(now, FileTimeToDateTime(t)));
    }
    return int32_t(std::min<int64_t>(best, INT32_MAX));
}

std::string TCLSettings::SlowGetLanguageString(const std::string& strSection,
                                               const std::string& strValue,
                                               const std::string& strDefault) {
    std::string lang = GetSettingString("Language.Force");
    if (lang.empty()) lang = GetSettingString("Language");
    std::string folder = CombinePath(FConstDataPath, GetSettingString("Path.Languages"));
    TMemIniFile ini(CombinePath(folder, lang + ".lan"));
    return ini.ReadString(strSection, strValue, strDefault);
}

// Eight key units: the mask read as eight overlapping bytes, one every four bits.
uint8_t TCLSettings::KeyUnit(size_t Position) const {
    unsigned k = unsigned(Position % 8);
    uint32_t rotated = (FEncodeMask >> (4 * k)) | (FEncodeMask << ((32 - 4 * k) % 32));
    return uint8_t(rotated & 0xFF);
}

void TCLSettings::SetSettingsecString(const std::string& strName, const std::string& strValue) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < strValue.size(); ++i) {
        uint8_t b = uint8_t(strValue[i]) ^ KeyUnit(i + 1);
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    SetSettingstring(strName, out);
}

std::string TCLSettings::GetSettingsecString(const std::string& strName) {
    std::string text = GetSettingString(strName);
    std::string out;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        int hi = digit(text[i]), lo = digit(text[i + 1]);
        uint8_t v = (hi < 0 || lo < 0) ? 32 : uint8_t(hi * 16 + lo);
        out += char(v ^ KeyUnit(i / 2 + 1));
    }
    return out;
}
