// What the single-request downloader and the queue share: the body-to-text
// rule, the event types, address splitting and the HTTP transfer itself.
#pragma once

#include "classlib/classes.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

// How the bytes of a fetched body become text.
enum THttpCharset : std::uint8_t {
    KAnsi = 0,    // text in the ANSI code page
    KUnicode = 1, // UTF-16 little-endian; an odd last byte is dropped
    KUTF8 = 2,    // UTF-8
};

// The body as UTF-8 text.
std::string HttpBodyToText(const std::string& body, THttpCharset charset);

using TOnProgressEvent =
    std::function<void(TObject* Sender, std::int64_t iTotalSize, std::int64_t iReaded)>;
using TOnDoneFileEvent =
    std::function<void(TObject* Sender, const std::string& strFileName, std::int64_t iFileSize)>;
using TOnDoneStringEvent = std::function<void(TObject* Sender, const std::string& strResult)>;
using TOnLog = std::function<void(const std::string& aLog)>;

// An address split for a request: an optional "http://" or "https://"
// (either case), the host with an optional ":port", and the object name from
// the first "/" on ("/" when there is none).
struct THttpAddress {
    bool Secure = false;
    std::string Host;
    std::uint16_t Port = 80;
    std::string ObjectName;
};
// false when the host is empty or the port is not a number from 1 to 65535.
bool SplitHttpAddress(const std::string& url, THttpAddress& address);

// The largest body a text fetch takes: far above any real page, far below
// what would exhaust memory.
constexpr std::int64_t MaxTextBodyBytes = 8 * 1024 * 1024;

// The largest file a transfer writes from an answer of unknown length.
constexpr std::int64_t MaxUnsizedFileBytes = std::int64_t(4) << 30;

// One HTTP request, run on the calling (worker) thread. A file transfer
// writes the body to TempFileName and moves it over FileName only when the
// whole body arrived with a success status: the announced length, or, for an
// answer sent in chunks without one, every chunk up to the last; the
// temporary file is removed in every case. A text fetch fails when its body
// breaks off, falls short of the announced length or grows beyond
// MaxTextBodyBytes.
struct THttpTransfer {
    std::string AcceptTypes;
    std::string Agent;
    std::string URL;
    std::string FileName;
    std::string TempFileName;
    std::string UserName;
    std::string Password;
    std::string ContentType; // header lines of a POST; empty sends the form type
    std::string PostQuery;
    std::string Referer;
    bool BinaryData = false;
    bool UseCache = false;
    bool ToFile = false;
    bool QueueLog = false; // the queue's fuller trace
    THttpCharset Charset = KAnsi;
    std::int64_t MaxUnsizedBytes = MaxUnsizedFileBytes;

    std::function<bool()> Terminated;
    // After every block: the announced size (0 when unknown) and the bytes so far.
    std::function<void(std::int64_t total, std::int64_t read)> OnBlock;
    std::function<void(const std::string&)> Log;

    bool Result = false;
    // The Content-Length, 0 when not sent; for a whole answer sent in chunks,
    // the bytes that came.
    std::int64_t FileSize = 0;
    std::int64_t BytesReaded = 0;
    int StatusCode = 0; // of the answer, 0 when none came
    std::string StringResult;
    std::string ErrorText;

    void Run();

private:
    bool Stopped() const { return Terminated && Terminated(); }
    void Trace(const std::string& line) const {
        if (Log) Log(line);
    }
    void RunSteps();
};

// The post body as sent: text that is valid UTF-8 in the ANSI code page,
// anything else (a multipart body with file bytes) as it is.
std::string PostBodyBytes(const std::string& postQuery);

// Creates a new empty temporary file beside FileName, "<name>.<hex>.part",
// of its own so that two transfers to one target never share it; the name
// part is shortened so the whole name stays within 255 bytes. Empty when
// none can be created, with the reason in *errorText.
std::string MakeTransferTempName(const std::string& FileName, std::string* errorText = nullptr);
// Whether Name (a file name without folder) is one MakeTransferTempName
// makes for FileName, or the copy a tag writer makes of one ("~" after it).
bool IsTransferTempNameOf(const std::string& Name, const std::string& FileName);
// Removes the temporary files of FileName that a transfer or a conversion
// killed half way left beside it; the number removed.
int RemoveTransferTemps(const std::string& FileName);

// Moves a finished temporary file over the target, replacing it in one step
// (copying through a sibling when the two lie on different file systems).
// The target is untouched on failure.
bool MoveFileIntoPlace(const std::string& tempFile, const std::string& target,
                       std::string* errorText = nullptr);

// What a request's owner shares with its self-freeing worker thread. Once
// the owner lets go of a request it only cancels the link: it never touches
// the thread object again, so a thread that has already freed itself is no
// danger, and nothing the thread does afterwards reaches the owner.
class TTransferLink {
public:
    explicit TTransferLink(TOnLog log = nullptr) : FLog(std::move(log)) {}
    // Waits for a log line being written, then silences the thread.
    void Cancel();
    bool Cancelled() const { return FCancelled.load(); }
    // Writes a log line unless cancelled (from the worker thread).
    void Log(const std::string& line);

private:
    std::atomic<bool> FCancelled{false};
    std::mutex FLock;
    TOnLog FLog;
};

// Worker threads of the downloaders still alive (they free themselves), so a
// caller can wait until every transfer has let go of its objects.
int DownloadThreadsAlive();
// Counts its owner among the living threads.
class TThreadAliveMark {
public:
    TThreadAliveMark();
    ~TThreadAliveMark();
    TThreadAliveMark(const TThreadAliveMark&) = delete;
    TThreadAliveMark& operator=(const TThreadAliveMark&) = delete;
};

// Runs the main thread's waiting messages and synchronised calls once, for
// code that waits on the main thread for a worker to finish; a WM_QUIT met
// on the way is left for the loop that owns it.
void PumpOnce();

// Runs a transfer on its worker thread, keeping BytesToRead and BytesReaded
// up to date and passing progress on at most every 50 ms, and always for the
// last block, so the main thread is not flooded.
void RunReportingProgress(THttpTransfer& Transfer, std::int64_t& BytesToRead,
                          std::int64_t& BytesReaded,
                          const std::function<void(std::int64_t Total, std::int64_t Read)>& Report);
