// Opening input and output files and creating output streams.
#include "media/FFmpeg.h"

#include <cmath>
#include <cstring>

#include "media/FFLoad.h"
#include "media/FFLog.h"
#include "media/UnicodeProtocol.h"
#include "platform/os/folders.h"

namespace {

bool IsStreamCopy(int flag) {
    return flag != 0;
}

} // namespace

// Only the opening of an output may be abandoned: a stop must not cut off what
// is written after it (the trailer above all).
int TCustomFFmpeg::OutputInterrupt(void* AOpaque) {
    auto* self = static_cast<TCustomFFmpeg*>(AOpaque);
    return self->FOpeningOutput ? FFInterruptCallback(nullptr) : 0;
}

bool TCustomFFmpeg::FindCodec(const std::string& AName, AVMediaType AType, AVCodecID& AId,
                              int AStrict, bool AEncoder) {
    AId = AV_CODEC_ID_NONE;
    if (AName.empty()) return true;
    const char* what = AEncoder ? "encoder" : "decoder";
    const AVCodec* codec = AEncoder ? FF().avcodec_find_encoder_by_name(AName.c_str())
                                    : FF().avcodec_find_decoder_by_name(AName.c_str());
    if (!codec) {
        FLastErrMsg = FmtStr("Unknown %s '%s'", what, AName.c_str());
        return false;
    }
    if (codec->type != AType) {
        FLastErrMsg = FmtStr("Invalid %s type '%s'", what, AName.c_str());
        return false;
    }
    if ((codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL) && AStrict > FF_COMPLIANCE_EXPERIMENTAL) {
        FLastErrMsg = FmtStr("%s '%s' is experimental and might produce bad results.\r\nAdd "
                             "'-strict experimental' if you want to use it.",
                             what, codec->name);
        const AVCodec* def =
            AEncoder ? FF().avcodec_find_encoder(codec->id) : FF().avcodec_find_decoder(codec->id);
        if (def && !(def->capabilities & AV_CODEC_CAP_EXPERIMENTAL))
            FLastErrMsg += FmtStr("\r\nOr use the non experimental %s '%s'.", what, def->name);
        return false;
    }
    AId = codec->id;
    return true;
}

int TCustomFFmpeg::OptionStrictness(AVMediaType AType) {
    AVCodecContext* c = FOptions.avcodec_opts[AType];
    return c ? c->strict_std_compliance : 0;
}

