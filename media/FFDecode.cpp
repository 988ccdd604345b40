#include "media/FFDecode.h"
#include "media/MyUtils.h"

#include "media/UnicodeProtocol.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

struct TTagName {
    const char* Native;
    const char* Generic;
};

// Searched in order, first match wins.
const TTagName TagNames[] = {
    {"LEAD_PERFORMER", "performer"},
    {"PART_NUMBER", "track"},
    {"ALBUMARTIST", "album_artist"},
    {"TRACKNUMBER", "track"},
    {"DISCNUMBER", "disc"},
    {"Author", "artist"},
    {"X-CreationTime", "date"},
    {"CreationTime", "date"},
    {"SourceFilename", "filename"},
    {"X-Language", "language"},
    {"X-Disposition", "disposition"},
    {"X-Replaces", "replaces"},
    {"X-Depends", "depends"},
    {"X-Uses", "uses"},
    {"X-UsesFont", "usesfont"},
    {"WM/AlbumArtist", "album_artist"},
    {"WM/AlbumTitle", "album"},
    {"Author", "artist"},
    {"Description", "comment"},
    {"WM/Composer", "composer"},
    {"WM/EncodedBy", "encoded_by"},
    {"WM/EncodingSettings", "encoder"},
    {"WM/Genre", "genre"},
    {"WM/Language", "language"},
    {"WM/OriginalFilename", "filename"},
    {"WM/PartOfSet", "disc"},
    {"WM/Publisher", "publisher"},
    {"WM/Tool", "encoder"},
    {"WM/TrackNumber", "track"},
    {"WM/Track", "track"},
    {"WM/MediaStationCallSign", "service_provider"},
    {"WM/MediaStationName", "service_name"},
    {"IART", "artist"},
    {"ICMT", "comment"},
    {"ICOP", "copyright"},
    {"ICRD", "date"},
    {"IGNR", "genre"},
    {"ILNG", "language"},
    {"INAM", "title"},
    {"IPRD", "album"},
    {"IPRT", "track"},
    {"ISFT", "encoder"},
    {"ITCH", "encoded_by"},
    {"strn", "title"},
    {"TALB", "album"},
    {"TCOM", "composer"},
    {"TCON", "genre"},
    {"TCOP", "copyright"},
    {"TENC", "encoded_by"},
    {"TIT2", "title"},
    {"TLAN", "language"},
    {"TPE1", "artist"},
    {"TPE2", "album_artist"},
    {"TPE3", "performer"},
    {"TPOS", "disc"},
    {"TPUB", "publisher"},
    {"TRCK", "track"},
    {"TSSE", "encoder"},
    {"TDRL", "date"},
    {"TDRC", "date"},
    {"TDEN", "creation_time"},
    {"TSOA", "album-sort"},
    {"TSOP", "artist-sort"},
    {"TSOT", "title-sort"},
    {"TAL", "album"},
    {"TCO", "genre"},
    {"TT2", "title"},
    {"TEN", "encoded_by"},
    {"TP1", "artist"},
    {"TP2", "album_artist"},
    {"TP3", "performer"},
    {"TRK", "track"},
};

bool IsSet(int64_t V) {
    return V != AV_NOPTS_VALUE;
}

int64_t IOPosition(AVFormatContext* Ic) {
    return Ic->pb ? FF().avio_seek(Ic->pb, 0, SEEK_CUR) : -1;
}

std::string MetadataLines(const AVDictionary* M, const std::string& Prefix) {
    if (!M || FF().av_dict_count(M) == 0) return {};
    const AVDictionaryEntry* E = nullptr;
    std::string Body;
    while ((E = FF().av_dict_get(M, "", E, AV_DICT_IGNORE_SUFFIX)))
        if (std::strcmp(E->key, "language") != 0)
            Body += Format("%s  %-16s: %s\n", Prefix, GenericTagName(E->key), E->value);
    if (Body.empty()) return {};
    return Format("%sMetadata:\n", Prefix) + Body;
}

std::string RateText(double Value, const char* Unit) {
    int64_t Hundredths = llround(Value * 100);
    if (Hundredths % 100) return Format(", %3.2f %s", Value, Unit);
    if (Hundredths % (1000 * 100)) return Format(", %1.0f %s", Value, Unit);
    return Format(", %1.0fk %s", Value / 1000, Unit);
}

} // namespace

std::string GenericTagName(const std::string& Key) {
    for (const TTagName& T : TagNames)
        if (Key == T.Native) return T.Generic;
    return Key;
}

// ---------------------------------------------------------------- TCustomDecoder

TCustomDecoder::TCustomDecoder(TComponent* AOwner) : TFFBaseComponent(AOwner) {
    ReadStreamInfo();
}

TCustomDecoder::~TCustomDecoder() {
    // The derived class has closed the file already; this only covers a
    // handle the base still holds.
    if (FFileHandle && FOwnHandle) UnicodeCloseInput(&FFileHandle);
    FFileHandle = nullptr;
}

bool TCustomDecoder::AVLibLoaded() const {
    return FFLoader().Loaded(DecoderLibraries);
}

bool TCustomDecoder::LoadAVLib(const std::string& APath) {
    FFLoader().SetLibraryPath(APath);
    if (FFLoader().Load(DecoderLibraries)) return true;
    FLastErrMsg = FFLoader().LastErrMsg();
    return false;
}

void TCustomDecoder::UnloadAVLib() {
    FFLoader().Unload(DecoderLibraries);
}

void TCustomDecoder::Report(TLogLevel ALevel, const std::string& AMsg) {
    FLastErrMsg = AMsg;
    if (FF().av_log) FFLogger()->Log(this, ALevel, AMsg);
}

void TCustomDecoder::CheckLibraries() {
    if (!FFLoader().Loaded(avCodec)) throw Exception("LibAVCodec not loaded.");
    if (!FFLoader().Loaded(avFormat)) throw Exception("LibAVFormat not loaded.");
    if (!FFLoader().Loaded(avUtil)) throw Exception("LibAVUtil not loaded.");
    if (!FFLoader().Loaded(swScale)) throw Exception("LibSwScale not loaded.");
    // Resampling goes through the resampler library of this generation.
    if (!FFLoader().Loaded(swResample)) throw Exception("LibSwResample not loaded.");
}

bool TCustomDecoder::CheckFile() {
    if (FFileHandle) return true;
    Report(llWarning, "file not loaded.");
    return false;
}

