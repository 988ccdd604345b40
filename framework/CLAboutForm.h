// The about dialog: the logo, the version and copyright lines, the
// translator of the current language, and links to the maker's pages.
#pragma once

#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"

#include <string>

class TCLForm;
class TspSkinnedForm;

// A label that opens its address in the default browser when clicked.
class TCLLinkLabel : public TLabel {
public:
    explicit TCLLinkLabel(TComponent* AOwner);
    void Click() override;
    std::string URL;
};

class TfrmCLAboutForm : public TForm {
public:
    explicit TfrmCLAboutForm(TComponent* AOwner);

    void FormCreate();
    // Hands every navigation of an embedded browser to the engine.
    void WebBeforeNavigate2(TObject* ASender, void* pDisp, const std::string& URL, int Flags,
                            const std::string& TargetFrameName, const std::string& PostData,
                            const std::string& Headers, bool& Cancel);

    TPanel *pnLogo, *pnInfo, *pnBottom;
    TImage* imgLogo;
    TLabel* lbInfo;
    TCLLinkLabel *btnEULA, *btnPrivaryPolicy, *lblSupport;
    TButton* btnOK;
    TspSkinnedForm* spSkinnedForm;
    TCLForm* CLForm;
};
