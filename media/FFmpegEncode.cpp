// Decoding one packet and the audio, video and subtitle encoding steps.
#include "media/FFmpeg.h"
#include "media/Previewer.h"

#include <chrono>
#include <cmath>

#include <cstring>
#include <thread>

#include "media/FFLoad.h"
#include "media/FFLog.h"

TAVOutputStream* EncOwner(TAVOutputStream* ost);
std::mutex& PreviewLock();

namespace {

const AVRational kTimeBaseQ{1, AV_TIME_BASE};

template <typename T> T Clip(int64_t v, int64_t lo, int64_t hi) {
    return T(v < lo ? lo : v > hi ? hi : v);
}

// Volume change in any sample format; 16-bit samples follow the integer rule exactly.
void ScaleFrame(AVFrame* f, int volume) {
    int ch = f->ch_layout.nb_channels;
    bool planar = FF().av_sample_fmt_is_planar(AVSampleFormat(f->format));
    int planes = planar ? ch : 1;
    size_t n = size_t(f->nb_samples) * size_t(planar ? 1 : ch);
    for (int p = 0; p < planes; ++p) {
        uint8_t* d = f->extended_data[p];
        switch (FF().av_get_packed_sample_fmt(AVSampleFormat(f->format))) {
        case AV_SAMPLE_FMT_S16:
            ScaleSamplesS16(reinterpret_cast<int16_t*>(d), n, volume);
            break;
        case AV_SAMPLE_FMT_U8:
            for (size_t i = 0; i < n; ++i)
                d[i] = Clip<uint8_t>((((int64_t(d[i]) - 128) * volume + 128) >> 8) + 128, 0, 255);
            break;
        case AV_SAMPLE_FMT_S32: {
            auto* s = reinterpret_cast<int32_t*>(d);
            for (size_t i = 0; i < n; ++i)
                s[i] = Clip<int32_t>((int64_t(s[i]) * volume + 128) >> 8, INT32_MIN, INT32_MAX);
            break;
        }
        case AV_SAMPLE_FMT_FLT: {
            auto* s = reinterpret_cast<float*>(d);
            for (size_t i = 0; i < n; ++i)
                s[i] = s[i] * float(volume) / 256.0f;
            break;
        }
        case AV_SAMPLE_FMT_DBL: {
            auto* s = reinterpret_cast<double*>(d);
            for (size_t i = 0; i < n; ++i)
                s[i] = s[i] * volume / 256.0;
            break;
        }
        default:
            break;
        }
    }
}

// Runs write; when it throws, frees the packet and throws on.
template <class F> void FreeingOnThrow(AVPacket*& pkt, F write) {
    try {
        write();
    } catch (...) {
        FF().av_packet_free(&pkt);
        throw;
    }
}

// Plane pointers over one buffer holding count samples.
void FillPlanes(uint8_t* buf, AVSampleFormat fmt, int channels, int count, uint8_t** planes) {
    int bps = FF().av_get_bytes_per_sample(fmt);
    if (FF().av_sample_fmt_is_planar(fmt)) {
        for (int c = 0; c < channels; ++c)
            planes[c] = buf + size_t(c) * size_t(count) * size_t(bps);
    } else {
        planes[0] = buf;
    }
}

} // namespace

void ScaleSamplesS16(int16_t* ASamples, size_t ACount, int AVolume) {
    for (size_t i = 0; i < ACount; ++i) {
        int64_t v = (int64_t(ASamples[i]) * AVolume + 128) >> 8;
        ASamples[i] = Clip<int16_t>(v, -32768, 32767);
    }
}

// ---------------------------------------------------------------- decoding

