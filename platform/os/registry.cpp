#include "platform/os/registry.h"

#include "platform/os/folders.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <unistd.h>

namespace os {

namespace {

std::mutex g_lock;

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

// "\Software\\X\" and "software\x" name the same key.
std::string NormalizeKey(const std::string& key) {
    std::string out;
    for (char c : key) {
        if (c == '/') c = '\\';
        if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
        out += c;
    }
    while (!out.empty() && out.back() == '\\')
        out.pop_back();
    return out;
}

std::string Escape(const std::string& s, bool isName) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '=':
            if (isName)
                out += "\\e";
            else
                out += c;
            break;
        case '[':
            if (isName && out.empty())
                out += "\\b";
            else
                out += c;
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        char n = s[++i];
        out += n == 'n' ? '\n' : n == 'r' ? '\r' : n == 'e' ? '=' : n == 'b' ? '[' : n;
    }
    return out;
}

struct Key {
    std::string name;                                        // as first written
    std::vector<std::pair<std::string, std::string>> values; // name, value
};
using Store = std::map<std::string, Key>; // by lower-case key

Store Load(const std::string& file) {
    Store store;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    Key* cur = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line.front() == '[' && line.back() == ']') {
            std::string k = NormalizeKey(line.substr(1, line.size() - 2));
            cur = &store[Lower(k)];
            cur->name = k;
            continue;
        }
        if (!cur) continue;
        // The first '=' not escaped ends the name; names escape '=' as "\e".
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        cur->values.emplace_back(Unescape(line.substr(0, eq)), Unescape(line.substr(eq + 1)));
    }
    return store;
}

