#include "classlib/streams.h"

#include "platform/os/file.h"

#include <algorithm>
#include <cstring>

int64_t TStream::Size() {
    int64_t pos = Seek(0, soCurrent);
    int64_t end = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return end;
}

void TStream::SetSize(int64_t) {
    throw EStreamError("Stream size cannot be changed");
}

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
    if (Count < 0 || (Count > 0 && Read(Buffer, Count) != Count))
        throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
    if (Count < 0 || (Count > 0 && Write(Buffer, Count) != Count))
        throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream* Source, int64_t Count) {
    if (!Source) throw EStreamError("No source stream");
    if (Count == 0) {
        Source->SetPosition(0);
        Count = Source->Size();
    }
    if (Count < 0) throw EReadError("Stream read error");
    const int64_t total = Count;
    std::vector<char> buf(size_t(std::min<int64_t>(Count, 1 << 16)) + 1);
    while (Count > 0) {
        int64_t n = std::min<int64_t>(Count, int64_t(buf.size()));
        Source->ReadBuffer(buf.data(), n);
        WriteBuffer(buf.data(), n);
        Count -= n;
    }
    return total;
}

std::string TStream::ReadAll() {
    std::string out;
    char buf[65536];
    for (;;) {
        int64_t n = Read(buf, sizeof buf);
        if (n <= 0) break;
        out.append(buf, size_t(n));
    }
    return out;
}

// ---------------------------------------------------------------------------

int64_t THandleStream::Read(void* Buffer, int64_t Count) {
    int64_t n = os::FileRead(FHandle, Buffer, Count);
    return n < 0 ? 0 : n;
}

int64_t THandleStream::Write(const void* Buffer, int64_t Count) {
    int64_t n = os::FileWrite(FHandle, Buffer, Count);
    return n < 0 ? 0 : n;
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    return os::FileSeek(FHandle, Offset, int(Origin));
}

void THandleStream::SetSize(int64_t NewSize) {
    int64_t pos = Position();
    if (!os::FileTruncate(FHandle, NewSize)) throw EStreamError("Stream size cannot be changed");
    if (pos > NewSize) Seek(NewSize, soBeginning);
}

TFileStream::TFileStream(const std::string& AFileName, uint16_t Mode)
    : THandleStream(os::kInvalidFile), FFileName(AFileName) {
    int err = 0;
    if ((Mode & fmCreate) == fmCreate) {
        FHandle = os::FileCreate(AFileName, &err);
        if (FHandle < 0)
            throw EFCreateError("Cannot create file \"" + AFileName + "\". " + os::ErrorText(err));
        return;
    }
    os::FileAccess access = os::FileAccess::Read;
    switch (Mode & 0x3) {
    case fmOpenWrite:
        access = os::FileAccess::Write;
        break;
    case fmOpenReadWrite:
        access = os::FileAccess::ReadWrite;
        break;
    default:
        break;
    }
    FHandle = os::FileOpen(AFileName, access, &err);
    if (FHandle < 0)
        throw EFOpenError("Cannot open file \"" + AFileName + "\". " + os::ErrorText(err));
}

TFileStream::~TFileStream() {
    os::FileClose(FHandle);
}

// ---------------------------------------------------------------------------

int64_t TCustomMemoryStream::Read(void* Buffer, int64_t Count) {
    if (Count <= 0 || FPosition >= int64_t(FData.size())) return 0;
    int64_t n = std::min<int64_t>(Count, int64_t(FData.size()) - FPosition);
    std::memcpy(Buffer, FData.data() + FPosition, size_t(n));
    FPosition += n;
    return n;
}

int64_t TCustomMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    int64_t base = Origin == soBeginning ? 0
                   : Origin == soCurrent ? FPosition
                                         : int64_t(FData.size());
    int64_t pos = base + Offset;
    if (pos < 0) return -1;
    FPosition = pos;
    return FPosition;
}

void TCustomMemoryStream::SaveToStream(TStream* Stream) {
    if (Stream && !FData.empty()) Stream->WriteBuffer(FData.data(), int64_t(FData.size()));
}

void TCustomMemoryStream::SaveToFile(const std::string& FileName) {
    TFileStream f(FileName, fmCreate);
    SaveToStream(&f);
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
    if (Count <= 0 || FPosition < 0) return 0;
    int64_t end = FPosition + Count;
    if (end > int64_t(FData.size())) {
        try {
            FData.resize(size_t(end));
        } catch (const std::bad_alloc&) {
            throw EOutOfMemory("Out of memory");
        }
    }
    std::memcpy(FData.data() + FPosition, Buffer, size_t(Count));
    FPosition = end;
    return Count;
}

void TMemoryStream::SetSize(int64_t NewSize) {
    if (NewSize < 0) throw EStreamError("Stream size cannot be changed");
    try {
        FData.resize(size_t(NewSize));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory("Out of memory");
    }
    if (FPosition > NewSize) FPosition = NewSize;
}

void TMemoryStream::Clear() {
    FData.clear();
    FData.shrink_to_fit();
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream* Stream) {
    Clear();
    if (!Stream) return;
    Stream->SetPosition(0);
    int64_t size = Stream->Size();
    SetSize(size);
    if (size > 0) Stream->ReadBuffer(FData.data(), size);
    FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
    TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&f);
}

TStringStream::TStringStream(const std::string& AString) {
    FData.assign(AString.begin(), AString.end());
}

std::string TStringStream::DataString() const {
    return std::string(reinterpret_cast<const char*>(FData.data()), FData.size());
}

std::string TStringStream::ReadString(int64_t Count) {
    if (Count <= 0 || FPosition >= int64_t(FData.size())) return {};
    int64_t n = std::min<int64_t>(Count, int64_t(FData.size()) - FPosition);
    std::string s(reinterpret_cast<const char*>(FData.data()) + FPosition, size_t(n));
    FPosition += n;
    return s;
}

// ---------------------------------------------------------------------------

std::string ReadFileBytes(const std::string& FileName, int64_t MaxSize) {
    std::string bytes;
    int err = 0;
    if (!os::ReadWholeFile(FileName, bytes, MaxSize, &err))
        throw EFOpenError("Cannot open file \"" + FileName + "\". " + os::ErrorText(err));
    return bytes;
}

void WriteFileBytes(const std::string& FileName, const std::string& Bytes) {
    TFileStream f(FileName, fmCreate);
    f.WriteBuffer(Bytes.data(), int64_t(Bytes.size()));
}

void WriteFileBytesAtomic(const std::string& FileName, const std::string& Bytes) {
    std::string error;
    if (!os::WriteFileAtomic(FileName, Bytes, &error))
        throw EFCreateError("Cannot create file \"" + FileName + "\". " + error);
}
