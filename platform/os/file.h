// Files and folders of the operating system, for the class library's
// streams and file routines. Names are UTF-8 paths.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace os {

constexpr int kInvalidFile = -1;

enum class FileAccess { Read, Write, ReadWrite };

// A handle, or kInvalidFile with *error set to the system's error number.
int FileOpen(const std::string& path, FileAccess access, int* error = nullptr);
// Creates or truncates the file for reading and writing.
int FileCreate(const std::string& path, int* error = nullptr);
void FileClose(int handle);
// Bytes moved, -1 on error. Interrupted calls are retried; Write writes all.
int64_t FileRead(int handle, void* buffer, int64_t count);
int64_t FileWrite(int handle, const void* buffer, int64_t count);
// origin 0 start, 1 current, 2 end. The new position or -1.
int64_t FileSeek(int handle, int64_t offset, int origin);
bool FileTruncate(int handle, int64_t size);
bool FileSync(int handle);

// The system's text for an error number.
std::string ErrorText(int error);

// Reads the whole file; false when it cannot be read or exceeds maxSize.
bool ReadWholeFile(const std::string& path, std::string& bytes, int64_t maxSize,
                   int* error = nullptr);
// Writes a temporary file beside path, flushes it to disk and renames it over
// path. The old file is untouched on failure; the error text says why.
bool WriteFileAtomic(const std::string& path, std::string_view bytes, std::string* error);

bool IsFile(const std::string& path);      // follows links
bool IsDirectory(const std::string& path); // follows links
bool IsSymlink(const std::string& path);
int64_t FileSizeOf(const std::string& path); // -1 when not a file
bool MakeDirectory(const std::string& path);
bool MakeDirectories(const std::string& path);
bool RemoveDirectory(const std::string& path);
bool RemoveFile(const std::string& path);
bool RenamePath(const std::string& from, const std::string& to);
std::string CurrentDirectory();

// Modification time in microseconds since 1970-01-01 UTC.
bool GetModifyTimeUs(const std::string& path, int64_t& unixUs);
bool SetModifyTimeUs(const std::string& path, int64_t unixUs);

struct DirEntry {
    std::string name;
    bool isDirectory = false; // following links
    bool isSymlink = false;
    bool readOnly = false;
    int64_t size = 0;
    int64_t modifyUs = 0;
};
// The entries of a folder without "." and ".."; empty when unreadable.
std::vector<DirEntry> ListDirectory(const std::string& path);

} // namespace os
