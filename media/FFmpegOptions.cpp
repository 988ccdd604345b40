// Option vocabulary of the conversion engine: the dispatcher, the setters, the
// target presets and the preset files.
#include "media/FFmpeg.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "media/FFLoad.h"
#include "media/FFLog.h"
#include "platform/os/folders.h"

extern "C" {
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
}

namespace {

std::string Trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
        --e;
    return s.substr(b, e - b);
}

std::string Lower(std::string s) {
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

int64_t ToInt64(const std::string& text) {
    return StrToInt64(Trimmed(text));
}
int ToInt(const std::string& text) {
    return StrToInt(Trimmed(text));
}
float ToFloat(const std::string& text) {
    return float(StrToFloat(Trimmed(text)));
}

bool ToFlag(const std::string& v) {
    return v != "0";
}

} // namespace

// ---------------------------------------------------------------- dispatcher

void TCustomFFmpeg::SetExtOption(const std::string& AName, const std::string& AValue) {
    RequireLibraries();
    const std::string& n = AName;
    const std::string& v = AValue;
    auto is = [&](std::initializer_list<const char*> names) {
        for (auto* x : names)
            if (n == x) return true;
        return false;
    };

    if (is({"L", "h", "version", "formats", "codecs", "bsfs", "protocols", "filters", "i", "y",
            "benchmark"})) {
        LogMsg(llInfo, "Do nothing: option - " + n);
    } else if (n == "loglevel") {
        FFLogger()->OptLogLevel(v);
    } else if (n == "f") {
        SetFormat(v);
    } else if (n == "map") {
        SetStreamMap(v);
    } else if (n == "map_meta_data") {
        SetMetaDataMap(v);
    } else if (n == "map_chapters") {
        char* p = nullptr;
        TAVChapterMap m;
        m.out_file = int(std::strtol(v.c_str(), &p, 0));
        if (*p) ++p;
        m.in_file = int(std::strtol(p, &p, 0));
        Fchapter_maps.push_back(m);
    } else if (n == "t") {
        SetRecordingTime(ParseTimeOrRaise(n, v, true));
    } else if (n == "fs") {
        Flimit_filesize = ToInt64(v);
    } else if (n == "ss") {
        Fstart_time = ParseTimeOrRaise(n, v, true);
    } else if (n == "itsoffset") {
        Finput_ts_offset = ParseTimeOrRaise(n, v, true);
    } else if (n == "itsscale") {
        SetItsScale(v);
    } else if (n == "timestamp") {
        Frecording_timestamp = llround(double(ParseTimeOrRaise(n, v, false)) / 1000000.0);
    } else if (n == "metadata") {
        SetMetadata(v);
    } else if (n == "dframes") {
        Fmax_frames[AVMEDIA_TYPE_DATA] = ToInt(v);
    } else if (n == "vframes") {
        Fmax_frames[AVMEDIA_TYPE_VIDEO] = ToInt(v);
    } else if (n == "aframes") {
        Fmax_frames[AVMEDIA_TYPE_AUDIO] = ToInt(v);
    } else if (n == "timelimit") {
        LogMsg(llWarning, "Warning: -timelimit not implemented on Windows");
    } else if (n == "dump") {
        Fdo_pkt_dump = ToFlag(v);
    } else if (n == "hex") {
        Fdo_hex_dump = ToFlag(v);
    } else if (n == "re") {
        Frate_emu = ToFlag(v);
    } else if (n == "loop_input") {
        Floop_input = ToFlag(v);
    } else if (n == "copyts") {
        Fcopy_ts = ToFlag(v);
    } else if (n == "copytb") {
        Fcopy_tb = ToFlag(v);
    } else if (n == "shortest") {
        Fopt_shortest = ToFlag(v);
    } else if (n == "xerror") {
        Fexit_on_error = ToFlag(v);
    } else if (n == "intra") {
        Fintra_only = ToFlag(v);
    } else if (n == "vn") {
        Fvideo_disable = ToFlag(v);
    } else if (n == "sameq") {
        Fsame_quality = ToFlag(v);
    } else if (n == "deinterlace") {
        Fdo_deinterlace = ToFlag(v);
    } else if (n == "psnr") {
        Fdo_psnr = ToFlag(v);
    } else if (n == "qphist") {
        Fqp_hist = ToFlag(v);
    } else if (n == "force_fps") {
        Fforce_fps = ToFlag(v);
    } else if (n == "an") {
        Faudio_disable = ToFlag(v);
    } else if (n == "sn") {
        Fsubtitle_disable = ToFlag(v);
    } else if (n == "isync") {
        Finput_sync = ToFlag(v);
    } else if (n == "loop_output") {
        Floop_output = ToInt(v);
    } else if (n == "vsync") {
        Fvideo_sync_method = ToInt(v);
    } else if (n == "async") {
        Faudio_sync_method = ToInt(v);
    } else if (n == "vglobal") {
        Fvideo_global_header = ToInt(v);
    } else if (n == "programid") {
        Fopt_programid = ToInt(v);
    } else if (n == "copyinkf") {
        Fcopy_initial_nonkeyframes = ToInt(v);
    } else if (n == "vdt") {
        Fvideo_discard = ToInt(v);
    } else if (n == "dc") {
        Fintra_dc_precision = ToInt(v);
    } else if (n == "vol") {
        Faudio_volume = ToInt(v);
    } else if (n == "v") {
        Fverbose = ToInt(v);
    } else if (n == "target") {
        SetTarget(v);
    } else if (n == "threads") {
        Fthread_count = ToInt(v);
        if (Fverbose >= 0)
            LogMsg(llVerbose, "Warning: if the ffmpeg libraries were not compiled with thread "
                              "support, it would be using thread emulation.");
    } else if (n == "adrift_threshold") {
        Faudio_drift_threshold = ToFloat(v);
    } else if (n == "dts_delta_threshold") {
        Fdts_delta_threshold = ToFloat(v);
    } else if (n == "aq") {
        Faudio_qscale = ToFloat(v);
    } else if (n == "muxdelay") {
        Fmux_max_delay = ToFloat(v);
    } else if (n == "muxpreload") {
        Fmux_preload = ToFloat(v);
    } else if (is({"b", "vb", "ab"})) {
        SetBitrate(n, v);
    } else if (n == "r") {
        SetFrameRate(v);
    } else if (n == "s") {
        SetFrameSize(v);
    } else if (n == "aspect") {
        SetFrameAspectRatio(v);
    } else if (n == "pix_fmt") {
        if (v == "list") {
            for (const AVPixFmtDescriptor* d = FF().av_pix_fmt_desc_next(nullptr); d;
                 d = FF().av_pix_fmt_desc_next(d))
                LogMsg(llInfo, d->name);
        } else {
            Fframe_pix_fmt = FF().av_get_pix_fmt(v.c_str());
            if (Fframe_pix_fmt == -1)
                throw FFmpegException(FmtStr("Unknown pixel format requested: %s", v.c_str()));
        }
    } else if (is({"croptop", "cropbottom", "cropleft", "cropright"})) {
        throw FFmpegException("Removed, use the crop filter instead");
    } else if (is({"padtop", "padbottom", "padleft", "padright", "padcolor"})) {
        throw FFmpegException("Removed, use the pad filter instead");
    } else if (n == "qscale") {
        float q = ToFloat(v);
        if (!(q > 0) || q > 255) throw FFmpegException("qscale must be > 0.0 and <= 255");
        Fvideo_qscale = q;
    } else if (n == "rc_override") {
        FF().av_freep(&Fvideo_rc_override_string);
        Fvideo_rc_override_string = FF().av_strdup(v.c_str());
    } else if (n == "vcodec") {
        SetVideoCodec(v);
    } else if (n == "acodec") {
        SetAudioCodec(v);
    } else if (n == "scodec") {
        SetSubtitleCodec(v);
    } else if (n == "me_threshold") {
        Fme_threshold = ToInt(v);
    } else if (n == "pass") {
        int p = ToInt(v);
        if (p != 1 && p != 2) throw FFmpegException("pass number can be only 1 or 2");
        Fdo_pass = p;
    } else if (n == "passlogfile") {
        Fpass_logfilename_prefix = v;
    } else if (n == "vstats") {
        FF().av_freep(&Fvstats_filename);
        if (ToFlag(v)) {
            time_t now = time(nullptr);
            struct tm tmv;
            localtime_r(&now, &tmv);
            char hms[16];
            snprintf(hms, sizeof hms, "%02d%02d%02d", tmv.tm_hour, tmv.tm_min, tmv.tm_sec);
            std::string name = FmtStr("%svstats_%s.log", os::ProgramFolder().c_str(), hms);
            Fvstats_filename = FF().av_strdup(name.c_str());
        }
    } else if (n == "vstats_file") {
        FF().av_freep(&Fvstats_filename);
        Fvstats_filename = FF().av_strdup(v.c_str());
    } else if (n == "vhook") {
        std::vector<std::string> parts;
        char sep = v.find('|') != std::string::npos ? '|' : ' ';
        std::string cur;
        for (char c : v) {
            if (c == sep) {
                if (!cur.empty()) parts.push_back(cur);
                cur.clear();
            } else {
                cur += c;
            }
        }
        if (!cur.empty()) parts.push_back(cur);
        if (parts.size() > 254) parts.resize(254);
        std::vector<char*> argv;
        for (auto& p : parts)
            argv.push_back(p.data());
        argv.push_back(nullptr);
        if (LoadFrameHook(&FFirstHook, int(parts.size()), argv.data()) != 0)
            throw FFmpegException("Failed to add video hook function: " + v);
        Fusing_vhook = true;
    } else if (n == "vfilters" || n == "vf") {
        if (!v.empty()) Fvfilters = v;
    } else if (n == "intra_matrix") {
        SetMatrix(&Fintra_matrix, v);
    } else if (n == "inter_matrix") {
        SetMatrix(&Finter_matrix, v);
    } else if (n == "top") {
        Ftop_field_first = ToInt(v);
    } else if (is({"vtag", "atag", "stag"})) {
        SetCodecTag(n, v);
    } else if (is({"newvideo", "newaudio", "newsubtitle"})) {
        if (Fnb_output_files <= 0)
            throw FFmpegException("At least one output file must be specified");
        AVFormatContext* oc = Foutput_files[Fnb_output_files - 1];
        if (n == "newvideo")
            NewVideoStream(oc, Fnb_output_files - 1);
        else if (n == "newaudio")
            NewAudioStream(oc, Fnb_output_files - 1);
        else
            NewSubtitleStream(oc, Fnb_output_files - 1);
    } else if (n == "vlang") {
        Fvideo_language = v;
    } else if (n == "alang") {
        Faudio_language = v;
    } else if (n == "slang") {
        Fsubtitle_language = v;
    } else if (n == "streamid") {
        SetStreamId(n, v);
    } else if (n == "force_key_frames") {
        Fforced_key_frames = v;
    } else if (n == "ar") {
        SetAudioSampleRate(ToInt(v));
    } else if (n == "ac") {
        SetAudioChannels(ToInt(v));
    } else if (n == "sample_fmt") {
        if (v == "list") {
            for (int i = -1; i < AV_SAMPLE_FMT_NB; ++i) {
                char buf[128];
                FF().av_get_sample_fmt_string(buf, sizeof buf, AVSampleFormat(i));
                LogMsg(llInfo, Trimmed(buf));
            }
        } else {
            Faudio_sample_fmt = FF().av_get_sample_fmt(v.c_str());
            if (Faudio_sample_fmt == -1)
                throw FFmpegException(FmtStr("Invalid sample format \"%s\"", v.c_str()));
        }
    } else if (n == "vc") {
        Fvideo_channel = ToInt(v);
    } else if (n == "tvstd") {
        FF().av_freep(&Fvideo_standard);
        Fvideo_standard = FF().av_strdup(v.c_str());
    } else if (is({"absf", "vbsf", "sbsf"})) {
        AddBitstreamFilter(n, v);
    } else if (is({"apre", "vpre", "spre", "fpre"})) {
        LoadPreset(n, v);
    } else {
        SetGeneric(n, v);
    }
}

