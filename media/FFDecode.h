// The decoder component: opens one media file, describes it, seeks in it and
// decodes pictures (to bitmaps) and audio (resampled to a wanted format).
#pragma once

#include "classlib/graphics.h"
#include "media/FFBaseComponent.h"
#include "media/FFLoad.h"
#include "media/FFLog.h"
#include "media/FFUtils.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TFileStreamInfo {
    int64_t StartTime = -1;
    int64_t Duration = -1;
    int BitRate = -1;
    int64_t TimeStamp = -1;
    int Year = -1;
    int Track = -1;
    std::string Title, Author, Copyright, Comment, Album, Genre;
};

struct TAudioStreamInfo {
    std::string Language, CodecName;
    int64_t StartTime = -1, StartTimeScaled = -1, Duration = -1, DurationScaled = -1;
    int BitRate = -1, Channels = -1, SampleRate = -1;
    int SampleFormat = -1;
};

struct TVideoStreamInfo {
    std::string Language, CodecName;
    int64_t StartTime = -1, StartTimeScaled = -1, Duration = -1, DurationScaled = -1;
    int BitRate = -1, Height = -1, Width = -1;
    float AspectRatio = -1;
    int PixFmt = -1;
    AVRational FrameRate{0, 0};
};

struct TSubtitleStreamInfo {
    std::string Language, CodecName;
};

enum TPictureType { ptUnknown, ptI, ptP, ptB, ptS, ptSI, ptSP, ptBI };

struct TFrameInfo {
    int PixFmt = -1;
    int Width = -1;
    int Height = -1;
    bool IsKeyFrame = false;
    TPictureType PictureType = ptUnknown;
    int64_t PTS = AV_NOPTS_VALUE; // microseconds from the stream start
    int64_t OriginalDTS = AV_NOPTS_VALUE;
    int64_t OriginalPTS = AV_NOPTS_VALUE;
    int StreamIndex = -1;
    int64_t Position = -1;
    bool Ready = false;
    TAVPicture Picture;
    uint8_t* Buffer = nullptr;
    int Size = 0;
};

struct TWaveInfo {
    int Channels = 0;
    int SampleRate = 0;
    int SampleFormat = -1;
    int BytesPerSample = 0;
    int BytesPerSecond = 0;
    int64_t PTS = AV_NOPTS_VALUE;
    int64_t OriginalDTS = AV_NOPTS_VALUE;
    int64_t OriginalPTS = AV_NOPTS_VALUE;
    int StreamIndex = -1;
    bool Ready = false;
    uint8_t* Buffer = nullptr;
    int Size = 0;
    int64_t Duration = AV_NOPTS_VALUE; // microseconds
};

enum TSeekFlag { sfBackward = 1, sfByte = 2, sfAny = 4, sfFrame = 8 };
using TSeekFlags = int; // the bits above

// The metadata name table: native key -> generic name; the key itself when
// no row matches.
std::string GenericTagName(const std::string& Key);

class TCustomDecoder : public TFFBaseComponent {
public:
    explicit TCustomDecoder(TComponent* AOwner);
    ~TCustomDecoder() override;

    bool AVLibLoaded() const;
    bool LoadAVLib(const std::string& APath);
    void UnloadAVLib();

    bool LoadFile(const std::string& AFileName, const std::string& AFormatName = "");
    virtual void CloseFile();

    AVFormatContext* FileHandle() const { return FFileHandle; }
    virtual void SetFileHandle(AVFormatContext* Value);

    std::string FileName();
    int64_t FileSize() const { return FFileSize; }
    const std::string& ForceFormat() const { return FForceFormat; }
    std::string FormatName();
    std::string FormatLongName();
    int StreamCount() const { return FStreamCount; }
    int ProgramCount() const { return FProgramCount; }
    int AudioStreamCount() const { return FAudioStreamCount; }
    int VideoStreamCount() const { return FVideoStreamCount; }
    int SubtitleStreamCount() const { return FSubtitleStreamCount; }
    int FirstAudioStreamIndex() const { return FFirstAudioStreamIndex; }
    int FirstVideoStreamIndex() const { return FFirstVideoStreamIndex; }
    int FirstSubtitleStreamIndex() const { return FFirstSubtitleStreamIndex; }
    const std::string& LastErrMsg() const { return FLastErrMsg; }

    bool IsAudioStream(int AStreamIndex);
    bool IsVideoStream(int AStreamIndex);
    bool IsSubtitleStream(int AStreamIndex);

    TFileStreamInfo FileStreamInfo();
    TAudioStreamInfo FirstAudioStreamInfo() { return AudioStreamInfo(FFirstAudioStreamIndex); }
    TVideoStreamInfo FirstVideoStreamInfo() { return VideoStreamInfo(FFirstVideoStreamIndex); }
    TSubtitleStreamInfo FirstSubtitleStreamInfo() {
        return SubtitleStreamInfo(FFirstSubtitleStreamIndex);
    }
    TAudioStreamInfo AudioStreamInfo(int AStreamIndex);
    TVideoStreamInfo VideoStreamInfo(int AStreamIndex);
    TSubtitleStreamInfo SubtitleStreamInfo(int AStreamIndex);
    std::string FileInfoText();

protected:
    virtual void ReadStreamInfo();
    // Logs the text at the level and keeps it as the last message.
    void Report(TLogLevel ALevel, const std::string& AMsg);
    // Raises when a library the decoder needs is missing.
    void CheckLibraries();
    bool CheckFile(); // reports "file not loaded." when there is none
    bool CheckStreamIndex(int AStreamIndex);

