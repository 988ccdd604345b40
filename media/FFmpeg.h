// Conversion engine: one task turning input media files into output files.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "classlib/classes.h"
#include "classlib/sysutils.h"
#include "classlib/thread.h"
#include "media/FFUtils.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/rational.h>
#include <libavutil/video_enc_params.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "media/FFUtils.h"
#include "media/FrameHook.h"

#include "classlib/graphics.h"

// Every failure inside a conversion.
class FFmpegException : public Exception {
public:
    using Exception::Exception;
};

class TCustomFFmpeg;

constexpr int64_t AV_NOPTS = INT64_MIN;
constexpr int64_t kNoRecordingLimit = INT64_MAX;
constexpr int kMaxItsScaleStreams = 20;

enum TPostHook { phPreview, phBitmap, phHBITMAP };
using TPostHooks = unsigned; // bit (1 << TPostHook)
inline TPostHooks PostHookBit(TPostHook h) {
    return 1u << unsigned(h);
}

using TAudioHookEvent =
    std::function<void(TObject* Sender, int64_t APTS, uint8_t* ASample, int ASize, int ASampleRate,
                       int AChannels, int ASampleFormat)>;
using TBeforeFindStreamInfoEvent =
    std::function<void(TObject* Sender, AVFormatContext* AFormatContext)>;
using TVideoHookEvent = std::function<void(TObject* Sender, TBitmap* ABitmap, int AFrameNumber,
                                           int64_t APTS, bool& AUpdate, bool& AStopHook)>;
using TPreviewBitmapEvent =
    std::function<void(TObject* Sender, TBitmap* ABitmap, int AFrameNumber, int64_t APTS)>;
using TProgressEvent = std::function<void(
    TObject* Sender, int AFileIndex, int AFrameNumber, int AFPS, float AQuality, float ABitRate,
    int64_t ACurrentSize, int64_t ACurrentDuration, int64_t ATotalDuration)>;

struct TAVStreamMap {
    int file_index = 0, stream_index = 0, sync_file_index = 0, sync_stream_index = 0;
};

struct TAVMetaDataMap {
    int file_idx = 0;
    char type_ = 'g';
    int index = 0;
};

struct TAVChapterMap {
    int in_file = 0, out_file = 0;
};

struct TAVInputFile {
    int eof_reached = 0;
    int ist_index = 0;
    int buffer_size = 0;
    int nb_streams = 0;
};

struct TAVInputStream {
    int file_index = 0, index = 0;
    AVStream* st = nullptr;
    AVCodecContext* dec = nullptr; // owned by the engine's input tables
    int discard = 1;
    int decoding_needed = 0;
    int64_t sample_index = 0;
    int frame_number = 0;
    int64_t start = 0;
    int64_t next_pts = AV_NOPTS;
    int64_t pts = 0;
    int is_start = 1;
    int showed_multi_packet_warning = 0;
    int is_past_recording_time = 0;
    int decoder_flushed = 0;
    AVFilterContext *output_video_filter = nullptr, *input_video_filter = nullptr;
    AVFrame* frame = nullptr;    // decoded unit
    AVFrame* filtered = nullptr; // picture taken from the sink
    float quality = 0;
};

