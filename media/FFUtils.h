// Helpers shared by the decoder, the conversion engine and the option code.
#pragma once

#include "classlib/graphics.h"
#include "media/FFLoad.h"
#include "platform/gdi/gdi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// "hh:mm:ss.mmm" of a time in microseconds; "N/A" for AV_NOPTS_VALUE.
std::string FormatTimeText(int64_t Time);
// Microseconds per frame; 1000000 / 25 when the rate has a zero part.
int64_t FrameDuration(AVRational FrameRate);
// FileName + ": " + the text of Code, or "Error number %d occurred".
std::string FormatAVError(const std::string& FileName, int Code);

// The generic option store of one engine: options set by name on template
// contexts, remembered and applied to every new context.
struct TFFOptions {
    std::vector<std::string> opt_names;
    std::vector<std::string> opt_values;
    int opt_name_count = 0;
    AVCodecContext* avcodec_opts[AVMEDIA_TYPE_NB] = {};
    AVFormatContext* avformat_opts = nullptr;
    SwsContext* sws_opts = nullptr;

    TFFOptions() = default;
    TFFOptions(const TFFOptions&) = delete;
    TFFOptions& operator=(const TFFOptions&) = delete;
    ~TFFOptions() { Free(); }

    // Frees what was there, then makes the template contexts.
    void Init(int SwsFlags);
    void Free();
    // False (with GenericOptionLastError) for an invalid value or a name no
    // context or private class knows.
    bool SetGenericOption(const std::string& Name, const std::string& Value);
    // Applies every remembered option whose flags contain Flags to Target.
    void ApplyToFormat(AVFormatContext* Target, int Flags);
    void ApplyToCodec(AVCodecContext* Target, AVMediaType Type, const AVCodec* Codec, int Flags);
};
// The store's last error text (one for the process).
std::string GenericOptionLastError();

// Reads the whole file and adds a zero byte; the result is the size + 1, -1
// when the file cannot be opened, -12 when memory runs out.
int64_t ReadWholeFile(const std::string& FileName, std::string& Buffer);

struct TTimeStampState {
    int64_t num_faulty_pts = 0;
    int64_t num_faulty_dts = 0;
    int64_t last_pts = AV_NOPTS_VALUE;
    int64_t last_dts = AV_NOPTS_VALUE;
};
void InitTimeStampState(TTimeStampState& State);
// The time stamp to use for a decoded frame.
int64_t CorrectTimeStamp(TTimeStampState& State, int64_t ReorderedPts, int64_t Dts);

// The value of the first entry with Key, else Default.
std::string MetadataValue(const AVDictionary* Metadata, const std::string& Key,
                          const std::string& Default);
// "name(long name)" of the context's encoder or decoder.
std::string CodecNameText(const AVCodecContext* Context, bool Encoder);
// "Video", "Audio", "Data", "Subtitle", "Attachment", else "Unknown".
std::string MediaTypeName(int Type);

// Buffers handed to the libraries: their vector code reads and writes in
// whole blocks, past the last pixel of a row and past the last byte of a
// buffer, so rows start aligned and every buffer ends in padding.
constexpr int PictureAlign = 64;
constexpr size_t LibraryBufferPadding = 64;

// Bytes of a picture with rows aligned to PictureAlign; negative when the
// libraries refuse the format or size.
int AlignedPictureSize(AVPixelFormat Format, int Width, int Height);

// A buffer from the libraries' allocator (aligned for their vector code)
// with LibraryBufferPadding zero bytes behind its size.
class TLibraryBuffer {
public:
    TLibraryBuffer() = default;
    ~TLibraryBuffer();
    TLibraryBuffer(const TLibraryBuffer&) = delete;
    TLibraryBuffer& operator=(const TLibraryBuffer&) = delete;
    // Makes room for Size bytes, keeping the first Keep bytes; false when
    // out of memory (the old contents stay).
    bool Reserve(size_t Size, size_t Keep = 0);
    uint8_t* Data() const { return FData; }
    size_t Capacity() const { return FCapacity; }

private:
    uint8_t* FData = nullptr;
    size_t FCapacity = 0;
};

// The bitmap formats of the converter.
enum TBMPPixelFormat { bmp8bit, bmp15bit, bmp16bit, bmp24bit, bmp32bit };

// A picture: four plane pointers and four line sizes.
struct TAVPicture {
    uint8_t* data[4] = {};
    int linesize[4] = {};
};

// Converts pictures between the libraries' pixel formats and a bitmap.
class TFormatConverter : public TObject {
public:
    TFormatConverter();
    ~TFormatConverter() override;

    int BitsPixel() const { return FBitsPixel; }
    // 8, 15, 16, 24 or 32; anything else raises EConvertError. 15 reads back
    // as 16.
    void SetBitsPixel(int Value);
    TBMPPixelFormat BMPPixFmt() const { return FBMPPixFmt; }
    void SetBMPPixFmt(TBMPPixelFormat Value);
    AVPixelFormat AVPixFmt() const { return FAVPixFmt; }
    TBitmap* Bitmap() const { return FBitmap.get(); }
    const BITMAP& DIB() const { return FDIB; }
    const TAVPicture& RGBPicture() const { return FRGBPicture; }
    // The picture currently described: the converted one or the caller's.
    const TAVPicture* RGBPictureRef() const { return FRGBPictureRef; }
    const std::string& LastErrMsg() const { return FLastErrMsg; }

    // Describes Source in the converter's format (converting it unless it
    // already has that format, an even size and the bitmap's line size) and
    // copies it into the bitmap when asked.
    bool PictureToRGB(const TAVPicture& Source, AVPixelFormat SourceFormat, bool CopyToBitmap,
                      int Height, int Width);
    void RGBToBitmap();
    void BitmapToRGB();
    bool RGBToPicture(TAVPicture& Target, AVPixelFormat TargetFormat, int Height, int Width);

private:
    void Reset();

    int FBitsPixel = 24;
    AVPixelFormat FAVPixFmt = AV_PIX_FMT_BGR24;
    TBMPPixelFormat FBMPPixFmt = bmp24bit;
    std::unique_ptr<TBitmap> FBitmap;
    BITMAP FDIB;
    TLibraryBuffer FRGBBuffer;
    TLibraryBuffer FRows; // bitmap rows on their way to or from the libraries
    TAVPicture FRGBPicture;
    const TAVPicture* FRGBPictureRef = nullptr;
    TAVPicture FSourceRef;
    SwsContext* FtoRGB_convert_ctx = nullptr;
    SwsContext* FfromRGB_convert_ctx = nullptr;
    // The bitmap holds 8, 15 and 16-bit pictures as 24-bit rows.
    SwsContext* FtoBitmap_convert_ctx = nullptr;
    SwsContext* FfromBitmap_convert_ctx = nullptr;
    std::string FLastErrMsg;
};
