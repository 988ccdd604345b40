// The about dialog: the logo, the version and copyright lines, the
// translator of the current language, and links to the maker's pages.
#pragma once

#include "classlib/forms.h"
#include "skin/controls/SkinCtrls.h"

#include <string>

class TCLForm;
class TspSkinnedForm;

class TfrmCLAboutForm : public TForm {
public:
    explicit TfrmCLAboutForm(TComponent* AOwner);

    void FormCreate();
    // Hands every navigation of an embedded browser to the engine.
    void WebBeforeNavigate2(TObject* ASender, void* pDisp, const std::string& URL, int Flags,
                            const std::string& TargetFrameName, const std::string& PostData,
                            const std::string& Headers, bool& Cancel);

    TspSkinPanel *pnLogo, *pnInfo, *pnBottom;
    TspSkinLinkImage* imgLogo;
    TspSkinTextLabel* lbInfo;
    TspSkinLinkLabel *btnEULA, *btnPrivaryPolicy, *lblSupport;
    TspSkinButton* btnOK;
    TspSkinnedForm* spSkinnedForm;
    TCLForm* CLForm;
};