struct TAVOutputStream {
    int file_index = 0, index = 0;
    int source_index = -1;
    AVStream* st = nullptr;
    AVCodecContext* enc = nullptr;        // one codec context per stream
    bool owns_enc = false;                // false for the later groups of a join
    TAVOutputStream* enc_owner = nullptr; // join: the first group's stream that encodes
    const AVCodec* codec = nullptr;
    bool stream_copy = false;
    int encoding_needed = 0;
    int frame_number = 0;
    TAVInputStream* sync_ist = nullptr;
    int64_t sync_opts = 0;
    std::vector<AVBSFContext*> bitstream_filters;
    std::vector<std::string> bitstream_filter_names;
    int video_resample = 0;
    AVFrame* pict_tmp = nullptr;
    SwsContext* img_resample_ctx = nullptr;
    int resample_height = 0, resample_width = 0, resample_pix_fmt = -1;
    int original_height = 0, original_width = 0;
    std::vector<int64_t> forced_kf_pts;
    int forced_kf_count = 0, forced_kf_index = 0;
    int audio_resample = 0;
    SwrContext* resample = nullptr; // resampling and sample-format conversion
    int resample_sample_fmt = -1, resample_channels = 0, resample_sample_rate = 0;
    int reformat_pair = -6;
    AVAudioFifo* fifo = nullptr;
    FILE* logfile = nullptr;
    AVCodecID codec_id = AV_CODEC_ID_NONE;
    int show_fps = 0;
    int64_t next_enc_pts = 0; // audio: first sample not yet given to the encoder
    AVFrame* enc_frame = nullptr;
    bool encoder_opened = false;
    bool encoder_drained = false;
    float quality = -1;
    int64_t last_pts = AV_NOPTS; // pts of the last written packet, stream time base
    // The encoder's statistics of its last packet: picture type and squared
    // error of each plane (with the PSNR flag), and the errors summed.
    int pict_type = 0;
    uint64_t error[3] = {};
    uint64_t error_sum[3] = {};
};

// A manual-reset event.
class TEngineEvent {
public:
    explicit TEngineEvent(bool signalled) : FSet(signalled) {}
    void Set();
    void Reset();
    bool WaitFor(int timeoutMs); // true when signalled
    bool IsSet();

private:
    std::mutex FLock;
    std::condition_variable FCond;
    bool FSet;
};

// The conversion thread: created suspended, started by Resume, joined by its engine.
class TConvertThread {
public:
    TConvertThread(TCustomFFmpeg* AOwner, TThreadPriority APriority)
        : FOwner(AOwner), FPriority(APriority) {}
    ~TConvertThread();
    void Resume(); // starts the run once
    bool Started() const { return FStarted; }
    void Join();

private:
    TCustomFFmpeg* FOwner;
    TThreadPriority FPriority;
    std::thread FThread;
    std::atomic<bool> FStarted{false};
    std::mutex FStartLock;
};

// Pictures of the libraries to and from a bitmap, for the video hooks.
class TVideoHookConverter {
public:
    TBitmap* Bitmap() { return FConverter.Bitmap(); }
    // 8, 15, 16, 24 (the default) or 32; EConvertError for anything else.
    void SetBitsPixel(int ABitsPixel) { FConverter.SetBitsPixel(ABitsPixel); }
    int BitsPixel() const { return FConverter.BitsPixel(); }
    bool PictureToBitmap(const AVFrame* APicture);
    bool BitmapToPicture(AVFrame* APicture);
    const std::string& LastErrMsg() const { return FConverter.LastErrMsg(); }

private:
    TFormatConverter FConverter;
};

class TPreviewer;

struct TPostHookContext {
    std::unique_ptr<TVideoHookConverter> Converter;
    // Shared so that a window being painted outlives its removal meanwhile.
    std::shared_ptr<TPreviewer> Previewer;
    int64_t preview_last_time = 0, preview_cur_time = 0;
};

// Built-in option presets.
struct TOptionsPreset {
    const char* Name;
    const char* Value;
};
const TOptionsPreset* FindOptionsPreset(const std::string& AName);
size_t OptionsPresetCount();
const TOptionsPreset& OptionsPresetAt(size_t AIndex);

// printf-style formatting for the engine's messages.
std::string FmtStr(const char* AFormat, ...) __attribute__((format(printf, 1, 2)));
// Peak signal-to-noise ratio in dB of a squared error already divided by
// the samples and by 255 squared.
double PeakSignalToNoise(double errorPerSample);

// Called every 20 ms, after the pending synchronised calls, while the main
// thread waits for a conversion thread to stop: the window layer pumps its
// messages here, so a thread waiting for the main thread cannot deadlock a stop.
void SetStopWaitPump(std::function<void()> APump);

class TCustomFFmpeg : public TObject {
public:
    explicit TCustomFFmpeg(int AMaxFiles);
    virtual ~TCustomFFmpeg();