bool TCustomDecoder::CheckStreamIndex(int AStreamIndex) {
    if (!CheckFile()) return false;
    if (AStreamIndex < 0 || AStreamIndex >= int(FFileHandle->nb_streams)) {
        Report(llError, Format("stream index #%d is invalid.", AStreamIndex));
        return false;
    }
    return true;
}

bool TCustomDecoder::LoadFile(const std::string& AFileName, const std::string& AFormatName) {
    CheckLibraries();
    CloseFile();
    const AVInputFormat* Fmt = nullptr;
    if (!AFormatName.empty()) {
        Fmt = FF().av_find_input_format(AFormatName.c_str());
        if (!Fmt) FLastErrMsg = Format("Unknown input format: %s", AFormatName);
    }
    AVFormatContext* Ctx = FF().avformat_alloc_context();
    if (!Ctx) {
        Report(llError, "avformat_alloc_context failed");
        return false;
    }
    Ctx->flags |= AVFMT_FLAG_NONBLOCK;
    Ctx->interrupt_callback = FFInterruptCB();
    const std::string LibName = NameForLibraries(AFileName);
    int Err = UnicodeOpenInput(&Ctx, LibName.c_str(), Fmt, nullptr);
    if (Err < 0) {
        // The library frees the context when opening fails.
        Report(llError, FormatAVError(AFileName, Err));
        CloseFile();
        return false;
    }
    FFileHandle = Ctx;
    FOwnHandle = true;
    if (FF().avformat_find_stream_info(Ctx, nullptr) < 0) {
        FLastErrMsg = Format("%s: could not find codec parameters", AFileName);
        std::string Msg = FLastErrMsg;
        CloseFile();
        FLastErrMsg = Msg;
        return false;
    }
    ReadStreamInfo();
    FForceFormat = AFormatName;
    return true;
}

void TCustomDecoder::SetFileHandle(AVFormatContext* Value) {
    if (Value == FFileHandle) return;
    if (Value) CheckLibraries();
    CloseFile();
    FFileHandle = Value;
    FOwnHandle = false;
    ReadStreamInfo();
}

void TCustomDecoder::CloseFile() {
    FForceFormat.clear();
    if (FFileHandle && FOwnHandle) UnicodeCloseInput(&FFileHandle);
    FFileHandle = nullptr;
    FOwnHandle = false;
    ReadStreamInfo();
}

void TCustomDecoder::ReadStreamInfo() {
    FFileSize = -1;
    FStreamCount = FProgramCount = -1;
    FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = -1;
    FFirstAudioStreamIndex = FFirstVideoStreamIndex = FFirstSubtitleStreamIndex = -1;
    if (!FFileHandle) return;
    int64_t Size = FFileHandle->pb ? FF().avio_size(FFileHandle->pb) : -1;
    if (Size <= 0) {
        std::string Name = NameFromLibraries(FFileHandle->url ? FFileHandle->url : "");
        int64_t OnDisk = MyUtils::GetFileSize64(Name);
        if (OnDisk >= 0) Size = OnDisk;
    }
    FFileSize = Size;
    FStreamCount = int(FFileHandle->nb_streams);
    FProgramCount = int(FFileHandle->nb_programs);
    FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = 0;
    for (int I = 0; I < FStreamCount; ++I) {
        switch (FFileHandle->streams[I]->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            if (FFirstVideoStreamIndex < 0) FFirstVideoStreamIndex = I;
            ++FVideoStreamCount;
            break;
        case AVMEDIA_TYPE_AUDIO:
            if (FFirstAudioStreamIndex < 0) FFirstAudioStreamIndex = I;
            ++FAudioStreamCount;
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            if (FFirstSubtitleStreamIndex < 0) FFirstSubtitleStreamIndex = I;
            ++FSubtitleStreamCount;
            break;
        default:
            break;
        }
    }
}

std::string TCustomDecoder::FileName() {
    if (!CheckFile()) return {};
    return NameFromLibraries(FFileHandle->url ? FFileHandle->url : "");
}

std::string TCustomDecoder::FormatName() {
    if (!CheckFile()) return {};
    return FFileHandle->iformat && FFileHandle->iformat->name ? FFileHandle->iformat->name : "";
}

std::string TCustomDecoder::FormatLongName() {
    if (!CheckFile()) return {};
    return FFileHandle->iformat && FFileHandle->iformat->long_name ? FFileHandle->iformat->long_name
                                                                   : "";
}

bool TCustomDecoder::IsAudioStream(int AStreamIndex) {
    return CheckStreamIndex(AStreamIndex) &&
           FFileHandle->streams[AStreamIndex]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
}

bool TCustomDecoder::IsVideoStream(int AStreamIndex) {
    return CheckStreamIndex(AStreamIndex) &&
           FFileHandle->streams[AStreamIndex]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
}

bool TCustomDecoder::IsSubtitleStream(int AStreamIndex) {
    return CheckStreamIndex(AStreamIndex) &&
           FFileHandle->streams[AStreamIndex]->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE;
}

TFileStreamInfo TCustomDecoder::FileStreamInfo() {
    TFileStreamInfo R;
    if (!CheckFile()) return R;
    R.StartTime = IsSet(FFileHandle->start_time) ? FFileHandle->start_time : -1;
    R.Duration = IsSet(FFileHandle->duration) ? FFileHandle->duration : -1;
    R.BitRate = int(FFileHandle->bit_rate);
    const AVDictionary* M = FFileHandle->metadata;
    R.TimeStamp = StrToInt64Def(MetadataValue(M, "creation_time", "-1"), -1);
    R.Year = StrToIntDef(MetadataValue(M, "date", "-1"), -1);
    R.Track = StrToIntDef(MetadataValue(M, "track", "-1"), -1);
    R.Title = MetadataValue(M, "title", "");
    R.Author = MetadataValue(M, "author", "");
    R.Copyright = MetadataValue(M, "copyright", "");
    R.Comment = MetadataValue(M, "comment", "");
    R.Album = MetadataValue(M, "album", "");
    R.Genre = MetadataValue(M, "genre", "");
    return R;
}

