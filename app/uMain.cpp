#include "app/uMain.h"

#include "app/uCommonFunc.h"
#include "app/uSettings.h"
#include "classlib/sysutils.h"
#include "download/MultiDownloader.h"
#include "framework/CLEngine.h"
#include "framework/CLMultiLang.h"
#include "framework/CLSettings.h"
#include "framework/OxDebug.h"
#include "framework/SPTools.h"
#include "platform/os/shell.h"
#include "platform/win/queue.h"

#include <algorithm>
#include <filesystem>

TfrmMain* frmMain = nullptr;

namespace {

// The skinned panels keep the skin's panel border inside: Size is what they
// hold.
constexpr int kPanelBorder = 12;

TspSkinPanel* NewPanel(TComponent* Owner, const std::string& Name, TWinControl* Parent,
                       TAlign Align, int Size) {
    auto* p = new TspSkinPanel(Owner);
    p->SetName(Name);
    // Panels carry their names as captions, which they never show.
    p->SetCaption(Name);
    p->SetParent(Parent);
    p->SetBounds(0, 0, Size + kPanelBorder, Size + kPanelBorder);
    p->SetAlign(Align);
    return p;
}

// A borderless holder of skinned parts: it shows the skin's panel texture
// where its parts leave room. It has no name, so a language gives it no
// caption.
TspSkinPanel* NewHolder(TComponent* Owner, TWinControl* Parent, TAlign Align, int Size) {
    auto* p = new TspSkinPanel(Owner);
    p->SetBorderStyle(TspSkinBorderStyle::bvNone);
    p->SetParent(Parent);
    p->SetBounds(0, 0, Size, Size);
    p->SetAlign(Align);
    return p;
}

// Menu items show their action's caption and state as it is when a menu opens.
void SyncWithActions(TMenuItem* Item) {
    if (auto* a = dynamic_cast<TAction*>(Item->Action())) {
        Item->Caption = a->Caption;
        Item->Enabled = a->Enabled;
        Item->Checked = a->Checked;
    }
    for (int i = 0; i < Item->Count(); ++i)
        SyncWithActions(Item->Items(i));
}

} // namespace

std::function<TCLEngine*(TfrmMain*)> TfrmMain::MakeProgramEngine;

TfrmMain::TfrmMain(TComponent* AOwner, TCLEngine* Engine)
    : TfrmMain(AOwner, [Engine](TfrmMain* Self) {
          return Engine || !MakeProgramEngine ? Engine : MakeProgramEngine(Self);
      }) {}