    AVFormatContext* FFileHandle = nullptr;
    bool FOwnHandle = false;
    std::string FLastErrMsg;
    std::string FForceFormat;
    int64_t FFileSize = -1;
    int FStreamCount = -1, FProgramCount = -1;
    int FAudioStreamCount = -1, FVideoStreamCount = -1, FSubtitleStreamCount = -1;
    int FFirstAudioStreamIndex = -1, FFirstVideoStreamIndex = -1, FFirstSubtitleStreamIndex = -1;
};

class TFFDecoder : public TCustomDecoder {
public:
    explicit TFFDecoder(TComponent* AOwner);
    ~TFFDecoder() override;

    void CloseFile() override;

    int BitmapBitsPixel() const { return FFormatConv->BitsPixel(); }
    void SetBitmapBitsPixel(int Value) { FFormatConv->SetBitsPixel(Value); }
    bool Deinterlace() const { return FDeinterlace; }
    void SetDeinterlace(bool Value) { FDeinterlace = Value; }
    // EOF: the end has been reported.
    bool IsEOF() const { return FEOF; }
    const TFrameInfo& FrameInfo() const { return FPicture; }
    int64_t Position();
    const TWaveInfo& WaveInfo() const { return FWaveInfo; }
    int DesireAudioChannels() const { return FDesireAudioChannels; }
    void SetDesireAudioChannels(int Value);
    int DesireAudioSampleRate() const { return FDesireAudioSampleRate; }
    void SetDesireAudioSampleRate(int Value);

    bool Seek(int64_t APTS, TSeekFlags ASeekFlags);
    bool Decode(int AStreamIndex = -1);
    bool DecodeNextKeyFrame(int AStreamIndex = -1);
    bool DecodePreviousFrame(int AStreamIndex = -1);
    bool DecodePreviousKeyFrame(int AStreamIndex = -1);
    bool CopyToBitmap(TBitmap* ABitmap);
    const BITMAP* GetBitmapPtr();
    bool DecodeAudio(int AStreamIndex = -1);
    // Copies up to ACount bytes of decoded audio; with a nil buffer only
    // tells how many are there. -1 when nothing more can be decoded.
    int ReadAudio(uint8_t* ABuffer, int ACount, int AStreamIndex = -1);

protected:
    void ReadStreamInfo() override;

private:
    bool CheckSeekable();
    int ChooseVideoStream(int AStreamIndex);
    int ChooseAudioStream(int AStreamIndex);
    AVCodecContext* OpenDecoder(int AStreamIndex);
    // Reads the next packet of the stream into FPacket: 1 got one, 0 the
    // decoder is to be drained (empty packet), -1 failed (reported).
    int ReadPacket(int AStreamIndex);
    void ResetPicture();
    void ResetWaveInfo();
    void FreeAudioConverters();
    void StorePicture(AVFrame* AFrame, int64_t AIOPos);
    // The resampler or format converter for the frame, made on first use.
    SwrContext* ConvertAudio(const AVFrame* AFrame);
    int64_t FrameStep(int AStreamIndex);
    // Filters the stored picture in place; false for a format it cannot.
    bool DeinterlacePicture();

    AVCodecContext* FCodec = nullptr;
    std::unique_ptr<TFormatConverter> FFormatConv;
    int FSeekIndex = -1;
    int64_t FStartTime = 0;
    int FDecodeIndex = -1;
    bool FDeinterlace = false;
    int FDeintSize = 0;
    std::vector<uint8_t> FDeintBuf;
    bool FEOF = false;
    bool FEOFpkt = false;
    TFrameInfo FPicture;
    int64_t FLastPTS = AV_NOPTS_VALUE;
    int64_t FLastPos = -1;
    TWaveInfo FWaveInfo;
    int FDesireAudioChannels = 2;
    int FDesireAudioSampleRate = 44100;
    int FDesireAudioSampleFormat = AV_SAMPLE_FMT_S16;
    int FDesireAudioIndex = -1;
    AVCodecContext* FAudioCodec = nullptr;
    TLibraryBuffer FPictureBuffer;
    std::vector<uint8_t> FDecodedAudioBuffer;
    int FDecodedAudioSize = 0;
    std::vector<uint8_t> FResampledAudioBuffer;
    int FResampledAudioSize = 0;
    SwrContext* FAudioResampler = nullptr;
    SwrContext* FAudioReformatter = nullptr;
    int FRemainsAudioSize = 0;
    AVPacket* FPacket = nullptr;
    AVFrame* FFrame = nullptr;
};
