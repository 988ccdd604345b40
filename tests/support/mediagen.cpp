#include "support/mediagen.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
}

#include <cmath>
#include <fstream>
#include <memory>

namespace {

std::string AvError(int Code) {
    char Buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(Code, Buf, sizeof Buf);
    return Buf;
}

struct Track {
    AVStream* Stream = nullptr;
    AVCodecContext* Ctx = nullptr;
    AVFrame* Frame = nullptr;
    const ToneRecipe* Tone = nullptr;
    const PictureRecipe* Picture = nullptr;
    int64_t Next = 0;  // next frame's pts in the codec time base
    int64_t Total = 0; // frames (video) or samples (audio) to write
    bool Flushed = false;
};

void FreeTracks(std::vector<Track>& Tracks) {
    for (Track& T : Tracks) {
        av_frame_free(&T.Frame);
        avcodec_free_context(&T.Ctx);
    }
}

double ToneSample(const ToneRecipe& Tone, int64_t Index) {
    return 0.125 * std::sin(2 * M_PI * Tone.Frequency * double(Index) / Tone.SampleRate);
}

void FillAudio(Track& T, int Count) {
    AVFrame* F = T.Frame;
    F->nb_samples = Count;
    const int Channels = T.Ctx->ch_layout.nb_channels;
    const auto Fmt = AVSampleFormat(F->format);
    const bool Planar = av_sample_fmt_is_planar(Fmt);
    for (int I = 0; I < Count; ++I) {
        const double V = ToneSample(*T.Tone, T.Next + I);
        for (int C = 0; C < Channels; ++C) {
            const int Plane = Planar ? C : 0;
            const int Slot = Planar ? I : I * Channels + C;
            switch (av_get_packed_sample_fmt(Fmt)) {
            case AV_SAMPLE_FMT_S16:
                reinterpret_cast<int16_t*>(F->data[Plane])[Slot] = int16_t(std::lrint(V * 32767));
                break;
            case AV_SAMPLE_FMT_S32:
                reinterpret_cast<int32_t*>(F->data[Plane])[Slot] =
                    int32_t(std::lrint(V * 2147483647.0));
                break;
            case AV_SAMPLE_FMT_FLT:
                reinterpret_cast<float*>(F->data[Plane])[Slot] = float(V);
                break;
            case AV_SAMPLE_FMT_DBL:
                reinterpret_cast<double*>(F->data[Plane])[Slot] = V;
                break;
            default:
                break;
            }
        }
    }
}

void FillPicture(Track& T) {
    AVFrame* F = T.Frame;
    const PictureRecipe& P = *T.Picture;
    const int N = int(T.Next);
    for (int Y = 0; Y < P.Height; ++Y)
        for (int X = 0; X < P.Width; ++X)
            F->data[0][Y * F->linesize[0] + X] =
                P.Comb ? uint8_t(Y % 2 ? 255 : 0) : uint8_t((X * 8 + Y * 3 + N * 6) & 255);
    for (int Y = 0; Y < P.Height / 2; ++Y)
        for (int X = 0; X < P.Width / 2; ++X) {
            F->data[1][Y * F->linesize[1] + X] = P.Comb ? 128 : uint8_t((X * 16 + N * 4) & 255);
            F->data[2][Y * F->linesize[2] + X] = P.Comb ? 128 : uint8_t((Y * 16 + N * 9) & 255);
        }
}

// Sends one frame (or the flush when Frame is null) and writes what comes out.
int EncodeAndWrite(AVFormatContext* Out, Track& T, AVFrame* Frame) {
    int R = avcodec_send_frame(T.Ctx, Frame);
    if (R < 0) return R;
    AVPacket* Pkt = av_packet_alloc();
    while ((R = avcodec_receive_packet(T.Ctx, Pkt)) >= 0) {
        av_packet_rescale_ts(Pkt, T.Ctx->time_base, T.Stream->time_base);
        Pkt->stream_index = T.Stream->index;
        R = av_interleaved_write_frame(Out, Pkt);
        if (R < 0) break;
    }
    av_packet_free(&Pkt);
    return R == AVERROR(EAGAIN) || R == AVERROR_EOF ? 0 : R;
}

int OpenTrack(AVFormatContext* Out, Track& T, std::string& Why) {
    const std::string Name = T.Tone ? T.Tone->Codec : T.Picture->Codec;
    const AVCodec* Codec = avcodec_find_encoder_by_name(Name.c_str());
    if (!Codec) {
        Why = "no encoder " + Name;
        return AVERROR_ENCODER_NOT_FOUND;
    }
    T.Stream = avformat_new_stream(Out, nullptr);
    T.Ctx = avcodec_alloc_context3(Codec);
    T.Frame = av_frame_alloc();
    if (!T.Stream || !T.Ctx || !T.Frame) return AVERROR(ENOMEM);
    if (T.Tone) {
        T.Ctx->sample_rate = T.Tone->SampleRate;
        av_channel_layout_default(&T.Ctx->ch_layout, T.Tone->Channels);
        T.Ctx->sample_fmt = Codec->sample_fmts ? Codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        T.Ctx->time_base = AVRational{1, T.Tone->SampleRate};
        if (T.Tone->BitRate) T.Ctx->bit_rate = T.Tone->BitRate;
        T.Next = int64_t(std::llround(T.Tone->Offset * T.Tone->SampleRate));
        T.Total = T.Next + int64_t(std::llround(T.Tone->Seconds * T.Tone->SampleRate));
    } else {
        T.Ctx->width = T.Picture->Width;
        T.Ctx->height = T.Picture->Height;
        T.Ctx->pix_fmt = AV_PIX_FMT_YUV420P;
        T.Ctx->time_base = AVRational{1, T.Picture->Rate};
        T.Ctx->framerate = AVRational{T.Picture->Rate, 1};
        T.Ctx->max_b_frames = 0;
        if (T.Picture->Gop) T.Ctx->gop_size = T.Picture->Gop;
        T.Total = int64_t(std::llround(T.Picture->Seconds * T.Picture->Rate));
    }
    if (Out->oformat->flags & AVFMT_GLOBALHEADER) T.Ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int R = avcodec_open2(T.Ctx, Codec, nullptr);
    if (R < 0) {
        Why = "cannot open encoder " + Name;
        return R;
    }
    R = avcodec_parameters_from_context(T.Stream->codecpar, T.Ctx);
    if (R < 0) return R;
    T.Stream->time_base = T.Ctx->time_base;
    // The container keeps the frame rate only when the stream states it.
    if (T.Picture) T.Stream->avg_frame_rate = T.Stream->r_frame_rate = T.Ctx->framerate;
    if (T.Tone) {
        T.Frame->format = T.Ctx->sample_fmt;
        T.Frame->sample_rate = T.Ctx->sample_rate;
        av_channel_layout_copy(&T.Frame->ch_layout, &T.Ctx->ch_layout);
        T.Frame->nb_samples =
            T.Ctx->frame_size > 0 && !(Codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE)
                ? T.Ctx->frame_size
                : 1024;
    } else {
        T.Frame->format = T.Ctx->pix_fmt;
        T.Frame->width = T.Ctx->width;
        T.Frame->height = T.Ctx->height;
    }
    return av_frame_get_buffer(T.Frame, 0);
}

int AddChapters(AVFormatContext* Out, const std::vector<ChapterRecipe>& Chapters) {
    if (Chapters.empty()) return 0;
    Out->chapters = static_cast<AVChapter**>(av_calloc(Chapters.size(), sizeof(AVChapter*)));
    if (!Out->chapters) return AVERROR(ENOMEM);
    for (const ChapterRecipe& C : Chapters) {
        auto* Ch = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (!Ch) return AVERROR(ENOMEM);
        Out->chapters[Out->nb_chapters] = Ch;
        Ch->id = int64_t(Out->nb_chapters) + 1;
        ++Out->nb_chapters;
        Ch->time_base = AVRational{1, 1000};
        Ch->start = std::llround(C.Start * 1000);
        Ch->end = std::llround(C.End * 1000);
        av_dict_set(&Ch->metadata, "title", C.Title.c_str(), 0);
    }
    return 0;
}

int Write(AVFormatContext* Out, std::vector<Track>& Tracks, const std::string& FileName,
          const MediaRecipe& Recipe, std::string& Why) {
    for (Track& T : Tracks) {
        int R = OpenTrack(Out, T, Why);
        if (R < 0) return R;
    }
    for (const auto& [Key, Value] : Recipe.Tags)
        av_dict_set(&Out->metadata, Key.c_str(), Value.c_str(), 0);
    int R = AddChapters(Out, Recipe.Chapters);
    if (R < 0) return R;
    if (!(Out->oformat->flags & AVFMT_NOFILE)) {
        R = avio_open(&Out->pb, FileName.c_str(), AVIO_FLAG_WRITE);
        if (R < 0) return R;
    }
    AVDictionary* Options = nullptr;
    for (const auto& [Key, Value] : Recipe.MuxerOptions)
        av_dict_set(&Options, Key.c_str(), Value.c_str(), 0);
    R = avformat_write_header(Out, &Options);
    av_dict_free(&Options);
    if (R < 0) return R;
    // Streams advance together so the muxer interleaves them in time order.
    for (;;) {
        Track* Best = nullptr;
        for (Track& T : Tracks) {
            if (T.Flushed) continue;
            if (!Best ||
                av_compare_ts(T.Next, T.Ctx->time_base, Best->Next, Best->Ctx->time_base) < 0)
                Best = &T;
        }
        if (!Best) break;
        Track& T = *Best;
        if (T.Next >= T.Total) {
            R = EncodeAndWrite(Out, T, nullptr);
            T.Flushed = true;
        } else {
            R = av_frame_make_writable(T.Frame);
            if (R < 0) return R;
            T.Frame->pts = T.Next;
            if (T.Tone) {
                const int Count = int(std::min<int64_t>(T.Frame->nb_samples, T.Total - T.Next));
                const int Full = T.Frame->nb_samples;
                FillAudio(T, Count);
                T.Next += Count;
                R = EncodeAndWrite(Out, T, T.Frame);
                T.Frame->nb_samples = Full;
            } else {
                FillPicture(T);
                ++T.Next;
                R = EncodeAndWrite(Out, T, T.Frame);
            }
        }
        if (R < 0) return R;
    }
    return av_write_trailer(Out);
}

} // namespace

