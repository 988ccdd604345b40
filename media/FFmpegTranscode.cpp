// Set-up of a run, the packet loop, decoding, join mode and the progress report.
#include "media/FFmpeg.h"

#include <algorithm>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "media/FFLoad.h"
#include "media/FFLog.h"

std::mutex& CodecListLock();

namespace {

const AVRational kTimeBaseQ{1, AV_TIME_BASE};

// Frames the stream-information probe saw, as far as the libraries still tell.
int64_t ProbedFrames(AVStream* st) {
    if (st->nb_frames > 0) return st->nb_frames;
    const AVCodecParameters* p = st->codecpar;
    bool described = p->codec_type == AVMEDIA_TYPE_AUDIO   ? p->sample_rate > 0
                     : p->codec_type == AVMEDIA_TYPE_VIDEO ? p->width > 0
                                                           : p->codec_id != AV_CODEC_ID_NONE;
    return described ? 1 : 0;
}

// The output streams of input file fileIndex, as the first and the count: all
// of them, or that file's group in join mode.
std::pair<size_t, size_t> OutputStreamsOf(size_t tableSize, bool joinMode, int joinGroup,
                                          int fileIndex) {
    if (!joinMode) return {0, tableSize};
    return {size_t(fileIndex) * size_t(joinGroup), size_t(joinGroup)};
}

} // namespace

TAVOutputStream* EncOwner(TAVOutputStream* ost) {
    return ost->enc_owner ? ost->enc_owner : ost;
}

// ---------------------------------------------------------------- set-up

void TCustomFFmpeg::OpenEncoder(TAVOutputStream* ost) {
    AVCodecContext* enc = ost->enc;
    TAVInputStream* ist = Fist_table[size_t(ost->source_index)];
    int k = -1;
    for (size_t i = 0; i < Fost_table.size(); ++i)
        if (Fost_table[i] == ost) k = int(i);
    const AVCodec* codec = k >= 0 && size_t(k) < Foutput_codecs.size() && Foutput_codecs[size_t(k)]
                               ? Foutput_codecs[size_t(k)]
                               : FF().avcodec_find_encoder(enc->codec_id);
    if (!codec) {
        LogStreamMapping();
        throw FFmpegException(FmtStr(
            "Encoder (codec id %d) not found for output stream #%d.%d (%s)", int(enc->codec_id),
            ost->file_index, ost->index, MediaTypeName(enc->codec_type).c_str()));
    }
    if (ist->dec->subtitle_header) {
        enc->subtitle_header =
            static_cast<uint8_t*>(FF().av_mallocz(size_t(ist->dec->subtitle_header_size) + 1));
        if (!enc->subtitle_header) throw FFmpegException("av_malloc failed");
        memcpy(enc->subtitle_header, ist->dec->subtitle_header,
               size_t(ist->dec->subtitle_header_size));
        enc->subtitle_header_size = ist->dec->subtitle_header_size;
    }
    // Subtitle encoders refuse to open without a time base; their packets
    // carry times in microseconds.
    if (enc->codec_type == AVMEDIA_TYPE_SUBTITLE &&
        (enc->time_base.num <= 0 || enc->time_base.den <= 0))
        enc->time_base = AVRational{1, AV_TIME_BASE};
    ost->codec_id = enc->codec_id;
    int err;
    {
        TCodecLock lock;
        err = FF().avcodec_open2(enc, codec, nullptr);
    }
    if (err < 0) {
        LogStreamMapping();
        std::string msg = FmtStr(
            "Error while opening encoder for output stream #%d.%d (%s) - maybe incorrect "
            "parameters such as bit_rate, rate, width or height. Please check error log message "
            "to find out more detail information.",
            ost->file_index, ost->index, MediaTypeName(enc->codec_type).c_str());
        LogMsg(llError, msg);
        throw FFmpegException(msg);
    }
    ost->encoder_opened = true;
    {
        std::lock_guard<std::mutex> g(CodecListLock());
        FEncoderList.insert(FEncoderList.begin(), ost);
    }
    FF().avcodec_parameters_from_context(ost->st->codecpar, enc);
    ost->st->time_base = enc->time_base;
    Fextra_size += enc->extradata_size;
    if (enc->codec_type == AVMEDIA_TYPE_AUDIO) {
        ost->fifo = FF().av_audio_fifo_alloc(enc->sample_fmt, enc->ch_layout.nb_channels, 1024);
        ost->enc_frame = FF().av_frame_alloc();
        if (!ost->fifo || !ost->enc_frame) throw FFmpegException("av_fifo_alloc fail");
    }
}

AVRational TCustomFFmpeg::CopiedStreamTimeBase(TAVInputStream* ist) {
    const AVRational in = ist->st->time_base;
    if (Fcopy_tb || ist->dec->codec_type != AVMEDIA_TYPE_VIDEO) return in;
    // The time of one frame, from the stream's frame rate: decoders of this
    // generation keep no time base of their own.
    const AVRational rate =
        ist->st->avg_frame_rate.num > 0 ? ist->st->avg_frame_rate : ist->st->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) return in;
    const AVRational frame{rate.den, rate.num};
    if (av_q2d(frame) > av_q2d(in) && av_q2d(in) < 1.0 / 1000) {
        AVRational reduced;
        FF().av_reduce(&reduced.num, &reduced.den, frame.num, frame.den, 2147483647);
        return reduced;
    }
    return in;
}

