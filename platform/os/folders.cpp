#include "platform/os/folders.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <fstream>
#include <limits.h>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

namespace {

std::mutex g_programLock;
std::string g_programOverride;

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return (v && *v) ? std::string(v) : fallback;
}

std::string StripTrailingDelims(std::string path) {
    while (path.size() > 1 && path.back() == kPathDelim)
        path.pop_back();
    return path;
}

// The desktop entry of ~/.config/user-dirs.dirs, with $HOME expanded.
std::string UserDirFromFile(const std::string& key) {
    std::ifstream in(SpecialFolder("AppData") + "/user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + "=", 0) != 0) continue;
        std::string v = line.substr(key.size() + 1);
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        if (v.rfind("$HOME", 0) == 0) v = HomeFolder() + v.substr(5);
        if (!v.empty() && v.front() == kPathDelim) return StripTrailingDelims(v);
    }
    return "";
}

} // namespace

std::string ProgramFileName() {
    {
        std::lock_guard<std::mutex> g(g_programLock);
        if (!g_programOverride.empty()) return g_programOverride;
    }
    std::vector<char> buf(PATH_MAX + 1);
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return "";
    return std::string(buf.data(), size_t(n));
}

std::string ProgramFolder() {
    std::string f = ProgramFileName();
    size_t p = f.find_last_of(kPathDelim);
    return p == std::string::npos ? std::string("./") : f.substr(0, p + 1);
}

void SetProgramFileNameOverride(const std::string& fileName) {
    std::lock_guard<std::mutex> g(g_programLock);
    g_programOverride = fileName;
}

std::string HomeFolder() {
    const char* h = std::getenv("HOME");
    if (h && *h) return StripTrailingDelims(h);
    passwd pw{};
    passwd* res = nullptr;
    std::vector<char> buf(16384);
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &res) == 0 && res && res->pw_dir)
        return StripTrailingDelims(res->pw_dir);
    return "/tmp";
}

std::string SpecialFolder(const std::string& name) {
    if (name == "AppData")
        return StripTrailingDelims(EnvOr("XDG_CONFIG_HOME", HomeFolder() + "/.config"));
    if (name == "Common AppData") {
        std::string over = EnvOr("LANTROVE_COMMON_APPDATA", "");
        if (!over.empty()) return StripTrailingDelims(over);
        std::string dirs = EnvOr("XDG_CONFIG_DIRS", "");
        std::string first = dirs.substr(0, dirs.find(':'));
        if (!first.empty() && first.front() == kPathDelim) return StripTrailingDelims(first);
        return "/etc/xdg";
    }
    if (name == "Desktop") {
        std::string d = UserDirFromFile("XDG_DESKTOP_DIR");
        return d.empty() ? HomeFolder() + "/Desktop" : d;
    }
    if (name == "Downloads") {
        std::string d = UserDirFromFile("XDG_DOWNLOAD_DIR");
        return d.empty() ? HomeFolder() + "/Downloads" : d;
    }
    return "";
}

std::string TempFolder() {
    std::string t = StripTrailingDelims(EnvOr("TMPDIR", "/tmp"));
    if (t.empty() || t.back() != kPathDelim) t += kPathDelim;
    return t;
}

std::string LongPath(const std::string& path) {
    if (path.empty()) return path;
    char* r = realpath(path.c_str(), nullptr);
    if (!r) return path;
    std::string out(r);
    std::free(r);
    if (path.back() == kPathDelim && out.back() != kPathDelim) out += kPathDelim;
    return out;
}

bool FileCreationTimeUs(const std::string& path, int64_t& unixUs) {
    struct statx sx {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) == 0) {
        if (sx.stx_mask & STATX_BTIME) {
            unixUs = int64_t(sx.stx_btime.tv_sec) * 1000000 + sx.stx_btime.tv_nsec / 1000;
            return true;
        }
        if (sx.stx_mask & STATX_MTIME) {
            unixUs = int64_t(sx.stx_mtime.tv_sec) * 1000000 + sx.stx_mtime.tv_nsec / 1000;
            return true;
        }
    }
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return false;
    unixUs = int64_t(st.st_mtim.tv_sec) * 1000000 + st.st_mtim.tv_nsec / 1000;
    return true;
}

bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) {
    DIR* d = opendir(folder.c_str());
    if (!d) return false;
    int dfd = dirfd(d);
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        FolderEntry fe;
        fe.name = name;
        struct stat st {};
        if (fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISLNK(st.st_mode))
                fe.kind = EntryKind::Link;
            else if (S_ISDIR(st.st_mode))
                fe.kind = EntryKind::Folder;
            else if (S_ISREG(st.st_mode))
                fe.kind = EntryKind::File;
        }
        entries.push_back(std::move(fe));
    }
    closedir(d);
    return true;
}

bool MatchesMask(const std::string& name, const std::string& mask) {
    if (mask == "*" || mask == "*.*") return true;
    return fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD | FNM_NOESCAPE) == 0;
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RemoveFileEntry(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

bool RemoveEmptyFolder(const std::string& path) {
    return rmdir(path.c_str()) == 0;
}

bool CreateFolderTree(const std::string& path) {
    if (path.empty()) return false;
    if (IsFolder(path)) return true;
    std::string p = StripTrailingDelims(path);
    size_t pos = 0;
    while (true) {
        pos = p.find(kPathDelim, pos + 1);
        std::string part = p.substr(0, pos);
        if (!part.empty() && mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        if (pos == std::string::npos) break;
    }
    return IsFolder(p);
}

} // namespace os