// ---------------------------------------------------------------- setters

void TCustomFFmpeg::SetFormat(const std::string& AValue) {
    if (!AValue.empty()) Flast_asked_format = AValue;
}

void TCustomFFmpeg::SetGeneric(const std::string& AName, const std::string& AValue) {
    if (!FOptions.SetGenericOption(AName, AValue) && HaltOnInvalidOption)
        throw FFmpegException(GenericOptionLastError());
}

void TCustomFFmpeg::SetBitrate(const std::string& AName, const std::string& AValue) {
    if (FOptions.SetGenericOption(AName, AValue)) {
        AVCodecContext* ctx = AName[0] == 'a' ? FOptions.avcodec_opts[AVMEDIA_TYPE_AUDIO]
                                              : FOptions.avcodec_opts[AVMEDIA_TYPE_VIDEO];
        int64_t b = 0;
        if (ctx && FF().av_opt_get_int(ctx, "b", 0, &b) >= 0 && b < 1000)
            LogMsg(llWarning, "WARNING: The bitrate parameter is set too low. It takes bits/s as "
                              "argument, not kbits/s");
    } else if (HaltOnInvalidOption) {
        throw FFmpegException(GenericOptionLastError());
    }
}

void TCustomFFmpeg::SetCodecName(char** ADest, int* ACopyFlag, const std::string& AValue) {
    if (AValue.empty()) return;
    FF().av_freep(ADest);
    if (AValue == "copy")
        *ACopyFlag = 1;
    else
        *ADest = FF().av_strdup(AValue.c_str());
}

