// The download queue: items that each fetch one address (after an optional
// redirect step) on their own transfer thread, run several at once within a
// task limit, and report progress, state changes and finished files.
#pragma once

#include "classlib/classes.h"
#include "classlib/strings.h"
#include "classlib/thread.h"
#include "download/DownloaderDef.h"
#include "download/YoutubeFLVGet.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

enum EDownloadState : std::uint8_t {
    KNone = 0,
    KReady = 1,
    KRedirecting = 2,
    KBeforeConnecting = 3,
    KDownloading = 4,
    KFinished = 5,
    KAbort = 6,
    KFailed = 7,
};

enum EDownloadType : std::uint8_t { KFile = 0, KString = 1 };

enum ERedirectTheme : std::uint8_t { KDirect = 0, KYouTube = 1, KCustom = 2 };

struct TRedirOptions {
    bool YesINeedRedirect = false;
    ERedirectTheme RedirectTheme = KDirect;
    std::string RedirectURL;
    friend bool operator==(const TRedirOptions&, const TRedirOptions&) = default;
};

// Item events; Sender is the item that raises them.
using TOnItemProgressEvent = std::function<void(TObject* Sender, const std::string& URL,
                                                std::int64_t TotalSize, std::int64_t Readed)>;
using TOnItemDoneFileEvent = std::function<void(
    TObject* Sender, const std::string& URL, const std::string& FileName, std::int64_t FileSize)>;
using TOnItemDoneStringEvent =
    std::function<void(TObject* Sender, const std::string& URL, const std::string& Result)>;
using TOnItemStateChangedEvent =
    std::function<void(TObject* Sender, const std::string& URL, EDownloadState aState)>;

// Queue events; Sender is the list.
using TOnQueueProgressEvent =
    std::function<void(TObject* Sender, int Index, std::int64_t TotalSize, std::int64_t Readed)>;
using TOnStateChangedEvent =
    std::function<void(TObject* Sender, int Index, EDownloadState CurrentState)>;
using TOnFinishedEvent =
    std::function<void(TObject* Sender, int Index, const std::string& FileName,
                       const std::string& ResultString, std::int64_t ResultLength)>;
using TOnRedirectEvent = std::function<void(TObject* Sender, const std::string& ResultContent,
                                            std::string& URL, TRedirOptions& RedirectOption)>;

// One request of a queue item. Its progress and state callbacks run on the
// main thread; log lines are written from the thread itself.
class THttpDownloadThread : public TThread {
public:
    using TProgress = std::function<void(std::int64_t TotalSize, std::int64_t Readed)>;
    using TStateChange = std::function<void(EDownloadState aState)>;

    // Created suspended: the item sets OnTerminate, then calls Start().
    THttpDownloadThread(const std::string& aAcceptTypes, const std::string& aAgent,
                        const std::string& aURL, const std::string& aFileName,
                        const std::string& aUserName, const std::string& aPassword,
                        const std::string& aPostQuery, const std::string& aReferer,
                        bool aBinaryData, bool aUseCache, TProgress aProgress,
                        TStateChange aStateChange, bool aToFile,
                        std::shared_ptr<TTransferLink> aLink, THttpCharset aCharset);
    ~THttpDownloadThread() override;

    bool ToFile() const { return FTToFile; }

    bool FTResult = false;
    std::int64_t FTFileSize = 0;
    std::string FTStringResult;
    std::int64_t BytesToRead = 0;
    std::int64_t BytesReaded = 0;
    std::string ErrorText;

protected:
    void Execute() override;

private:
    void Progress(std::int64_t total, std::int64_t read);

    THttpTransfer FTransfer;
    bool FTToFile;
    TProgress FTProgress;       // main thread only, while the link holds
    TStateChange FTStateChange; // main thread only, while the link holds
    std::shared_ptr<TTransferLink> FLink;
};

class TDownloadList;
class TMultiDownloader;

