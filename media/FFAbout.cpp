#include "media/FFAbout.h"

#include "classlib/sysutils.h"
#include "platform/os/registry.h"
#include "platform/os/shell.h"

#include <cctype>
#include <cstdlib>

namespace {

struct AboutTexts {
    const char* Title;
    const char* Notice;
    const char* Address;
};

constexpr AboutTexts kTexts = {"Lantrove Media Components",
                               "Audio and video conversion through the FFmpeg libraries.",
                               "https://lantrove.example.org/media"};
constexpr AboutTexts kChineseTexts = {"Lantrove 媒体组件", "通过 FFmpeg 库转换音频和视频。",
                                      "https://lantrove.example.org/media"};

// Chinese is the primary language of the system locale.
bool ChineseLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (v && *v) return std::string(v).rfind("zh", 0) == 0;
    }
    return false;
}

const AboutTexts& Texts() {
    return ChineseLocale() ? kChineseTexts : kTexts;
}

std::function<void(TfrmAbout&)>& DialogHook() {
    static std::function<void(TfrmAbout&)> hook;
    return hook;
}

// The program registered for HTML files: the text between the first pair of
// quotes, or the whole command when it does not start with one.
std::string HtmlProgram() {
    std::string command;
    if (!os::RegReadValue(os::RegRoot::ClassesRoot, "htmlfile\\shell\\open\\command", "", command))
        return {};
    if (!command.empty() && command.front() == '"') {
        size_t end = command.find('"', 1);
        return end == std::string::npos ? std::string() : command.substr(1, end - 1);
    }
    return command;
}

} // namespace

void SetAboutDialogHook(std::function<void(TfrmAbout&)> Hook) {
    DialogHook() = std::move(Hook);
}

TfrmAbout::TfrmAbout(TComponent* AOwner) : TForm(AOwner) {
    SetName("frmAbout");
    BorderStyle = bsDialog;
    SetBounds(0, 0, 291, 160);
    Handle(); // the frame's size is known once the window exists
    const int dx = Width() - ClientWidth(), dy = Height() - ClientHeight();
    SetBounds(0, 0, 291 + dx, 160 + dy);
    Font()->SetName("Tahoma");
    Font()->SetSize(8);
    Image1 = new TImage(this);
    Image1->SetName("Image1");
    Image1->SetParent(this);
    Image1->SetBounds(14, 16, 24, 24);
    auto label = [this](const std::string& name, int top) {
        auto* l = new TLabel(this);
        l->SetName(name);
        l->SetParent(this);
        l->SetLeft(56);
        l->SetTop(top);
        return l;
    };
    Label1 = label("Label1", 16);
    Label2 = label("Label2", 41);
    Label3 = label("Label3", 67);
    Label4 = label("Label4", 93);
    Label4->SetCursor(crHandPoint);
    Label4->OnClick = [this](TObject*) { Label4Click(); };
    Label4->OnMouseEnter = [this](TObject*) { Label4->Font()->SetColor(clRed); };
    Label4->OnMouseLeave = [this](TObject*) { Label4->Font()->SetColor(clBlue); };
    btnOK = new TButton(this);
    btnOK->SetName("btnOK");
    btnOK->SetParent(this);
    btnOK->SetBounds(198, 120, 75, 25);
    btnOK->SetCaption("&Close");
    btnOK->Cancel = true;
    btnOK->ModalResult = mrOk;
    SetBounds((Screen->Width() - Width()) / 2, (Screen->Height() - Height()) / 2, Width(),
              Height());
    FormCreate();
}

void TfrmAbout::FormCreate() {
    Label4->Font()->SetColor(clBlue);
}

std::string TfrmAbout::LinkAddress() const {
    std::string from = StringReplace("vcl " + Caption(), " ", "_", rfReplaceAll);
    return LowerCase(Label4->Caption() + "/?from=" + from);
}

void TfrmAbout::Label4Click() {
    const std::string address = LinkAddress();
    const std::string program = HtmlProgram();
    if (!program.empty() && os::ShellOpen(program, "\"" + address + "\"", "")) return;
    os::ShellOpen(address, "", "");
}

void ShowAboutDialog(const std::string& ComponentName, const std::string& Version,
                     int IconResourceId) {
    TfrmAbout form(nullptr);
    form.SetCaption("About " + ComponentName);
    form.Label1->SetCaption(Version.empty() ? ComponentName
                                            : ComponentName + " - Version " + Version);
    const AboutTexts& t = Texts();
    form.Label2->SetCaption(t.Title);
    form.Label3->SetCaption(t.Notice);
    form.Label4->SetCaption(t.Address);
    if (IconResourceId != 0) {
        form.Image1->Picture()->Bitmap()->SetSize(48, 48);
        form.Image1->SetBounds(form.Image1->Left() + 8, form.Image1->Top(), 48, 48);
        for (TLabel* l : {form.Label1, form.Label2, form.Label3, form.Label4})
            l->SetLeft(l->Left() + 8);
        TCanvas* c = form.Image1->Picture()->Bitmap()->Canvas();
        c->Brush()->SetColor(clWhite);
        c->FillRect(TRect(0, 0, 48, 48));
        c->Brush()->SetColor(TColor(0xE2EFF1));
        c->FrameRect(TRect(0, 0, 48, 48));
        c->Brush()->SetColor(TColor(0x646F71));
        c->FrameRect(TRect(1, 1, 47, 47));
        // The program carries no icon resources: the framed box stays empty.
    }
    if (DialogHook()) form.OnShow = [&form](TObject*) { DialogHook()(form); };
    form.ShowModal();
}