TfrmMain::TfrmMain(TComponent* AOwner, const std::function<TCLEngine*(TfrmMain*)>& MakeEngine)
    : TForm(AOwner), FEngine(nullptr) {
    frmMain = this;
    SetName("frmMain");
    SetBounds(100, 80, 980, 840);
    // The window first: a browser asking for its window before the form has
    // one would make its parents' windows twice.
    HandleNeeded();
    FDownloader = new TMultiDownloader(this);
    BuildActions();
    spSkinnedForm = new TspSkinnedForm(this);
    spSkinnedForm->SetName("spSkinnedForm");
    spSkinnedForm->SetBorderIcons(biSystemMenu | biMinimize);
    spSkinnedForm->OnObjectCommand = [this](TStdCommand c, bool& cancel) {
        spSkinnedFormObjectCommand(c, cancel);
    };
    BuildMenus();
    // After the menus: the engine fills the skin and language menus.
    if (MakeEngine) FEngine = MakeEngine(this);
    if (FEngine && Caption().empty()) SetCaption(FEngine->AppName());
    spTrayIcon = new TspTrayIcon(this);
    spTrayIcon->SetName("spTrayIcon");
    spTrayIcon->SetHint(TrayHint);
    spTrayIcon->SetIconVisible(false);
    spTrayIcon->SetPopupMenu(pmTray);
    spTrayIcon->OnClick = [this](TObject* s) { spTrayIconClick(s); };
    spSkinnedForm->SetTrayIcon(spTrayIcon);
    spSkinnedForm->SetMainMenu(mmMain);
    spSkinnedForm->SetSystemMenu(pmSystem);
    spMainMenuBar = new TspSkinMainMenuBar(this);
    spMainMenuBar->SetName("spMainMenuBar");
    spMainMenuBar->SetParent(this);
    spMainMenuBar->SetAlign(alTop);
    spMainMenuBar->SetSkinnedForm(spSkinnedForm);
    spMainMenuBar->SetMainMenu(mmMain);
    spSkinnedForm->SetMainMenuBar(spMainMenuBar);

    auto* left = NewHolder(this, this, alLeft, 150);
    lstMenu = new TspSkinListBox(this);
    lstMenu->SetName("lstMenu");
    lstMenu->SetParent(left);
    lstMenu->SetAlign(alClient);
    for (const char* item : {"MP3 Search", "Advanced Search", "Hot Songs", "Categories", "Support"})
        lstMenu->Items()->Add(item);
    lstMenu->OnListBoxMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        lstMenuListBoxMouseUp(s, b, sh, x, y);
    };
    lblDownloadList = new TspSkinLinkLabel(this);
    lblDownloadList->SetName("lblDownloadList");
    // A label that sized itself to its text would fight the alignment on
    // every paint.
    lblDownloadList->SetAutoSize(false);
    lblDownloadList->SetBounds(0, 0, 150, 20);
    lblDownloadList->SetParent(left);
    lblDownloadList->SetAlign(alBottom);
    lblDownloadList->SetCaption("Download List");
    lblDownloadList->OnClick = [this](TObject*) { actDownloadList->Execute(); };

    auto* top = NewHolder(this, this, alTop, 26 + kPanelBorder);
    btnSearchNow = new TspSkinButton(this);
    btnSearchNow->SetName("btnSearchNow");
    btnSearchNow->SetParent(top);
    btnSearchNow->SetBounds(0, 0, 130, 26 + kPanelBorder);
    btnSearchNow->SetAlign(alRight);
    btnSearchNow->SetCaption("Search MP3 Now!");
    btnSearchNow->OnClick = [this](TObject* s) { btnSearchNowClick(s); };
    pnlSearch = NewPanel(this, "pnlSearch", top, alClient, 26);

    pnlStatusInfo = NewPanel(this, "pnlStatusInfo", this, alBottom, 20);
    lblStatus = new TspSkinStdLabel(this);
    pnlPlayerContainer = NewPanel(this, "pnlPlayerContainer", this, alBottom, 70);
    pnlDownloadList = NewPanel(this, "pnlDownloadList", this, alBottom, 180);
    auto* dlButtons = NewHolder(this, pnlDownloadList, alTop, 28);
    auto button = [&](TspSkinButton*& b, const std::string& Name, TAction* act) {
        b = new TspSkinButton(this);
        b->SetName(Name);
        b->SetParent(dlButtons);
        b->SetBounds(0, 0, 130, 28);
        b->SetAlign(alLeft);
        b->SetAction(act);
    };
    button(btnOption, "btnOption", actOption);
    btnOption->Hint = "Options";
    button(btnClearFinishedTask, "btnClearFinishedTask", actClearFinishedTask);
    button(btnClearAll, "btnClearAll", actClearAll);
    splBottom = new TspSkinSplitter(this);
    splBottom->SetName("splBottom");
    // Bottom-aligned before it has a parent: a splitter starts left-aligned,
    // which would stretch it to the full height.
    splBottom->SetAlign(alBottom);
    splBottom->SetSkinDataName("hsplitter");
    splBottom->DefaultSize = 10;
    splBottom->SetBounds(0, 0, 10, 10);
    splBottom->SetParent(this);
    pnlCenterView = NewPanel(this, "pnlCenterView", this, alClient, 400);
    OnShow = [this](TObject*) { FormShow(); };
    OnCloseQuery = [this](TObject*, bool& CanClose) { CanClose = FormCloseQuery(); };
    FormCreate();
    spSkinnedForm->OnSkinMenuOpen = [this](TObject*) { SyncMenus(); };
    SyncMenus();
    // Last: the translator takes the texts of every part the window has.
    CLMultiLang = NewWindowTranslator(this, FEngine ? FEngine->LanguageData() : nullptr);
    CLMultiLang->OnChangeLanguage = [this](TObject*) { LanguageApplied(); };
}

void TfrmMain::LanguageApplied() {
    // Menus take their actions' new captions; the bar measures its items again.
    SyncMenus();
    spMainMenuBar->UpDateItems();
    // New item texts leave the left menu without a choice.
    if (FMenuIndex >= 0 && FMenuIndex < lstMenu->Items()->Count())
        lstMenu->SetItemIndex(FMenuIndex);
}

void TfrmMain::SyncMenus() {
    for (TMenu* m : {static_cast<TMenu*>(mmMain), static_cast<TMenu*>(pmTray),
                     static_cast<TMenu*>(pmSystem), static_cast<TMenu*>(frmDownloadList->pmDL)})
        SyncWithActions(m->Items());
}

TfrmMain::~TfrmMain() {
    *FAlive = false;
    // The engine must not bring back a window that is gone.
    if (FEngine && FEngine->SkinForm() == spSkinnedForm) FEngine->SetSkinForm(nullptr);
    if (MainWindowSide().SkinData == spSkinData) MainWindowSide().SkinData = nullptr;
    FormDestroy();
    if (frmMain == this) frmMain = nullptr;
}

TAction* TfrmMain::NewAction(const std::string& Name, const std::string& Caption,
                             TNotifyEvent OnExecute) {
    // The window owns its actions, so its translator reaches their texts.
    auto* a = new TAction(this);
    a->SetName(Name);
    a->Caption = Caption;
    a->OnExecute = std::move(OnExecute);
    return a;
}