void TCustomFFmpeg::SetupStreams() {
    // 1. input tables
    Finput_file_table.assign(size_t(Fnb_input_files), TAVInputFile{});
    int j = 0;
    for (int i = 0; i < Fnb_input_files; ++i) {
        AVFormatContext* ic = Finput_files[size_t(i)];
        Finput_file_table[size_t(i)].ist_index = j;
        Finput_file_table[size_t(i)].nb_streams = int(ic->nb_streams);
        j += int(ic->nb_streams);
        for (unsigned k = 0; k < ic->nb_streams; ++k) {
            auto* ist = new TAVInputStream;
            Fist_table.push_back(ist);
            ist->st = ic->streams[k];
            ist->dec = Finput_codec_ctx[size_t(i)][k];
            ist->file_index = i;
            ist->index = int(k);
            ist->discard = 1;
            ist->frame = FF().av_frame_alloc();
            if (!ist->frame) throw FFmpegException("av_mallocz fail");
            if (Frate_emu) ist->start = FF().av_gettime();
        }
    }

    // 2. output streams
    int nb_ostreams = 0;
    for (int i = 0; i < Fnb_output_files; ++i) {
        AVFormatContext* os = Foutput_files[size_t(i)];
        if (Fnb_output_streams_for_file[size_t(i)] == 0 &&
            !(os->oformat->flags & AVFMT_NOSTREAMS)) {
            FF().av_dump_format(os, i, os->url, 1);
            throw FFmpegException(FmtStr("Output file #%d does not contain any stream", i));
        }
        nb_ostreams += Fnb_output_streams_for_file[size_t(i)];
    }
    Fjoin_group = Fnb_output_files > 0 ? Fnb_output_streams_for_file[0] : 0;
    if (!Fstream_maps.empty()) {
        if (int(Fstream_maps.size()) != nb_ostreams)
            throw FFmpegException("Number of stream maps must match number of output streams");
        for (const auto& m : Fstream_maps) {
            if (m.file_index < 0 || m.file_index >= Fnb_input_files || m.stream_index < 0 ||
                m.stream_index >= Finput_file_table[size_t(m.file_index)].nb_streams)
                throw FFmpegException(
                    FmtStr("Could not find input stream #%d.%d", m.file_index, m.stream_index));
            if (m.sync_file_index < 0 || m.sync_file_index >= Fnb_input_files ||
                m.sync_stream_index < 0 ||
                m.sync_stream_index >= Finput_file_table[size_t(m.sync_file_index)].nb_streams)
                throw FFmpegException(FmtStr("Could not find sync stream #%d.%d", m.sync_file_index,
                                             m.sync_stream_index));
        }
    }

    // 3. output-stream table and mapping
    int n = 0;
    for (int i = 0; i < Fnb_output_files; ++i) {
        AVFormatContext* os = Foutput_files[size_t(i)];
        for (int k = 0; k < Fnb_output_streams_for_file[size_t(i)]; ++k, ++n) {
            TAVOutputStream* ost = Foutput_streams_for_file[size_t(i)][size_t(k)];
            Fost_table.push_back(ost);
            ost->st = os->streams[k];
            if (FJoinMode && n >= Fjoin_group) ost->enc_owner = Fost_table[size_t(n % Fjoin_group)];
            AVMediaType otype = ost->enc->codec_type;
            if (!Fstream_maps.empty()) {
                const auto& m = Fstream_maps[size_t(n)];
                ost->source_index =
                    Finput_file_table[size_t(m.file_index)].ist_index + m.stream_index;
                AVMediaType itype = Fist_table[size_t(ost->source_index)]->st->codecpar->codec_type;
                if (itype != otype) {
                    FF().av_dump_format(os, i, os->url, 1);
                    throw FFmpegException(
                        FmtStr("Codec type mismatch for mapping #%d.%d (%s) -> #%d.%d (%s)",
                               m.file_index, m.stream_index, MediaTypeName(itype).c_str(),
                               ost->file_index, ost->index, MediaTypeName(otype).c_str()));
                }
            } else {
                int64_t best_nb_frames = -1;
                for (size_t s = 0; s < Fist_table.size(); ++s) {
                    TAVInputStream* ist = Fist_table[s];
                    if (ist->discard && ist->st->discard != AVDISCARD_ALL &&
                        ist->st->codecpar->codec_type == otype &&
                        (!FJoinMode || ist->file_index == i)) {
                        int64_t f = ProbedFrames(ist->st);
                        if (f > best_nb_frames) {
                            best_nb_frames = f;
                            ost->source_index = int(s);
                        }
                    }
                }
                if (ost->source_index < 0 && !Fopt_programid && !FJoinMode) {
                    for (size_t s = 0; s < Fist_table.size(); ++s) {
                        TAVInputStream* ist = Fist_table[s];
                        if (ist->st->codecpar->codec_type == otype &&
                            ist->st->discard != AVDISCARD_ALL)
                            ost->source_index = int(s);
                    }
                }
                if (ost->source_index < 0) {
                    FF().av_dump_format(os, i, os->url, 1);
                    throw FFmpegException(
                        FmtStr("Could not find input stream matching output stream #%d.%d (%s)",
                               ost->file_index, ost->index, MediaTypeName(otype).c_str()));
                }
            }
            TAVInputStream* ist = Fist_table[size_t(ost->source_index)];
            ist->discard = 0;
            ost->sync_ist = ist;
            if (!Fstream_maps.empty()) {
                const auto& m = Fstream_maps[size_t(n)];
                ost->sync_ist = Fist_table[size_t(
                    Finput_file_table[size_t(m.sync_file_index)].ist_index + m.sync_stream_index)];
            }
            ost->show_fps = 1;
        }
    }

    // 4. codec parameters
    for (TAVOutputStream* ost : Fost_table) {
        if (ost->enc_owner) {
            // Later join groups share the stream and encoder of the first group.
            TAVInputStream* ist = Fist_table[size_t(ost->source_index)];
            ost->encoding_needed = ost->enc_owner->encoding_needed;
            ist->decoding_needed = ost->encoding_needed;
            continue;
        }
        TAVInputStream* ist = Fist_table[size_t(ost->source_index)];
        AVCodecContext* enc = ost->enc;
        AVCodecContext* dec = ist->dec;
        AVStream* st = ost->st;
        if (Fmetadata_streams_autocopy)
            FF().av_dict_copy(&st->metadata, ist->st->metadata, AV_DICT_DONT_OVERWRITE);
        st->disposition = ist->st->disposition;
        enc->bits_per_raw_sample = dec->bits_per_raw_sample;
        enc->chroma_sample_location = dec->chroma_sample_location;

        if (ost->stream_copy) {
            if (Faudio_volume != 256 && dec->codec_type == AVMEDIA_TYPE_AUDIO)
                throw FFmpegException(
                    "-acodec copy and -vol are incompatible (frames are not decoded)");
            if (OnAudioHook && dec->codec_type == AVMEDIA_TYPE_AUDIO)
                throw FFmpegException(
                    "-acodec copy and AudioHook are incompatible (frames are not decoded)");
            if (dec->codec_type == AVMEDIA_TYPE_VIDEO) {
                if (OnInputVideoHook || OnOutputVideoHook)
                    throw FFmpegException(
                        "-vcodec copy and VideoHook are incompatible (frames are not decoded)");
                if (Fusing_vhook)
                    throw FFmpegException(
                        "-vcodec copy and -vhook are incompatible (frames are not decoded)");
                if (FPostHooks)
                    throw FFmpegException(
                        "-vcodec copy and PostHooks are incompatible (frames are not decoded)");
            }
            if (dec->codec_type != AVMEDIA_TYPE_AUDIO && dec->codec_type != AVMEDIA_TYPE_VIDEO &&
                dec->codec_type != AVMEDIA_TYPE_SUBTITLE)
                throw FFmpegException("invalid codec_type of output stream");
            unsigned tag = st->codecpar->codec_tag ? st->codecpar->codec_tag : enc->codec_tag;
            if (FF().avcodec_parameters_copy(st->codecpar, ist->st->codecpar) < 0)
                throw FFmpegException("av_mallocz fail");
            unsigned itag = ist->st->codecpar->codec_tag;
            const AVOutputFormat* of = Foutput_files[size_t(ost->file_index)]->oformat;
            if (tag)
                st->codecpar->codec_tag = tag;
            else if (!of->codec_tag ||
                     FF().av_codec_get_id(of->codec_tag, itag) == st->codecpar->codec_id ||
                     FF().av_codec_get_tag(of->codec_tag, st->codecpar->codec_id) <= 0)
                st->codecpar->codec_tag = itag;
            else
                st->codecpar->codec_tag = 0;
            st->time_base = CopiedStreamTimeBase(ist);
            if (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO &&
                ((st->codecpar->block_align == 1 && st->codecpar->codec_id == AV_CODEC_ID_MP3) ||
                 st->codecpar->codec_id == AV_CODEC_ID_AC3))
                st->codecpar->block_align = 0;
            enc->time_base = st->time_base;
            continue;
        }

        switch (enc->codec_type) {
        case AVMEDIA_TYPE_AUDIO:
            ost->reformat_pair = -6;
            ost->audio_resample = enc->sample_rate != dec->sample_rate || Faudio_sync_method > 1;
            ost->encoding_needed = 1;
            ist->decoding_needed = 1;
            ost->resample_sample_fmt = dec->sample_fmt;
            ost->resample_sample_rate = dec->sample_rate;
            ost->resample_channels = dec->ch_layout.nb_channels;
            break;
        case AVMEDIA_TYPE_VIDEO:
            if (enc->pix_fmt == AV_PIX_FMT_NONE)
                throw FFmpegException("Video pixel format is unknown, stream cannot be encoded");
            if (!enc->width || !enc->height) {
                enc->width = dec->width;
                enc->height = dec->height;
            }
            ost->video_resample = enc->width != dec->width || enc->height != dec->height ||
                                  enc->pix_fmt != dec->pix_fmt;
            if (ost->video_resample) enc->bits_per_raw_sample = 0;
            ost->resample_width = dec->width;
            ost->resample_height = dec->height;
            ost->resample_pix_fmt = dec->pix_fmt;
            ost->original_width = dec->width;
            ost->original_height = dec->height;
            ost->encoding_needed = 1;
            ist->decoding_needed = 1;
            if (Fdo_deinterlace) {
                // Deinterlacing is a filter now.
                Fvfilters = Fvfilters.empty() ? "yadif" : "yadif," + Fvfilters;
                FEnableFilter = true;
            }
            if (FEnableFilter) {
                FLastErrMsg.clear();
                if (ConfigureFilters(ist, ost) < 0)
                    throw FFmpegException(FLastErrMsg.empty()
                                              ? std::string("Error opening filters!")
                                              : "Error opening filters: " + FLastErrMsg);
                ost->video_resample = 0;
            }
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            ost->encoding_needed = 1;
            ist->decoding_needed = 1;
            break;
        default:
            throw FFmpegException("invalid codec_type of output stream");
        }

        if (enc->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2)) {
            size_t index = 0;
            for (size_t i = 0; i < Fost_table.size(); ++i)
                if (Fost_table[i] == ost) index = i;
            std::string logname = FmtStr(
                "%s-%d.log",
                Fpass_logfilename_prefix.empty() ? "ffmpeg2pass" : Fpass_logfilename_prefix.c_str(),
                int(index));
            if (logname.size() > 1023) logname.resize(1023);
            if (enc->flags & AV_CODEC_FLAG_PASS1) {
                ost->logfile = fopen(logname.c_str(), "wb");
                if (!ost->logfile)
                    throw FFmpegException(
                        FmtStr("Cannot write log file %s for pass-1 encoding", logname.c_str()));
            } else {
                std::string buf;
                int64_t r = ReadWholeFile(logname, buf);
                if (r == -12)
                    throw FFmpegException(FmtStr("Could not allocate file buffer: Error reading "
                                                 "log file \"%s\" for pass-2 encoding",
                                                 logname.c_str()));
                if (r < 0)
                    throw FFmpegException(FmtStr("Cannot read file: Error reading log file "
                                                 "\"%s\" for pass-2 encoding",
                                                 logname.c_str()));
                enc->stats_in = FF().av_strdup(buf.c_str());
            }
        }
        if (enc->codec_type == AVMEDIA_TYPE_VIDEO)
            Fbit_buffer_size = std::max(Fbit_buffer_size, 6 * enc->width * enc->height + 200);
    }

    // 5. decoders, before the encoders: a subtitle decoder makes the header
    // (styles, play resolution) that its encoder is opened with.
    for (size_t i = 0; i < Fist_table.size(); ++i) {
        TAVInputStream* ist = Fist_table[i];
        if (!ist->decoding_needed) continue;
        const AVCodec* codec = i < Finput_codecs.size() && Finput_codecs[i]
                                   ? Finput_codecs[i]
                                   : FF().avcodec_find_decoder(ist->dec->codec_id);
        if (!codec) {
            LogStreamMapping();
            std::string msg = FmtStr("Decoder (codec id %d) not found for input stream #%d.%d (%s)",
                                     int(ist->dec->codec_id), ist->file_index, ist->index,
                                     MediaTypeName(ist->dec->codec_type).c_str());
            LogMsg(llError, msg);
            throw FFmpegException(msg);
        }
        // "sameq" encodes each picture at the quantiser it was decoded with.
        if (Fsame_quality && ist->dec->codec_type == AVMEDIA_TYPE_VIDEO)
            ist->dec->export_side_data |= AV_CODEC_EXPORT_DATA_VIDEO_ENC_PARAMS;
        int err;
        {
            TCodecLock lock;
            err = FF().avcodec_open2(ist->dec, codec, nullptr);
        }
        if (err < 0) {
            LogStreamMapping();
            std::string msg =
                FmtStr("Error while opening decoder for input stream #%d.%d (%s)", ist->file_index,
                       ist->index, MediaTypeName(ist->dec->codec_type).c_str());
            LogMsg(llError, msg);
            throw FFmpegException(msg);
        }
        std::lock_guard<std::mutex> g(CodecListLock());
        FDecoderList.insert(FDecoderList.begin(), ist);
    }

    // 6. encoders
    for (size_t i = 0; i < Fost_table.size(); ++i) {
        TAVOutputStream* ost = Fost_table[i];
        if (ost->encoding_needed && !ost->enc_owner) OpenEncoder(ost);
    }

    // 7. input timestamps
    for (TAVInputStream* ist : Fist_table) {
        AVRational fr = ist->st->avg_frame_rate;
        ist->pts = fr.num && fr.den && ist->dec->has_b_frames
                       ? -llround(ist->dec->has_b_frames * 1000000.0 / av_q2d(fr))
                       : 0;
        ist->next_pts = AV_NOPTS;
        ist->is_start = 1;
    }

    // 8. metadata maps
    for (const auto& mm : Fmeta_data_maps) {
        const TAVMetaDataMap& out = mm.first;
        const TAVMetaDataMap& in = mm.second;
        if (out.file_idx < 0 || in.file_idx < 0) continue;
        auto bad = [this](const char* what, int idx) {
            LogStreamMapping();
            std::string msg =
                FmtStr("Invalid %s index %d while processing metadata maps", what, idx);
            LogMsg(llError, msg);
            return FFmpegException(msg);
        };
        if (out.file_idx >= Fnb_output_files) throw bad("output file", out.file_idx);
        if (in.file_idx >= Fnb_input_files) throw bad("input file", in.file_idx);
        auto side = [&](AVFormatContext* fc, const TAVMetaDataMap& m) -> AVDictionary** {
            switch (m.type_) {
            case 's':
                if (m.index < 0 || unsigned(m.index) >= fc->nb_streams)
                    throw bad("stream", m.index);
                return &fc->streams[m.index]->metadata;
            case 'c':
                if (m.index < 0 || unsigned(m.index) >= fc->nb_chapters)
                    throw bad("chapter", m.index);
                return &fc->chapters[m.index]->metadata;
            case 'p':
                if (m.index < 0 || unsigned(m.index) >= fc->nb_programs)
                    throw bad("program", m.index);
                return &fc->programs[m.index]->metadata;
            default:
                return &fc->metadata;
            }
        };
        AVDictionary** dst = side(Foutput_files[size_t(out.file_idx)], out);
        AVDictionary** src = side(Finput_files[size_t(in.file_idx)], in);
        FF().av_dict_copy(dst, *src, AV_DICT_DONT_OVERWRITE);
    }

    // 9. global metadata
    if (Fmetadata_global_autocopy && Fnb_input_files > 0)
        for (int i = 0; i < Fnb_output_files; ++i) {
            if (FJoinMode && i > 0) break;
            FF().av_dict_copy(&Foutput_files[size_t(i)]->metadata, Finput_files[0]->metadata,
                              AV_DICT_DONT_OVERWRITE);
        }

    // 10. chapters
    auto copyChapters = [this](int infile, int outfile) {
        AVFormatContext* is = Finput_files[size_t(infile)];
        AVFormatContext* os = Foutput_files[size_t(outfile)];
        for (unsigned i = 0; i < is->nb_chapters; ++i) {
            AVChapter* in_ch = is->chapters[i];
            int64_t ts_off = FF().av_rescale_q(Fstart_time - Finput_files_ts_offset[size_t(infile)],
                                               kTimeBaseQ, in_ch->time_base);
            int64_t rt = Frecording_time == kNoRecordingLimit
                             ? INT64_MAX
                             : FF().av_rescale_q(Frecording_time, kTimeBaseQ, in_ch->time_base);
            if (in_ch->end < ts_off) continue;
            if (rt != INT64_MAX && in_ch->start > rt + ts_off) break;
            auto* out_ch = static_cast<AVChapter*>(FF().av_mallocz(sizeof(AVChapter)));
            if (!out_ch) throw FFmpegException("av_mallocz fail");
            out_ch->id = in_ch->id;
            out_ch->time_base = in_ch->time_base;
            out_ch->start = std::max<int64_t>(0, in_ch->start - ts_off);
            out_ch->end = std::min(rt, in_ch->end - ts_off);
            if (Fmetadata_chapters_autocopy)
                FF().av_dict_copy(&out_ch->metadata, in_ch->metadata, 0);
            auto** chs = static_cast<AVChapter**>(
                FF().av_realloc(os->chapters, sizeof(AVChapter*) * (os->nb_chapters + 1)));
            if (!chs) {
                FF().av_dict_free(&out_ch->metadata);
                FF().av_free(out_ch);
                throw FFmpegException("av_realloc fail");
            }
            os->chapters = chs;
            os->chapters[os->nb_chapters++] = out_ch;
        }
    };
    if (!Fchapter_maps.empty()) {
        for (const auto& m : Fchapter_maps) {
            if (m.in_file < 0 || m.out_file < 0) continue;
            if (m.in_file >= Fnb_input_files) {
                std::string msg =
                    FmtStr("Invalid input file index %d in chapter mapping.", m.in_file);
                LogMsg(llError, msg);
                throw FFmpegException(msg);
            }
            if (m.out_file >= Fnb_output_files) {
                std::string msg =
                    FmtStr("Invalid output file index %d in chapter mapping.", m.out_file);
                LogMsg(llError, msg);
                throw FFmpegException(msg);
            }
            copyChapters(m.in_file, m.out_file);
        }
    } else {
        for (int i = 0; i < Fnb_input_files; ++i) {
            if (!Finput_files[size_t(i)]->nb_chapters) continue;
            for (int o = 0; o < Fnb_output_files; ++o) {
                if (FJoinMode && o > 0) break;
                copyChapters(i, o);
            }
            break;
        }
    }

    // 11. headers
    bool all_rtp = Fnb_output_files > 0;
    for (int i = 0; i < Fnb_output_files; ++i) {
        if (FJoinMode && i > 0) break;
        AVFormatContext* os = Foutput_files[size_t(i)];
        // The muxer's own options exist only once the header is written:
        // the preload of the muxers that have one goes in with it.
        AVDictionary* muxerOptions = nullptr;
        if (os->oformat->priv_class &&
            FF().av_opt_find(const_cast<AVClass**>(&os->oformat->priv_class), "preload", nullptr, 0,
                             AV_OPT_SEARCH_FAKE_OBJ))
            FF().av_dict_set_int(&muxerOptions, "preload", llround(Fmux_preload * 1000000.0), 0);
        const int headerResult = FF().avformat_write_header(os, &muxerOptions);
        FF().av_dict_free(&muxerOptions);
        if (headerResult < 0) {
            LogStreamMapping();
            std::string msg = FmtStr(
                "Could not write header for output file #%d (incorrect codec parameters ?)", i);
            LogMsg(llError, msg);
            throw FFmpegException(msg);
        }
        if (strcmp(os->oformat->name, "rtp") != 0) all_rtp = false;
    }
    Fheaders_written = true;
    if (all_rtp) {
        char sdp[2048];
        FF().av_sdp_create(Foutput_files.data(), Fnb_output_files, sdp, sizeof sdp);
        std::string text = sdp;
        while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
            text.pop_back();
        LogMsg(llInfo, "SDP:\r\n" + text);
    }

    // 12. stream mapping
    LogStreamMapping();
}