    // properties
    int nb_input_files() const { return Fnb_input_files; }
    int nb_output_files() const { return Fnb_output_files; }
    bool Converting() const { return FConverting; }
    bool Finished() const { return FFinished; }
    bool Terminated() const { return FTerminated; }
    bool FatalException() const { return FFatalException; }
    const std::string& FatalMessage() const { return FFatalMessage; }
    const std::string& LastErrMsg() const { return FLastErrMsg; }
    int64_t TotalOutputDuration() const { return FTotalOutputDuration; }
    int ReadTimeout() const { return FReadTimeout; }
    void SetReadTimeout(int v) { FReadTimeout = v; }

    // lifecycle
    TConvertThread* StartConvert(bool AUseThread, TThreadPriority APriority = tpNormal);
    // Bits per pixel of the bitmaps both video hooks see (Part of the
    // output options); a value the converters refuse is logged and ignored.
    void SetVideoHookBitsPixel(int ABitsPixel);
    void Stop(bool AWaitForStop);
    void Pause();
    void Resume();
    void StopOrTerminate(bool AWaitForStop);
    bool Paused() const { return FPaused; }

    // options
    void SetExtOption(const std::string& AName, const std::string& AValue);
    void SetFormat(const std::string& AValue);
    void SetBitrate(const std::string& AName, const std::string& AValue);
    void SetGeneric(const std::string& AName, const std::string& AValue);
    void SetVideoCodec(const std::string& AValue);
    void SetAudioCodec(const std::string& AValue);
    void SetSubtitleCodec(const std::string& AValue);
    void LoadPreset(const std::string& AName, const std::string& AValue);
    void SetTarget(const std::string& AValue, const std::string& ANorm = "auto",
                   const std::string& AFallbackNorm = "ntsc");
    void SetFrameRate(const std::string& AValue);
    void SetFrameSize(const std::string& AValue);
    void SetFrameAspectRatio(const std::string& AValue);
    void SetMetadata(const std::string& AValue);
    void SetStartTime(int64_t AValue);
    void SetRecordingTime(int64_t AValue);
    void SetAudioVolume(int AValue);
    void SetAudioSampleRate(int AValue);
    void SetAudioChannels(int AValue);
    void SetAudioSyncMethod(int AValue);
    void SetMuxDelay(float AValue);
    void SetMuxPreload(float AValue);
    void SetPostHooks(TPostHooks AValue);
    TPostHooks PostHooks() const { return FPostHooks; }

    // files
    bool OpenInputFile(const std::string& AFileName);
    int OpenOutputFile(const std::string& AFileName, bool AJoin = false);
    void NewVideoStream(AVFormatContext* oc, int file_idx);
    void NewAudioStream(AVFormatContext* oc, int file_idx);
    void NewSubtitleStream(AVFormatContext* oc, int file_idx);
    void CheckInputStreams(bool AJoin, bool& AHasVideo, bool& AHasAudio, bool& AHasSubtitle);
    void PrepareJoin();
    bool FindCodec(const std::string& AName, AVMediaType AType, AVCodecID& AId, int AStrict,
                   bool AEncoder);
    int OptionStrictness(AVMediaType AType);

    // events and public fields
    TAudioHookEvent OnAudioHook;
    TBeforeFindStreamInfoEvent OnBeforeFindStreamInfo;
    TVideoHookEvent OnInputVideoHook, OnOutputVideoHook;
    TPreviewBitmapEvent OnPreviewBitmap;
    TProgressEvent OnProgress;
    TNotifyEvent OnTerminate;
    bool HaltOnInvalidOption = true;
    int64_t ReportInterval = 500000;
    int64_t PreviewInterval = 100000;

