#include "app/uPrepareDownload.h"

#include "skin/forms/SkinnedForm.h"

#include "app/uCommonFunc.h"
#include "classlib/sysutils.h"
#include "framework/CLEngine.h"
#include "framework/CLMultiLang.h"
#include "framework/CLSettings.h"
#include "framework/SPTools.h"
#include "skin/controls/OxHint.h"
#include "skin/controls/SkinBoxCtrls.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/forms/SkinnedForm.h"

#include <algorithm>

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

TCLMultiLangData* EngineLanguageData() {
    TCLEngine* engine = EngineInstance();
    return engine ? engine->LanguageData() : nullptr;
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

TspSkinStdLabel* NewCaption(TWinControl* Parent, const std::string& Text, int X, int Y) {
    auto* l = Place<TspSkinStdLabel>(Parent, X, Y, 90, 18);
    l->SetCaption(Text);
    return l;
}

// A box with a list of recent texts that the user may also type into.
TspSkinComboBox* NewRecentBox(TWinControl* Parent, int X, int Y, int W) {
    auto* box = Place<TspSkinComboBox>(Parent, X, Y, W, 22);
    box->SetStyle(spcbEditStyle);
    return box;
}

} // namespace

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
    TspSkinStdLabel* lbFileName = NewCaption(this, "File name:", 12, 14);
    edtFileName = Place<TspSkinEdit>(this, 110, 12, 330, 22);
    TspSkinStdLabel* lbSaveto = NewCaption(this, "Save to:", 12, 44);
    cbSaveto = NewRecentBox(this, 110, 42, 296);
    btnBrowse = Place<TspSkinButton>(this, 410, 42, 30, 22);
    btnBrowse->SetCaption("...");
    TspSkinStdLabel* lbBitrate = NewCaption(this, "Bitrate:", 12, 74);
    cbbRate = Place<TspSkinComboBox>(this, 110, 72, 120, 22);
    for (const char* rate : {"64kps", "128kps", "192kps", "320kps"})
        cbbRate->Items()->Add(rate);
    btnShowTagEdit = Place<TspSkinLinkLabel>(this, 250, 76, 110, 18);
    btnShowTagEdit->SetCaption("Show tag edit");
    btnHideTagEdit = Place<TspSkinLinkLabel>(this, 250, 76, 110, 18);
    btnHideTagEdit->SetCaption("Hide tag edit");
    lbTitle = NewCaption(this, "Title:", 12, 154);
    edtTitle = Place<TspSkinEdit>(this, 110, 152, 330, 22);
    edtTitle->SetMaxLength(kTitleChars);
    lbArtist = NewCaption(this, "Artist:", 12, 184);
    cbArtist = NewRecentBox(this, 110, 182, 330);
    lbAlbum = NewCaption(this, "Album:", 12, 214);
    cbAlbum = NewRecentBox(this, 110, 212, 330);
    cbAutoRename = Place<TspSkinCheckRadioBox>(this, 250, 100, 150, 22);
    cbAutoRename->SetCaption("Auto modify filename.");
    cbAutoRename->SetVisible(false);
    btnDownload = Place<TspSkinButton>(this, 270, 156, 80, 26);
    btnDownload->SetCaption("OK");
    btnDownload->SetDefault(true);
    btnCancel = Place<TspSkinButton>(this, 360, 156, 80, 26);
    btnCancel->SetCaption("Cancel");
    btnCancel->Cancel = true;
    btnCancel->ModalResult = mrCancel;
    tmHint = new TTimer(this);
    tmHint->SetEnabled(false);
    tmHint->SetInterval(500);
    tmHint->SetOnTimer([this](TObject* s) { tmHintTimer(s); });

    btnDownload->OnClick = [this](TObject* s) { btnDownloadClick(s); };
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
    cbSaveto->OnClick = [this](TObject* s) { cbSavetoClick(s); };
    for (TspSkinComboBox* box : {cbArtist, cbAlbum}) {
        box->OnClick = [this](TObject* s) { cbArtistClick(s); };
        box->OnDropDown = [this](TObject* s) { cbArtistDropDown(s); };
    }
    OnClose = [this](TObject*, TCloseAction&) { FormClose(); };
    OnShow = [this](TObject*) {
        // Opened from a click in a page, the keyboard would stay there.
        SetForegroundWindow(Handle());
        FocusIfShown(btnDownload);
    };
    ActiveControl = btnDownload;

    // The fields' change events run from the first text set on.
    HandleNeeded();
    // The texts of the current language, keyed by the parts' names, before
    // the settings fill the fields.
    const std::pair<TComponent*, const char*> names[] = {{this, "frmPrepareDownload"},
                                                         {lbFileName, "lbFileName"},
                                                         {edtFileName, "edtFileName"},
                                                         {lbSaveto, "lbSaveto"},
                                                         {cbSaveto, "cbSaveto"},
                                                         {btnBrowse, "btnBrowse"},
                                                         {lbBitrate, "lbBitrate"},
                                                         {cbbRate, "cbbRate"},
                                                         {btnShowTagEdit, "btnShowTagEdit"},
                                                         {btnHideTagEdit, "btnHideTagEdit"},
                                                         {lbTitle, "lbTitle"},
                                                         {edtTitle, "edtTitle"},
                                                         {lbArtist, "lbArtist"},
                                                         {cbArtist, "cbArtist"},
                                                         {lbAlbum, "lbAlbum"},
                                                         {cbAlbum, "cbAlbum"},
                                                         {cbAutoRename, "cbAutoRename"},
                                                         {btnDownload, "btnDownload"},
                                                         {btnCancel, "btnCancel"},
                                                         {tmHint, "tmHint"}};
    for (const auto& [part, name] : names)
        part->SetName(name);
    CLMultiLang = NewWindowTranslator(this, EngineLanguageData());
    Load();
    FFileNameModified = false;
    spSkinnedForm = new TspSkinnedForm(this);
    spSkinnedForm->SetName("spSkinnedForm");
    // A dialog of a fixed size: neither minimised nor maximised.
    spSkinnedForm->SetBorderIcons(biSystemMenu);
    ApplyMainSkinData(this);
}

