#include "app/uFrames.h"

#include "app/uCenterView.h"
#include "app/uCommonFunc.h"
#include "app/uMain.h"
#include "classlib/sysutils.h"
#include "download/MultiDownloader.h"
#include "download/YoutubeFLVGet.h"
#include "framework/SPTools.h"
#include "skin/forms/spMessages.h"

#include <cstdio>

TfrmStatus::TfrmStatus(TComponent* AOwner) : TspSkinPanel(AOwner) {
    SetBorderStyle(TspSkinBorderStyle::bvNone);
    lblStatus = new TspSkinStdLabel(this);
    // A label that sized itself to its text would fight the alignment.
    lblStatus->SetAutoSize(false);
    lblStatus->SetParent(this);
    lblStatus->SetAlign(alClient);
    lblStatus->Layout = tlCenter;
    ApplyMainSkinData(this);
}

void TfrmStatus::Show(const std::string& Text) {
    lblStatus->SetCaption(Text);
    if (StatusInfoChange) StatusInfoChange(this);
}

void TfrmStatus::SetStatusInfo(const std::string& Text) {
    FBackInfo = FStatusInfo;
    FStatusInfo = Text;
    Show(Text);
}

void TfrmStatus::SetBackInfo() {
    FStatusInfo = FBackInfo;
    Show(FStatusInfo);
}

TfrmSearchFrame::TfrmSearchFrame(TComponent* AOwner) : TPanel(AOwner) {
    BevelOuter = bvNone;
    cbKeyword = new TspSkinComboBox(this);
    cbKeyword->SetParent(this);
    cbKeyword->SetAlign(alClient);
    cbKeyword->SetStyle(spcbEditStyle);
    cbKeyword->SetDropDownCount(11);
    cbKeyword->OnKeyDown = [this](TObject* s, WORD& k, TShiftState sh) { KeyDown(s, k, sh); };
    cbKeyword->OnDropDown = [this](TObject*) { DropDown(); };
    // Choosing an item of the list (not typing) raises the click.
    cbKeyword->OnClick = [this](TObject*) { ChooseRecent(cbKeyword->ItemIndex()); };
    if (TspCustomEdit* edit = cbKeyword->Edit()) {
        edit->OnEnter = [this](TObject*) { KeywordEnter(); };
        edit->OnExit = [this](TObject*) { KeywordExit(); };
    }
    LoadKeywords();
    if (Keyword().empty()) ShowPlaceholder();
    ApplyMainSkinData(this);
}

std::string TfrmSearchFrame::Keyword() const {
    return cbKeyword->Text();
}

void TfrmSearchFrame::SetKeyword(const std::string& Text) {
    if (FPlaceholder) {
        FPlaceholder = false;
        // The box's own text colour again: the skin's, or the default one.
        cbKeyword->ChangeSkinData();
    }
    cbKeyword->SetText(Text);
}

void TfrmSearchFrame::ShowPlaceholder() {
    const std::string hint = AppText("Text.BlankKeyWord");
    if (hint.empty()) return;
    cbKeyword->SetText(hint);
    if (cbKeyword->Edit()) cbKeyword->Edit()->Font()->SetColor(TColor(0x808080));
    FPlaceholder = true;
}

void TfrmSearchFrame::KeywordEnter() {
    if (FPlaceholder && Keyword() == AppText("Text.BlankKeyWord")) SetKeyword("");
}

void TfrmSearchFrame::KeywordExit() {
    if (Keyword().empty()) ShowPlaceholder();
}

void TfrmSearchFrame::LoadKeywords() {
    const std::string text = Keyword();
    TStrings* items = cbKeyword->Items();
    items->Clear();
    ::LoadKeywords(items);
    const std::string clear = AppText("Text.ClearRecent");
    if (!clear.empty()) items->Add(clear);
    // Reloading the list leaves what is typed alone.
    if (Keyword() != text) cbKeyword->SetText(text);
}

void TfrmSearchFrame::DropDown() {
    TStrings* items = cbKeyword->Items();
    const std::string clear = AppText("Text.ClearRecent");
    if (!clear.empty() && (items->Count() == 0 || items->Strings(items->Count() - 1) != clear))
        items->Add(clear);
}

void TfrmSearchFrame::ClearKeyword() {
    ::ClearKeyword();
    LoadKeywords();
    SetKeyword("");
}

void TfrmSearchFrame::ChooseRecent(int Index) {
    TStrings* items = cbKeyword->Items();
    if (Index < 0 || Index >= items->Count()) return;
    // The clearing item is always the last one.
    if (Index == items->Count() - 1 && items->Strings(Index) == AppText("Text.ClearRecent")) {
        ClearKeyword();
        return;
    }
    SetKeyword(items->Strings(Index));
}

