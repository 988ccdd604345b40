#include "platform/os/access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

bool CheckAccess(const std::string& path, uint32_t genericMask) {
    int mode = 0;
    if (genericMask & (kGenericRead | kGenericAll)) mode |= R_OK;
    if (genericMask & (kGenericWrite | kGenericAll)) mode |= W_OK;
    if (genericMask & (kGenericExecute | kGenericAll)) mode |= X_OK;
    if (mode == 0 || path.empty()) return false;
    return faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

bool IsReadOnlyFile(const std::string& path) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) return false;
    return (st.st_mode & S_IWUSR) == 0 || faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0;
}

bool IsFolderWritable(const std::string& folder) {
    struct stat st {};
    if (folder.empty() || stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    return faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

} // namespace os
