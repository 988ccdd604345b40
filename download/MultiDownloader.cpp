#include "download/MultiDownloader.h"

#include "classlib/inifiles.h"
#include "classlib/sysutils.h"
#include "download/SingleDownloader.h"
#include "platform/win/queue.h"

#include <algorithm>
#include <chrono>

// ---------------------------------------------------------------------------
// Transfer thread

THttpDownloadThread::THttpDownloadThread(const std::string& aAcceptTypes, const std::string& aAgent,
                                         const std::string& aURL, const std::string& aFileName,
                                         const std::string& aUserName, const std::string& aPassword,
                                         const std::string& aPostQuery, const std::string& aReferer,
                                         bool aBinaryData, bool aUseCache, TProgress aProgress,
                                         TStateChange aStateChange, bool aToFile,
                                         std::shared_ptr<TTransferLink> aLink,
                                         THttpCharset aCharset)
    : TThread(true), FTToFile(aToFile), FTProgress(std::move(aProgress)),
      FTStateChange(std::move(aStateChange)), FLink(std::move(aLink)) {
    FreeOnTerminate = true;
    THttpTransfer& t = FTransfer;
    t.AcceptTypes = aAcceptTypes;
    t.Agent = aAgent;
    t.URL = aURL;
    t.FileName = aFileName;
    t.UserName = aUserName;
    t.Password = aPassword;
    t.PostQuery = aPostQuery;
    t.Referer = aReferer;
    t.BinaryData = aBinaryData;
    t.UseCache = aUseCache;
    t.ToFile = aToFile;
    t.Charset = aCharset;
    t.QueueLog = true;
}

THttpDownloadThread::~THttpDownloadThread() = default;

void THttpDownloadThread::Progress(std::int64_t total, std::int64_t read) {
    Synchronize([this, total, read] {
        if (!FTProgress || FLink->Cancelled()) return;
        FTProgress(total, read);
        if (FTStateChange && !FLink->Cancelled()) FTStateChange(KDownloading);
    });
}

void THttpDownloadThread::Execute() {
    TThreadAliveMark alive;
    THttpTransfer& t = FTransfer;
    t.Terminated = [this] { return Terminated() || FLink->Cancelled(); };
    t.Log = [this](const std::string& line) { FLink->Log(line); };
    if (t.ToFile) {
        t.TempFileName = MakeTransferTempName(t.FileName, &ErrorText);
        if (t.TempFileName.empty()) {
            FTResult = false;
            return;
        }
    }
    RunReportingProgress(t, BytesToRead, BytesReaded,
                         [this](std::int64_t total, std::int64_t read) { Progress(total, read); });
    FTFileSize = t.FileSize;
    FTStringResult = std::move(t.StringResult);
    ErrorText = t.ErrorText;
    FTResult = t.Result && !t.Terminated();
}

// ---------------------------------------------------------------------------
// Item

TDownloadItem::TDownloadItem()
    : FComment(std::make_unique<TStringList>()),
      FFLVGet(std::make_unique<TYoutubeFLVGet>(nullptr)) {
    FFLVGet->OnURIGot = [this](const std::string& aURL, int) { ResolverGot(aURL); };
    FFLVGet->OnBadResponse = [this](const std::string& aMsg) { ResolverBad(aMsg); };
}

TDownloadItem::~TDownloadItem() {
    FFLVGet.reset(); // stops its fetches before anything else goes
    FDestroying = true;
    FComment.reset();
    Abort();
    DropHeldFinish();
}

void TDownloadItem::SetDownloadState(EDownloadState aState) {
    if (aState == FState || FDestroying) return;
    FState = aState;
    if (OnStateChanged) OnStateChanged(this, URL, aState);
    if (aState == KAbort) SetDownloadState(KReady);
}

void TDownloadItem::Fail(const std::string& aReason) {
    ErrorText = aReason;
    SetDownloadState(KFailed);
}