void TCustomFFmpeg::SetVideoCodec(const std::string& AValue) {
    SetCodecName(&Fvideo_codec_name, &Fvideo_stream_copy, AValue);
}
void TCustomFFmpeg::SetAudioCodec(const std::string& AValue) {
    SetCodecName(&Faudio_codec_name, &Faudio_stream_copy, AValue);
}
void TCustomFFmpeg::SetSubtitleCodec(const std::string& AValue) {
    SetCodecName(&Fsubtitle_codec_name, &Fsubtitle_stream_copy, AValue);
}

void TCustomFFmpeg::SetCodecTag(const std::string& AName, const std::string& AValue) {
    unsigned* dest;
    if (AName == "vtag")
        dest = &Fvideo_codec_tag;
    else if (AName == "atag")
        dest = &Faudio_codec_tag;
    else if (AName == "stag")
        dest = &Fsubtitle_codec_tag;
    else
        throw FFmpegException(FmtStr("Invalid tag parmeter %s", AName.c_str()));
    if (AValue.empty()) return;
    char* end = nullptr;
    unsigned long tag = std::strtoul(AValue.c_str(), &end, 10);
    if (*end == '\0' && AValue[0] >= '0' && AValue[0] <= '9') {
        *dest = unsigned(tag);
        return;
    }
    if (AValue.size() != 4) throw FFmpegException("tag parameter must be 4 chars or int value");
    *dest = unsigned(uint8_t(AValue[0])) | unsigned(uint8_t(AValue[1])) << 8 |
            unsigned(uint8_t(AValue[2])) << 16 | unsigned(uint8_t(AValue[3])) << 24;
}

