#include "platform/os/file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

namespace {

void SetError(int* error, int value) {
    if (error) *error = value;
}

// Rejects folders, which open for reading on this system.
int CheckNotDirectory(int fd, int* error) {
    struct stat st {};
    if (fd >= 0 && fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        SetError(error, EISDIR);
        return kInvalidFile;
    }
    return fd;
}

} // namespace

int FileOpen(const std::string& path, FileAccess access, int* error) {
    int flags = O_CLOEXEC;
    switch (access) {
    case FileAccess::Read:
        flags |= O_RDONLY;
        break;
    case FileAccess::Write:
        flags |= O_WRONLY;
        break;
    case FileAccess::ReadWrite:
        flags |= O_RDWR;
        break;
    }
    int fd = open(path.c_str(), flags);
    if (fd < 0) {
        SetError(error, errno);
        return kInvalidFile;
    }
    return CheckNotDirectory(fd, error);
}

int FileCreate(const std::string& path, int* error) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetError(error, errno);
        return kInvalidFile;
    }
    return fd;
}

void FileClose(int handle) {
    if (handle >= 0) close(handle);
}

int64_t FileRead(int handle, void* buffer, int64_t count) {
    if (count <= 0) return 0;
    char* p = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        ssize_t n = read(handle, p + done, size_t(count - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return done > 0 ? done : -1;
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

int64_t FileWrite(int handle, const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const char* p = static_cast<const char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        ssize_t n = write(handle, p + done, size_t(count - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return done > 0 ? done : -1;
        }
        done += n;
    }
    return done;
}

int64_t FileSeek(int handle, int64_t offset, int origin) {
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
    off_t r = lseek(handle, off_t(offset), whence);
    return r < 0 ? -1 : int64_t(r);
}

bool FileTruncate(int handle, int64_t size) {
    return size >= 0 && ftruncate(handle, off_t(size)) == 0;
}

bool FileSync(int handle) {
    return fsync(handle) == 0;
}

std::string ErrorText(int error) {
    char buf[256];
    // The GNU form returns the text, which may not be in buf.
    const char* text = strerror_r(error, buf, sizeof buf);
    return text ? text : "";
}

bool ReadWholeFile(const std::string& path, std::string& bytes, int64_t maxSize, int* error) {
    bytes.clear();
    // A FIFO or a device would block the open or never end: only regular
    // files are read. The open does not wait, and the type is checked on
    // what was opened, so a file swapped in between is caught too.
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        SetError(error, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        return false;
    }
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        SetError(error, errno);
        return false;
    }
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        SetError(error, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        return false;
    }
    if (st.st_size > maxSize) {
        close(fd);
        SetError(error, EFBIG);
        return false;
    }
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            SetError(error, errno);
            close(fd);
            bytes.clear();
            return false;
        }
        if (n == 0) break;
        if (int64_t(bytes.size()) + n > maxSize) {
            close(fd);
            bytes.clear();
            SetError(error, EFBIG);
            return false;
        }
        bytes.append(buf, size_t(n));
    }
    close(fd);
    return true;
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes, std::string* error) {
    // Replace the file a link points at, not the link.
    std::string target = path;
    struct stat lst {};
    if (lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        char* real = realpath(path.c_str(), nullptr);
        if (real) {
            target = real;
            free(real);
        }
    }
    auto fail = [&](const std::string& what, int err) {
        if (error) *error = what + ": " + ErrorText(err);
        return false;
    };
    std::string dir = ".";
    std::string name = target;
    size_t slash = target.rfind('/');
    if (slash != std::string::npos) {
        dir = slash == 0 ? "/" : target.substr(0, slash);
        name = target.substr(slash + 1);
    }
    if (name.empty()) return fail(target, EISDIR);
    std::string tmp = (dir == "/" ? "" : dir) + "/." + name + ".XXXXXX";
    std::string templ = tmp;
    int fd = mkostemp(templ.data(), O_CLOEXEC);
    if (fd < 0) return fail(target, errno);
    struct stat st {};
    mode_t mode = 0644;
    if (stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;
    fchmod(fd, mode);
    if (FileWrite(fd, bytes.data(), int64_t(bytes.size())) != int64_t(bytes.size()) ||
        fsync(fd) != 0) {
        int err = errno;
        close(fd);
        unlink(templ.c_str());
        return fail(target, err ? err : EIO);
    }
    if (close(fd) != 0) {
        int err = errno;
        unlink(templ.c_str());
        return fail(target, err);
    }
    if (rename(templ.c_str(), target.c_str()) != 0) {
        int err = errno;
        unlink(templ.c_str());
        return fail(target, err);
    }
    return true;
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsSymlink(const std::string& path) {
    struct stat st {};
    return !path.empty() && lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

int64_t FileSizeOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
    return int64_t(st.st_size);
}

bool MakeDirectory(const std::string& path) {
    return !path.empty() && mkdir(path.c_str(), 0777) == 0;
}

bool MakeDirectories(const std::string& path) {
    if (path.empty()) return false;
    if (IsDirectory(path)) return true;
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    size_t slash = p.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        if (!MakeDirectories(p.substr(0, slash))) return false;
    }
    if (mkdir(p.c_str(), 0777) == 0) return true;
    return errno == EEXIST && IsDirectory(p);
}

bool RemoveDirectory(const std::string& path) {
    return !path.empty() && rmdir(path.c_str()) == 0;
}

bool RemoveFile(const std::string& path) {
    struct stat st {};
    if (path.empty() || lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    return unlink(path.c_str()) == 0;
}

bool RenamePath(const std::string& from, const std::string& to) {
    return !from.empty() && !to.empty() && rename(from.c_str(), to.c_str()) == 0;
}

std::string CurrentDirectory() {
    char buf[PATH_MAX];
    if (getcwd(buf, sizeof buf)) return buf;
    return "/";
}

bool GetModifyTimeUs(const std::string& path, int64_t& unixUs) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) return false;
    unixUs = int64_t(st.st_mtim.tv_sec) * 1000000 + st.st_mtim.tv_nsec / 1000;
    return true;
}

bool SetModifyTimeUs(const std::string& path, int64_t unixUs) {
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    int64_t secs = unixUs / 1000000;
    int64_t us = unixUs % 1000000;
    if (us < 0) {
        us += 1000000;
        --secs;
    }
    times[1].tv_sec = time_t(secs);
    times[1].tv_nsec = long(us * 1000);
    return !path.empty() && utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

std::vector<DirEntry> ListDirectory(const std::string& path) {
    std::vector<DirEntry> result;
    DIR* d = opendir(path.empty() ? "." : path.c_str());
    if (!d) return result;
    std::string base = path.empty() ? "./" : path;
    if (base.back() != '/') base += '/';
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        DirEntry entry;
        entry.name = name;
        std::string full = base + name;
        struct stat lst {};
        if (lstat(full.c_str(), &lst) == 0) entry.isSymlink = S_ISLNK(lst.st_mode);
        struct stat st {};
        if (stat(full.c_str(), &st) == 0) {
            entry.isDirectory = S_ISDIR(st.st_mode);
            entry.size = entry.isDirectory ? 0 : int64_t(st.st_size);
            entry.modifyUs = int64_t(st.st_mtim.tv_sec) * 1000000 + st.st_mtim.tv_nsec / 1000;
            entry.readOnly = access(full.c_str(), W_OK) != 0;
        } else if (entry.isSymlink) {
            entry.size = 0; // a broken link
        }
        result.push_back(std::move(entry));
    }
    closedir(d);
    return result;
}

} // namespace os