bool WriteMedia(const std::string& FileName, const MediaRecipe& Recipe, std::string* Error) {
    AVFormatContext* Out = nullptr;
    int R = avformat_alloc_output_context2(
        &Out, nullptr, Recipe.Format.empty() ? nullptr : Recipe.Format.c_str(), FileName.c_str());
    std::string Why;
    std::vector<Track> Tracks;
    if (R >= 0) {
        if (Recipe.Video) {
            Tracks.emplace_back();
            Tracks.back().Picture = &*Recipe.Video;
        }
        for (const ToneRecipe& Tone : Recipe.Audio) {
            Tracks.emplace_back();
            Tracks.back().Tone = &Tone;
        }
        R = Write(Out, Tracks, FileName, Recipe, Why);
    }
    FreeTracks(Tracks);
    if (Out) {
        if (Out->pb && !(Out->oformat->flags & AVFMT_NOFILE)) avio_closep(&Out->pb);
        avformat_free_context(Out);
    }
    if (R < 0 && Error) *Error = (Why.empty() ? std::string() : Why + ": ") + AvError(R);
    return R >= 0;
}

namespace {

void PutLE(std::string& Out, uint32_t Value, int Bytes) {
    for (int I = 0; I < Bytes; ++I)
        Out += char((Value >> (8 * I)) & 0xff);
}

bool WriteWav(const std::string& FileName, int SampleRate, int Channels,
              const std::vector<int16_t>& Samples) {
    const uint32_t DataSize = uint32_t(Samples.size() * 2);
    std::string Head = "RIFF";
    PutLE(Head, 36 + DataSize, 4);
    Head += "WAVEfmt ";
    PutLE(Head, 16, 4);
    PutLE(Head, 1, 2);
    PutLE(Head, uint32_t(Channels), 2);
    PutLE(Head, uint32_t(SampleRate), 4);
    PutLE(Head, uint32_t(SampleRate * Channels * 2), 4);
    PutLE(Head, uint32_t(Channels * 2), 2);
    PutLE(Head, 16, 2);
    Head += "data";
    PutLE(Head, DataSize, 4);
    for (int16_t S : Samples)
        PutLE(Head, uint16_t(S), 2);
    std::ofstream F(FileName, std::ios::binary | std::ios::trunc);
    F.write(Head.data(), std::streamsize(Head.size()));
    return bool(F.flush());
}

} // namespace

