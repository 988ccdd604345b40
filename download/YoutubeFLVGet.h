// Turns a video id into the address of its media file by fetching one of the
// video site's pages and parsing it. Addresses and patterns come from the
// settings, copied in through OnBeforeGet before every resolution.
//
// Every answer arrives on the main thread. A resolution ends with exactly one
// final answer: OnURIGot with the address, or OnBadResponse. The watch-page
// method may raise OnBadResponse once before its get-info retry; during that
// response RetryPending() is true.
#pragma once

#include "classlib/classes.h"
#include "classlib/thread.h"
#include "download/DownloaderDef.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TSingleDownloader;

enum TYoutubeFLVGetMethod : std::uint8_t {
    KFromGetInfo = 0,
    KFromWatch = 1,
    KFromWatch2 = 2,
};

using TOnURLGotEvent = std::function<void(const std::string& aURL, int aBestFMT)>;
using TOnBadResponseEvent = std::function<void(const std::string& aMsg)>;
using TOnGetYouTubeInfo = std::function<void(const std::string& aYoutubeResult)>;

// Fetches one page on its own thread with its own HTTP client and hands the
// text to the main thread. Owned by the resolver that made it.
class TIdhttpDownloadThread : public TThread {
public:
    explicit TIdhttpDownloadThread(const std::string& aURL); // created suspended
    ~TIdhttpDownloadThread() override;

    std::string FURL;
    // Main thread only: the page text (Sender null), or nothing on failure.
    TOnDoneStringEvent FOnDoneString;
    // Main thread only: the fetch failed.
    std::function<void()> FOnFailed;

protected:
    void Execute() override;
};

class TYoutubeFLVGet : public TComponent {
public:
    explicit TYoutubeFLVGet(TComponent* AOwner);
    ~TYoutubeFLVGet() override;

    std::string YoutubeID;
    TYoutubeFLVGetMethod Method = KFromWatch;
    std::string SplitStr = "&";
    bool NeedURLDecode = true;
    std::string YoutubeWatchURI = "http://localhost/watch?v=";
    std::string YoutubeGetInfoURI = "http://localhost/get_video_info?&video_id=";
    std::string YoutubeGetVideoURI = "http://localhost/get_video?asv=3&video_id=";
    std::string YoutubeWatchPattern = "swfHTML(.*)embed>\\\";";
    std::string YoutubeWatchPattern2 = "\\'PLAYER_CONFIG\\': {(.*)}";
    std::string FLVURLFormat = "%s?video_id=%s&t=%s&el=%s&ps=%s&fmt=%s&asv=%s&noflv=%s"
                               "&signature=%s&sver=%s&expire=%s&key=%s";
    TOnURLGotEvent OnURIGot;
    TOnBadResponseEvent OnBadResponse;
    TNotifyEvent OnBeforeGet;

    void Get();

    // The page handler: parses a fetched page by the method in force.
    void PageReceived(const std::string& page);
    // Its parsing step alone: MediaURL() is the address found, empty when
    // none; raises OnBadResponse for a page without a token, never fetches.
    void ParsePage(const std::string& page);
    const std::string& MediaURL() const { return FYoutubeFLVURI; }

    // True only while OnBadResponse is raised for an answer that a retry follows.
    bool RetryPending() const { return FRetryPending; }

    // The internal fetcher (charset KAnsi), for settings such as its agent.
    TSingleDownloader* Downloader() const { return FDownloader.get(); }

private:
    void FetchFailed();
    void FetchGetInfo();
    void StartWatch2();
    void ReleaseThreads(bool all);
    void FormatMapStep(const std::string& map);
    void StreamMapStep(const std::string& map);
    void TokenStep(const std::string& token, const std::string& message);
    void FinalBadResponse(const std::string& message);

    std::unique_ptr<TSingleDownloader> FDownloader;
    std::vector<std::unique_ptr<TIdhttpDownloadThread>> FThreads;
    std::string FYoutubeFLVURI;
    bool FBadResponseRaised = false;
    bool FRetryPending = false;
};

// "%" and two hex digits become that byte; anything else stays. Throws
// EConvertError on a "%" not followed by two hex digits.
std::string PercentDecode(const std::string& text);