    // read by tests and the encoder
    int64_t RecordingTime() const { return Frecording_time; }
    int AudioVolume() const { return Faudio_volume; }
    int Verbose() const { return Fverbose; }
    unsigned VideoCodecTag() const { return Fvideo_codec_tag; }
    const std::vector<int>& StreamIdMap() const { return Fstreamid_map; }
    bool JoinMode() const { return FJoinMode; }
    TAVOutputStream* OutputStream(int file, int index) const;
    AVFormatContext* OutputFile(int i) const { return Foutput_files[i]; }
    AVFormatContext* InputFile(int i) const { return Finput_files[i]; }

    void DoConvert();   // body of a run
    void DoTerminate(); // ends a run and fires OnTerminate

    // interrupt checks, asked by the interrupt list
    bool CheckReadTimeoutFor(void* ASender);
    bool CheckBrokenFor(void* ASender);

protected:
    friend class TConvertThread;

    // helpers of the options
    void ApplyPresetText(const std::string& APresetName, const std::string& AText);
    void SetCodecName(char** ADest, int* ACopyFlag, const std::string& AValue);
    void SetCodecTag(const std::string& AName, const std::string& AValue);
    void AddBitstreamFilter(const std::string& AName, const std::string& AValue);
    void SetStreamMap(const std::string& AValue);
    void SetMetaDataMap(const std::string& AValue);
    void SetMatrix(uint16_t** AMatrix, const std::string& AValue);
    void SetItsScale(const std::string& AValue);
    void SetStreamId(const std::string& AName, const std::string& AValue);
    int64_t ParseTimeOrRaise(const std::string& AContext, const std::string& AText,
                             bool AIsDuration);
    void RequireLibraries();
    void LogMsg(int ALevel, const std::string& AMsg);

    // lifecycle internals
    void ResetOptions();
    void FreeResources();
    void BeginBlocking();
    void EndBlocking();
    void RegisterBroken(bool ARegister);
    static int OutputInterrupt(void* AOpaque);
    void CloseListedCodecs();
    void WaitWhilePaused();

    // set-up and loop
    void RunTranscode();
    void SetupStreams();
    void FreeRunState();
    void LogStreamMapping();
    int ConfigureFilters(TAVInputStream* ist, TAVOutputStream* ost);
    void OpenEncoder(TAVOutputStream* ost);
    int DecodePacket(TAVInputStream* ist, int ist_index, AVPacket* pkt);
    void DeliverDecoded(TAVInputStream* ist, AVFrame* frame);
    void CopyPacket(TAVInputStream* ist, TAVOutputStream* ost, AVPacket* pkt);
    void FlushEncoder(TAVOutputStream* ost);
    void JoinSwitchInput(int& file_index, bool& leave);
    void ReportProgress(bool is_last, int file_index);

    // encoding steps
    void EncodeAudioFrame(TAVOutputStream* ost, TAVInputStream* ist, AVFrame* in);
    void EncodeAudioSamples(TAVOutputStream* e, bool flush);
    void EncodeVideoFrame(TAVOutputStream* ost, TAVInputStream* ist, AVFrame* picture,
                          int& frame_size);
    void EncodeSubtitle(TAVOutputStream* ost, TAVInputStream* ist, AVSubtitle* sub, int64_t pts);
    void ReadQualityStats(TAVOutputStream* e, const uint8_t* stats, size_t size);
    AVRational CopiedStreamTimeBase(TAVInputStream* ist);
    void ReceivePackets(TAVOutputStream* e, int64_t& ASizeCounter);
    void WritePacket(AVFormatContext* s, AVPacket* pkt, TAVOutputStream* ost);
    void WriteVideoStats(TAVOutputStream* ost, int frame_size);
    void PrepareInputPicture(TAVInputStream* ist, AVFrame* picture);
    void CallVideoHook(TVideoHookEvent& AEvent, TVideoHookConverter& AConverter, bool& AConverted,
                       int64_t APTS, int AFrameNumber, AVFrame* APicture);
    void RunPostHooks(AVFrame* APicture, bool AConverted, int64_t APTS, int AFrameNumber);