void TCustomFFmpeg::AddBitstreamFilter(const std::string& AName, const std::string& AValue) {
    if (AValue.empty() || AValue[0] == '=') return;
    size_t eq = AValue.find('=');
    std::string name = (eq != std::string::npos && eq >= 1) ? AValue.substr(0, eq) : AValue;
    if (!FF().av_bsf_get_by_name(name.c_str()))
        throw FFmpegException(FmtStr("Unknown bitstream filter %s", Trimmed(AValue).c_str()));
    if (AName[0] == 'v')
        Fvideo_bitstream_filters.push_back(name);
    else if (AName[0] == 'a')
        Faudio_bitstream_filters.push_back(name);
    else
        Fsubtitle_bitstream_filters.push_back(name);
}

void TCustomFFmpeg::SetStreamMap(const std::string& AValue) {
    TAVStreamMap m;
    const char* p = AValue.c_str();
    char* q = nullptr;
    m.file_index = int(std::strtol(p, &q, 0));
    if (*q) ++q;
    m.stream_index = int(std::strtol(q, &q, 0));
    if (*q == ':') {
        ++q;
        m.sync_file_index = int(std::strtol(q, &q, 0));
        if (*q) ++q;
        m.sync_stream_index = int(std::strtol(q, &q, 0));
    } else {
        m.sync_file_index = m.file_index;
        m.sync_stream_index = m.stream_index;
    }
    Fstream_maps.push_back(m);
}

void TCustomFFmpeg::SetMetaDataMap(const std::string& AValue) {
    auto parseSide = [this](const char*& p, TAVMetaDataMap& m) {
        char* q = nullptr;
        m.file_idx = int(std::strtol(p, &q, 0));
        p = q;
        m.type_ = 'g';
        m.index = 0;
        if (*p == ',') {
            ++p;
            m.type_ = *p;
            if (*p) ++p;
            switch (m.type_) {
            case 'g':
                break;
            case 's':
            case 'c':
            case 'p':
                m.index = int(std::strtol(p, &q, 0));
                p = q;
                break;
            default:
                throw FFmpegException(FmtStr("Invalid metadata type %c.", m.type_));
            }
        }
        if (m.type_ == 'g')
            Fmetadata_global_autocopy = 0;
        else if (m.type_ == 's')
            Fmetadata_streams_autocopy = 0;
        else if (m.type_ == 'c')
            Fmetadata_chapters_autocopy = 0;
    };
    std::pair<TAVMetaDataMap, TAVMetaDataMap> pair;
    const char* p = AValue.c_str();
    parseSide(p, pair.first);
    if (*p == ':') ++p;
    parseSide(p, pair.second);
    Fmeta_data_maps.push_back(pair);
}

void TCustomFFmpeg::SetMatrix(uint16_t** AMatrix, const std::string& AValue) {
    if (!*AMatrix) {
        *AMatrix = static_cast<uint16_t*>(FF().av_mallocz(sizeof(uint16_t) * 64));
        if (!*AMatrix) throw FFmpegException("av_mallocz fail");
    } else {
        std::memset(*AMatrix, 0, sizeof(uint16_t) * 64);
    }
    const char* p = AValue.c_str();
    for (int i = 0; i < 64; ++i) {
        char* end = nullptr;
        long c = std::strtol(p, &end, 0);
        if (end == p)
            throw FFmpegException(
                FmtStr("Syntax error in matrix \"%s\" at coeff %d", AValue.c_str(), i));
        (*AMatrix)[i] = uint16_t(c);
        p = end;
        if (i < 63) {
            if (*p != ',')
                throw FFmpegException(
                    FmtStr("Syntax error in matrix \"%s\" at coeff %d", AValue.c_str(), i + 1));
            ++p;
        }
    }
}

void TCustomFFmpeg::SetItsScale(const std::string& AValue) {
    const char* p = AValue.c_str();
    char* q = nullptr;
    long idx = std::strtol(p, &q, 10);
    // A negative index would address memory before the table.
    if (idx < 0 || idx >= kMaxItsScaleStreams)
        throw FFmpegException(FmtStr("stream index over MAX_STREAMS(%d)", kMaxItsScaleStreams));
    if (*q) ++q;
    double scale = std::strtod(q, nullptr);
    auto& table = Finput_files_ts_scale[Fnb_input_files];
    if (table.size() < size_t(idx + 1)) table.resize(idx + 1, 0.0);
    table[idx] = scale;
}

