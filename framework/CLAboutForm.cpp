#include "framework/CLAboutForm.h"

#include "classlib/sysutils.h"
#include "framework/CLEngine.h"
#include "framework/CLForm.h"
#include "framework/CLSettings.h"
#include "framework/SPTools.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/forms/SkinnedForm.h"

namespace {

constexpr int kWidth = 400;
constexpr int kLogoHeight = 80;
constexpr int kInfoHeight = 110;
constexpr int kBottomHeight = 40;

std::string Lib(const std::string& Name, const std::vector<std::string>& Params = {}) {
    TCLEngine* engine = EngineInstance();
    return engine ? engine->GetLibStringEx(Name, Params) : std::string();
}

} // namespace

TfrmCLAboutForm::TfrmCLAboutForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("frmCLAboutForm");
    BorderStyle = bsDialog;
    SetBounds(0, 0, kWidth, kLogoHeight + kInfoHeight + kBottomHeight);
    SetFormClientSize(this, kWidth, kLogoHeight + kInfoHeight + kBottomHeight);
    auto panel = [this](const std::string& name, TAlign align, int height) {
        return AddDialogPanel(this, name, align, kWidth, height);
    };
    auto link = [this](TWinControl* parent, const std::string& name, const std::string& caption,
                       int left, int top) {
        auto* l = new TspSkinLinkLabel(this);
        l->SetName(name);
        l->SetParent(parent);
        l->SetCaption(caption);
        l->SetLeft(left);
        l->SetTop(top);
        return l;
    };
    pnLogo = panel("pnLogo", alTop, kLogoHeight);
    imgLogo = AddDialogLogo(this, pnLogo);
    pnBottom = panel("pnBottom", alBottom, kBottomHeight);
    lblSupport = link(pnBottom, "lblSupport", "Support", 10, 12);
    btnOK = new TspSkinButton(this);
    btnOK->SetName("btnOK");
    btnOK->SetParent(pnBottom);
    btnOK->SetBounds(kWidth - 100, 8, 90, 25);
    btnOK->ModalResult = mrOk;
    btnOK->SetDefault(true);
    btnOK->Cancel = true;
    pnInfo = panel("pnInfo", alClient, kInfoHeight);
    lbInfo = AddDialogInfo(this, pnInfo, 10, 8, kWidth - 20, 70);
    btnEULA = link(pnInfo, "btnEULA", "End User License Agreement", 10, 84);
    btnPrivaryPolicy = link(pnInfo, "btnPrivaryPolicy", "Privacy Policy", 220, 84);

    AddDialogSkinning(this, spSkinnedForm, CLForm);
    FormCreate();
}

void TfrmCLAboutForm::FormCreate() {
    TCLSettings* settings = SettingsInstance();
    TCLEngine* engine = EngineInstance();
    const bool loaded = LoadDialogLogo(imgLogo, "about.png");
    if (loaded) {
        const int h = imgLogo->Picture()->Height();
        SetFormClientSize(this, imgLogo->Picture()->Width(), ClientHeight() + h - pnLogo->Height());
        pnLogo->SetHeight(h);
    } else {
        pnLogo->Hide();
        SetFormClientSize(this, ClientWidth(), ClientHeight() - pnLogo->Height());
    }
    SetCaption(Lib(ClassName() + ".Caption"));
    btnOK->SetCaption(Lib("btnOk.Caption"));
    std::string info =
        Lib("TfrmCLAboutForm.CopyRightLine1") + "\r\n" +
        Lib("TfrmCLAboutForm.CopyRightLine2", {settings->GetSettingString("App.Ver")}) + "\r\n" +
        settings->GetSettingString("App.Copyright");
    const std::string language = engine ? engine->Language() : std::string();
    if (!language.empty() && language != "English")
        info += "\r\n" +
                Lib("TfrmCLAboutForm.CopyRightLine3", {language, engine->LanguageTranslator()});
    lbInfo->Lines()->SetText(info);
    lblSupport->SetCaption(Lib("lblSupport.Caption"));
    lblSupport->URL = engine ? engine->GetURL("support", true) : std::string();
    if (settings->GetSettingBool("about.showlink")) {
        btnEULA->URL = engine ? engine->GetURL("eula", true) : std::string();
        btnPrivaryPolicy->URL = engine ? engine->GetURL("privary", true) : std::string();
    } else {
        btnEULA->Hide();
        btnPrivaryPolicy->Hide();
    }
    CenterFormOn(this, MainWindowForm());
}

void TfrmCLAboutForm::WebBeforeNavigate2(TObject* ASender, void* pDisp, const std::string& URL,
                                         int Flags, const std::string& TargetFrameName,
                                         const std::string& PostData, const std::string& Headers,
                                         bool& Cancel) {
    if (TCLEngine* engine = EngineInstance())
        engine->WebBeforeNavigate2(ASender, pDisp, URL, Flags, TargetFrameName, PostData, Headers,
                                   Cancel);
}
