#include "media/FFEncode.h"
#include "media/MyUtils.h"

#include <chrono>
#include <cmath>
#include <thread>
#include <utility>

namespace {

// Trims, normalises line breaks (and "<CRLF>") and splits into lines.
std::vector<std::string> OptionLines(const std::string& AText) {
    std::string T = Trim(AText);
    std::string N;
    for (size_t I = 0; I < T.size(); ++I) {
        if (T[I] == '\r') {
            N += '\n';
            if (I + 1 < T.size() && T[I + 1] == '\n') ++I;
        } else if (T.compare(I, 6, "<CRLF>") == 0) {
            N += '\n';
            I += 5;
        } else {
            N += T[I];
        }
    }
    std::vector<std::string> Lines;
    size_t P = 0;
    while (P <= N.size()) {
        size_t E = N.find('\n', P);
        if (E == std::string::npos) E = N.size();
        if (E > P) Lines.push_back(N.substr(P, E - P));
        P = E + 1;
    }
    return Lines;
}

void SplitLine(const std::string& ALine, std::string& AName, std::string& AValue) {
    size_t Eq = ALine.find('=');
    AName = Eq == std::string::npos ? ALine : ALine.substr(0, Eq);
    AValue = Eq == std::string::npos ? std::string() : ALine.substr(Eq + 1);
}

void AppendLine(std::string& AText, const std::string& ALine) {
    if (!AText.empty()) AText += "\r\n";
    AText += ALine;
}

int64_t LocalToUnixSeconds(TDateTime T) {
    return llround((T - 25569.0 - MyUtils::LocalTimeOffset()) * 86400.0);
}

} // namespace

void InitInputOptions(TInputOptions& AOptions) {
    AOptions = TInputOptions();
}

void InitOutputOptions(TOutputOptions& AOptions) {
    AOptions = TOutputOptions();
}

// ---------------------------------------------------------------- TFFmpeg

TFFmpeg::TFFmpeg(int AMaxFiles, TCustomEncoder* AParent)
    : TCustomFFmpeg(AMaxFiles), FParent(AParent) {
    FDecoders.resize(size_t(AMaxFiles));
    FInputOptions.resize(size_t(AMaxFiles));
    FOutputOptions.resize(size_t(AMaxFiles));
}

TFFmpeg::~TFFmpeg() {
    // The run ends before the callbacks go, so no relay runs half-cleared.
    Stop(true);
    if (FThread) FThread->Join();
    if (FTerminateThread.joinable()) FTerminateThread.join();
    OnAudioHook = nullptr;
    OnBeforeFindStreamInfo = nullptr;
    OnInputVideoHook = nullptr;
    OnOutputVideoHook = nullptr;
    OnPreviewBitmap = nullptr;
    OnProgress = nullptr;
    OnTerminate = nullptr;
    FDecoders.clear();
    FInputOptions.clear();
    FOutputOptions.clear();
}

TFFDecoder* TFFmpeg::Decoder(int AIndex) {
    auto& D = FDecoders.at(size_t(AIndex));
    if (!D) D = std::make_unique<TFFDecoder>(nullptr);
    return D.get();
}

TInputOptions* TFFmpeg::InputOptions(int AIndex) {
    auto& O = FInputOptions.at(size_t(AIndex));
    if (!O) O = std::make_unique<TInputOptions>();
    return O.get();
}

TOutputOptions* TFFmpeg::OutputOptions(int AIndex, bool ACreate) {
    auto& O = FOutputOptions.at(size_t(AIndex));
    if (!O && ACreate) O = std::make_unique<TOutputOptions>();
    return O.get();
}

void TFFmpeg::ResetInputOptions(int AIndex) {
    InitInputOptions(*InputOptions(AIndex));
}

void TFFmpeg::ResetOutputOptions(int AIndex) {
    InitOutputOptions(*OutputOptions(AIndex, true));
}

void TFFmpeg::DetachDecoders() {
    for (auto& D : FDecoders)
        if (D && D->FileHandle()) D->SetFileHandle(nullptr);
}

void TFFmpeg::SetVerbose(int AValue) {
    Fverbose = AValue;
}