void TCustomFFmpeg::LogStreamMapping() {
    for (int i = 0; i < Fnb_output_files; ++i) {
        if (FJoinMode && i > 0) break;
        FF().av_dump_format(Foutput_files[size_t(i)], i, Foutput_files[size_t(i)]->url, 1);
    }
    if (Fverbose < 0) return;
    LogMsg(llVerbose, "Stream mapping:");
    for (TAVOutputStream* ost : Fost_table) {
        if (ost->source_index < 0) continue;
        TAVInputStream* ist = Fist_table[size_t(ost->source_index)];
        LogMsg(llVerbose, FmtStr("  Stream #%d.%d -> #%d.%d (%s)", ist->file_index, ist->index,
                                 FJoinMode ? 0 : ost->file_index, ost->index,
                                 MediaTypeName(ost->enc->codec_type).c_str()));
        if (ost->sync_ist && ost->sync_ist != ist)
            LogMsg(llVerbose,
                   FmtStr(" [sync #%d.%d (%s)]", ost->sync_ist->file_index, ost->sync_ist->index,
                          MediaTypeName(ost->enc->codec_type).c_str()));
    }
}

int TCustomFFmpeg::ConfigureFilters(TAVInputStream* ist, TAVOutputStream* ost) {
    AVCodecContext* enc = ost->enc;
    AVCodecContext* dec = ist->dec;
    if (Fgraph) FF().avfilter_graph_free(&Fgraph);
    Fgraph = FF().avfilter_graph_alloc();
    if (!Fgraph) return AVERROR(ENOMEM);
    AVRational sar = dec->sample_aspect_ratio.num ? dec->sample_aspect_ratio : AVRational{1, 1};
    std::string args =
        FmtStr("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", dec->width,
               dec->height, int(dec->pix_fmt), 1, 1000000, sar.num, sar.den);
    int ret = FF().avfilter_graph_create_filter(&ist->input_video_filter,
                                                FF().avfilter_get_by_name("buffer"), "src",
                                                args.c_str(), nullptr, Fgraph);
    if (ret < 0) return ret;
    ret = FF().avfilter_graph_create_filter(&ist->output_video_filter,
                                            FF().avfilter_get_by_name("buffersink"), "out", nullptr,
                                            nullptr, Fgraph);
    if (ret < 0) return ret;
    // The sink offers only the encoder's pixel format.
    AVPixelFormat fmts[2] = {enc->pix_fmt, AV_PIX_FMT_NONE};
    ret = FF().av_opt_set_bin(ist->output_video_filter, "pix_fmts",
                              reinterpret_cast<const uint8_t*>(fmts), sizeof(AVPixelFormat),
                              AV_OPT_SEARCH_CHILDREN);
    if (ret < 0) return ret;
    AVFilterContext* last = ist->input_video_filter;
    if (enc->width != dec->width || enc->height != dec->height) {
        AVFilterContext* scale = nullptr;
        std::string sargs = FmtStr("%d:%d:flags=0x%X", enc->width, enc->height, Fsws_flags);
        ret = FF().avfilter_graph_create_filter(&scale, FF().avfilter_get_by_name("scale"), "scale",
                                                sargs.c_str(), nullptr, Fgraph);
        if (ret < 0) return ret;
        ret = FF().avfilter_link(last, 0, scale, 0);
        if (ret < 0) return ret;
        last = scale;
    }
    FF().av_freep(&Fgraph->scale_sws_opts);
    Fgraph->scale_sws_opts = FF().av_strdup(FmtStr("flags=0x%X", Fsws_flags).c_str());
    if (!Fvfilters.empty()) {
        AVFilterInOut* outputs = FF().avfilter_inout_alloc();
        AVFilterInOut* inputs = FF().avfilter_inout_alloc();
        if (!outputs || !inputs) {
            FF().avfilter_inout_free(&outputs);
            FF().avfilter_inout_free(&inputs);
            return AVERROR(ENOMEM);
        }
        outputs->name = FF().av_strdup("in");
        outputs->filter_ctx = last;
        outputs->pad_idx = 0;
        outputs->next = nullptr;
        inputs->name = FF().av_strdup("out");
        inputs->filter_ctx = ist->output_video_filter;
        inputs->pad_idx = 0;
        inputs->next = nullptr;
        ret = FF().avfilter_graph_parse_ptr(Fgraph, Fvfilters.c_str(), &inputs, &outputs, nullptr);
        FF().avfilter_inout_free(&outputs);
        FF().avfilter_inout_free(&inputs);
        if (ret < 0) return ret;
    } else {
        ret = FF().avfilter_link(last, 0, ist->output_video_filter, 0);
        if (ret < 0) return ret;
    }
    ret = FF().avfilter_graph_config(Fgraph, nullptr);
    if (ret < 0) return ret;
    enc->width = FF().av_buffersink_get_w(ist->output_video_filter);
    enc->height = FF().av_buffersink_get_h(ist->output_video_filter);
    return 0;
}