bool TCustomFFmpeg::OpenInputFile(const std::string& AFileName) {
    RequireLibraries();
    if (Fnb_input_files >= FMaxFiles) {
        FLastErrMsg = FmtStr("max input files %d reached", FMaxFiles);
        return false;
    }
    const AVInputFormat* file_iformat = nullptr;
    if (!Flast_asked_format.empty()) {
        file_iformat = FF().av_find_input_format(Flast_asked_format.c_str());
        if (!file_iformat) {
            std::string name = Flast_asked_format;
            Flast_asked_format.clear();
            throw FFmpegException(FmtStr("Unknown input format: \"%s\"", name.c_str()));
        }
        Flast_asked_format.clear();
    }

    auto clearPending = [this] {
        EndBlocking();
        Fvideo_channel = 0;
        FF().av_freep(&Fvideo_codec_name);
        FF().av_freep(&Faudio_codec_name);
        FF().av_freep(&Fsubtitle_codec_name);
    };

    AVFormatContext* ic = FF().avformat_alloc_context();
    if (!ic) throw FFmpegException("avformat_alloc_context failed");

    // Raw and device inputs take these as demuxer options; others ignore them.
    AVDictionary* opts = nullptr;
    FF().av_dict_set_int(&opts, "sample_rate", Faudio_sample_rate, 0);
    FF().av_dict_set_int(&opts, "channels", Faudio_channels, 0);
    if (Fframe_rate.den && Fframe_rate.num)
        FF().av_dict_set(&opts, "framerate",
                         FmtStr("%d/%d", Fframe_rate.num, Fframe_rate.den).c_str(), 0);
    if (Fframe_width && Fframe_height)
        FF().av_dict_set(&opts, "video_size", FmtStr("%dx%d", Fframe_width, Fframe_height).c_str(),
                         0);
    if (Fframe_pix_fmt >= 0)
        FF().av_dict_set(&opts, "pixel_format",
                         FF().av_get_pix_fmt_name(AVPixelFormat(Fframe_pix_fmt)), 0);
    if (Fvideo_standard) FF().av_dict_set(&opts, "standard", Fvideo_standard, 0);
    // The demuxers that can loop their input (pictures) take it as their own
    // "loop" option; the others leave it unused in the dictionary.
    if (Floop_input) FF().av_dict_set(&opts, "loop", "1", 0);
    FOptions.ApplyToFormat(ic, AV_OPT_FLAG_DECODING_PARAM);

    AVCodecID vid, aid, sid;
    if (!FindCodec(Fvideo_codec_name ? Fvideo_codec_name : "", AVMEDIA_TYPE_VIDEO, vid,
                   OptionStrictness(AVMEDIA_TYPE_VIDEO), false) ||
        !FindCodec(Faudio_codec_name ? Faudio_codec_name : "", AVMEDIA_TYPE_AUDIO, aid,
                   OptionStrictness(AVMEDIA_TYPE_AUDIO), false) ||
        !FindCodec(Fsubtitle_codec_name ? Fsubtitle_codec_name : "", AVMEDIA_TYPE_SUBTITLE, sid,
                   OptionStrictness(AVMEDIA_TYPE_SUBTITLE), false)) {
        FF().av_dict_free(&opts);
        FF().avformat_free_context(ic);
        clearPending();
        return false;
    }
    ic->video_codec_id = vid;
    ic->audio_codec_id = aid;
    ic->subtitle_codec_id = sid;
    ic->flags |= AVFMT_FLAG_NONBLOCK;
    ic->interrupt_callback = FFInterruptCB();

    BeginBlocking();
    FLastRead = FF().av_gettime();
    std::string libName = NameForLibraries(AFileName);
    int err = UnicodeOpenInput(&ic, libName.c_str(), file_iformat, &opts);
    FF().av_dict_free(&opts);
    if (err < 0) {
        FLastErrMsg = FormatAVError(AFileName, err);
        clearPending();
        return false;
    }

    if (Fopt_programid) {
        bool found = false;
        for (unsigned i = 0; i < ic->nb_streams; ++i)
            ic->streams[i]->discard = AVDISCARD_ALL;
        for (unsigned i = 0; i < ic->nb_programs; ++i) {
            AVProgram* p = ic->programs[i];
            if (p->id != Fopt_programid) continue;
            found = true;
            for (unsigned j = 0; j < p->nb_stream_indexes; ++j)
                ic->streams[p->stream_index[j]]->discard = AVDISCARD_DEFAULT;
        }
        Fopt_programid = 0;
        if (!found) {
            FLastErrMsg = "Specified program id not found";
            UnicodeCloseInput(&ic);
            clearPending();
            return false;
        }
    }

    if (OnBeforeFindStreamInfo) OnBeforeFindStreamInfo(this, ic);

    FLastRead = FF().av_gettime();
    if (FF().avformat_find_stream_info(ic, nullptr) < 0 && Fverbose >= 0) {
        FLastErrMsg = FmtStr("%s: could not find codec parameters", AFileName.c_str());
        LogMsg(llVerbose, FLastErrMsg);
        UnicodeCloseInput(&ic);
        clearPending();
        return false;
    }

    int64_t timestamp = Fstart_time;
    if (ic->start_time != AV_NOPTS) timestamp += ic->start_time;
    if (Fstart_time != 0) {
        FLastRead = FF().av_gettime();
        if (FF().av_seek_frame(ic, -1, timestamp, AVSEEK_FLAG_BACKWARD) < 0 && Fverbose > 0)
            LogMsg(llVerbose, FmtStr("%s: could not seek to position %0.3f", AFileName.c_str(),
                                     double(timestamp) / AV_TIME_BASE));
        Fstart_time = 0;
    }
    EndBlocking();

    auto& ctxs = Finput_codec_ctx[size_t(Fnb_input_files)];
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        AVStream* st = ic->streams[i];
        AVCodecParameters* par = st->codecpar;
        const AVCodec* dec = nullptr;
        switch (par->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            dec =
                Fvideo_codec_name ? FF().avcodec_find_decoder_by_name(Fvideo_codec_name) : nullptr;
            break;
        case AVMEDIA_TYPE_AUDIO:
            dec =
                Faudio_codec_name ? FF().avcodec_find_decoder_by_name(Faudio_codec_name) : nullptr;
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            dec = Fsubtitle_codec_name ? FF().avcodec_find_decoder_by_name(Fsubtitle_codec_name)
                                       : nullptr;
            break;
        case AVMEDIA_TYPE_DATA:
        case AVMEDIA_TYPE_ATTACHMENT:
            break;
        default:
            UnicodeCloseInput(&ic);
            for (auto*& c : ctxs)
                FF().avcodec_free_context(&c);
            ctxs.clear();
            clearPending();
            throw FFmpegException("invalid codec_type");
        }
        AVCodecContext* c = FF().avcodec_alloc_context3(dec);
        if (!c || FF().avcodec_parameters_to_context(c, par) < 0) {
            FF().avcodec_free_context(&c);
            UnicodeCloseInput(&ic);
            for (auto*& cc : ctxs)
                FF().avcodec_free_context(&cc);
            ctxs.clear();
            clearPending();
            throw FFmpegException("avcodec_alloc_context failed");
        }
        c->thread_count = Fthread_count;
        c->pkt_timebase = st->time_base;
        ctxs.push_back(c);
        Finput_codecs.push_back(dec);
        ++Fnb_input_codecs;
        switch (par->codec_type) {
        case AVMEDIA_TYPE_VIDEO: {
            FOptions.ApplyToCodec(c, AVMEDIA_TYPE_VIDEO, dec,
                                  AV_OPT_FLAG_DECODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM);
            Fframe_height = c->height;
            Fframe_width = c->width;
            AVRational sar =
                st->sample_aspect_ratio.num ? st->sample_aspect_ratio : c->sample_aspect_ratio;
            if (c->width && c->height) {
                double s = sar.num && sar.den ? av_q2d(sar) : 1.0;
                Fframe_aspect_ratio = float(s * c->width / c->height);
            }
            if (Fframe_aspect_ratio == 0) Fframe_aspect_ratio = 4.0f / 3.0f;
            Fframe_pix_fmt = c->pix_fmt < 0 ? 0 : c->pix_fmt;
            AVRational rfr = st->r_frame_rate;
            if (rfr.num && c->framerate.num &&
                (rfr.num != c->framerate.num || rfr.den != c->framerate.den) && Fverbose >= 0)
                LogMsg(llInfo, FmtStr("Seems stream %d codec frame rate differs from container "
                                      "frame rate: %2.2f (%d/%d) -> %2.2f (%d/%d)",
                                      int(i), av_q2d(c->framerate), c->framerate.num,
                                      c->framerate.den, av_q2d(rfr), rfr.num, rfr.den));
            if (rfr.num && rfr.den) Fframe_rate = rfr;
            if (Fvideo_disable)
                st->discard = AVDISCARD_ALL;
            else if (Fvideo_discard)
                st->discard = AVDiscard(Fvideo_discard);
            break;
        }
        case AVMEDIA_TYPE_AUDIO:
            FOptions.ApplyToCodec(c, AVMEDIA_TYPE_AUDIO, dec,
                                  AV_OPT_FLAG_DECODING_PARAM | AV_OPT_FLAG_AUDIO_PARAM);
            Fchannel_layout =
                c->ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? int64_t(c->ch_layout.u.mask) : 0;
            if (c->ch_layout.nb_channels > 0) Faudio_channels = c->ch_layout.nb_channels;
            if (c->sample_rate > 0) Faudio_sample_rate = c->sample_rate;
            Faudio_sample_fmt = c->sample_fmt;
            if (Faudio_disable) st->discard = AVDISCARD_ALL;
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            if (Fsubtitle_disable) st->discard = AVDISCARD_ALL;
            break;
        default:
            break;
        }
    }

    if (ic->duration != AV_NOPTS && ic->duration > FTotalOutputDuration &&
        Frecording_time == kNoRecordingLimit)
        FTotalOutputDuration = ic->duration;

    Finput_files[size_t(Fnb_input_files)] = ic;
    Finput_names[size_t(Fnb_input_files)] = AFileName;
    Finput_files_ts_offset[size_t(Fnb_input_files)] =
        Fcopy_ts ? Finput_ts_offset : Finput_ts_offset - timestamp;
    if (Fverbose >= 0) FF().av_dump_format(ic, Fnb_input_files, libName.c_str(), 0);
    ++Fnb_input_files;
    Fvideo_channel = 0;
    FF().av_freep(&Fvideo_codec_name);
    FF().av_freep(&Faudio_codec_name);
    FF().av_freep(&Fsubtitle_codec_name);
    return true;
}