void TFFmpeg::SetProgramID(int AValue) {
    Fopt_programid = AValue;
}

void TFFmpeg::ApplyOutputFields(const TOutputOptions& O) {
    auto Positive = [this](const char* AName, int AValue) {
        if (AValue > 0) SetExtOption(AName, IntToStr(AValue));
    };
    if (!O.ForceFormat.empty()) SetExtOption("f", O.ForceFormat);
    Positive("packetsize", O.PacketSize);
    Positive("muxrate", O.MuxRate);
    if (O.MuxDelay > 0) SetMuxDelay(O.MuxDelay);
    if (O.MuxPreload > 0) SetMuxPreload(O.MuxPreload);
    if (O.DisableAudio) Faudio_disable = true;
    SetAudioVolume(O.AudioVolume);
    Positive("ac", O.AudioChannels);
    Positive("ar", O.AudioSampleRate);
    Positive("ab", O.AudioBitrate);
    Positive("abt", O.AudioBitRateTolerance);
    Faudio_language = O.AudioLanguage;
    Faudio_sync_method = O.AudioSyncMethod;
    if (!O.AudioTag.empty()) SetExtOption("atag", O.AudioTag);
    if (O.DisableVideo) Fvideo_disable = true;
    if (!O.FrameRate.empty()) SetExtOption("r", O.FrameRate);
    if (!O.FrameAspectRatio.empty()) SetExtOption("aspect", O.FrameAspectRatio);
    Positive("g", O.GroupPictureSize);
    Positive("vb", O.VideoBitrate);
    Positive("maxrate", O.VideoMaxRate);
    Positive("minrate", O.VideoMinRate);
    Positive("bt", O.VideoBitRateTolerance);
    Positive("bufsize", O.VideoBufSize);
    Fvideo_sync_method = O.VideoSyncMethod;
    if (!O.VideoTag.empty()) SetExtOption("vtag", O.VideoTag);
    Fvideo_language = O.VideoLanguage;
    if (O.DisableSubtitle) Fsubtitle_disable = true;
    Fsubtitle_language = O.SubtitleLanguage;
    Finput_sync = O.InputSync;
    if (O.CopyTimestamp) Fcopy_ts = true;
    SetStartTime(O.TimeStart);
    SetRecordingTime(O.TimeLength);
    if (O.Info.TimeStamp == 0)
        Frecording_timestamp = LocalToUnixSeconds(Now());
    else if (O.Info.TimeStamp > 0)
        Frecording_timestamp = LocalToUnixSeconds(O.Info.TimeStamp);
    if (O.Info.Year > 0) SetMetadata("year=" + IntToStr(O.Info.Year));
    if (O.Info.Track > 0) SetMetadata("track=" + IntToStr(O.Info.Track));
    const std::pair<const char*, const std::string*> Texts[] = {
        {"title", &O.Info.Title},     {"author", &O.Info.Author}, {"copyright", &O.Info.Copyright},
        {"comment", &O.Info.Comment}, {"album", &O.Info.Album},   {"genre", &O.Info.Genre}};
    for (const auto& T : Texts)
        if (!T.second->empty()) SetMetadata(std::string(T.first) + "=" + *T.second);
}

// ---------------------------------------------------------------- TFFmpegList

int TFFmpegList::Add(std::unique_ptr<TFFmpeg> ATask) {
    FList.push_back(std::move(ATask));
    return int(FList.size()) - 1;
}

int TFFmpegList::IndexOf(const TFFmpeg* ATask) const {
    for (size_t I = 0; I < FList.size(); ++I)
        if (FList[I].get() == ATask) return int(I);
    return -1;
}

void TFFmpegList::Delete(int AIndex) {
    std::unique_ptr<TFFmpeg> Task = std::move(FList.at(size_t(AIndex)));
    FList.erase(FList.begin() + AIndex);
}

void TFFmpegList::Exchange(int A, int B) {
    std::swap(FList.at(size_t(A)), FList.at(size_t(B)));
}

void TFFmpegList::Clear() {
    std::vector<std::unique_ptr<TFFmpeg>> Tasks = std::move(FList);
    FList.clear();
}