namespace {

// The stream's time base, repaired when its denominator is 0.
AVRational StreamTimeBase(AVStream* St) {
    if (St->time_base.den == 0) St->time_base.den = St->time_base.num ? St->time_base.num : 1;
    return St->time_base;
}

std::string StreamCodecName(AVStream* St) {
    AVCodecContext* C = FF().avcodec_alloc_context3(nullptr);
    if (!C) return {};
    std::string Name;
    if (FF().avcodec_parameters_to_context(C, St->codecpar) >= 0) Name = CodecNameText(C, false);
    FF().avcodec_free_context(&C);
    return Name;
}

template <class TInfo> void FillTimes(TInfo& R, AVStream* St) {
    AVRational Tb = StreamTimeBase(St);
    const AVRational Us{1, AV_TIME_BASE};
    R.StartTime = IsSet(St->start_time) ? St->start_time : -1;
    if (IsSet(St->start_time)) R.StartTimeScaled = FF().av_rescale_q(St->start_time, Tb, Us);
    R.Duration = IsSet(St->duration) ? St->duration : -1;
    if (IsSet(St->duration)) R.DurationScaled = FF().av_rescale_q(St->duration, Tb, Us);
    R.BitRate = int(St->codecpar->bit_rate);
}

} // namespace

TAudioStreamInfo TCustomDecoder::AudioStreamInfo(int AStreamIndex) {
    TAudioStreamInfo R;
    if (!CheckFile()) return R;
    if (FFirstAudioStreamIndex < 0) {
        Report(llError, "no audio stream.");
        return R;
    }
    if (!CheckStreamIndex(AStreamIndex)) return R;
    AVStream* St = FFileHandle->streams[AStreamIndex];
    if (St->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) {
        Report(llError, Format("stream #%d is not audio stream.", AStreamIndex));
        return R;
    }
    R.Language = MetadataValue(St->metadata, "language", "");
    R.CodecName = StreamCodecName(St);
    FillTimes(R, St);
    R.Channels = St->codecpar->ch_layout.nb_channels;
    R.SampleRate = St->codecpar->sample_rate;
    R.SampleFormat = St->codecpar->format;
    return R;
}

TVideoStreamInfo TCustomDecoder::VideoStreamInfo(int AStreamIndex) {
    TVideoStreamInfo R;
    if (!CheckFile()) return R;
    if (FFirstVideoStreamIndex < 0) {
        Report(llError, "no video stream.");
        return R;
    }
    if (!CheckStreamIndex(AStreamIndex)) return R;
    AVStream* St = FFileHandle->streams[AStreamIndex];
    if (St->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) {
        Report(llError, Format("stream #%d is not video stream.", AStreamIndex));
        return R;
    }
    R.Language = MetadataValue(St->metadata, "language", "");
    R.CodecName = StreamCodecName(St);
    FillTimes(R, St);
    R.Height = St->codecpar->height;
    R.Width = St->codecpar->width;
    AVRational Sar = St->codecpar->sample_aspect_ratio;
    if (R.Height > 0)
        R.AspectRatio =
            float(double(R.Width) * (Sar.num && Sar.den ? av_q2d(Sar) : 1.0) / double(R.Height));
    R.PixFmt = St->codecpar->format;
    R.FrameRate =
        St->avg_frame_rate.num && St->avg_frame_rate.den ? St->avg_frame_rate : St->r_frame_rate;
    return R;
}

TSubtitleStreamInfo TCustomDecoder::SubtitleStreamInfo(int AStreamIndex) {
    TSubtitleStreamInfo R;
    if (!CheckFile()) return R;
    if (FFirstSubtitleStreamIndex < 0) {
        Report(llError, "no subtitle stream.");
        return R;
    }
    if (!CheckStreamIndex(AStreamIndex)) return R;
    AVStream* St = FFileHandle->streams[AStreamIndex];
    if (St->codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE) {
        Report(llError, Format("stream #%d is not subtitle stream.", AStreamIndex));
        return R;
    }
    R.Language = MetadataValue(St->metadata, "language", "");
    R.CodecName = StreamCodecName(St);
    return R;
}