TfrmPrepareDownload::~TfrmPrepareDownload() {
    FormClose();
}

void TfrmPrepareDownload::ClearRecentChosen(TspSkinComboBox* Box) {
    const std::string clear = AppText("Text.ClearRecent");
    if (clear.empty() || Box->Text() != clear) return;
    Box->SetText("");
    Box->Items()->Clear();
}

void TfrmPrepareDownload::cbSavetoClick(TObject*) {
    ClearRecentChosen(cbSaveto);
}

void TfrmPrepareDownload::cbArtistClick(TObject* Sender) {
    if (auto* box = dynamic_cast<TspSkinComboBox*>(Sender)) ClearRecentChosen(box);
}

void TfrmPrepareDownload::cbArtistDropDown(TObject* Sender) {
    auto* box = dynamic_cast<TspSkinComboBox*>(Sender);
    const std::string clear = AppText("Text.ClearRecent");
    if (!box || clear.empty()) return;
    TStrings* items = box->Items();
    if (items->Count() == 0 || items->Strings(items->Count() - 1) != clear) items->Add(clear);
}

void TfrmPrepareDownload::LoadList(TspSkinComboBox* Box, const std::string& Name) {
    TCLSettings* s = SettingsInstance();
    // A recent list of reasonable length, whatever the stored count says.
    const int count = std::min(s->GetSettingInteger(Name + "Count"), 100);
    for (int i = 0; i < count; ++i) {
        const std::string item = s->GetSettingString(Name + IntToStr(i));
        if (!item.empty()) Box->Items()->Add(item);
    }
}

void TfrmPrepareDownload::SaveList(TspSkinComboBox* Box, const std::string& Name) {
    TCLSettings* s = SettingsInstance();
    TStrings* items = Box->Items();
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
    cbbRate->SetItemIndex(rate >= 0 && rate < cbbRate->Items()->Count() ? rate : 1);
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
    TStrings* folders = cbSaveto->Items();
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

bool TfrmPrepareDownload::TagEditVisible() const {
    return edtTitle->Visible();
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
    TStrings* items = cbSaveto->Items();
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
        FocusIfShown(cbSaveto);
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
    FocusIfShown(cbSaveto);
}

std::string TfrmPrepareDownload::GetSaveToFullPath(const std::string& aTempExtName) const {
    const std::string name = SafeFileName(edtFileName->Text());
    const std::string folder = IncludeTrailingPathDelimiter(cbSaveto->Text());
    const bool hasExt = name.size() >= 4 && aTempExtName.size() == 4 &&
                        SameText(name.substr(name.size() - 4), aTempExtName);
    return folder + name + (hasExt ? "" : aTempExtName);
}