void TCustomFFmpeg::CheckInputStreams(bool AJoin, bool& AHasVideo, bool& AHasAudio,
                                      bool& AHasSubtitle) {
    AHasVideo = AHasAudio = AHasSubtitle = false;
    int n = AJoin ? std::min(Fnb_input_files, 1) : Fnb_input_files;
    for (int j = 0; j < n; ++j) {
        AVFormatContext* ic = Finput_files[size_t(j)];
        for (unsigned i = 0; i < ic->nb_streams; ++i) {
            switch (ic->streams[i]->codecpar->codec_type) {
            case AVMEDIA_TYPE_VIDEO:
                AHasVideo = true;
                break;
            case AVMEDIA_TYPE_AUDIO:
                AHasAudio = true;
                break;
            case AVMEDIA_TYPE_SUBTITLE:
                AHasSubtitle = true;
                break;
            case AVMEDIA_TYPE_DATA:
            case AVMEDIA_TYPE_ATTACHMENT:
                break;
            default:
                throw FFmpegException("invalid codec_type of input file");
            }
        }
    }
}

int TCustomFFmpeg::OpenOutputFile(const std::string& AFileName, bool AJoin) {
    RequireLibraries();
    if (FJoinMode) {
        FLastErrMsg = "Cannot join more than one output file.";
        return -1;
    }
    if (Fnb_output_files >= FMaxFiles) {
        FLastErrMsg = FmtStr("max output files %d reached", FMaxFiles);
        return -1;
    }
    // Opening for writing would empty a file this engine reads.
    for (int i = 0; i < Fnb_input_files; ++i)
        if (!Finput_names[size_t(i)].empty() &&
            os::LongPath(Finput_names[size_t(i)]) == os::LongPath(AFileName)) {
            FLastErrMsg = FmtStr("%s: Output file is one of the input files", AFileName.c_str());
            return -1;
        }
    FEnableFilter = !Fvfilters.empty();
    AVFormatContext* oc = FF().avformat_alloc_context();
    if (!oc) throw FFmpegException("avformat_alloc_context failed");
    const int file_idx = Fnb_output_files;

    // Undoes everything done for this file when opening it fails.
    auto discard = [&]() {
        if (oc->pb) UnicodeAvioClose(&oc->pb);
        FF().avformat_free_context(oc);
        for (TAVOutputStream* ost : Foutput_streams_for_file[size_t(file_idx)]) {
            if (ost && ost->owns_enc) FF().avcodec_free_context(&ost->enc);
            delete ost;
        }
        Foutput_streams_for_file[size_t(file_idx)].clear();
        Fnb_output_streams_for_file[size_t(file_idx)] = 0;
        Foutput_files[size_t(file_idx)] = nullptr;
        Foutput_names[size_t(file_idx)].clear();
    };

    const AVOutputFormat* fmt = nullptr;
    if (!Flast_asked_format.empty()) {
        fmt = FF().av_guess_format(Flast_asked_format.c_str(), nullptr, nullptr);
        if (!fmt) {
            FLastErrMsg = FmtStr("Requested output format '%s' is not a suitable output format",
                                 Flast_asked_format.c_str());
            discard();
            return -1;
        }
        Flast_asked_format.clear();
    } else {
        fmt = FF().av_guess_format(nullptr, AFileName.c_str(), nullptr);
        if (!fmt) {
            FLastErrMsg =
                FmtStr("Unable to find a suitable output format for '%s'", AFileName.c_str());
            discard();
            return -1;
        }
    }
    oc->oformat = fmt;
    std::string libName = NameForLibraries(AFileName);
    if (libName.size() > 1023) libName.resize(1023);
    oc->url = FF().av_strdup(libName.c_str());

    // A default picture codec of an audio container is for cover art, not a video stream.
    bool default_video =
        fmt->video_codec != AV_CODEC_ID_NONE &&
        !(fmt->video_codec == AV_CODEC_ID_PNG && fmt->audio_codec != AV_CODEC_ID_NONE);
    bool use_video = IsStreamCopy(Fvideo_stream_copy) || default_video || Fvideo_codec_name;
    bool use_audio = IsStreamCopy(Faudio_stream_copy) || fmt->audio_codec != AV_CODEC_ID_NONE ||
                     Faudio_codec_name;
    bool use_subtitle = IsStreamCopy(Fsubtitle_stream_copy) ||
                        fmt->subtitle_codec != AV_CODEC_ID_NONE || Fsubtitle_codec_name;
    if (Fnb_input_files > 0) {
        bool hv, ha, hs;
        try {
            CheckInputStreams(AJoin, hv, ha, hs);
        } catch (const Exception& e) {
            FLastErrMsg = FmtStr("check_audio_video_sub_inputs fail: %s", e.Message.c_str());
            discard();
            return -1;
        }
        use_video = use_video && hv;
        use_audio = use_audio && ha;
        use_subtitle = use_subtitle && hs;
    }
    if (Faudio_disable) use_audio = false;
    if (Fvideo_disable) use_video = false;
    if (Fsubtitle_disable) use_subtitle = false;

    Foutput_names[size_t(file_idx)] = AFileName;
    const char* step = "new_video_stream fail: %s";
    try {
        if (use_video) NewVideoStream(oc, file_idx);
        step = "new_audio_stream fail: %s";
        if (use_audio) NewAudioStream(oc, file_idx);
        step = "new_subtitle_stream fail: %s";
        if (use_subtitle) NewSubtitleStream(oc, file_idx);
    } catch (const Exception& e) {
        FLastErrMsg = FmtStr(step, e.Message.c_str());
        discard();
        return -1;
    }

    // The recording timestamp is the creation time of the output now.
    if (Frecording_timestamp)
        FF().av_dict_set_int(&oc->metadata, "creation_time", Frecording_timestamp * 1000000, 0);
    FF().av_dict_copy(&oc->metadata, Fmetadata, 0);
    FF().av_dict_free(&Fmetadata);

    Foutput_files[size_t(file_idx)] = oc;
    ++Fnb_output_files;

    auto fail = [&](const std::string& msg) {
        FLastErrMsg = msg;
        --Fnb_output_files;
        discard();
        return -1;
    };

    if ((fmt->flags & AVFMT_NEEDNUMBER) && !FF().av_filename_number_test(libName.c_str()))
        return fail(FormatAVError(AFileName, -33));

    if (!(fmt->flags & AVFMT_NOFILE)) {
        AVIOInterruptCB cb{OutputInterrupt, this};
        FOpeningOutput = true;
        BeginBlocking();
        FLastRead = FF().av_gettime();
        int err = UnicodeAvioOpen(&oc->pb, libName.c_str(), AVIO_FLAG_WRITE, &cb, nullptr);
        EndBlocking();
        FOpeningOutput = false;
        if (err < 0) return fail(FormatAVError(AFileName, err));
    }

    oc->max_delay = int(llround(Fmux_max_delay * 1000000.0));
    oc->flags |= AVFMT_FLAG_NONBLOCK;
    oc->interrupt_callback = AVIOInterruptCB{OutputInterrupt, this};
    if (Floop_output != -1 && fmt->priv_class)
        FF().av_opt_set_int(oc->priv_data, "loop", Floop_output, AV_OPT_SEARCH_CHILDREN);
    FOptions.ApplyToFormat(oc, AV_OPT_FLAG_ENCODING_PARAM);
    Fstreamid_map.clear();
    Fforced_key_frames.clear();

    if (AJoin && Fnb_input_files > 1) FJoinMode = true;
    return Fnb_output_files;
}

