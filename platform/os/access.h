// Access checks in place of the security-descriptor calls: whether this
// process may read, write or run a file or folder.
#pragma once

#include <cstdint>
#include <string>

namespace os {

constexpr uint32_t kGenericRead = 0x80000000u;
constexpr uint32_t kGenericWrite = 0x40000000u;
constexpr uint32_t kGenericExecute = 0x20000000u;
constexpr uint32_t kGenericAll = 0x10000000u;

// True when every access asked for in the generic mask is granted to this
// process's effective user; false for a missing path or a mask asking for nothing.
bool CheckAccess(const std::string& path, uint32_t genericMask);

// True when the file exists and is marked read-only: its owner has no write
// permission (whatever this process may do as a privileged user).
bool IsReadOnlyFile(const std::string& path);

// A folder is writable when new entries can be made in it.
bool IsFolderWritable(const std::string& folder);

} // namespace os