std::string TCustomDecoder::FileInfoText() {
    if (!CheckFile()) return {};
    AVFormatContext* Ic = FFileHandle;
    std::string T;
    T += "File Name: " + FileName() + "\n";
    T += "Format Name: " + FormatName() + "\n";
    std::string Long = FormatLongName();
    if (!Long.empty()) T += "Format Long Name: " + Long + "\n";
    T += "File Size: " + MyUtils::FormatFileSize(FFileSize) + "\n";
    if (!IsSet(Ic->duration) || Ic->duration < 0)
        T += "Duration: N/A\n";
    else
        T += "Duration: " + FormatTimeText(Ic->duration) + "\n";
    if (IsSet(Ic->start_time) && Ic->start_time >= 0)
        T += Format("StartTime: %d.%.6d\n", Ic->start_time / 1000000, Ic->start_time % 1000000);
    if (Ic->bit_rate < 1)
        T += "Bit Rate: N/A\n";
    else
        T += Format("Bit Rate: %d kb/s\n", Ic->bit_rate / 1000);
    TFileStreamInfo Info = FileStreamInfo();
    if (Info.TimeStamp > 0)
        T += "Time Stamp: " +
             MyUtils::FormatDateTimeText("yyyy-mm-dd hh:nn:ss",
                                         MyUtils::UnixToDateTime(Info.TimeStamp) +
                                             MyUtils::LocalTimeOffset()) +
             "\n";
    T += MetadataLines(Ic->metadata, "");
    for (unsigned I = 0; I < Ic->nb_chapters; ++I) {
        AVChapter* Ch = Ic->chapters[I];
        T += Format("Chapter #%d: start %f, end %f\n", int(I), Ch->start * av_q2d(Ch->time_base),
                    Ch->end * av_q2d(Ch->time_base));
        T += MetadataLines(Ch->metadata, "  ");
    }

    std::vector<bool> Shown(Ic->nb_streams, false);
    auto StreamLine = [&](unsigned Index) {
        AVStream* St = Ic->streams[Index];
        std::string L = Format("Stream #%d", int(Index));
        if (Ic->iformat && (Ic->iformat->flags & AVFMT_SHOW_IDS)) L += Format("[0x%x]", St->id);
        std::string Lang = MetadataValue(St->metadata, "language", "");
        if (!Lang.empty()) L += "(" + Lang + ")";
        int G = int(FF().av_gcd(St->time_base.num, St->time_base.den));
        if (G) L += Format(", %d/%d", St->time_base.num / G, St->time_base.den / G);
        AVCodecContext* C = FF().avcodec_alloc_context3(nullptr);
        if (C) {
            if (FF().avcodec_parameters_to_context(C, St->codecpar) >= 0) {
                C->pkt_timebase = St->time_base;
                char Buf[256] = {};
                FF().avcodec_string(Buf, sizeof Buf, C, 0);
                L += std::string(": ") + Buf;
                AVRational Sar = St->sample_aspect_ratio;
                if (Sar.num && av_cmp_q(Sar, St->codecpar->sample_aspect_ratio)) {
                    AVRational Dar;
                    FF().av_reduce(&Dar.num, &Dar.den, int64_t(St->codecpar->width) * Sar.num,
                                   int64_t(St->codecpar->height) * Sar.den, 1024 * 1024);
                    L += Format(", PAR %d:%d DAR %d:%d", Sar.num, Sar.den, Dar.num, Dar.den);
                }
                if (St->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
                    if (St->avg_frame_rate.den && St->avg_frame_rate.num)
                        L += RateText(av_q2d(St->avg_frame_rate), "fps");
                    if (St->r_frame_rate.den && St->r_frame_rate.num)
                        L += RateText(av_q2d(St->r_frame_rate), "tbr");
                    if (St->time_base.den && St->time_base.num)
                        L += RateText(1 / av_q2d(St->time_base), "tbn");
                    if (C->time_base.den && C->time_base.num)
                        L += RateText(1 / av_q2d(C->time_base), "tbc");
                }
            }
            FF().avcodec_free_context(&C);
        }
        if (IsSet(St->start_time) && St->start_time >= 0) {
            int64_t S = FF().av_rescale_q(St->start_time, St->time_base, {1, AV_TIME_BASE});
            L += Format(", StartTime: %d.%.6d", S / 1000000, S % 1000000);
        }
        if (!IsSet(St->duration) || St->duration < 0)
            L += ", Duration: N/A";
        else
            L += ", Duration: " +
                 FormatTimeText(FF().av_rescale_q(St->duration, St->time_base, {1, AV_TIME_BASE}));
        T += L + "\n";
        T += MetadataLines(St->metadata, "  ");
        Shown[Index] = true;
    };
    for (unsigned P = 0; P < Ic->nb_programs; ++P) {
        AVProgram* Pr = Ic->programs[P];
        std::string Provider = MetadataValue(Pr->metadata, "service_provider", "N/A");
        std::string Name = MetadataValue(Pr->metadata, "service_name", "N/A");
        T += Format("Program %d %s\n", Pr->id, Provider + "@" + Name);
        T += MetadataLines(Pr->metadata, "  ");
        for (unsigned K = 0; K < Pr->nb_stream_indexes; ++K)
            if (Pr->stream_index[K] < Ic->nb_streams) StreamLine(Pr->stream_index[K]);
    }
    for (unsigned I = 0; I < Ic->nb_streams; ++I)
        if (!Shown[I]) StreamLine(I);
    return T;
}

// ---------------------------------------------------------------- TFFDecoder

TFFDecoder::TFFDecoder(TComponent* AOwner)
    : TCustomDecoder(AOwner), FFormatConv(std::make_unique<TFormatConverter>()) {
    ReadStreamInfo();
}

TFFDecoder::~TFFDecoder() {
    CloseFile();
    if (FPacket) FF().av_packet_free(&FPacket);
    if (FFrame) FF().av_frame_free(&FFrame);
}

void TFFDecoder::ReadStreamInfo() {
    TCustomDecoder::ReadStreamInfo();
    FSeekIndex = FFirstVideoStreamIndex >= 0 ? FFirstVideoStreamIndex : FFirstAudioStreamIndex;
    FStartTime = 0;
    if (FFileHandle) {
        int64_t S = FSeekIndex >= 0 ? FFileHandle->streams[FSeekIndex]->start_time
                                    : FFileHandle->start_time;
        FStartTime = IsSet(S) ? S : 0;
    }
}

void TFFDecoder::FreeAudioConverters() {
    if (FAudioResampler) FF().swr_free(&FAudioResampler);
    if (FAudioReformatter) FF().swr_free(&FAudioReformatter);
}

void TFFDecoder::CloseFile() {
    FSeekIndex = FStartTime = FDecodeIndex = FDesireAudioIndex = -1;
    FStartTime = 0;
    FEOF = FEOFpkt = false;
    ResetPicture();
    ResetWaveInfo();
    FLastPTS = AV_NOPTS_VALUE;
    FLastPos = -1;
    FreeAudioConverters();
    FRemainsAudioSize = 0;
    if (FCodec || FAudioCodec) {
        TCodecLock Lock;
        if (FCodec) FF().avcodec_free_context(&FCodec);
        if (FAudioCodec) FF().avcodec_free_context(&FAudioCodec);
    }
    TCustomDecoder::CloseFile();
}

void TFFDecoder::SetDesireAudioChannels(int Value) {
    if (Value == FDesireAudioChannels) return;
    FDesireAudioChannels = Value;
    FreeAudioConverters();
}

void TFFDecoder::SetDesireAudioSampleRate(int Value) {
    if (Value == FDesireAudioSampleRate) return;
    FDesireAudioSampleRate = Value;
    FreeAudioConverters();
}

void TFFDecoder::ResetPicture() {
    if (IsSet(FPicture.PTS)) FLastPTS = FPicture.PTS;
    if (FPicture.Position >= 0) FLastPos = FPicture.Position;
    FPicture.PixFmt = FPicture.Width = FPicture.Height = FPicture.StreamIndex = -1;
    FPicture.Position = -1;
    FPicture.IsKeyFrame = false;
    FPicture.PictureType = ptUnknown;
    FPicture.PTS = FPicture.OriginalDTS = FPicture.OriginalPTS = AV_NOPTS_VALUE;
    FPicture.Ready = false;
}

void TFFDecoder::ResetWaveInfo() {
    FWaveInfo = TWaveInfo();
    // What was decoded is gone with the wave information.
    FRemainsAudioSize = 0;
}

int64_t TFFDecoder::Position() {
    if (!CheckFile()) return -1;
    if (!FFileHandle->pb) {
        Report(llWarning, "cannot get position");
        return -1;
    }
    return IOPosition(FFileHandle);
}