bool WriteToneWav(const std::string& FileName, const ToneRecipe& Tone) {
    const int64_t Count = std::llround(Tone.Seconds * Tone.SampleRate);
    std::vector<int16_t> Samples;
    Samples.reserve(size_t(Count * Tone.Channels));
    for (int64_t I = 0; I < Count; ++I) {
        const auto V = int16_t(std::lrint(ToneSample(Tone, I) * 32767));
        for (int C = 0; C < Tone.Channels; ++C)
            Samples.push_back(V);
    }
    return WriteWav(FileName, Tone.SampleRate, Tone.Channels, Samples);
}

bool WriteConstantWav(const std::string& FileName, int16_t Value, int SampleRate, double Seconds) {
    return WriteWav(FileName, SampleRate, 1,
                    std::vector<int16_t>(size_t(std::llround(Seconds * SampleRate)), Value));
}

bool DecodesWithoutError(const std::string& FileName, std::string* Error) {
    AVFormatContext* In = nullptr;
    int R = avformat_open_input(&In, FileName.c_str(), nullptr, nullptr);
    std::vector<AVCodecContext*> Decoders;
    std::string Why;
    if (R >= 0) R = avformat_find_stream_info(In, nullptr);
    if (R >= 0) {
        for (unsigned I = 0; I < In->nb_streams && R >= 0; ++I) {
            const AVCodec* Codec = avcodec_find_decoder(In->streams[I]->codecpar->codec_id);
            AVCodecContext* Ctx = Codec ? avcodec_alloc_context3(Codec) : nullptr;
            Decoders.push_back(Ctx);
            if (!Ctx) {
                Why = "no decoder for stream " + std::to_string(I);
                R = AVERROR_DECODER_NOT_FOUND;
                break;
            }
            R = avcodec_parameters_to_context(Ctx, In->streams[I]->codecpar);
            // Damage in the stream is an error, not something to conceal.
            Ctx->err_recognition |= AV_EF_EXPLODE | AV_EF_CRCCHECK;
            if (R >= 0) R = avcodec_open2(Ctx, Codec, nullptr);
        }
    }
    AVPacket* Pkt = av_packet_alloc();
    AVFrame* Frame = av_frame_alloc();
    auto Drain = [&](AVCodecContext* Ctx) {
        int D;
        while ((D = avcodec_receive_frame(Ctx, Frame)) >= 0)
            av_frame_unref(Frame);
        return D == AVERROR(EAGAIN) || D == AVERROR_EOF ? 0 : D;
    };
    while (R >= 0) {
        R = av_read_frame(In, Pkt);
        if (R == AVERROR_EOF) {
            R = 0;
            for (AVCodecContext* Ctx : Decoders)
                if (R >= 0) {
                    R = avcodec_send_packet(Ctx, nullptr);
                    if (R >= 0) R = Drain(Ctx);
                }
            break;
        }
        if (R < 0) break;
        AVCodecContext* Ctx = Decoders[size_t(Pkt->stream_index)];
        R = avcodec_send_packet(Ctx, Pkt);
        av_packet_unref(Pkt);
        if (R >= 0) R = Drain(Ctx);
    }
    av_frame_free(&Frame);
    av_packet_free(&Pkt);
    for (AVCodecContext*& Ctx : Decoders)
        avcodec_free_context(&Ctx);
    avformat_close_input(&In);
    if (R < 0 && Error) *Error = (Why.empty() ? std::string() : Why + ": ") + AvError(R);
    return R >= 0;
}