void TfrmSearchFrame::KeyDown(TObject*, WORD& Key, TShiftState) {
    if (Key == 13) {
        SearchKeyword(Keyword(), 1);
        LoadKeywords();
    }
}

TfrmPlayerFrame::TfrmPlayerFrame(TComponent* AOwner, TfrmMain* Main) : TPanel(AOwner), FMain(Main) {
    flv = new TYoutubeFLVGet(this);
    flv->OnBeforeGet = [this](TObject* s) { flvBeforeGet(s); };
    flv->OnURIGot = [this](const std::string& url, int) { flvURIGot(url); };
    flv->OnBadResponse = [this](const std::string& m) { flvBadResponse(m); };
    tmrFSCommand = new TTimer(this);
    tmrFSCommand->SetEnabled(false);
    tmrFSCommand->SetInterval(100);
    tmrFSCommand->SetOnTimer([this](TObject* s) { tmrFSCommandTimer(s); });
}

TfrmPlayerFrame::~TfrmPlayerFrame() {
    if (FPlayer) FPlayer->OnCommand = nullptr;
    FPlayer.reset();
}

std::string TfrmPlayerFrame::PlayerFile() {
    return ProgramFile("res\\player.html");
}

void TfrmPlayerFrame::LoadPlayer() {
    if (FPlayer) return;
    FPlayer = std::make_unique<player::PlayerView>(Handle(), PlayerFile());
    FPlayer->OnCommand = [this](const std::string& c, const std::string& a) {
        FlashPlayerFSCommand(c, a);
    };
    if (!FPlayer->Load()) {
        // A plain message: the rest of the program works without the player.
        TspSkinMessage message(nullptr);
        message.MessageDlg2(PlayerFile() + " File Error!", "", mtError, {mbOK}, 0);
    }
}

void TfrmPlayerFrame::SetFlashVar(const std::string& Name, const std::string& Value) {
    if (FPlayer) FPlayer->SetVariable(Name, Value);
    if (OnFlashVar) OnFlashVar(Name, Value);
}

void TfrmPlayerFrame::GetFlv(const std::string& Id) {
    CurrentPlayingURLInfo = FMain->CurrentInfo()->URLInfo;
    // Get drops a resolution still running: the newer preview wins.
    flv->YoutubeID = Id;
    flv->Get();
    FMain->frmStatus->SetStatusInfo(AppText("Status.ConnectingPlayOnline"));
}

void TfrmPlayerFrame::flvBeforeGet(TObject* Sender) {
    CopyResolverSettings(dynamic_cast<TYoutubeFLVGet*>(Sender));
}

void TfrmPlayerFrame::flvURIGot(const std::string& Address) {
    FMain->frmStatus->SetBackInfo();
    if (Address.empty()) return;
    FMain->CurrentInfo()->FlvURL = Address;
    PlayFlv(Address);
}

void TfrmPlayerFrame::flvBadResponse(const std::string&) {
    FMain->frmStatus->SetBackInfo();
}

void TfrmPlayerFrame::FlashPlayerFSCommand(const std::string& Command, const std::string& Args) {
    FCommand = Command;
    FArgs = Args;
    tmrFSCommand->SetEnabled(false);
    tmrFSCommand->SetEnabled(true);
}

void TfrmPlayerFrame::tmrFSCommandTimer(TObject*) {
    tmrFSCommand->SetEnabled(false);
    FSCommand(FCommand, FArgs);
}

void TfrmPlayerFrame::PlayFlv(const std::string& Address) {
    SetFlashVar("callbackvar", "Play," + Address);
}

void TfrmPlayerFrame::SetRepeatMode(int Mode) {
    SetFlashVar("callbackvar", "RepeatMode," + std::to_string(Mode));
}

void TfrmPlayerFrame::Stop() {
    SetFlashVar("callbackvar", "Stop");
}

void TfrmPlayerFrame::Play(int Index, int) {
    TfrmCenterView* view = FMain->frmCenterView;
    TStringList* list = view ? view->SearchResult() : nullptr;
    if (!list) return;
    const int count = StrToIntDef(list->Values("VCOUNT"), 0);
    if (Index < 0 || Index >= count) Index = 0;
    const std::string n = std::to_string(Index);
    TUrlInfo info;
    info.Id = list->Values("ID" + n);
    // The search list holds titles decoded once already.
    info.Title = list->Values("TITLE" + n);
    info.Long = StrToIntDef(TfrmCenterView::GetRuntimeLong(list->Values("DURATION" + n)), 0);
    info.Action = UA_PLAY;
    info.PId = Index;
    FMain->CurrentInfo()->PID = Index;
    CurrentPlayingURLInfo = info;
    DoUrlAction(info);
}

