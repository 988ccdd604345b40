#include "framework/CLEngine.h"

#include "classlib/urlencode.h"
#include "download/SingleDownloader.h"
#include "framework/CLAboutForm.h"
#include "framework/CLApp.h"
#include "framework/CLMultiLang.h"
#include "framework/CLSettings.h"
#include "framework/CLSplashForm.h"
#include "framework/CLUpdateForm.h"
#include "framework/OxDebug.h"
#include "framework/SPTools.h"
#include "framework/jex_WinVersion.h"
#include "platform/os/clock.h"
#include "platform/os/codepage.h"
#include "platform/os/version.h"
#include "skin/engine/SkinData.h"
#include "skin/forms/SkinnedForm.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

TCLEngine* g_engine = nullptr;

TCLSettings* Settings() {
    return SettingsInstance();
}

// The Windows language identifier of the locale the system runs in
// ("de_DE.UTF-8" gives 1031); English (United States) when it names none.
uint32_t SystemLanguageId() {
    struct Entry {
        const char* Locale;
        uint32_t Id;
    };
    static const Entry table[] = {
        {"ar", 0x0401},    {"bg", 0x0402},    {"ca", 0x0403},    {"zh_TW", 0x0404},
        {"zh_HK", 0x0C04}, {"zh", 0x0804},    {"cs", 0x0405},    {"da", 0x0406},
        {"de_AT", 0x0C07}, {"de_CH", 0x0807}, {"de", 0x0407},    {"el", 0x0408},
        {"en_GB", 0x0809}, {"en_AU", 0x0C09}, {"en_CA", 0x1009}, {"en", 0x0409},
        {"es_MX", 0x080A}, {"es", 0x0C0A},    {"fi", 0x040B},    {"fr_BE", 0x080C},
        {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C}, {"fr", 0x040C},    {"he", 0x040D},
        {"hu", 0x040E},    {"is", 0x040F},    {"it", 0x0410},    {"ja", 0x0411},
        {"ko", 0x0412},    {"nl_BE", 0x0813}, {"nl", 0x0413},    {"nb", 0x0414},
        {"no", 0x0414},    {"pl", 0x0415},    {"pt_BR", 0x0416}, {"pt", 0x0816},
        {"ro", 0x0418},    {"ru", 0x0419},    {"hr", 0x041A},    {"sk", 0x041B},
        {"sv", 0x041D},    {"th", 0x041E},    {"tr", 0x041F},    {"uk", 0x0422},
        {"id", 0x0421},    {"vi", 0x042A},
    };
    std::string locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (v && *v) {
            locale = v;
            break;
        }
    }
    locale = locale.substr(0, locale.find_first_of(".@"));
    for (const Entry& e : table) {
        size_t n = std::strlen(e.Locale);
        if (locale.compare(0, n, e.Locale) == 0 && (locale.size() == n || locale[n] == '_'))
            return e.Id;
    }
    return 0x0409;
}

std::string Encode(const std::string& Value) {
    return FormEncode(Value, TFormBytes::Ansi);
}

} // namespace

TCLEngine* EngineInstance() {
    return g_engine;
}

TCLEngine::TCLEngine(TComponent* AOwner) : TComponent(AOwner) {
    FTitleIncludeVer = true;
    FInInited = true;
    FWM_CL_GET_APPID = RegisterWindowMessage(kMsgGetAppID);
    FWM_CL_CLOSE_APP = RegisterWindowMessage(kMsgCloseApp);
    FWM_CL_INITPOST = RegisterWindowMessage(kMsgInitPost);
    FWM_CL_CMDPARAM = RegisterWindowMessage(kMsgCmdParam);
    FWM_CL_IF_BUSY = RegisterWindowMessage(kMsgIfBusy);
    FWM_CL_BRING_TO_FRONT = RegisterWindowMessage(kMsgBringToFront);
    FForm = dynamic_cast<TForm*>(AOwner);
    if (!FForm) throw EInvalidCast("Invalid class typecast");
    FOrigWndProc = FForm->WindowProc;
    if (!HasState(csDesigning)) FForm->WindowProc = [this](TMessage& m) { WndProc(m); };
    FSettingOverwrite = std::make_unique<TStringList>();
    FSettingDefault = std::make_unique<TStringList>();
    FSettingDefault->Add("Path.Skins=skins");
    FSettingDefault->Add("Path.Languages=lang");
    if (!g_engine) {
        g_engine = this;
        SetSettingsEngineLists(FSettingOverwrite.get(), FSettingDefault.get());
    }
    FDebug = DebugMode;
}