void TCustomFFmpeg::SetStreamId(const std::string& AName, const std::string& AValue) {
    if (AValue.empty()) return;
    size_t colon = AValue.find(':');
    auto bad = [&]() {
        return FFmpegException(
            FmtStr("Invalid value \"%s\" for option \"%s\", required syntax is \"index:value\"",
                   AValue.c_str(), AName.c_str()));
    };
    if (colon == std::string::npos) throw bad();
    int64_t idx, val;
    try {
        idx = ToInt64(AValue.substr(0, colon));
        val = ToInt64(AValue.substr(colon + 1));
    } catch (EConvertError&) {
        throw bad();
    }
    // An index outside the streams a file can have is refused, not allocated.
    if (idx < 0 || idx >= 4096 || val < INT32_MIN || val > INT32_MAX) throw bad();
    if (Fstreamid_map.size() < size_t(idx + 1)) Fstreamid_map.resize(idx + 1, 0);
    Fstreamid_map[idx] = int(val);
}

void TCustomFFmpeg::SetFrameRate(const std::string& AValue) {
    if (AValue.empty()) return;
    AVRational r;
    if (FF().av_parse_video_rate(&r, AValue.c_str()) < 0)
        throw FFmpegException("Incorrect frame rate");
    Fframe_rate = r;
}

void TCustomFFmpeg::SetFrameSize(const std::string& AValue) {
    if (AValue.empty()) return;
    int w = 0, h = 0;
    if (FF().av_parse_video_size(&w, &h, AValue.c_str()) < 0)
        throw FFmpegException("Incorrect frame size");
    Fframe_width = w;
    Fframe_height = h;
}

void TCustomFFmpeg::SetFrameAspectRatio(const std::string& AValue) {
    double ar = 0;
    size_t colon = AValue.find(':');
    if (colon != std::string::npos) {
        int x = ToInt(AValue.substr(0, colon));
        int y = ToInt(AValue.substr(colon + 1));
        ar = y > 0 ? double(x) / y : 0;
    } else {
        ar = ToFloat(AValue);
    }
    if (ar == 0) throw FFmpegException("Incorrect aspect ratio specification.");
    Fframe_aspect_ratio = float(ar);
}

void TCustomFFmpeg::SetMetadata(const std::string& AValue) {
    size_t eq = AValue.find('=');
    if (eq == std::string::npos) throw FFmpegException("Missing =");
    std::string key = AValue.substr(0, eq);
    if (key.empty()) throw FFmpegException("wrong parameter of metadata");
    FF().av_dict_set(&Fmetadata, key.c_str(), AValue.c_str() + eq + 1, 0);
}

void TCustomFFmpeg::SetStartTime(int64_t AValue) {
    if (AValue != AV_NOPTS) Fstart_time = AValue;
}

void TCustomFFmpeg::SetRecordingTime(int64_t AValue) {
    if (AValue == AV_NOPTS) return;
    Frecording_time = AValue;
    FTotalOutputDuration = AValue;
}

void TCustomFFmpeg::SetAudioVolume(int AValue) {
    if (AValue >= 0) Faudio_volume = AValue;
}
void TCustomFFmpeg::SetAudioSampleRate(int AValue) {
    if (AValue > 0) Faudio_sample_rate = AValue;
}
void TCustomFFmpeg::SetAudioChannels(int AValue) {
    if (AValue > 0) Faudio_channels = AValue;
}
void TCustomFFmpeg::SetAudioSyncMethod(int AValue) {
    Faudio_sync_method = AValue;
}
void TCustomFFmpeg::SetMuxDelay(float AValue) {
    if (AValue > 0) Fmux_max_delay = AValue;
}
void TCustomFFmpeg::SetMuxPreload(float AValue) {
    if (AValue > 0) Fmux_preload = AValue;
}

int64_t TCustomFFmpeg::ParseTimeOrRaise(const std::string& AContext, const std::string& AText,
                                        bool AIsDuration) {
    int64_t t = 0;
    if (FF().av_parse_time(&t, AText.c_str(), AIsDuration ? 1 : 0) < 0)
        throw FFmpegException(FmtStr("Invalid %s specification for %s: %s",
                                     AIsDuration ? "duration" : "date", AContext.c_str(),
                                     AText.c_str()));
    return t;
}

// ---------------------------------------------------------------- target presets

