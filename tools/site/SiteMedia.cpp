#include "SiteMedia.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace site {

namespace fs = std::filesystem;

namespace {

// Cache files carry this in their folder name; raise it when the bytes change.
constexpr const char* kMediaVersion = "v1";

std::string AvError(int code) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return buf;
}

struct Writer {
    AVFormatContext* fmt = nullptr;
    AVCodecContext* enc = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* pkt = nullptr;
    bool opened = false;
    ~Writer() {
        av_packet_free(&pkt);
        av_frame_free(&frame);
        avcodec_free_context(&enc);
        if (fmt) {
            if (opened) avio_closep(&fmt->pb);
            avformat_free_context(fmt);
        }
    }

    // Sends one frame (or the flush when f is null) and writes what comes out.
    int Encode(AVFrame* f) {
        int ret = avcodec_send_frame(enc, f);
        if (ret < 0) return ret;
        for (;;) {
            ret = avcodec_receive_packet(enc, pkt);
            if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return 0;
            if (ret < 0) return ret;
            av_packet_rescale_ts(pkt, enc->time_base, stream->time_base);
            pkt->stream_index = stream->index;
            ret = av_interleaved_write_frame(fmt, pkt);
            if (ret < 0) return ret;
        }
    }
};

void FillSamples(AVFrame* frame, AVSampleFormat format, std::int64_t first, double toneHz,
                 int rate) {
    for (int i = 0; i < frame->nb_samples; ++i) {
        const double v = 0.5 * std::sin(2.0 * M_PI * toneHz * double(first + i) / rate);
        switch (format) {
        case AV_SAMPLE_FMT_FLTP:
        case AV_SAMPLE_FMT_FLT:
            reinterpret_cast<float*>(frame->data[0])[i] = float(v);
            break;
        case AV_SAMPLE_FMT_S16P:
        case AV_SAMPLE_FMT_S16:
            reinterpret_cast<std::int16_t*>(frame->data[0])[i] = std::int16_t(v * 32767);
            break;
        case AV_SAMPLE_FMT_S32P:
        case AV_SAMPLE_FMT_S32:
            reinterpret_cast<std::int32_t*>(frame->data[0])[i] = std::int32_t(v * 2147483647.0);
            break;
        default:
            break;
        }
    }
}

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

} // namespace