void TDownloadItem::HoldFinish(std::function<void()> OnDrop) {
    FHeld = true;
    FOnDropHeld = std::move(OnDrop);
}

void TDownloadItem::DropHeldFinish() {
    if (!FHeld) return;
    FHeld = false;
    // Moved out first: the handler may start the item again.
    std::function<void()> drop = std::move(FOnDropHeld);
    FOnDropHeld = nullptr;
    if (drop) drop();
}

void TDownloadItem::EndHeldFinish(bool Succeeded, const std::string& Reason) {
    if (!FHeld) return;
    FHeld = false;
    FOnDropHeld = nullptr;
    if (Succeeded)
        SetDownloadState(KFinished);
    else
        Fail(Reason);
}

void TDownloadItem::Download() {
    ErrorText.clear();
    if (URL.empty()) {
        Fail("The task has no address");
        return;
    }
    if (FURLOrg.empty()) {
        FURLOrg = URL;
        if (FList) FList->ItemStarted(this);
    }
    const std::string folder = ExtractFileDir(FileName);
    if (!folder.empty() && !DirectoryExists(folder)) ForceDirectories(folder);
    if (RedirectOptions.YesINeedRedirect) DownloadType = KString;
    StartTransfer(DownloadType == KFile);
}

void TDownloadItem::StartTransfer(bool toFile) {
    if (FThread) return;
    FAbort = false;
    auto link = std::make_shared<TTransferLink>(FOnLog);
    auto* thread = new THttpDownloadThread(
        AcceptTypes, Agent, URL, FileName, UserName, Password, PostQuery, Referer, BinaryData,
        UseCache,
        [this](std::int64_t total, std::int64_t read) {
            if (OnProgress) OnProgress(this, URL, total, read);
        },
        [this](EDownloadState state) { SetDownloadState(state); }, toFile, link, FHttpCharset);
    thread->OnTerminate = [this, link](TObject* Sender) {
        if (!link->Cancelled()) TransferDone(Sender);
    };
    FThread = thread;
    FLink = link;
    SetDownloadState(KBeforeConnecting);
    thread->Start(); // from here on the thread may free itself at any time
    if (WaitThread) {
        while (FThread == thread)
            PumpOnce();
    }
}

void TDownloadItem::TransferDone(TObject* Sender) {
    if (!FThread || Sender != FThread) return;
    // Called from the thread's own OnTerminate, so it is still alive here.
    auto* thread = static_cast<THttpDownloadThread*>(Sender);
    Log("Finished");
    FResult = thread->FTResult;
    const bool toFile = thread->ToFile();
    if (FResult && toFile) {
        FHeld = false;
        if (OnDoneFile && thread->FTFileSize > 0)
            OnDoneFile(this, URL, FileName, thread->FTFileSize);
    } else if (FResult) {
        ResultString = thread->FTStringResult;
        if (OnDoneString) {
            Log(ResultString);
            if (!RedirectOptions.YesINeedRedirect) OnDoneString(this, URL, ResultString);
        }
    } else {
        if (!thread->ErrorText.empty()) Log(thread->ErrorText);
        ErrorText = thread->ErrorText.empty() ? "The transfer failed" : thread->ErrorText;
        if (OnError && !FAbort) {
            FThread = nullptr;
            FLink.reset();
            OnError(this);
            return;
        }
    }
    FThread = nullptr;
    FLink.reset();
    // The done event's handler took the finish over; it ends it later.
    if (FHeld) return;
    if (RedirectOptions.YesINeedRedirect) {
        RedirectStep();
        return;
    }
    if (FResult)
        SetDownloadState(KFinished);
    else
        Fail(ErrorText);
}

