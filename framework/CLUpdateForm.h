// The update check: one request to the maker's update page, whose answer
// says whether a newer version exists and may refresh the site addresses
// and patterns; the window shows the result when there is one to show.
#pragma once

#include "classlib/forms.h"
#include "classlib/sysutils.h"
#include "classlib/timer.h"
#include "skin/controls/SkinCtrls.h"

#include <cstddef>
#include <string>
#include <vector>

class TSingleDownloader;
class TCLForm;
class TspSkinnedForm;

// The private message that shows the result from the message loop.
constexpr UINT WM_CL_UPDATE_SHOW = 1026;

// An answer longer than this is no answer.
constexpr std::size_t MaxUpdateAnswerBytes = 64 * 1024;
constexpr std::size_t MaxUpdateValueBytes = 4096;

// What an update answer asks of the settings: only the site's addresses and
// extraction patterns, the maker's web pages and banners may change; paths,
// program names and anything that runs never do.
bool UpdateSettingAllowed(const std::string& Name, const std::string& Value);

struct TUpdateAnswer {
    bool Accepted = false; // the magic word matched and every change is allowed
    int Result = 0;        // 0 also when absent or not a number
    std::string Info;
    std::string Page;
    std::vector<std::pair<std::string, std::string>> Changes; // setting name, value
};
// Reads an answer; one that is too long, holds a NUL byte, or asks for a
// change that is not allowed is not accepted, and then changes nothing.
TUpdateAnswer ParseUpdateAnswer(const std::string& Text, const std::string& MagicWord);

class TfrmCLUpdateForm : public TForm {
public:
    explicit TfrmCLUpdateForm(TComponent* AOwner);
    ~TfrmCLUpdateForm() override;

    void StartUpdate(bool AShowModal, bool AShowConnecting, bool ADoUpdate, bool AProcess,
                     bool AAutoClose);
    void StartAutoClose();
    void WndProc(TMessage& Message) override;

    bool Updating() const { return FUpdating; }
    const std::string& Info() const { return FInfo; }
    const std::string& URL() const { return FURL; }
    int DelaySeconds() const { return FDelaySeconds; }

    TspSkinPanel *pnLogo, *pnInfo, *pnOkCancel, *pnOK, *pnProcess;
    TspSkinLinkImage* imgLogo;
    TspSkinTextLabel* lbInfo;
    TspSkinStdLabel *lblTimer, *lbProcess;
    TspSkinCheckRadioBox* cbAutoCheckUpdate;
    TspSkinButton *btnOK, *btnCancel, *btnOK2, *btnCancelProcess;
    TSingleDownloader* sdDownload;
    TTimer* tmrTimer;
    TspSkinnedForm* spSkinnedForm;
    TCLForm* CLForm;

private:
    void FormCreate();
    void AnswerArrived(const std::string& Text);
    void DownloadError();
    void ShowResult();
    void StoreAutoCheck();
    void TimerTick();
    void CloseDialog();

    bool FUpdating = false;
    std::string FInfo;
    std::string FURL;
    TDateTime FStartTime = 0;
    int FDelaySeconds = 5;
    bool FShowModal = false;
    bool FShowConnecting = false;
    bool FDoUpdate = false;
    bool FProcess = false;
    bool FAutoClose = false;
};
