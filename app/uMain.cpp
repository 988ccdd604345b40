#include "app/uMain.h"

#include "app/uCommonFunc.h"
#include "app/uSettings.h"
#include "classlib/sysutils.h"
#include "download/MultiDownloader.h"
#include "framework/CLEngine.h"
#include "framework/CLSettings.h"
#include "framework/OxDebug.h"
#include "framework/SPTools.h"
#include "platform/win/queue.h"

#include <filesystem>

TfrmMain* frmMain = nullptr;

namespace {

TPanel* NewPanel(TWinControl* Parent, TAlign Align, int Size) {
    auto* p = new TPanel(Parent);
    p->SetParent(Parent);
    p->SetBounds(0, 0, Size, Size);
    p->SetAlign(Align);
    return p;
}

} // namespace

TfrmMain::TfrmMain(TComponent* AOwner, TCLEngine* Engine) : TForm(AOwner), FEngine(Engine) {
    frmMain = this;
    SetBounds(100, 80, 980, 680);
    // The window first: a browser asking for its window before the form has
    // one would make its parents' windows twice.
    HandleNeeded();
    FDownloader = new TMultiDownloader(this);
    BuildActions();
    BuildMenus();

    auto* left = NewPanel(this, alLeft, 150);
    lstMenu = new TListBox(left);
    lstMenu->SetParent(left);
    lstMenu->SetAlign(alClient);
    for (const char* item : {"MP3 Search", "Advanced Search", "Hot Songs", "Categories", "Support"})
        lstMenu->Items()->Add(item);
    lstMenu->OnClick = [this](TObject*) { lstMenuSelect(lstMenu->ItemIndex()); };
    lblDownloadList = new TLabel(left);
    // A label that sized itself to its text would fight the alignment on
    // every paint.
    lblDownloadList->SetAutoSize(false);
    lblDownloadList->SetBounds(0, 0, 150, 20);
    lblDownloadList->SetParent(left);
    lblDownloadList->SetAlign(alBottom);
    lblDownloadList->SetCaption("Download List");
    lblDownloadList->OnClick = [this](TObject*) { actDownloadList->Execute(); };

    auto* top = NewPanel(this, alTop, 32);
    btnSearchNow = new TButton(top);
    btnSearchNow->SetParent(top);
    btnSearchNow->SetAlign(alRight);
    btnSearchNow->SetCaption("Search MP3 Now!");
    btnSearchNow->OnClick = [this](TObject* s) { btnSearchNowClick(s); };
    pnlSearch = NewPanel(top, alClient, 32);

    pnlStatusInfo = NewPanel(this, alBottom, 22);
    lblStatus = new TLabel(pnlStatusInfo);
    pnlPlayerContainer = NewPanel(this, alBottom, 70);
    pnlDownloadList = NewPanel(this, alBottom, 180);
    auto* dlButtons = NewPanel(pnlDownloadList, alTop, 28);
    auto button = [&](TButton*& b, TAction* act) {
        b = new TButton(dlButtons);
        b->SetParent(dlButtons);
        b->SetAlign(alLeft);
        b->SetCaption(act->Caption);
        b->OnClick = [act](TObject*) { act->Execute(); };
    };
    button(btnOption, actOption);
    button(btnClearFinishedTask, actClearFinishedTask);
    button(btnClearAll, actClearAll);
    splBottom = new TSplitter(this);
    // Bottom-aligned before it has a parent: a splitter starts left-aligned,
    // which would stretch it to the full height.
    splBottom->SetAlign(alBottom);
    splBottom->SetBounds(0, 0, 4, 4);
    splBottom->SetParent(this);
    pnlCenterView = NewPanel(this, alClient, 400);
    OnShow = [this](TObject*) { FormShow(); };
    OnCloseQuery = [this](TObject*, bool& CanClose) { CanClose = FormCloseQuery(); };
    FormCreate();
}

TfrmMain::~TfrmMain() {
    *FAlive = false;
    FormDestroy();
    if (frmMain == this) frmMain = nullptr;
}

