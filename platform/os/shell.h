// Opening addresses and documents with the desktop's own handlers.
#pragma once

#include <string>

namespace os {

// True for addresses that begin with "http://" or "https://" (any case).
bool IsWebAddress(const std::string& url);

// Opens a web address in the user's browser (xdg-open, else gio open), the
// address passed as one argument. Other schemes are refused.
bool OpenWebAddress(const std::string& url);

// The local path a "file://" address names (percent escapes undone), or the
// address itself when it is an absolute path; "" for anything else.
std::string LocalPathOfAddress(const std::string& url);

// Opens an existing regular file with the desktop's handler for its type, the
// path passed as one argument; never starts the file itself.
bool OpenDocument(const std::string& path);

// Opens a file or folder: a program file is started with the parameters
// (split like a command line), anything else goes to the desktop's handler.
// folder is the working folder ("" for the current one).
bool ShellOpen(const std::string& target, const std::string& params, const std::string& folder);

} // namespace os