void TDownloadItem::RedirectStep() {
    RedirectOptions.YesINeedRedirect = false;
    switch (RedirectOptions.RedirectTheme) {
    case KDirect:
        URL = RedirectOptions.RedirectURL;
        StartTransfer(true);
        break;
    case KYouTube: {
        const std::size_t eq = URL.find('=');
        FYouTubeId = eq == std::string::npos ? URL : URL.substr(eq + 1);
        FFLVGet->YoutubeID = FYouTubeId;
        FResolving = true;
        FFLVGet->Get();
        break;
    }
    case KCustom: {
        TRedirOptions options;
        if (OnRedirectEvent) OnRedirectEvent(this, ResultString, URL, options);
        RedirectOptions = options;
        Download();
        break;
    }
    }
}

void TDownloadItem::ResolverGot(const std::string& aURL) {
    if (!FResolving) return; // the item was stopped meanwhile
    FResolving = false;
    if (aURL.empty()) {
        Fail("The video page gave no media address");
        return;
    }
    URL = aURL;
    StartTransfer(true);
}

void TDownloadItem::ResolverBad(const std::string& aMsg) {
    // The watch-page method retries with the info page after this answer.
    if (!FResolving || FFLVGet->RetryPending()) return;
    FResolving = false;
    Fail(aMsg.empty() ? "The video page could not be read" : aMsg);
}

void TDownloadItem::StopTransfer(EDownloadState newState) {
    if (FState == KFinished) return;
    const bool wasBusy = FThread != nullptr || FResolving || FHeld;
    DropHeldFinish();
    SetDownloadState(newState);
    if (FThread) {
        FLink->Cancel(); // the thread stops at its next check and reports nothing
        FLink.reset();
        FThread = nullptr;
        FAbort = true;
    }
    if (FResolving) {
        FResolving = false;
        if (FFLVGet) FFLVGet->Downloader()->Abort();
    }
    if (wasBusy && !FURLOrg.empty()) {
        URL = FURLOrg;
        RedirectOptions = OrgRedirectOptions;
    }
}

void TDownloadItem::Abort() {
    StopTransfer(KAbort);
}

void TDownloadItem::Reset() {
    StopTransfer(KReady);
}

void TDownloadItem::ReDownload() {
    DropHeldFinish();
    if (!FURLOrg.empty()) URL = FURLOrg;
    RedirectOptions = OrgRedirectOptions;
    SetDownloadState(KReady);
}

// ---------------------------------------------------------------------------
// List

TDownloadList::TDownloadList(TMultiDownloader* aParent) : FParent(aParent) {}

TDownloadList::~TDownloadList() {
    ClearAll();
}

bool TDownloadList::Append(TDownloadItem* aItem) {
    if (!aItem) return false;
    auto [first, last] = FByURLOrg.equal_range(aItem->URL);
    for (auto it = first; it != last; ++it)
        if (it->second->DownloadState() != KFinished) return false;
    if (IsSaveFileNameExists(aItem->FileName)) return false;
    AddItem(aItem);
    return true;
}

void TDownloadList::AddItem(TDownloadItem* aItem) {
    aItem->OnProgress = [this](TObject* s, const std::string& u, std::int64_t t, std::int64_t r) {
        ItemProgress(s, u, t, r);
    };
    aItem->OnDoneFile = [this](TObject* s, const std::string& u, const std::string& f,
                               std::int64_t n) { ItemDoneFile(s, u, f, n); };
    aItem->OnDoneString = [this](TObject* s, const std::string& u, const std::string& r) {
        ItemDoneString(s, u, r);
    };
    aItem->OnStateChanged = [this](TObject* s, const std::string& u, EDownloadState st) {
        ItemStateChanged(s, u, st);
    };
    aItem->OnError = OnErrorEvent;
    aItem->OnRedirectEvent = OnRedirectEvent;
    if (FParent) {
        aItem->FOnGetYouTubeInfo = FParent->OnGetYouTubeInfo;
        aItem->FOnLog = FParent->OnLog;
        aItem->FLVGet()->OnBeforeGet = FParent->OnBeforeFlvGet;
    }
    aItem->FList = this;
    FByFileName.emplace(UpperCase(aItem->FileName), aItem);
    if (!aItem->URLOrg().empty()) FByURLOrg.emplace(aItem->URLOrg(), aItem);
    FItems.AddObject(Trim(aItem->URL), aItem);
    Changed();
}