void TCustomFFmpeg::SetTarget(const std::string& AValue, const std::string& ANorm,
                              const std::string& AFallbackNorm) {
    enum { PAL, NTSC, FILM, UNKNOWN } norm = UNKNOWN;
    static const char* const frame_rates[] = {"25", "30000/1001", "24000/1001"};
    std::string type = AValue;
    std::string normText = ANorm;
    std::string fallback = AFallbackNorm;
    if (type.rfind("pal-", 0) == 0) {
        normText = "pal";
        type = type.substr(4);
    } else if (type.rfind("ntsc-", 0) == 0) {
        normText = "ntsc";
        type = type.substr(5);
    } else if (type.rfind("film-", 0) == 0) {
        normText = "film";
        type = type.substr(5);
    }
    if (normText == "pal")
        norm = PAL;
    else if (normText == "ntsc")
        norm = NTSC;
    else if (normText == "film")
        norm = FILM;
    else {
        if (Fframe_rate.den == 0) throw FFmpegException("frame_rate is invalid.");
        auto decide = [&](int64_t fr) {
            if (fr == 25000)
                norm = PAL;
            else if (fr == 29970 || fr == 23976)
                norm = NTSC;
        };
        decide(llround(double(Fframe_rate.num) * 1000 / Fframe_rate.den));
        for (int j = 0; j < Fnb_input_files && norm == UNKNOWN; ++j) {
            AVFormatContext* ic = Finput_files[j];
            for (unsigned i = 0; ic && i < ic->nb_streams && norm == UNKNOWN; ++i) {
                AVStream* st = ic->streams[i];
                if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
                // A stream is judged by its frame period (the inverse of its frame rate).
                AVRational tb =
                    st->avg_frame_rate.num ? av_inv_q(st->avg_frame_rate) : st->time_base;
                if (tb.num) decide(llround(double(tb.den) * 1000 / tb.num));
            }
        }
        if (norm == UNKNOWN) {
            if (fallback == "film")
                norm = FILM;
            else if (fallback == "ntsc")
                norm = NTSC;
            else
                norm = PAL;
        }
        if (Fverbose > 0)
            LogMsg(llVerbose, FmtStr("Assuming %s for target.", norm == PAL ? "PAL" : "NTSC"));
    }
    bool pal = norm == PAL;
    auto gen = [this](const char* name, const char* value) { SetGeneric(name, value); };
    if (type == "vcd") {
        SetVideoCodec("mpeg1video");
        SetAudioCodec("mp2");
        SetFormat("vcd");
        SetFrameSize(pal ? "352x288" : "352x240");
        SetFrameRate(frame_rates[norm]);
        gen("g", pal ? "15" : "18");
        gen("b", "1150000");
        gen("maxrate", "1150000");
        gen("minrate", "1150000");
        gen("bufsize", "327680");
        gen("ab", "224000");
        Faudio_sample_rate = 44100;
        Faudio_channels = 2;
        gen("packetsize", "2324");
        gen("muxrate", "1411200");
        Fmux_preload = 0.44f;
        if (Fframe_aspect_ratio == 0) {
            LogMsg(llInfo, "Assuming 4:3 for aspect ratio");
            SetFrameAspectRatio("4:3");
        }
    } else if (type == "svcd") {
        SetVideoCodec("mpeg2video");
        SetAudioCodec("mp2");
        SetFormat("svcd");
        SetFrameSize(pal ? "480x576" : "480x480");
        SetFrameRate(frame_rates[norm]);
        gen("g", pal ? "15" : "18");
        gen("b", "2040000");
        gen("maxrate", "2516000");
        gen("minrate", "0");
        gen("bufsize", "1835008");
        // Scan offset is a private option of the MPEG-2 encoder.
        gen("scan_offset", "1");
        gen("ab", "224000");
        Faudio_sample_rate = 44100;
        if (Faudio_channels == 1) Faudio_channels = 2;
        gen("packetsize", "2324");
        if (Fframe_aspect_ratio == 0) {
            LogMsg(llInfo, "Assuming 4:3 for aspect ratio");
            SetFrameAspectRatio("4:3");
        }
    } else if (type == "dvd") {
        SetVideoCodec("mpeg2video");
        SetAudioCodec("ac3");
        SetFormat("dvd");
        SetFrameSize(pal ? "720x576" : "720x480");
        SetFrameRate(frame_rates[norm]);
        gen("g", pal ? "15" : "18");
        gen("b", "6000000");
        gen("maxrate", "9000000");
        gen("minrate", "0");
        gen("bufsize", "1835008");
        gen("packetsize", "2048");
        gen("muxrate", "10080000");
        gen("ab", "448000");
        Faudio_sample_rate = 48000;
        if (Faudio_channels == 1) Faudio_channels = 2;
        if (Fframe_aspect_ratio == 0) {
            LogMsg(llInfo, "Assuming 16:9 for aspect ratio");
            SetFrameAspectRatio("16:9");
        }
    } else if (type == "dv" || type == "dv50") {
        SetFormat("dv");
        SetFrameSize(pal ? "720x576" : "720x480");
        SetFrameRate(frame_rates[norm]);
        Fframe_pix_fmt = FF().av_get_pix_fmt(type == "dv50" ? "yuv422p"
                                             : pal          ? "yuv420p"
                                                            : "yuv411p");
        Faudio_sample_rate = 48000;
        Faudio_channels = 2;
    } else {
        throw FFmpegException("Unknown target type");
    }
}

// ---------------------------------------------------------------- presets