TCLEngine::~TCLEngine() {
    if (g_engine == this) {
        g_engine = nullptr;
        SetSettingsEngineLists(nullptr, nullptr);
    }
    if (FForm && !HasState(csDesigning) && FOrigWndProc) FForm->WindowProc = FOrigWndProc;
    // Transfers still running finish on their own; nobody hears of them.
    for (auto& d : FDownloaderList)
        d->OnDoneFile = nullptr;
    FDownloaderList.clear();
}

void TCLEngine::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FMessageDlg) FMessageDlg = nullptr;
    if (AComponent == FAboutForm) FAboutForm = nullptr;
    if (AComponent == FLastUpdateForm) FLastUpdateForm = nullptr;
    if (AComponent == FSkinData) FSkinData = nullptr;
    if (AComponent == FDefaultSkin) FDefaultSkin = nullptr;
    if (AComponent == FLanguageData) FLanguageData = nullptr;
    if (AComponent == FSkinMenuItem) {
        FSkinMenuItem = nullptr;
        FSkinMenuItems.clear();
    }
    if (AComponent == FLanguageMenuItem) {
        FLanguageMenuItem = nullptr;
        FLanguageMenuItems.clear();
    }
}

void TCLEngine::SetSkinData(TspSkinData* Value) {
    if (FSkinData) RemoveFreeNotification(FSkinData);
    FSkinData = Value;
    if (Value) FreeNotification(Value);
}

void TCLEngine::SetSkinMenuItem(TMenuItem* Value) {
    if (FSkinMenuItem) RemoveFreeNotification(FSkinMenuItem);
    FSkinMenuItem = Value;
    FSkinMenuItems.clear();
    if (Value) FreeNotification(Value);
}

void TCLEngine::SetLanguageMenuItem(TMenuItem* Value) {
    if (FLanguageMenuItem) RemoveFreeNotification(FLanguageMenuItem);
    FLanguageMenuItem = Value;
    FLanguageMenuItems.clear();
    if (Value) FreeNotification(Value);
}

void TCLEngine::SetLanguageData(TCLMultiLangData* Value) {
    if (FLanguageData) RemoveFreeNotification(FLanguageData);
    FLanguageData = Value;
    if (Value) FreeNotification(Value);
}

// ---------------------------------------------------------------------------
// Start-up

void TCLEngine::Loaded() {
    TComponent::Loaded();
    if (HasState(csDesigning)) return;
    FInLoaded = true;
    try {
        SkinStartup();
        LanguageStartup();
    } catch (...) {
        FInLoaded = false;
        throw;
    }
    FInLoaded = false;
    PostMessage(FForm->Handle(), FWM_CL_INITPOST, 0, 0);
}

void TCLEngine::InitPost() {
    if (OnLanguageChanged) OnLanguageChanged(this);
    if (OnSkinChanged) OnSkinChanged(this);
    if (FSkinFailurePending) ReportSkinFailure();
    UpdateTitle();
    if (Settings()->GetSettingBool("Update.BeginAuto")) AppUpdateAuto();
    PostCmdLineFile();
    FInInited = false;
}

void TCLEngine::PostCmdLineFile() {
    const auto& params = AppParams();
    // A file name may begin with "/" here; IsCmdLineFileParam tells it from a switch.
    if (params.empty() || !IsCmdLineFileParam(params[0])) return;
    FParamFile = params[0];
    PostMessage(FForm->Handle(), FWM_CL_CMDPARAM, 0, 0);
}