void TfrmMain::BuildActions() {
    auto selected = [this]() -> int {
        TListItem* sel = frmDownloadList ? frmDownloadList->lvDL->Selected() : nullptr;
        return sel ? sel->Index() : -1;
    };
    actAlwaysOnTop = NewAction("actAlwaysOnTop", "&Always On Top",
                               [this](TObject*) { SetAlwaysOnTop(!FAlwaysOnTop); });
    // The engine's about window and update check are not built yet.
    actAbout = NewAction("actAbout", "&About...", [this](TObject*) {
        if (FEngine) FEngine->AppAbout();
    });
    actHelp = NewAction("actHelp", "&Help Center...", [this](TObject*) { OpenPage("help"); });
    actHome = NewAction("actHome", "Home &Page...", [this](TObject*) { OpenPage("home"); });
    actUpdate = NewAction("actUpdate", "&Update...", [this](TObject*) {
        if (FEngine) FEngine->AppUpdate(true);
    });
    actOption = NewAction("actOption", "&Options...", [this](TObject*) {
        TfrmSettings settings(this, FDownloader);
        settings.ShowModal();
        UpdateTaskStatus();
    });
    actExit = NewAction("actExit", "&Exit", [this](TObject*) {
        FTrueClose = true;
        Close();
    });
    actSkin = NewAction("actSkin", "Change &Skin", nullptr);
    actLanguage = NewAction("actLanguage", "Change &Language", nullptr);
    actGetMoreLanguage = NewAction("actGetMoreLanguage", "&More Languages...", nullptr);
    actOpenFile = NewAction("actOpenFile", "&Open Destination File",
                            [this](TObject*) { OpenDestinationFile(); });
    actRemoveTask = NewAction("actRemoveTask", "&Remove Task", [this](TObject*) { RemoveTask(); });
    actMoveUp = NewAction("actMoveUp", "Move &Up", [this, selected](TObject*) {
        if (selected() < 0) return;
        FDownloader->DownloadList()->MoveUp(selected());
        frmDownloadList->RefreshList();
    });
    actMoveDown = NewAction("actMoveDown", "Move &Down", [this, selected](TObject*) {
        if (selected() < 0) return;
        FDownloader->DownloadList()->MoveDown(selected());
        frmDownloadList->RefreshList();
    });
    actClearFinishedTask = NewAction("actClearFinishedTask", "Clear &Completed", [this](TObject*) {
        FDownloader->DownloadList()->ClearCompleted();
        frmDownloadList->RefreshList();
    });
    actClearAll = NewAction("actClearAll", "&Remove All", [this](TObject*) { ClearAll(); });
    actOpenContainingFolder = NewAction("actOpenContainingFolder", "Open Destination &Folder",
                                        [this](TObject*) { OpenDestinationFolder(); });
    actRestart = NewAction("actRestart", "&Download again", [this, selected](TObject*) {
        const int i = selected();
        if (i < 0) return;
        FDownloader->DownloadList()->Items(i)->ReDownload();
        frmDownloadList->lvDL->Items()->Item(i)->SetImageIndex(1);
        FDownloader->Resume();
    });
    actDownloadList = NewAction("actDownloadList", "Download List",
                                [this](TObject*) { ShowDownloadList(!FListVisibled); });
    actHotSongs =
        NewAction("actHotSongs", "&Hot Songs", [this](TObject*) { frmCenterView->ShowHotSongs(); });
    actCategory = NewAction("actCategory", "&Categories",
                            [this](TObject*) { frmCenterView->ShowCategory(); });
    actOpen = NewAction("actOpen", "Open...", [this](TObject*) {
        InTray = false;
        if (Application && Application->MainForm() == this) {
            spSkinnedForm->RestoreFromTray();
        } else {
            Show();
            spTrayIcon->SetIconVisible(false);
        }
    });
    actRepeatOff = NewAction("actRepeatOff", "Repeat Off", [this](TObject*) { RepeatMode(1); });
    actRepeatOne = NewAction("actRepeatOne", "Repeat One", [this](TObject*) { RepeatMode(2); });
    actRepeatAll = NewAction("actRepeatAll", "Repeat All", [this](TObject*) { RepeatMode(3); });
    const std::pair<TAction*, const char*> hints[] = {{actAlwaysOnTop, "Always On Top"},
                                                      {actHelp, "Help"},
                                                      {actHome, "Home Page"},
                                                      {actUpdate, "Update..."},
                                                      {actOption, "Options"},
                                                      {actExit, "Exit"},
                                                      {actSkin, "Change Skin"},
                                                      {actLanguage, "Change Language"},
                                                      {actAbout, "About Quendral"}};
    for (const auto& [action, hint] : hints)
        action->Hint = hint;
}