// ---------------------------------------------------------------- the run

void TCustomFFmpeg::FreeRunState() {
    if (Fgraph) FF().avfilter_graph_free(&Fgraph);
    Fno_packet.clear();
    CloseListedCodecs();
    Finput_file_table.clear();
    for (TAVInputStream* ist : Fist_table) {
        FF().av_frame_free(&ist->frame);
        FF().av_frame_free(&ist->filtered);
        delete ist;
    }
    Fist_table.clear();
    for (TAVOutputStream* ost : Fost_table) {
        if (ost->logfile) {
            fclose(ost->logfile);
            ost->logfile = nullptr;
        }
        if (ost->fifo) {
            FF().av_audio_fifo_free(ost->fifo);
            ost->fifo = nullptr;
        }
        FF().av_frame_free(&ost->pict_tmp);
        FF().av_frame_free(&ost->enc_frame);
        if (ost->img_resample_ctx) {
            FF().sws_freeContext(ost->img_resample_ctx);
            ost->img_resample_ctx = nullptr;
        }
        FF().swr_free(&ost->resample);
        for (AVBSFContext*& b : ost->bitstream_filters)
            FF().av_bsf_free(&b);
        ost->bitstream_filters.clear();
        ost->forced_kf_pts.clear();
        ost->sync_ist = nullptr;
    }
    Fost_table.clear();
    FF().av_packet_free(&Fpkt);
    RegisterBroken(false);
}

