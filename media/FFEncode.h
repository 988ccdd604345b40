// The encoder component: a list of conversion tasks, each one engine with
// the option records of its files, run one after another in the caller's
// thread or on task threads, with the engines' callbacks relayed to events.
#pragma once

#include "classlib/thread.h"
#include "media/FFBaseComponent.h"
#include "media/FFDecode.h"
#include "media/FFmpeg.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The libraries' missing-time value.
constexpr int64_t kNoTime = INT64_MIN;

struct TInputOptions {
    std::string FileName;
    std::string ForceFormat;
    int64_t TimeStart = kNoTime;
    int32_t ProgramID = -1;
    std::string ExtOptions;
    int32_t Tag = 0;
    void* Data = nullptr;
};
using PInputOptions = TInputOptions*;

struct TStreamInfo {
    TDateTime TimeStamp = -1.0;
    int32_t Year = -1;
    int32_t Track = -1;
    std::string Title, Author, Copyright, Comment, Album, Genre;
};

enum TOptionTargetType : uint8_t { ttIgnore = 0, ttVCD = 1, ttSVCD = 2, ttDVD = 3 };
enum TOptionNormType : uint8_t { ntAuto = 0, ntPAL = 1, ntNTSC = 2 };
using TOptionNormDefault = TOptionNormType; // ntPAL or ntNTSC

struct TOutputOptions {
    std::string FileName;
    std::string FileExt;
    std::string ForceFormat;
    int32_t PacketSize = -1;
    int32_t MuxRate = -1;
    float MuxDelay = -1.0f;
    float MuxPreload = -1.0f;
    std::string AudioCodec;
    std::string AudioPreset;
    bool DisableAudio = false;
    int32_t AudioVolume = -1;
    int32_t AudioChannels = -1;
    int32_t AudioSampleRate = -1;
    int32_t AudioBitrate = -1;
    int32_t AudioBitRateTolerance = -1;
    std::string AudioLanguage;
    int32_t AudioSyncMethod = 0;
    std::string AudioTag;
    std::string VideoCodec;
    std::string VideoPreset;
    bool DisableVideo = false;
    std::string FrameRate;
    std::string FrameSize;
    std::string FrameAspectRatio;
    int32_t GroupPictureSize = -1;
    int32_t VideoBitrate = -1;
    int32_t VideoMaxRate = -1;
    int32_t VideoMinRate = -1;
    int32_t VideoBitRateTolerance = -1;
    int32_t VideoBufSize = -1;
    int32_t VideoSyncMethod = -1;
    std::string VideoTag;
    std::string VideoFilters;
    std::string VideoLanguage;
    std::string SubtitleCodec;
    std::string SubtitlePreset;
    bool DisableSubtitle = false;
    std::string SubtitleLanguage;
    bool InputSync = false;
    bool CopyTimestamp = false;
    int64_t TimeStart = kNoTime;
    int64_t TimeLength = kNoTime;
    TStreamInfo Info;
    TOptionTargetType TargetType = ttIgnore;
    TOptionNormType NormType = ntAuto;
    TOptionNormDefault NormDefault = ntPAL;
    bool AudioHook = false;
    bool VideoInputHook = false;
    bool VideoOutputHook = false;
    int32_t VideoHookBitsPixel = 24;
    bool Join = false;
    std::string ExtOptions;
    int32_t Tag = 0;
    void* Data = nullptr;
};
using POutputOptions = TOutputOptions*;

void InitInputOptions(TInputOptions& AOptions);
void InitOutputOptions(TOutputOptions& AOptions);

struct TProgressInfo {
    int32_t TaskIndex = 0;
    int32_t FileIndex = 0;
    int32_t FrameNumber = 0;
    int32_t FPS = 0;
    float Quality = 0;
    float BitRate = 0;
    int64_t CurrentSize = 0;
    int64_t CurrentDuration = 0;
    int64_t TotalDuration = 0;
};
using PProgressInfo = TProgressInfo*;

struct TTerminateInfo {
    int32_t TaskIndex = 0; // -1 in the event that ends a run
    bool Finished = false;
    bool Exception = false;
    std::string ExceptionMsg;
};

struct TPreviewInfo {
    int32_t TaskIndex = 0;
    TBitmap* Bitmap = nullptr;
    int32_t FrameNumber = 0;
    int64_t PTS = 0;
};

struct THookInfo {
    int32_t TaskIndex = 0;
    TBitmap* Bitmap = nullptr;
    int32_t FrameNumber = 0;
    int64_t PTS = 0;
    bool Update = false;
    bool StopHook = false;
};
using PHookInfo = THookInfo*;

using TEncoderProgressEvent = std::function<void(TObject* Sender, PProgressInfo AProgressInfo)>;
using TEncoderTerminateEvent =
    std::function<void(TObject* Sender, const TTerminateInfo& ATerminateInfo)>;