void TfrmMain::BuildMenus() {
    auto item = [this](TMenuItem* parent, TAction* act, const std::string& caption = {},
                       const std::string& name = {}) {
        auto* mi = new TMenuItem(this);
        if (!name.empty()) mi->SetName(name);
        if (act)
            mi->SetAction(act);
        else
            mi->Caption = caption;
        parent->Add(mi);
        return mi;
    };
    mmMain = new TspSkinMainMenu(this);
    mmMain->SetName("mmMain");
    mmMain->DSF = spSkinnedForm;
    TMenuItem* file = item(mmMain->Items(), nullptr, "&File", "miFile");
    item(file, actExit);
    TMenuItem* view = item(mmMain->Items(), nullptr, "&View", "miView");
    miAlwaysOnTop = item(view, actAlwaysOnTop);
    miDownloadList = item(view, actDownloadList);
    item(view, nullptr, "-");
    item(view, actHotSongs);
    item(view, actCategory);
    item(view, nullptr, "-");
    miSkin = item(view, actSkin);
    miLanguage = item(view, actLanguage);
    item(miLanguage, actGetMoreLanguage);
    TMenuItem* tools = item(mmMain->Items(), nullptr, "&Tools", "miTools");
    item(tools, actClearFinishedTask);
    item(tools, actClearAll);
    item(tools, nullptr, "-");
    item(tools, actOption);
    TMenuItem* help = item(mmMain->Items(), nullptr, "&Help", "miHelp");
    for (TAction* a : {actHelp, actHome, actUpdate})
        item(help, a);
    item(help, nullptr, "-");
    item(help, actAbout);

    pmTray = new TspSkinPopupMenu(this);
    pmTray->SetName("pmTray");
    item(pmTray->Items(), actOpen);
    item(pmTray->Items(), actOption);
    miTrayRepeat = item(pmTray->Items(), nullptr, "&Repeat Mode", "miRepeatMode");
    for (TAction* a : {actRepeatOff, actRepeatOne, actRepeatAll})
        item(miTrayRepeat, a);
    item(pmTray->Items(), nullptr, "-");
    for (TAction* a : {actHome, actUpdate, actHelp, actAbout})
        item(pmTray->Items(), a);
    item(pmTray->Items(), nullptr, "-");
    item(pmTray->Items(), actExit);

    pmSystem = new TspSkinPopupMenu(this);
    pmSystem->SetName("pmSystem");
    item(pmSystem->Items(), nullptr, "Skins", "miSkins");
    item(pmSystem->Items(), actAlwaysOnTop);
    item(pmSystem->Items(), nullptr, "-");
    for (TAction* a : {actUpdate, actHome, actHelp, actAbout})
        item(pmSystem->Items(), a);
}

void TfrmMain::FormCreate() {
    FInited = false;
    FCurrentInfo = std::make_unique<TCurrentInfo>();
    PlaceWindow();
    BindSide();
    lstMenu->ShowFocus = false;
    BindEngine();
    DebuggerInstance()->LogMsg("test");
    // The settings dialog offers 1 to 10; a larger stored value would start a
    // thread for every queued task.
    FDownloader->SetMaxTasks(
        std::clamp(SettingsInstance()->GetSettingInteger("Settings.MaxTasks"), 0, 10));
    const int height = SettingsInstance()->GetSettingInteger("MainForm.Height");
    if (height > 0) SetBounds(Left(), Top(), Width(), height);
}

void TfrmMain::Notification(TComponent* AComponent, TOperation Operation) {
    TForm::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FEngine) FEngine = nullptr;
}

void TfrmMain::BindEngine() {
    if (FEngine) FEngine->FreeNotification(this);
    spSkinData = FEngine ? FEngine->SkinData() : nullptr;
    if (FEngine) FEngine->SetSkinForm(spSkinnedForm);
    MainWindowSide().SkinData = spSkinData;
    ApplyMainSkinData(this);
}

void TfrmMain::PlaceWindow() {
    frmCenterView = new TfrmCenterView(this);
    PlaceCenterView();

    FCurrentInfo->FlashPlayerWidth = 800;
    FCurrentInfo->FlashPlayerHeight = 70;
    frmPlayerFrame = new TfrmPlayerFrame(pnlPlayerContainer, this);
    frmPlayerFrame->SetParent(pnlPlayerContainer);
    frmPlayerFrame->SetAlign(alClient);
    frmPlayerFrame->LoadPlayer();

    frmDownloadList = new TfrmDownloadList(pnlDownloadList, this);
    frmDownloadList->SetParent(pnlDownloadList);
    frmDownloadList->SetAlign(alClient);

    frmSearchFrame = new TfrmSearchFrame(pnlSearch);
    frmSearchFrame->SetParent(pnlSearch);
    frmSearchFrame->SetAlign(alClient);
    ActiveControl = frmSearchFrame->cbKeyword;

    frmStatus = new TfrmStatus(pnlStatusInfo);
    frmStatus->SetParent(pnlStatusInfo);
    frmStatus->SetAlign(alClient);
    frmStatus->StatusInfoChange = [this](TObject*) {
        lblStatus->SetCaption(frmStatus->StatusInfo());
    };
    frmStatus->SetStatusInfo(AppText("Status.Ready"));
}

