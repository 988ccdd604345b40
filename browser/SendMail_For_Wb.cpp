#include "browser/SendMail_For_Wb.h"

#include "classlib/controls.h"
#include "classlib/sysutils.h"
#include "platform/os/file.h"
#include "platform/os/folders.h"
#include "platform/os/process.h"
#include "platform/win/queue.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <mutex>

namespace {

std::string upperPrefix(const std::string& s, size_t n) {
    std::string p = s.substr(0, n);
    for (char& c : p)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return p;
}

std::string fileNameOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string stagingFolder() {
    static std::atomic<int> serial{0};
    auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return os::TempFolder() + "/lantrove-mail-" + std::to_string(now) + "-" +
           std::to_string(serial++);
}

// Files handed to the mail program: the composer it starts reads them after
// it returns, so they go when the program ends.
struct KeptFiles {
    std::mutex lock;
    std::vector<std::string> files, folders;
    ~KeptFiles() { RemoveAll(); }
    void RemoveAll() {
        std::lock_guard<std::mutex> g(lock);
        for (const std::string& f : files)
            os::RemoveFile(f);
        // Inner folders first.
        for (auto it = folders.rbegin(); it != folders.rend(); ++it)
            os::RemoveDirectory(*it);
        files.clear();
        folders.clear();
    }
};

KeptFiles& keptFiles() {
    static KeptFiles kept;
    return kept;
}

void keepFile(const std::string& file) {
    std::lock_guard<std::mutex> g(keptFiles().lock);
    keptFiles().files.push_back(file);
}

void keepFolder(const std::string& folder) {
    std::lock_guard<std::mutex> g(keptFiles().lock);
    keptFiles().folders.push_back(folder);
}

} // namespace

std::vector<std::string> MailFilesKept() {
    std::lock_guard<std::mutex> g(keptFiles().lock);
    return keptFiles().files;
}

void RemoveMailFiles() {
    keptFiles().RemoveAll();
}

std::string MapiErrorText(int Code) {
    switch (Code) {
    case 1:
        return "User cancelled request";
    case 2:
        return "General MAPI failure";
    case 3:
        return "Logon failure";
    case 4:
        return "Disk full";
    case 5:
        return "Insufficient memory";
    case 6:
        return "Access denied";
    case 8:
        return "Too many sessions";
    case 9:
        return "Too many files open";
    case 10:
        return "Too many recipients";
    case 11:
        return "Attachment not found";
    case 12:
        return "Failed to open attachment";
    case 13:
        return "Failed to write attachment";
    case 14:
        return "Unknown recipient";
    case 15:
        return "Invalid recipient type";
    case 16:
        return "No messages";
    case 17:
        return "Invalid message";
    case 18:
        return "Text too large.";
    case 19:
        return "Invalid session";
    case 20:
        return "Type not supported";
    case 21:
        return "Ambiguous recipient";
    case 22:
        return "Message in use";
    case 23:
        return "Network failure";
    case 24:
        return "Invalid edit fields";
    case 25:
        return "Invalid recipients";
    case 26:
        return "Not supported";
    default:
        return "Unknown Error Code: " + std::to_string(Code);
    }
}

TWbMapiMail::TWbMapiMail(TComponent* AOwner)
    : TComponent(AOwner), FRecipients(std::make_unique<TStringList>()),
      FAttachments(std::make_unique<TStringList>()),
      FAttachmentNames(std::make_unique<TStringList>()) {
    EditDialog = true;
}

TWbMapiMail::~TWbMapiMail() = default;

void TWbMapiMail::SetRecipients(const TStrings* Value) {
    if (Value) FRecipients->Assign(*Value);
}
void TWbMapiMail::SetAttachments(const TStrings* Value) {
    if (Value) FAttachments->Assign(*Value);
}
void TWbMapiMail::SetAttachmentNames(const TStrings* Value) {
    if (Value) FAttachmentNames->Assign(*Value);
}

