#include "app/uSettings.h"

#include "app/uCommonFunc.h"
#include "app/uMain.h"
#include "classlib/sysutils.h"
#include "download/MultiDownloader.h"
#include "framework/CLEngine.h"
#include "framework/CLForm.h"
#include "framework/CLMultiLang.h"
#include "framework/CLSettings.h"
#include "framework/OxDebug.h"
#include "framework/SPTools.h"
#include "platform/os/folders.h"
#include "skin/controls/SkinBoxCtrls.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/controls/SkinTabs.h"
#include "skin/forms/SkinnedForm.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

namespace {

// The remembered answer that decides whether unfinished tasks restart.
constexpr int kContinueLastTask = 24;

TCLSettings* Settings() {
    return SettingsInstance();
}

// A word of the entry's command line: quoted, with the characters the
// desktop-entry format reserves inside quotes escaped.
std::string ExecWord(const std::string& Path) {
    std::string out = "\"";
    for (char c : Path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        if (c == '%') out += '%';
        out += c;
    }
    out += '"';
    // The value itself escapes backslashes once more.
    return StringReplace(out, "\\", "\\\\", rfReplaceAll);
}

std::string EntryText(const std::string& Name, const std::string& Program) {
    std::string name = Name;
    name.erase(std::remove_if(name.begin(), name.end(),
                              [](char c) { return static_cast<unsigned char>(c) < 0x20; }),
               name.end());
    return "[Desktop Entry]\nType=Application\nName=" + (name.empty() ? Program : name) +
           "\nExec=" + ExecWord(Program) + "\n";
}

} // namespace

std::string AutostartEntryFileName() {
    std::string name = Settings()->GetSettingString("APP.Name");
    // The name stays one file inside the autostart folder.
    std::replace(name.begin(), name.end(), '/', '_');
    return os::SpecialFolder("AppData") + "/autostart/" + name + ".desktop";
}

TfrmSettings::TfrmSettings(TComponent* AOwner, TMultiDownloader* Queue)
    : TForm(AOwner), FQueue(Queue) {
    if (!FQueue && frmMain) FQueue = frmMain->mdDownloader();
    SetName("frmSettings");
    BorderStyle = bsDialog;
    SetCaption("Options");
    SetBounds(0, 0, 420, 330);
    SetFormClientSize(this, 420, 300);
    pcSettings = new TspSkinPageControl(this);
    pcSettings->SetName("pcSettings");
    pcSettings->SetParent(this);
    pcSettings->SetBounds(8, 8, 404, 246);
    tsGeneral = new TspSkinTabSheet(this);
    tsGeneral->SetName("tsGeneral");
    tsGeneral->SetPageControl(pcSettings);
    tsGeneral->SetCaption("General");
    auto check = [this](const std::string& name, const std::string& caption, int top) {
        auto* c = new TspSkinCheckRadioBox(this);
        c->SetName(name);
        c->SetParent(tsGeneral);
        c->SetBounds(12, top, 370, 20);
        c->SetCaption(caption);
        // Reached by Tab and ticked by Space, as in any dialog.
        c->SetCanFocused(true);
        return c;
    };
    cbAutoRun = check("cbAutoRun", "Automatically run when I log on to the desktop", 10);
    cbAutoUpdate = check("cbAutoUpdate", "Automatically check for updates when starts", 34);
    cbShowAddTask = check("cbShowAddTask", "Show Download List when a new task is added.", 58);
    cbRestart = check("cbRestart", "Restart incomplete task when starts", 82);
    auto label = [this](const std::string& name, const std::string& caption, int top, int width) {
        auto* l = new TspSkinStdLabel(this);
        l->SetName(name);
        l->SetParent(tsGeneral);
        l->SetBounds(12, top, width, 16);
        l->SetCaption(caption);
        return l;
    };
    lblMaxTasks = label("lblMaxTasks", "Max simultaneous jobs", 112, 160);
    edtMaxTasks = new TspSkinSpinEdit(this);
    edtMaxTasks->SetName("edtMaxTasks");
    edtMaxTasks->SetParent(tsGeneral);
    edtMaxTasks->SetBounds(180, 108, 67, 22);
    edtMaxTasks->SetMaxValue(10);
    edtMaxTasks->SetMinValue(1);
    edtMaxTasks->SetIncrement(1);
    lblTempPath = label("lblTempPath", "Temporary file location", 142, 200);
    lblTempPath->Hide();
    auto button = [this](TWinControl* parent, const std::string& name, const std::string& caption,
                         int left, int top, int width) {
        auto* b = new TspSkinButton(this);
        b->SetName(name);
        b->SetParent(parent);
        b->SetBounds(left, top, width, 25);
        b->SetCaption(caption);
        return b;
    };
    btnBrowse = button(tsGeneral, "btnBrowse", "&Browse...", 290, 138, 90);
    btnBrowse->Hide();
    btnClearShowAgainFlag =
        button(tsGeneral, "btnClearShowAgainFlag", "Clear Show Again Flag", 12, 176, 170);
    btnOk = button(this, "btnOk", "&OK", 228, 264, 88);
    btnOk->SetDefault(true);
    btnCancel = button(this, "btnCancel", "Cancel", 324, 264, 88);
    btnCancel->ModalResult = mrCancel;
    btnCancel->Cancel = true;
    btnOk->OnClick = [this](TObject* s) { btnOkClick(s); };
    btnClearShowAgainFlag->OnClick = [this](TObject* s) { btnClearShowAgainFlagClick(s); };

    spSkinnedForm = new TspSkinnedForm(this);
    spSkinnedForm->SetName("spSkinnedForm");
    // A dialog of a fixed size: neither minimised nor maximised.
    spSkinnedForm->SetBorderIcons(biSystemMenu);
    TCLEngine* engine = EngineInstance();
    CLMultiLang = NewWindowTranslator(this, engine ? engine->LanguageData() : nullptr);
    ApplyMainSkinData(this);
    CenterFormOn(this, MainWindowForm());
    LoadOptions();
}

