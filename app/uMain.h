// The main window: the frames in its panels, the current state, the actions
// and menus, the tray stand-in and the queue's events.
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

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TMultiDownloader;
class TCLEngine;

class TfrmMain : public TForm {
public:
    explicit TfrmMain(TComponent* AOwner, TCLEngine* Engine = nullptr);
    ~TfrmMain() override;

    void FormCreate();
    void FormShow();
    bool FormCloseQuery();
    void FormDestroy();

    void ShowDownloadList(bool Visible);
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
    void spTrayIconClick(TObject* Sender);
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
    TPanel* tsAdvPage = nullptr;
    TEdit *edtArtist = nullptr, *edtTitle = nullptr, *edtAlbum = nullptr;
    TListBox* cbbEdition = nullptr;
    TButton* btnAdvSearch = nullptr;
    TEmbeddedBrowser* Browser(TCenterBrowser Which) const;
    TCenterPage ActivePage = tsResult;
    bool InTray = false;

    TPanel *pnlCenterView, *pnlPlayerContainer, *pnlDownloadList, *pnlSearch, *pnlStatusInfo;
    TSplitter* splBottom;
    TButton *btnSearchNow, *btnOption, *btnClearFinishedTask, *btnClearAll;
    TListBox* lstMenu;
    TLabel *lblStatus, *lblDownloadList;
    TActionList* alMain;
    TAction *actAlwaysOnTop, *actAbout, *actHelp, *actHome, *actUpdate, *actOption, *actExit,
        *actSkin, *actLanguage, *actGetMoreLanguage, *actOpenFile, *actRemoveTask, *actMoveUp,
        *actMoveDown, *actClearFinishedTask, *actClearAll, *actOpenContainingFolder, *actRestart,
        *actDownloadList, *actHotSongs, *actCategory, *actOpen, *actRepeatOff, *actRepeatOne,
        *actRepeatAll;
    TMainMenu* mmMain;
    TPopupMenu* pmTray;
    TMenuItem *miAlwaysOnTop, *miDownloadList, *miTrayRepeat;
    std::string TrayHint = "Quendral";

    TfrmCenterView* frmCenterView = nullptr;
    TfrmSearchFrame* frmSearchFrame = nullptr;
    TfrmStatus* frmStatus = nullptr;
    TfrmPlayerFrame* frmPlayerFrame = nullptr;
    TfrmDownloadList* frmDownloadList = nullptr;

private:
    TAction* NewAction(const std::string& Name, const std::string& Caption, TNotifyEvent OnExecute);
    void BuildActions();
    void BuildMenus();
    void PlaceWindow();
    void PlaceCenterView();
    void PlaceAdvancedSearch();
    void ShowCenterPage(TCenterPage Page);
    void BindSide();
    void RemoveTask();
    void ClearAll();
    void RepeatMode(int Mode);
    void OpenPage(const std::string& Name);

protected:
    // The engine must be owned by the form itself, so a form that makes its
    // own engine hands it over once constructed.
    void SetEngine(TCLEngine* Engine) { FEngine = Engine; }

private:
    TCLEngine* FEngine;
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
    std::unique_ptr<TCurrentInfo> FCurrentInfo;
    TMultiDownloader* FDownloader;
    bool FTrueClose = false;
    bool FAlwaysOnTop = false;
    bool FListVisibled = false;
    bool FInited = false;
};

extern TfrmMain* frmMain;
