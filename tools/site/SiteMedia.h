// The site's media files, made with the FFmpeg libraries on first request
// and kept in a cache folder (the same bytes every time, so a cache shared
// between runs is safe).
#pragma once

#include "SiteContent.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace site {

class MediaStore {
public:
    // folder: where the files are kept; created when missing.
    explicit MediaStore(std::string folder);

    // The full name of the file of that kind, made when missing; empty when
    // it cannot be made (the reason in error).
    std::string File(MediaKind kind, std::string* error = nullptr);
    const std::string& Folder() const { return FFolder; }

private:
    std::string FFolder;
    std::mutex FLock;
    std::map<std::string, std::shared_ptr<std::mutex>> FFileLocks;
};

// Writes an audio-only file: a sine tone at half scale, mono 22050 Hz.
bool WriteToneFile(const std::string& fileName, const std::string& container,
                   const std::string& codec, double toneHz, int seconds, std::string* error);
// A file that starts like FLV but holds no stream.
bool WriteBrokenFile(const std::string& fileName, std::string* error);

// The default cache folder: below the system's temporary folder.
std::string DefaultMediaFolder();

} // namespace site