void TDownloadList::Changed() {
    // A copy: the handler may replace the list's events.
    const TNotifyEvent handler = OnChanged;
    if (handler) handler(this);
}

void TDownloadList::ItemStarted(TDownloadItem* aItem) {
    FByURLOrg.emplace(aItem->URLOrg(), aItem);
}

namespace {
void EraseFromIndex(std::unordered_multimap<std::string, TDownloadItem*>& index,
                    const std::string& key, const TDownloadItem* item) {
    auto [first, last] = index.equal_range(key);
    for (auto it = first; it != last; ++it)
        if (it->second == item) {
            index.erase(it);
            return;
        }
}
} // namespace

TDownloadItem* TDownloadList::Items(int aIndex) const {
    if (aIndex < 0 || aIndex >= ItemCount()) return nullptr;
    return static_cast<TDownloadItem*>(FItems.Objects(aIndex));
}

int TDownloadList::IndexOf(const TDownloadItem* aItem) const {
    return aItem ? FItems.IndexOfObject(aItem) : -1;
}

int TDownloadList::GetIndexByURL(const std::string& aURL, bool aIncludeFinished) const {
    for (int i = 0; i < ItemCount(); ++i) {
        const TDownloadItem* item = Items(i);
        if ((aIncludeFinished || item->DownloadState() != KFinished) && item->URL == aURL) return i;
    }
    return -1;
}

int TDownloadList::GetIndexByORGURL(const std::string& aURL, bool aIncludeFinished) const {
    for (int i = 0; i < ItemCount(); ++i) {
        const TDownloadItem* item = Items(i);
        if ((aIncludeFinished || item->DownloadState() != KFinished) && item->URLOrg() == aURL)
            return i;
    }
    return -1;
}

bool TDownloadList::IsSaveFileNameExists(const std::string& aFileName) const {
    return FByFileName.count(UpperCase(aFileName)) != 0;
}

int TDownloadList::GetIdleIndex() const {
    int running = 0;
    for (int i = 0; i < ItemCount(); ++i) {
        if (running >= MaxTasks) return -1;
        const EDownloadState state = Items(i)->DownloadState();
        if (state == KReady) return i;
        if (state != KFinished && state != KFailed) ++running;
    }
    return -1;
}

void TDownloadList::Remove(TDownloadItem* aItem) {
    RemoveByIndex(IndexOf(aItem));
}

void TDownloadList::RemoveByIndex(int aIndex) {
    TDownloadItem* item = Items(aIndex);
    if (!item) return;
    FItems.Delete(aIndex);
    EraseFromIndex(FByFileName, UpperCase(item->FileName), item);
    if (!item->URLOrg().empty()) EraseFromIndex(FByURLOrg, item->URLOrg(), item);
    item->FList = nullptr;
    delete item;
    Changed();
}

void TDownloadList::ClearAll() {
    for (int i = ItemCount() - 1; i >= 0; --i)
        RemoveByIndex(i);
}

void TDownloadList::ClearCompleted() {
    for (int i = ItemCount() - 1; i >= 0; --i)
        if (Items(i)->DownloadState() == KFinished) RemoveByIndex(i);
}

void TDownloadList::ClearInCompleted() {
    for (int i = ItemCount() - 1; i >= 0; --i)
        if (Items(i)->DownloadState() != KFinished) RemoveByIndex(i);
}

void TDownloadList::Exchange(int aIndexA, int aIndexB) {
    if (!Items(aIndexA) || !Items(aIndexB) || aIndexA == aIndexB) return;
    FItems.Exchange(aIndexA, aIndexB);
    Changed();
}

void TDownloadList::MoveUp(int aIndex) {
    if (aIndex > 0) Exchange(aIndex, aIndex - 1);
}

void TDownloadList::MoveDown(int aIndex) {
    if (aIndex + 1 < ItemCount()) Exchange(aIndex, aIndex + 1);
}