void TfrmMain::BindSide() {
    TMainWindowSide& side = MainWindowSide();
    side = TMainWindowSide();
    side.Queue = FDownloader;
    side.CurrentInfo = FCurrentInfo.get();
    side.CenterView = frmCenterView;
    side.SetStatusInfo = [this](const std::string& t) { frmStatus->SetStatusInfo(t); };
    side.RefreshDownloadList = [this] { frmDownloadList->RefreshList(); };
    side.CheckListActions = [this] { frmDownloadList->CheckAct(); };
    side.ShowDownloadList = [this](bool v) { ShowDownloadList(v); };
    side.Download = [this](const TUrlInfo& i) { Download(i); };
    side.SetSearchText = [this](const std::string& t) { frmSearchFrame->SetKeyword(t); };
    side.ReloadKeywords = [this] { frmSearchFrame->LoadKeywords(); };
    side.SetFlashVar = [this](const std::string& v) {
        frmPlayerFrame->SetFlashVar("callbackvar", v);
    };
    side.PlayVideoId = [this](const std::string& id) { frmPlayerFrame->GetFlv(id); };
    side.ExecScript = [this](const std::string& s) {
        if (OnBrowserScript) OnBrowserScript(s);
        // Errors of the page's scripts are the page's own.
        if (TWebDocument* doc = wbMain->Document(); doc && doc->Loaded()) doc->execScript(s);
    };
    FDownloader->OnProgress = [this](TObject* s, int i, std::int64_t t, std::int64_t r) {
        mdDownloaderProgress(s, i, t, r);
    };
    FDownloader->OnStateChanged = [this](TObject* s, int i, EDownloadState st) {
        mdDownloaderStateChanged(s, i, st);
    };
    FDownloader->OnFinishedEvent = DownloadFinishedEvent;
    FDownloader->OnListChanged = [](TObject*) { DownloadListChanged(); };
    FDownloader->OnBeforeFlvGet = [](TObject* s) {
        CopyResolverSettings(dynamic_cast<TYoutubeFLVGet*>(s));
    };
}

void TfrmMain::FormShow() {
    if (FInited) return;
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* p = dynamic_cast<TspSkinPanel*>(Components(i)))
            p->SetBorderStyle(TspSkinBorderStyle::bvNone);
    frmCenterView->ShowWelcome();
    LoadDownloadList();
    frmDownloadList->RefreshList();
    ShowDownloadList(SettingsInstance()->GetSettingBool("Settings.DownloadListVisible"));
    FInited = true;
}

bool TfrmMain::FormCloseQuery() {
    bool close = true;
    // When the session ends the window closes whatever is running: nobody
    // is there to answer.
    if (FDownloader->IsDownloading() && !(FEngine && FEngine->SessionEnding()))
        close = AppMessageBox("MsgBox.TerminateDown", mtConfirmation, {mbOK, mbCancel}) == mrOk;
    if (close) {
        FDownloader->StopAll();
        // Conversions stop and tag writers finish before their files are counted.
        StopConversions();
        std::string reason;
        if (!SaveDownloadList(&reason))
            AppMessageBox("MsgBox.SaveListFailed", mtError, {mbOK}, 0, {reason});
        ClearTempDir();
    }
    SettingsInstance()->SetSettingInteger("Settings.MaxTasks", FDownloader->MaxTasks());
    return close;
}

void TfrmMain::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_QUERYENDSESSION:
        // The session may end: the window closes when it does.
        Message.Result = 1;
        return;
    case WM_ENDSESSION:
        if (Message.WParam) {
            FTrueClose = true;
            Close();
        }
        Message.Result = 0;
        return;
    default:
        TForm::WndProc(Message);
    }
}

void TfrmMain::FormDestroy() {
    if (!FCurrentInfo) return;
    SettingsInstance()->SetSettingInteger("Settings.MaxTasks", FDownloader->MaxTasks());
    if (MainWindowSide().Queue == FDownloader) MainWindowSide() = TMainWindowSide();
    FDownloader->StopAll();
    StopConversions();
    FCurrentInfo.reset();
}

void TfrmMain::ShowDownloadList(bool Visible) {
    FListVisibled = Visible;
    frmDownloadList->RefreshList();
    pnlDownloadList->SetVisible(Visible);
    splBottom->SetVisible(Visible);
    actDownloadList->Checked = Visible;
    SettingsInstance()->SetSettingBool("Settings.DownloadListVisible", Visible);
}

void TfrmMain::SetAlwaysOnTop(bool Value) {
    FAlwaysOnTop = Value;
    actAlwaysOnTop->Checked = Value;
    if (HandleAllocated()) SetWindowTopMost(Handle(), Value);
}