TAVOutputStream* TCustomFFmpeg::NewOutputStream(AVFormatContext* oc, int file_idx) {
    auto& table = Foutput_streams_for_file[size_t(file_idx)];
    table.resize(oc->nb_streams, nullptr);
    auto* ost = new TAVOutputStream;
    ost->file_index = file_idx;
    ost->index = int(oc->nb_streams) - 1;
    table[oc->nb_streams - 1] = ost;
    Fnb_output_streams_for_file[size_t(file_idx)] = int(oc->nb_streams);
    return ost;
}

void TCustomFFmpeg::NewStreamCommon(AVFormatContext* oc, int file_idx, AVMediaType type,
                                    TAVOutputStream*& ost, AVStream*& st) {
    int idx = int(oc->nb_streams);
    st = FF().avformat_new_stream(oc, nullptr);
    if (!st) throw FFmpegException("Could not alloc stream");
    st->id = size_t(idx) < Fstreamid_map.size() ? Fstreamid_map[size_t(idx)] : 0;
    ost = NewOutputStream(oc, file_idx);
    st->codecpar->codec_type = type;

    int copy = type == AVMEDIA_TYPE_VIDEO   ? Fvideo_stream_copy
               : type == AVMEDIA_TYPE_AUDIO ? Faudio_stream_copy
                                            : Fsubtitle_stream_copy;
    char* name = type == AVMEDIA_TYPE_VIDEO   ? Fvideo_codec_name
                 : type == AVMEDIA_TYPE_AUDIO ? Faudio_codec_name
                                              : Fsubtitle_codec_name;
    const AVCodec* codec = nullptr;
    if (!copy) {
        if (name) {
            AVCodecID id;
            if (!FindCodec(name, type, id, OptionStrictness(type), true))
                throw FFmpegException(FLastErrMsg);
            codec = FF().avcodec_find_encoder_by_name(name);
        } else {
            AVCodecID id = FF().av_guess_codec(oc->oformat, nullptr, oc->url, nullptr, type);
            codec = FF().avcodec_find_encoder(id);
        }
    }
    ost->codec = codec;
    ost->stream_copy = copy != 0;
    Foutput_codecs.push_back(codec);
    ++Fnb_output_codecs;
    ost->enc = FF().avcodec_alloc_context3(codec);
    if (!ost->enc) throw FFmpegException("avcodec_alloc_context failed");
    ost->owns_enc = true;
    ost->enc->codec_type = type;
    if (codec)
        ost->enc->codec_id = codec->id;
    else if (!copy)
        ost->enc->codec_id = FF().av_guess_codec(oc->oformat, nullptr, oc->url, nullptr, type);

    auto& bsfs = type == AVMEDIA_TYPE_VIDEO   ? Fvideo_bitstream_filters
                 : type == AVMEDIA_TYPE_AUDIO ? Faudio_bitstream_filters
                                              : Fsubtitle_bitstream_filters;
    ost->bitstream_filter_names = bsfs;
    bsfs.clear();
    unsigned tag = type == AVMEDIA_TYPE_VIDEO   ? Fvideo_codec_tag
                   : type == AVMEDIA_TYPE_AUDIO ? Faudio_codec_tag
                                                : Fsubtitle_codec_tag;
    if (tag) ost->enc->codec_tag = tag;

    bool fmtGlobal = oc->oformat->flags & AVFMT_GLOBALHEADER;
    AVCodecContext* kindOpts = FOptions.avcodec_opts[type];
    if (type == AVMEDIA_TYPE_VIDEO) {
        if ((Fvideo_global_header & 1) || (Fvideo_global_header == 0 && fmtGlobal)) {
            ost->enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
            if (kindOpts) kindOpts->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        if (Fvideo_global_header & 2) {
            ost->enc->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
            if (kindOpts) kindOpts->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
        }
    } else if (fmtGlobal) {
        ost->enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (kindOpts) kindOpts->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
}

static void ParseRcOverride(AVCodecContext* enc, const char* p) {
    int i = 0;
    for (; p && *p; ++i) {
        int start, end, q;
        if (sscanf(p, "%d,%d,%d", &start, &end, &q) != 3)
            throw FFmpegException("error parsing rc_override");
        auto* ov = static_cast<RcOverride*>(
            FF().av_realloc(enc->rc_override, sizeof(RcOverride) * size_t(i + 1)));
        if (!ov) throw FFmpegException("error parsing rc_override");
        enc->rc_override = ov;
        ov[i].start_frame = start;
        ov[i].end_frame = end;
        if (q > 0) {
            ov[i].qscale = q;
            ov[i].quality_factor = 1.0f;
        } else {
            ov[i].qscale = 0;
            ov[i].quality_factor = -q / 100.0f;
        }
        enc->rc_override_count = i + 1;
        p = strchr(p, '/');
        if (p) ++p;
    }
}

void TCustomFFmpeg::NewVideoStream(AVFormatContext* oc, int file_idx) {
    TAVOutputStream* ost;
    AVStream* st;
    NewStreamCommon(oc, file_idx, AVMEDIA_TYPE_VIDEO, ost, st);
    AVCodecContext* enc = ost->enc;
    enc->thread_count = Fthread_count;
    if (ost->stream_copy) {
        st->sample_aspect_ratio = FF().av_d2q(
            Fframe_aspect_ratio * Fframe_height / (Fframe_width ? Fframe_width : 1), 255);
    } else {
        AVRational fps = Fframe_rate.den && Fframe_rate.num ? Fframe_rate : AVRational{25, 1};
        if (ost->codec && ost->codec->supported_framerates && !Fforce_fps) {
            int idx = FF().av_find_nearest_q_idx(fps, ost->codec->supported_framerates);
            fps = ost->codec->supported_framerates[idx];
        }
        enc->time_base = AVRational{fps.den, fps.num};
        enc->framerate = fps;
        st->avg_frame_rate = fps;
        FOptions.ApplyToCodec(enc, AVMEDIA_TYPE_VIDEO, ost->codec,
                              AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM);
        enc->width = Fframe_width;
        enc->height = Fframe_height;
        double ratio = Fframe_width && Fframe_height
                           ? double(Fframe_aspect_ratio) * Fframe_height / Fframe_width
                           : 1.0;
        if (Fframe_aspect_ratio == 0) ratio = 1.0;
        enc->sample_aspect_ratio = FF().av_d2q(ratio, 255);
        st->sample_aspect_ratio = enc->sample_aspect_ratio;
        enc->pix_fmt = AVPixelFormat(Fframe_pix_fmt);
        ChoosePixelFormat(enc, ost->codec);
        if (Fintra_only) enc->gop_size = 0;
        if (Fvideo_qscale != 0 || Fsame_quality) {
            enc->flags |= AV_CODEC_FLAG_QSCALE;
            enc->global_quality = int(FF_QP2LAMBDA * Fvideo_qscale);
        }
        if (Fintra_matrix) {
            enc->intra_matrix = static_cast<uint16_t*>(FF().av_malloc(64 * sizeof(uint16_t)));
            if (enc->intra_matrix) memcpy(enc->intra_matrix, Fintra_matrix, 64 * sizeof(uint16_t));
        }
        if (Finter_matrix) {
            enc->inter_matrix = static_cast<uint16_t*>(FF().av_malloc(64 * sizeof(uint16_t)));
            if (enc->inter_matrix) memcpy(enc->inter_matrix, Finter_matrix, 64 * sizeof(uint16_t));
        }
        ParseRcOverride(enc, Fvideo_rc_override_string);
        if (!enc->rc_initial_buffer_occupancy)
            enc->rc_initial_buffer_occupancy = enc->rc_buffer_size * 3 / 4;
        enc->intra_dc_precision = Fintra_dc_precision - 8;
        if (Fdo_psnr) enc->flags |= AV_CODEC_FLAG_PSNR;
        if (Fdo_pass == 1)
            enc->flags |= AV_CODEC_FLAG_PASS1;
        else if (Fdo_pass == 2)
            enc->flags |= AV_CODEC_FLAG_PASS2;
        if (!Fforced_key_frames.empty()) ParseForcedKeyFrames(Fforced_key_frames, ost, enc);
    }
    Fforced_key_frames.clear();
    Fframe_pix_fmt = -1;
    if (!Fvideo_language.empty())
        FF().av_dict_set(&st->metadata, "language", Fvideo_language.c_str(), 0);
    Fvideo_language.clear();
    Fvideo_disable = false;
    FF().av_freep(&Fvideo_codec_name);
    Fvideo_stream_copy = 0;
}

void TCustomFFmpeg::NewAudioStream(AVFormatContext* oc, int file_idx) {
    TAVOutputStream* ost;
    AVStream* st;
    NewStreamCommon(oc, file_idx, AVMEDIA_TYPE_AUDIO, ost, st);
    AVCodecContext* enc = ost->enc;
    enc->thread_count = Fthread_count;
    if (!ost->stream_copy) {
        FOptions.ApplyToCodec(enc, AVMEDIA_TYPE_AUDIO, ost->codec,
                              AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_AUDIO_PARAM);
        if (Faudio_qscale > -99999) {
            enc->flags |= AV_CODEC_FLAG_QSCALE;
            enc->global_quality = int(FF_QP2LAMBDA * Faudio_qscale);
        }
        FF().av_channel_layout_uninit(&enc->ch_layout);
        // A layout whose channel count differs from the asked count is dropped.
        if (Fchannel_layout && __builtin_popcountll(uint64_t(Fchannel_layout)) == Faudio_channels)
            FF().av_channel_layout_from_mask(&enc->ch_layout, uint64_t(Fchannel_layout));
        else
            FF().av_channel_layout_default(&enc->ch_layout, Faudio_channels);
        enc->sample_fmt = AVSampleFormat(Faudio_sample_fmt);
        enc->sample_rate = Faudio_sample_rate;
        ChooseSampleFormat(enc, ost->codec);
        ChooseSampleRate(enc, ost->codec);
        enc->time_base = AVRational{1, enc->sample_rate};
    } else {
        FF().av_channel_layout_default(&enc->ch_layout, Faudio_channels);
        enc->sample_rate = Faudio_sample_rate;
    }
    if (!Faudio_language.empty())
        FF().av_dict_set(&st->metadata, "language", Faudio_language.c_str(), 0);
    Faudio_language.clear();
    Faudio_disable = false;
    FF().av_freep(&Faudio_codec_name);
    Faudio_stream_copy = 0;
}

void TCustomFFmpeg::NewSubtitleStream(AVFormatContext* oc, int file_idx) {
    TAVOutputStream* ost;
    AVStream* st;
    NewStreamCommon(oc, file_idx, AVMEDIA_TYPE_SUBTITLE, ost, st);
    if (!ost->stream_copy)
        FOptions.ApplyToCodec(ost->enc, AVMEDIA_TYPE_SUBTITLE, ost->codec,
                              AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_SUBTITLE_PARAM);
    if (!Fsubtitle_language.empty())
        FF().av_dict_set(&st->metadata, "language", Fsubtitle_language.c_str(), 0);
    Fsubtitle_language.clear();
    Fsubtitle_disable = false;
    FF().av_freep(&Fsubtitle_codec_name);
    Fsubtitle_stream_copy = 0;
}

void TCustomFFmpeg::ChooseSampleFormat(AVCodecContext* c, const AVCodec* codec) {
    if (codec && codec->sample_fmts) {
        for (const AVSampleFormat* p = codec->sample_fmts; *p != AV_SAMPLE_FMT_NONE; ++p)
            if (*p == c->sample_fmt) return;
        c->sample_fmt = codec->sample_fmts[0];
    } else if (c->sample_fmt == AV_SAMPLE_FMT_NONE) {
        c->sample_fmt = AV_SAMPLE_FMT_S16;
    }
}

void TCustomFFmpeg::ChooseSampleRate(AVCodecContext* c, const AVCodec* codec) {
    if (!codec || !codec->supported_samplerates) return;
    int best = 0;
    int best_dist = INT32_MAX;
    for (const int* p = codec->supported_samplerates; *p; ++p) {
        int dist = std::abs(c->sample_rate - *p);
        if (dist < best_dist) {
            best_dist = dist;
            best = *p;
        }
    }
    if (best_dist && best) {
        LogMsg(llWarning,
               FmtStr("Requested sampling rate unsupported using closest supported (%d)", best));
        c->sample_rate = best;
    }
}

void TCustomFFmpeg::ChoosePixelFormat(AVCodecContext* c, const AVCodec* codec) {
    if (!codec || !codec->pix_fmts) return;
    const AVPixelFormat* p = codec->pix_fmts;
    static const AVPixelFormat mjpeg[] = {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ422P,
                                          AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV422P, AV_PIX_FMT_NONE};
    static const AVPixelFormat ljpeg[] = {
        AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ422P, AV_PIX_FMT_YUVJ444P, AV_PIX_FMT_YUV420P,
        AV_PIX_FMT_YUV422P,  AV_PIX_FMT_YUV444P,  AV_PIX_FMT_BGRA,     AV_PIX_FMT_NONE};
    if (c->strict_std_compliance < 0) {
        if (c->codec_id == AV_CODEC_ID_MJPEG)
            p = mjpeg;
        else if (c->codec_id == AV_CODEC_ID_LJPEG)
            p = ljpeg;
    }
    for (; *p != AV_PIX_FMT_NONE; ++p)
        if (*p == c->pix_fmt) return;
    c->pix_fmt = codec->pix_fmts[0];
}

void TCustomFFmpeg::ParseForcedKeyFrames(const std::string& kf, TAVOutputStream* ost,
                                         AVCodecContext* avctx) {
    std::vector<std::string> parts(1);
    for (char ch : kf) {
        if (ch == ',')
            parts.emplace_back();
        else
            parts.back() += ch;
    }
    ost->forced_kf_pts.clear();
    for (auto& p : parts) {
        int64_t t = ParseTimeOrRaise("force_key_frames", p, true);
        ost->forced_kf_pts.push_back(
            FF().av_rescale_q(t, AVRational{1, AV_TIME_BASE}, avctx->time_base));
    }
    ost->forced_kf_count = int(parts.size());
    ost->forced_kf_index = 0;
}

void TCustomFFmpeg::PrepareJoin() {
    if (!FJoinMode) return;
    int64_t total = 0;
    for (int i = 0; i < Fnb_input_files; ++i) {
        int64_t d = Finput_files[size_t(i)]->duration;
        if (d != AV_NOPTS && d > 0) total += d;
    }
    FTotalOutputDuration = total == 0 ? -1 : total;
    AVFormatContext* oc = Foutput_files[size_t(Fnb_output_files - 1)];
    const auto& first = Foutput_streams_for_file[size_t(Fnb_output_files - 1)];
    for (int i = 1; i < Fnb_input_files; ++i) {
        if (Fnb_output_files >= FMaxFiles) throw FFmpegException("Could not alloc output stream");
        int file_idx = Fnb_output_files;
        Foutput_files[size_t(file_idx)] = oc;
        auto& table = Foutput_streams_for_file[size_t(file_idx)];
        for (unsigned k = 0; k < oc->nb_streams; ++k) {
            auto* ost = new TAVOutputStream;
            ost->file_index = file_idx;
            ost->index = int(k);
            // The encoder belongs to the first group and serves every input.
            ost->enc = first[k]->enc;
            ost->owns_enc = false;
            ost->codec = first[k]->codec;
            ost->stream_copy = first[k]->stream_copy;
            table.push_back(ost);
        }
        Fnb_output_streams_for_file[size_t(file_idx)] = int(oc->nb_streams);
        ++Fnb_output_files;
    }
}
