// The framework's component on the main window: answers the other
// instances through the window's procedure, selects skin and language (at
// start and from two menus), builds the title, looks texts up by key, shows
// message boxes with remembered answers, builds the addresses of the
// maker's pages with the client parameters and fetches files into a cache.
#pragma once

#include "classlib/forms.h"
#include "classlib/menus.h"
#include "classlib/strings.h"
#include "download/DownloaderDef.h"
#include "skin/forms/spMessages.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TCLMultiLangData;
class TSingleDownloader;
class TspSkinData;
class TspCompressedStoredSkin;
class TspSkinnedForm;
class TfrmCLAboutForm;
class TfrmCLUpdateForm;

using TOnCmdFile = std::function<void(const std::string& FileName)>;

class TCLEngine : public TComponent {
public:
    // The owner must be a form (EInvalidCast otherwise).
    explicit TCLEngine(TComponent* AOwner);
    ~TCLEngine() override;

    void Loaded() override;
    void InitPost();
    void WndProc(TMessage& Message);
    void Notification(TComponent* AComponent, TOperation Operation) override;

    // Skins: a skin is its file in the skins folder; SkinFileName tells
    // which. With skin data set the file is loaded into it; a missing or
    // damaged file gives the default skin back under the name "Default"
    // (also at start), and a damaged one is reported to the user: at once,
    // or at start once the message loop runs (InitPost).
    const std::string& Skin() const { return FSkin; }
    void SetSkin(const std::string& Value);
    TStrings* SkinList();
    const std::string& SkinFileName() const { return FSkinFileName; }
    bool SkinnableForm() const { return FSkinnableForm; }

    // Languages.
    const std::string& Language() const { return FLanguage; }
    void SetLanguage(const std::string& Value);
    TStrings* LanguageList();
    std::string LanguageTranslator() const { return FLanguageTranslator; }

    std::string AppName();
    const std::string& AppTitle() const { return FAppTitle; }
    bool TitleIncludeVer() const { return FTitleIncludeVer; }
    void SetTitleIncludeVer(bool Value);

    // Pages of the maker's site.
    std::string GetURL(const std::string& strPage, bool bAddParams);
    std::string GetURLParam();
    void ShowPage(const std::string& strPage);
    void ShowPageByURL(const std::string& strURL);
    // The before-navigate handler of embedded browsers: "zint:" links open
    // their PAGE and never navigate.
    void WebBeforeNavigate2(TObject* ASender, void* pDisp, const std::string& URL, int Flags,
                            const std::string& TargetFrameName, const std::string& PostData,
                            const std::string& Headers, bool& Cancel);

    // Each address is fetched at most once per run.
    void DownloadtoCache(const std::string& strURL, const std::string& strCacheFile,
                         TOnDoneFileEvent onDone);
    void DownloadtoCacheCancel(const std::string& strURL);

    // Texts by key and message boxes.
    std::string GetAppString(const std::string& strName);
    std::string GetLibString(const std::string& strName);
    std::string GetAppStringEx(const std::string& strName, const std::vector<std::string>& Params);
    std::string GetLibStringEx(const std::string& strName, const std::vector<std::string>& Params);
    std::string GetLangString(const std::string& strName, bool bLib);
    int ShowMessageEx(const std::string& strMsg, const std::vector<std::string>& Params,
                      int iNumber, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int iDefault,
                      bool bLib);
    void ShowErrorMessage(const std::string& strError, const std::string& strErrorParam, bool bLib);
    TspSkinMessage* MessageDlg();

    // The about dialog (made once, shown modally) and the update check:
    // started by the user (bWait: modal, freed afterwards), automatic at
    // start, or the first check of a run that has never had an answer.
    void AppAbout();
    void AppUpdate(bool bWait);
    void AppUpdateAuto();
    bool AppWaitFirstUpdate();
    TfrmCLAboutForm* AboutForm() const { return FAboutForm; }
    // The update dialog started last, null when none.
    TfrmCLUpdateForm* LastUpdateForm() const { return FLastUpdateForm; }
    // Closes and frees the splash window when it still exists.
    void SplashClose();

    // True within 300000 ms after the session-end query arrived (never
    // before one arrived).
    bool SessionEnding() const;