void TfrmMain::Download(const TUrlInfo& Source) {
    TfrmPrepareDownload dialog(nullptr);
    dialog.SetInfo(Source);
    const int result = OnPrepareDownload ? OnPrepareDownload(dialog) : dialog.ShowModal();
    if (result != mrOk) return;
    TUrlInfo info = Source;
    info.Title = dialog.edtTitle->Text();
    info.Artist = dialog.cbArtist->Text();
    info.Album = dialog.cbAlbum->Text();
    info.SavePath = FixFileName(dialog.GetSaveToFullPath(".mp3"));
    info.ConvertType = ".mp3";
    info.TempPath = FixFileName(GetTempDir() + ExtractFileName(info.SavePath) + ".mtd");
    static const int rates[] = {64, 128, 192, 320};
    const int rate = dialog.cbbRate->ItemIndex();
    if (rate >= 0 && rate < 4) info.Bitrate = rates[rate];
    AddDownloadTask(info);
    frmDownloadList->RefreshList();
    // The result page marks the entry once its MP3 is there.
    if (SettingsInstance()->GetSettingBool("Settings.ShowListWhenAddTask")) ShowDownloadList(true);
}

void TfrmMain::mdDownloaderProgress(TObject*, int Index, std::int64_t TotalSize,
                                    std::int64_t Readed) {
    TListItems* rows = frmDownloadList->lvDL->Items();
    if (Index < 0 || Index >= rows->Count() || TotalSize <= 0) return;
    TListItem* row = rows->Item(Index);
    const std::string pct = std::to_string(Readed * 100 / TotalSize) + "%";
    if (row->SubItems()->Count() > 2) row->SubItems()->SetStrings(2, pct);
}

void TfrmMain::mdDownloaderStateChanged(TObject*, int Index, int CurrentState) {
    std::string text;
    int image = -1;
    TfrmDownloadList::StateText(CurrentState, text, image);
    if (CurrentState == KFailed) FDownloader->Resume();
    if (CurrentState == KDownloading) PrepareConversions();
    TListItems* rows = frmDownloadList->lvDL->Items();
    if (Index >= 0 && Index < rows->Count() && Index < FDownloader->DownloadList()->ItemCount()) {
        TListItem* row = rows->Item(Index);
        const TUrlInfo info = ReadTaskComment(FDownloader->DownloadList()->Items(Index)->Comment());
        while (row->SubItems()->Count() < 3)
            row->SubItems()->Add("");
        // A finished file may have taken another name than the one asked for.
        row->SubItems()->SetStrings(0, info.SavePath);
        row->SubItems()->SetStrings(1, TfrmDownloadList::LengthText(info.Long));
        row->SubItems()->SetStrings(2, text);
        if (image >= 0) row->SetImageIndex(image);
        if (CurrentState == KFinished) MarkFinishedOnResultPage(info);
    }
    UpdateTaskStatus();
}

void TfrmMain::btnSearchNowClick(TObject*) {
    SearchKeyword(frmSearchFrame->Keyword(), 1);
    frmSearchFrame->LoadKeywords();
}

void TfrmMain::lstMenuSelect(int ItemIndex) {
    if (ItemIndex < 0 || ItemIndex >= lstMenu->Items()->Count()) return;
    static const int codes[] = {0, 1, 2, 3, 5};
    const int code = ItemIndex < 5 ? codes[ItemIndex] : 0;
    switch (code) {
    case 0:
        ShowCenterPage(tsResult);
        break;
    case 1:
        ShowCenterPage(tsAdv);
        break;
    case 2:
        frmCenterView->ShowHotSongs();
        break;
    case 3:
        frmCenterView->ShowCategory();
        break;
    case 5:
        OpenPage("support");
        break;
    }
    lstMenu->SetItemIndex(ItemIndex);
    FMenuIndex = ItemIndex;
}

void TfrmMain::lstMenuListBoxMouseUp(TObject*, TMouseButton, TShiftState, int X, int Y) {
    const int i = lstMenu->ItemAtPos(TPoint{X, Y}, true);
    if (i >= 0) lstMenuSelect(i);
}

void TfrmMain::spTrayIconClick(TObject*) {
    actOpen->Execute();
}

void TfrmMain::spSkinnedFormObjectCommand(TStdCommand Command, bool& Cancel) {
    switch (Command) {
    case cmClose:
        MinimizeToTray();
        Cancel = true;
        break;
    case cmMaximize:
        Cancel = true;
        break;
    case cmRollUp:
        SetAlwaysOnTop(!FAlwaysOnTop);
        Cancel = true;
        break;
    default:
        break;
    }
}

void TfrmMain::MinimizeToTray() {
    // Where the desktop shows no tray icons, the window is minimized instead
    // of hidden behind an icon nobody can click.
    if (!NotificationAreaShown()) {
        spSkinnedForm->SetWindowState(wsMinimized);
        return;
    }
    InTray = true;
    // The tray icon hides the program's main window; a window that is not
    // the main one hides itself.
    const bool isMain = Application && Application->MainForm() == this;
    spSkinnedForm->MinimizeToTray();
    if (!isMain) {
        Hide();
        spTrayIcon->SetIconVisible(true);
    }
}

