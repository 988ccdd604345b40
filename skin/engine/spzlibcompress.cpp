#include "skin/engine/spzlibcompress.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

struct TspZlibState {
    z_stream Z{};
};

namespace {

int levelOf(TCompressionLevel Level) {
    switch (Level) {
    case TCompressionLevel::clNone:
        return 0;
    case TCompressionLevel::clFastest:
        return 1;
    case TCompressionLevel::clMax:
        return 9;
    default:
        return Z_DEFAULT_COMPRESSION;
    }
}

int ccheck(int Code) {
    if (Code < 0) throw ECompressionError("error");
    return Code;
}

int dcheck(int Code) {
    if (Code < 0) throw EDecompressionError("compression error");
    return Code;
}

} // namespace

TCustomZlibStream::TCustomZlibStream(TStream* Strm)
    : FStrm(Strm), FStrmPos(Strm->Position()), FZRec(std::make_unique<TspZlibState>()) {}

TCustomZlibStream::~TCustomZlibStream() = default;

void TCustomZlibStream::Progress() {
    if (OnProgress) OnProgress(this);
}

TCompressionStream::TCompressionStream(TCompressionLevel CompressionLevel, TStream* Dest)
    : TCustomZlibStream(Dest) {
    z_stream& z = FZRec->Z;
    z.next_out = FBuffer;
    z.avail_out = kBufferSize;
    ccheck(deflateInit(&z, levelOf(CompressionLevel)));
}

TCompressionStream::~TCompressionStream() {
    z_stream& z = FZRec->Z;
    z.next_in = nullptr;
    z.avail_in = 0;
    try {
        if (FStrm->Position() != FStrmPos) FStrm->SetPosition(FStrmPos);
        int code;
        while ((code = ccheck(deflate(&z, Z_FINISH))) != Z_STREAM_END && z.avail_out == 0) {
            FStrm->WriteBuffer(FBuffer, kBufferSize);
            z.next_out = FBuffer;
            z.avail_out = kBufferSize;
        }
        if (z.avail_out < unsigned(kBufferSize))
            FStrm->WriteBuffer(FBuffer, kBufferSize - z.avail_out);
    } catch (...) {
        // A destructor cannot report; the zlib state is still released.
    }
    deflateEnd(&z);
}

int64_t TCompressionStream::Read(void*, int64_t) {
    throw ECompressionError("Invalid stream operation");
}

int64_t TCompressionStream::Write(const void* Buffer, int64_t Count) {
    z_stream& z = FZRec->Z;
    if (FStrm->Position() != FStrmPos) FStrm->SetPosition(FStrmPos);
    const uint8_t* p = static_cast<const uint8_t*>(Buffer);
    int64_t left = Count;
    while (left > 0) {
        uInt chunk = uInt(std::min<int64_t>(left, 1 << 30));
        z.next_in = const_cast<Bytef*>(p);
        z.avail_in = chunk;
        while (z.avail_in > 0) {
            ccheck(deflate(&z, Z_NO_FLUSH));
            if (z.avail_out == 0) {
                FStrm->WriteBuffer(FBuffer, kBufferSize);
                z.next_out = FBuffer;
                z.avail_out = kBufferSize;
                FStrmPos = FStrm->Position();
                Progress();
            }
        }
        p += chunk;
        left -= chunk;
    }
    return Count;
}

int64_t TCompressionStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    if (Offset == 0 && Origin == soCurrent) return int64_t(FZRec->Z.total_in);
    throw ECompressionError("Invalid stream operation");
}

float TCompressionStream::CompressionRate() {
    const z_stream& z = FZRec->Z;
    if (z.total_in == 0) return 0;
    return float((1.0 - double(z.total_out) / double(z.total_in)) * 100.0);
}

TDecompressionStream::TDecompressionStream(TStream* Source) : TCustomZlibStream(Source) {
    z_stream& z = FZRec->Z;
    z.next_in = FBuffer;
    z.avail_in = 0;
    dcheck(inflateInit(&z));
}

TDecompressionStream::~TDecompressionStream() {
    inflateEnd(&FZRec->Z);
}

int64_t TDecompressionStream::Read(void* Buffer, int64_t Count) {
    z_stream& z = FZRec->Z;
    uint8_t* out = static_cast<uint8_t*>(Buffer);
    int64_t delivered = 0;
    while (delivered < Count) {
        if (z.avail_in == 0) {
            if (FStrm->Position() != FStrmPos) FStrm->SetPosition(FStrmPos);
            int64_t got = FStrm->Read(FBuffer, kBufferSize);
            if (got <= 0) return delivered;
            z.next_in = FBuffer;
            z.avail_in = uInt(got);
            FStrmPos = FStrm->Position();
            Progress();
        }
        uInt room = uInt(std::min<int64_t>(Count - delivered, 1 << 30));
        z.next_out = out + delivered;
        z.avail_out = room;
        int code = dcheck(inflate(&z, Z_NO_FLUSH));
        if (code == Z_NEED_DICT) throw EDecompressionError("compression error");
        delivered += room - z.avail_out;
        if (code == Z_STREAM_END) return delivered;
        // Input left but no progress: the data is damaged or truncated.
        if (code == Z_BUF_ERROR && z.avail_in > 0) throw EDecompressionError("compression error");
    }
    return delivered;
}

int64_t TDecompressionStream::Write(const void*, int64_t) {
    throw EDecompressionError("Invalid stream operation");
}

int64_t TDecompressionStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    z_stream& z = FZRec->Z;
    if (Offset == 0 && Origin == soBeginning) {
        dcheck(inflateReset(&z));
        z.next_in = FBuffer;
        z.avail_in = 0;
        FStrm->SetPosition(0);
        FStrmPos = 0;
        return 0;
    }
    int64_t skip = -1;
    if (Origin == soCurrent && Offset >= 0)
        skip = Offset;
    else if (Origin == soBeginning && Offset > int64_t(z.total_out))
        skip = Offset - int64_t(z.total_out);
    if (skip < 0) throw EDecompressionError("Invalid stream operation");
    uint8_t scratch[kBufferSize];
    while (skip > 0) {
        int64_t n = std::min<int64_t>(skip, kBufferSize);
        int64_t got = Read(scratch, n);
        if (got <= 0) break;
        skip -= got;
    }
    return int64_t(z.total_out);
}

void CompressStream(TMemoryStream* Source, TStream* Dest) {
    Source->SetPosition(0);
    TCompressionStream z(TCompressionLevel::clMax, Dest);
    if (Source->Size() > 0) z.WriteBuffer(Source->Memory(), Source->Size());
}

void DecompressStream(TMemoryStream* Source, TStream* Dest, int64_t MaxSize) {
    Source->SetPosition(0);
    TDecompressionStream z(Source);
    uint8_t buffer[4096];
    int64_t total = 0;
    for (;;) {
        int64_t n = z.Read(buffer, sizeof buffer);
        if (n <= 0) break;
        total += n;
        if (total > MaxSize) throw EDecompressionError("compression error");
        Dest->WriteBuffer(buffer, n);
    }
}
