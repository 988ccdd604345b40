// The about dialog of the media components: the component's name and
// version, the components' title, a notice line and their web address.
#pragma once

#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"

#include <string>

class TfrmAbout : public TForm {
public:
    explicit TfrmAbout(TComponent* AOwner);

    void FormCreate();
    void Label4Click();
    // The address a click on the link opens.
    std::string LinkAddress() const;

    TImage* Image1;
    TLabel *Label1, *Label2, *Label3, *Label4;
    TButton* btnOK;
};

// Builds and shows the dialog modally, freeing it afterwards. With an icon
// resource id the picture becomes a framed 48 x 48 box.
void ShowAboutDialog(const std::string& ComponentName, const std::string& Version,
                     int IconResourceId = 0);
// Lets tests see (and end) the dialog while it shows.
void SetAboutDialogHook(std::function<void(TfrmAbout&)> Hook);