void TfrmMain::RemoveTask() {
    TListItem* sel = frmDownloadList->lvDL->Selected();
    if (sel) {
        const int i = sel->Index();
        TDownloadItem* item = FDownloader->DownloadList()->Items(i);
        if (item->DownloadState() == KDownloading &&
            AppMessageBox("MsgBox.RemoveTask", mtInformation, {mbYes, mbNo}) != mrYes)
            return;
        FDownloader->DownloadList()->RemoveByIndex(i);
        sel->Delete();
        FDownloader->Resume();
        frmDownloadList->CheckAct();
    }
    UpdateTaskStatus();
}

void TfrmMain::ClearAll() {
    if (FDownloader->DownloadList()->ItemCount() == 0) {
        actClearAll->Enabled = false;
    } else if (AppMessageBox("MsgBox.RemoveAll", mtConfirmation, {mbOK, mbCancel}) == mrOk) {
        FDownloader->DownloadList()->ClearAll();
        frmDownloadList->RefreshList();
        actClearAll->Enabled = false;
    }
    UpdateTaskStatus();
}

void TfrmMain::OpenDestinationFile() {
    TListItem* sel = frmDownloadList->lvDL->Selected();
    if (!sel || sel->Index() >= FDownloader->DownloadList()->ItemCount()) return;
    TDownloadItem* item = FDownloader->DownloadList()->Items(sel->Index());
    if (item->DownloadState() != KFinished) return;
    // The desktop's handler for the file's type; the file itself never runs.
    os::OpenDocument(item->Comment()->Values("SavePath"));
}

void TfrmMain::OpenDestinationFolder() {
    const std::string folder = frmDownloadList->SelectedFolder();
    if (folder.empty()) return;
    ShellOpenFile(HandleAllocated() ? Handle() : 0, folder, "");
}

void TfrmMain::RepeatMode(int Mode) {
    frmPlayerFrame->SetRepeatMode(Mode);
    actRepeatOff->Checked = Mode == 1;
    actRepeatOne->Checked = Mode == 2;
    actRepeatAll->Checked = Mode == 3;
}

void TfrmMain::OpenPage(const std::string& Name) {
    if (FEngine) FEngine->ShowPage(Name);
}

TEmbeddedBrowser* TfrmMain::Browser(TCenterBrowser Which) const {
    return Which == cbMain ? wbMain : Which == cbHome ? wbHome : wbCategory;
}

namespace {

// The construction point of the centre view's browsers.
TEmbeddedBrowser* NewBrowser(TWinControl* Parent) {
    auto* b = new TEmbeddedBrowser(Parent);
    b->SetParent(Parent);
    b->SetAlign(alClient);
    b->LoadSettings();
    return b;
}

} // namespace

void TfrmMain::PlaceCenterView() {
    pcMain = new TspSkinPageControl(this);
    pcMain->SetName("pcMain");
    pcMain->SetParent(pnlCenterView);
    pcMain->SetAlign(alClient);
    auto sheet = [this](const std::string& Name) {
        auto* t = new TspSkinTabSheet(this);
        t->SetName(Name);
        t->SetPageControl(pcMain);
        // The left menu and the actions switch the pages.
        t->SetTabVisible(false);
        return t;
    };
    tsResultPage = sheet("tsResult");
    tsHomePage = sheet("tsHome");
    tsCategoryPage = sheet("tsCategory");
    tsAdvPage = sheet("tsAdv");
    wbMain = NewBrowser(tsResultPage);
    wbHome = NewBrowser(tsHomePage);
    wbCategory = NewBrowser(tsCategoryPage);
    PlaceAdvancedSearch();
    for (TEmbeddedBrowser* b : {wbMain, wbHome, wbCategory}) {
        b->OnBeforeNavigate2 = [this](TObject*, TWebDocument*, OleVariant& URL, OleVariant&,
                                      OleVariant&, OleVariant&, OleVariant&, bool& Cancel) {
            const auto* url = std::any_cast<std::string>(&URL);
            if (!url || !StartsText("xmd:", *url)) return;
            // The engine waits for this answer: the action runs once it has
            // it, outside the engine's callback. The browser cannot open an
            // "xmd:" address of any action anyway.
            Cancel = true;
            PostThreadCall(GetCurrentThreadId(), [this, alive = FAlive, link = *url] {
                if (!*alive) return;
                bool cancel = false;
                frmCenterView->wbMainBeforeNavigate2(link, cancel);
            });
        };
        // Backspace, Shift and F5 never reach the browser's own handling: no
        // page goes back or reloads from the keyboard. F5 is kept from the
        // page as well, since the browser would reload on it.
        TWndMethod previous = b->WindowProc;
        b->WindowProc = [previous](TMessage& M) {
            constexpr UINT kKeyDownNotice = 0xBD00, kKeyUpNotice = 0xBD01;
            if ((M.Msg == kKeyDownNotice || M.Msg == kKeyUpNotice) &&
                (M.WParam == 8 || M.WParam == 16 || M.WParam == 116)) {
                M.Result = M.WParam == 116 ? 1 : 0;
                return;
            }
            previous(M);
        };
        // No context menu in the pages.
        if (webview::View* v = b->WebView()) {
            webview::Settings settings = v->CurrentSettings();
            settings.contextMenu = false;
            settings.border3D = false;
            v->Apply(settings);
        }
    }
    frmCenterView->OnLoadHtml = [this](TCenterBrowser b, const std::string& html) {
        BrowserContent[b] = html;
        // The loading page may still be on its way: it must not replace this.
        Browser(b)->Stop();
        Browser(b)->LoadFromString(html);
        if (OnBrowserHtml) OnBrowserHtml(b, html);
    };
    frmCenterView->OnNavigate = [this](TCenterBrowser b, const std::string& url) {
        BrowserContent[b] = url;
        Browser(b)->Navigate(url);
        if (OnBrowserNavigate) OnBrowserNavigate(b, url);
    };
    frmCenterView->OnActivatePage = [this](TCenterPage p) { ShowCenterPage(p); };
    ShowCenterPage(tsResult);
}

