// The main window: the frames in its panels, the current state, the actions
// and menus, the tray icon and the queue's events. Its frame, menus and
// controls are skinned with the engine's skin data.
#pragma once

#include "app/uCenterView.h"
#include "app/uFrames.h"
#include "app/uMDDef.h"
#include "app/uPrepareDownload.h"
#include "browser/EmbeddedBrowser.h"
#include "classlib/actnlist.h"
#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/menus.h"
#include "classlib/timer.h"
#include "skin/controls/SkinBoxCtrls.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/controls/SkinExCtrls.h"
#include "skin/controls/SkinTabs.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/spTrayIcon.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TMultiDownloader;
class TCLEngine;
class TCLMultiLang;

class TfrmMain : public TForm {
public:
    explicit TfrmMain(TComponent* AOwner, TCLEngine* Engine = nullptr);
    // The engine belongs to the window itself: MakeEngine creates it once the
    // window and its menus exist and before the window's other parts are
    // built, so they start with its texts and skin.
    TfrmMain(TComponent* AOwner, const std::function<TCLEngine*(TfrmMain*)>& MakeEngine);
    // What a window made without an engine (by the run routine) makes its
    // engine with. The window's class stays TfrmMain: other instances find
    // it by that name.
    static std::function<TCLEngine*(TfrmMain*)> MakeProgramEngine;
    ~TfrmMain() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // The end of the desktop session: its query is answered yes, and the
    // window closes (saving the list) when it ends.
    void WndProc(TMessage& Message) override;

    void FormCreate();
    void FormShow();
    bool FormCloseQuery();
    void FormDestroy();

    void ShowDownloadList(bool Visible);
    // The menus' items take their actions' captions and states.
    void SyncMenus();
    void SetAlwaysOnTop(bool Value);
    bool AlwaysOnTop() const { return FAlwaysOnTop; }
    void Download(const TUrlInfo& Info);
    TCurrentInfo* CurrentInfo() const { return FCurrentInfo.get(); }
    TMultiDownloader* mdDownloader() const { return FDownloader; }

    void mdDownloaderProgress(TObject* Sender, int Index, std::int64_t TotalSize,
                              std::int64_t Readed);
    void mdDownloaderStateChanged(TObject* Sender, int Index, int CurrentState);
    void btnSearchNowClick(TObject* Sender);
    // The left menu's item at a position (page codes 0, 1, 2, 3, 5).
    void lstMenuSelect(int ItemIndex);
    void lstMenuListBoxMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X,
                               int Y);
    void spTrayIconClick(TObject* Sender);
    // The caption buttons: close goes to the tray, maximize does nothing and
    // roll-up toggles always-on-top.
    void spSkinnedFormObjectCommand(TStdCommand Command, bool& Cancel);
    // The caption's close button: to the tray instead of closing.
    void MinimizeToTray();

    // Shows the prepare-download dialog (filled from the record) and
    // answers its modal result; unset, the dialog is shown modally.
    std::function<int(TfrmPrepareDownload& Dialog)> OnPrepareDownload;
    // What each centre browser shows: HTML text or the address last asked.
    std::function<void(TCenterBrowser, const std::string& Html)> OnBrowserHtml;
    std::function<void(TCenterBrowser, const std::string& URL)> OnBrowserNavigate;
    std::function<void(const std::string& Script)> OnBrowserScript;

    std::array<std::string, 3> BrowserContent;
    // The browsers of the centre view and its advanced-search page.
    TEmbeddedBrowser *wbMain = nullptr, *wbHome = nullptr, *wbCategory = nullptr;
    TspSkinPageControl* pcMain = nullptr;
    TspSkinTabSheet *tsResultPage = nullptr, *tsHomePage = nullptr, *tsCategoryPage = nullptr,
                    *tsAdvPage = nullptr;
    TspSkinEdit *edtArtist = nullptr, *edtTitle = nullptr, *edtAlbum = nullptr;
    TspSkinComboBox* cbbEdition = nullptr;
    TspSkinButton* btnAdvSearch = nullptr;
    // The advanced-search form's heading.
    TspSkinShadowLabel* lbAdvSearch = nullptr;
    TEmbeddedBrowser* Browser(TCenterBrowser Which) const;
    TCenterPage ActivePage = tsResult;
    // In the tray: hidden, with the tray icon up.
    bool InTray = false;

    TspSkinnedForm* spSkinnedForm;
    TspSkinData* spSkinData = nullptr;
    TspTrayIcon* spTrayIcon;
    TspSkinMainMenuBar* spMainMenuBar;
    TspSkinPanel *pnlCenterView, *pnlPlayerContainer, *pnlDownloadList, *pnlSearch, *pnlStatusInfo;
    TspSkinSplitter* splBottom;
    TspSkinButton *btnSearchNow, *btnOption, *btnClearFinishedTask, *btnClearAll;
    TspSkinListBox* lstMenu;
    TspSkinStdLabel* lblStatus;
    TspSkinLinkLabel* lblDownloadList;
    TAction *actAlwaysOnTop, *actAbout, *actHelp, *actHome, *actUpdate, *actOption, *actExit,
        *actSkin, *actLanguage, *actGetMoreLanguage, *actOpenFile, *actRemoveTask, *actMoveUp,
        *actMoveDown, *actClearFinishedTask, *actClearAll, *actOpenContainingFolder, *actRestart,
        *actDownloadList, *actHotSongs, *actCategory, *actOpen, *actRepeatOff, *actRepeatOne,
        *actRepeatAll;
    TspSkinMainMenu* mmMain;
    TspSkinPopupMenu *pmTray, *pmSystem;
    TMenuItem *miAlwaysOnTop, *miDownloadList, *miTrayRepeat, *miSkin, *miLanguage;
    std::string TrayHint = "Quendral";

    TfrmCenterView* frmCenterView = nullptr;
    TfrmSearchFrame* frmSearchFrame = nullptr;
    TfrmStatus* frmStatus = nullptr;
    TfrmPlayerFrame* frmPlayerFrame = nullptr;
    TfrmDownloadList* frmDownloadList = nullptr;
    // The window's translator (section "TfrmMain").
    TCLMultiLang* CLMultiLang = nullptr;

private:
    TAction* NewAction(const std::string& Name, const std::string& Caption, TNotifyEvent OnExecute);
    void BuildActions();
    void BuildMenus();
    void PlaceWindow();
    void BindEngine();
    void PlaceCenterView();
    void PlaceAdvancedSearch();
    void ShowCenterPage(TCenterPage Page);
    void BindSide();
    void RemoveTask();
    void ClearAll();
    void RepeatMode(int Mode);
    void OpenDestinationFile();
    void OpenDestinationFolder();
    void OpenPage(const std::string& Name);
    // After a language was applied to the window.
    void LanguageApplied();

private:
    TCLEngine* FEngine;
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
    std::unique_ptr<TCurrentInfo> FCurrentInfo;
    TMultiDownloader* FDownloader;
    bool FTrueClose = false;
    bool FAlwaysOnTop = false;
    bool FListVisibled = false;
    bool FInited = false;
    // The left menu's item and the edition last chosen.
    int FMenuIndex = -1;
    int FEditionIndex = 0;
};

extern TfrmMain* frmMain;