int TfrmSettings::MaxTasksValue() const {
    return std::clamp(int(std::lround(edtMaxTasks->Value())), 1, 10);
}

void TfrmSettings::SetMaxTasksValue(int Value) {
    edtMaxTasks->SetValue(std::clamp(Value, 1, 10));
}

void TfrmSettings::LoadOptions() {
    TCLSettings* s = Settings();
    cbAutoRun->SetChecked(s->GetSettingBool("Settings.AutoRun"));
    cbAutoUpdate->SetChecked(s->GetSettingBool("Update.AutoCheck"));
    cbShowAddTask->SetChecked(s->GetSettingBool("Settings.ShowListWhenAddTask"));
    cbRestart->SetChecked(s->GetMessageShowAgainResult(kContinueLastTask) == 1);
    SetMaxTasksValue(FQueue ? FQueue->MaxTasks() : s->GetSettingInteger("Settings.MaxTasks"));
}

void TfrmSettings::SaveOptions() {
    TCLSettings* s = Settings();
    s->SetSettingBool("Settings.AutoRun", cbAutoRun->Checked());
    SetAutoRun(cbAutoRun->Checked());
    s->SetSettingBool("Update.AutoCheck", cbAutoUpdate->Checked());
    const int tasks = MaxTasksValue();
    if (FQueue) FQueue->SetMaxTasks(tasks);
    s->SetSettingInteger("Settings.MaxTasks", tasks);
    if (FQueue) FQueue->Resume();
    s->SetMessageShowAgainResult(kContinueLastTask, cbRestart->Checked() ? 1 : 2);
    s->SetSettingBool("Settings.ShowListWhenAddTask", cbShowAddTask->Checked());
}

void TfrmSettings::SetAutoRun(bool On) {
    namespace fs = std::filesystem;
    const std::string file = AutostartEntryFileName();
    std::error_code ec;
    if (!On) {
        fs::remove(file, ec);
        return;
    }
    fs::create_directories(fs::path(file).parent_path(), ec);
    const std::string temp = file + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << EntryText(Settings()->GetSettingString("APP.Name"), GetAppFileName());
        if (!out.flush()) {
            DebuggerInstance()->LogMsgError("Cannot write " + temp);
            out.close();
            fs::remove(temp, ec);
            return;
        }
    }
    fs::rename(temp, file, ec);
    if (ec) {
        DebuggerInstance()->LogMsgError("Cannot write " + file);
        fs::remove(temp, ec);
    }
}

void TfrmSettings::btnOkClick(TObject*) {
    SaveOptions();
    ModalResult = mrOk;
}

void TfrmSettings::btnClearShowAgainFlagClick(TObject*) {
    Settings()->ClearShowAgainFlag();
}
