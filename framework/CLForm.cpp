#include "framework/CLForm.h"

#include "framework/CLEngine.h"
#include "framework/CLMultiLang.h"
#include "framework/CLSettings.h"
#include "framework/SPTools.h"
#include "skin/controls/ListViewSP.h"
#include "skin/controls/SkinBoxCtrls.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/controls/SkinExCtrls.h"
#include "skin/controls/SkinTabs.h"
#include "skin/engine/SkinCtrls.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/spMessages.h"

#include <any>
#include <mutex>

namespace {

std::vector<TSkinDataProperty>& SkinDataProperties() {
    static std::vector<TSkinDataProperty> list = [] {
        std::vector<TSkinDataProperty> l;
        auto of = [&l](auto* typeTag, auto get, auto set) {
            using T = std::remove_pointer_t<decltype(typeTag)>;
            l.push_back(TSkinDataProperty{
                [](TComponent* c) { return dynamic_cast<T*>(c) != nullptr; },
                [get](TComponent* c) { return get(static_cast<T*>(c)); },
                [set](TComponent* c, TspSkinData* d) { set(static_cast<T*>(c), d); }});
        };
        of((TspSkinControl*)nullptr, [](TspSkinControl* c) { return c->SkinData(); },
           [](TspSkinControl* c, TspSkinData* d) { c->SetSkinData(d); });
        of((TspGraphicSkinControl*)nullptr, [](TspGraphicSkinControl* c) { return c->SkinData(); },
           [](TspGraphicSkinControl* c, TspSkinData* d) { c->SetSkinData(d); });
        // Skinned parts on other bases: edits, labels, bevel, tabs, splitter,
        // list view and menus.
        auto simple = [&of](auto* typeTag) {
            using T = std::remove_pointer_t<decltype(typeTag)>;
            of((T*)nullptr, [](T* c) { return c->SkinData(); },
               [](T* c, TspSkinData* d) { c->SetSkinData(d); });
        };
        simple((TspSkinCustomEdit*)nullptr);
        simple((TspSkinStdLabel*)nullptr);
        simple((TspSkinTextLabel*)nullptr);
        simple((TspSkinLinkLabel*)nullptr);
        simple((TspSkinBevel*)nullptr);
        simple((TspSkinPageControl*)nullptr);
        simple((TspSkinSplitter*)nullptr);
        simple((TspSkinCustomListView*)nullptr);
        simple((TspSkinPopupMenu*)nullptr);
        simple((TspSkinMainMenu*)nullptr);
        simple((TspSkinImagesMenu*)nullptr);
        of((TspSkinnedForm*)nullptr, [](TspSkinnedForm* c) { return c->SkinData(); },
           [](TspSkinnedForm* c, TspSkinData* d) { c->SetSkinData(d); });
        of((TspSkinnedForm*)nullptr, [](TspSkinnedForm* c) { return c->MenusSkinData(); },
           [](TspSkinnedForm* c, TspSkinData* d) { c->SetMenusSkinData(d); });
        of((TspSkinMessage*)nullptr, [](TspSkinMessage* c) { return c->SkinData(); },
           [](TspSkinMessage* c, TspSkinData* d) { c->SetSkinData(d); });
        of((TspSkinMessage*)nullptr, [](TspSkinMessage* c) { return c->CtrlSkinData(); },
           [](TspSkinMessage* c, TspSkinData* d) { c->SetCtrlSkinData(d); });
        return l;
    }();
    return list;
}

std::string AnyText(const std::any& v) {
    if (auto p = std::any_cast<std::string>(&v)) return *p;
    if (auto p = std::any_cast<const char*>(&v)) return *p ? *p : "";
    return {};
}

int AnyInt(const std::any& v) {
    if (auto p = std::any_cast<int>(&v)) return *p;
    if (auto p = std::any_cast<long>(&v)) return int(*p);
    if (auto p = std::any_cast<uint32_t>(&v)) return int(*p);
    return 0;
}

} // namespace

void RegisterSkinDataProperty(TSkinDataProperty Property) {
    SkinDataProperties().push_back(std::move(Property));
}

void SetComponentsSkinData(TComponent* Owner, TspSkinData* Data, bool OnlyUnassigned) {
    for (int i = 0; i < Owner->ComponentCount(); ++i) {
        TComponent* c = Owner->Components(i);
        for (const TSkinDataProperty& p : SkinDataProperties())
            if (p.Applies(c) && (!OnlyUnassigned || !p.Get(c))) p.Set(c, Data);
    }
}