int TCustomFFmpeg::DecodePacket(TAVInputStream* ist, int ist_index, AVPacket* pkt) {
    (void)ist_index;
    if (ist->next_pts == AV_NOPTS) ist->next_pts = ist->pts;
    AVRational stb = ist->st->time_base;
    if (pkt && pkt->dts != AV_NOPTS)
        ist->pts = ist->next_pts = FF().av_rescale_q(pkt->dts, stb, kTimeBaseQ);
    AVCodecContext* dec = ist->dec;

    if (!ist->decoding_needed) {
        if (!pkt) return 0;
        ist->pts = ist->next_pts;
        if (ist->st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && dec->sample_rate > 0) {
            int fs = dec->frame_size > 0 ? dec->frame_size : ist->st->codecpar->frame_size;
            int64_t d = pkt->duration > 0 ? FF().av_rescale_q(pkt->duration, stb, kTimeBaseQ)
                                          : int64_t(1000000) * fs / dec->sample_rate;
            ist->next_pts += d;
        } else if (ist->st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            AVRational fr = ist->st->avg_frame_rate;
            if (pkt->duration > 0)
                ist->next_pts += FF().av_rescale_q(pkt->duration, stb, kTimeBaseQ);
            else if (fr.num && fr.den)
                ist->next_pts += int64_t(1000000) * fr.den / fr.num;
        }
        if (Fstart_time == 0 || ist->pts >= Fstart_time)
            for (TAVOutputStream* ost : Fost_table)
                if (Fist_table[size_t(ost->source_index)] == ist && !ost->encoding_needed)
                    CopyPacket(ist, ost, pkt);
        return 0;
    }

    if (dec->codec_type == AVMEDIA_TYPE_SUBTITLE) {
        AVSubtitle sub;
        int got = 0;
        AVPacket* p = pkt;
        AVPacket* empty = nullptr;
        if (!p) {
            empty = FF().av_packet_alloc();
            p = empty;
        }
        int ret = FF().avcodec_decode_subtitle2(dec, &sub, &got, p);
        FF().av_packet_free(&empty);
        if (ret < 0) return -1;
        ist->pts = ist->next_pts;
        if (got) {
            if (Fstart_time == 0 || ist->pts >= Fstart_time)
                for (TAVOutputStream* ost : Fost_table)
                    if (Fist_table[size_t(ost->source_index)] == ist && ost->encoding_needed)
                        EncodeSubtitle(ost, ist, &sub, pkt ? pkt->pts : AV_NOPTS);
            FF().avsubtitle_free(&sub);
        }
        if (!pkt)
            for (TAVOutputStream* ost : Fost_table)
                if (Fist_table[size_t(ost->source_index)] == ist && ost->encoding_needed &&
                    !EncOwner(ost)->encoder_drained && FJoinFlushLast)
                    FlushEncoder(ost);
        return 0;
    }

    int ret = FF().avcodec_send_packet(dec, pkt);
    if (ret < 0 && ret != AVERROR_EOF && ret != AVERROR(EAGAIN)) return -1;
    int frames = 0;
    for (;;) {
        ret = FF().avcodec_receive_frame(dec, ist->frame);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) break;
        if (ret < 0) return -1;
        ++frames;
        if (pkt && frames == 2 &&
            ((!ist->showed_multi_packet_warning && Fverbose > 0) || Fverbose > 1)) {
            LogMsg(llError,
                   FmtStr("Multiple frames in a packet from stream %d", pkt->stream_index));
            ist->showed_multi_packet_warning = 1;
        }
        ist->pts = ist->next_pts;
        AVFrame* frame = ist->frame;
        if (Fsame_quality && dec->codec_type == AVMEDIA_TYPE_VIDEO) {
            ist->quality = float(frame->quality);
            const AVFrameSideData* side =
                FF().av_frame_get_side_data(frame, AV_FRAME_DATA_VIDEO_ENC_PARAMS);
            if (ist->quality <= 0 && side && side->size >= sizeof(AVVideoEncParams)) {
                const auto* params = reinterpret_cast<const AVVideoEncParams*>(side->data);
                ist->quality = float(params->qp * FF_QP2LAMBDA);
            }
        }
        if (dec->codec_type == AVMEDIA_TYPE_AUDIO) {
            int rate = frame->sample_rate > 0 ? frame->sample_rate : dec->sample_rate;
            if (rate > 0) ist->next_pts += int64_t(1000000) * frame->nb_samples / rate;
            int bps = FF().av_get_bytes_per_sample(AVSampleFormat(frame->format));
            int ch = frame->ch_layout.nb_channels;
            bool planar = FF().av_sample_fmt_is_planar(AVSampleFormat(frame->format));
            if (OnAudioHook)
                OnAudioHook(this, ist->pts, frame->extended_data[0],
                            frame->nb_samples * bps * (planar ? 1 : ch), rate, ch, frame->format);
            if (Faudio_volume != 256) {
                FF().av_frame_make_writable(frame);
                ScaleFrame(frame, Faudio_volume);
            }
        } else if (dec->codec_type == AVMEDIA_TYPE_VIDEO) {
            int64_t best = frame->best_effort_timestamp;
            if (best != AV_NOPTS)
                ist->pts = ist->next_pts = FF().av_rescale_q(best, stb, kTimeBaseQ);
            AVRational fr = dec->framerate.num ? dec->framerate : ist->st->avg_frame_rate;
            if (fr.num && fr.den)
                ist->next_pts +=
                    int64_t(1000000) * fr.den * (frame->repeat_pict + 2) / (2 * fr.num);
            PrepareInputPicture(ist, frame);
        }
        if (Frate_emu) {
            int64_t wait = ist->pts - (FF().av_gettime() - ist->start);
            if (wait > 1000) std::this_thread::sleep_for(std::chrono::microseconds(wait));
        }
        if (Fstart_time == 0 || ist->pts >= Fstart_time) DeliverDecoded(ist, frame);
        FF().av_frame_unref(frame);
        if (FBroken && pkt) break;
    }
    if (!pkt) {
        for (TAVOutputStream* ost : Fost_table)
            if (Fist_table[size_t(ost->source_index)] == ist && ost->encoding_needed &&
                !EncOwner(ost)->encoder_drained && FJoinFlushLast)
                FlushEncoder(ost);
    }
    return 0;
}

void TCustomFFmpeg::DeliverDecoded(TAVInputStream* ist, AVFrame* frame) {
    if (ist->dec->codec_type == AVMEDIA_TYPE_VIDEO && FEnableFilter && ist->input_video_filter) {
        frame->pts = ist->pts;
        if (FF().av_buffersrc_add_frame_flags(ist->input_video_filter, frame,
                                              AV_BUFFERSRC_FLAG_KEEP_REF) < 0) {
            if (Fexit_on_error) throw FFmpegException("Error while feeding the filtergraph");
            LogMsg(llError, "Error while feeding the filtergraph");
            return;
        }
        if (!ist->filtered) ist->filtered = FF().av_frame_alloc();
        while (FF().av_buffersink_get_frame(ist->output_video_filter, ist->filtered) >= 0) {
            if (ist->filtered->pts != AV_NOPTS) ist->pts = ist->filtered->pts;
            for (TAVOutputStream* ost : Fost_table) {
                if (Fist_table[size_t(ost->source_index)] != ist || !ost->encoding_needed) continue;
                EncOwner(ost)->enc->sample_aspect_ratio = ist->filtered->sample_aspect_ratio;
                int frame_size = 0;
                EncodeVideoFrame(ost, ist, ist->filtered, frame_size);
                if (Fvstats_filename && frame_size) WriteVideoStats(ost, frame_size);
            }
            FF().av_frame_unref(ist->filtered);
        }
        return;
    }
    for (TAVOutputStream* ost : Fost_table) {
        if (Fist_table[size_t(ost->source_index)] != ist || !ost->encoding_needed) continue;
        switch (ost->enc->codec_type) {
        case AVMEDIA_TYPE_AUDIO:
            EncodeAudioFrame(ost, ist, frame);
            break;
        case AVMEDIA_TYPE_VIDEO: {
            int frame_size = 0;
            EncodeVideoFrame(ost, ist, frame, frame_size);
            if (Fvstats_filename && frame_size) WriteVideoStats(ost, frame_size);
            break;
        }
        default:
            throw FFmpegException("invalid codec_type");
        }
    }
}