void TCustomFFmpeg::RunTranscode() {
    try {
        Fpkt = FF().av_packet_alloc();
        if (!Fpkt) throw FFmpegException("av_mallocz fail");
        Fheaders_written = false;
        SetupStreams();
        for (TAVOutputStream* ost : Fost_table)
            for (const std::string& name : ost->bitstream_filter_names) {
                AVBSFContext* b = nullptr;
                if (FF().av_bsf_alloc(FF().av_bsf_get_by_name(name.c_str()), &b) < 0)
                    throw FFmpegException(FmtStr("Unknown bitstream filter %s", name.c_str()));
                FF().avcodec_parameters_copy(b->par_in, ost->st->codecpar);
                b->time_base_in = ost->st->time_base;
                ost->bitstream_filters.push_back(b);
                if (FF().av_bsf_init(b) < 0)
                    throw FFmpegException(FmtStr("Unknown bitstream filter %s", name.c_str()));
            }

        Ftimer_start = FF().av_gettime();
        int64_t report_timer = Ftimer_start;
        Fno_packet.assign(size_t(Fnb_input_files), 0);
        int file_index = 0;
        RegisterBroken(true);

        while (!FBroken) {
            WaitWhilePaused();
            if (FBroken) break;
            // 1. choose the input
            double opts_min = 1e100;
            int chosen = -1;
            bool frame_limit = false;
            auto [first, count] =
                OutputStreamsOf(Fost_table.size(), FJoinMode, Fjoin_group, file_index);
            for (size_t i = first; i < first + count && i < Fost_table.size(); ++i) {
                TAVOutputStream* ost = Fost_table[i];
                TAVOutputStream* eo = EncOwner(ost);
                TAVInputStream* ist = Fist_table[size_t(ost->source_index)];
                int fi = ist->file_index;
                if (FJoinMode && fi != file_index) continue;
                AVRational tb = ost->st->time_base;
                double opts = eo->last_pts == AV_NOPTS ? 0 : double(eo->last_pts) * av_q2d(tb);
                if (ost->encoding_needed && ost->enc->codec_type == AVMEDIA_TYPE_AUDIO &&
                    ost->enc->sample_rate > 0)
                    opts = double(eo->sync_opts) / ost->enc->sample_rate;
                double ipts = double(ist->pts);
                if (!ist->is_past_recording_time && !Fno_packet[size_t(fi)] &&
                    !Finput_file_table[size_t(fi)].eof_reached) {
                    double key = Finput_sync ? ipts : opts;
                    if (key < opts_min) {
                        opts_min = key;
                        chosen = fi;
                    }
                }
                int type = ost->enc->codec_type;
                if (type >= 0 && type < 4 && eo->frame_number >= Fmax_frames[type]) {
                    frame_limit = true;
                    break;
                }
            }
            if (frame_limit) chosen = -1;
            // 2. nothing to read
            if (chosen < 0) {
                bool any = false;
                for (char f : Fno_packet)
                    any = any || f;
                if (FJoinMode || !any) break;
                std::fill(Fno_packet.begin(), Fno_packet.end(), 0);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            // 3. size limit
            if (Flimit_filesize && Foutput_files[0]->pb &&
                FF().avio_seek(Foutput_files[0]->pb, 0, SEEK_CUR) >= Flimit_filesize)
                break;
            // 4. read
            AVFormatContext* ic = Finput_files[size_t(chosen)];
            int ret = FF().av_read_frame(ic, Fpkt);
            if (ret == AVERROR(EAGAIN)) {
                Fno_packet[size_t(chosen)] = 1;
                continue;
            }
            if (ret < 0) {
                Finput_file_table[size_t(chosen)].eof_reached = 1;
                if (Fopt_shortest && !FJoinMode) break;
                if (FJoinMode) {
                    bool leave = false;
                    JoinSwitchInput(file_index, leave);
                    if (leave) break;
                }
                continue;
            }
            // 5.
            std::fill(Fno_packet.begin(), Fno_packet.end(), 0);
            if (Fdo_pkt_dump)
                FF().av_pkt_dump_log2(nullptr, 48, Fpkt, Fdo_hex_dump,
                                      ic->streams[Fpkt->stream_index]);
            // 6.
            const TAVInputFile& ifile = Finput_file_table[size_t(chosen)];
            if (Fpkt->stream_index < 0 || Fpkt->stream_index >= ifile.nb_streams) {
                FF().av_packet_unref(Fpkt);
                continue;
            }
            int ist_index = ifile.ist_index + Fpkt->stream_index;
            TAVInputStream* ist = Fist_table[size_t(ist_index)];
            if (ist->discard) {
                FF().av_packet_unref(Fpkt);
                continue;
            }
            // 7. offsets and scale
            AVRational stb = ist->st->time_base;
            int64_t off =
                FF().av_rescale_q(Finput_files_ts_offset[size_t(chosen)], kTimeBaseQ, stb);
            if (Fpkt->dts != AV_NOPTS) Fpkt->dts += off;
            if (Fpkt->pts != AV_NOPTS) Fpkt->pts += off;
            const auto& scales = Finput_files_ts_scale[size_t(chosen)];
            if (size_t(Fpkt->stream_index) < scales.size() && scales[size_t(Fpkt->stream_index)]) {
                double sc = scales[size_t(Fpkt->stream_index)];
                if (Fpkt->dts != AV_NOPTS) Fpkt->dts = int64_t(double(Fpkt->dts) * sc);
                if (Fpkt->pts != AV_NOPTS) Fpkt->pts = int64_t(double(Fpkt->pts) * sc);
            }
            // 8. discontinuity
            if (Fpkt->dts != AV_NOPTS && ist->next_pts != AV_NOPTS &&
                (ic->iformat->flags & AVFMT_TS_DISCONT)) {
                int64_t pkt_dts = FF().av_rescale_q(Fpkt->dts, stb, kTimeBaseQ);
                int64_t delta = pkt_dts - ist->next_pts;
                if ((std::llabs(delta) > int64_t(1LL * Fdts_delta_threshold * AV_TIME_BASE) ||
                     pkt_dts + 1 < ist->pts) &&
                    !Fcopy_ts) {
                    Finput_files_ts_offset[size_t(chosen)] -= delta;
                    if (Fverbose > 2)
                        LogMsg(llVerbose,
                               FmtStr("timestamp discontinuity %lld, new offset= %lld",
                                      (long long)delta,
                                      (long long)Finput_files_ts_offset[size_t(chosen)]));
                    int64_t d = FF().av_rescale_q(delta, kTimeBaseQ, stb);
                    Fpkt->dts -= d;
                    if (Fpkt->pts != AV_NOPTS) Fpkt->pts -= d;
                }
            }
            // 9. recording time
            if (Frecording_time != kNoRecordingLimit) {
                int64_t ts = Fpkt->pts != AV_NOPTS ? Fpkt->pts : Fpkt->dts;
                if (ts != AV_NOPTS &&
                    FF().av_compare_ts(ts, stb, Frecording_time + Fstart_time, kTimeBaseQ) >= 0) {
                    ist->is_past_recording_time = 1;
                    FF().av_packet_unref(Fpkt);
                    continue;
                }
            }
            // 10. decode and encode
            if (DecodePacket(ist, ist_index, Fpkt) < 0) {
                std::string msg =
                    FmtStr("Error while decoding stream #%d.%d (%s)", ist->file_index, ist->index,
                           MediaTypeName(ist->st->codecpar->codec_type).c_str());
                if (Fexit_on_error) {
                    FF().av_packet_unref(Fpkt);
                    throw FFmpegException(msg);
                }
                if (Fverbose >= 0) LogMsg(llVerbose, msg);
                FF().av_packet_unref(Fpkt);
                continue;
            }
            // 11.
            FF().av_packet_unref(Fpkt);
            // 12. report
            int64_t now = FF().av_gettime();
            if (now - report_timer > ReportInterval) {
                ReportProgress(false, file_index);
                report_timer = now;
            }
        }

        // 5. flush the decoders
        for (size_t i = 0; i < Fist_table.size(); ++i) {
            TAVInputStream* ist = Fist_table[i];
            if (ist->decoding_needed && !ist->decoder_flushed) {
                DecodePacket(ist, int(i), nullptr);
                ist->decoder_flushed = 1;
            }
        }
        // The encoders of streams whose input was never decoded still end cleanly.
        for (TAVOutputStream* ost : Fost_table)
            if (ost->encoding_needed && !ost->enc_owner && !ost->encoder_drained) FlushEncoder(ost);
        // 6. trailers
        for (int i = 0; i < Fnb_output_files; ++i) {
            if (FJoinMode && i > 0) break;
            int r = FF().av_write_trailer(Foutput_files[size_t(i)]);
            if (r < 0) throw FFmpegException(FormatAVError("av_write_trailer()", r));
        }
        // 7. last report
        ReportProgress(true, file_index);
        // 8. close the codecs
        CloseListedCodecs();
        // 9.
        FFinished = !FBroken;
    } catch (...) {
        FreeRunState();
        throw;
    }
    // 10.
    FreeRunState();
}

void TCustomFFmpeg::JoinSwitchInput(int& file_index, bool& leave) {
    bool last = file_index >= Fnb_input_files - 1;
    const TAVInputFile& ifile = Finput_file_table[size_t(file_index)];
    for (int s = 0; s < ifile.nb_streams; ++s) {
        TAVInputStream* ist = Fist_table[size_t(ifile.ist_index + s)];
        if (!ist->decoding_needed) continue;
        FJoinFlushLast = last;
        DecodePacket(ist, ifile.ist_index + s, nullptr);
        FJoinFlushLast = true;
        FF().avcodec_flush_buffers(ist->dec);
        ist->decoder_flushed = 1;
    }
    // The encoders keep running: the inputs follow one another without a gap.
    if (last) {
        leave = true;
        return;
    }
    double length = 0;
    for (int k = 0; k < Fjoin_group; ++k) {
        TAVOutputStream* ost = Fost_table[size_t(k)];
        double pos =
            ost->encoding_needed && ost->enc->codec_type == AVMEDIA_TYPE_AUDIO &&
                    ost->enc->sample_rate > 0
                ? double(ost->sync_opts + (ost->fifo ? FF().av_audio_fifo_size(ost->fifo) : 0)) /
                      ost->enc->sample_rate
            : ost->last_pts == AV_NOPTS ? 0
                                        : double(ost->last_pts) * av_q2d(ost->st->time_base);
        length = std::max(length, pos);
    }
    size_t next = size_t(file_index + 1) * size_t(Fjoin_group);
    for (size_t k = next; k < next + size_t(Fjoin_group) && k < Fost_table.size(); ++k)
        Fost_table[k]->show_fps = 0;
    Finput_files_ts_offset[size_t(file_index + 1)] += llround(length * 1000000.0);
    ++file_index;
}

void TCustomFFmpeg::ReportProgress(bool is_last, int file_index) {
    AVFormatContext* oc = Foutput_files[0];
    int64_t total_size = 0;
    if (oc && oc->pb) {
        int64_t sz = FF().avio_size(oc->pb);
        int64_t pos = FF().avio_seek(oc->pb, 0, SEEK_CUR);
        total_size = std::max(sz, pos);
    }
    int frame_number = -1, fps = -1;
    float q = -1.0f;
    double ti1 = 1e10;
    bool any_pos = false;
    std::string buf;
    bool vid = false;
    auto [first, count] = OutputStreamsOf(Fost_table.size(), FJoinMode, Fjoin_group, file_index);
    for (size_t i = first; i < first + count && i < Fost_table.size(); ++i) {
        TAVOutputStream* ost = Fost_table[i];
        TAVOutputStream* eo = EncOwner(ost);
        AVCodecContext* enc = ost->enc;
        if (vid && enc->codec_type == AVMEDIA_TYPE_VIDEO) {
            float qq = ost->stream_copy ? -1.0f : eo->quality / FF_QP2LAMBDA;
            buf += FmtStr("q=%2.1f ", qq);
        }
        if (!vid && enc->codec_type == AVMEDIA_TYPE_VIDEO && eo->show_fps) {
            double t = double(FF().av_gettime() - Ftimer_start) / 1000000.0;
            frame_number = eo->frame_number;
            if (frame_number < 1) return; // nothing encoded yet: no report at all
            fps = t > 1 ? int(frame_number / t + 0.5) : 0;
            q = ost->stream_copy ? -1.0f : eo->quality / FF_QP2LAMBDA;
            buf += FmtStr("frame=%5d fps=%3d q=%3.1f ", frame_number, fps, q);
            if (is_last) buf += "L";
            if (Fqp_hist) {
                static int qp_histogram[52];
                int qp = int(lrint(q));
                if (qp >= 0 && qp < 52) qp_histogram[qp]++;
                for (int j = 0; j < 32; ++j)
                    buf += FmtStr("%X", int(lrint(log2(qp_histogram[j] + 1))));
            }
            if (!ost->stream_copy && (enc->flags & AV_CODEC_FLAG_PSNR)) {
                // The last report gives the whole run: errors summed over every frame.
                const double frames = is_last ? double(frame_number) : 1.0;
                const double plane = double(enc->width) * enc->height * 255.0 * 255.0 * frames;
                double error = 0, scale = 0;
                buf += "PSNR=";
                for (int j = 0; j < 3; ++j) {
                    const double e = double(is_last ? eo->error_sum[j] : eo->error[j]);
                    const double s = j == 0 ? plane : plane / 4;
                    error += e;
                    scale += s;
                    buf += FmtStr("%c:%2.2f ", "YUV"[j], PeakSignalToNoise(e / s));
                }
                buf += FmtStr("*:%2.2f ", PeakSignalToNoise(error / scale));
            }
            vid = true;
        }
        double pos;
        if (ost->encoding_needed && enc->codec_type == AVMEDIA_TYPE_AUDIO && enc->sample_rate)
            pos = double(eo->sync_opts) / enc->sample_rate;
        else
            pos = eo->last_pts == AV_NOPTS ? 0 : double(eo->last_pts) * av_q2d(ost->st->time_base);
        if (pos > 0 && pos < ti1) {
            ti1 = pos;
            any_pos = true;
        }
    }
    // Before anything is written the position is 0, not an unknown huge time.
    if (!any_pos) ti1 = 0;
    if (ti1 < 0.01) ti1 = 0.01;
    if (OnProgress || Fverbose > 0 || is_last) {
        double bitrate = double(total_size) * 8 / ti1 / 1000.0;
        buf += FmtStr("size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s", total_size / 1024.0, ti1,
                      bitrate);
        if (Fnb_frames_dup || Fnb_frames_drop) {
            buf += FmtStr(" dup=%d drop=%d", Fnb_frames_dup, Fnb_frames_drop);
            if (FShowDupOrDrop && Fverbose >= 0 && OnProgress) {
                LogMsg(llVerbose, buf);
                FShowDupOrDrop = false;
            }
        }
        if (OnProgress)
            OnProgress(this, is_last ? -1 : file_index, frame_number, fps, q, float(bitrate),
                       total_size, int64_t(ti1 * 1000000), FTotalOutputDuration);
        else if (Fverbose >= 0)
            LogMsg(llVerbose, buf);
    }
    if (is_last && Fverbose >= 0) {
        int64_t raw = Fvideo_size + Faudio_size + Fextra_size;
        // Nothing written: no overhead rather than a division by zero.
        double overhead = raw > 0 ? 100.0 * double(total_size - raw) / double(raw) : 0.0;
        LogMsg(llVerbose,
               FmtStr("video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing "
                      "overhead %f%%\r\n",
                      Fvideo_size / 1024.0, Faudio_size / 1024.0, Fextra_size / 1024.0, overhead));
    }
}
