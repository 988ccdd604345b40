// TCLForm: sits on a secondary window and, once the window is loaded, hands
// its skinned parts and its translator the engine's skin data and language
// data, so such windows need no wiring of their own. TCLWebBanner: an
// embedded browser showing a banner page named by the settings, with a
// cached copy of a remote banner in the user's data folder.
#pragma once

#include "browser/EmbeddedBrowser.h"
#include "classlib/forms.h"

#include <functional>
#include <string>
#include <vector>

class TCLForm;
class TspSkinData;
class TspSkinLinkImage;
class TspSkinTextLabel;
class TspSkinPanel;
class TspSkinnedForm;

// The shape of the engine's before-navigate handler.
using TBeforeNavigate2Event =
    std::function<void(TObject* ASender, void* pDisp, const std::string& URL, int Flags,
                       const std::string& TargetFrameName, const std::string& PostData,
                       const std::string& Headers, bool& Cancel)>;

class TCLForm : public TComponent {
public:
    explicit TCLForm(TComponent* AOwner) : TComponent(AOwner) {}

    void Loaded() override;
    void ApplySkinData();
    void ApplyLanguageData();
    void ApplyFormProperties();

    bool RuntimeSetLanguageData = false;
    bool RuntimeSetSkinData = false;
    bool RunTimeSetFormProperties = false;
};

// A component's properties of type TspSkinData, each as a getter and a
// setter: TCLForm fills those that are unassigned. The skinned controls,
// menus, the form-skinning component and the message dialog are known;
// other classes add theirs.
struct TSkinDataProperty {
    std::function<bool(TComponent*)> Applies;
    std::function<TspSkinData*(TComponent*)> Get;
    std::function<void(TComponent*, TspSkinData*)> Set;
};
void RegisterSkinDataProperty(TSkinDataProperty Property);
// Gives Data to the skin data properties of Owner's components: to every one,
// or only to those still unassigned.
void SetComponentsSkinData(TComponent* Owner, TspSkinData* Data, bool OnlyUnassigned);

// Window placement helpers of the framework's dialogs.
void SetFormClientSize(TForm* Form, int ClientWidth, int ClientHeight);
void CenterFormOn(TForm* Form, TForm* Over); // the screen when Over is null
TForm* MainWindowForm();
// Construction helpers of the same dialogs: a skinned panel of the form
// without border or caption, aligned, of the given size; and the form's
// skinning component with a TCLForm that hands the dialog the engine's skin
// and language data.
TspSkinPanel* AddDialogPanel(TForm* Form, const std::string& Name, TAlign Align, int Width,
                             int Height);
// The dialog's logo picture, filling its panel.
TspSkinLinkImage* AddDialogLogo(TForm* Form, TWinControl* Panel);
// The dialog's wrapping information text (lbInfo) on its panel.
TspSkinTextLabel* AddDialogInfo(TForm* Form, TWinControl* Panel, int Left, int Top, int Width,
                                int Height);
// Loads the logo from the program's res\images folder; false when the file is
// missing or holds no picture.
bool LoadDialogLogo(TspSkinLinkImage* Image, const std::string& FileName);
// The skinning components of a dialog of a fixed size (the About and Update
// dialogs): caption buttons for the system menu only.
void AddDialogSkinning(TForm* Form, TspSkinnedForm*& Skinned, TCLForm*& CL);

class TCLWebBanner : public TEmbeddedBrowser {
public:
    explicit TCLWebBanner(TComponent* AOwner);
    ~TCLWebBanner() override;

    void Loaded() override;
    void UpdateBanner();

    const std::string& BannerName() const { return FBannerName; }
    void SetBannerName(const std::string& Value) { FBannerName = Value; }
    const std::string& URL() const { return FURL; }
    void SetURL(const std::string& Value) { FURL = Value; }
    // The address being fetched into the cache.
    const std::string& CachingURL() const { return FUrlString; }

    // The before-navigate handler of the banner's user; the engine sees
    // every navigation first.
    TBeforeNavigate2Event OnUserBeforeNavigate2;

    // The cache file of a remote banner address.
    static std::string CacheFileOf(const std::string& RemoteURL);

private:
    void InstallBeforeNavigate();
    void BannerBeforeNavigate2(TObject* ASender, void* pDisp, const std::string& URL, int Flags,
                               const std::string& TargetFrameName, const std::string& PostData,
                               const std::string& Headers, bool& Cancel);

    std::string FBannerName;
    std::string FUrlString;
    std::string FURL;
};
