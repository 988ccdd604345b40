// The application's shared vocabulary (the task record, the link actions, the
// main window's current state, the task comment) and the glue that turns a
// finished download into a tagged MP3.
#pragma once

#include "classlib/classes.h"
#include "classlib/strings.h"
#include "classlib/thread.h"
#include "media/FFEncode.h"

#include <atomic>
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

// The tag values of one task, taken on the main thread.
struct TTagValues {
    std::string Title;
    std::string Artist;
    std::string Album;
};

// How a conversion ended: the audio file in place (its name, which is the
// one asked for unless a file took that meanwhile) or why not.
struct TConvertResult {
    bool Succeeded = false;
    std::string FileName;
    std::string Reason;
};
using TOnConverted = std::function<void(const TConvertResult& Result)>;

// Converts InputFile to an audio file on a task thread of its own encoder
// (the main thread goes on), writes the tags, and only then gives the file
// the name OutputFile, or the next free "(n)" name when a file is there by
// then: until that moment it is a temporary file beside it, so no user's
// file is touched and no unfinished file ever carries the final name.
// OnTerminate gets the encoder's terminate events (task, then -1), OnDone
// the outcome, both on the main thread. The number of the conversion; 0
// when it cannot start, after OnDone has said why (a failure to load the
// media libraries also shows "MsgBox.AVLibLoadFailed").
int ConvertFile(const std::string& InputFile, const std::string& OutputFile,
                const std::string& ConvertType, int Bitrate, int LengthSeconds,
                const TTagValues& Tags, TOnConverted OnDone,
                TEncoderTerminateEvent OnTerminate = nullptr);
// Stops a conversion; its OnDone is not called and its files are removed.
void CancelConversion(int Id);
// Conversions (and their tag writers) still running.
int ConversionsRunning();
// Starts loading the media libraries on a thread of their own when they are
// not loaded yet, so that the conversion after a download does not wait for
// them on the main thread (called when a download starts). A failure is left
// to the conversion to report.
void PrepareConversions();
// Stops every conversion and waits until each, and each tag writer, has
// ended and removed its temporary files (at exit).
void StopConversions();

// Writes title, artist and album into the file's ID3v1 and ID3v2 tags,
// keeping its other tag fields. False when the file is missing or a tag
// cannot be written.
bool WriteID3Tags(const std::string& FileName, const std::string& Title, const std::string& Artist,
                  const std::string& Album);

// Writes the tags of a converted file on a thread of its own.
class TFreeEncoderThread : public TThread {
public:
    TFreeEncoderThread(std::string aFileName, TTagValues aTags);
    ~TFreeEncoderThread() override;
    bool TagsWritten() const { return FWritten.load(); }

protected:
    void Execute() override;

private:
    std::string FFileName;
    TTagValues FTags;
    std::atomic<bool> FWritten{false};
};

// The queue's download-finished step for one item: holds the item's finish
// and converts the arrived file to the task's output in the background. The
// item becomes finished once its MP3 is tagged and in place (its "SavePath"
// then names it), or failed with the reason; OnConvertFinished then gets
// the file, on the main thread. Stopping the item stops the conversion.
// False when the conversion could not start (the item fails shortly after).
bool ConvertDownloadedTask(TMultiDownloader* Queue, TDownloadItem* Item,
                           const std::string& FileName, TOnConvertFinished OnConvertFinished);
