#include "download/SingleDownloader.h"

#include "classlib/urlencode.h"
#include "platform/os/folders.h"
#include "platform/win/queue.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

namespace {

// A new empty file "sg<hex>.tmp" in the temporary folder.
std::string MakeTempFileName() {
    static std::mutex lock;
    static std::mt19937_64 gen{std::random_device{}()};
    const std::string folder = os::TempFolder();
    for (int i = 0; i < 1000; ++i) {
        std::uint64_t n;
        {
            std::lock_guard<std::mutex> g(lock);
            n = gen();
        }
        char name[32];
        std::snprintf(name, sizeof name, "sg%08X.tmp", static_cast<unsigned>(n & 0xFFFFFFFFu));
        const std::string path = folder + name;
        if (std::FILE* f = std::fopen(path.c_str(), "wbx")) {
            std::fclose(f);
            return path;
        }
    }
    return {};
}

} // namespace

// ---------------------------------------------------------------------------

TSingleDownloaderThread::TSingleDownloaderThread(const TSingleDownloader& source, bool toFile,
                                                 std::shared_ptr<TTransferLink> link)
    : TThread(true), FLink(std::move(link)) {
    FreeOnTerminate = true;
    FProgress = source.OnProgress;
    THttpTransfer& t = FTransfer;
    t.AcceptTypes = source.AcceptTypes;
    t.Agent = source.Agent;
    t.URL = source.URL;
    t.FileName = source.FileName;
    t.UserName = source.UserName;
    t.Password = source.Password;
    t.ContentType = source.ContentType;
    t.PostQuery = source.PostQuery;
    t.Referer = source.Referer;
    t.BinaryData = source.BinaryData;
    t.UseCache = source.UseCache;
    t.Charset = source.HttpCharset;
    t.ToFile = toFile;
    THttpAddress address;
    FHttpSSL = SplitHttpAddress(source.URL, address) && address.Secure;
}

TSingleDownloaderThread::~TSingleDownloaderThread() = default;

void TSingleDownloaderThread::ReportProgress(std::int64_t total, std::int64_t read) {
    Synchronize([this, total, read] {
        if (FProgress && !FLink->Cancelled()) FProgress(this, total, read);
    });
}

void TSingleDownloaderThread::Execute() {
    TThreadAliveMark alive;
    THttpTransfer& t = FTransfer;
    if (t.ToFile) t.TempFileName = MakeTempFileName();
    t.Terminated = [this] { return Terminated() || FLink->Cancelled(); };
    t.Log = [this](const std::string& line) { FLink->Log(line); };
    if (t.ToFile && t.TempFileName.empty()) {
        ErrorText = "Cannot create a temporary file in " + os::TempFolder();
        FLink->Log(ErrorText);
        FTResult = false;
        return;
    }
    RunReportingProgress(
        t, BytesToRead, BytesReaded,
        [this](std::int64_t total, std::int64_t read) { ReportProgress(total, read); });
    FTFileSize = t.FileSize;
    FTStringResult = std::move(t.StringResult);
    ErrorText = t.ErrorText;
    StatusCode = t.StatusCode;
    FTResult = t.Result && !t.Terminated();
}

// ---------------------------------------------------------------------------

TSingleDownloader::TSingleDownloader(TComponent* AOwner) : TComponent(AOwner) {}

TSingleDownloader::~TSingleDownloader() {
    Abort();
}

void TSingleDownloader::GetString() {
    StartRequest(false);
}

void TSingleDownloader::GetFile() {
    StartRequest(true);
}

void TSingleDownloader::StartRequest(bool toFile) {
    if (FThread) return;
    FAbort = false;
    FToFile = toFile;
    auto link = std::make_shared<TTransferLink>(OnLog);
    auto* thread = new TSingleDownloaderThread(*this, toFile, link);
    thread->OnTerminate = [this, link](TObject* Sender) {
        if (!link->Cancelled()) ThreadDone(Sender);
    };
    FThread = thread;
    FLink = link;
    thread->Start(); // from here on the thread may free itself at any time
    if (WaitThread) {
        while (FThread)
            PumpOnce();
    }
}

void TSingleDownloader::ThreadDone(TObject* Sender) {
    if (!FThread || Sender != FThread) return;
    // Called from the thread's own OnTerminate, so it is still alive here.
    auto* thread = static_cast<TSingleDownloaderThread*>(Sender);
    FThread = nullptr;
    FLink.reset();
    FResult = thread->FTResult;
    FStatusCode = thread->StatusCode;
    FLastError = FResult                     ? std::string()
                 : thread->ErrorText.empty() ? std::string("The request failed")
                                             : thread->ErrorText;
    if (FResult && FToFile) {
        if (OnDoneFile) OnDoneFile(this, FileName, thread->FTFileSize);
    } else if (FResult) {
        if (OnDoneString) OnDoneString(this, thread->FTStringResult);
    } else if (!FAbort && OnError) {
        OnError(this);
    }
}

void TSingleDownloader::Abort() {
    if (!FThread) return;
    FLink->Cancel(); // the thread stops at its next check and reports nothing
    FLink.reset();
    FThread = nullptr;
    FAbort = true;
}

void TSingleDownloader::SetPostValues(const TStrings& slValues) {
    std::string query;
    for (int i = 0; i < slValues.Count(); ++i) {
        if (i > 0) query += '&';
        query += slValues.Names(i) + "=" + FormEncode(slValues.ValueFromIndex(i), TFormBytes::Ansi);
    }
    PostQuery = query;
}

void TSingleDownloader::SetUploadFiles(const TStrings& slValues, const TStrings& slFiles) {
    TFilePostGen gen;
    gen.Make(slValues, slFiles);
    ContentType = gen.FHeaders;
    PostQuery = gen.FPostData;
}

// ---------------------------------------------------------------------------

void TFilePostGen::Make(const TStrings& slValues, const TStrings& slFiles) {
    const std::string boundary = Boundary;
    std::string body;
    for (int i = 0; i < slValues.Count(); ++i) {
        body += "--" + boundary + "\r\n";
        body += "Content-Disposition: form-data; name=\"" + slValues.Names(i) + "\"\r\n\r\n";
        body += FormEncode(slValues.ValueFromIndex(i), TFormBytes::Ansi) + "\r\n";
    }
    for (int i = 0; i < slFiles.Count(); ++i) {
        const std::string fileName = slFiles.ValueFromIndex(i);
        body += "--" + boundary + "\r\n";
        body += "Content-Disposition: form-data; name=\"" + slFiles.Names(i) + "\"; filename=\"" +
                fileName + "\"\r\n";
        if (fileName.empty()) {
            // No file: an empty part.
            body += "Content-Transfer-Encoding: binary\r\n\r\n\r\n";
            continue;
        }
        const std::string ext = UpperCase(ExtractFileExt(fileName));
        if (ext == ".JPG" || ext == ".JPEG")
            body += "Content-Type: image/pjpeg\r\n";
        else if (ext == ".PNG")
            body += "Content-Type: image/x-png\r\n";
        else if (ext == ".PDF")
            body += "Content-Type: application/pdf\r\n";
        else if (ext == ".HTML")
            body += "Content-Type: text/html\r\n";
        body += "\r\n";
        std::ifstream in(fileName, std::ios::binary);
        if (!in) throw EFOpenError("Cannot open file \"" + fileName + "\"");
        std::ostringstream bytes;
        bytes << in.rdbuf();
        body += bytes.str();
        body += "\r\n";
    }
    body += "--" + boundary + "--\r\n";
    FPostData = std::move(body);
    FHeaders = "Content-Type: multipart/form-data; boundary=" + boundary;
}