void TfrmPlayerFrame::FSCommand(const std::string& Command, const std::string& Args) {
    TCurrentInfo* cur = FMain->CurrentInfo();
    TfrmCenterView* view = FMain->frmCenterView;
    const bool hasList = view && view->SearchResult() && view->SearchResult()->Count() > 0;
    const int count = hasList ? StrToIntDef(view->SearchResult()->Values("VCOUNT"), 0) : 0;
    auto next = [&] {
        if (cur->PID < 0) {
            if (hasList) Play(0, 0);
        } else {
            Play(cur->PID + 1, 0);
        }
    };
    if (Command == "DOWNLOAD" && Args == "CURRENT") {
        if (!flv->YoutubeID.empty()) FMain->Download(CurrentPlayingURLInfo);
    } else if (Command == "REPEATMODE") {
        if (Args == "1") FMain->actRepeatOff->Execute();
        if (Args == "2") FMain->actRepeatOne->Execute();
        if (Args == "3") FMain->actRepeatAll->Execute();
    } else if (Command == "PLAY") {
        if (Args == "NEXT") {
            next();
        } else if (Args == "NEXTTOEND") {
            if (cur->PID + 1 >= count)
                Stop();
            else
                next();
        } else if (Args == "PREV") {
            if (cur->PID > 0) Play(cur->PID - 1, 1);
        } else if (Args == "PLAYNOW") {
            if (cur->PID < 0 && hasList) Play(0, 0);
        }
    } else if (Command == "DOWNLOADLIST") {
        FMain->actDownloadList->Execute();
    }
}

TfrmDownloadList::TfrmDownloadList(TComponent* AOwner, TfrmMain* Main)
    : TPanel(AOwner), FMain(Main) {
    BevelOuter = bvNone;
    pmDL = new TspSkinPopupMenu(this);
    auto item = [this](TAction* act) {
        auto* mi = new TMenuItem(this);
        if (act)
            mi->SetAction(act);
        else
            mi->Caption = "-";
        pmDL->Items()->Add(mi);
    };
    for (TAction* act :
         {FMain->actOpenFile, FMain->actOpenContainingFolder, (TAction*)nullptr, FMain->actRestart,
          FMain->actRemoveTask, (TAction*)nullptr, FMain->actMoveUp, FMain->actMoveDown,
          (TAction*)nullptr, FMain->actClearFinishedTask, FMain->actClearAll})
        item(act);
    // The frame is no form: the menu opens through the main window's skin.
    pmDL->FComponentForm = FMain;
    pmDL->OnPopup = [this](TObject*) { CheckAct(); };
    // The list has no bars of its own: this one, kept in step by the list,
    // reaches the rows below the bottom.
    sbDL = new TspSkinScrollBar(this);
    sbDL->SetName("sbDL");
    sbDL->SetKind(sbVertical);
    sbDL->SetSkinDataName("vscrollbar");
    sbDL->SetBounds(0, 0, 19, 100);
    sbDL->SetParent(this);
    sbDL->SetAlign(alRight);
    lvDL = new TspSkinListViewSP(this);
    lvDL->SetName("lvDL");
    lvDL->SetParent(this);
    lvDL->SetAlign(alClient);
    lvDL->SetViewStyle(vsReport);
    lvDL->SetRowSelect(true);
    lvDL->SetReadOnly(true);
    // Titles on one line, cut with an ellipsis.
    lvDL->SetWordBreak(false);
    for (const char* caption : {"Title", "Save Location", "Length", "Status"}) {
        TListColumn* c = lvDL->Columns()->Add();
        c->SetCaption(caption);
        c->SetWidth(150);
    }
    lvDL->SetVScrollBar(sbDL);
    lvDL->OnSelectItem = [this](TObject*, TListItem*, bool) { CheckAct(); };
    lvDL->OnDblClick = [this](TObject*) { FMain->actOpenFile->Execute(); };
    lvDL->ShowHint = true;
    lvDL->OnMouseMove = [this](TObject*, TShiftState, int X, int Y) { ShowRowHint(X, Y); };
    lvDL->PopupMenu = pmDL;
    lvDL->OnContextPopup = [this](TObject*, TPoint At, bool& Handled) {
        const TPoint p = lvDL->ClientToScreen(At);
        // A row's hint must not come up over the menu and close it.
        if (Application) Application->CancelHint();
        pmDL->PopupComponent = lvDL;
        pmDL->Popup(p.X, p.Y);
        Handled = true;
    };
    ApplyMainSkinData(this);
}