void TCLEngine::WndProc(TMessage& Message) {
    UINT m = Message.Msg;
    if (m == FWM_CL_GET_APPID) {
        Message.Result = Settings()->GetSettingInteger("App.ID");
        return;
    }
    if (m == FWM_CL_CLOSE_APP) {
        // The normal close path, from the loop: what a close saves is saved,
        // and the sender is not kept waiting on a question.
        PostMessage(FForm->Handle(), WM_CLOSE, 0, 0);
        Message.Result = 0;
        return;
    }
    if (m == FWM_CL_INITPOST) {
        InitPost();
        Message.Result = 0;
        return;
    }
    if (m == FWM_CL_IF_BUSY) {
        Message.Result = FInInited ? 1 : 0;
        return;
    }
    if (m == FWM_CL_BRING_TO_FRONT) {
        // A window living in the tray comes back from it; otherwise the
        // sender brings the window forward itself.
        if (FSkinForm && FSkinForm->TrayIcon()) {
            FSkinForm->RestoreFromTray();
            Message.Result = 1;
        } else {
            Message.Result = 0;
        }
        return;
    }
    if (m == WM_COPYDATA && Message.LParam != 0) {
        const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(Message.LParam);
        size_t units = cds->lpData ? cds->cbData / 2 : 0;
        std::u16string text(units, u'\0');
        if (units) std::memcpy(text.data(), cds->lpData, units * 2);
        FParamFile = Utf16ToUtf8(text);
        PostMessage(FForm->Handle(), FWM_CL_CMDPARAM, 0, 0);
        Message.Result = 0;
        return;
    }
    if (m == FWM_CL_CMDPARAM && OnCmdFile) {
        OnCmdFile(FParamFile);
        Message.Result = 0;
        return;
    }
    if (m == WM_QUERYENDSESSION) {
        FQueryEndSessionTime = os::GetTickCount();
        FQueryEndSessionSeen = true;
    }
    if (FOrigWndProc) FOrigWndProc(Message);
}

bool TCLEngine::SessionEnding() const {
    return FQueryEndSessionSeen && uint32_t(os::GetTickCount() - FQueryEndSessionTime) < 300000u;
}

// ---------------------------------------------------------------------------
// Skins

std::string TCLEngine::FolderOf(const std::string& SettingName) {
    return IncludeTrailingBackslashEx(
        CombinePath(GetAppFolder(), Settings()->GetSettingString(SettingName)));
}

void TCLEngine::SkinStartup() {
    if (FSkinData) {
        FDefaultSkin = FSkinData->CompressedStoredSkin();
        if (FDefaultSkin) FreeNotification(FDefaultSkin);
        FDefaultSkinForm = FSkinData->SkinnableForm();
    }
    SetSkin(Settings()->GetSettingString("Skin"));
    if (FSkinMenuItem) BuildMenu(FSkinMenuItem, SkinList(), FSkin, FSkinMenuItems, true);
}

// The skin file of a name: "<name>.skn" skins forms too, "<name>.nsf.skn"
// only the controls. Empty when neither exists.
static std::string SkinFileOf(const std::string& folder, const std::string& name, bool& skinnable) {
    skinnable = true;
    std::string file = folder + name + ".skn";
    if (FileExists(file)) return file;
    skinnable = false;
    file = folder + name + ".nsf.skn";
    return FileExists(file) ? file : std::string();
}

bool TCLEngine::LoadSkinFile(const std::string& File, bool Skinnable) {
    FSkinFailure.clear();
    try {
        FSkinData->SetCompressedStoredSkin(nullptr);
        // As LoadFromCompressedFile, telling a file of another format from a
        // skin that loaded.
        TspCompressedStoredSkin stored(nullptr);
        stored.LoadFromCompressFile(File);
        if (stored.Empty())
            FSkinFailure = "the file is not a skin of a known format";
        else
            FSkinData->LoadCompressedStoredSkin(&stored);
        if (FSkinFailure.empty() && FSkinData->Empty)
            FSkinFailure = "the skin is of a later format";
    } catch (const std::exception& e) {
        // A damaged skin file: the skin in use stays, as if the file were missing.
        FSkinFailure = e.what();
    }
    if (!FSkinFailure.empty()) {
        if (DebugMode && DebuggerInstance())
            DebuggerInstance()->LogMsgWithTag("Skin " + File + ": " + FSkinFailure, "CLEngine");
        return false;
    }
    FSkinData->SetSkinnableForm(Skinnable);
    return true;
}

