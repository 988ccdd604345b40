// Conversion engine: lifecycle, threads, stop and pause, interrupt checks.
#include "media/FFmpeg.h"
#include "media/Previewer.h"

#include "media/MyUtils.h"
#include "platform/os/process.h"

#include <cstdarg>
#include <cstdio>

#include "classlib/thread.h"
#include "media/FFLoad.h"
#include "media/FFLog.h"
#include "media/UnicodeProtocol.h"

namespace {

std::mutex& StopWaitPumpLock() {
    static std::mutex m;
    return m;
}
std::function<void()>& StopWaitPump() {
    static std::function<void()> pump;
    return pump;
}

bool ReadTimeoutProc(void* ASender) {
    return static_cast<TCustomFFmpeg*>(ASender)->CheckReadTimeoutFor(ASender);
}
bool BrokenProc(void* ASender) {
    return static_cast<TCustomFFmpeg*>(ASender)->CheckBrokenFor(ASender);
}

} // namespace

std::mutex& CodecListLock() {
    static std::mutex m;
    return m;
}

std::mutex& PreviewLock() {
    static std::mutex m;
    return m;
}

std::string FmtStr(const char* AFormat, ...) {
    va_list ap;
    va_start(ap, AFormat);
    va_list ap2;
    va_copy(ap2, ap);
    int n = vsnprintf(nullptr, 0, AFormat, ap);
    va_end(ap);
    std::string s;
    if (n > 0) {
        s.resize(size_t(n) + 1);
        vsnprintf(s.data(), s.size(), AFormat, ap2);
        s.resize(size_t(n));
    }
    va_end(ap2);
    return s;
}

void SetStopWaitPump(std::function<void()> APump) {
    std::lock_guard<std::mutex> g(StopWaitPumpLock());
    StopWaitPump() = std::move(APump);
}

// ---------------------------------------------------------------- events and thread

void TEngineEvent::Set() {
    std::lock_guard<std::mutex> g(FLock);
    FSet = true;
    FCond.notify_all();
}

void TEngineEvent::Reset() {
    std::lock_guard<std::mutex> g(FLock);
    FSet = false;
}

bool TEngineEvent::WaitFor(int timeoutMs) {
    std::unique_lock<std::mutex> lk(FLock);
    if (timeoutMs < 0) {
        FCond.wait(lk, [this] { return FSet; });
        return true;
    }
    return FCond.wait_for(lk, std::chrono::milliseconds(timeoutMs), [this] { return FSet; });
}

bool TEngineEvent::IsSet() {
    std::lock_guard<std::mutex> g(FLock);
    return FSet;
}

TConvertThread::~TConvertThread() {
    Join();
}

void TConvertThread::Resume() {
    std::lock_guard<std::mutex> g(FStartLock);
    if (FStarted) return;
    FStarted = true;
    FThread = std::thread([this] {
        TCustomFFmpeg* owner = FOwner;
        // Refused when the system allows no higher priority: the run goes on.
        if (FPriority != tpNormal) os::SetCurrentThreadNice(ThreadPriorityNice(FPriority));
        try {
            owner->DoConvert();
        } catch (...) {
        }
        owner->FStopEvent.Set();
    });
}

void TConvertThread::Join() {
    std::lock_guard<std::mutex> g(FStartLock);
    if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id()) FThread.join();
}

// ---------------------------------------------------------------- engine

TCustomFFmpeg::TCustomFFmpeg(int AMaxFiles) {
    if (AMaxFiles < 1 || AMaxFiles > 512)
        throw FFmpegException(FmtStr("Invalid maximum file count %d (1 to 512)", AMaxFiles));
    FMaxFiles = AMaxFiles;
    Finput_files.assign(size_t(AMaxFiles), nullptr);
    Finput_files_ts_offset.assign(size_t(AMaxFiles), 0);
    Finput_files_ts_scale.assign(size_t(AMaxFiles), {});
    Finput_codec_ctx.assign(size_t(AMaxFiles), {});
    Foutput_files.assign(size_t(AMaxFiles), nullptr);
    Foutput_names.assign(size_t(AMaxFiles), {});
    Finput_names.assign(size_t(AMaxFiles), {});
    Foutput_streams_for_file.assign(size_t(AMaxFiles), {});
    Fnb_output_streams_for_file.assign(size_t(AMaxFiles), 0);
    for (int& m : Fmax_frames)
        m = INT32_MAX;
    FInputVideoHook = std::make_unique<TVideoHookConverter>();
    FOutputVideoHook.Converter = std::make_unique<TVideoHookConverter>();
    ResetOptions();
}

TCustomFFmpeg::~TCustomFFmpeg() {
    Stop(true);
    if (FThread) FThread->Join();
    if (FTerminateThread.joinable()) FTerminateThread.join();
    FreeResources();
}