    // Published.
    bool Debug() const { return FDebug; }
    TStrings* SettingOverwrite() const { return FSettingOverwrite.get(); }
    TStrings* SettingDefault() const { return FSettingDefault.get(); }
    HWND ParentHWND = 0;
    TspSkinData* SkinData() const { return FSkinData; }
    void SetSkinData(TspSkinData* Value);
    TspSkinnedForm* SkinForm() const { return FSkinForm; }
    void SetSkinForm(TspSkinnedForm* Value) { FSkinForm = Value; }
    TMenuItem* SkinMenuItem() const { return FSkinMenuItem; }
    void SetSkinMenuItem(TMenuItem* Value);
    TMenuItem* LanguageMenuItem() const { return FLanguageMenuItem; }
    void SetLanguageMenuItem(TMenuItem* Value);
    TCLMultiLangData* LanguageData() const { return FLanguageData; }
    void SetLanguageData(TCLMultiLangData* Value);
    const std::string& ParamFile() const { return FParamFile; }
    bool Initializing() const { return FInInited; }
    const std::vector<TMenuItem*>& SkinMenuItems() const { return FSkinMenuItems; }
    const std::vector<TMenuItem*>& LanguageMenuItems() const { return FLanguageMenuItems; }

    TOnCmdFile OnCmdFile;
    TNotifyEvent OnTitleChange;
    TNotifyEvent OnSkinChanged;
    TNotifyEvent OnLanguageChanged;

    UINT FWM_CL_GET_APPID = 0;
    UINT FWM_CL_CLOSE_APP = 0;
    UINT FWM_CL_INITPOST = 0;
    UINT FWM_CL_CMDPARAM = 0;
    UINT FWM_CL_IF_BUSY = 0;
    UINT FWM_CL_BRING_TO_FRONT = 0;

private:
    TfrmCLUpdateForm* NewUpdateForm();
    void SkinStartup();
    void LanguageStartup();
    void BuildMenu(TMenuItem* Parent, TStrings* List, const std::string& Current,
                   std::vector<TMenuItem*>& Items, bool Skins);
    void CheckMenu(const std::vector<TMenuItem*>& Items, const std::string& Current);
    void UpdateTitle();
    void PostCmdLineFile();
    std::string FolderOf(const std::string& SettingName);
    // False, with the reason in FSkinFailure, when the file does not load.
    bool LoadSkinFile(const std::string& File, bool Skinnable);
    void RestoreDefaultSkin();
    // Tells the user why the skin FFailedSkin did not load.
    void ReportSkinFailure();

    TForm* FForm = nullptr;
    TWndMethod FOrigWndProc;
    bool FDebug = false;
    std::unique_ptr<TStringList> FSettingOverwrite;
    std::unique_ptr<TStringList> FSettingDefault;
    bool FInLoaded = false;
    std::string FParamFile;
    bool FInInited = true;
    std::string FAppTitle;
    bool FTitleIncludeVer = true;
    std::string FSkin;
    std::string FSkinFileName;
    bool FSkinnableForm = false;
    TspSkinData* FSkinData = nullptr;
    TspSkinnedForm* FSkinForm = nullptr;
    // The skin the skin data held when the engine started, and its flag.
    TspCompressedStoredSkin* FDefaultSkin = nullptr;
    bool FDefaultSkinForm = true;
    std::unique_ptr<TStringList> FSkinList;
    // A skin that did not load, why, and whether that is still to be told.
    std::string FFailedSkin, FSkinFailure;
    bool FSkinFailurePending = false;
    TMenuItem* FSkinMenuItem = nullptr;
    std::vector<TMenuItem*> FSkinMenuItems;
    std::string FLanguage;
    std::string FLanguageTranslator;
    TCLMultiLangData* FLanguageData = nullptr;
    std::unique_ptr<TStringList> FLanguageList;
    TMenuItem* FLanguageMenuItem = nullptr;
    std::vector<TMenuItem*> FLanguageMenuItems;
    TspSkinMessage* FMessageDlg = nullptr;
    std::unique_ptr<TStringList> FDownloadCacheList;
    std::vector<std::unique_ptr<TSingleDownloader>> FDownloaderList;
    TfrmCLAboutForm* FAboutForm = nullptr;
    TfrmCLUpdateForm* FLastUpdateForm = nullptr;
    uint32_t FQueryEndSessionTime = 0;
    bool FQueryEndSessionSeen = false;
};

// The first engine created, null when none lives.
TCLEngine* EngineInstance();