void TCLEngine::RestoreDefaultSkin() {
    if (FDefaultSkin) {
        FSkinData->SetCompressedStoredSkin(FDefaultSkin);
        FSkinData->SetSkinnableForm(FDefaultSkinForm);
        return;
    }
    // Without a built-in skin the default is the "Default" skin file, and
    // without that the controls' own drawing.
    bool skinnable = true;
    std::string file = SkinFileOf(FolderOf("Path.Skins"), "Default", skinnable);
    if (file.empty() || !LoadSkinFile(file, skinnable)) {
        FSkinData->ClearSkin();
        FSkinData->SetSkinnableForm(FDefaultSkinForm);
    }
    FSkinFileName = file;
}

void TCLEngine::SetSkin(const std::string& Value) {
    std::string name = Value.empty() ? "Default" : Value;
    if (name == FSkin) return;
    bool skinnable = true;
    std::string file = SkinFileOf(FolderOf("Path.Skins"), name, skinnable);
    bool selected = !file.empty();
    std::string failure;
    if (selected && FSkinData) {
        selected = LoadSkinFile(file, skinnable);
        failure = FSkinFailure;
    }
    if (selected) {
        FSkinFileName = file;
        FSkinnableForm = skinnable;
        FSkin = name;
    } else {
        // At start nothing may be loaded yet: the default skin then too.
        if (FSkinData && (!FSkin.empty() || FSkinData->Empty)) RestoreDefaultSkin();
        if (!FSkinData) FSkinFileName.clear();
        FSkinnableForm = FSkinData ? FSkinData->SkinnableForm() : false;
        FSkin = "Default";
    }
    if (FSkinData && IsWindowsVista64()) {
        FSkinData->SetShowButtonGlowFrames(false);
        FSkinData->SetShowCaptionButtonGlowFrames(false);
    }
    Settings()->SetSettingstring("Skin", FSkin);
    CheckMenu(FSkinMenuItems, FSkin);
    if (!FInLoaded && OnSkinChanged) OnSkinChanged(this);
    if (!failure.empty()) {
        FFailedSkin = name;
        FSkinFailure = failure;
        FSkinFailurePending = true;
        // At start the windows are not up yet: InitPost tells.
        if (!FInLoaded) ReportSkinFailure();
    }
}

void TCLEngine::ReportSkinFailure() {
    FSkinFailurePending = false;
    const bool skinned = FSkinData && !FSkinData->Empty;
    ShowMessageEx(skinned ? "Skin.LoadFailed" : "Skin.LoadFailedNoSkin",
                  {FFailedSkin, FSkinFailure}, 0, mtWarning, {mbOK}, 0, true);
}

TStrings* TCLEngine::SkinList() {
    if (FSkinList) return FSkinList.get();
    FSkinList = std::make_unique<TStringList>();
    FSkinList->Add("Default");
    TStringList files;
    ListFiles(FolderOf("Path.Skins") + "*.skn", &files, false);
    files.Sort();
    for (int i = 0; i < files.Count(); ++i) {
        // "Blue.skn" and "Blue.nsf.skn" are both the skin Blue; other dots
        // belong to the name, so every listed name finds its file.
        std::string name = files[i].substr(0, files[i].size() - 4);
        if (EndsText(".nsf", name)) name.resize(name.size() - 4);
        if (name.empty() || FSkinList->IndexOf(name) >= 0) continue;
        FSkinList->Add(name);
    }
    return FSkinList.get();
}

// ---------------------------------------------------------------------------
// Languages

void TCLEngine::LanguageStartup() {
    if (!FLanguageData) return;
    SetLanguage(Settings()->GetSettingString("Language").empty()
                    ? std::string("English")
                    : Settings()->GetSettingString("Language"));
    if (FLanguageMenuItem)
        BuildMenu(FLanguageMenuItem, LanguageList(), FLanguage, FLanguageMenuItems, false);
}