TAction* TfrmMain::NewAction(const std::string& Name, const std::string& Caption,
                             TNotifyEvent OnExecute) {
    auto* a = new TAction(alMain);
    a->SetName(Name);
    a->Caption = Caption;
    a->OnExecute = std::move(OnExecute);
    return a;
}

void TfrmMain::BuildActions() {
    alMain = new TActionList(this);
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
    actOpenFile = NewAction("actOpenFile", "&Open Destination File", [](TObject*) {});
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
    actOpenContainingFolder =
        NewAction("actOpenContainingFolder", "Open Destination &Folder", [](TObject*) {});
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
        Show();
    });
    actRepeatOff = NewAction("actRepeatOff", "Repeat Off", [this](TObject*) { RepeatMode(1); });
    actRepeatOne = NewAction("actRepeatOne", "Repeat One", [this](TObject*) { RepeatMode(2); });
    actRepeatAll = NewAction("actRepeatAll", "Repeat All", [this](TObject*) { RepeatMode(3); });
}

void TfrmMain::BuildMenus() {
    auto item = [this](TMenuItem* parent, TAction* act, const std::string& caption = {}) {
        auto* mi = new TMenuItem(this);
        if (act)
            mi->SetAction(act);
        else
            mi->Caption = caption;
        parent->Add(mi);
        return mi;
    };
    mmMain = new TMainMenu(this);
    TMenuItem* file = item(mmMain->Items(), nullptr, "&File");
    item(file, actExit);
    TMenuItem* view = item(mmMain->Items(), nullptr, "&View");
    miAlwaysOnTop = item(view, actAlwaysOnTop);
    miDownloadList = item(view, actDownloadList);
    item(view, actHotSongs);
    item(view, actCategory);
    item(item(view, actSkin), nullptr, "&Default");
    item(item(view, actLanguage), actGetMoreLanguage);
    TMenuItem* tools = item(mmMain->Items(), nullptr, "&Tools");
    item(tools, actClearFinishedTask);
    item(tools, actClearAll);
    item(tools, actOption);
    TMenuItem* help = item(mmMain->Items(), nullptr, "&Help");
    for (TAction* a : {actHelp, actHome, actUpdate, actAbout})
        item(help, a);

    pmTray = new TPopupMenu(this);
    item(pmTray->Items(), actOpen);
    item(pmTray->Items(), actOption);
    miTrayRepeat = item(pmTray->Items(), nullptr, "&Repeat Mode");
    for (TAction* a : {actRepeatOff, actRepeatOne, actRepeatAll})
        item(miTrayRepeat, a);
    for (TAction* a : {actHome, actUpdate, actHelp, actAbout, actExit})
        item(pmTray->Items(), a);
}

void TfrmMain::FormCreate() {
    FInited = false;
    FCurrentInfo = std::make_unique<TCurrentInfo>();
    PlaceWindow();
    BindSide();
    DebuggerInstance()->LogMsg("test");
    FDownloader->SetMaxTasks(SettingsInstance()->GetSettingInteger("Settings.MaxTasks"));
    const int height = SettingsInstance()->GetSettingInteger("MainForm.Height");
    if (height > 0) SetBounds(Left(), Top(), Width(), height);
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
    FDownloader->OnBeforeFlvGet = [](TObject* s) {
        CopyResolverSettings(dynamic_cast<TYoutubeFLVGet*>(s));
    };
}

void TfrmMain::FormShow() {
    if (FInited) return;
    frmCenterView->ShowWelcome();
    LoadDownloadList();
    frmDownloadList->RefreshList();
    ShowDownloadList(SettingsInstance()->GetSettingBool("Settings.DownloadListVisible"));
    FInited = true;
}

bool TfrmMain::FormCloseQuery() {
    bool close = true;
    if (FDownloader->IsDownloading())
        close = AppMessageBox("MsgBox.TerminateDown", mtConfirmation, {mbOK, mbCancel}) == mrOk;
    if (close) {
        FDownloader->StopAll();
        FDownloader->DownloadList()->SaveToFile(FCurrentInfo->DownloadListFileName);
        ClearTempDir();
    }
    SettingsInstance()->SetSettingInteger("Settings.MaxTasks", FDownloader->MaxTasks());
    return close;
}

