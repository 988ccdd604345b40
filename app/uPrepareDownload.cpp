#include "app/uPrepareDownload.h"

#include "app/uCommonFunc.h"
#include "classlib/sysutils.h"
#include "framework/CLSettings.h"
#include "framework/SPTools.h"
#include "skin/controls/OxHint.h"

namespace {

constexpr int kTitleChars = 30;
constexpr int kTagRowsHeight = 90;
constexpr int kMaxFolders = 10;

// The first n characters (not bytes) of UTF-8 text.
std::string FirstChars(const std::string& Text, int n) {
    std::size_t i = 0;
    for (int count = 0; i < Text.size() && count < n; ++count) {
        ++i;
        while (i < Text.size() && (static_cast<unsigned char>(Text[i]) & 0xC0) == 0x80)
            ++i;
    }
    return Text.substr(0, i);
}

int CharCount(const std::string& Text) {
    int n = 0;
    for (unsigned char c : Text)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

// Focus moves only to a control the user can see.
void FocusIfShown(TWinControl* Control) {
    if (Control->CanFocus()) Control->SetFocus();
}

template <class T> T* Place(TWinControl* Parent, int X, int Y, int W, int H) {
    auto* c = new T(Parent);
    c->SetParent(Parent);
    c->SetBounds(X, Y, W, H);
    return c;
}

TLabel* NewCaption(TWinControl* Parent, const std::string& Text, int X, int Y) {
    auto* l = Place<TLabel>(Parent, X, Y, 90, 18);
    l->SetCaption(Text);
    return l;
}

} // namespace

TRecentCombo::TRecentCombo(TComponent* AOwner) : TPanel(AOwner) {
    SetBounds(0, 0, 200, 22);
    Edit = new TEdit(this);
    Edit->SetParent(this);
    Edit->SetAlign(alClient);
    Edit->OnChange = [this](TObject*) {
        if (OnChange) OnChange(this);
    };
    FButton = new TButton(this);
    FButton->SetParent(this);
    FButton->SetBounds(0, 0, 20, 22);
    FButton->SetAlign(alRight);
    FButton->SetCaption("v");
    // The keyboard goes from box to box; the list opens by mouse.
    FButton->TabStop = false;
    FButton->OnClick = [this](TObject*) {
        if (DroppedDown())
            FList->SetVisible(false);
        else
            DropDown();
    };
    FList = new TListBox(this);
    FList->SetVisible(false);
    FList->OnClick = [this](TObject*) { Choose(FList->ItemIndex()); };
}

std::string TRecentCombo::Text() const {
    return Edit->Text();
}

void TRecentCombo::SetText(const std::string& Value) {
    Edit->SetText(Value);
}

bool TRecentCombo::DroppedDown() const {
    return FList->Visible();
}

void TRecentCombo::DropDown() {
    if (OnDropDown) OnDropDown(this);
    // The list lies over the form under the box.
    TWinControl* form = Parent();
    while (form && form->Parent())
        form = form->Parent();
    if (form) {
        FList->SetParent(form);
        TPoint p = ClientToScreen(TPoint{0, Height()});
        p = form->ScreenToClient(p);
        FList->SetBounds(p.X, p.Y, Width(), 16 * std::min(8, std::max(1, FItems.Count())) + 4);
        FList->Items()->Assign(FItems);
        SetWindowPos(FList->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    FList->SetVisible(true);
}

void TRecentCombo::Choose(int Index) {
    FList->SetVisible(false);
    if (Index < 0 || Index >= FItems.Count()) return;
    FItemIndex = Index;
    SetText(FItems[Index]);
    if (OnSelect) OnSelect(this);
}

std::function<void(const std::string&, int, int, int)>& TfrmPrepareDownload::BalloonHook() {
    static std::function<void(const std::string&, int, int, int)> hook;
    return hook;
}

std::function<std::string(HWND, const std::string&)>& TfrmPrepareDownload::FolderDialogHook() {
    static std::function<std::string(HWND, const std::string&)> hook =
        [](HWND Owner, const std::string& Initial) {
            return BrowseForFolder(Owner, Initial, "Save to");
        };
    return hook;
}

TfrmPrepareDownload::TfrmPrepareDownload(TComponent* AOwner) : TForm(AOwner) {
    SetCaption("Download MP3");
    BorderStyle = bsDialog;
    SetBounds(200, 160, 460, 230);
    NewCaption(this, "File name:", 12, 14);
    edtFileName = Place<TEdit>(this, 110, 12, 330, 22);
    NewCaption(this, "Save to:", 12, 44);
    cbSaveto = Place<TRecentCombo>(this, 110, 42, 296, 22);
    btnBrowse = Place<TButton>(this, 410, 42, 30, 22);
    btnBrowse->SetCaption("...");
    NewCaption(this, "Bitrate:", 12, 74);
    cbbRate = Place<TListBox>(this, 110, 72, 120, 68);
    for (const char* rate : {"64kps", "128kps", "192kps", "320kps"})
        cbbRate->Items()->Add(rate);
    btnShowTagEdit = Place<TButton>(this, 250, 72, 110, 22);
    btnShowTagEdit->SetCaption("Show tag edit");
    btnHideTagEdit = Place<TButton>(this, 250, 72, 110, 22);
    btnHideTagEdit->SetCaption("Hide tag edit");
    lbTitle = NewCaption(this, "Title:", 12, 154);
    edtTitle = Place<TEdit>(this, 110, 152, 330, 22);
    edtTitle->SetMaxLength(kTitleChars);
    lbArtist = NewCaption(this, "Artist:", 12, 184);
    cbArtist = Place<TRecentCombo>(this, 110, 182, 330, 22);
    lbAlbum = NewCaption(this, "Album:", 12, 214);
    cbAlbum = Place<TRecentCombo>(this, 110, 212, 330, 22);
    cbAutoRename = Place<TCheckBox>(this, 250, 100, 150, 22);
    cbAutoRename->SetCaption("Auto modify filename.");
    cbAutoRename->SetVisible(false);
    btnDownload = Place<TButton>(this, 270, 156, 80, 26);
    btnDownload->SetCaption("OK");
    btnDownload->Default = true;
    btnCancel = Place<TButton>(this, 360, 156, 80, 26);
    btnCancel->SetCaption("Cancel");
    btnCancel->Cancel = true;
    tmHint = new TTimer(this);
    tmHint->SetEnabled(false);
    tmHint->SetInterval(500);
    tmHint->SetOnTimer([this](TObject* s) { tmHintTimer(s); });

    btnDownload->OnClick = [this](TObject* s) { btnDownloadClick(s); };
    btnCancel->OnClick = [this](TObject*) { ModalResult = mrCancel; };
    btnBrowse->OnClick = [this](TObject* s) { btnBrowseClick(s); };
    btnShowTagEdit->OnClick = [this](TObject*) { SetTagEditVisible(true); };
    btnHideTagEdit->OnClick = [this](TObject*) { SetTagEditVisible(false); };
    edtTitle->OnChange = [this](TObject* s) { edtTitleChange(s); };
    cbArtist->OnChange = [this](TObject* s) { edtTitleChange(s); };
    edtFileName->OnKeyPress = [this](TObject*, char32_t&) { FFileNameModified = true; };
    edtFileName->OnChange = [this](TObject*) {
        // Pasted or deleted text counts as the user's too.
        if (!FSettingFileName) FFileNameModified = true;
    };
    for (TRecentCombo* box : {cbArtist, cbAlbum}) {
        box->OnDropDown = [box](TObject*) {
            const std::string clear = AppText("Text.ClearRecent");
            TStringList* items = box->Items();
            if (!clear.empty() &&
                (items->Count() == 0 || items->Strings(items->Count() - 1) != clear))
                items->Add(clear);
        };
    }
    for (TRecentCombo* box : {cbArtist, cbAlbum, cbSaveto})
        box->OnSelect = [this, box](TObject*) { ClearRecentChosen(box); };
    OnClose = [this](TObject*, TCloseAction&) { FormClose(); };
    OnShow = [this](TObject*) {
        // Opened from a click in a page, the keyboard would stay there.
        SetForegroundWindow(Handle());
        FocusIfShown(btnDownload);
    };
    ActiveControl = btnDownload;

    // The fields' change events run from the first text set on.
    HandleNeeded();
    // The boxes were sized after their parts were laid out.
    for (TRecentCombo* box : {cbSaveto, cbArtist, cbAlbum})
        box->Realign();
    Load();
    FFileNameModified = false;
}

TfrmPrepareDownload::~TfrmPrepareDownload() {
    FormClose();
}

void TfrmPrepareDownload::ClearRecentChosen(TRecentCombo* Box) {
    const std::string clear = AppText("Text.ClearRecent");
    if (clear.empty() || Box->Text() != clear) return;
    Box->SetText("");
    Box->Items()->Clear();
}

void TfrmPrepareDownload::LoadList(TRecentCombo* Box, const std::string& Name) {
    TCLSettings* s = SettingsInstance();
    const int count = s->GetSettingInteger(Name + "Count");
    for (int i = 0; i < count; ++i) {
        const std::string item = s->GetSettingString(Name + IntToStr(i));
        if (!item.empty()) Box->Items()->Add(item);
    }
}

void TfrmPrepareDownload::SaveList(TRecentCombo* Box, const std::string& Name) {
    TCLSettings* s = SettingsInstance();
    TStringList* items = Box->Items();
    int count = items->Count();
    for (int i = 0; i < count; ++i)
        s->SetSettingstring(Name + IntToStr(i), items->Strings(i));
    const std::string text = Box->Text();
    if (!text.empty()) {
        // Compared exactly: another case is another artist.
        bool found = false;
        for (int i = 0; i < count && !found; ++i)
            found = items->Strings(i) == text;
        if (!found) s->SetSettingstring(Name + IntToStr(count++), text);
    }
    s->SetSettingInteger(Name + "Count", count);
}

void TfrmPrepareDownload::Load() {
    TCLSettings* s = SettingsInstance();
    std::string folder = s->GetSettingString("MusicSaveTo");
    if (folder.empty()) folder = GetShellFolderPath("Desktop");
    cbSaveto->SetText(folder);
    cbAutoRename->SetChecked(s->GetSettingBool("AutoRename"));
    const int rate = s->GetSettingExists("MusicBitrate") ? s->GetSettingInteger("MusicBitrate") : 1;
    cbbRate->SetItemIndex(rate >= 0 && rate < cbbRate->Count() ? rate : 1);
    LoadList(cbSaveto, "SaveTo");
    LoadList(cbArtist, "Artist");
    LoadList(cbAlbum, "Album");
    // Starts hidden, so showing grows the dialog.
    lbTitle->SetVisible(false);
    lbArtist->SetVisible(false);
    lbAlbum->SetVisible(false);
    edtTitle->SetVisible(false);
    cbArtist->SetVisible(false);
    cbAlbum->SetVisible(false);
    btnHideTagEdit->SetVisible(false);
    SetTagEditVisible(s->GetSettingBool("ShowMp3TagEdit"));
}

void TfrmPrepareDownload::Save() {
    TCLSettings* s = SettingsInstance();
    s->BeginUpdate();
    s->SetSettingstring("MusicSaveTo", cbSaveto->Text());
    TStringList* folders = cbSaveto->Items();
    s->SetSettingInteger("SaveToCount", folders->Count());
    for (int i = 0; i < folders->Count(); ++i)
        s->SetSettingstring("SaveTo" + IntToStr(i), folders->Strings(i));
    s->SetSettingBool("AutoRename", cbAutoRename->Checked());
    s->SetSettingInteger("MusicBitrate", cbbRate->ItemIndex());
    SaveList(cbArtist, "Artist");
    SaveList(cbAlbum, "Album");
    s->EndUpdate();
}

void TfrmPrepareDownload::FormClose() {
    if (FSaved) return;
    FSaved = true;
    Save();
}

void TfrmPrepareDownload::SetInfo(const TUrlInfo& aInfo) {
    FInfo = aInfo;
    // The record's title is decoded already (from the page or the link);
    // decoding again would spoil a title that spells out "%41" or "&amp;".
    std::string title = aInfo.Title;
    if (title.empty()) title = "undefined";
    FSettingFileName = true;
    edtFileName->SetText(title + ".mp3");
    if (CharCount(title) > kTitleChars) {
        tmHint->SetEnabled(true);
        SetTagEditVisible(true);
    }
    edtTitle->SetText(FirstChars(title, kTitleChars));
    edtFileName->SetText(title + ".mp3");
    FSettingFileName = false;
    FFileNameModified = false;
}

void TfrmPrepareDownload::edtTitleChange(TObject*) {
    if (FFileNameModified) return;
    const std::string artist = cbArtist->Text();
    const bool was = FSettingFileName;
    FSettingFileName = true;
    edtFileName->SetText((artist.empty() ? "" : artist + "-") + edtTitle->Text() + ".mp3");
    FSettingFileName = was;
}

void TfrmPrepareDownload::tmHintTimer(TObject*) {
    tmHint->SetEnabled(false);
    const std::string name = edtFileName->Text();
    if (CharCount(name) - 4 <= kTitleChars) return;
    const int x = Left() + edtTitle->Left() + 20, y = Top() + edtTitle->Top() + 33;
    if (BalloonHook()) {
        BalloonHook()("No more than 30 characters.", x, y, 5000);
        return;
    }
    auto* chw = dynamic_cast<TOxHintWindow*>(FindComponent("chw"));
    if (!chw) {
        chw = new TOxHintWindow(this);
        chw->SetName("chw");
        chw->SetHintStyle(hsBalloonHint);
        chw->SetHintPosition(hpDownRight);
    }
    chw->ActivateHintFromPos(TPoint(x, y), "No more than 30 characters.", "", 5000);
}

void TfrmPrepareDownload::SetTagEditVisible(bool Visible) {
    SettingsInstance()->SetSettingBool("ShowMp3TagEdit", Visible);
    btnShowTagEdit->SetVisible(!Visible);
    btnHideTagEdit->SetVisible(Visible);
    const bool changes = edtTitle->Visible() != Visible;
    for (TControl* c :
         std::initializer_list<TControl*>{lbTitle, lbArtist, lbAlbum, edtTitle, cbArtist, cbAlbum})
        c->SetVisible(Visible);
    if (changes) {
        const int delta = Visible ? kTagRowsHeight : -kTagRowsHeight;
        SetBounds(Left(), Top(), Width(), Height() + delta);
        for (TControl* b : std::initializer_list<TControl*>{btnDownload, btnCancel})
            b->SetBounds(b->Left(), b->Top() + delta, b->Width(), b->Height());
    }
}

void TfrmPrepareDownload::btnBrowseClick(TObject*) {
    const std::string current = cbSaveto->Text();
    const std::string chosen = FolderDialogHook() ? FolderDialogHook()(Handle(), current) : "";
    if (chosen.empty() || chosen == current) return;
    cbSaveto->SetText(chosen);
    TStringList* items = cbSaveto->Items();
    items->Insert(0, chosen);
    while (items->Count() > kMaxFolders)
        items->Delete(items->Count() - 1);
}

void TfrmPrepareDownload::btnDownloadClick(TObject*) {
    if (edtFileName->Text().empty()) {
        FocusIfShown(edtFileName);
        return;
    }
    const std::string folder = cbSaveto->Text();
    if (folder.empty()) {
        FocusIfShown(cbSaveto->Edit);
        return;
    }
    bool ok = false;
    try {
        // A full path is created with its missing parents; a relative one
        // would land wherever the program happens to run.
        ok = DirectoryExists(folder) || (folder[0] == '/' && ForceDirectories(folder));
    } catch (const std::exception&) {
        ok = false;
    }
    if (ok) {
        ModalResult = mrOk;
        return;
    }
    AppMessageBox("MsgBox.DirNotExists", mtError, {mbOK}, 19);
    FocusIfShown(cbSaveto->Edit);
}

std::string TfrmPrepareDownload::GetSaveToFullPath(const std::string& aTempExtName) const {
    const std::string name = SafeFileName(edtFileName->Text());
    const std::string folder = IncludeTrailingPathDelimiter(cbSaveto->Text());
    const bool hasExt = name.size() >= 4 && aTempExtName.size() == 4 &&
                        SameText(name.substr(name.size() - 4), aTempExtName);
    return folder + name + (hasExt ? "" : aTempExtName);
}
