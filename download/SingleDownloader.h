// One HTTP or HTTPS request at a time, into text or into a file, on a worker
// thread; the outcome arrives through events on the main thread.
#pragma once

#include "classlib/classes.h"
#include "classlib/strings.h"
#include "classlib/thread.h"
#include "download/DownloaderDef.h"

#include <cstdint>
#include <memory>
#include <string>

class TSingleDownloader;

class TSingleDownloaderThread : public TThread {
public:
    // Copies the request from the component; starts with Start().
    TSingleDownloaderThread(const TSingleDownloader& source, bool toFile,
                            std::shared_ptr<TTransferLink> link);
    ~TSingleDownloaderThread() override;

    // The progress event, used only on the main thread while the link holds.
    TOnProgressEvent FProgress;

    bool FTResult = false;
    std::int64_t FTFileSize = 0;
    std::string FTStringResult;
    std::int64_t BytesToRead = 0;
    std::int64_t BytesReaded = 0;
    bool FHttpSSL = false;
    std::string ErrorText;
    int StatusCode = 0;

protected:
    void Execute() override;

private:
    void ReportProgress(std::int64_t total, std::int64_t read);

    THttpTransfer FTransfer;
    std::shared_ptr<TTransferLink> FLink;
};

class TSingleDownloader : public TComponent {
public:
    explicit TSingleDownloader(TComponent* AOwner);
    ~TSingleDownloader() override;

    std::string AcceptTypes = "*/*";
    std::string Agent;
    bool BinaryData = false;
    std::string URL;
    bool UseCache = false;
    std::string FileName;
    std::string UserName;
    std::string Password;
    std::string ContentType;
    std::string PostQuery;
    std::string Referer;
    bool WaitThread = false;
    TOnProgressEvent OnProgress;
    TOnDoneFileEvent OnDoneFile;
    TOnDoneStringEvent OnDoneString;
    TNotifyEvent OnError;
    // Raised on the worker thread; must not wait for the main thread.
    TOnLog OnLog;
    THttpCharset HttpCharset = KAnsi;

    void GetString();
    void GetFile();
    void Abort();
    void SetPostValues(const TStrings& slValues);
    void SetUploadFiles(const TStrings& slValues, const TStrings& slFiles);

    bool Result() const { return FResult; }
    bool Busy() const { return FThread != nullptr; }
    // Of the last request that ended: why it failed (empty after a success)
    // and the answer's HTTP status (0 when none came).
    const std::string& LastError() const { return FLastError; }
    int StatusCode() const { return FStatusCode; }

private:
    void StartRequest(bool toFile);
    void ThreadDone(TObject* Sender);

    // The running request: identity only, never dereferenced once started.
    const TObject* FThread = nullptr;
    std::shared_ptr<TTransferLink> FLink;
    bool FResult = false;
    bool FAbort = false;
    bool FToFile = false;
    std::string FLastError;
    int FStatusCode = 0;
};

// A multipart/form-data body of name=value fields and name=file parts.
class TFilePostGen : public TObject {
public:
    static constexpr const char* Boundary = "---------------------------989989989";

    // Reads each file whole; EFOpenError when one cannot be read.
    void Make(const TStrings& slValues, const TStrings& slFiles);

    std::string FPostData;
    std::string FHeaders;
};
