// The mail sender: one message with recipients, subject, body and
// attachments handed to the desktop's mail program ("xdg-email", started
// with its arguments one by one, never through a shell), on a thread of its
// own.
#pragma once

#include "classlib/classes.h"
#include "classlib/strings.h"
#include "classlib/thread.h"
#include "platform/win/types.h"

#include <memory>
#include <string>
#include <vector>

// The results of a send: 0 success, 1 cancelled, 2 general failure (also
// when no mail program is there), 6 access denied, 11 attachment not found.
constexpr int MAPI_SUCCESS = 0;
constexpr int MAPI_E_USER_ABORT = 1;
constexpr int MAPI_E_FAILURE = 2;
constexpr int MAPI_E_ACCESS_DENIED = 6;
constexpr int MAPI_E_ATTACHMENT_NOT_FOUND = 11;
// Posted to the owner's window when a send fails with MAPI_E_FAILURE.
constexpr UINT WM_MAIL_FAILED = 0x500;

std::string MapiErrorText(int Code);

// The attachment files and copies handed to the mail program so far; they
// are removed when the program ends (or by RemoveMailFiles).
std::vector<std::string> MailFilesKept();
void RemoveMailFiles();

class TWbMapiMail : public TComponent {
public:
    explicit TWbMapiMail(TComponent* AOwner);
    ~TWbMapiMail() override;

    std::string Subject;
    std::string Body;
    TStrings* Recipients() const { return FRecipients.get(); }
    void SetRecipients(const TStrings* Value);
    TStrings* Attachments() const { return FAttachments.get(); }
    void SetAttachments(const TStrings* Value);
    TStrings* AttachmentNames() const { return FAttachmentNames.get(); }
    void SetAttachmentNames(const TStrings* Value);
    bool EditDialog = true;
    bool ResolveNames = false;
    bool RequestReceipt = false;
    std::string SenderName;
    std::string SenderAddress;
    int LastError = 0;

    // Hands the message to a thread that sends it and frees this component;
    // the attachment files are deleted when the program ends. True at once.
    // The component belongs to that thread from then on.
    bool Send();

    // The program and arguments the message becomes; attachments shown under
    // another name are copied to that name in StagingFolder first.
    std::vector<std::string> MailCommand(const std::string& StagingFolder) const;
    // Sends on the calling thread and answers the result code; the
    // attachment files stay (copies under other names until the program ends).
    int SendNow();

private:
    std::unique_ptr<TStringList> FRecipients;
    std::unique_ptr<TStringList> FAttachments;
    std::unique_ptr<TStringList> FAttachmentNames;
};

class TSendMailThread : public TThread {
public:
    explicit TSendMailThread(TWbMapiMail* AMapiMail);

protected:
    void Execute() override;

private:
    TWbMapiMail* WbMapiMail;
    HWND FOwnerWindow = 0;
};