bool TFFDecoder::CheckSeekable() {
    if (!CheckFile()) return false;
    if (!FOwnHandle) {
        Report(llWarning, "file cannot be seeked, handle is readonly.");
        throw Exception("file cannot be seeked, handle is readonly.");
    }
    return true;
}

bool TFFDecoder::Seek(int64_t APTS, TSeekFlags ASeekFlags) {
    if (!CheckSeekable()) return false;
    if (FormatName() == "image2") {
        Report(llInfo, "\"image2\" format cannot to be seeked.");
        return false;
    }
    int64_t Pos = IOPosition(FFileHandle);
    Report(llDebug, Format("current position %d bytes", Pos));
    int64_t Target = APTS < 0 ? 0 : APTS;
    if (!(ASeekFlags & sfByte)) {
        if (FSeekIndex >= 0)
            Target = FF().av_rescale_q(Target, {1, AV_TIME_BASE},
                                       FFileHandle->streams[FSeekIndex]->time_base);
        if (FStartTime > 0) Target += FStartTime;
    }
    if (FCodec) FF().avcodec_flush_buffers(FCodec);
    if (FAudioCodec) FF().avcodec_flush_buffers(FAudioCodec);
    FEOF = FEOFpkt = false;
    ResetPicture();
    ResetWaveInfo();
    int R;
    if (APTS > 0) {
        R = FF().av_seek_frame(FFileHandle, FSeekIndex, Target, ASeekFlags);
    } else {
        R = FF().av_seek_frame(FFileHandle, FSeekIndex, Target, ASeekFlags | sfBackward);
        if (R < 0)
            R = FF().av_seek_frame(FFileHandle, FSeekIndex, Target, ASeekFlags & ~sfBackward);
    }
    if (R < 0) {
        if (ASeekFlags & sfByte)
            Report(llError, Format("could not seek to position %d bytes", APTS));
        else
            Report(llError, Format("could not seek to position %0.3f seconds", APTS / 1000000.0));
    }
    Pos = IOPosition(FFileHandle);
    std::string Err = FLastErrMsg;
    Report(llDebug, Format("seek to position %d bytes", Pos));
    return R >= 0;
}

AVCodecContext* TFFDecoder::OpenDecoder(int AStreamIndex) {
    AVStream* St = FFileHandle->streams[AStreamIndex];
    AVCodecParameters* Par = St->codecpar;
    if (Par->codec_type == AVMEDIA_TYPE_VIDEO && (Par->width == 0 || Par->height == 0)) {
        Report(llError, "frame size of codec is invalid.");
        return nullptr;
    }
    const AVCodec* Codec = FF().avcodec_find_decoder(Par->codec_id);
    if (!Codec) {
        Report(llError, Format("Unsupported codec (id=%d) for input file stream #%d",
                               int(Par->codec_id), AStreamIndex));
        return nullptr;
    }
    AVCodecContext* C = FF().avcodec_alloc_context3(Codec);
    bool Ok = C && FF().avcodec_parameters_to_context(C, Par) >= 0;
    if (Ok) {
        C->pkt_timebase = St->time_base;
        TCodecLock Lock;
        Ok = FF().avcodec_open2(C, Codec, nullptr) >= 0;
    }
    if (!Ok) {
        if (C) {
            TCodecLock Lock;
            FF().avcodec_free_context(&C);
        }
        Report(llError,
               Format("Error while opening codec for input file stream #%d", AStreamIndex));
        return nullptr;
    }
    return C;
}

int TFFDecoder::ChooseVideoStream(int AStreamIndex) {
    if (!CheckSeekable()) return -1;
    int Index = AStreamIndex;
    if (Index < 0) {
        Index = FDecodeIndex >= 0 ? FDecodeIndex : FFirstVideoStreamIndex;
        if (Index < 0) {
            Report(llError, "no video stream.");
            return -1;
        }
    } else {
        if (!CheckStreamIndex(Index)) return -1;
        if (FFileHandle->streams[Index]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) {
            Report(llError, Format("stream #%d is not video stream.", Index));
            return -1;
        }
    }
    if (Index != FDecodeIndex) {
        ResetPicture();
        if (FCodec) {
            TCodecLock Lock;
            FF().avcodec_free_context(&FCodec);
        }
        FDecodeIndex = Index;
    }
    if (!FCodec) FCodec = OpenDecoder(Index);
    return FCodec ? Index : -1;
}

int TFFDecoder::ChooseAudioStream(int AStreamIndex) {
    if (!CheckSeekable()) return -1;
    int Index = AStreamIndex;
    if (Index < 0) {
        Index = FDesireAudioIndex >= 0 ? FDesireAudioIndex : FFirstAudioStreamIndex;
        if (Index < 0) {
            Report(llError, "no audio stream.");
            return -1;
        }
    } else {
        if (!CheckStreamIndex(Index)) return -1;
        if (FFileHandle->streams[Index]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) {
            Report(llError, Format("stream #%d is not audio stream.", Index));
            return -1;
        }
    }
    if (Index != FDesireAudioIndex) {
        ResetWaveInfo();
        FreeAudioConverters();
        if (FAudioCodec) {
            TCodecLock Lock;
            FF().avcodec_free_context(&FAudioCodec);
        }
        FDesireAudioIndex = Index;
    }
    if (!FAudioCodec) FAudioCodec = OpenDecoder(Index);
    return FAudioCodec ? Index : -1;
}

int TFFDecoder::ReadPacket(int AStreamIndex) {
    if (!FPacket) FPacket = FF().av_packet_alloc();
    for (;;) {
        FF().av_packet_unref(FPacket);
        if (FEOFpkt) {
            // The empty packet has gone out already: the decoder is drained.
            if (FFileHandle->pb && !FF().avio_feof(FFileHandle->pb) && FFileHandle->pb->error &&
                FFileHandle->pb->error != AVERROR_EOF) {
                Report(llInfo, Format("unknown error #%d.", FFileHandle->pb->error));
                return -1;
            }
            Report(llInfo, "stream eof reached.");
            FEOF = true;
            return -1;
        }
        int R = FF().av_read_frame(FFileHandle, FPacket);
        if (R == AVERROR(EAGAIN)) {
            Report(llInfo, "no data, please try again.");
            return -1;
        }
        if (R < 0) {
            FEOFpkt = true;
            return 0;
        }
        if (FPacket->stream_index == AStreamIndex) return 1;
    }
}