void TCLEngine::SetLanguage(const std::string& Value) {
    if (!FLanguageData) return;
    std::string name = Value.empty() ? "Default" : Value;
    if (name == FLanguage) return;
    std::string file = FolderOf("Path.Languages") + name + ".lan";
    if (FileExists(file)) {
        FLanguageData->LoadCurrentFromFile(file);
        FLanguage = name;
    } else {
        if (!FLanguage.empty()) FLanguageData->ClearCurrentAll();
        FLanguage = "English";
    }
    FLanguageTranslator = FLanguageData->InfoTranslator();
    Settings()->SetSettingstring("Language", FLanguage);
    CheckMenu(FLanguageMenuItems, FLanguage);
    if (FSkinData && FSkinData->ResourceStrData())
        FLanguageData->GetSectionStrings("SkinRes", FSkinData->ResourceStrData()->ResStrings());
    if (!FInLoaded && OnLanguageChanged) OnLanguageChanged(this);
    UpdateTitle();
}

TStrings* TCLEngine::LanguageList() {
    if (FLanguageList) return FLanguageList.get();
    FLanguageList = std::make_unique<TStringList>();
    FLanguageList->Add("English");
    TStringList files;
    ListFiles(FolderOf("Path.Languages") + "*.lan", &files, false);
    files.Sort();
    for (int i = 0; i < files.Count(); ++i) {
        std::string name = ChangeFileExt(files[i], "");
        if (SameText(name, "English")) continue;
        FLanguageList->Add(name);
    }
    return FLanguageList.get();
}

// ---------------------------------------------------------------------------
// Menus and title

void TCLEngine::BuildMenu(TMenuItem* Parent, TStrings* List, const std::string& Current,
                          std::vector<TMenuItem*>& Items, bool Skins) {
    if (!Items.empty()) return;
    if (List->Count() <= 1) {
        Parent->Visible = false;
        return;
    }
    std::vector<TMenuItem*> made;
    for (int i = 0; i < List->Count(); ++i) {
        auto* item = new TMenuItem(nullptr);
        item->Caption = (*List)[i];
        item->Checked = SameText(item->Caption, Current);
        item->OnClick = [this, Skins](TObject* Sender) {
            auto* clicked = static_cast<TMenuItem*>(Sender);
            if (Skins)
                SetSkin(clicked->Caption);
            else
                SetLanguage(clicked->Caption);
        };
        made.push_back(item);
    }
    Parent->Add(made);
    Items = made;
}

void TCLEngine::CheckMenu(const std::vector<TMenuItem*>& Items, const std::string& Current) {
    for (TMenuItem* item : Items)
        item->Checked = SameText(item->Caption, Current);
}

std::string TCLEngine::AppName() {
    std::string name = FLanguageData ? FLanguageData->GetAppName() : std::string();
    return name.empty() ? Settings()->GetSettingString("App.Name") : name;
}

void TCLEngine::SetTitleIncludeVer(bool Value) {
    FTitleIncludeVer = Value;
    UpdateTitle();
}

void TCLEngine::UpdateTitle() {
    if (HasState(csDesigning)) return;
    std::string title = AppName();
    if (FTitleIncludeVer) title += "  " + Settings()->GetSettingString("App.Ver");
    FAppTitle = title;
    if (Settings()->GetSettingBool("App.NoAutoTitle")) return;
    if (Application) Application->Title = title;
    FForm->SetCaption(title);
    if (OnTitleChange) OnTitleChange(this);
}

// ---------------------------------------------------------------------------
// Pages

std::string TCLEngine::GetURL(const std::string& strPage, bool bAddParams) {
    std::string url = Settings()->GetSettingString("URL." + strPage);
    if (!Trim(url).empty())
        url = StringReplace(url, "%exepath%", GetAppFolderNoSlash(), rfReplaceAll | rfIgnoreCase);
    else
        url = Settings()->GetSettingString("URL.Redirect");
    if (bAddParams && StartsText("http", url))
        url = AddURLParams(url, "ACTION=" + strPage + "&" + GetURLParam());
    return url;
}