void TCustomFFmpeg::CopyPacket(TAVInputStream* ist, TAVOutputStream* ost, AVPacket* pkt) {
    TAVOutputStream* eo = EncOwner(ost);
    if (eo->frame_number == 0 && !(pkt->flags & AV_PKT_FLAG_KEY) && !Fcopy_initial_nonkeyframes)
        return;
    AVPacket* opkt = FF().av_packet_alloc();
    if (!opkt || FF().av_packet_ref(opkt, pkt) < 0) {
        FF().av_packet_free(&opkt);
        throw FFmpegException("av_mallocz fail");
    }
    if (ist->st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
        Faudio_size += pkt->size;
    else if (ist->st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
        Fvideo_size += pkt->size;
        eo->sync_opts++;
    }
    AVRational itb = ist->st->time_base;
    AVRational otb = ost->st->time_base;
    int64_t ost_tb_start = FF().av_rescale_q(Fstart_time, kTimeBaseQ, otb);
    opkt->pts =
        pkt->pts != AV_NOPTS ? FF().av_rescale_q(pkt->pts, itb, otb) - ost_tb_start : AV_NOPTS;
    opkt->dts = pkt->dts != AV_NOPTS ? FF().av_rescale_q(pkt->dts, itb, otb)
                                     : FF().av_rescale_q(ist->pts, kTimeBaseQ, otb);
    opkt->dts -= ost_tb_start;
    opkt->duration = FF().av_rescale_q(pkt->duration, itb, otb);
    opkt->stream_index = ost->index;
    // The payload passes as it is; the muxer splits what it needs.
    WritePacket(Foutput_files[size_t(ost->file_index)], opkt, ost);
    eo->frame_number++;
    FF().av_packet_free(&opkt);
}

// ---------------------------------------------------------------- audio

void TCustomFFmpeg::EncodeAudioFrame(TAVOutputStream* ost, TAVInputStream* ist, AVFrame* in) {
    TAVOutputStream* e = EncOwner(ost);
    AVCodecContext* enc = e->enc;
    AVSampleFormat in_fmt = AVSampleFormat(in->format);
    int in_rate = in->sample_rate > 0 ? in->sample_rate : ist->dec->sample_rate;
    int in_ch = in->ch_layout.nb_channels;
    int enc_ch = enc->ch_layout.nb_channels;
    AVSampleFormat out_fmt = enc->sample_fmt;
    int in_bps = FF().av_get_bytes_per_sample(in_fmt);
    int out_bps = FF().av_get_bytes_per_sample(out_fmt);
    bool in_planar = FF().av_sample_fmt_is_planar(in_fmt);
    if (in_bps <= 0 || out_bps <= 0 || in_ch <= 0 || enc_ch <= 0 || in_rate <= 0)
        throw FFmpegException("Audio encoding failed");

    if (enc_ch != in_ch) e->audio_resample = 1;
    bool format_changed = e->resample_sample_fmt != in_fmt || e->resample_channels != in_ch ||
                          e->resample_sample_rate != in_rate;
    int pair = int(out_fmt) + 5 * int(in_fmt);
    bool need_convert = e->audio_resample || in_fmt != out_fmt;
    if ((need_convert && !e->resample) || format_changed ||
        (!e->audio_resample && in_fmt != out_fmt && pair != e->reformat_pair)) {
        if (format_changed) {
            LogMsg(llInfo,
                   FmtStr("Input stream #%d.%d frame changed from rate:%d fmt:%s ch:%d to "
                          "rate:%d fmt:%s ch:%d",
                          ist->file_index, ist->index, e->resample_sample_rate,
                          e->resample_sample_fmt >= 0
                              ? FF().av_get_sample_fmt_name(AVSampleFormat(e->resample_sample_fmt))
                              : "none",
                          e->resample_channels, in_rate, FF().av_get_sample_fmt_name(in_fmt),
                          in_ch));
            e->resample_sample_fmt = in_fmt;
            e->resample_channels = in_ch;
            e->resample_sample_rate = in_rate;
            e->audio_resample =
                enc->sample_rate != in_rate || enc_ch != in_ch || Faudio_sync_method > 1;
        }
        FF().swr_free(&e->resample);
        e->reformat_pair = -6;
        if (e->resample_sample_fmt == out_fmt && e->resample_channels == enc_ch &&
            e->resample_sample_rate == enc->sample_rate && Faudio_sync_method <= 1) {
            e->audio_resample = 0;
        } else {
            AVChannelLayout in_layout;
            if (in->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC)
                FF().av_channel_layout_copy(&in_layout, &in->ch_layout);
            else
                FF().av_channel_layout_default(&in_layout, in_ch);
            int r =
                FF().swr_alloc_set_opts2(&e->resample, &enc->ch_layout, out_fmt, enc->sample_rate,
                                         &in_layout, in_fmt, in_rate, 0, nullptr);
            FF().av_channel_layout_uninit(&in_layout);
            if (r >= 0 && e->resample) {
                // A short filter keeps the resampler cheap: 16 taps, 10 phase bits, cut-off 0.8.
                FF().av_opt_set_int(e->resample, "filter_size", 16, 0);
                FF().av_opt_set_int(e->resample, "phase_shift", 10, 0);
                FF().av_opt_set_int(e->resample, "linear_interp", 0, 0);
                FF().av_opt_set_double(e->resample, "cutoff", 0.8, 0);
                r = FF().swr_init(e->resample);
            }
            if (r < 0 || !e->resample) {
                FF().swr_free(&e->resample);
                if (e->audio_resample)
                    throw FFmpegException(
                        FmtStr("Can not resample %d channels @ %d Hz to %d channels @ %d Hz", in_ch,
                               in_rate, enc_ch, enc->sample_rate));
                throw FFmpegException(FmtStr("Cannot convert %s sample format to %s sample format",
                                             FF().av_get_sample_fmt_name(in_fmt),
                                             FF().av_get_sample_fmt_name(out_fmt)));
            }
            if (!e->audio_resample) e->reformat_pair = pair;
        }
    }

    // The input as plane pointers and a sample count, adjusted for drift below.
    uint8_t* data[AV_NUM_DATA_POINTERS] = {};
    int planes = in_planar ? in_ch : 1;
    if (planes > AV_NUM_DATA_POINTERS) throw FFmpegException("Audio encoding failed");
    for (int p = 0; p < planes; ++p)
        data[p] = in->extended_data[p];
    int nb = in->nb_samples;

    int fifo_samples = FF().av_audio_fifo_size(e->fifo);
    TAVInputStream* sync_ist = ost->sync_ist ? ost->sync_ist : ist;
    if (Faudio_sync_method) {
        double delta = double(sync_ist->pts - Fstart_time) / 1000000.0 * enc->sample_rate -
                       double(e->sync_opts) - fifo_samples;
        double idelta = delta * in_rate / enc->sample_rate;
        int sdelta = int(idelta);
        if (std::fabs(delta) > 50) {
            if (ist->is_start || std::fabs(delta) > Faudio_drift_threshold * enc->sample_rate) {
                if (sdelta < 0) {
                    int drop = std::min(-sdelta, nb);
                    for (int p = 0; p < planes; ++p)
                        data[p] += size_t(drop) * size_t(in_bps) * size_t(in_planar ? 1 : in_ch);
                    nb -= drop;
                    if (Fverbose > 2)
                        LogMsg(llVerbose,
                               FmtStr("discarding %d audio samples", int(std::trunc(-delta))));
                    if (nb <= 0) return;
                    ist->is_start = 0;
                } else if (sdelta > 0) {
                    int total = sdelta + nb;
                    int need = FF().av_samples_get_buffer_size(nullptr, in_ch, total, in_fmt, 1);
                    if (need < 0) throw FFmpegException("Buffer sizes too large in do_audio_out");
                    FF().av_fast_malloc(&Finput_tmp, &Fallocated_input_tmp_size, size_t(need));
                    if (!Finput_tmp) throw FFmpegException("Out of memory in do_audio_out");
                    uint8_t* tmp[AV_NUM_DATA_POINTERS] = {};
                    FillPlanes(Finput_tmp, in_fmt, in_ch, total, tmp);
                    FF().av_samples_set_silence(tmp, 0, sdelta, in_ch, in_fmt);
                    FF().av_samples_copy(tmp, data, sdelta, 0, nb, in_ch, in_fmt);
                    for (int p = 0; p < planes; ++p)
                        data[p] = tmp[p];
                    nb = total;
                    ist->is_start = 0;
                    if (Fverbose > 2)
                        LogMsg(llVerbose, FmtStr("adding %d audio samples of silence",
                                                 int(std::trunc(delta))));
                }
            } else if (Faudio_sync_method > 1) {
                int comp = int(std::max(-double(Faudio_sync_method),
                                        std::min(double(Faudio_sync_method), delta)));
                if (!e->resample)
                    throw FFmpegException("Assertion failed: drift compensation without resampler");
                if (Fverbose > 2)
                    LogMsg(llVerbose,
                           FmtStr("compensating audio timestamp drift:%f compensation:%d in:%d",
                                  delta, comp, enc->sample_rate));
                FF().swr_set_compensation(e->resample, comp, enc->sample_rate);
            }
        }
    } else {
        e->sync_opts = llround(double(sync_ist->pts - Fstart_time) / 1000000.0 * enc->sample_rate) -
                       fifo_samples;
    }

    // Resample or convert.
    uint8_t* out[AV_NUM_DATA_POINTERS] = {};
    int count;
    if (e->resample) {
        int max_out = FF().swr_get_out_samples(e->resample, nb);
        if (max_out < 0) throw FFmpegException("Buffer sizes too large in do_audio_out");
        int64_t size = int64_t(max_out + 16) * out_bps * enc_ch;
        if (size > INT32_MAX) throw FFmpegException("Buffer sizes too large in do_audio_out");
        FF().av_fast_malloc(&Faudio_buf, &Fallocated_audio_buf_size, size_t(size));
        if (!Faudio_buf) throw FFmpegException("Out of memory in do_audio_out");
        FillPlanes(Faudio_buf, out_fmt, enc_ch, max_out + 16, out);
        count =
            FF().swr_convert(e->resample, out, max_out + 16, const_cast<const uint8_t**>(data), nb);
        if (count < 0) {
            if (Fexit_on_error) throw FFmpegException("av_audio_convert() failed");
            LogMsg(llError, "av_audio_convert() failed");
            return;
        }
    } else {
        for (int p = 0; p < planes; ++p)
            out[p] = data[p];
        count = nb;
    }

    if (count > 0 &&
        FF().av_audio_fifo_write(e->fifo, reinterpret_cast<void**>(out), count) < count)
        throw FFmpegException("av_fifo_realloc2() failed");
    EncodeAudioSamples(e, false);
}

// Encodes what the FIFO holds: whole frames, or everything at the end.
void TCustomFFmpeg::EncodeAudioSamples(TAVOutputStream* e, bool flush) {
    AVCodecContext* enc = e->enc;
    bool frame_based =
        enc->frame_size > 1 && !(enc->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
    for (;;) {
        int avail = FF().av_audio_fifo_size(e->fifo);
        int n;
        if (frame_based) {
            if (avail >= enc->frame_size)
                n = enc->frame_size;
            else if (flush && avail > 0)
                n = avail;
            else
                break;
        } else {
            if (avail <= 0) break;
            n = avail;
        }
        AVFrame* f = e->enc_frame;
        FF().av_frame_unref(f);
        f->format = enc->sample_fmt;
        FF().av_channel_layout_copy(&f->ch_layout, &enc->ch_layout);
        f->sample_rate = enc->sample_rate;
        int alloc = n;
        bool pad = frame_based && n < enc->frame_size &&
                   !(enc->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
        if (pad) alloc = enc->frame_size; // a short last frame is padded with silence
        f->nb_samples = alloc;
        if (FF().av_frame_get_buffer(f, 0) < 0)
            throw FFmpegException("Out of memory in do_audio_out");
        if (FF().av_audio_fifo_read(e->fifo, reinterpret_cast<void**>(f->extended_data), n) < n)
            throw FFmpegException("Audio encoding failed");
        if (pad)
            FF().av_samples_set_silence(f->extended_data, n, alloc - n, enc->ch_layout.nb_channels,
                                        enc->sample_fmt);
        int64_t pts = e->sync_opts;
        if (pts < e->next_enc_pts) pts = e->next_enc_pts; // never backwards
        f->pts = pts;
        e->next_enc_pts = pts + alloc;
        if (FF().avcodec_send_frame(enc, f) < 0) throw FFmpegException("Audio encoding failed");
        ReceivePackets(e, Faudio_size);
        e->sync_opts += n;
        e->frame_number++;
        if (!frame_based) break;
    }
}

void TCustomFFmpeg::ReceivePackets(TAVOutputStream* e, int64_t& ASizeCounter) {
    AVCodecContext* enc = e->enc;
    AVPacket* pkt = FF().av_packet_alloc();
    if (!pkt) throw FFmpegException("av_mallocz fail");
    for (;;) {
        int ret = FF().avcodec_receive_packet(enc, pkt);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) break;
        if (ret < 0) {
            FF().av_packet_free(&pkt);
            throw FFmpegException(enc->codec_type == AVMEDIA_TYPE_AUDIO ? "Audio encoding failed"
                                                                        : "Video encoding failed");
        }
        ASizeCounter += pkt->size;
        if (enc->codec_type == AVMEDIA_TYPE_VIDEO) {
            size_t statsSize = 0;
            const uint8_t* stats =
                FF().av_packet_get_side_data(pkt, AV_PKT_DATA_QUALITY_STATS, &statsSize);
            if (stats) ReadQualityStats(e, stats, statsSize);
            if (e->logfile && enc->stats_out) fprintf(e->logfile, "%s", enc->stats_out);
        }
        FF().av_packet_rescale_ts(pkt, enc->time_base, e->st->time_base);
        pkt->stream_index = e->st->index;
        FreeingOnThrow(pkt, [&] { WritePacket(Foutput_files[size_t(e->file_index)], pkt, e); });
    }
    FF().av_packet_free(&pkt);
}

void TCustomFFmpeg::FlushEncoder(TAVOutputStream* ost) {
    TAVOutputStream* e = EncOwner(ost);
    if (e->encoder_drained || !e->encoder_opened) return;
    e->encoder_drained = true;
    AVCodecContext* enc = e->enc;
    if (enc->codec_type == AVMEDIA_TYPE_AUDIO) {
        if (e->fifo) EncodeAudioSamples(e, true);
    } else if (enc->codec_type != AVMEDIA_TYPE_VIDEO) {
        return;
    }
    if (FF().avcodec_send_frame(enc, nullptr) < 0) return;
    ReceivePackets(e, enc->codec_type == AVMEDIA_TYPE_AUDIO ? Faudio_size : Fvideo_size);
}

// ---------------------------------------------------------------- video

bool TVideoHookConverter::PictureToBitmap(const AVFrame* APicture) {
    TAVPicture Source;
    for (int i = 0; i < 4; ++i) {
        Source.data[i] = APicture->data[i];
        Source.linesize[i] = APicture->linesize[i];
    }
    return FConverter.PictureToRGB(Source, AVPixelFormat(APicture->format), true, APicture->height,
                                   APicture->width);
}

bool TVideoHookConverter::BitmapToPicture(AVFrame* APicture) {
    if (!FConverter.RGBPictureRef()) return false;
    TBitmap* B = FConverter.Bitmap();
    if (B->Width() != APicture->width || B->Height() != APicture->height) return false;
    FConverter.BitmapToRGB();
    // A picture already in the bitmap's format was described, not copied: the
    // bitmap's rows went straight into it.
    if (FConverter.RGBPictureRef() != &FConverter.RGBPicture()) return true;
    TAVPicture Target;
    for (int i = 0; i < 4; ++i) {
        Target.data[i] = APicture->data[i];
        Target.linesize[i] = APicture->linesize[i];
    }
    return FConverter.RGBToPicture(Target, AVPixelFormat(APicture->format), APicture->height,
                                   APicture->width);
}

void TCustomFFmpeg::CallVideoHook(TVideoHookEvent& AEvent, TVideoHookConverter& AConverter,
                                  bool& AConverted, int64_t APTS, int AFrameNumber,
                                  AVFrame* APicture) {
    AConverted = AConverter.PictureToBitmap(APicture);
    bool update = true, stop = false;
    if (!AConverted) {
        LogMsg(llError, AConverter.LastErrMsg());
        AEvent = nullptr;
        return;
    }
    try {
        AEvent(this, AConverter.Bitmap(), AFrameNumber, APTS, update, stop);
    } catch (const Exception& e) {
        LogMsg(llError, "Error occurs VideoHook event: " + e.Message);
        update = false;
    }
    bool failed = false;
    if (update) {
        if (!AConverter.BitmapToPicture(APicture)) {
            LogMsg(llError, AConverter.LastErrMsg());
            failed = true;
        }
    } else if (FPostHooks) {
        AConverted = false; // the post hooks convert the picture afresh
    }
    if (stop || failed) AEvent = nullptr;
}

void TCustomFFmpeg::RunPostHooks(AVFrame* APicture, bool AConverted, int64_t APTS,
                                 int AFrameNumber) {
    std::unique_lock<std::mutex> g(PreviewLock());
    TPostHooks hooks = FPostHooks;
    TVideoHookConverter& conv = *FOutputVideoHook.Converter;
    const bool bitmap = (hooks & PostHookBit(phBitmap)) && OnPreviewBitmap;
    if (bitmap || (hooks & PostHookBit(phPreview))) {
        int64_t now = FF().av_gettime();
        if (now - FOutputVideoHook.preview_last_time > PreviewInterval) {
            bool ok = true;
            if (!(AConverted && !FPostHooksChanged)) ok = conv.PictureToBitmap(APicture);
            if (!ok) {
                LogMsg(llError, conv.LastErrMsg());
            } else if (bitmap) {
                OnPreviewBitmap(this, conv.Bitmap(), AFrameNumber, APTS);
            } else {
                if (!FOutputVideoHook.Previewer)
                    FOutputVideoHook.Previewer = std::make_shared<TPreviewer>();
                std::shared_ptr<TPreviewer> previewer = FOutputVideoHook.Previewer;
                // The window paints on the main thread, which may itself wait
                // for this lock meanwhile.
                g.unlock();
                ok = previewer->PaintFrame(conv.Bitmap(), AFrameNumber, APTS);
                g.lock();
            }
            FOutputVideoHook.preview_last_time = now;
            if (!ok) hooks &= ~PostHookBit(bitmap ? phBitmap : phPreview);
        }
    }
    const bool changed = FPostHooks != hooks;
    FPostHooks = hooks;
    FPostHooksChanged = false;
    std::shared_ptr<TPreviewer> dropped;
    if (changed && !(hooks & PostHookBit(phPreview)))
        dropped = std::move(FOutputVideoHook.Previewer);
    g.unlock();
}

void TCustomFFmpeg::PrepareInputPicture(TAVInputStream* ist, AVFrame* picture) {
    ist->frame_number++;
    if (!OnInputVideoHook && !Fusing_vhook) return;
    // The hooks work on a picture of our own.
    if (FF().av_frame_make_writable(picture) < 0) {
        LogMsg(llError, "hook buf malloc error.");
        return;
    }
    if (OnInputVideoHook) {
        bool converted = false;
        CallVideoHook(OnInputVideoHook, *FInputVideoHook, converted, ist->pts, ist->frame_number,
                      picture);
        return;
    }
    TFrameHookPicture pict;
    for (int i = 0; i < 4; ++i) {
        pict.data[i] = picture->data[i];
        pict.linesize[i] = picture->linesize[i];
    }
    ProcessFrameHooks(FFirstHook, &pict, picture->format, picture->width, picture->height,
                      ist->pts);
}

void TCustomFFmpeg::EncodeVideoFrame(TAVOutputStream* ost, TAVInputStream* ist, AVFrame* picture,
                                     int& frame_size) {
    TAVOutputStream* e = EncOwner(ost);
    AVCodecContext* enc = e->enc;
    frame_size = 0;
    TAVInputStream* sync_ist = ost->sync_ist ? ost->sync_ist : ist;
    double tb = av_q2d(enc->time_base);
    if (tb <= 0) throw FFmpegException("Video encoding failed");
    double sync_ipts = double(sync_ist->pts - Fstart_time) / 1000000.0 / tb;
    int nb_frames = 1;
    if (Fvideo_sync_method) {
        double vdelta = sync_ipts - double(e->sync_opts);
        const AVOutputFormat* of = Foutput_files[size_t(e->file_index)]->oformat;
        if (vdelta < -1.1)
            nb_frames = 0;
        else if (Fvideo_sync_method == 2 ||
                 (Fvideo_sync_method < 0 && (of->flags & AVFMT_VARIABLE_FPS))) {
            if (vdelta <= -0.6)
                nb_frames = 0;
            else if (vdelta > 0.6)
                e->sync_opts = llround(sync_ipts);
        } else if (vdelta > 1.1) {
            nb_frames = int(llround(vdelta));
        }
        if (nb_frames == 0) {
            ++Fnb_frames_drop;
            FShowDupOrDrop = true;
            if (Fverbose > 2) LogMsg(llVerbose, "*** drop!");
        } else if (nb_frames > 1) {
            Fnb_frames_dup += nb_frames - 1;
            FShowDupOrDrop = true;
            if (Fverbose > 2) LogMsg(llVerbose, FmtStr("*** %d dup!", nb_frames - 1));
        }
    } else {
        e->sync_opts = llround(sync_ipts);
    }
    nb_frames = std::min(nb_frames, Fmax_frames[AVMEDIA_TYPE_VIDEO] - e->frame_number);
    if (nb_frames <= 0) return;

    AVFrame* src = picture;
    if (!FEnableFilter &&
        (e->video_resample || picture->width != e->resample_width ||
         picture->height != e->resample_height || picture->format != e->resample_pix_fmt)) {
        bool changed = picture->width != e->resample_width ||
                       picture->height != e->resample_height ||
                       picture->format != e->resample_pix_fmt;
        if (changed) {
            LogMsg(llQuiet, FmtStr("Input Stream #%d.%d frame size changed to %dx%d, %s",
                                   ist->file_index, ist->index, picture->width, picture->height,
                                   FF().av_get_pix_fmt_name(AVPixelFormat(picture->format))));
            FF().sws_freeContext(e->img_resample_ctx);
            e->img_resample_ctx = nullptr;
            e->resample_width = picture->width;
            e->resample_height = picture->height;
            e->resample_pix_fmt = picture->format;
            e->video_resample = 1;
        }
        if (!e->img_resample_ctx) {
            int64_t flags = Fsws_flags;
            if (FOptions.sws_opts) FF().av_opt_get_int(FOptions.sws_opts, "sws_flags", 0, &flags);
            Fsws_flags = unsigned(flags);
            e->img_resample_ctx = FF().sws_getContext(
                picture->width, picture->height, AVPixelFormat(picture->format), enc->width,
                enc->height, enc->pix_fmt, int(Fsws_flags), nullptr, nullptr, nullptr);
            if (!e->img_resample_ctx) throw FFmpegException("Cannot get resampling context");
        }
        if (!e->pict_tmp) {
            e->pict_tmp = FF().av_frame_alloc();
            if (!e->pict_tmp) throw FFmpegException("Cannot allocate temp picture, check pix fmt");
        }
        if (e->pict_tmp->width != enc->width || e->pict_tmp->height != enc->height ||
            e->pict_tmp->format != enc->pix_fmt || !e->pict_tmp->data[0]) {
            FF().av_frame_unref(e->pict_tmp);
            e->pict_tmp->width = enc->width;
            e->pict_tmp->height = enc->height;
            e->pict_tmp->format = enc->pix_fmt;
            if (FF().av_frame_get_buffer(e->pict_tmp, 0) < 0)
                throw FFmpegException("Cannot allocate temp picture, check pix fmt");
        }
        if (FF().av_frame_make_writable(e->pict_tmp) < 0)
            throw FFmpegException("Cannot allocate temp picture, check pix fmt");
        FF().sws_scale(e->img_resample_ctx, picture->data, picture->linesize, 0, picture->height,
                       e->pict_tmp->data, e->pict_tmp->linesize);
        src = e->pict_tmp;
    }

    AVFrame* f = FF().av_frame_alloc();
    if (!f) throw FFmpegException("av_mallocz fail");
    try {
        for (int i = 0; i < nb_frames; ++i) {
            WaitWhilePaused();
            if (FBroken) break;
            FF().av_frame_unref(f);
            if (FF().av_frame_ref(f, src) < 0) throw FFmpegException("Video encoding failed");
            f->interlaced_frame = picture->interlaced_frame;
            if (Ftop_field_first != -1) f->top_field_first = Ftop_field_first;
            // With a motion threshold the input's picture types are kept (the
            // threshold itself has no counterpart in these libraries).
            f->pict_type = Fme_threshold ? picture->pict_type : AV_PICTURE_TYPE_NONE;
            f->pts = e->sync_opts;
            if (e->forced_kf_index < e->forced_kf_count &&
                f->pts >= e->forced_kf_pts[size_t(e->forced_kf_index)]) {
                f->pict_type = AV_PICTURE_TYPE_I;
                e->forced_kf_index++;
            }
            if (Fsame_quality && ist->quality > 0) f->quality = int(ist->quality);
            int64_t hook_time = FF().av_rescale_q(f->pts, enc->time_base, kTimeBaseQ);
            bool converted = false;
            if (OnOutputVideoHook || FPostHooks) {
                // The hooks change a copy, never the picture other frames share.
                if (FF().av_frame_make_writable(f) < 0) {
                    LogMsg(llError, "hook buf malloc error.");
                } else {
                    if (OnOutputVideoHook)
                        CallVideoHook(OnOutputVideoHook, *FOutputVideoHook.Converter, converted,
                                      hook_time, e->frame_number + 1, f);
                    if (FPostHooks) RunPostHooks(f, converted, hook_time, e->frame_number + 1);
                }
            }
            int64_t before = Fvideo_size;
            if (FF().avcodec_send_frame(enc, f) < 0) throw FFmpegException("Video encoding failed");
            ReceivePackets(e, Fvideo_size);
            frame_size = int(Fvideo_size - before);
            e->sync_opts++;
            e->frame_number++;
        }
    } catch (...) {
        FF().av_frame_free(&f);
        throw;
    }
    FF().av_frame_free(&f);
}

void TCustomFFmpeg::EncodeSubtitle(TAVOutputStream* ost, TAVInputStream* ist, AVSubtitle* sub,
                                   int64_t pts) {
    if (pts == AV_NOPTS) {
        if (Fexit_on_error) throw FFmpegException("Subtitle packets must have a pts");
        LogMsg(llError, "Subtitle packets must have a pts");
        return;
    }
    // One buffer per engine: tasks run side by side.
    const int subtitle_out_max_size = 1024 * 1024;
    Fsubtitle_out.resize(size_t(subtitle_out_max_size));
    uint8_t* subtitle_out = Fsubtitle_out.data();
    TAVOutputStream* e = EncOwner(ost);
    AVCodecContext* enc = e->enc;
    int nb = enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE ? 2 : 1;
    for (int i = 0; i < nb; ++i) {
        sub->pts = FF().av_rescale_q(pts, ist->st->time_base, kTimeBaseQ) +
                   FF().av_rescale_q(sub->start_display_time, AVRational{1, 1000}, kTimeBaseQ);
        sub->end_display_time -= sub->start_display_time;
        sub->start_display_time = 0;
        int size = FF().avcodec_encode_subtitle(enc, subtitle_out, subtitle_out_max_size, sub);
        if (size < 0) throw FFmpegException("Subtitle encoding failed");
        AVPacket* pkt = FF().av_packet_alloc();
        if (!pkt || FF().av_new_packet(pkt, size) < 0) {
            FF().av_packet_free(&pkt);
            throw FFmpegException("av_malloc failed");
        }
        memcpy(pkt->data, subtitle_out, size_t(size));
        pkt->stream_index = e->st->index;
        pkt->pts = FF().av_rescale_q(sub->pts, kTimeBaseQ, e->st->time_base);
        // Text formats keep the end of each line from the packet's duration.
        pkt->duration =
            FF().av_rescale_q(sub->end_display_time, AVRational{1, 1000}, e->st->time_base);
        if (enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE)
            pkt->pts += 90 * (i == 0 ? sub->start_display_time : sub->end_display_time);
        pkt->dts = pkt->pts;
        FreeingOnThrow(pkt, [&] { WritePacket(Foutput_files[size_t(e->file_index)], pkt, e); });
        FF().av_packet_free(&pkt);
    }
}

void TCustomFFmpeg::ReadQualityStats(TAVOutputStream* e, const uint8_t* stats, size_t size) {
    // Little-endian: quality (32 bits), picture type, error count, two
    // reserved bytes, then one 64-bit squared error per plane.
    auto le = [&](size_t at, int bytes) {
        uint64_t v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = v << 8 | stats[at + size_t(i)];
        return v;
    };
    if (size < 4) return;
    e->quality = float(int32_t(uint32_t(le(0, 4))));
    if (size < 6) return;
    e->pict_type = stats[4];
    const int errors = stats[5];
    for (int i = 0; i < 3; ++i) {
        const size_t at = 8 + size_t(i) * 8;
        e->error[i] = i < errors && at + 8 <= size ? le(at, 8) : 0;
        e->error_sum[i] += e->error[i];
    }
}

namespace {

char PictureTypeChar(int type) {
    switch (type) {
    case AV_PICTURE_TYPE_I:
        return 'I';
    case AV_PICTURE_TYPE_P:
        return 'P';
    case AV_PICTURE_TYPE_B:
        return 'B';
    case AV_PICTURE_TYPE_S:
        return 'S';
    case AV_PICTURE_TYPE_SI:
        return 'i';
    case AV_PICTURE_TYPE_SP:
        return 'p';
    case AV_PICTURE_TYPE_BI:
        return 'b';
    default:
        return '?';
    }
}

} // namespace

double PeakSignalToNoise(double errorPerSample) {
    return -10.0 * std::log10(errorPerSample);
}

void TCustomFFmpeg::WriteVideoStats(TAVOutputStream* ost, int frame_size) {
    if (!Fvstats_file) {
        Fvstats_file = fopen(Fvstats_filename, "w");
        if (!Fvstats_file) throw FFmpegException(std::string("fopen fail: ") + Fvstats_filename);
    }
    TAVOutputStream* e = EncOwner(ost);
    AVCodecContext* enc = e->enc;
    if (enc->codec_type != AVMEDIA_TYPE_VIDEO) return;
    fprintf(Fvstats_file, "frame= %5d q= %2.1f ", e->frame_number, e->quality / FF_QP2LAMBDA);
    if (enc->flags & AV_CODEC_FLAG_PSNR)
        fprintf(Fvstats_file, "PSNR= %6.2f ",
                PeakSignalToNoise(double(e->error[0]) /
                                  (double(enc->width) * enc->height * 255.0 * 255.0)));
    fprintf(Fvstats_file, "f_size= %6d ", frame_size);
    double ti1 = std::max(0.01, double(e->sync_opts) * av_q2d(enc->time_base));
    double tb = av_q2d(enc->time_base);
    double br = tb > 0 ? frame_size * 8 / tb / 1000.0 : 0;
    double avg_br = double(Fvideo_size) * 8 / ti1 / 1000.0;
    fprintf(Fvstats_file, "s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ",
            double(Fvideo_size) / 1024, ti1, br, avg_br);
    fprintf(Fvstats_file, "type= %c\n", PictureTypeChar(e->pict_type));
}

void TCustomFFmpeg::WritePacket(AVFormatContext* s, AVPacket* pkt, TAVOutputStream* ost) {
    TAVOutputStream* e = EncOwner(ost);
    for (AVBSFContext* b : e->bitstream_filters) {
        int ret = FF().av_bsf_send_packet(b, pkt);
        if (ret >= 0) ret = FF().av_bsf_receive_packet(b, pkt);
        if (ret < 0) {
            std::string msg =
                FmtStr("%s failed for stream %d, codec %s", b->filter->name, pkt->stream_index,
                       e->stream_copy ? "copy" : e->enc->codec->name);
            msg = FormatAVError(msg, ret);
            if (Fexit_on_error) throw FFmpegException(msg);
            LogMsg(llError, msg);
            if (ret == AVERROR(EAGAIN)) return;
        }
    }
    int64_t end = pkt->pts != AV_NOPTS   ? pkt->pts + pkt->duration
                  : pkt->dts != AV_NOPTS ? pkt->dts + pkt->duration
                                         : AV_NOPTS;
    int ret = FF().av_interleaved_write_frame(s, pkt);
    if (ret < 0) throw FFmpegException(FormatAVError("av_interleaved_write_frame()", ret));
    if (end != AV_NOPTS) e->last_pts = e->last_pts == AV_NOPTS ? end : std::max(e->last_pts, end);
}