void TFFDecoder::StorePicture(AVFrame* F, int64_t AIOPos) {
    AVStream* St = FFileHandle->streams[FDecodeIndex];
    // The picture goes on to the converters: aligned rows, padded end.
    int Size = AlignedPictureSize(AVPixelFormat(F->format), F->width, F->height);
    if (Size > 0 && !FPictureBuffer.Reserve(size_t(Size))) Size = -1;
    int64_t PrevPTS = FPicture.PTS;
    int64_t PrevPos = FPicture.Position;
    FPicture.PixFmt = F->format;
    FPicture.Width = F->width;
    FPicture.Height = F->height;
    FPicture.IsKeyFrame = F->key_frame != 0;
    FPicture.PictureType =
        F->pict_type >= 0 && F->pict_type <= 7 ? TPictureType(F->pict_type) : ptUnknown;
    int64_t Ts = IsSet(F->pkt_dts) ? F->pkt_dts : F->pts;
    if (!IsSet(Ts)) Ts = F->best_effort_timestamp;
    if (!IsSet(Ts)) {
        // Draining at the end: one more step after the previous picture.
        FPicture.PTS = FEOFpkt && IsSet(PrevPTS) && IsSet(FLastPTS) ? PrevPTS + (PrevPTS - FLastPTS)
                                                                    : AV_NOPTS_VALUE;
    } else {
        if (IsSet(St->start_time)) Ts -= St->start_time;
        FPicture.PTS = FF().av_rescale_q(Ts, St->time_base, {1, AV_TIME_BASE});
        Report(llDebug, Format("decode PTS: %0.3f", FPicture.PTS / 1000000.0));
    }
    if (IsSet(PrevPTS)) FLastPTS = PrevPTS;
    FPicture.OriginalDTS = F->pkt_dts;
    FPicture.OriginalPTS = F->pts;
    FPicture.StreamIndex = FDecodeIndex;
    if (PrevPos >= 0) FLastPos = PrevPos;
    FPicture.Position = AIOPos;
    FPicture.Buffer = FPictureBuffer.Data();
    FPicture.Size = Size;
    FPicture.Picture = TAVPicture();
    if (Size <= 0) {
        FPicture.Ready = false;
        return;
    }
    FF().av_image_fill_arrays(FPicture.Picture.data, FPicture.Picture.linesize, FPicture.Buffer,
                              AVPixelFormat(F->format), F->width, F->height, PictureAlign);
    FF().av_image_copy(FPicture.Picture.data, FPicture.Picture.linesize,
                       const_cast<const uint8_t**>(F->data), F->linesize, AVPixelFormat(F->format),
                       F->width, F->height);
    FPicture.Ready = true;
}

bool TFFDecoder::Decode(int AStreamIndex) {
    int Index = ChooseVideoStream(AStreamIndex);
    if (Index < 0) return false;
    if (FPicture.Ready && FormatName() == "image2") return true;
    if (FEOF && FEOFpkt) {
        Report(llInfo, "stream eof reached.");
        return false;
    }
    int64_t IOPos = IOPosition(FFileHandle);
    if (!FFrame) FFrame = FF().av_frame_alloc();
    for (;;) {
        int R = FF().avcodec_receive_frame(FCodec, FFrame);
        if (R == 0) {
            Report(llDebug,
                   Format("pkt.st_idx=%d, dts=%d, pts=%d, flags=%d, pict_type=%d", Index,
                          FFrame->pkt_dts, FFrame->pts, FFrame->flags, int(FFrame->pict_type)));
            StorePicture(FFrame, IOPos);
            if (FDeinterlace && !DeinterlacePicture()) {
                Report(llError, "deinterlacing failed.");
                FDeinterlace = false;
            }
            FF().av_frame_unref(FFrame);
            return true;
        }
        if (R == AVERROR_EOF) {
            Report(llInfo, "stream eof reached.");
            FEOF = true;
            return false;
        }
        int Got = ReadPacket(Index);
        if (Got < 0) return false;
        // Errors of single packets are skipped: the next one may decode.
        FF().avcodec_send_packet(FCodec, Got ? FPacket : nullptr);
    }
}

bool TFFDecoder::DeinterlacePicture() {
    // A vertical [1 2 1] low-pass over the 8-bit planes of the planar formats.
    const AVPixelFormat Fmt = AVPixelFormat(FPicture.PixFmt);
    switch (Fmt) {
    case AV_PIX_FMT_YUV420P:
    case AV_PIX_FMT_YUV422P:
    case AV_PIX_FMT_YUV444P:
    case AV_PIX_FMT_YUV411P:
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_GRAY8:
        break;
    default:
        return false;
    }
    int ShiftW = 0, ShiftH = 0;
    FF().av_pix_fmt_get_chroma_sub_sample(Fmt, &ShiftW, &ShiftH);
    const int Planes = Fmt == AV_PIX_FMT_GRAY8 ? 1 : 3;
    for (int P = 0; P < Planes; ++P) {
        const int W = P ? -((-FPicture.Width) >> ShiftW) : FPicture.Width;
        const int H = P ? -((-FPicture.Height) >> ShiftH) : FPicture.Height;
        const int Stride = FPicture.Picture.linesize[P];
        uint8_t* Plane = FPicture.Picture.data[P];
        const size_t Need = size_t(W) * size_t(H);
        if (FDeintBuf.size() < Need) FDeintBuf.resize(Need);
        FDeintSize = int(FDeintBuf.size());
        for (int Y = 0; Y < H; ++Y)
            memcpy(FDeintBuf.data() + size_t(Y) * W, Plane + size_t(Y) * Stride, size_t(W));
        auto Row = [&](int Y) { return FDeintBuf.data() + size_t(std::clamp(Y, 0, H - 1)) * W; };
        for (int Y = 0; Y < H; ++Y) {
            // Each line meets half of its two neighbours: the comb of two
            // fields taken at different times evens out.
            const uint8_t *B = Row(Y - 1), *C = Row(Y), *D = Row(Y + 1);
            uint8_t* Out = Plane + size_t(Y) * Stride;
            for (int X = 0; X < W; ++X)
                Out[X] = uint8_t((B[X] + 2 * C[X] + D[X] + 2) >> 2);
        }
    }
    return true;
}