TspSkinPanel* AddDialogPanel(TForm* Form, const std::string& Name, TAlign Align, int Width,
                             int Height) {
    auto* p = new TspSkinPanel(Form);
    p->SetName(Name);
    p->SetParent(Form);
    p->SetBorderStyle(TspSkinBorderStyle::bvNone);
    p->SetBounds(0, 0, Width, Height);
    p->SetAlign(Align);
    p->SetCaption("");
    return p;
}

TspSkinLinkImage* AddDialogLogo(TForm* Form, TWinControl* Panel) {
    auto* image = new TspSkinLinkImage(Form);
    image->SetName("imgLogo");
    image->SetParent(Panel);
    image->SetAlign(alClient);
    return image;
}

TspSkinTextLabel* AddDialogInfo(TForm* Form, TWinControl* Panel, int Left, int Top, int Width,
                                int Height) {
    auto* label = new TspSkinTextLabel(Form);
    label->SetName("lbInfo");
    label->SetParent(Panel);
    label->SetAutoSize(false);
    label->SetWordWrap(true);
    label->SetBounds(Left, Top, Width, Height);
    return label;
}

bool LoadDialogLogo(TspSkinLinkImage* Image, const std::string& FileName) {
    const std::string picture = CombinePath(GetAppFolder(), "res\\images\\" + FileName);
    if (!FileExists(picture)) return false;
    try {
        Image->Picture()->LoadFromFile(picture);
        return Image->Picture()->Width() > 0;
    } catch (const std::exception&) {
        return false;
    }
}

void AddDialogSkinning(TForm* Form, TspSkinnedForm*& Skinned, TCLForm*& CL) {
    Skinned = new TspSkinnedForm(Form);
    Skinned->SetName("spSkinnedForm");
    // A dialog of a fixed size: neither minimised nor maximised.
    Skinned->SetBorderIcons(biSystemMenu);
    CL = new TCLForm(Form);
    CL->RuntimeSetSkinData = true;
    CL->RuntimeSetLanguageData = true;
    CL->Loaded();
}