std::vector<std::unique_ptr<TFFmpeg>> TFFmpegList::Take() {
    std::vector<std::unique_ptr<TFFmpeg>> Tasks = std::move(FList);
    FList.clear();
    return Tasks;
}

void TFFmpegList::Pause() {
    for (auto& T : FList)
        T->Pause();
}

void TFFmpegList::Resume() {
    for (auto& T : FList)
        T->Resume();
}

void TFFmpegList::Stop(bool AWaitForStop) {
    for (auto& T : FList)
        T->StopOrTerminate(AWaitForStop);
}

void TFFmpegList::SetPostHook(TPostHook AHook, bool AValue) {
    for (auto& T : FList) {
        TPostHooks H = T->PostHooks();
        T->SetPostHooks(AValue ? H | PostHookBit(AHook) : H & ~PostHookBit(AHook));
    }
}

// ---------------------------------------------------------------- TDoTerminateThread

TDoTerminateThread::TDoTerminateThread(TEncoderTerminateEvent AOnTerminate, TObject* ASender,
                                       const TTerminateInfo& ATerminateInfo,
                                       std::atomic<int>* AThreadTerminated,
                                       bool ACheckThreadTerminated, bool ATriggerEventInMainThread)
    : TThread(true), FOnTerminate(std::move(AOnTerminate)), FSender(ASender),
      FTerminateInfo(ATerminateInfo), FThreadTerminated(AThreadTerminated),
      FCheckThreadTerminated(ACheckThreadTerminated),
      FTriggerEventInMainThread(ATriggerEventInMainThread) {
    FreeOnTerminate = true;
}

void TDoTerminateThread::Execute() {
    // The closing event waits until every other delivery has finished.
    if (FCheckThreadTerminated)
        while (FThreadTerminated->load() > 1)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    try {
        if (FOnTerminate) {
            if (FTriggerEventInMainThread)
                Synchronize([this] { FOnTerminate(FSender, FTerminateInfo); });
            else
                FOnTerminate(FSender, FTerminateInfo);
        }
    } catch (...) {
        // A handler's failure must not keep the count up.
    }
    FThreadTerminated->fetch_sub(1);
}

// ---------------------------------------------------------------- TCustomEncoder

TCustomEncoder::TCustomEncoder(TComponent* AOwner)
    : TFFBaseComponent(AOwner), FDecoder(std::make_unique<TFFDecoder>(nullptr)) {
    FVersion = "3.9";
}

