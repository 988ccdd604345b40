// A temporary folder for one test, removed with everything in it.
#pragma once

#include <string>
#include <string_view>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, without a trailing "/".
    const std::string& path() const { return path_; }
    // path() + "/" + name.
    std::string file(std::string_view name) const;
    // Writes the bytes (creating missing folders of name) and returns the full path.
    std::string write(std::string_view name, std::string_view bytes) const;
    // The bytes of the file; empty when missing.
    std::string read(std::string_view name) const;
    bool exists(std::string_view name) const;

private:
    std::string path_;
};