    // stream creation
    TAVOutputStream* NewOutputStream(AVFormatContext* oc, int file_idx);
    void NewStreamCommon(AVFormatContext* oc, int file_idx, AVMediaType type, TAVOutputStream*& ost,
                         AVStream*& st);
    void ChooseSampleFormat(AVCodecContext* c, const AVCodec* codec);
    void ChooseSampleRate(AVCodecContext* c, const AVCodec* codec);
    void ChoosePixelFormat(AVCodecContext* c, const AVCodec* codec);
    void ParseForcedKeyFrames(const std::string& kf, TAVOutputStream* ost, AVCodecContext* avctx);
    void CloseOutputFile(int i);

    // ------------------------------------------------------------------ fields
    int FMaxFiles;
    std::vector<AVFormatContext*> Finput_files;
    std::vector<int64_t> Finput_files_ts_offset;
    std::vector<std::vector<double>> Finput_files_ts_scale;
    std::vector<std::vector<AVCodecContext*>> Finput_codec_ctx; // decoder context per input stream
    std::vector<const AVCodec*> Finput_codecs;
    int Fnb_input_files = 0, Fnb_input_codecs = 0;
    std::vector<AVFormatContext*> Foutput_files;
    std::vector<std::string> Foutput_names; // file names as given, for the empty-file check
    std::vector<std::string> Finput_names;  // so an output never replaces an input
    std::vector<const AVCodec*> Foutput_codecs;
    int Fnb_output_files = 0, Fnb_output_codecs = 0;
    std::vector<TAVStreamMap> Fstream_maps;
    std::vector<std::pair<TAVMetaDataMap, TAVMetaDataMap>> Fmeta_data_maps;
    int Fmetadata_global_autocopy = 1, Fmetadata_streams_autocopy = 1,
        Fmetadata_chapters_autocopy = 1;
    std::vector<TAVChapterMap> Fchapter_maps;
    std::vector<int> Fstreamid_map;

    std::string Flast_asked_format;
    int Fframe_width = 0, Fframe_height = 0;
    float Fframe_aspect_ratio = 0;
    int Fframe_pix_fmt = -1;
    int Faudio_sample_fmt = -1;
    int Fmax_frames[4];
    AVRational Fframe_rate{25, 0};
    float Fvideo_qscale = 0;
    uint16_t *Fintra_matrix = nullptr, *Finter_matrix = nullptr;
    char* Fvideo_rc_override_string = nullptr;
    bool Fvideo_disable = false;
    int Fvideo_discard = 0;
    char* Fvideo_codec_name = nullptr;
    unsigned Fvideo_codec_tag = 0;
    std::string Fvideo_language;
    bool Fsame_quality = false, Fdo_deinterlace = false;
    int Ftop_field_first = -1;
    int Fme_threshold = 0;
    int Fintra_dc_precision = 8;
    bool Floop_input = false;
    int Floop_output = -1;
    bool Fqp_hist = false;
    std::string Fvfilters;
    bool FEnableFilter = false;
    AVFilterGraph* Fgraph = nullptr;
    bool Fintra_only = false;

    int Faudio_sample_rate = 44100;
    int64_t Fchannel_layout = 0;
    float Faudio_qscale = -99999.0f;
    bool Faudio_disable = false;
    int Faudio_channels = 2;
    char* Faudio_codec_name = nullptr;
    unsigned Faudio_codec_tag = 0;
    std::string Faudio_language;
    bool Fsubtitle_disable = false;
    char* Fsubtitle_codec_name = nullptr;
    std::string Fsubtitle_language;
    unsigned Fsubtitle_codec_tag = 0;

