// The layered settings store: engine overrides, the user's "setting.dat",
// the shipped "oem.const.dat" and "const.dat", then engine defaults, all in
// section "setting". It also picks the per-user or all-users data folder,
// counts runs and keeps the remembered answers of message boxes.
#pragma once

#include "classlib/inifiles.h"
#include "classlib/types.h"

#include <cstdint>
#include <memory>
#include <string>

class TStrings;

class TCLSettings : public TObject {
public:
    explicit TCLSettings(const std::string& strSettingFile = "");
    ~TCLSettings() override;

    // Layered reads.
    std::string GetSettingString(const std::string& strName);
    int32_t GetSettingInteger(const std::string& strName);
    bool GetSettingBool(const std::string& strName);
    double GetSettingFloat(const std::string& strName);
    // Left unchanged when the text does not hold exactly four parts.
    TRect GetSettingRect(const std::string& strName, const TRect& Default = TRect());
    bool GetSettingExists(const std::string& strName);

    // Writes go to section "setting" of "setting.dat" and reach the disk at
    // once unless an update is open or writes are held. A file that cannot be
    // written, or is marked read-only, is logged and left as it is; the value
    // is kept in memory. A file whose content this program did not write
    // (comments, lines that do not parse, another encoding) is first kept as
    // "setting.dat.bak".
    void SetSettingstring(const std::string& strName, const std::string& strValue);
    void SetSettingInteger(const std::string& strName, int32_t iValue);
    void SetSettingBool(const std::string& strName, bool ibValue);
    void SetSettingFloat(const std::string& strName, double fValue);
    void SetSettingRect(const std::string& strName, const TRect& rcValue);
    void BeginUpdate();
    void EndUpdate();
    void UpdateSettingINI();

    // Remembered answers of message boxes, in "setting.dat" only.
    bool GetMessageShowAgainFlag(int32_t iNumber);
    void SetMessageShowAgainFlag(int32_t iNumber, bool bValue);
    int32_t GetMessageShowAgainResult(int32_t iNumber);
    void SetMessageShowAgainResult(int32_t iNumber, int32_t iValue);
    void ClearShowAgainFlag();

    // Data folders and counters.
    bool IsAllUserFlagExists();
    bool GetAllUserFlag();
    void SetAllUserFlag(bool bValue);
    bool IsAllUserPathWriteable();
    int32_t GetRunDays();
    bool AllUser() const { return FAllUser; }
    void SetAllUser(bool Value);
    const std::string& UserDataPath() const { return FUserDataPath; }
    int32_t RunTimes() const { return FRunTimes; }
    void SetNoCache(bool Value) { FNoCache = Value; }

    std::string SlowGetLanguageString(const std::string& strSection, const std::string& strValue,
                                      const std::string& strDefault);
    std::string GetSettingsecString(const std::string& strName);
    void SetSettingsecString(const std::string& strName, const std::string& strValue);

    bool FAllUser = false;
    std::unique_ptr<TMemIniFile> FConstValueIni;
    std::unique_ptr<TMemIniFile> FOemValueIni;
    std::unique_ptr<TMemIniFile> FSettingIni;
    std::string FConstDataPath;
    std::string FUserDataPath;
    std::string FUserDataPathCurrentUser;
    std::string FUserDataPathAllUsers;
    int32_t FRunTimes = 0;
    uint32_t FEncodeMask = 0;
    bool FUpdating = false;
    std::string FConfigPathWord;
    std::string FSettingFilename;
    bool FNoCache = false;

    // Writes what waited while writes were held.
    void WriteHeldChanges();

private:
    bool LookUp(const std::string& strName, std::string* Value);
    void LoadSettingFile(const std::string& FileName);
    // Set when "setting.dat" exists but could not be read: saving over it
    // would lose what it holds.
    bool FKeepFile = false;
    // The bytes read, kept until they are saved as the backup.
    std::string FForeignBytes;
    bool FBackupDue = false;
    bool FSavePending = false;
    std::unique_ptr<TMemIniFile> FPendingFlagFile;
    void SaveFlagFile(TMemIniFile& Ini);
    uint8_t KeyUnit(size_t Position) const;
};

// The engine's two lists of settings: the engine registers them when it is
// created and clears them when it goes. Overrides win over every file;
// defaults are used only when no file holds the key.
void SetSettingsEngineLists(TStrings* SettingOverwrite, TStrings* SettingDefault);

// The text of "setting.dat": a byte-order mark decides; without one, UTF-8
// when the bytes are valid UTF-8, else Windows-1252, so the letters of a
// file in a single-byte code page survive.
std::string DecodeSettingBytes(const std::string& Bytes);

// While held, the store keeps every change in memory and writes no file;
// releasing writes what waited. The run routine holds writes until it knows
// that this instance runs, so one that only hands over to a running instance
// writes nothing.
void HoldSettingsWrites();
void ReleaseSettingsWrites();
bool SettingsWritesHeld();

// The process-wide store, created with the file name on first use.
TCLSettings* SettingsInstance(const std::string& FileName = "");
void FreeSettingsInstance();