void TfrmDownloadList::StateText(int State, std::string& Text, int& Image) {
    switch (State) {
    case KReady:
        Text = AppText("Status.Ready"), Image = 1;
        break;
    case KBeforeConnecting:
        Text = AppText("Status.Connecting"), Image = 0;
        break;
    case KDownloading:
        Text = AppText("Status.Downloading"), Image = 0;
        break;
    case KFinished:
        Text = AppText("Status.Finished"), Image = 2;
        break;
    case KFailed:
        Text = AppText("Status.Failed"), Image = 1;
        break;
    default:
        Text.clear();
        break;
    }
}

std::string TfrmDownloadList::LengthText(int Seconds) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2d:%.2d", Seconds / 60, Seconds % 60);
    return buf;
}

void TfrmDownloadList::RefreshList() {
    lvDL->Items()->BeginUpdate();
    lvDL->Clear();
    TDownloadList* list = FMain->mdDownloader()->DownloadList();
    for (int i = 0; i < list->ItemCount(); ++i) {
        TDownloadItem* item = list->Items(i);
        const TUrlInfo info = ReadTaskComment(item->Comment());
        TListItem* row = lvDL->Items()->Add();
        row->SetCaption(item->Comment()->Values("Title"));
        row->SubItems()->Add(item->Comment()->Values("SavePath"));
        row->SubItems()->Add(LengthText(info.Long));
        std::string text;
        int image = -1;
        StateText(item->DownloadState(), text, image);
        row->SubItems()->Add(text);
        row->SetImageIndex(image);
    }
    lvDL->Items()->EndUpdate();
    CheckAct();
}

void TfrmDownloadList::CheckAct() {
    TListItem* sel = lvDL->Selected();
    const int rows = lvDL->Items()->Count();
    // Opening needs something to open: the finished file, the folder it is in.
    FMain->actOpenFile->Enabled = sel && sel->ImageIndex() == 2 && FileExists(SelectedSavePath());
    FMain->actRemoveTask->Enabled = sel != nullptr;
    FMain->actOpenContainingFolder->Enabled = !SelectedFolder().empty();
    FMain->actMoveUp->Enabled = sel && rows >= 2 && sel->Index() > 0;
    FMain->actMoveDown->Enabled = sel && rows >= 2 && sel->Index() < rows - 1;
    FMain->actRestart->Enabled = sel && sel->SubItems()->Count() > 2 &&
                                 sel->SubItems()->Strings(2) == AppText("Status.Failed");
    FMain->actClearAll->Enabled = rows > 0;
    FMain->actClearFinishedTask->Enabled = rows > FMain->mdDownloader()->UnfinishedTasksCount();
}

std::string TfrmDownloadList::SelectedSavePath() const {
    TListItem* sel = lvDL->Selected();
    TDownloadList* list = FMain->mdDownloader()->DownloadList();
    if (!sel || sel->Index() >= list->ItemCount()) return "";
    return list->Items(sel->Index())->Comment()->Values("SavePath");
}

std::string TfrmDownloadList::SelectedFolder() const {
    const std::string path = SelectedSavePath();
    if (path.empty()) return "";
    std::string folder = ExtractFilePath(path);
    if (folder.size() > 1) folder = ExcludeTrailingPathDelimiter(folder);
    return !folder.empty() && DirectoryExists(folder) ? folder : "";
}

void TfrmDownloadList::ShowRowHint(int X, int Y) {
    std::string hint;
    if (TListItem* row = lvDL->GetItemAt(X, Y)) {
        const TDownloadItem* item = FMain->mdDownloader()->DownloadList()->Items(row->Index());
        if (item && item->DownloadState() == KFailed) hint = item->ErrorText;
    }
    if (hint == lvDL->Hint) return;
    lvDL->Hint = hint;
    // Another row: its own hint shows after the usual pause.
    if (Application) {
        Application->HintMouseMessage(nullptr);
        Application->HintMouseMessage(lvDL);
    }
}

int TfrmDownloadList::GetIdxBySavePath(const std::string& File) const {
    TDownloadList* list = FMain->mdDownloader()->DownloadList();
    for (int i = 0; i < list->ItemCount(); ++i)
        if (list->Items(i)->Comment()->Values("SavePath") == File) return i;
    return -1;
}