int64_t TFFDecoder::FrameStep(int AStreamIndex) {
    AVStream* St = FFileHandle->streams[AStreamIndex];
    AVRational R =
        St->avg_frame_rate.num && St->avg_frame_rate.den ? St->avg_frame_rate : St->r_frame_rate;
    if (R.num == 0 || R.den == 0) return 1000000 / 25;
    return 1000000LL * R.den / R.num;
}

bool TFFDecoder::DecodeNextKeyFrame(int AStreamIndex) {
    int Index = ChooseVideoStream(AStreamIndex);
    if (Index < 0) return false;
    int64_t Cur = IsSet(FPicture.PTS) && FPicture.PTS > 0 ? FPicture.PTS : 0;
    Seek(Cur + FrameStep(Index), 0);
    return Decode(Index);
}

bool TFFDecoder::DecodePreviousKeyFrame(int AStreamIndex) {
    int Index = ChooseVideoStream(AStreamIndex);
    if (Index < 0) return false;
    int64_t Ref = IsSet(FPicture.PTS)         ? FPicture.PTS
                  : IsSet(FLastPTS)           ? FLastPTS
                  : FFileHandle->duration > 0 ? FFileHandle->duration
                                              : 0;
    int64_t RefPos = FPicture.Position >= 0 ? FPicture.Position : FLastPos;
    const int64_t Step = FrameStep(Index);
    for (int64_t H = 1;; ++H) {
        int64_t Target = Ref - H * Step;
        Seek(Target, sfBackward);
        int64_t Pos = IOPosition(FFileHandle);
        if (RefPos > 0 && Pos >= RefPos && Target >= 0) continue;
        if (!Decode(Index)) {
            if (Target >= 0) continue;
            FLastErrMsg = "Could not seek to the previous key-frame. " + FLastErrMsg;
            return false;
        }
        if (FPicture.PTS < Ref || FPicture.PTS <= 0) return true;
        if (Target < 0) return true;
    }
}

bool TFFDecoder::DecodePreviousFrame(int AStreamIndex) {
    int Index = ChooseVideoStream(AStreamIndex);
    if (Index < 0) return false;
    int64_t Cur = IsSet(FPicture.PTS) ? FPicture.PTS : IsSet(FLastPTS) ? FLastPTS : 0;
    int64_t Target = Cur - 2 * FrameStep(Index);
    if (!DecodePreviousKeyFrame(Index)) return false;
    while (FPicture.PTS <= Target)
        if (!Decode(Index)) return false;
    return true;
}

bool TFFDecoder::CopyToBitmap(TBitmap* ABitmap) {
    if (!FPicture.Ready) {
        Report(llError, "picture not ready, please decode first");
        return false;
    }
    if (FFormatConv->PictureToRGB(FPicture.Picture, AVPixelFormat(FPicture.PixFmt), true,
                                  FPicture.Height, FPicture.Width)) {
        ABitmap->Assign(FFormatConv->Bitmap());
        return true;
    }
    ABitmap->SetSize(FPicture.Width, FPicture.Height);
    ABitmap->Canvas()->Brush()->SetColor(clBlack);
    ABitmap->Canvas()->FillRect(TRect{0, 0, FPicture.Width, FPicture.Height});
    Report(llError, FFormatConv->LastErrMsg());
    return false;
}

const BITMAP* TFFDecoder::GetBitmapPtr() {
    if (!FPicture.Ready) {
        Report(llError, "picture not ready, please decode first");
        return nullptr;
    }
    if (!FFormatConv->PictureToRGB(FPicture.Picture, AVPixelFormat(FPicture.PixFmt), true,
                                   FPicture.Height, FPicture.Width))
        return nullptr;
    return &FFormatConv->DIB();
}