class TDownloadItem : public TObject {
public:
    TDownloadItem();
    ~TDownloadItem() override;

    std::string AcceptTypes = "*/*";
    std::string Agent = "MultiDownloader";
    bool BinaryData = false;
    bool UseCache = false;
    bool WaitThread = false;
    std::string URL;
    std::string FileName;
    std::string UserName;
    std::string Password;
    std::string PostQuery;
    std::string Referer;
    std::string Caption;
    std::string ResultString;
    EDownloadType DownloadType = KFile;
    int ProgressPercent = 0;
    TRedirOptions RedirectOptions;
    TRedirOptions OrgRedirectOptions;
    int YoutubeVideoFmt = -1;

    // Why the item last failed, in the transfer's or the resolver's words or
    // its owner's; empty until a failure, cleared when the item starts again.
    std::string ErrorText;

    TStringList* Comment() const { return FComment.get(); }
    TYoutubeFLVGet* FLVGet() const { return FFLVGet.get(); }
    EDownloadState DownloadState() const { return FState; }
    // The address the item started from; empty until it first starts.
    const std::string& URLOrg() const { return FURLOrg; }
    bool Busy() const { return FThread != nullptr || FResolving; }

    TOnItemProgressEvent OnProgress;
    TOnItemDoneFileEvent OnDoneFile;
    TOnItemStateChangedEvent OnStateChanged;
    TOnItemDoneStringEvent OnDoneString;
    TNotifyEvent OnError;
    TOnRedirectEvent OnRedirectEvent;

    void Download();
    void Abort();
    void Reset();
    void ReDownload();
    // Sets the state and raises OnStateChanged (KAbort falls back to KReady).
    void SetDownloadState(EDownloadState aState);

    // Called from the done-file event: the finished step goes on elsewhere
    // (a conversion), and the item keeps its running state until
    // EndHeldFinish. OnDrop runs when the item is stopped, restarted or freed
    // meanwhile; the held step's result then counts for nothing.
    void HoldFinish(std::function<void()> OnDrop);
    bool FinishHeld() const { return FHeld; }
    // Ends a held finish: KFinished, or KFailed with Reason as ErrorText.
    void EndHeldFinish(bool Succeeded, const std::string& Reason = {});

private:
    friend class TDownloadList;

    void StartTransfer(bool toFile);
    void TransferDone(TObject* Sender);
    void StopTransfer(EDownloadState newState);
    void RedirectStep();
    void ResolverGot(const std::string& aURL);
    void ResolverBad(const std::string& aMsg);
    void Fail(const std::string& aReason);
    void DropHeldFinish();
    void Log(const std::string& line) const {
        if (FOnLog) FOnLog(line);
    }

    std::unique_ptr<TStringList> FComment;
    std::unique_ptr<TYoutubeFLVGet> FFLVGet;
    EDownloadState FState = KReady;
    std::string FURLOrg;
    std::string FYouTubeId;
    // The running transfer: identity only, never dereferenced once started.
    const TObject* FThread = nullptr;
    std::shared_ptr<TTransferLink> FLink;
    bool FResult = false;
    bool FAbort = false;
    bool FDestroying = false;
    bool FResolving = false;
    bool FHeld = false;
    std::function<void()> FOnDropHeld;
    TOnLog FOnLog;
    THttpCharset FHttpCharset = KAnsi;
    TOnGetYouTubeInfo FOnGetYouTubeInfo;
    TDownloadList* FList = nullptr; // the list holding the item
};

class TDownloadList : public TObject {
public:
    explicit TDownloadList(TMultiDownloader* aParent);
    ~TDownloadList() override;

    int MaxTasks = 5;
    TOnQueueProgressEvent OnProgress;
    TOnStateChangedEvent OnStateChanged;
    TOnFinishedEvent OnFinishedEvent;
    TNotifyEvent OnErrorEvent;
    TOnRedirectEvent OnRedirectEvent;
    // Items were added, removed or reordered, or one changed its state.
    TNotifyEvent OnChanged;