std::string TCLEngine::GetURLParam() {
    TCLSettings* s = Settings();
    std::string out = Encode(FormatDateTime("sszzz", Now()));
    std::string pid = s->GetSettingString("App.PID");
    if (pid.empty()) pid = s->GetSettingString("App.MagicWord");
    out += "&PID=" + Encode(pid);
    out += "&LANG=" + Encode(s->GetSettingString("Language"));
    out += "&DAY=" + Encode(IntToStr(s->GetRunDays()));
    out += "&RUNTIME=" + Encode(IntToStr(s->RunTimes()));
    out += "&VER=" + Encode(IntToHex(int64_t(VersionStrToInt(s->GetSettingString("App.Ver"))), 8));
    out += "&SVER=" + Encode(IntToStr(s->GetSettingInteger("App.SubVer")));
    os::WindowsVersionRecord v;
    os::QueryWindowsVersion(v);
    out += "&WVER=" + Encode(IntToStr(v.major) + "_" + IntToStr(v.minor) + "_" + v.servicePack);
    out += "&WLANG=" + Encode(IntToStr(SystemLanguageId()));
    std::string channel =
        RegReadString(os::RegRoot::LocalMachine, "Software\\" + s->GetSettingString("App.RegPath"),
                      "CHL", "unknow");
    channel.erase(std::remove(channel.begin(), channel.end(), '"'), channel.end());
    size_t sep = channel.find_last_of("\\/");
    if (sep != std::string::npos) channel.erase(0, sep + 1);
    out += "&CHL=" + Encode(CharsToHex(channel));
    return out;
}

void TCLEngine::ShowPage(const std::string& strPage) {
    ShowPageByURL(GetURL(strPage, true));
}

void TCLEngine::ShowPageByURL(const std::string& strURL) {
    OpenURLInBrowser(Application ? Application->Handle() : 0, strURL);
}

void TCLEngine::WebBeforeNavigate2(TObject*, void*, const std::string& URL, int, const std::string&,
                                   const std::string&, const std::string&, bool& Cancel) {
    if (!StartsText("zint:", URL)) return;
    TStringList params;
    ParseQueryParams(URL, &params, true);
    std::string page = params.Values("PAGE");
    if (!page.empty()) ShowPage(page);
    Cancel = true;
}

// ---------------------------------------------------------------------------
// Cache downloads

void TCLEngine::DownloadtoCache(const std::string& strURL, const std::string& strCacheFile,
                                TOnDoneFileEvent onDone) {
    if (!FDownloadCacheList) {
        FDownloadCacheList = std::make_unique<TStringList>();
        FDownloadCacheList->SetCaseSensitive(true);
    }
    for (int i = 0; i < FDownloadCacheList->Count(); ++i)
        if ((*FDownloadCacheList)[i] == strURL) return;
    auto downloader = std::make_unique<TSingleDownloader>(nullptr);
    TSingleDownloader* d = downloader.get();
    FDownloaderList.push_back(std::move(downloader));
    FDownloadCacheList->Add(strURL);
    ForceDirectories(ExtractFileDir(strCacheFile));
    d->URL = strURL;
    d->FileName = strCacheFile;
    d->OnDoneFile = std::move(onDone);
    d->GetFile();
}

void TCLEngine::DownloadtoCacheCancel(const std::string& strURL) {
    if (!FDownloadCacheList) return;
    for (int i = 0; i < FDownloadCacheList->Count() && i < int(FDownloaderList.size()); ++i)
        if (SameText((*FDownloadCacheList)[i], strURL))
            FDownloaderList[size_t(i)]->OnDoneFile = nullptr;
}

// ---------------------------------------------------------------------------
// Texts and message boxes

std::string TCLEngine::GetAppString(const std::string& strName) {
    std::string value;
    if (FLanguageData) FLanguageData->GetProp("AppRes", "", strName, value);
    return value;
}

std::string TCLEngine::GetLibString(const std::string& strName) {
    std::string value;
    if (FLanguageData) FLanguageData->GetProp("LibRes", "", strName, value);
    return value;
}

std::string TCLEngine::GetAppStringEx(const std::string& strName,
                                      const std::vector<std::string>& Params) {
    return FormatParams(GetAppString(strName), Params);
}

std::string TCLEngine::GetLibStringEx(const std::string& strName,
                                      const std::vector<std::string>& Params) {
    return FormatParams(GetLibString(strName), Params);
}