    float Fmux_preload = 0.5f, Fmux_max_delay = 0.7f;
    int64_t Frecording_time = kNoRecordingLimit;
    int64_t Fstart_time = 0;
    int64_t Frecording_timestamp = 0;
    int64_t Finput_ts_offset = 0;
    AVDictionary* Fmetadata = nullptr;
    int Fdo_benchmark = 0;
    bool Fdo_hex_dump = false, Fdo_pkt_dump = false;
    bool Fdo_psnr = false;
    int Fdo_pass = 0;
    std::string Fpass_logfilename_prefix;
    int Faudio_stream_copy = 0, Fvideo_stream_copy = 0, Fsubtitle_stream_copy = 0;
    int Fvideo_sync_method = -1;
    int Faudio_sync_method = 0;
    float Faudio_drift_threshold = 0.1f;
    bool Fcopy_ts = false, Fcopy_tb = false;
    bool Fopt_shortest = false;
    int Fvideo_global_header = 0;
    char* Fvstats_filename = nullptr;
    FILE* Fvstats_file = nullptr;
    int Fopt_programid = 0;
    int Fcopy_initial_nonkeyframes = 0;
    bool Frate_emu = false;
    int Fvideo_channel = 0;
    char* Fvideo_standard = nullptr;
    int Faudio_volume = 256;
    bool Fexit_on_error = false;
    int Fusing_stdin = 0;
    bool Fusing_vhook = false;
    int Fverbose = 1;
    int Fthread_count = 1;
    int Fq_pressed = 0;

    int64_t Fvideo_size = 0, Faudio_size = 0, Fextra_size = 0;
    int Fnb_frames_dup = 0, Fnb_frames_drop = 0;
    bool FShowDupOrDrop = false;
    bool Finput_sync = false;
    int64_t Flimit_filesize = 0;
    bool Fforce_fps = false;
    std::string Fforced_key_frames;
    float Fdts_delta_threshold = 10.0f;
    unsigned Fsws_flags = 4;
    int64_t Ftimer_start = 0;
    uint8_t* Faudio_buf = nullptr;
    unsigned Fallocated_audio_buf_size = 0;
    uint8_t* Finput_tmp = nullptr;
    unsigned Fallocated_input_tmp_size = 0;
    uint8_t* Fsamples = nullptr;
    unsigned Fsamples_size = 0;
    std::vector<std::string> Fvideo_bitstream_filters, Faudio_bitstream_filters,
        Fsubtitle_bitstream_filters;
    std::vector<std::vector<TAVOutputStream*>> Foutput_streams_for_file;
    std::vector<int> Fnb_output_streams_for_file;
    int Fbit_buffer_size = 262144;
    std::vector<uint8_t> Fsubtitle_out; // encoded subtitles
    TFFOptions FOptions;
    std::vector<TAVOutputStream*> FEncoderList;
    std::vector<TAVInputStream*> FDecoderList;

    // per-run tables
    std::vector<TAVInputFile> Finput_file_table;
    std::vector<TAVInputStream*> Fist_table;
    std::vector<TAVOutputStream*> Fost_table;
    std::vector<char> Fno_packet;
    int Fjoin_group = 0;
    bool FCheckBrokenRegistered = false;
    bool FJoinFlushLast = true; // a decoder flush also drains the encoders
    bool Fheaders_written = false;
    std::atomic<bool> FOpeningOutput{false};
    AVPacket* Fpkt = nullptr;

    std::unique_ptr<TConvertThread> FThread;
    TEngineEvent FStopEvent{true}, FTermEvent{true};
    std::thread FTerminateThread;
    TFrameHookEntry* FFirstHook = nullptr;
    std::unique_ptr<TVideoHookConverter> FInputVideoHook;
    TPostHookContext FOutputVideoHook;
    TPostHooks FPostHooks = 0;
    bool FPostHooksChanged = false;
    bool FJoinMode = false;
    std::atomic<bool> FConverting{false};
    std::atomic<bool> FBroken{false};
    std::atomic<bool> FFinished{false};
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FPaused{false};
    std::mutex FPauseLock;
    std::condition_variable FPauseCond;
    int FReadTimeout = 10000;
    std::atomic<int64_t> FLastRead{INT64_MAX};
    bool FFatalException = false;
    std::string FFatalMessage;
    int64_t FTotalOutputDuration = -1;
    std::string FLastErrMsg;
};

// Scales interleaved 16-bit samples by AVolume / 256 with clipping.
void ScaleSamplesS16(int16_t* ASamples, size_t ACount, int AVolume);
