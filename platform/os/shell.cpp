#include "platform/os/shell.h"

#include "platform/os/process.h"

#include <cctype>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

namespace {

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
    return true;
}

bool OpenWithDesktop(const std::string& target, const std::string& folder) {
    if (!FindProgram("xdg-open").empty()) return StartProcess({"xdg-open", target}, folder) != 0;
    if (!FindProgram("gio").empty()) return StartProcess({"gio", "open", target}, folder) != 0;
    // Without either tool, still let a test hook see the request.
    return StartProcess({"xdg-open", target}, folder) != 0;
}

} // namespace

bool IsWebAddress(const std::string& url) {
    return (StartsWithNoCase(url, "http://") && url.size() > 7) ||
           (StartsWithNoCase(url, "https://") && url.size() > 8);
}

bool OpenWebAddress(const std::string& url) {
    if (!IsWebAddress(url)) return false;
    for (char c : url)
        if (static_cast<unsigned char>(c) < 0x20) return false;
    return OpenWithDesktop(url, "");
}

std::string LocalPathOfAddress(const std::string& url) {
    if (!url.empty() && url.front() == '/') return url;
    if (!StartsWithNoCase(url, "file://")) return "";
    std::string rest = url.substr(7);
    // Only the local host: "file:///p" or "file://localhost/p".
    if (StartsWithNoCase(rest, "localhost/")) rest.erase(0, 9);
    if (rest.empty() || rest.front() != '/') return "";
    std::string path;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() &&
            std::isxdigit(static_cast<unsigned char>(rest[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(rest[i + 2]))) {
            path += static_cast<char>(std::stoi(rest.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            path += rest[i];
        }
    }
    // A NUL would cut the path short of what was asked for.
    if (path.find('\0') != std::string::npos) return "";
    return path;
}

bool OpenDocument(const std::string& path) {
    struct stat st {};
    if (path.empty() || path.front() != '/' || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return OpenWithDesktop(path, "");
}

bool ShellOpen(const std::string& target, const std::string& params, const std::string& folder) {
    if (target.empty()) return false;
    if (IsWebAddress(target)) return OpenWebAddress(target);
    struct stat st {};
    if (stat(target.c_str(), &st) != 0) return false;
    if (S_ISREG(st.st_mode) && access(target.c_str(), X_OK) == 0) {
        std::vector<std::string> argv{target};
        for (auto& a : SplitCommandLine(params))
            argv.push_back(a);
        return StartProcess(argv, folder) != 0;
    }
    return OpenWithDesktop(target, folder);
}

} // namespace os
