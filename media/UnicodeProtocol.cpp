#include "media/UnicodeProtocol.h"

#include "platform/os/codepage.h"
#include "platform/os/file.h"

#include <atomic>
#include <mutex>
#include <set>

namespace {

const char Prefix[] = "unicode:utf8:";
const size_t PrefixLength = sizeof Prefix - 1;
const size_t IOBufferSize = 32768;

std::atomic<bool> Registered{false};

// The byte I/O contexts opened here, so closing finds its own.
std::mutex OwnLock;
std::set<AVIOContext*> Own;

bool IsProtocolAddress(const std::string& Name) {
    size_t Colon = Name.find(':');
    if (Colon == std::string::npos || Colon == 0) return false;
    std::string Protocol = ":" + Name.substr(0, Colon) + ":";
    return std::string(":unicode:stream:gopher:http:pipe:rtp:tcp:udp:").find(Protocol) !=
           std::string::npos;
}

// On this system files are named in UTF-8: a name whose ANSI bytes differ
// would name another file, so it goes through the protocol.
bool NeedsProtocol(const std::string& Name) {
    if (IsProtocolAddress(Name)) return false;
    return Utf8ToAnsi(Name) != Name;
}

struct TUnicodeFile {
    int Handle = os::kInvalidFile;
};

int ReadPacket(void* Opaque, uint8_t* Buf, int Size) {
    auto* F = static_cast<TUnicodeFile*>(Opaque);
    int64_t N = os::FileRead(F->Handle, Buf, Size);
    if (N < 0) return -1;
    if (N == 0) return AVERROR_EOF;
    return int(N);
}

int WritePacket(void* Opaque, uint8_t* Buf, int Size) {
    auto* F = static_cast<TUnicodeFile*>(Opaque);
    int64_t N = os::FileWrite(F->Handle, Buf, Size);
    return N < 0 ? -1 : int(N);
}

int64_t SeekPacket(void* Opaque, int64_t Offset, int Whence) {
    auto* F = static_cast<TUnicodeFile*>(Opaque);
    if (Whence & AVSEEK_SIZE) {
        int64_t Current = os::FileSeek(F->Handle, 0, 1);
        if (Current < 0) return -1;
        int64_t Size = os::FileSeek(F->Handle, 0, 2);
        os::FileSeek(F->Handle, Current, 0);
        return Size;
    }
    Whence &= ~AVSEEK_FORCE;
    if (Whence < 0 || Whence > 2) return -1;
    return os::FileSeek(F->Handle, Offset, Whence);
}

// Opens the file of a "unicode:utf8:" address as a byte I/O context.
int OpenOwn(AVIOContext** Pb, const std::string& Url, int Flags) {
    std::string FileName = NameFromLibraries(Url);
    int Handle;
    if (Flags & AVIO_FLAG_WRITE)
        Handle = os::FileCreate(FileName); // read-write and write both replace it
    else
        Handle = os::FileOpen(FileName, os::FileAccess::Read);
    if (Handle == os::kInvalidFile) return AVERROR(ENOENT);

    auto* F = new TUnicodeFile{Handle};
    auto* Buffer = static_cast<unsigned char*>(FF().av_malloc(IOBufferSize));
    AVIOContext* Ctx = Buffer ? FF().avio_alloc_context(Buffer, int(IOBufferSize),
                                                        (Flags & AVIO_FLAG_WRITE) ? 1 : 0, F,
                                                        ReadPacket, WritePacket, SeekPacket)
                              : nullptr;
    if (!Ctx) {
        FF().av_free(Buffer);
        os::FileClose(Handle);
        delete F;
        return AVERROR(ENOMEM);
    }
    {
        std::lock_guard<std::mutex> Guard(OwnLock);
        Own.insert(Ctx);
    }
    *Pb = Ctx;
    return 0;
}

bool TakeOwn(AVIOContext* Ctx) {
    std::lock_guard<std::mutex> Guard(OwnLock);
    return Own.erase(Ctx) > 0;
}

int CloseOwn(AVIOContext* Ctx) {
    FF().avio_flush(Ctx);
    int Result = Ctx->error < 0 ? Ctx->error : 0;
    auto* F = static_cast<TUnicodeFile*>(Ctx->opaque);
    FF().av_freep(&Ctx->buffer);
    FF().avio_context_free(&Ctx);
    if (F) {
        os::FileClose(F->Handle);
        delete F;
    }
    return Result;
}

} // namespace

bool IsUnicodeProtocolName(const std::string& Name) {
    return Name.size() > PrefixLength && Name.compare(0, PrefixLength, Prefix) == 0;
}

std::string NameForLibraries(const std::string& Name) {
    if (NeedsProtocol(Name)) return Prefix + Name;
    return IsProtocolAddress(Name) ? Name : Utf8ToAnsi(Name);
}

std::string NameFromLibraries(const std::string& Name) {
    if (IsUnicodeProtocolName(Name)) return Name.substr(PrefixLength);
    return AnsiToUtf8(Name);
}

void RegisterUnicodeProtocol() {
    Registered = true;
}

bool UnicodeProtocolRegistered() {
    return Registered;
}

int UnicodeAvioOpen(AVIOContext** Pb, const char* Url, int Flags,
                    const AVIOInterruptCB* InterruptCB, AVDictionary** Options) {
    if (Url && IsUnicodeProtocolName(Url)) return OpenOwn(Pb, Url, Flags);
    return FF().avio_open2(Pb, Url, Flags, InterruptCB, Options);
}

int UnicodeAvioClose(AVIOContext** Pb) {
    if (!Pb || !*Pb) return 0;
    AVIOContext* Ctx = *Pb;
    *Pb = nullptr;
    if (TakeOwn(Ctx)) return CloseOwn(Ctx);
    return FF().avio_close(Ctx);
}

int UnicodeOpenInput(AVFormatContext** Ps, const char* Url, const AVInputFormat* Fmt,
                     AVDictionary** Options) {
    if (!Url || !IsUnicodeProtocolName(Url)) return FF().avformat_open_input(Ps, Url, Fmt, Options);
    if (!*Ps) *Ps = FF().avformat_alloc_context();
    if (!*Ps) return AVERROR(ENOMEM);
    AVIOContext* Pb = nullptr;
    int Result = OpenOwn(&Pb, Url, AVIO_FLAG_READ);
    if (Result < 0) {
        FF().avformat_free_context(*Ps);
        *Ps = nullptr;
        return Result;
    }
    // A byte I/O context given in advance stays the caller's: the libraries
    // neither close nor free it.
    (*Ps)->pb = Pb;
    Result = FF().avformat_open_input(Ps, Url, Fmt, Options);
    if (Result < 0) UnicodeAvioClose(&Pb);
    return Result;
}

void UnicodeCloseInput(AVFormatContext** Ps) {
    if (!Ps || !*Ps) return;
    AVIOContext* Pb = (*Ps)->pb;
    bool Mine = false;
    {
        std::lock_guard<std::mutex> Guard(OwnLock);
        Mine = Pb && Own.count(Pb) > 0;
    }
    FF().avformat_close_input(Ps);
    if (Mine) UnicodeAvioClose(&Pb);
}