void TDownloadList::ItemProgress(TObject* Sender, const std::string&, std::int64_t TotalSize,
                                 std::int64_t Readed) {
    auto* item = dynamic_cast<TDownloadItem*>(Sender);
    const int index = IndexOf(item);
    if (index < 0) return;
    if (TotalSize > 0) item->ProgressPercent = static_cast<int>(Readed * 100 / TotalSize);
    // Each event is called through a copy: a handler may resume the queue,
    // which hands the list the queue's events again.
    const TOnQueueProgressEvent handler = OnProgress;
    if (!item->RedirectOptions.YesINeedRedirect && handler) handler(this, index, TotalSize, Readed);
}

void TDownloadList::ItemDoneFile(TObject* Sender, const std::string&, const std::string& FileName,
                                 std::int64_t FileSize) {
    const int index = IndexOf(dynamic_cast<TDownloadItem*>(Sender));
    const TOnFinishedEvent handler = OnFinishedEvent;
    if (index >= 0 && handler) handler(this, index, FileName, "", FileSize);
}

void TDownloadList::ItemDoneString(TObject* Sender, const std::string&, const std::string& Result) {
    const int index = IndexOf(dynamic_cast<TDownloadItem*>(Sender));
    const TOnFinishedEvent handler = OnFinishedEvent;
    if (index >= 0 && handler)
        handler(this, index, "", Result, static_cast<std::int64_t>(Result.size()));
}

void TDownloadList::ItemStateChanged(TObject* Sender, const std::string&, EDownloadState aState) {
    const int index = IndexOf(dynamic_cast<TDownloadItem*>(Sender));
    const TOnStateChangedEvent handler = OnStateChanged;
    if (index >= 0 && handler) handler(this, index, aState);
    if (aState == KFinished && FParent) FParent->Resume();
    if (index >= 0) Changed();
}

void TDownloadList::SaveToFile(const std::string& aFileName) const {
    TMemIniFile ini(aFileName);
    ini.WriteInteger("Global", "ItemCount", ItemCount());
    for (int i = 0; i < ItemCount(); ++i) {
        const TDownloadItem* item = Items(i);
        const std::string section = IntToStr(i);
        ini.WriteString(section, "URL", FItems.Strings(i));
        ini.WriteString(section, "FileName", item->FileName);
        ini.WriteString(section, "Caption", item->Caption);
        ini.WriteString(section, "Comment", item->Comment()->CommaText());
        ini.WriteInteger(section, "State", item->DownloadState());
        ini.WriteString(section, "INeedRedirect",
                        item->OrgRedirectOptions.YesINeedRedirect ? "1" : "0");
        ini.WriteInteger(section, "RedirectTheme", item->OrgRedirectOptions.RedirectTheme);
        ini.WriteString(section, "RedirectURL", item->OrgRedirectOptions.RedirectURL);
    }
    ini.UpdateFile();
}

void TDownloadList::LoadFromFile(const std::string& aFileName) {
    if (!FileExists(aFileName)) return;
    TMemIniFile ini(aFileName);
    // A damaged count never makes more items than the file has sections.
    TStringList sections;
    ini.ReadSections(&sections);
    const int count = std::min(ini.ReadInteger("Global", "ItemCount", 0), sections.Count());
    for (int i = 0; i < count; ++i) {
        const std::string section = IntToStr(i);
        if (!ini.SectionExists(section)) continue;
        auto item = std::make_unique<TDownloadItem>();
        item->URL = ini.ReadString(section, "URL", "");
        item->FileName = ini.ReadString(section, "FileName", "");
        item->Caption = ini.ReadString(section, "Caption", "");
        item->Comment()->SetCommaText(ini.ReadString(section, "Comment", ""));
        if (ini.ReadInteger(section, "State", KReady) == KFinished) {
            item->FState = KFinished;
            item->ProgressPercent = 100;
        } else {
            item->FState = KReady;
        }
        TRedirOptions options;
        options.YesINeedRedirect = ini.ReadBool(section, "INeedRedirect", false);
        const int theme = ini.ReadInteger(section, "RedirectTheme", KYouTube);
        options.RedirectTheme =
            theme >= KDirect && theme <= KCustom ? static_cast<ERedirectTheme>(theme) : KYouTube;
        options.RedirectURL = ini.ReadString(section, "RedirectURL", "");
        item->RedirectOptions = options;
        item->OrgRedirectOptions = options;
        if (FParent) item->YoutubeVideoFmt = FParent->YouTubeVideoFmt;
        if (Append(item.get())) item.release();
    }
}