void TfrmMain::PlaceAdvancedSearch() {
    // The form belongs to the centre frame: its texts are the frame's section
    // of a language, not the window's.
    TComponent* frame = frmCenterView;
    lbAdvSearch = new TspSkinShadowLabel(frame);
    lbAdvSearch->SetName("lbAdvSearch");
    lbAdvSearch->SetParent(tsAdvPage);
    lbAdvSearch->Font()->SetHeight(22);
    lbAdvSearch->Font()->SetStyle({fsBold});
    lbAdvSearch->SetBounds(20, 14, 390, 30);
    lbAdvSearch->SetCaption("Advanced Search");
    auto label = [&](const std::string& name, const std::string& caption, int y) {
        auto* l = new TspSkinStdLabel(frame);
        l->SetName(name);
        l->SetParent(tsAdvPage);
        l->SetAutoSize(false);
        l->SetBounds(20, y + 3, 80, 18);
        l->SetCaption(caption);
    };
    auto field = [&](TspSkinEdit*& edit, const std::string& name, const std::string& labelName,
                     const std::string& caption, int y) {
        label(labelName, caption, y);
        edit = new TspSkinEdit(frame);
        edit->SetName(name);
        edit->SetParent(tsAdvPage);
        edit->SetBounds(110, y, 300, 22);
        edit->OnKeyDown = [this](TObject*, WORD& Key, TShiftState) {
            if (Key == 13) btnAdvSearch->ButtonClick();
        };
    };
    field(edtArtist, "edtArtist", "lbAdvArtist", "Artist:", 56);
    field(edtTitle, "edtTitle", "lbAdvTitle", "Title:", 86);
    field(edtAlbum, "edtAlbum", "lbAdvAlbum", "Album:", 116);
    label("lbAdvEdition", "Edition:", 146);
    cbbEdition = new TspSkinComboBox(frame);
    cbbEdition->SetName("cbbEdition");
    cbbEdition->SetParent(tsAdvPage);
    cbbEdition->SetBounds(110, 146, 300, 22);
    for (const char* e : {"search all editions", "live edition", "unplugged edition",
                          "remix edition", "cover edition", "piano edition", "guitar edition"})
        cbbEdition->Items()->Add(e);
    cbbEdition->SetItemIndex(0);
    cbbEdition->OnClick = [this](TObject*) {
        if (cbbEdition->ItemIndex() >= 0) FEditionIndex = cbbEdition->ItemIndex();
    };
    btnAdvSearch = new TspSkinButton(frame);
    btnAdvSearch->SetName("btnAdvSearch");
    btnAdvSearch->SetParent(tsAdvPage);
    btnAdvSearch->SetBounds(110, 178, 120, 26);
    btnAdvSearch->SetCaption("Search");
    btnAdvSearch->OnClick = [this](TObject*) {
        const int i = cbbEdition->ItemIndex();
        frmCenterView->AdvancedSearch(edtArtist->Text(), edtTitle->Text(), edtAlbum->Text(), i,
                                      i >= 0 ? cbbEdition->Items()->Strings(i) : "");
    };
    TCLMultiLang* translator =
        NewWindowTranslator(frame, FEngine ? FEngine->LanguageData() : nullptr);
    // New item texts leave the list without a choice: the chosen edition stays.
    translator->OnChangeLanguage = [this](TObject*) {
        if (FEditionIndex < cbbEdition->Items()->Count()) cbbEdition->SetItemIndex(FEditionIndex);
    };
}

void TfrmMain::ShowCenterPage(TCenterPage Page) {
    ActivePage = Page;
    TspSkinTabSheet* sheets[] = {tsResultPage, tsHomePage, tsCategoryPage, tsAdvPage};
    pcMain->SetActivePage(sheets[Page]);
}