void SetFormClientSize(TForm* Form, int ClientWidth, int ClientHeight) {
    // The frame's size is known once the window exists and its frame (a
    // skin's, say) has been measured.
    SetWindowPos(Form->Handle(), 0, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const int dx = Form->Width() - Form->ClientWidth();
    const int dy = Form->Height() - Form->ClientHeight();
    Form->SetBounds(Form->Left(), Form->Top(), ClientWidth + dx, ClientHeight + dy);
    // A skin that arrives later changes the frame: the form's skinning
    // component keeps this client size then.
    for (int i = 0; i < Form->ComponentCount(); ++i)
        if (auto* skinned = dynamic_cast<TspSkinnedForm*>(Form->Components(i))) {
            skinned->ClientWidth = ClientWidth;
            skinned->ClientHeight = ClientHeight;
        }
}

TForm* MainWindowForm() {
    return Application ? Application->MainForm() : nullptr;
}

void CenterFormOn(TForm* Form, TForm* Over) {
    TRect area = Over ? Over->BoundsRect() : TRect(0, 0, Screen->Width(), Screen->Height());
    int left = area.Left + (area.Width() - Form->Width()) / 2;
    int top = area.Top + (area.Height() - Form->Height()) / 2;
    Form->SetBounds(left, top, Form->Width(), Form->Height());
}

// ---------------------------------------------------------------------------

void TCLForm::Loaded() {
    TComponent::Loaded();
    if (HasState(csDesigning)) return;
    if (RuntimeSetSkinData) ApplySkinData();
    if (RuntimeSetLanguageData) ApplyLanguageData();
    if (RunTimeSetFormProperties) ApplyFormProperties();
}

void TCLForm::ApplySkinData() {
    TCLEngine* engine = EngineInstance();
    if (!engine || !engine->SkinData()) return;
    if (!dynamic_cast<TWinControl*>(Owner())) throw EInvalidCast("Invalid class typecast");
    SetComponentsSkinData(Owner(), engine->SkinData(), true);
}

void TCLForm::ApplyLanguageData() {
    TCLEngine* engine = EngineInstance();
    if (!engine || !engine->LanguageData()) return;
    if (!dynamic_cast<TWinControl*>(Owner())) throw EInvalidCast("Invalid class typecast");
    for (int i = 0; i < Owner()->ComponentCount(); ++i) {
        TComponent* c = Owner()->Components(i);
        // Exactly the translator class: descendants wire themselves.
        if (typeid(*c) != typeid(TCLMultiLang)) continue;
        auto* lang = static_cast<TCLMultiLang*>(c);
        if (!lang->LanguageData()) lang->SetLanguageData(engine->LanguageData());
    }
}

void TCLForm::ApplyFormProperties() {
    auto* form = dynamic_cast<TForm*>(Owner());
    if (!form) return;
    CenterFormOn(form, MainWindowForm() != form ? MainWindowForm() : nullptr);
}

// ---------------------------------------------------------------------------

TCLWebBanner::TCLWebBanner(TComponent* AOwner) : TEmbeddedBrowser(AOwner) {
    TUserInterfaceOptions options = UserInterfaceOptions();
    options.insert(DontUse3DBorders);
    SetUserInterfaceOptions(options);
}

TCLWebBanner::~TCLWebBanner() {
    if (!FUrlString.empty())
        if (TCLEngine* engine = EngineInstance()) engine->DownloadtoCacheCancel(FUrlString);
}

void TCLWebBanner::Loaded() {
    TEmbeddedBrowser::Loaded();
    if (HasState(csDesigning)) return;
    if (!FBannerName.empty()) UpdateBanner();
    InstallBeforeNavigate();
}

void TCLWebBanner::InstallBeforeNavigate() {
    OnBeforeNavigate2 = [this](TObject* ASender, TWebDocument* pDisp, OleVariant& URL,
                               OleVariant& Flags, OleVariant& TargetFrameName, OleVariant& PostData,
                               OleVariant& Headers, bool& Cancel) {
        BannerBeforeNavigate2(ASender, pDisp, AnyText(URL), AnyInt(Flags), AnyText(TargetFrameName),
                              AnyText(PostData), AnyText(Headers), Cancel);
    };
}

void TCLWebBanner::BannerBeforeNavigate2(TObject* ASender, void* pDisp, const std::string& URL,
                                         int Flags, const std::string& TargetFrameName,
                                         const std::string& PostData, const std::string& Headers,
                                         bool& Cancel) {
    if (TCLEngine* engine = EngineInstance())
        engine->WebBeforeNavigate2(ASender, pDisp, URL, Flags, TargetFrameName, PostData, Headers,
                                   Cancel);
    if (OnUserBeforeNavigate2)
        OnUserBeforeNavigate2(ASender, pDisp, URL, Flags, TargetFrameName, PostData, Headers,
                              Cancel);
}

std::string TCLWebBanner::CacheFileOf(const std::string& RemoteURL) {
    std::string name = RemoteURL;
    for (char& c : name)
        if (c == '/' || c == ':' || c == '\\' || c == '?' || c == '&' || c == '=') c = '_';
    TCLSettings* settings = SettingsInstance();
    return CombinePath(settings->UserDataPath() + "Banners", name);
}

void TCLWebBanner::UpdateBanner() {
    InstallBeforeNavigate();
    TCLSettings* settings = SettingsInstance();
    std::string address;
    const std::string remote = settings->GetSettingString("Banner." + FBannerName + ".RemoteURL");
    std::string cacheFile;
    if (!remote.empty()) {
        cacheFile = CacheFileOf(remote);
        if (FileExists(cacheFile)) address = cacheFile;
    }
    if (address.empty())
        address = StringReplace(settings->GetSettingString("Banner." + FBannerName + ".URL"),
                                "%exepath%", GetAppFolderNoSlash(), rfReplaceAll | rfIgnoreCase);
    FURL = address;
    // A file of this machine is shown through its address.
    if (!address.empty() && address.front() == '/')
        Navigate("file://" + address);
    else if (!address.empty())
        Navigate(address);
    if (!remote.empty() && address != cacheFile) {
        TCLEngine* engine = EngineInstance();
        if (!engine) return;
        if (!FUrlString.empty()) engine->DownloadtoCacheCancel(FUrlString);
        engine->DownloadtoCache(remote, cacheFile, nullptr);
        FUrlString = remote;
    }
}