// ---------------------------------------------------------------------------
// Queue

TMultiDownloader::TMultiDownloader(TComponent* AOwner)
    : TComponent(AOwner), FList(std::make_unique<TDownloadList>(this)) {}

TMultiDownloader::~TMultiDownloader() {
    OnProgress = nullptr;
    OnStateChanged = nullptr;
    OnFinishedEvent = nullptr;
    OnListChanged = nullptr;
    FList->OnProgress = nullptr;
    FList->OnStateChanged = nullptr;
    FList->OnFinishedEvent = nullptr;
    FList->OnChanged = nullptr;
    FList.reset();
}

void TMultiDownloader::CopyEvents() {
    FList->OnProgress = OnProgress;
    FList->OnStateChanged = OnStateChanged;
    FList->OnFinishedEvent = OnFinishedEvent;
    FList->OnErrorEvent = OnErrorEvent;
    FList->OnRedirectEvent = OnRedirectEvent;
    FList->OnChanged = OnListChanged;
}

TDownloadList* TMultiDownloader::DownloadList() {
    CopyEvents();
    return FList.get();
}

bool TMultiDownloader::Append(const std::string& aURL, const std::string& aSaveFileName,
                              bool aNeedRedirect, ERedirectTheme aRedirectTheme,
                              const std::string& aRedirectURL) {
    auto item = std::make_unique<TDownloadItem>();
    item->URL = aURL;
    item->FileName = aSaveFileName;
    item->YoutubeVideoFmt = YouTubeVideoFmt;
    item->RedirectOptions = TRedirOptions{aNeedRedirect, aRedirectTheme, aRedirectURL};
    item->OrgRedirectOptions = item->RedirectOptions;
    item->FLVGet()->OnBeforeGet = OnBeforeFlvGet;
    // The list hands its handlers to the item, so they must be there first.
    CopyEvents();
    const bool added = FList->Append(item.get());
    if (added) item.release();
    return added;
}

void TMultiDownloader::Resume() {
    CopyEvents();
    for (int index = FList->GetIdleIndex(); index >= 0; index = FList->GetIdleIndex()) {
        TDownloadItem* item = FList->Items(index);
        item->Download();
        if (item->DownloadState() == KReady) break; // it did not start; never spin on it
    }
    int unfinished = 0;
    for (int i = 0; i < FList->ItemCount(); ++i) {
        TDownloadItem* item = FList->Items(i);
        // An item whose file has arrived is not sent back to wait.
        if (item->DownloadState() < KFinished && ++unfinished > FList->MaxTasks &&
            !item->FinishHeld())
            item->Reset();
    }
}

void TMultiDownloader::StopAll() {
    for (int i = 0; i < FList->ItemCount(); ++i)
        FList->Items(i)->Abort();
}

bool TMultiDownloader::IsDownloading() const {
    for (int i = 0; i < FList->ItemCount(); ++i) {
        const EDownloadState state = FList->Items(i)->DownloadState();
        if (state != KReady && state != KFinished && state != KFailed) return true;
    }
    return false;
}

int TMultiDownloader::UnfinishedTasksCount() const {
    int count = 0;
    for (int i = 0; i < FList->ItemCount(); ++i)
        if (FList->Items(i)->DownloadState() != KFinished) count++;
    return count;
}
