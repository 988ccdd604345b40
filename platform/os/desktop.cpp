#include "platform/os/desktop.h"

#include "platform/os/file.h"
#include "platform/os/folders.h"
#include "platform/os/process.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <fstream>

namespace os {

namespace {

std::string envOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : fallback;
}

std::string trimmed(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

// The folders that hold desktop entries, the user's first.
std::vector<std::string> applicationFolders() {
    std::vector<std::string> out{envOr("XDG_DATA_HOME", HomeFolder() + "/.local/share") +
                                 "/applications"};
    std::string dirs = envOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t colon = dirs.find(':', start);
        std::string d = dirs.substr(start, colon - start);
        if (!d.empty()) out.push_back(d + "/applications");
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return out;
}

// The Exec line of the desktop entry with this id ("a-b.desktop" may also
// live as "a/b.desktop").
std::string execOf(const std::string& id) {
    std::vector<std::string> names{id};
    std::string sub = id;
    for (size_t p = sub.find('-'); p != std::string::npos; p = sub.find('-', p + 1)) {
        sub[p] = '/';
        names.push_back(sub);
    }
    for (const std::string& folder : applicationFolders())
        for (const std::string& name : names) {
            std::ifstream in(folder + "/" + name);
            if (!in) continue;
            std::string line;
            bool entry = false;
            while (std::getline(in, line)) {
                line = trimmed(line);
                if (!line.empty() && line[0] == '[') {
                    entry = line == "[Desktop Entry]";
                    continue;
                }
                if (entry && line.rfind("Exec=", 0) == 0) return trimmed(line.substr(5));
            }
            return {};
        }
    return {};
}

} // namespace

std::string DefaultApplicationCommand(const std::string& type) {
    std::string id;
    if (RunProcessCapture({"xdg-mime", "query", "default", type}, id) != 0) return {};
    id = trimmed(id);
    // One entry is the answer; a list keeps its first.
    id = id.substr(0, id.find(';'));
    if (id.empty() || id.find('/') != std::string::npos) return {};
    return execOf(id);
}

std::vector<std::string> DesktopCommandArguments(const std::string& commandLine) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false, have = false;
    for (size_t i = 0; i < commandLine.size(); ++i) {
        char c = commandLine[i];
        if (quoted) {
            if (c == '\\' && i + 1 < commandLine.size()) {
                cur += commandLine[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                cur += c;
            }
            continue;
        }
        if (c == '"') {
            quoted = have = true;
        } else if (c == ' ' || c == '\t') {
            if (have) out.push_back(cur);
            cur.clear();
            have = false;
        } else {
            cur += c;
            have = true;
        }
    }
    if (have) out.push_back(cur);
    // Field codes stand for what the caller would hand over: none here.
    std::vector<std::string> args;
    for (std::string& a : out) {
        if (a.size() == 2 && a[0] == '%' && a[1] != '%') continue;
        std::string plain;
        for (size_t i = 0; i < a.size(); ++i) {
            if (a[i] == '%' && i + 1 < a.size()) {
                if (a[i + 1] == '%') plain += '%';
                ++i;
                continue;
            }
            plain += a[i];
        }
        args.push_back(plain);
    }
    return args;
}

Measurement LocaleMeasurement() {
    locale_t loc = newlocale(LC_MEASUREMENT_MASK, "", locale_t(0));
    if (!loc) return Measurement::Unknown;
    // The C library answers 1 for the metric system, 2 for the U.S. one.
    const char* m = nl_langinfo_l(_NL_MEASUREMENT_MEASUREMENT, loc);
    Measurement result = Measurement::Unknown;
    if (m && m[0] == 1) result = Measurement::Metric;
    if (m && m[0] == 2) result = Measurement::US;
    freelocale(loc);
    return result;
}

} // namespace os