bool WriteToneFile(const std::string& fileName, const std::string& container,
                   const std::string& codec, double toneHz, int seconds, std::string* error) {
    constexpr int kRate = 22050;
    Writer w;
    if (avformat_alloc_output_context2(&w.fmt, nullptr, container.c_str(), fileName.c_str()) < 0)
        return Fail(error, "no muxer " + container);
    const AVCodec* codecInfo = avcodec_find_encoder_by_name(codec.c_str());
    if (!codecInfo) return Fail(error, "no encoder " + codec);
    w.stream = avformat_new_stream(w.fmt, nullptr);
    w.enc = avcodec_alloc_context3(codecInfo);
    if (!w.stream || !w.enc) return Fail(error, "out of memory");
    w.enc->sample_fmt = codecInfo->sample_fmts ? codecInfo->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    w.enc->sample_rate = kRate;
    av_channel_layout_default(&w.enc->ch_layout, 1);
    w.enc->bit_rate = 48000;
    w.enc->time_base = AVRational{1, kRate};
    // No version strings or clocks in the file: the same bytes every time.
    w.enc->flags |= AV_CODEC_FLAG_BITEXACT;
    w.fmt->flags |= AVFMT_FLAG_BITEXACT;
    if (w.fmt->oformat->flags & AVFMT_GLOBALHEADER) w.enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int ret = avcodec_open2(w.enc, codecInfo, nullptr);
    if (ret < 0) return Fail(error, "cannot open " + codec + ": " + AvError(ret));
    avcodec_parameters_from_context(w.stream->codecpar, w.enc);
    w.stream->time_base = w.enc->time_base;
    if ((ret = avio_open(&w.fmt->pb, fileName.c_str(), AVIO_FLAG_WRITE)) < 0)
        return Fail(error, "cannot write " + fileName + ": " + AvError(ret));
    w.opened = true;
    if ((ret = avformat_write_header(w.fmt, nullptr)) < 0)
        return Fail(error, "header: " + AvError(ret));

    w.frame = av_frame_alloc();
    w.pkt = av_packet_alloc();
    const int frameSize = w.enc->frame_size > 0 ? w.enc->frame_size : 1024;
    const std::int64_t total = std::int64_t(seconds) * kRate;
    for (std::int64_t done = 0; done < total;) {
        av_frame_unref(w.frame);
        w.frame->format = w.enc->sample_fmt;
        w.frame->sample_rate = kRate;
        av_channel_layout_copy(&w.frame->ch_layout, &w.enc->ch_layout);
        w.frame->nb_samples = int(std::min<std::int64_t>(frameSize, total - done));
        if ((ret = av_frame_get_buffer(w.frame, 0)) < 0) return Fail(error, AvError(ret));
        FillSamples(w.frame, w.enc->sample_fmt, done, toneHz, kRate);
        w.frame->pts = done;
        if ((ret = w.Encode(w.frame)) < 0) return Fail(error, "encode: " + AvError(ret));
        done += w.frame->nb_samples;
    }
    if ((ret = w.Encode(nullptr)) < 0) return Fail(error, "flush: " + AvError(ret));
    if ((ret = av_write_trailer(w.fmt)) < 0) return Fail(error, "trailer: " + AvError(ret));
    return true;
}

bool WriteBrokenFile(const std::string& fileName, std::string* error) {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    // The FLV signature with its audio flag, then tags of no known kind.
    const unsigned char header[] = {'F', 'L', 'V', 1, 4, 0, 0, 0, 9, 0, 0, 0, 0};
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    std::vector<char> zeros(96 * 1024, 0);
    out.write(zeros.data(), std::streamsize(zeros.size()));
    if (!out) return Fail(error, "cannot write " + fileName);
    return true;
}

MediaStore::MediaStore(std::string folder) : FFolder(std::move(folder)) {
    if (!FFolder.empty() && FFolder.back() != '/') FFolder += '/';
    std::error_code ec;
    fs::create_directories(FFolder, ec);
}

std::string MediaStore::File(MediaKind kind, std::string* error) {
    const MediaSpec& spec = SpecOf(kind);
    std::shared_ptr<std::mutex> fileLock;
    {
        std::lock_guard<std::mutex> lock(FLock);
        auto& slot = FFileLocks[spec.FileName];
        if (!slot) slot = std::make_shared<std::mutex>();
        fileLock = slot;
    }
    std::lock_guard<std::mutex> lock(*fileLock);
    const std::string name = FFolder + spec.FileName;
    std::error_code ec;
    if (fs::exists(name, ec)) return name;
    // Made under a name of its own, then moved in, so another process
    // sharing the folder never sees half a file.
    const std::string temp = name + ".part" + std::to_string(std::random_device{}());
    const bool ok = kind == MediaKind::Broken ? WriteBrokenFile(temp, error)
                                              : WriteToneFile(temp, spec.Container, spec.Codec,
                                                              spec.ToneHz, spec.Seconds, error);
    if (!ok) {
        fs::remove(temp, ec);
        return {};
    }
    fs::rename(temp, name, ec);
    if (ec) {
        fs::remove(temp, ec);
        if (!fs::exists(name)) return Fail(error, "cannot keep " + name), std::string();
    }
    return name;
}

std::string DefaultMediaFolder() {
    return (fs::temp_directory_path() /
            (std::string("lantrove-site-") +
             (std::getenv("USER") ? std::getenv("USER") : "media")) /
            kMediaVersion)
        .string();
}

} // namespace site