void TCustomFFmpeg::RequireLibraries() {
    if (!FFLoader().Loaded(ConverterLibraries))
        throw FFmpegException("The media libraries are not loaded");
}

void TCustomFFmpeg::LogMsg(int ALevel, const std::string& AMsg) {
    FFLogger()->Log(this, TLogLevel(ALevel), AMsg);
}

void TCustomFFmpeg::ResetOptions() {
    if (!FFLoader().Loaded(ConverterLibraries)) return;
    std::fill(Finput_files.begin(), Finput_files.end(), nullptr);
    for (auto& t : Finput_files_ts_scale)
        t.clear();
    std::fill(Foutput_files.begin(), Foutput_files.end(), nullptr);

    Flast_asked_format.clear();
    Fframe_width = Fframe_height = 0;
    Fframe_aspect_ratio = 0;
    Fframe_pix_fmt = -1;
    Faudio_sample_fmt = -1;
    for (int& m : Fmax_frames)
        m = INT32_MAX;
    Fframe_rate = AVRational{25, 0};
    Fvideo_qscale = 0;
    Fvideo_disable = false;
    Fvideo_discard = 0;
    Fvideo_codec_tag = 0;
    Fsame_quality = Fdo_deinterlace = false;
    Ftop_field_first = -1;
    Fme_threshold = 0;
    Fintra_dc_precision = 8;
    Floop_input = false;
    Floop_output = -1;
    Fqp_hist = false;
    Fvfilters.clear();
    FEnableFilter = false;
    Fintra_only = false;
    Faudio_sample_rate = 44100;
    Fchannel_layout = 0;
    Faudio_qscale = -99999.0f;
    Faudio_disable = false;
    Faudio_channels = 2;
    Faudio_codec_tag = 0;
    Fsubtitle_disable = false;
    Fsubtitle_codec_tag = 0;
    Fmux_preload = 0.5f;
    Fmux_max_delay = 0.7f;
    Frecording_time = kNoRecordingLimit;
    Fstart_time = 0;
    Frecording_timestamp = 0;
    Finput_ts_offset = 0;
    Fdo_benchmark = 0;
    Fdo_hex_dump = Fdo_pkt_dump = Fdo_psnr = false;
    Fdo_pass = 0;
    Faudio_stream_copy = Fvideo_stream_copy = Fsubtitle_stream_copy = 0;
    Fvideo_sync_method = -1;
    Faudio_sync_method = 0;
    Faudio_drift_threshold = 0.1f;
    Fcopy_ts = Fcopy_tb = Fopt_shortest = false;
    Fvideo_global_header = 0;
    Fopt_programid = 0;
    Fcopy_initial_nonkeyframes = 0;
    Frate_emu = false;
    Fvideo_channel = 0;
    Faudio_volume = 256;
    Fexit_on_error = false;
    Fusing_stdin = 0;
    Fusing_vhook = false;
    Fverbose = 1;
    Fthread_count = 1;
    Fvideo_size = Faudio_size = Fextra_size = 0;
    Fnb_frames_dup = Fnb_frames_drop = 0;
    FShowDupOrDrop = false;
    Finput_sync = false;
    Flimit_filesize = 0;
    Fforce_fps = false;
    Fdts_delta_threshold = 10.0f;
    Fsws_flags = 4;
    Fbit_buffer_size = 262144;

    FOptions.Init(Fsws_flags);

    FFirstHook = nullptr;
    FOutputVideoHook.Previewer = nullptr;
    FOutputVideoHook.preview_last_time = FOutputVideoHook.preview_cur_time = 0;
    FPostHooks = 0;
    FPostHooksChanged = false;
    FJoinMode = false;
    FConverting = false;
    FBroken = false;
    FFinished = false;
    FTerminated = false;
    FFatalException = false;
    FTotalOutputDuration = -1;
}

void TCustomFFmpeg::CloseOutputFile(int i) {
    AVFormatContext* oc = Foutput_files[size_t(i)];
    if (!oc) return;
    bool writesFile = oc->oformat && !(oc->oformat->flags & AVFMT_NOFILE);
    if (writesFile && oc->pb) UnicodeAvioClose(&oc->pb);
    if (writesFile && !Foutput_names[size_t(i)].empty() &&
        MyUtils::GetFileSize64(Foutput_names[size_t(i)]) == 0)
        std::remove(Foutput_names[size_t(i)].c_str());
    FF().avformat_free_context(oc);
}