TCustomEncoder::~TCustomEncoder() {
    {
        std::lock_guard<std::recursive_mutex> A(FAudioHookLock), P(FPreviewLock), G(FProgressLock),
            T(FTerminateLock), V(FVideoHookLock);
        OnAudioHook = nullptr;
        OnPreviewBitmap = nullptr;
        OnProgress = nullptr;
        OnTerminate = nullptr;
        OnVideoInputHook = nullptr;
        OnVideoOutputHook = nullptr;
        FPendingTasks = 0;
    }
    // Tasks go before the locks and counters their relays use: freeing a
    // task waits for its thread, whose last relay may still take a lock.
    std::vector<std::unique_ptr<TFFmpeg>> Tasks;
    {
        std::lock_guard<std::recursive_mutex> T(FTerminateLock);
        Tasks = FFFmpegList.Take();
    }
    Tasks.clear();
    while (FThreadTerminated.load() > 0) {
        if (!CheckSynchronize(10)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    FDecoder.reset();
}

bool TCustomEncoder::AVLibLoaded() const {
    return FFLoader().Loaded(ConverterLibraries);
}

bool TCustomEncoder::LoadAVLib(const std::string& APath) {
    FFLoader().SetLibraryPath(APath);
    if (FFLoader().Load(ConverterLibraries)) return true;
    FLastErrMsg = FFLoader().LastErrMsg();
    return false;
}

void TCustomEncoder::UnloadAVLib() {
    FFLoader().Unload(ConverterLibraries);
}

void TCustomEncoder::CheckNotWorking(const char* AOperation) {
    if (FWorking) throw Exception(Format("Cannot %s while working.", AOperation));
}

void TCustomEncoder::ApplyOptionLines(TFFmpeg* ATask, const std::string& AText, bool AInputMode) {
    for (const std::string& Line : OptionLines(AText)) {
        std::string Name, Value;
        SplitLine(Line, Name, Value);
        Name = LowerCase(Name);
        if (Name == "newvideo" || Name == "newaudio" || Name == "newsubtitle" || Name == "apre" ||
            Name == "vpre" || Name == "spre" || Name == "vfilters" || Name == "vf")
            continue;
        if (!AInputMode &&
            (Name == "acodec" || Name == "vcodec" || Name == "scodec" || Name == "s"))
            continue;
        ATask->SetExtOption(Name, Value);
    }
}

bool TCustomEncoder::OpenInput(TFFmpeg* ATask, const std::string& AFileName,
                               TInputOptions* AOptions) {
    const int Index = ATask->nb_input_files();
    if (AOptions) {
        if (AOptions->FileName.empty()) AOptions->FileName = AFileName;
        *ATask->InputOptions(Index) = *AOptions;
        ApplyOptionLines(ATask, AOptions->ExtOptions, true);
        if (!AOptions->ForceFormat.empty()) ATask->SetExtOption("f", AOptions->ForceFormat);
        ATask->SetStartTime(AOptions->TimeStart);
        if (AOptions->ProgramID >= 0) ATask->SetProgramID(AOptions->ProgramID);
    }
    ATask->SetReadTimeout(FReadTimeout);
    if (!ATask->OpenInputFile(AFileName)) {
        FLastErrMsg = ATask->LastErrMsg();
        ATask->ResetInputOptions(Index);
        return false;
    }
    ATask->Decoder(Index)->SetFileHandle(ATask->InputFile(Index));
    return true;
}

int TCustomEncoder::DoAddTask(const std::string& AFileName, TInputOptions* AOptions) {
    CheckNotWorking("AddTask");
    auto Task = std::make_unique<TFFmpeg>(FCustomMaxFiles, this);
    Task->HaltOnInvalidOption = FHaltOnInvalidOption;
    TFFmpeg* T = Task.get();
    try {
        T->SetVerbose(FVerbose);
        T->SetPostHooks((FPreview ? PostHookBit(phPreview) : 0u) |
                        (FPreviewBitmap ? PostHookBit(phBitmap) : 0u));
        T->OnBeforeFindStreamInfo = [this, T](TObject*, AVFormatContext* AContext) {
            if (OnBeforeFindStreamInfo) OnBeforeFindStreamInfo(T, AContext);
        };
        T->OnPreviewBitmap = [this, T](TObject*, TBitmap* ABitmap, int AFrame, int64_t APTS) {
            DoPreviewBitmap(T, ABitmap, AFrame, APTS);
        };
        if (!OpenInput(T, AFileName, AOptions)) return -1;
        T->OnProgress = [this, T](TObject*, int AFileIndex, int AFrame, int AFPS, float AQ,
                                  float ABitRate, int64_t ASize, int64_t ACur, int64_t ATotal) {
            DoProgress(T, AFileIndex, AFrame, AFPS, AQ, ABitRate, ASize, ACur, ATotal);
        };
        T->OnTerminate = [this, T](TObject*) { DoTaskTerminate(T); };
    } catch (const Exception& E) {
        FLastErrMsg = E.Message;
        return -1;
    }
    return FFFmpegList.Add(std::move(Task));
}

int TCustomEncoder::AddTask(const std::string& AFileName, TInputOptions* AOptions) {
    return DoAddTask(AFileName, AOptions);
}

namespace {

TInputOptions InputOptionsFromLines(const std::string& AText) {
    TInputOptions O;
    for (const std::string& Line : OptionLines(AText)) {
        std::string Name, Value;
        SplitLine(Line, Name, Value);
        if (SameText(Name, "TimeStart"))
            O.TimeStart = StrToInt64Def(Value, kNoTime);
        else
            AppendLine(O.ExtOptions, Line);
    }
    return O;
}

} // namespace

int TCustomEncoder::AddTask(const std::string& AFileName, const std::string& AOptions) {
    TInputOptions O = InputOptionsFromLines(AOptions);
    return DoAddTask(AFileName, &O);
}

int TCustomEncoder::AddTask(TObject* AStream, const std::string& APrivateData,
                            TInputOptions* AOptions) {
    // No protocol named "stream" is registered: opening such a name fails.
    return DoAddTask(
        Format("stream:%d:%s", int64_t(reinterpret_cast<intptr_t>(AStream)), APrivateData),
        AOptions);
}

bool TCustomEncoder::AddInputFile(int ATaskIndex, const std::string& AFileName,
                                  TInputOptions* AOptions) {
    CheckNotWorking("AddInputFile");
    TFFmpeg* T = FFFmpegList.Item(ATaskIndex);
    if (T->nb_input_files() >= FCustomMaxFiles) {
        FLastErrMsg = Format("max input files %d reached", FCustomMaxFiles);
        return false;
    }
    try {
        return OpenInput(T, AFileName, AOptions);
    } catch (const Exception& E) {
        FLastErrMsg = E.Message;
        return false;
    }
}

bool TCustomEncoder::AddInputFile(int ATaskIndex, const std::string& AFileName,
                                  const std::string& AOptions) {
    TInputOptions O = InputOptionsFromLines(AOptions);
    return AddInputFile(ATaskIndex, AFileName, &O);
}

bool TCustomEncoder::SetOutputFile(int ATaskIndex, const std::string& AFileName,
                                   TOutputOptions* AOptions) {
    CheckNotWorking("SetOutputFile");
    TFFmpeg* T = FFFmpegList.Item(ATaskIndex);
    if (T->nb_output_files() >= FCustomMaxFiles) {
        FLastErrMsg = Format("max output files %d reached", FCustomMaxFiles);
        return false;
    }
    T->HaltOnInvalidOption = FHaltOnInvalidOption;
    const int Index = T->nb_output_files();
    // The default list: "def_" entries, then the codec, preset, size and
    // filter lines in the order given.
    std::vector<std::pair<std::string, std::string>> List;
    auto Value = [&List](const std::string& AName) {
        for (const auto& E : List)
            if (E.first == AName) return E.second;
        return std::string();
    };
    auto Apply = [T](const char* AName, const std::string& AValue) {
        if (!AValue.empty()) T->SetExtOption(AName, AValue);
    };
    bool Join = false;
    try {
        if (AOptions) {
            if (AOptions->FileName.empty()) AOptions->FileName = AFileName;
            const TOutputOptions& O = *AOptions;
            *T->OutputOptions(Index, true) = O;
            const std::pair<const char*, const std::string*> Defaults[] = {
                {"def_acodec", &O.AudioCodec},    {"def_vcodec", &O.VideoCodec},
                {"def_scodec", &O.SubtitleCodec}, {"def_apre", &O.AudioPreset},
                {"def_vpre", &O.VideoPreset},     {"def_spre", &O.SubtitlePreset},
                {"def_s", &O.FrameSize},          {"def_vf", &O.VideoFilters}};
            for (const auto& D : Defaults)
                if (!D.second->empty()) List.emplace_back(D.first, *D.second);
            for (const std::string& Line : OptionLines(O.ExtOptions)) {
                std::string Name, V;
                SplitLine(Line, Name, V);
                Name = LowerCase(Name);
                if (V.empty()) continue;
                if (Name == "vfilters") Name = "vf";
                if (Name != "acodec" && Name != "vcodec" && Name != "scodec" && Name != "apre" &&
                    Name != "vpre" && Name != "spre" && Name != "s" && Name != "vf")
                    continue;
                if (Value("def_" + Name).empty()) List.emplace_back("def_" + Name, V);
                List.emplace_back(Name, V);
            }
            if (O.TargetType != ttIgnore) {
                const char* Norm = O.NormType == ntPAL    ? "pal"
                                   : O.NormType == ntNTSC ? "ntsc"
                                                          : "auto";
                const char* Fallback = O.NormDefault == ntPAL ? "pal" : "ntsc";
                const char* Target = O.TargetType == ttVCD    ? "vcd"
                                     : O.TargetType == ttSVCD ? "svcd"
                                                              : "dvd";
                T->SetTarget(Target, Norm, Fallback);
            }
            Apply("acodec", Value("def_acodec"));
            Apply("vcodec", Value("def_vcodec"));
            Apply("scodec", Value("def_scodec"));
            Apply("apre", Value("def_apre"));
            Apply("vpre", Value("def_vpre"));
            Apply("spre", Value("def_spre"));
            ApplyOptionLines(T, O.ExtOptions, false);
            T->ApplyOutputFields(O);
            Apply("s", Value("def_s"));
            Apply("vf", Value("def_vf"));
            if (O.AudioHook)
                T->OnAudioHook = [this, T](TObject*, int64_t APTS, uint8_t* ASample, int ASize,
                                           int ARate, int AChannels, int AFormat) {
                    std::lock_guard<std::recursive_mutex> G(FAudioHookLock);
                    if (!OnAudioHook) return;
                    OnAudioHook(this, GetTaskIndex(T), APTS, ASample, ASize, ARate, AChannels,
                                AFormat);
                };
            T->SetVideoHookBitsPixel(O.VideoHookBitsPixel);
            if (O.VideoInputHook)
                T->OnInputVideoHook = [this, T](TObject*, TBitmap* B, int F, int64_t P, bool& U,
                                                bool& S) { DoVideoInputHook(T, B, F, P, U, S); };
            if (O.VideoOutputHook)
                T->OnOutputVideoHook = [this, T](TObject*, TBitmap* B, int F, int64_t P, bool& U,
                                                 bool& S) { DoVideoOutputHook(T, B, F, P, U, S); };
            Join = O.Join;
        } else {
            T->ResetOutputOptions(Index);
        }
        T->SetReadTimeout(FReadTimeout);
        if (T->OpenOutputFile(AFileName, Join) < 0) {
            FLastErrMsg = T->LastErrMsg();
            T->ResetOutputOptions(Index);
            return false;
        }
        if (AOptions) {
            auto Take = [&](const std::string& AName) {
                for (auto It = List.begin(); It != List.end(); ++It)
                    if (It->first == AName) {
                        std::string V = It->second;
                        List.erase(It);
                        T->SetExtOption(AName, V);
                        return;
                    }
                Apply(AName.c_str(), Value("def_" + AName));
            };
            for (const std::string& Line : OptionLines(AOptions->ExtOptions)) {
                std::string Name, V;
                SplitLine(Line, Name, V);
                Name = LowerCase(Name);
                if (Name == "newaudio") {
                    Take("acodec");
                    Take("apre");
                } else if (Name == "newvideo") {
                    Take("vcodec");
                    Take("vpre");
                    Take("s");
                    Take("vf");
                } else if (Name == "newsubtitle") {
                    Take("scodec");
                    Take("spre");
                } else {
                    continue;
                }
                T->SetExtOption(Name, V);
            }
            if (Join) T->PrepareJoin();
        }
        return true;
    } catch (const Exception& E) {
        FLastErrMsg = E.Message;
        return false;
    }
}

bool TCustomEncoder::SetOutputFile(int ATaskIndex, const std::string& AFileName,
                                   const std::string& AOptions) {
    TOutputOptions O;
    for (const std::string& Line : OptionLines(AOptions)) {
        std::string Name, Value;
        SplitLine(Line, Name, Value);
        if (SameText(Name, "TimeStart"))
            O.TimeStart = StrToInt64Def(Value, kNoTime);
        else if (SameText(Name, "TimeLength"))
            O.TimeLength = StrToInt64Def(Value, kNoTime);
        else if (SameText(Name, "AudioHook"))
            O.AudioHook = Value != "0";
        else if (SameText(Name, "VideoInputHook"))
            O.VideoInputHook = Value != "0";
        else if (SameText(Name, "VideoOutputHook"))
            O.VideoOutputHook = Value != "0";
        else if (SameText(Name, "Join"))
            O.Join = Value != "0";
        else if (SameText(Name, "VideoHookBitsPixel"))
            O.VideoHookBitsPixel = StrToIntDef(Value, 24);
        else
            AppendLine(O.ExtOptions, Line);
    }
    return SetOutputFile(ATaskIndex, AFileName, &O);
}

bool TCustomEncoder::SetOutputStream(int ATaskIndex, TObject* AStream,
                                     const std::string& APrivateData, TOutputOptions* AOptions) {
    return SetOutputFile(
        ATaskIndex,
        Format("stream:%d:%s", int64_t(reinterpret_cast<intptr_t>(AStream)), APrivateData),
        AOptions);
}

void TCustomEncoder::GetOutputOptions(int ATaskIndex, int AOutputIndex, TOutputOptions& AOptions) {
    AOptions = *FFFmpegList.Item(ATaskIndex)->OutputOptions(AOutputIndex, true);
}

void TCustomEncoder::ClearTasks() {
    if (FWorking && !FTerminated) throw Exception("Cannot ClearTasks while working.");
    FFFmpegList.Clear();
    FLastErrMsg.clear();
    FCompleteTasks = 0;
    FCurrentTask = -1;
    FPendingTasks = 0;
    FTerminated = false;
    FThreadMode = false;
    FWorking = false;
    FPaused = false;
}

void TCustomEncoder::Exchange(int AIndex1, int AIndex2) {
    CheckNotWorking("Exchange");
    FFFmpegList.Exchange(AIndex1, AIndex2);
}

void TCustomEncoder::RemoveTask(int AIndex) {
    CheckNotWorking("RemoveTask");
    FFFmpegList.Delete(AIndex);
}

void TCustomEncoder::SetPreview(bool Value) {
    FFFmpegList.SetPostHook(phPreview, Value);
    FPreview = Value;
}

void TCustomEncoder::SetPreviewBitmap(bool Value) {
    FFFmpegList.SetPostHook(phBitmap, Value);
    FPreviewBitmap = Value;
}

void TCustomEncoder::Start(int AThreadCount) {
    CheckNotWorking("StartTask");
    FCompleteTasks = 0;
    FCurrentTask = 0;
    FPendingTasks = TasksCount();
    FTerminated = false;
    FThreadMode = AThreadCount > 0;
    FWorking = true;
    FPaused = false;
    if (TasksCount() == 0) {
        // Nothing to run: the run ends at once.
        DoTaskTerminate(nullptr);
        return;
    }
    // In thread mode the tasks that end start the next ones under this lock.
    std::unique_lock<std::recursive_mutex> Lock(FTerminateLock, std::defer_lock);
    if (FThreadMode) Lock.lock();
    while (FPendingTasks > 0) {
        StartNextTask();
        if (FThreadMode && --AThreadCount == 0) break;
    }
}

void TCustomEncoder::StartNextTask() {
    if (FPendingTasks <= 0) return;
    --FPendingTasks;
    TFFmpeg* T = FFFmpegList.Item(FCurrentTask);
    ++FCurrentTask;
    T->ReportInterval = int64_t(FProgressInterval) * 1000;
    if (FThreadMode) {
        if (TConvertThread* Thread = T->StartConvert(true, FThreadPriority)) Thread->Resume();
    } else {
        T->StartConvert(false);
    }
}

void TCustomEncoder::Pause() {
    if (FWorking && !FPaused) {
        FFFmpegList.Pause();
        FPaused = true;
    }
}

void TCustomEncoder::Resume() {
    if (FWorking && FPaused) {
        FFFmpegList.Resume();
        FPaused = false;
    }
}

void TCustomEncoder::Stop(bool AWaitForStop) {
    FPendingTasks = 0;
    if (FWorking) FFFmpegList.Stop(AWaitForStop);
}

void TCustomEncoder::DeliverTerminate(const TTerminateInfo& AInfo, bool AWaitForOthers) {
    FThreadTerminated.fetch_add(1);
    auto* Thread = new TDoTerminateThread(OnTerminate, this, AInfo, &FThreadTerminated,
                                          AWaitForOthers, FTriggerEventInMainThread);
    Thread->Start();
}

void TCustomEncoder::DoTaskTerminate(TFFmpeg* ATask) {
    std::lock_guard<std::recursive_mutex> G(FTerminateLock);
    if (!ATask) {
        EndOfRun();
        return;
    }
    // The engine has closed its inputs by now.
    ATask->DetachDecoders();
    if (OnTerminate) {
        FTerminateInfo.TaskIndex = GetTaskIndex(ATask);
        FTerminateInfo.Finished = ATask->Finished();
        FTerminateInfo.Exception = ATask->FatalException();
        FTerminateInfo.ExceptionMsg = ATask->FatalMessage();
        if (FThreadMode || !FWorking)
            DeliverTerminate(FTerminateInfo, false);
        else
            OnTerminate(this, FTerminateInfo);
    }
    ++FCompleteTasks;
    if (FPendingTasks < 1 && FCompleteTasks >= TasksCount())
        EndOfRun();
    else if (FPendingTasks > 0 && FThreadMode)
        StartNextTask();
}

void TCustomEncoder::EndOfRun() {
    if (OnTerminate) {
        FTerminateInfo = TTerminateInfo{-1, true, false, std::string()};
        if (FThreadMode || !FWorking)
            DeliverTerminate(FTerminateInfo, true);
        else
            OnTerminate(this, FTerminateInfo);
    }
    FTerminated = true;
}

void TCustomEncoder::DeliverInMainThread(const std::function<void()>& AMethod) {
    if (FTriggerEventInMainThread)
        MyUtils::CallInMainThread(AMethod);
    else
        AMethod();
}

void TCustomEncoder::DoProgress(TFFmpeg* ATask, int AFileIndex, int AFrameNumber, int AFPS,
                                float AQuality, float ABitRate, int64_t ACurrentSize,
                                int64_t ACurrentDuration, int64_t ATotalDuration) {
    std::lock_guard<std::recursive_mutex> G(FProgressLock);
    if (!OnProgress) return;
    FProgressInfo = TProgressInfo{
        GetTaskIndex(ATask), AFileIndex,       AFrameNumber,  AFPS, AQuality, ABitRate,
        ACurrentSize,        ACurrentDuration, ATotalDuration};
    DeliverInMainThread([this] { OnProgress(this, &FProgressInfo); });
}

void TCustomEncoder::DoPreviewBitmap(TFFmpeg* ATask, TBitmap* ABitmap, int AFrameNumber,
                                     int64_t APTS) {
    std::lock_guard<std::recursive_mutex> G(FPreviewLock);
    if (!OnPreviewBitmap) return;
    FPreviewInfo = TPreviewInfo{GetTaskIndex(ATask), ABitmap, AFrameNumber, APTS};
    DeliverInMainThread([this] { OnPreviewBitmap(this, FPreviewInfo); });
}

void TCustomEncoder::DoVideoHook(TEncoderVideoHookEvent& AEvent, TFFmpeg* ATask, TBitmap* ABitmap,
                                 int AFrameNumber, int64_t APTS, bool& AUpdate, bool& AStopHook) {
    std::lock_guard<std::recursive_mutex> G(FVideoHookLock);
    if (!AEvent) return;
    FVideoHookInfo =
        THookInfo{GetTaskIndex(ATask), ABitmap, AFrameNumber, APTS, AUpdate, AStopHook};
    AEvent(this, &FVideoHookInfo);
    AUpdate = FVideoHookInfo.Update;
    AStopHook = FVideoHookInfo.StopHook;
}

void TCustomEncoder::DoVideoInputHook(TFFmpeg* ATask, TBitmap* ABitmap, int AFrameNumber,
                                      int64_t APTS, bool& AUpdate, bool& AStopHook) {
    DoVideoHook(OnVideoInputHook, ATask, ABitmap, AFrameNumber, APTS, AUpdate, AStopHook);
}

void TCustomEncoder::DoVideoOutputHook(TFFmpeg* ATask, TBitmap* ABitmap, int AFrameNumber,
                                       int64_t APTS, bool& AUpdate, bool& AStopHook) {
    DoVideoHook(OnVideoOutputHook, ATask, ABitmap, AFrameNumber, APTS, AUpdate, AStopHook);
}