std::vector<std::string> TWbMapiMail::MailCommand(const std::string& StagingFolder) const {
    std::vector<std::string> argv{"xdg-email", "--utf8"};
    std::vector<std::string> to;
    for (int i = 0; i < FRecipients->Count(); ++i) {
        std::string line = FRecipients->Strings(i);
        if (upperPrefix(line, 4) == "BCC:") {
            argv.push_back("--bcc");
            argv.push_back(Trim(line.substr(4)));
        } else if (upperPrefix(line, 3) == "CC:") {
            argv.push_back("--cc");
            argv.push_back(Trim(line.substr(3)));
        } else if (!line.empty()) {
            to.push_back(line);
        }
    }
    if (!Subject.empty()) {
        argv.push_back("--subject");
        argv.push_back(Subject);
    }
    if (!Body.empty()) {
        argv.push_back("--body");
        argv.push_back(Body);
    }
    for (int i = 0; i < FAttachments->Count(); ++i) {
        std::string path = FAttachments->Strings(i);
        std::string shown =
            i < FAttachmentNames->Count() ? FAttachmentNames->Strings(i) : fileNameOf(path);
        // The mail program shows a file's own name: a file shown under
        // another name goes as a copy of that name.
        if (!shown.empty() && shown != fileNameOf(path) && shown.find('/') == std::string::npos &&
            !StagingFolder.empty()) {
            std::string copy = StagingFolder + "/" + std::to_string(i) + "/" + shown;
            std::string bytes;
            if (os::MakeDirectories(StagingFolder + "/" + std::to_string(i)) &&
                os::ReadWholeFile(path, bytes, int64_t(1) << 31) &&
                os::WriteFileAtomic(copy, bytes, nullptr)) {
                path = copy;
                keepFolder(StagingFolder);
                keepFolder(StagingFolder + "/" + std::to_string(i));
                keepFile(copy);
            }
        }
        argv.push_back("--attach");
        argv.push_back(path);
    }
    for (const std::string& r : to)
        argv.push_back(r);
    return argv;
}

int TWbMapiMail::SendNow() {
    for (int i = 0; i < FAttachments->Count(); ++i)
        if (!os::IsFile(FAttachments->Strings(i))) return MAPI_E_ATTACHMENT_NOT_FOUND;
    // Copies made under other names stay for the composer until the program ends.
    int code = os::RunProcessAndWait(MailCommand(stagingFolder()));
    switch (code) {
    case 0:
        return MAPI_SUCCESS;
    case 2:
        return MAPI_E_ATTACHMENT_NOT_FOUND;
    case 5:
        return MAPI_E_ACCESS_DENIED;
    default:
        // Not started, no mail program (3), or the program failed.
        return MAPI_E_FAILURE;
    }
}

bool TWbMapiMail::Send() {
    auto* thread = new TSendMailThread(this);
    thread->FreeOnTerminate = true;
    thread->Start();
    return true;
}

TSendMailThread::TSendMailThread(TWbMapiMail* AMapiMail) : TThread(true), WbMapiMail(AMapiMail) {
    if (auto* owner = dynamic_cast<TWinControl*>(AMapiMail->Owner()))
        FOwnerWindow = owner->HandleAllocated() ? owner->Handle() : 0;
    // The thread owns the component from here on.
    if (AMapiMail->Owner()) AMapiMail->Owner()->RemoveComponent(AMapiMail);
}

void TSendMailThread::Execute() {
    std::vector<std::string> files;
    for (int i = 0; i < WbMapiMail->Attachments()->Count(); ++i)
        files.push_back(WbMapiMail->Attachments()->Strings(i));
    try {
        ReturnValue = WbMapiMail->SendNow();
    } catch (...) {
        ReturnValue = MAPI_E_FAILURE;
    }
    // The attachments go, but only when the program ends: the composer the
    // mail program started reads them after it returned.
    for (const std::string& f : files)
        keepFile(f);
    if (ReturnValue == MAPI_E_FAILURE && FOwnerWindow)
        PostMessage(FOwnerWindow, WM_MAIL_FAILED, 0, 0);
    delete WbMapiMail;
    WbMapiMail = nullptr;
}
