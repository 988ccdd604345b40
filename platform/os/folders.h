// Where the program and its data live: the program file and folder, the
// special folders, the temporary folder, and the few file-system calls the
// layers above need without reaching for the system headers themselves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace os {

constexpr char kPathDelim = '/';

// Full file name of the running program (from /proc/self/exe).
std::string ProgramFileName();
// The program folder, ending in "/".
std::string ProgramFolder();
// Lets tests pretend the program lives elsewhere; an empty name restores the real one.
void SetProgramFileNameOverride(const std::string& fileName);

// The special folders, without a trailing "/":
// "AppData" is $XDG_CONFIG_HOME (or ~/.config);
// "Common AppData" is $LANTROVE_COMMON_APPDATA, else the first folder of
// $XDG_CONFIG_DIRS, else /etc/xdg;
// "Desktop" is the user's desktop folder (XDG user dirs, else ~/Desktop);
// "Downloads" the user's download folder (XDG user dirs, else ~/Downloads).
// Any other name gives "".
std::string SpecialFolder(const std::string& name);
std::string HomeFolder();

// The temporary folder ($TMPDIR, else /tmp), ending in "/".
std::string TempFolder();

// Canonical form of an existing path; the path itself when it cannot be resolved.
std::string LongPath(const std::string& path);

// Creation time of a file or folder as microseconds since 1970 (UTC): the
// birth time when the file system keeps one, else the modification time.
bool FileCreationTimeUs(const std::string& path, int64_t& unixUs);

enum class EntryKind { File, Folder, Link, Other };
struct FolderEntry {
    std::string name;
    EntryKind kind = EntryKind::Other;
};
// Entries of a folder except "." and "..", in the order the file system gives
// them; links are reported as links, never followed.
bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries);
// Whether a name matches a file mask with "*" and "?", without regard to case.
bool MatchesMask(const std::string& name, const std::string& mask);

bool PathExists(const std::string& path); // does not follow a final link
bool IsFolder(const std::string& path);   // follows links
// Removes a file or a link (never what the link points to).
bool RemoveFileEntry(const std::string& path);
// Removes an empty folder.
bool RemoveEmptyFolder(const std::string& path);
// Creates a folder with every missing parent; true when it exists afterwards.
bool CreateFolderTree(const std::string& path);

} // namespace os