bool Save(const std::string& file, const Store& store) {
    size_t slash = file.find_last_of('/');
    if (slash != std::string::npos && !CreateFolderTree(file.substr(0, slash))) return false;
    std::string tmp = file + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        for (const auto& [lk, key] : store) {
            if (key.values.empty()) continue;
            out << '[' << key.name << "]\n";
            for (const auto& [n, v] : key.values)
                out << Escape(n, true) << '=' << Escape(v, false) << '\n';
            out << '\n';
        }
        out.flush();
        if (!out) {
            std::remove(tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), file.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

const std::string kShellFolders =
    "software\\microsoft\\windows\\currentversion\\explorer\\shell folders";

bool ShellFolderValue(RegRoot root, const std::string& lkey, const std::string& name,
                      std::string& value) {
    if (lkey != kShellFolders) return false;
    std::string lname = Lower(name);
    if (root == RegRoot::CurrentUser && (lname == "appdata" || lname == "desktop"))
        value = SpecialFolder(lname == "appdata" ? "AppData" : "Desktop");
    else if (root == RegRoot::LocalMachine && lname == "common appdata")
        value = SpecialFolder("Common AppData");
    else
        return false;
    return true;
}

} // namespace

std::string RegistryFileName(RegRoot root) {
    switch (root) {
    case RegRoot::CurrentUser:
        return SpecialFolder("AppData") + "/lantrove/registry/user.reg";
    case RegRoot::LocalMachine:
        return SpecialFolder("Common AppData") + "/lantrove/registry/machine.reg";
    case RegRoot::ClassesRoot:
        return SpecialFolder("Common AppData") + "/lantrove/registry/classes.reg";
    }
    return "";
}

bool RegKeyExists(RegRoot root, const std::string& key) {
    std::string lkey = Lower(NormalizeKey(key));
    if (lkey == kShellFolders && root != RegRoot::ClassesRoot) return true;
    std::lock_guard<std::mutex> g(g_lock);
    Store store = Load(RegistryFileName(root));
    for (const auto& [k, v] : store) {
        if (v.values.empty()) continue;
        if (k == lkey || (k.size() > lkey.size() && k.compare(0, lkey.size(), lkey) == 0 &&
                          k[lkey.size()] == '\\'))
            return true;
    }
    return false;
}

bool RegReadValue(RegRoot root, const std::string& key, const std::string& name,
                  std::string& value) {
    std::string lkey = Lower(NormalizeKey(key));
    if (ShellFolderValue(root, lkey, name, value)) return true;
    std::lock_guard<std::mutex> g(g_lock);
    Store store = Load(RegistryFileName(root));
    auto it = store.find(lkey);
    if (it == store.end()) return false;
    std::string lname = Lower(name);
    for (const auto& [n, v] : it->second.values)
        if (Lower(n) == lname) {
            value = v;
            return true;
        }
    return false;
}

bool RegWriteValue(RegRoot root, const std::string& key, const std::string& name,
                   const std::string& value) {
    std::string nkey = NormalizeKey(key);
    if (nkey.empty()) return false;
    std::lock_guard<std::mutex> g(g_lock);
    std::string file = RegistryFileName(root);
    Store store = Load(file);
    Key& k = store[Lower(nkey)];
    if (k.name.empty()) k.name = nkey;
    std::string lname = Lower(name);
    auto it = std::find_if(k.values.begin(), k.values.end(),
                           [&](const auto& p) { return Lower(p.first) == lname; });
    if (it != k.values.end())
        it->second = value;
    else
        k.values.emplace_back(name, value);
    return Save(file, store);
}

bool RegDeleteValue(RegRoot root, const std::string& key, const std::string& name) {
    std::lock_guard<std::mutex> g(g_lock);
    std::string file = RegistryFileName(root);
    Store store = Load(file);
    auto it = store.find(Lower(NormalizeKey(key)));
    if (it == store.end()) return false;
    std::string lname = Lower(name);
    auto& vals = it->second.values;
    auto v = std::find_if(vals.begin(), vals.end(),
                          [&](const auto& p) { return Lower(p.first) == lname; });
    if (v == vals.end()) return false;
    vals.erase(v);
    return Save(file, store);
}

namespace {

bool underKey(const std::string& k, const std::string& lkey) {
    return k == lkey || (k.size() > lkey.size() && k.compare(0, lkey.size(), lkey) == 0 &&
                         k[lkey.size()] == '\\');
}

} // namespace

bool RegDeleteKey(RegRoot root, const std::string& key) {
    std::string lkey = Lower(NormalizeKey(key));
    if (lkey.empty()) return false;
    std::lock_guard<std::mutex> g(g_lock);
    std::string file = RegistryFileName(root);
    Store store = Load(file);
    bool any = false;
    for (auto it = store.begin(); it != store.end();) {
        if (underKey(it->first, lkey)) {
            any = true;
            it = store.erase(it);
        } else {
            ++it;
        }
    }
    return any && Save(file, store);
}

std::vector<std::string> RegValueNames(RegRoot root, const std::string& key) {
    std::vector<std::string> out;
    std::lock_guard<std::mutex> g(g_lock);
    Store store = Load(RegistryFileName(root));
    auto it = store.find(Lower(NormalizeKey(key)));
    if (it != store.end())
        for (const auto& [n, v] : it->second.values)
            out.push_back(n);
    return out;
}

bool RegMoveKey(RegRoot root, const std::string& from, const std::string& to) {
    std::string lfrom = Lower(NormalizeKey(from)), nto = NormalizeKey(to);
    std::string lto = Lower(nto);
    if (lfrom.empty() || lto.empty() || lfrom == lto) return false;
    std::lock_guard<std::mutex> g(g_lock);
    std::string file = RegistryFileName(root);
    Store store = Load(file);
    Store moved;
    for (auto it = store.begin(); it != store.end();) {
        if (underKey(it->first, lfrom)) {
            Key k = it->second;
            std::string rest = k.name.size() >= from.size()
                                   ? NormalizeKey(k.name).substr(NormalizeKey(from).size())
                                   : "";
            k.name = nto + rest;
            moved[lto + it->first.substr(lfrom.size())] = k;
            it = store.erase(it);
        } else {
            ++it;
        }
    }
    if (moved.empty()) return false;
    for (auto it = store.begin(); it != store.end();)
        it = underKey(it->first, lto) ? store.erase(it) : std::next(it);
    for (auto& [k, v] : moved)
        store[k] = v;
    return Save(file, store);
}

} // namespace os