void TCustomFFmpeg::FreeResources() {
    if (!FFLoader().Loaded(ConverterLibraries)) return;
    FreeRunState();
    for (int i = 0; i < Fnb_output_files; ++i) {
        if (FJoinMode && i > 0) break; // the others are the same context
        CloseOutputFile(i);
    }
    for (int i = 0; i < FMaxFiles; ++i) {
        for (TAVOutputStream* ost : Foutput_streams_for_file[size_t(i)]) {
            if (!ost) continue;
            if (ost->enc && ost->owns_enc) {
                TCodecLock lock;
                FF().avcodec_free_context(&ost->enc);
            }
            delete ost;
        }
        Foutput_streams_for_file[size_t(i)].clear();
        Fnb_output_streams_for_file[size_t(i)] = 0;
        Foutput_files[size_t(i)] = nullptr;
        Foutput_names[size_t(i)].clear();
    }
    Fnb_output_files = 0;

    for (int i = 0; i < FMaxFiles; ++i) {
        for (AVCodecContext*& c : Finput_codec_ctx[size_t(i)]) {
            TCodecLock lock;
            FF().avcodec_free_context(&c);
        }
        Finput_codec_ctx[size_t(i)].clear();
        if (Finput_files[size_t(i)]) UnicodeCloseInput(&Finput_files[size_t(i)]);
        Finput_files_ts_scale[size_t(i)].clear();
        Finput_names[size_t(i)].clear();
    }
    Fnb_input_files = 0;

    FF().av_freep(&Fintra_matrix);
    FF().av_freep(&Finter_matrix);
    if (Fvstats_file) {
        fclose(Fvstats_file);
        Fvstats_file = nullptr;
    }
    FF().av_freep(&Fvstats_filename);
    Fstreamid_map.clear();
    Finput_codecs.clear();
    Foutput_codecs.clear();
    Fnb_input_codecs = Fnb_output_codecs = 0;
    Fstream_maps.clear();
    Fmeta_data_maps.clear();
    Fchapter_maps.clear();
    FF().av_freep(&Fvideo_codec_name);
    FF().av_freep(&Faudio_codec_name);
    FF().av_freep(&Fsubtitle_codec_name);
    FF().av_freep(&Fvideo_standard);
    FOptions.Free();
    FF().av_freep(&Faudio_buf);
    Fallocated_audio_buf_size = 0;
    FF().av_freep(&Finput_tmp);
    Fallocated_input_tmp_size = 0;
    FF().av_freep(&Fsamples);
    Fsamples_size = 0;
    if (Fgraph) FF().avfilter_graph_free(&Fgraph);
    FF().av_freep(&Fvideo_rc_override_string);
    FF().av_dict_free(&Fmetadata);
    ReleaseFrameHooks(&FFirstHook);
    FOutputVideoHook.Previewer = nullptr;
    FOutputVideoHook.preview_last_time = FOutputVideoHook.preview_cur_time = 0;
}

void TCustomFFmpeg::DoConvert() {
    auto guard = [this](const std::function<void()>& step) {
        try {
            step();
        } catch (const Exception& e) {
            LogMsg(llQuiet, e.Message);
            FFatalException = true;
            FFatalMessage = e.Message;
        } catch (const std::exception& e) {
            // Allocation failures of the standard library end the run like ours.
            LogMsg(llQuiet, e.what());
            FFatalException = true;
            FFatalMessage = e.what();
        }
    };
    FFinished = false;
    guard([this] { RunTranscode(); });
    guard([this] { CloseListedCodecs(); });
    guard([this] { FreeResources(); });
    guard([this] { DoTerminate(); });
}

void TCustomFFmpeg::CloseListedCodecs() {
    std::lock_guard<std::mutex> g(CodecListLock());
    for (TAVOutputStream* ost : FEncoderList) {
        if (ost->enc) {
            TCodecLock lock;
            FF().avcodec_close(ost->enc);
        }
    }
    FEncoderList.clear();
    for (TAVInputStream* ist : FDecoderList) {
        if (ist->dec) {
            TCodecLock lock;
            FF().avcodec_close(ist->dec);
        }
    }
    FDecoderList.clear();
}

void TCustomFFmpeg::DoTerminate() {
    FConverting = false;
    FTerminated = true;
    if (OnTerminate) OnTerminate(this);
}

void TCustomFFmpeg::SetVideoHookBitsPixel(int ABitsPixel) {
    try {
        FInputVideoHook->SetBitsPixel(ABitsPixel);
        FOutputVideoHook.Converter->SetBitsPixel(ABitsPixel);
    } catch (const EConvertError& e) {
        LogMsg(llError, e.Message);
    }
}

TConvertThread* TCustomFFmpeg::StartConvert(bool AUseThread, TThreadPriority APriority) {
    if (FConverting || FTerminated) return nullptr;
    try {
        if (Fnb_output_files <= 0) {
            FreeResources();
            throw FFmpegException("At least one output file must be specified");
        }
        if (Fnb_input_files == 0) {
            FreeResources();
            throw FFmpegException("At least one input file must be specified");
        }
    } catch (const FFmpegException& e) {
        LogMsg(llQuiet, e.Message);
        FFatalException = true;
        FFatalMessage = e.Message;
        DoTerminate();
        return nullptr;
    }
    FConverting = true;
    FBroken = false;
    FFinished = false;
    FTerminated = false;
    if (!AUseThread) {
        DoConvert();
        return nullptr;
    }
    // Reset before the thread exists, so a stop right after the start waits for it.
    FStopEvent.Reset();
    FThread = std::make_unique<TConvertThread>(this, APriority);
    return FThread.get();
}

