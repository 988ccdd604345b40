// The application's shared vocabulary (the task record, the link actions, the
// main window's current state, the task comment) and the glue that turns a
// finished download into a tagged MP3.
#pragma once

#include "classlib/classes.h"
#include "classlib/strings.h"
#include "classlib/thread.h"
#include "media/FFEncode.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TDownloadItem;
class TMultiDownloader;

enum EURLACTION : std::uint8_t {
    UA_NONE = 0,
    UA_PLAY = 1,
    UA_DOWNLOAD = 2,
    UA_FLIPPAGE = 4,
    UA_SEARCH = 5,
};

struct TUrlInfo {
    EURLACTION Action = UA_NONE;
    std::string Id;
    std::string SC_Key;
    std::string Title;
    int Long = 0;
    std::string SavePath;
    int Page = 0;
    std::string ConvertType;
    std::string Popularity;
    int PId = 0;
    std::string TempPath;
    std::string Artist;
    std::string Album;
    int Bitrate = 0;
};

class TCurrentInfo : public TObject {
public:
    TCurrentInfo();
    ~TCurrentInfo() override;

    // Rebuilds MDInfo from the settings; false (after the "MsgBox.InfoGetting"
    // warning) when "SearchKeyURL" is empty.
    bool GetMDInfo();

    std::string DownloadListFileName;
    std::unique_ptr<TStringList> MDInfo;
    int Page = 0;
    int PID = 0;
    std::string Keyword;
    std::string FlvURL;
    TUrlInfo URLInfo;
    int FlashPlayerWidth = 800;
    int FlashPlayerHeight = 70;
};

using TOnConvertFinished = std::function<void(const std::string& aFileName)>;

// The fourteen comment lines of a task (an empty value leaves no line).
void WriteTaskComment(TStrings* Comment, const TUrlInfo& Info);
// The record back from a comment; missing numbers read as 0, "Bitrate" as 128.
TUrlInfo ReadTaskComment(const TStrings* Comment);

// A video id the application puts into addresses and page scripts: 1 to 64
// letters, digits, "_" or "-".
bool IsValidVideoId(const std::string& Id);

// Every HTML character reference (named, decimal, hexadecimal) replaced by
// its character, in one pass, so a reference the text spells out ("&amp;amp;")
// is decoded once only. Unknown names stay as they are.
std::string ReplaceHtmlEntities(const std::string& Text);
// The text with & < > " ' written as references, for pages.
std::string HtmlEscape(const std::string& Text);

// Output options of an audio conversion. A length of 0 or below means the
// whole input (no limit).
void MakeAudioOutputOptions(const std::string& OutputFile, const std::string& ConvertType,
                            int LengthSeconds, int BitrateKbps, TOutputOptions& Options);

// Converts one file synchronously, raising OnTerminate as the encoder does.
// True when the task finished; otherwise no output file is left behind.
// A failure to load the media libraries shows "MsgBox.AVLibLoadFailed".
bool ConvertFile(const std::string& InputFile, const std::string& OutputFile,
                 const std::string& ConvertType, int Bitrate, int LengthSeconds,
                 const TEncoderTerminateEvent& OnTerminate);

// Writes title, artist and album into the file's ID3v1 and ID3v2 tags,
// keeping its other tag fields. False when the file is missing or a tag
// cannot be written.
bool WriteID3Tags(const std::string& FileName, const std::string& Title, const std::string& Artist,
                  const std::string& Album);

// The tag values of one task, taken on the main thread.
struct TTagValues {
    std::string Title;
    std::string Artist;
    std::string Album;
};

// Writes the tags of a converted file on a thread of its own, then raises
// the event there with the file name. Frees itself.
class TFreeEncoderThread : public TThread {
public:
    TFreeEncoderThread(std::string aFileName, TTagValues aTags,
                       TOnConvertFinished aOnConvertFinishedEvent);

protected:
    void Execute() override;

private:
    std::string FFileName;
    TTagValues FTags;
    TOnConvertFinished FOnConvertFinishedEvent;
};

// The queue's download-finished step for one item: converts the arrived file
// to the task's output (on the calling, main thread) and starts the tagging
// thread. On failure the item is marked failed once the queue has finished
// with it. OnConvertFinished runs on the tagging thread.
bool ConvertDownloadedTask(TMultiDownloader* Queue, TDownloadItem* Item,
                           const std::string& FileName, TOnConvertFinished OnConvertFinished);
