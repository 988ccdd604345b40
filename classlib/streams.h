// Byte streams: the abstract stream, file streams, memory streams and
// string streams.
#pragma once

#include "classlib/classes.h"

#include <cstdint>
#include <string>
#include <vector>

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };
constexpr TSeekOrigin soFromBeginning = soBeginning;
constexpr TSeekOrigin soFromCurrent = soCurrent;
constexpr TSeekOrigin soFromEnd = soEnd;

class TStream : public TObject {
public:
    // Up to Count bytes; the number moved (0 at the end or on error).
    virtual int64_t Read(void* Buffer, int64_t Count) = 0;
    virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
    // The new position, or -1 when the stream cannot move there.
    virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t Pos) { Seek(Pos, soBeginning); }
    virtual int64_t Size();
    virtual void SetSize(int64_t NewSize);

    // All or nothing: EReadError / EWriteError when fewer bytes move.
    void ReadBuffer(void* Buffer, int64_t Count);
    void WriteBuffer(const void* Buffer, int64_t Count);
    // Copies Count bytes from Source's position; Count 0 copies the whole of
    // Source from its start. The bytes copied.
    int64_t CopyFrom(TStream* Source, int64_t Count);

    // The rest of the stream (from the current position) as bytes.
    std::string ReadAll();
    void WriteString(const std::string& Bytes) { WriteBuffer(Bytes.data(), int64_t(Bytes.size())); }
};

// File modes: one access mode combined with one share mode. Share modes are
// accepted and not enforced.
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;
constexpr uint16_t fmCreate = 0xFF00; // create or truncate, read and write

class THandleStream : public TStream {
public:
    // The stream does not close a handle it was given.
    explicit THandleStream(int AHandle) : FHandle(AHandle) {}
    int Handle() const { return FHandle; }

    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    void SetSize(int64_t NewSize) override; // EStreamError on failure

protected:
    int FHandle;
};

class TFileStream : public THandleStream {
public:
    // EFCreateError / EFOpenError when the file cannot be created or opened.
    TFileStream(const std::string& AFileName, uint16_t Mode);
    ~TFileStream() override;
    const std::string& FileName() const { return FFileName; }

private:
    std::string FFileName;
};

class TCustomMemoryStream : public TStream {
public:
    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override { return int64_t(FData.size()); }

    void* Memory() { return FData.data(); }
    const void* Memory() const { return FData.data(); }
    void SaveToStream(TStream* Stream);
    void SaveToFile(const std::string& FileName); // EFCreateError / EWriteError

protected:
    std::vector<uint8_t> FData;
    int64_t FPosition = 0;
};

class TMemoryStream : public TCustomMemoryStream {
public:
    int64_t Write(const void* Buffer, int64_t Count) override;
    void SetSize(int64_t NewSize) override; // the position stays within the data
    void Clear();
    void LoadFromStream(TStream* Stream);           // the whole of Stream
    void LoadFromFile(const std::string& FileName); // EFOpenError
};

// A memory stream over a byte string.
class TStringStream : public TMemoryStream {
public:
    explicit TStringStream(const std::string& AString = {});
    std::string DataString() const;
    // Count bytes from the position (fewer at the end).
    std::string ReadString(int64_t Count);
};

// Whole-file helpers used by the text readers and writers.
// Only regular files are read; one larger than MaxSize raises EFOpenError too.
std::string ReadFileBytes(const std::string& FileName, int64_t MaxSize = INT64_MAX); // EFOpenError
void WriteFileBytes(const std::string& FileName, const std::string& Bytes); // EFCreateError
// Writes a sibling temporary file and puts it in place of FileName in one
// step, so the old file stays whole if the write fails. EFCreateError.
void WriteFileBytesAtomic(const std::string& FileName, const std::string& Bytes);