void TCustomFFmpeg::Stop(bool AWaitForStop) {
    FBroken = true;
    {
        std::lock_guard<std::mutex> g(FPauseLock);
        FPaused = false;
    }
    FPauseCond.notify_all();
    if (FThread) {
        if (!FThread->Started()) FThread->Resume(); // a run never started must still end and report
        if (AWaitForStop) {
            while (!FStopEvent.WaitFor(20)) {
                if (MyUtils::IsMainThread()) {
                    CheckSynchronize(0);
                    std::function<void()> pump;
                    {
                        std::lock_guard<std::mutex> g(StopWaitPumpLock());
                        pump = StopWaitPump();
                    }
                    if (pump) pump();
                }
            }
            FThread->Join();
        }
    } else {
        FLastRead = 0;
    }
}

void TCustomFFmpeg::Pause() {
    if (!FThread || !FConverting) return;
    std::lock_guard<std::mutex> g(FPauseLock);
    FPaused = true;
}

void TCustomFFmpeg::Resume() {
    if (!FThread) return;
    {
        std::lock_guard<std::mutex> g(FPauseLock);
        FPaused = false;
    }
    FPauseCond.notify_all();
}

void TCustomFFmpeg::WaitWhilePaused() {
    if (!FPaused) return;
    std::unique_lock<std::mutex> lk(FPauseLock);
    FPauseCond.wait(lk, [this] { return !FPaused || FBroken; });
}

void TCustomFFmpeg::StopOrTerminate(bool AWaitForStop) {
    if (FConverting) {
        Stop(AWaitForStop);
    } else if (!FTerminated) {
        if (FTerminateThread.joinable()) FTerminateThread.join();
        FTermEvent.Reset(); // before the thread exists
        FTerminateThread = std::thread([this] {
            try {
                DoTerminate();
            } catch (...) {
            }
            FTermEvent.Set();
        });
        if (AWaitForStop) {
            FTermEvent.WaitFor(-1);
            FTerminateThread.join();
        }
    }
}

bool TCustomFFmpeg::CheckReadTimeoutFor(void* ASender) {
    if (ASender != this || FReadTimeout <= 0) return false;
    int64_t last = FLastRead;
    // 64-bit product: any time-out a 32-bit count of milliseconds can hold works.
    if (FF().av_gettime() - last > int64_t(FReadTimeout) * 1000) {
        LogMsg(llInfo, last == 0 ? "connecting/reading/writing canceled"
                                 : "connecting/reading/writing timeout");
        return true;
    }
    return false;
}

bool TCustomFFmpeg::CheckBrokenFor(void* ASender) {
    return ASender == this && FBroken;
}

void TCustomFFmpeg::BeginBlocking() {
    FLastRead = INT64_MAX;
    InterruptList().Add(std::this_thread::get_id(), this, ReadTimeoutProc);
}

void TCustomFFmpeg::EndBlocking() {
    FLastRead = INT64_MAX;
    InterruptList().Remove(std::this_thread::get_id(), this, ReadTimeoutProc);
}

void TCustomFFmpeg::RegisterBroken(bool ARegister) {
    if (ARegister && !FCheckBrokenRegistered && !MyUtils::IsMainThread()) {
        InterruptList().Add(std::this_thread::get_id(), this, BrokenProc);
        FCheckBrokenRegistered = true;
    } else if (!ARegister && FCheckBrokenRegistered) {
        InterruptList().Remove(std::this_thread::get_id(), this, BrokenProc);
        FCheckBrokenRegistered = false;
    }
}

void TCustomFFmpeg::SetPostHooks(TPostHooks AValue) {
    std::shared_ptr<TPreviewer> dropped;
    {
        std::lock_guard<std::mutex> g(PreviewLock());
        if (FPostHooks != AValue) {
            FPostHooks = AValue;
            FPostHooksChanged = true;
        }
        if (!(AValue & PostHookBit(phPreview))) dropped = std::move(FOutputVideoHook.Previewer);
    }
    // The window goes on the main thread, never while the lock is held.
    dropped.reset();
}

TAVOutputStream* TCustomFFmpeg::OutputStream(int file, int index) const {
    if (file < 0 || file >= FMaxFiles) return nullptr;
    const auto& v = Foutput_streams_for_file[size_t(file)];
    return index >= 0 && size_t(index) < v.size() ? v[size_t(index)] : nullptr;
}