void TCustomFFmpeg::LoadPreset(const std::string& AName, const std::string& AValue) {
    if (AName.empty() || AValue.empty()) return;
    const TOptionsPreset* preset = nullptr;
    if (AName != "fpre") {
        preset = FindOptionsPreset(AValue);
        const char* codec = AName == "vpre"   ? Fvideo_codec_name
                            : AName == "apre" ? Faudio_codec_name
                            : AName == "spre" ? Fsubtitle_codec_name
                                              : nullptr;
        if (!preset && codec && *codec)
            preset = FindOptionsPreset(std::string(codec) + "-" + AValue);
    }
    if (preset) {
        ApplyPresetText(preset->Name, preset->Value);
        return;
    }
    std::ifstream in(AValue, std::ios::binary);
    if (!in) throw FFmpegException(FmtStr("Preset \"%s\" not found", AValue.c_str()));
    std::stringstream ss;
    ss << in.rdbuf();
    ApplyPresetText(AValue, ss.str());
}

void TCustomFFmpeg::ApplyPresetText(const std::string& APresetName, const std::string& AText) {
    std::string text = Trimmed(AText);
    std::string line;
    std::vector<std::string> lines;
    for (size_t i = 0; i <= text.size(); ++i) {
        char c = i < text.size() ? text[i] : '\n';
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    for (auto& raw : lines) {
        std::string l = Trimmed(raw);
        if (l.empty() || l[0] == '#') continue;
        size_t eq = l.find('=');
        std::string key = eq == std::string::npos ? l : l.substr(0, eq);
        std::string value = eq == std::string::npos ? "" : l.substr(eq + 1);
        if (key.empty() || value.empty())
            throw FFmpegException(
                FmtStr("%s: Invalid syntax: \"%s\"", APresetName.c_str(), l.c_str()));
        std::string lk = Lower(key);
        if (lk == "acodec")
            SetAudioCodec(value);
        else if (lk == "vcodec")
            SetVideoCodec(value);
        else if (lk == "scodec")
            SetSubtitleCodec(value);
        else if (!FOptions.SetGenericOption(key, value) && HaltOnInvalidOption)
            throw FFmpegException(
                FmtStr("%s\r\n%s: Invalid option or argument: \"%s\", parsed as \"%s\" = \"%s\"",
                       GenericOptionLastError().c_str(), APresetName.c_str(), l.c_str(),
                       key.c_str(), value.c_str()));
    }
}

// The x264 settings under the option names the encoder knows today.
#define X264_FAST_COMMON "coder=1\nflags=+loop\ncmp=+chroma\n"
static const TOptionsPreset kPresets[] = {
    {"libx264-baseline", "coder=0\nbf=0\n8x8dct=0\nweightp=0"},
    {"libx264-default",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\n"
     "me_method=hex\nsubq=7\nme_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\n"
     "i_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\nqdiff=4\nbf=3\nrefs=3\n"
     "direct-pred=spatial\ntrellis=1\nmixed-refs=1\nweightb=1\n8x8dct=1\nfast-pskip=1\n"
     "weightp=2"},
    {"libx264-fast", X264_FAST_COMMON "me_method=hex\nsubq=6\nme_range=16\ng=250\nrefs=2\n"
                                      "trellis=1\nmixed-refs=1\nweightp=2"},
    {"libx264-fast_firstpass", X264_FAST_COMMON "me_method=dia\nsubq=2\nrefs=1\ntrellis=0\n"
                                                "weightp=1"},
    {"libx264-faster", X264_FAST_COMMON "me_method=hex\nsubq=4\nrefs=2\ntrellis=1\nweightp=1"},
    {"libx264-faster_firstpass", X264_FAST_COMMON "me_method=dia\nsubq=2\nrefs=1\ntrellis=0"},
    {"libx264-fastfirstpass", X264_FAST_COMMON "me_method=dia\nsubq=2\nrefs=1\ntrellis=0"},
    {"libx264-hq", X264_FAST_COMMON "me_method=umh\nsubq=8\nme_range=16\nrefs=4\nbf=16\n"
                                    "trellis=1\nmixed-refs=1\nweightp=2"},
    {"libx264-ipod320",
     "coder=0\nbf=0\n8x8dct=0\nlevel=13\nmaxrate=768000\nbufsize=3000000\nweightp=0"},
    {"libx264-ipod640",
     "coder=0\nbf=0\n8x8dct=0\nlevel=30\nmaxrate=10000000\nbufsize=10000000\nweightp=0"},
    {"libx264-lossless_fast", "coder=0\nme_method=hex\nsubq=3\nrefs=1\nqmin=0\nqmax=69\n"
                              "trellis=0\nweightp=0"},
    {"libx264-lossless_max", "coder=1\nme_method=esa\nsubq=8\nrefs=16\nqmin=0\nqmax=69\n"
                             "trellis=2\nmixed-refs=1\nweightp=2"},
    {"libx264-lossless_medium", "coder=1\nme_method=hex\nsubq=5\nrefs=2\nqmin=0\nqmax=69\n"
                                "trellis=0\nweightp=2"},
    {"libx264-lossless_slow", "coder=1\nme_method=umh\nsubq=6\nrefs=3\nqmin=0\nqmax=69\n"
                              "trellis=0\nmixed-refs=1\nweightp=2"},
    {"libx264-lossless_slower", "coder=1\nme_method=umh\nsubq=8\nrefs=4\nqmin=0\nqmax=69\n"
                                "trellis=2\nmixed-refs=1\nweightp=2"},
    {"libx264-lossless_ultrafast", "coder=0\nme_method=dia\nsubq=0\nrefs=1\nqmin=0\n"
                                   "qmax=69\ntrellis=0\nweightp=0"},
    {"libx264-main", "coder=1\nbf=3\n8x8dct=0\nweightp=2"},
    {"libx264-max", X264_FAST_COMMON "me_method=tesa\nsubq=10\nme_range=24\nrefs=16\nbf=16\n"
                                     "trellis=2\nmixed-refs=1\nweightp=2"},
    {"libx264-medium", X264_FAST_COMMON "me_method=hex\nsubq=7\nme_range=16\ng=250\n"
                                        "keyint_min=25\nsc_threshold=40\ni_qfactor=0.71\n"
                                        "b_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\nqdiff=4\n"
                                        "bf=3\nrefs=3\ntrellis=1\nweightp=2"},
    {"libx264-medium_firstpass", X264_FAST_COMMON "me_method=dia\nsubq=2\nrefs=1\ntrellis=0\n"
                                                  "weightp=2"},
    {"libx264-normal", X264_FAST_COMMON "me_method=hex\nsubq=6\nrefs=2\ntrellis=0\nweightp=2"},
    {"libx264-placebo", X264_FAST_COMMON "me_method=tesa\nsubq=10\nme_range=24\nrefs=16\n"
                                         "bf=16\ntrellis=2\nmixed-refs=1\nweightp=2"},
    {"libx264-placebo_firstpass", X264_FAST_COMMON "me_method=tesa\nsubq=10\nme_range=24\n"
                                                   "refs=16\nbf=16\ntrellis=2\nweightp=2"},
    {"libx264-slow", X264_FAST_COMMON "me_method=umh\nsubq=8\nme_range=16\nrefs=5\nbf=3\n"
                                      "trellis=1\nmixed-refs=1\nweightp=2"},
    {"libx264-slow_firstpass", X264_FAST_COMMON "me_method=dia\nsubq=2\nrefs=1\nbf=3\n"
                                                "trellis=0\nweightp=2"},
    {"libx264-slower", X264_FAST_COMMON "me_method=umh\nsubq=9\nme_range=16\nrefs=8\nbf=3\n"
                                        "trellis=2\nmixed-refs=1\nweightp=2"},
    {"libx264-slower_firstpass", X264_FAST_COMMON "me_method=dia\nsubq=2\nrefs=1\nbf=3\n"
                                                  "trellis=0\nweightp=2"},
    {"libx264-slowfirstpass", X264_FAST_COMMON "me_method=dia\nsubq=2\nrefs=1\ntrellis=0\n"
                                               "weightp=2"},
    {"libx264-superfast", X264_FAST_COMMON "me_method=dia\nsubq=1\nrefs=1\nbf=3\ntrellis=0\n"
                                           "weightp=0"},
    {"libx264-superfast_firstpass", X264_FAST_COMMON "me_method=dia\nsubq=1\nrefs=1\nbf=3\n"
                                                     "trellis=0\nweightp=0"},
    {"libx264-ultrafast", "coder=0\nflags=-loop\ncmp=+chroma\nme_method=dia\nsubq=0\n"
                          "refs=1\nbf=0\ntrellis=0\nweightp=0\n8x8dct=0"},
    {"libx264-ultrafast_firstpass", "coder=0\nflags=-loop\ncmp=+chroma\nme_method=dia\n"
                                    "subq=0\nrefs=1\nbf=0\ntrellis=0\nweightp=0\n8x8dct=0"},
    {"libx264-veryfast", X264_FAST_COMMON "me_method=hex\nsubq=2\nrefs=1\nbf=3\ntrellis=0\n"
                                          "weightp=0"},
    {"libx264-veryfast_firstpass", X264_FAST_COMMON "me_method=dia\nsubq=2\nrefs=1\nbf=3\n"
                                                    "trellis=0\nweightp=0"},
    {"libx264-veryslow", X264_FAST_COMMON "me_method=umh\nsubq=10\nme_range=24\nrefs=16\n"
                                          "bf=8\ntrellis=2\nmixed-refs=1\nweightp=2"},
    {"libx264-veryslow_firstpass", X264_FAST_COMMON "me_method=dia\nsubq=2\nrefs=1\nbf=8\n"
                                                    "trellis=0\nweightp=2"},
};
#undef X264_FAST_COMMON

const TOptionsPreset* FindOptionsPreset(const std::string& AName) {
    std::string n = Lower(AName);
    for (const auto& p : kPresets)
        if (n == p.Name) return &p;
    return nullptr;
}

size_t OptionsPresetCount() {
    return sizeof kPresets / sizeof kPresets[0];
}
const TOptionsPreset& OptionsPresetAt(size_t i) {
    return kPresets[i];
}