std::string TCLEngine::GetLangString(const std::string& strName, bool bLib) {
    std::string value = bLib ? GetLibString(strName) : GetAppString(strName);
    if (value.empty()) value = (bLib ? "[LibRes]" : "[AppRes]") + strName;
    return value;
}

TspSkinMessage* TCLEngine::MessageDlg() {
    if (!FMessageDlg) {
        FMessageDlg = new TspSkinMessage(FForm);
        FMessageDlg->SetSkinData(FSkinData);
        FMessageDlg->SetCtrlSkinData(FSkinData);
        FreeNotification(FMessageDlg);
    }
    return FMessageDlg;
}

int TCLEngine::ShowMessageEx(const std::string& strMsg, const std::vector<std::string>& Params,
                             int iNumber, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int iDefault,
                             bool bLib) {
    std::string text = FormatParams(GetLangString(strMsg, bLib), Params);
    TspSkinMessage* dlg = MessageDlg();
    TCLSettings* s = Settings();
    if (iNumber != 0) {
        if (!s->GetMessageShowAgainFlag(iNumber))
            return iDefault != 0 ? iDefault : s->GetMessageShowAgainResult(iNumber);
        dlg->FShowAgainFlag = true;
        dlg->FShowAgainFlagValue = true;
    } else {
        dlg->FShowAgainFlag = false;
    }
    int answer = dlg->MessageDlg2(text, AppName(), DlgType, Buttons, 0);
    if (iNumber != 0 && !dlg->FShowAgainFlagValue) {
        s->SetMessageShowAgainFlag(iNumber, false);
        s->SetMessageShowAgainResult(iNumber, answer);
    }
    dlg->FShowAgainFlag = false;
    return answer;
}

void TCLEngine::ShowErrorMessage(const std::string& strError, const std::string& strErrorParam,
                                 bool bLib) {
    ShowMessageEx(strError, {strErrorParam}, 0, mtError, {mbOK}, 0, bLib);
}

// ---------------------------------------------------------------------------
// About, update and splash

void TCLEngine::AppAbout() {
    if (!FAboutForm) {
        FAboutForm = new TfrmCLAboutForm(FForm);
        FreeNotification(FAboutForm);
    }
    if (FAboutForm->Visible()) return;
    if (ParentHWND) {
        SetParent(FAboutForm->Handle(), ParentHWND);
        FAboutForm->SetBounds(0, 0, FAboutForm->Width(), FAboutForm->Height());
    }
    FAboutForm->ShowModal();
}

void TCLEngine::AppUpdate(bool bWait) {
    TfrmCLUpdateForm* form = NewUpdateForm();
    form->StartUpdate(bWait, true, true, false, false);
    if (bWait) {
        if (FLastUpdateForm == form) FLastUpdateForm = nullptr;
        delete form;
    }
}

void TCLEngine::AppUpdateAuto() {
    TCLSettings* settings = Settings();
    const TDateTime last = settings->GetSettingFloat("Update.LastDate");
    if (DaysBetween(Now(), last) < settings->GetSettingInteger("Update.Days")) return;
    const bool show = settings->GetSettingBool("Update.AutoCheck") &&
                      !settings->GetSettingBool("Update.NoAutoCheck") && settings->RunTimes() > 0;
    TfrmCLUpdateForm* form = NewUpdateForm();
    form->StartUpdate(false, false, show, false, settings->GetSettingBool("Update.AutoClose"));
}

bool TCLEngine::AppWaitFirstUpdate() {
    if (Settings()->GetSettingInteger("Update.Times") > 0) return true;
    TfrmCLUpdateForm* form = NewUpdateForm();
    form->StartUpdate(true, true, false, true, false);
    return Settings()->GetSettingInteger("Update.Times") > 0;
}

void TCLEngine::SplashClose() {
    if (!frmCLSplashForm) return;
    TfrmCLSplashForm* splash = frmCLSplashForm;
    frmCLSplashForm = nullptr;
    splash->Close();
    delete splash;
}

TfrmCLUpdateForm* TCLEngine::NewUpdateForm() {
    auto* form = new TfrmCLUpdateForm(FForm);
    FLastUpdateForm = form;
    FreeNotification(form);
    return form;
}