using TEncoderPreviewEvent = std::function<void(TObject* Sender, const TPreviewInfo& APreviewInfo)>;
using TEncoderVideoHookEvent = std::function<void(TObject* Sender, PHookInfo AHookInfo)>;
using TEncoderAudioHookEvent =
    std::function<void(TObject* Sender, int ATaskIndex, int64_t APTS, uint8_t* ASample, int ASize,
                       int ASampleRate, int AChannels, int ASampleFormat)>;

class TCustomEncoder;

// One task: an engine that also keeps the option records of its files.
class TFFmpeg : public TCustomFFmpeg {
public:
    TFFmpeg(int AMaxFiles, TCustomEncoder* AParent);
    ~TFFmpeg() override;

    TCustomEncoder* Parent() const { return FParent; }
    TFFDecoder* Decoder(int AIndex);
    TInputOptions* InputOptions(int AIndex);
    TOutputOptions* OutputOptions(int AIndex, bool ACreate);
    void ResetInputOptions(int AIndex);
    void ResetOutputOptions(int AIndex);
    // Forgets the input handles the decoders were given (the engine frees
    // them at the end of a run).
    void DetachDecoders();

    // The fields of an output record that go straight to the engine.
    void ApplyOutputFields(const TOutputOptions& O);
    void SetVerbose(int AValue);
    void SetProgramID(int AValue);

private:
    std::vector<std::unique_ptr<TFFDecoder>> FDecoders;
    std::vector<std::unique_ptr<TInputOptions>> FInputOptions;
    std::vector<std::unique_ptr<TOutputOptions>> FOutputOptions;
    TCustomEncoder* FParent;
};

// Owns the tasks.
class TFFmpegList {
public:
    int Count() const { return int(FList.size()); }
    TFFmpeg* Item(int AIndex) const { return FList.at(size_t(AIndex)).get(); }
    int Add(std::unique_ptr<TFFmpeg> ATask);
    int IndexOf(const TFFmpeg* ATask) const;
    void Delete(int AIndex);
    void Exchange(int A, int B);
    void Clear();
    // Hands the tasks over, leaving the list empty.
    std::vector<std::unique_ptr<TFFmpeg>> Take();
    void Pause();
    void Resume();
    void Stop(bool AWaitForStop);
    void SetPostHook(TPostHook AHook, bool AValue);

private:
    std::vector<std::unique_ptr<TFFmpeg>> FList;
};

// Delivers one terminate event on its own thread, freeing itself.
class TDoTerminateThread : public TThread {
public:
    TDoTerminateThread(TEncoderTerminateEvent AOnTerminate, TObject* ASender,
                       const TTerminateInfo& ATerminateInfo, std::atomic<int>* AThreadTerminated,
                       bool ACheckThreadTerminated, bool ATriggerEventInMainThread);

protected:
    void Execute() override;

private:
    TEncoderTerminateEvent FOnTerminate;
    TObject* FSender;
    TTerminateInfo FTerminateInfo;
    // Deliveries not yet finished, this one included.
    std::atomic<int>* FThreadTerminated;
    bool FCheckThreadTerminated;
    bool FTriggerEventInMainThread;
};

class TCustomEncoder : public TFFBaseComponent {
public:
    explicit TCustomEncoder(TComponent* AOwner);
    ~TCustomEncoder() override;

    bool AVLibLoaded() const;
    bool LoadAVLib(const std::string& APath);
    void UnloadAVLib();

    int AddTask(const std::string& AFileName, TInputOptions* AOptions);
    int AddTask(const std::string& AFileName, const std::string& AOptions);
    int AddTask(TObject* AStream, const std::string& APrivateData, TInputOptions* AOptions);
    bool AddInputFile(int ATaskIndex, const std::string& AFileName, TInputOptions* AOptions);
    bool AddInputFile(int ATaskIndex, const std::string& AFileName, const std::string& AOptions);
    bool SetOutputFile(int ATaskIndex, const std::string& AFileName, TOutputOptions* AOptions);
    bool SetOutputFile(int ATaskIndex, const std::string& AFileName, const std::string& AOptions);
    bool SetOutputStream(int ATaskIndex, TObject* AStream, const std::string& APrivateData,
                         TOutputOptions* AOptions);
    void GetOutputOptions(int ATaskIndex, int AOutputIndex, TOutputOptions& AOptions);
    void ClearTasks();
    void Exchange(int AIndex1, int AIndex2);
    void RemoveTask(int AIndex);
    int GetTaskIndex(const TFFmpeg* ATask) const { return FFFmpegList.IndexOf(ATask); }
    int TasksCount() const { return FFFmpegList.Count(); }
    TFFmpeg* Task(int AIndex) const { return FFFmpegList.Item(AIndex); }

    void Start(int AThreadCount);
    void Pause();
    void Resume();
    void Stop(bool AWaitForStop);

