// The settings dialog: start with the desktop session, the automatic update
// check, the download list on new tasks, restarting unfinished tasks, the
// number of simultaneous downloads and clearing remembered answers.
#pragma once

#include "classlib/forms.h"
#include "skin/controls/SkinBoxCtrls.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/controls/SkinTabs.h"

#include <string>

class TspSkinnedForm;
class TMultiDownloader;
class TCLMultiLang;

class TfrmSettings : public TForm {
public:
    // Queue: the queue whose task limit the dialog edits (none: the main window's).
    explicit TfrmSettings(TComponent* AOwner, TMultiDownloader* Queue = nullptr);

    void LoadOptions();
    void SaveOptions();
    static void SetAutoRun(bool On);

    void btnOkClick(TObject* Sender);
    void btnClearShowAgainFlagClick(TObject* Sender);

    // The spin edit's value (1 to 10).
    int MaxTasksValue() const;
    void SetMaxTasksValue(int Value);

    TspSkinPageControl* pcSettings;
    TspSkinTabSheet* tsGeneral;
    TspSkinCheckRadioBox *cbAutoRun, *cbAutoUpdate, *cbShowAddTask, *cbRestart;
    TspSkinStdLabel *lblMaxTasks, *lblTempPath;
    TspSkinSpinEdit* edtMaxTasks;
    TspSkinButton *btnClearShowAgainFlag, *btnBrowse, *btnOk, *btnCancel;
    TspSkinnedForm* spSkinnedForm;
    // The dialog's translator (section "TfrmSettings").
    TCLMultiLang* CLMultiLang;

private:
    TMultiDownloader* FQueue;
};

// The desktop session's autostart entry of the program: a desktop entry
// named after the setting "APP.Name" in the user's autostart folder.
std::string AutostartEntryFileName();