void TfrmMain::FormDestroy() {
    if (!FCurrentInfo) return;
    SettingsInstance()->SetSettingInteger("Settings.MaxTasks", FDownloader->MaxTasks());
    if (MainWindowSide().Queue == FDownloader) MainWindowSide() = TMainWindowSide();
    FDownloader->StopAll();
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
    ExecPageScript("ShowDIcon(" + std::to_string(info.PId) + ");");
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
    TListItems* rows = frmDownloadList->lvDL->Items();
    if (Index >= 0 && Index < rows->Count() && Index < FDownloader->DownloadList()->ItemCount()) {
        TListItem* row = rows->Item(Index);
        const TUrlInfo info = ReadTaskComment(FDownloader->DownloadList()->Items(Index)->Comment());
        while (row->SubItems()->Count() < 3)
            row->SubItems()->Add("");
        row->SubItems()->SetStrings(1, TfrmDownloadList::LengthText(info.Long));
        row->SubItems()->SetStrings(2, text);
        if (image >= 0) row->SetImageIndex(image);
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
}

void TfrmMain::spTrayIconClick(TObject*) {
    actOpen->Execute();
}

void TfrmMain::MinimizeToTray() {
    InTray = true;
    Hide();
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
    wbMain = NewBrowser(NewPanel(pnlCenterView, alClient, 400));
    wbHome = NewBrowser(NewPanel(pnlCenterView, alClient, 400));
    wbCategory = NewBrowser(NewPanel(pnlCenterView, alClient, 400));
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
    tsAdvPage = NewPanel(pnlCenterView, alClient, 400);
    auto field = [this](TEdit*& edit, const std::string& caption, int y) {
        auto* l = new TLabel(tsAdvPage);
        l->SetParent(tsAdvPage);
        l->SetBounds(20, y + 3, 80, 18);
        l->SetCaption(caption);
        edit = new TEdit(tsAdvPage);
        edit->SetParent(tsAdvPage);
        edit->SetBounds(110, y, 300, 22);
        edit->OnKeyDown = [this](TObject*, WORD& Key, TShiftState) {
            if (Key == 13) btnAdvSearch->Click();
        };
    };
    field(edtArtist, "Artist:", 20);
    field(edtTitle, "Title:", 50);
    field(edtAlbum, "Album:", 80);
    cbbEdition = new TListBox(tsAdvPage);
    cbbEdition->SetParent(tsAdvPage);
    cbbEdition->SetBounds(110, 110, 300, 120);
    for (const char* e : {"search all editions", "live edition", "unplugged edition",
                          "remix edition", "cover edition", "piano edition", "guitar edition"})
        cbbEdition->Items()->Add(e);
    cbbEdition->SetItemIndex(0);
    btnAdvSearch = new TButton(tsAdvPage);
    btnAdvSearch->SetParent(tsAdvPage);
    btnAdvSearch->SetBounds(110, 240, 120, 26);
    btnAdvSearch->SetCaption("Search");
    btnAdvSearch->OnClick = [this](TObject*) {
        const int i = cbbEdition->ItemIndex();
        frmCenterView->AdvancedSearch(edtArtist->Text(), edtTitle->Text(), edtAlbum->Text(), i,
                                      i >= 0 ? cbbEdition->Items()->Strings(i) : "");
    };
}

void TfrmMain::ShowCenterPage(TCenterPage Page) {
    ActivePage = Page;
    // The page (not the browser) is hidden, so its native view goes too.
    wbMain->Parent()->SetVisible(Page == tsResult);
    wbHome->Parent()->SetVisible(Page == tsHome);
    wbCategory->Parent()->SetVisible(Page == tsCategory);
    if (tsAdvPage) tsAdvPage->SetVisible(Page == tsAdv);
}
