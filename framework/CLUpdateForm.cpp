#include "framework/CLUpdateForm.h"

#include "download/SingleDownloader.h"
#include "framework/CLEngine.h"
#include "framework/CLForm.h"
#include "framework/CLSettings.h"
#include "framework/OxDebug.h"
#include "framework/SPTools.h"
#include "platform/win/input.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/forms/SkinnedForm.h"

#include <cctype>
#include <cmath>

namespace {

TCLSettings* Settings() {
    return SettingsInstance();
}

std::string Lib(const std::string& Name) {
    TCLEngine* engine = EngineInstance();
    return engine ? engine->GetLibString(Name) : std::string();
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return SameText(a, b);
}

bool AllDigits(const std::string& s, size_t from, size_t to) {
    if (from >= to) return false;
    for (size_t i = from; i < to; ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    return true;
}

bool IsWebAddressValue(const std::string& v) {
    return StartsText("http://", v) || StartsText("https://", v);
}

// Breaks of the language texts become line breaks of the label.
std::string ShownText(const std::string& Text) {
    return StringReplace(Text, "<BR>", "\n", rfReplaceAll | rfIgnoreCase);
}

constexpr int kWidth = 400;
constexpr int kLogoHeight = 60;
constexpr int kInfoHeight = 120;
constexpr int kButtonsHeight = 40;
constexpr int kProcessHeight = 36;

} // namespace

bool UpdateSettingAllowed(const std::string& Name, const std::string& Value) {
    if (Name.empty() || Value.size() > MaxUpdateValueBytes) return false;
    for (unsigned char c : Value)
        if (c < 0x20 && c != '\t') return false;
    static const char* const kSiteKeys[] = {
        "SearchKeyURL",    "DownloadURL",      "GetMethod",    "WatchURL",      "GetInfoURL",
        "FLVGetVideoURI",  "FLVURLFormat",     "WatchPattern", "WatchPattern2", "FLVSplitStr",
        "FLVNeedDecode",   "categories_count", "c_pages",      "c_pagetitle",   "c_pattern_entry",
        "c_pattern_title", "c_pattern_artist"};
    for (const char* k : kSiteKeys)
        if (EqualsNoCase(Name, k)) return true;
    if (StartsText("Pattern.", Name) && Name.size() > 8) return true;
    // c_<n>_name and c_<n>_url: the categories.
    if (StartsText("c_", Name)) {
        size_t us = Name.find('_', 2);
        if (us != std::string::npos && AllDigits(Name, 2, us)) {
            std::string rest = Name.substr(us + 1);
            if (EqualsNoCase(rest, "name")) return true;
            if (EqualsNoCase(rest, "url")) return IsWebAddressValue(Value);
        }
        return false;
    }
    // The maker's pages and the banners open in a browser: web addresses only.
    if (StartsText("URL.", Name) && Name.size() > 4) return IsWebAddressValue(Value);
    if (StartsText("Banner.", Name) && (EndsText(".URL", Name) || EndsText(".RemoteURL", Name)))
        return IsWebAddressValue(Value);
    return false;
}

TUpdateAnswer ParseUpdateAnswer(const std::string& Text, const std::string& MagicWord) {
    TUpdateAnswer answer;
    if (Text.size() > MaxUpdateAnswerBytes || Text.find('\0') != std::string::npos) return answer;
    TStringList lines;
    lines.SetText(Text);
    std::string magic;
    bool magicSeen = false;
    bool allowed = true;
    std::string result;
    for (int i = 0; i < lines.Count(); ++i) {
        const std::string& line = lines[i];
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string name = line.substr(0, eq);
        std::string value = line.substr(eq + 1);
        if (EqualsNoCase(name, "magicword")) {
            if (!magicSeen) magic = value;
            magicSeen = true;
        } else if (EqualsNoCase(name, "Result")) {
            if (result.empty()) result = value;
        } else if (EqualsNoCase(name, "info")) {
            if (answer.Info.empty()) answer.Info = value;
        } else if (EqualsNoCase(name, "page")) {
            // Opened in the desktop's browser when the user confirms: a web
            // address only, never a local file or another scheme.
            if (answer.Page.empty() && IsWebAddressValue(value)) answer.Page = value;
        } else if (StartsText("Banner.", name)) {
            if (!UpdateSettingAllowed(name, value)) allowed = false;
            answer.Changes.emplace_back(name, value);
        } else if (StartsText("__MODIFY__.", name)) {
            std::string key = name.substr(11);
            if (!UpdateSettingAllowed(key, value)) allowed = false;
            answer.Changes.emplace_back(key, value);
        }
    }
    if (!EqualsNoCase(magic, MagicWord) || !allowed) {
        answer.Changes.clear();
        return answer;
    }
    answer.Accepted = true;
    answer.Result = StrToIntDef(Trim(result), 0);
    return answer;
}

// ---------------------------------------------------------------------------

TfrmCLUpdateForm::TfrmCLUpdateForm(TComponent* AOwner) : TForm(AOwner) {
    BorderStyle = bsDialog;
    SetBounds(0, 0, kWidth, kLogoHeight + kInfoHeight + kButtonsHeight);
    SetFormClientSize(this, kWidth, kLogoHeight + kInfoHeight + kButtonsHeight);
    auto panel = [this](const std::string& name, TAlign align, int height) {
        return AddDialogPanel(this, name, align, kWidth, height);
    };
    auto button = [this](TWinControl* parent, const std::string& name, int left, int result) {
        auto* b = new TspSkinButton(this);
        b->SetName(name);
        b->SetParent(parent);
        b->SetBounds(left, 8, 90, 25);
        b->ModalResult = result;
        return b;
    };
    pnLogo = panel("pnLogo", alTop, kLogoHeight);
    imgLogo = AddDialogLogo(this, pnLogo);
    pnProcess = panel("pnProcess", alTop, kProcessHeight);
    pnProcess->Hide();
    lbProcess = new TspSkinStdLabel(this);
    lbProcess->SetName("lbProcess");
    lbProcess->SetParent(pnProcess);
    lbProcess->SetBounds(10, 10, 250, 16);
    lbProcess->SetCaption("Connecting...");
    btnCancelProcess = button(pnProcess, "btnCancelProcess", kWidth - 100, mrNone);
    btnCancelProcess->SetTop(5);
    pnOkCancel = panel("pnOkCancel", alBottom, kButtonsHeight);
    btnOK = button(pnOkCancel, "btnOK", kWidth - 200, mrOk);
    btnCancel = button(pnOkCancel, "btnCancel", kWidth - 100, mrCancel);
    btnCancel->Cancel = true;
    pnOK = panel("pnOK", alBottom, kButtonsHeight);
    btnOK2 = button(pnOK, "btnOK2", kWidth - 100, mrCancel);
    pnInfo = panel("pnInfo", alClient, kInfoHeight);
    lbInfo = AddDialogInfo(this, pnInfo, 10, 10, kWidth - 20, 70);
    lbInfo->Lines()->SetText("Connecting...");
    lblTimer = new TspSkinStdLabel(this);
    lblTimer->SetName("lblTimer");
    lblTimer->SetParent(pnInfo);
    lblTimer->SetBounds(10, 82, kWidth - 20, 16);
    lblTimer->SetCaption("This window will close in {1} sec(s)...");
    lblTimer->Hide();
    cbAutoCheckUpdate = new TspSkinCheckRadioBox(this);
    cbAutoCheckUpdate->SetName("cbAutoCheckUpdate");
    cbAutoCheckUpdate->SetParent(pnInfo);
    cbAutoCheckUpdate->SetBounds(10, kInfoHeight - 22, kWidth - 20, 18);
    // The box keeps to the bottom of the information area, whatever height
    // the skin's frame and the logo leave it.
    pnInfo->OnResize = [this](TObject*) {
        cbAutoCheckUpdate->SetBounds(10, pnInfo->Height() - 22, cbAutoCheckUpdate->Width(), 18);
    };
    btnOK->SetEnabled(false);
    btnOK2->SetEnabled(false);

    sdDownload = new TSingleDownloader(this);
    sdDownload->SetName("sdDownload");
    sdDownload->OnDoneString = [this](TObject*, const std::string& text) { AnswerArrived(text); };
    sdDownload->OnError = [this](TObject*) { DownloadError(); };
    tmrTimer = new TTimer(this);
    tmrTimer->SetName("tmrTimer");
    tmrTimer->SetEnabled(false);
    tmrTimer->SetInterval(200);
    tmrTimer->SetOnTimer([this](TObject*) { TimerTick(); });

    btnOK->OnClick = [this](TObject*) {
        StoreAutoCheck();
        if (!FURL.empty())
            if (TCLEngine* engine = EngineInstance()) engine->ShowPageByURL(FURL);
        CloseDialog();
    };
    auto abort = [this](TObject*) {
        sdDownload->Abort();
        FUpdating = false;
        StoreAutoCheck();
        CloseDialog();
    };
    btnOK2->OnClick = abort;
    btnCancelProcess->OnClick = abort;
    btnCancel->OnClick = [this](TObject*) { CloseDialog(); };

    AddDialogSkinning(this, spSkinnedForm, CLForm);
    FormCreate();
}

TfrmCLUpdateForm::~TfrmCLUpdateForm() {
    sdDownload->OnDoneString = nullptr;
    sdDownload->OnError = nullptr;
    sdDownload->Abort();
}

void TfrmCLUpdateForm::FormCreate() {
    const bool loaded = LoadDialogLogo(imgLogo, "update.png");
    const int oldLogo = pnLogo->Height();
    if (loaded) {
        const int h = imgLogo->Picture()->Height();
        pnLogo->SetHeight(h);
        SetFormClientSize(this, imgLogo->Picture()->Width(), ClientHeight() + h - oldLogo);
    } else {
        pnLogo->Hide();
        imgLogo->Hide();
        SetFormClientSize(this, ClientWidth(), ClientHeight() - oldLogo);
    }
    SetCaption(Lib("TfrmCLUpdateForm.Caption"));
    btnOK->SetCaption(Lib("btnOk.Caption"));
    btnOK2->SetCaption(Lib("btnOk.Caption"));
    btnCancel->SetCaption(Lib("btnCancel.Caption"));
    btnCancelProcess->SetCaption(Lib("btnCancel.Caption"));
    cbAutoCheckUpdate->SetCaption(Lib("cbAutoCheckUpdate.Caption"));
    lbInfo->Lines()->SetText(ShownText(Lib("Update.Connecting")));
    pnOkCancel->Hide();
    if (Settings()->GetSettingBool("Update.NoAutoCheck")) cbAutoCheckUpdate->Hide();
    cbAutoCheckUpdate->SetChecked(Settings()->GetSettingBool("Update.AutoCheck"));
    FDelaySeconds = std::max(5, int(Settings()->GetSettingInteger("Update.DelaySeconds")));
    CenterFormOn(this, MainWindowForm());
}

void TfrmCLUpdateForm::StartUpdate(bool AShowModal, bool AShowConnecting, bool ADoUpdate,
                                   bool AProcess, bool AAutoClose) {
    FStartTime = 0;
    FShowModal = AShowModal;
    FShowConnecting = AShowConnecting;
    FDoUpdate = ADoUpdate;
    FProcess = AProcess;
    FAutoClose = AAutoClose;
    FUpdating = true;
    TCLEngine* engine = EngineInstance();
    const std::string address = engine ? engine->GetURL("Update", true) : std::string();
    DebuggerInstance()->LogMsgWithTag("Update URL : " + address, "CLUpdate");
    if (AProcess) {
        pnLogo->Hide();
        pnInfo->Hide();
        pnOkCancel->Hide();
        pnOK->Hide();
        pnProcess->Show();
        pnProcess->SetAlign(alTop);
        BorderStyle = bsNone;
        SetFormClientSize(this, ClientWidth(), pnProcess->Height());
    }
    sdDownload->URL = address;
    sdDownload->UseCache = false;
    sdDownload->AcceptTypes = "*/*";
    sdDownload->GetString();
    if (AShowModal)
        ShowModal();
    else if (AShowConnecting)
        Show();
}

void TfrmCLUpdateForm::AnswerArrived(const std::string& Text) {
    DebuggerInstance()->LogMsgWithTag("Update Net : " + Text, "CLUpdate");
    Settings()->SetSettingFloat("Update.LastDate", Now());
    if (!FUpdating) return;
    bool show = false;
    TUpdateAnswer answer = ParseUpdateAnswer(Text, Settings()->GetSettingString("App.MagicWord"));
    if (!answer.Accepted) {
        if (Visible()) {
            FInfo = Lib("Update.NetError");
            FURL.clear();
            show = true;
        }
    } else {
        Settings()->BeginUpdate();
        for (const auto& [name, value] : answer.Changes)
            Settings()->SetSettingstring(name, value);
        Settings()->SetSettingInteger("Update.Times",
                                      Settings()->GetSettingInteger("Update.Times") + 1);
        Settings()->EndUpdate();
        if (FDoUpdate) {
            if (answer.Result == 1) {
                FInfo = answer.Info;
                FURL = answer.Page;
                show = true;
            } else if (answer.Result == 0 && Visible()) {
                FInfo = Lib("Update.LastVersionAlready");
                FURL.clear();
                show = true;
            }
        }
    }
    FUpdating = false;
    if (show)
        PostMessage(Handle(), WM_CL_UPDATE_SHOW, 0, 0);
    else
        CloseDialog();
}

void TfrmCLUpdateForm::DownloadError() {
    FUpdating = false;
    DebuggerInstance()->LogMsgWithTag("Update Net Error !", "CLUpdate");
    if (FDoUpdate && Visible()) {
        FInfo = Lib("Update.NetError");
        FURL.clear();
        PostMessage(Handle(), WM_CL_UPDATE_SHOW, 0, 0);
    } else {
        CloseDialog();
    }
}

void TfrmCLUpdateForm::ShowResult() {
    lbInfo->Lines()->SetText(ShownText(FInfo));
    if (!FURL.empty()) {
        pnOK->Hide();
        pnOkCancel->Show();
        btnCancel->Show();
    } else {
        pnOkCancel->Hide();
        pnOK->Show();
        btnCancel->Hide();
    }
    btnOK->SetEnabled(true);
    btnOK2->SetEnabled(true);
    if (!Visible()) Show();
    if (FAutoClose) StartAutoClose();
}

void TfrmCLUpdateForm::StartAutoClose() {
    tmrTimer->SetEnabled(true);
}

void TfrmCLUpdateForm::StoreAutoCheck() {
    if (!Settings()->GetSettingBool("Update.NoAutoCheck"))
        Settings()->SetSettingBool("Update.AutoCheck", cbAutoCheckUpdate->Checked());
}

void TfrmCLUpdateForm::TimerTick() {
    if (FStartTime == 0) FStartTime = Now();
    const int elapsed = int(std::floor((Now() - FStartTime) * 86400.0 + 1e-6));
    lblTimer->Show();
    TCLEngine* engine = EngineInstance();
    lblTimer->SetCaption(engine ? engine->GetLibStringEx("lblTimer.Caption",
                                                         {std::to_string(FDelaySeconds - elapsed)})
                                : std::string());
    if (elapsed >= FDelaySeconds) {
        tmrTimer->SetEnabled(false);
        CloseDialog();
    }
}

void TfrmCLUpdateForm::CloseDialog() {
    tmrTimer->SetEnabled(false);
    if (Modal() || Visible()) Close();
}

void TfrmCLUpdateForm::WndProc(TMessage& Message) {
    if (Message.Msg == WM_CL_UPDATE_SHOW) {
        ShowResult();
        return;
    }
    if (Message.Msg == CM_DIALOGKEY && Message.WParam == VK_ESCAPE) {
        sdDownload->Abort();
        FUpdating = false;
        tmrTimer->SetEnabled(false);
        if (Modal())
            ModalResult = mrCancel;
        else
            Close();
        Message.Result = 1;
        return;
    }
    TForm::WndProc(Message);
}
