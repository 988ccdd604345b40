// Streams that deflate into and inflate from another stream through zlib,
// and whole-stream helpers over them.
#pragma once

#include "classlib/streams.h"

#include <cstdint>
#include <memory>

LANTROVE_EXCEPTION(EZlibError, Exception);
LANTROVE_EXCEPTION(ECompressionError, EZlibError);
LANTROVE_EXCEPTION(EDecompressionError, EZlibError);

// Scoped: the colour constants of the class library share two of the names.
enum class TCompressionLevel { clNone, clFastest, clDefault, clMax };

struct TspZlibState;

class TCustomZlibStream : public TStream {
public:
    explicit TCustomZlibStream(TStream* Strm);
    ~TCustomZlibStream() override;
    TNotifyEvent OnProgress;

protected:
    void Progress();
    TStream* FStrm;   // not owned
    int64_t FStrmPos; // where this stream last left FStrm
    std::unique_ptr<TspZlibState> FZRec;
    static constexpr int kBufferSize = 8192;
    uint8_t FBuffer[kBufferSize];
};

// Deflates what is written into Dest; the zlib stream is finished when the
// compression stream is destroyed.
class TCompressionStream : public TCustomZlibStream {
public:
    TCompressionStream(TCompressionLevel CompressionLevel, TStream* Dest);
    ~TCompressionStream() override;
    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    // Only Seek(0, soCurrent), which gives the bytes written so far.
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    float CompressionRate();
};

// Inflates Source as it is read.
class TDecompressionStream : public TCustomZlibStream {
public:
    explicit TDecompressionStream(TStream* Source);
    ~TDecompressionStream() override;
    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    // Restarts for Seek(0, soBeginning); moves forward by reading.
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
};

// Compresses all of Source at the best level into Dest.
void CompressStream(TMemoryStream* Source, TStream* Dest);
// Inflates all of Source and appends the result to Dest. A result larger
// than MaxSize bytes raises EDecompressionError.
void DecompressStream(TMemoryStream* Source, TStream* Dest, int64_t MaxSize = INT64_MAX);