    const std::string& LastErrMsg() const { return FLastErrMsg; }
    void* UserData() const { return FData; }
    void SetUserData(void* Value) { FData = Value; }
    int CustomMaxFiles() const { return FCustomMaxFiles; }
    void SetCustomMaxFiles(int Value) { FCustomMaxFiles = Value; }
    bool HaltOnInvalidOption() const { return FHaltOnInvalidOption; }
    void SetHaltOnInvalidOption(bool Value) { FHaltOnInvalidOption = Value; }
    bool Preview() const { return FPreview; }
    void SetPreview(bool Value);
    bool PreviewBitmap() const { return FPreviewBitmap; }
    void SetPreviewBitmap(bool Value);
    int ProgressInterval() const { return FProgressInterval; }
    void SetProgressInterval(int Value) { FProgressInterval = Value < 100 ? 100 : Value; }
    int ReadTimeout() const { return FReadTimeout; }
    void SetReadTimeout(int Value) { FReadTimeout = Value; }
    TThreadPriority ThreadPriority() const { return FThreadPriority; }
    void SetThreadPriority(TThreadPriority Value) { FThreadPriority = Value; }
    bool TriggerEventInMainThread() const { return FTriggerEventInMainThread; }
    void SetTriggerEventInMainThread(bool Value) { FTriggerEventInMainThread = Value; }
    int Verbose() const { return FVerbose; }
    void SetVerbose(int Value) { FVerbose = Value; }
    TFFDecoder* Decoder() const { return FDecoder.get(); }
    bool Terminated() const { return FTerminated; }
    bool Working() const { return FWorking; }
    bool Paused() const { return FPaused; }
    int CompleteTasks() const { return FCompleteTasks; }

    TEncoderAudioHookEvent OnAudioHook;
    TBeforeFindStreamInfoEvent OnBeforeFindStreamInfo;
    TEncoderVideoHookEvent OnVideoInputHook;
    TEncoderVideoHookEvent OnVideoOutputHook;
    TEncoderPreviewEvent OnPreviewBitmap;
    TEncoderProgressEvent OnProgress;
    TEncoderTerminateEvent OnTerminate;

protected:
    virtual void DoVideoInputHook(TFFmpeg* ATask, TBitmap* ABitmap, int AFrameNumber, int64_t APTS,
                                  bool& AUpdate, bool& AStopHook);
    virtual void DoVideoOutputHook(TFFmpeg* ATask, TBitmap* ABitmap, int AFrameNumber, int64_t APTS,
                                   bool& AUpdate, bool& AStopHook);
    virtual void DoPreviewBitmap(TFFmpeg* ATask, TBitmap* ABitmap, int AFrameNumber, int64_t APTS);
    virtual void DoProgress(TFFmpeg* ATask, int AFileIndex, int AFrameNumber, int AFPS,
                            float AQuality, float ABitRate, int64_t ACurrentSize,
                            int64_t ACurrentDuration, int64_t ATotalDuration);
    virtual void DoTaskTerminate(TFFmpeg* ATask);

private:
    void CheckNotWorking(const char* AOperation);
    int DoAddTask(const std::string& AFileName, TInputOptions* AOptions);
    bool OpenInput(TFFmpeg* ATask, const std::string& AFileName, TInputOptions* AOptions);
    void ApplyOptionLines(TFFmpeg* ATask, const std::string& AText, bool AInputMode);
    void StartNextTask();
    void EndOfRun();
    void DoVideoHook(TEncoderVideoHookEvent& AEvent, TFFmpeg* ATask, TBitmap* ABitmap,
                     int AFrameNumber, int64_t APTS, bool& AUpdate, bool& AStopHook);
    // Hands a terminate event to a delivery thread.
    void DeliverTerminate(const TTerminateInfo& AInfo, bool AWaitForOthers);
    void DeliverInMainThread(const std::function<void()>& AMethod);

    std::string FLastErrMsg;
    void* FData = nullptr;
    int FCustomMaxFiles = 20;
    bool FHaltOnInvalidOption = true;
    bool FPreview = false;
    bool FPreviewBitmap = false;
    int FProgressInterval = 500;
    int FReadTimeout = 10000;
    TThreadPriority FThreadPriority = tpNormal;
    bool FTriggerEventInMainThread = true;
    int FVerbose = 1;
    TProgressInfo FProgressInfo;
    TTerminateInfo FTerminateInfo;
    TPreviewInfo FPreviewInfo;
    THookInfo FVideoHookInfo;
    std::recursive_mutex FAudioHookLock, FPreviewLock, FProgressLock, FTerminateLock,
        FVideoHookLock;
    // Terminate deliveries still running on their threads.
    std::atomic<int> FThreadTerminated{0};
    std::unique_ptr<TFFDecoder> FDecoder;
    TFFmpegList FFFmpegList;
    int FCompleteTasks = 0;
    int FCurrentTask = -1;
    // Read by the conversion threads as they end while Stop clears it.
    std::atomic<int> FPendingTasks{0};
    std::atomic<bool> FTerminated{false};
    bool FThreadMode = false;
    bool FWorking = false;
    bool FPaused = false;
};

class TFFEncoder : public TCustomEncoder {
public:
    using TCustomEncoder::TCustomEncoder;
};