    // Takes the item (and its ownership) unless it is refused: false then,
    // and the caller still owns it.
    bool Append(TDownloadItem* aItem);
    TDownloadItem* Items(int aIndex) const;
    int ItemCount() const { return FItems.Count(); }
    int IndexOf(const TDownloadItem* aItem) const;
    int GetIndexByURL(const std::string& aURL, bool aIncludeFinished) const;
    int GetIndexByORGURL(const std::string& aURL, bool aIncludeFinished) const;
    bool IsSaveFileNameExists(const std::string& aFileName) const;
    int GetIdleIndex() const;
    void Remove(TDownloadItem* aItem);
    void RemoveByIndex(int aIndex);
    void ClearAll();
    void ClearCompleted();
    void ClearInCompleted();
    void Exchange(int aIndexA, int aIndexB);
    void MoveUp(int aIndex);
    void MoveDown(int aIndex);

    // The list file ("downloadlist.sav"): INI text, section "Global" and one
    // section per item. Saving raises EFCreateError when the file cannot be
    // written; loading a missing or damaged file adds what it can read.
    void SaveToFile(const std::string& aFileName) const;
    void LoadFromFile(const std::string& aFileName);

    TMultiDownloader* Parent() const { return FParent; }

private:
    void ItemProgress(TObject* Sender, const std::string& URL, std::int64_t TotalSize,
                      std::int64_t Readed);
    void ItemDoneFile(TObject* Sender, const std::string& URL, const std::string& FileName,
                      std::int64_t FileSize);
    void ItemDoneString(TObject* Sender, const std::string& URL, const std::string& Result);
    void ItemStateChanged(TObject* Sender, const std::string& URL, EDownloadState aState);
    void Changed();

    friend class TDownloadItem;
    // Appends without the checks, which the caller has made.
    void AddItem(TDownloadItem* aItem);
    void ItemStarted(TDownloadItem* aItem);

    TStringList FItems; // trimmed address -> item
    TMultiDownloader* FParent;
    // Indexes for the checks of Append: items by upper-case file name (file
    // names do not change once an item is listed) and by starting address.
    std::unordered_multimap<std::string, TDownloadItem*> FByFileName;
    std::unordered_multimap<std::string, TDownloadItem*> FByURLOrg;
};

class TMultiDownloader : public TComponent {
public:
    explicit TMultiDownloader(TComponent* AOwner);
    ~TMultiDownloader() override;

    int MaxTasks() const { return FList->MaxTasks; }
    void SetMaxTasks(int Value) { FList->MaxTasks = Value; }
    int YouTubeVideoFmt = -1;
    TOnQueueProgressEvent OnProgress;
    TOnStateChangedEvent OnStateChanged;
    TOnFinishedEvent OnFinishedEvent;
    TNotifyEvent OnErrorEvent;
    TOnRedirectEvent OnRedirectEvent;
    // The list changed: an item was added, removed or moved, or changed state.
    TNotifyEvent OnListChanged;
    TOnGetYouTubeInfo OnGetYouTubeInfo;
    // Raised on the transfer threads; must not wait for the main thread.
    TOnLog OnLog;
    TNotifyEvent OnBeforeFlvGet;

    bool Append(const std::string& aURL, const std::string& aSaveFileName, bool aNeedRedirect,
                ERedirectTheme aRedirectTheme, const std::string& aRedirectURL);
    void Resume();
    void StopAll();
    // Some item is on its way: neither ready, nor finished, nor failed.
    bool IsDownloading() const;
    int UnfinishedTasksCount() const;
    // Copies the queue events into the list first.
    TDownloadList* DownloadList();

private:
    friend class TDownloadList;
    void CopyEvents();

    std::unique_ptr<TDownloadList> FList;
};