SwrContext* TFFDecoder::ConvertAudio(const AVFrame* F) {
    const AVSampleFormat InFmt = AVSampleFormat(F->format);
    const int InCh = F->ch_layout.nb_channels;
    const int InRate = F->sample_rate;
    const AVSampleFormat OutFmt = AVSampleFormat(FDesireAudioSampleFormat);
    const int OutCh = FDesireAudioChannels;
    const int OutRate = FDesireAudioSampleRate;
    const bool SameLayout = InCh == OutCh && InRate == OutRate;
    SwrContext*& Swr = SameLayout ? FAudioReformatter : FAudioResampler;
    if (!Swr) {
        AVChannelLayout InL{}, OutL{};
        if (F->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            FF().av_channel_layout_default(&InL, InCh);
        else
            FF().av_channel_layout_copy(&InL, &F->ch_layout);
        FF().av_channel_layout_default(&OutL, OutCh);
        int R =
            FF().swr_alloc_set_opts2(&Swr, &OutL, OutFmt, OutRate, &InL, InFmt, InRate, 0, nullptr);
        FF().av_channel_layout_uninit(&InL);
        FF().av_channel_layout_uninit(&OutL);
        if (R >= 0) R = FF().swr_init(Swr);
        if (R < 0) {
            if (Swr) FF().swr_free(&Swr);
            if (SameLayout)
                Report(llError, Format("Cannot convert %s sample format to %s sample format",
                                       FF().av_get_sample_fmt_name(InFmt),
                                       FF().av_get_sample_fmt_name(OutFmt)));
            else
                Report(llError,
                       Format("Can not resample %d channels @ %d Hz to %d channels @ %d Hz", InCh,
                              InRate, OutCh, OutRate));
            return nullptr;
        }
        if (SameLayout) {
            Report(llInfo,
                   Format("need convert %s sample format to %s sample format",
                          FF().av_get_sample_fmt_name(InFmt), FF().av_get_sample_fmt_name(OutFmt)));
        } else {
            if (InFmt != AV_SAMPLE_FMT_S16)
                Report(llVerbose, "Warning, using s16 intermediate sample format for resampling");
            Report(llInfo, Format("need resample %d channels @ %d Hz to %d channels @ %d Hz", InCh,
                                  InRate, OutCh, OutRate));
        }
    }
    return Swr;
}

bool TFFDecoder::DecodeAudio(int AStreamIndex) {
    int Index = ChooseAudioStream(AStreamIndex);
    if (Index < 0) {
        FRemainsAudioSize = 0;
        return false;
    }
    if (FEOF && FEOFpkt) {
        Report(llInfo, "stream eof reached.");
        FRemainsAudioSize = 0;
        return false;
    }
    FLastPTS = AV_NOPTS_VALUE;
    FLastPos = -1;
    ResetWaveInfo();
    if (!FFrame) FFrame = FF().av_frame_alloc();
    AVCodecContext* C = FAudioCodec;
    const AVSampleFormat OutFmt = AVSampleFormat(FDesireAudioSampleFormat);
    const int OutBps = FF().av_get_bytes_per_sample(OutFmt);
    FResampledAudioSize = 0;
    FDecodedAudioSize = 0;
    int64_t PktDts = AV_NOPTS_VALUE, PktPts = AV_NOPTS_VALUE;
    bool Direct = true;
    bool GotSamples = false;

    for (;;) {
        int R = FF().avcodec_receive_frame(C, FFrame);
        if (R == 0) {
            GotSamples = true;
            const int InCh = FFrame->ch_layout.nb_channels;
            const bool Same = FFrame->format == OutFmt && InCh == FDesireAudioChannels &&
                              FFrame->sample_rate == FDesireAudioSampleRate;
            if (Same && Direct) {
                int Bytes = FFrame->nb_samples * InCh * OutBps;
                if (FDecodedAudioBuffer.size() < size_t(FDecodedAudioSize + Bytes))
                    FDecodedAudioBuffer.resize(size_t(FDecodedAudioSize + Bytes));
                memcpy(FDecodedAudioBuffer.data() + FDecodedAudioSize, FFrame->data[0],
                       size_t(Bytes));
                FDecodedAudioSize += Bytes;
            } else {
                if (Direct && FDecodedAudioSize > 0) {
                    // Should the format change within one packet, keep what came first.
                    FResampledAudioBuffer.assign(FDecodedAudioBuffer.begin(),
                                                 FDecodedAudioBuffer.begin() + FDecodedAudioSize);
                    FResampledAudioSize = FDecodedAudioSize;
                }
                Direct = false;
                SwrContext* Swr = ConvertAudio(FFrame);
                if (!Swr) {
                    FF().av_frame_unref(FFrame);
                    FRemainsAudioSize = 0;
                    return false;
                }
                int OutSamples = FF().swr_get_out_samples(Swr, FFrame->nb_samples);
                int64_t Need = int64_t(OutSamples) * FDesireAudioChannels * OutBps;
                if (OutSamples < 0 || Need + FResampledAudioSize > INT_MAX / 2) {
                    Report(llError, "Buffer sizes too large in DecodeAudio");
                    FF().av_frame_unref(FFrame);
                    FRemainsAudioSize = 0;
                    return false;
                }
                if (FResampledAudioBuffer.size() < size_t(FResampledAudioSize + Need))
                    FResampledAudioBuffer.resize(size_t(FResampledAudioSize + Need));
                uint8_t* Out = FResampledAudioBuffer.data() + FResampledAudioSize;
                int N = FF().swr_convert(Swr, &Out, OutSamples,
                                         const_cast<const uint8_t**>(FFrame->extended_data),
                                         FFrame->nb_samples);
                if (N < 0) {
                    Report(llError, "av_audio_convert() failed");
                    FF().av_frame_unref(FFrame);
                    FRemainsAudioSize = 0;
                    return false;
                }
                FResampledAudioSize += N * FDesireAudioChannels * OutBps;
            }
            FF().av_frame_unref(FFrame);
            continue;
        }
        if (GotSamples) break;
        if (R == AVERROR_EOF) {
            Report(llInfo, "stream eof reached.");
            FEOF = true;
            FRemainsAudioSize = 0;
            return false;
        }
        int Got = ReadPacket(Index);
        if (Got < 0) {
            FRemainsAudioSize = 0;
            return false;
        }
        if (Got) {
            PktDts = FPacket->dts;
            PktPts = FPacket->pts;
            Report(llDebug,
                   Format("pkt.st_idx=%d, dts=%d, pts=%d, flags=%d, samples data size=%d", Index,
                          FPacket->dts, FPacket->pts, FPacket->flags, FPacket->size));
        }
        FF().avcodec_send_packet(C, Got ? FPacket : nullptr);
    }

    AVStream* St = FFileHandle->streams[Index];
    FWaveInfo.Channels = FDesireAudioChannels;
    FWaveInfo.SampleRate = FDesireAudioSampleRate;
    FWaveInfo.SampleFormat = FDesireAudioSampleFormat;
    FWaveInfo.BytesPerSample = OutBps;
    FWaveInfo.BytesPerSecond = OutBps * FDesireAudioSampleRate * FDesireAudioChannels;
    if (Direct) {
        FWaveInfo.Buffer = FDecodedAudioBuffer.data();
        FWaveInfo.Size = FDecodedAudioSize;
    } else {
        FWaveInfo.Buffer = FResampledAudioBuffer.data();
        FWaveInfo.Size = FResampledAudioSize;
    }
    int64_t Ts = IsSet(PktDts) ? PktDts : PktPts;
    if (IsSet(Ts)) {
        if (IsSet(St->start_time)) Ts -= St->start_time;
        FWaveInfo.PTS = FF().av_rescale_q(Ts, St->time_base, {1, AV_TIME_BASE});
        Report(llDebug, Format("decode PTS: %0.3f", FWaveInfo.PTS / 1000000.0));
    }
    FWaveInfo.OriginalDTS = PktDts;
    FWaveInfo.OriginalPTS = PktPts;
    FWaveInfo.StreamIndex = Index;
    FWaveInfo.Ready = true;
    FWaveInfo.Duration = int64_t(1000000.0 / OutBps * FWaveInfo.Size /
                                 (double(FDesireAudioSampleRate) * FDesireAudioChannels));
    FF().av_packet_unref(FPacket);
    return true;
}

int TFFDecoder::ReadAudio(uint8_t* ABuffer, int ACount, int /*AStreamIndex*/) {
    if (FRemainsAudioSize <= 0) {
        if (!DecodeAudio(-1)) {
            FRemainsAudioSize = 0;
            return -1;
        }
        FRemainsAudioSize = FWaveInfo.Size;
    }
    int N = std::min(ACount, FRemainsAudioSize);
    if (ABuffer && N > 0) {
        memcpy(ABuffer, FWaveInfo.Buffer + (FWaveInfo.Size - FRemainsAudioSize), size_t(N));
        FRemainsAudioSize -= N;
    }
    return N;
}
