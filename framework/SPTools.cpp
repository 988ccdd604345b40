#include "framework/SPTools.h"

#include "classlib/sysutils.h"
#include "classlib/urlencode.h"
#include "platform/os/access.h"
#include "platform/os/clock.h"
#include "platform/os/codepage.h"
#include "platform/os/file.h"
#include "platform/os/folders.h"
#include "platform/os/ipc.h"
#include "platform/os/process.h"
#include "platform/os/shell.h"
#include "platform/win/filedialog.h"
#include "platform/win/window.h"

#include <memory>
#include <mutex>
#include <random>

namespace {

const char* const kShellFoldersKey =
    "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string BackslashesToSlashes(std::string s) {
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

std::string ReplaceNoCase(const std::string& s, const std::string& what, const std::string& with) {
    return StringReplace(s, what, with, rfReplaceAll | rfIgnoreCase);
}

} // namespace

// ---------------------------------------------------------------------------
// Shell, browser and windows

bool OpenURLInBrowser(HWND, const std::string& URL) {
    // Web addresses, and local pages (the program's own, made from
    // "%exepath%") when the file exists; anything else could start a
    // program or open what nobody asked for.
    const bool web = os::IsWebAddress(URL);
    const std::string local = web ? std::string() : os::LocalPathOfAddress(URL);
    if (!web && (local.empty() || !os::IsFile(local))) return false;
    std::string command =
        RegReadString(os::RegRoot::ClassesRoot, "http\\shell\\open\\command", "", "");
    if (Trim(command).empty()) return web ? os::OpenWebAddress(URL) : os::OpenDocument(local);
    // The command is split first and the address put in as one argument, so
    // nothing in the address can add arguments of its own.
    std::vector<std::string> argv = os::SplitCommandLine(command);
    bool placed = false;
    for (auto& arg : argv) {
        if (arg.find("%1") != std::string::npos) {
            arg = ReplaceNoCase(arg, "%1", URL);
            placed = true;
        }
    }
    if (!placed) argv.push_back(URL);
    return os::StartProcess(argv) != 0;
}

bool ShellOpenFile(HWND, const std::string& FileName, const std::string& Params) {
    std::string path = ExpandRelativePath(GetAppFileName(), FileName);
    return os::ShellOpen(path, Params, ExtractFilePath(path));
}

std::string BrowseForFolder(HWND OwnerWnd, const std::string& InitialFolder,
                            const std::string& Title) {
    return ChooseFolderDialog(OwnerWnd, Title, InitialFolder);
}

void SetWindowTopMost(HWND Wnd, bool OnTop) {
    SetWindowPos(Wnd, OnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOOWNERZORDER);
}

// Our window system has no foreground lock, so bringing the window up and
// asking for the foreground is all it takes, for our own windows and another
// instance's alike.
bool ForceForegroundWindow(HWND Wnd) {
    if (!IsWindow(Wnd)) return false;
    if (IsIconic(Wnd)) ShowWindow(Wnd, SW_RESTORE);
    ShowWindow(Wnd, SW_SHOW);
    if (GetForegroundWindow() == Wnd) return true;
    BringWindowToTop(Wnd);
    SetForegroundWindow(Wnd);
    return GetForegroundWindow() == Wnd;
}

bool CreateSingleInstanceMutex(const std::string& Name) {
    // Held until the process ends, and released before it is unmapped: a
    // held mutex unmapped would leave the thread's list of held mutexes
    // pointing into nothing.
    struct Holder {
        std::mutex lock;
        std::vector<std::unique_ptr<os::NamedMutex>> held;
        ~Holder() {
            for (auto& m : held)
                m->Release();
        }
    };
    static Holder holder;
    auto m = os::NamedMutex::Create(Name);
    if (!m) return true; // no shared memory: nothing to test against, run anyway
    auto r = m->TryLock();
    if (r != os::NamedMutex::WaitResult::Acquired && r != os::NamedMutex::WaitResult::Abandoned)
        return false;
    std::lock_guard<std::mutex> g(holder.lock);
    holder.held.push_back(std::move(m));
    return true;
}

// ---------------------------------------------------------------------------
// Folders, files and registry

std::string GetShellFolderPath(const std::string& Name) {
    std::string v = RegReadString(os::RegRoot::CurrentUser, kShellFoldersKey, Name, "");
    return v.empty() ? GetCommonShellFolderPath(Name) : v;
}

std::string GetCommonShellFolderPath(const std::string& Name) {
    return RegReadString(os::RegRoot::LocalMachine, kShellFoldersKey, Name, "");
}

std::string RegReadString(os::RegRoot Root, const std::string& Key, const std::string& Name,
                          const std::string& Default) {
    std::string v;
    return os::RegReadValue(Root, Key, Name, v) ? v : Default;
}

void RegWriteString(os::RegRoot Root, const std::string& Key, const std::string& Name,
                    const std::string& Value) {
    os::RegWriteValue(Root, Key, Name, Value);
}

std::string GetTempDirectory() {
    return os::TempFolder();
}

std::string GetAppFileName() {
    return os::ProgramFileName();
}

std::string GetAppFolder() {
    return IncludeTrailingBackslashEx(GetLongPath(ExtractFilePath(GetAppFileName())));
}

std::string GetAppFolderNoSlash() {
    std::string f = GetAppFolder();
    if (!f.empty()) f.pop_back();
    return f;
}

std::string GetLongPath(const std::string& Path) {
    std::string p = os::LongPath(Path);
    return p.empty() ? Path : p;
}

std::string SlashesToBackslashes(const std::string& Text) {
    std::string s = Text;
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

std::string IncludeTrailingBackslashEx(const std::string& Path) {
    if (Path.empty()) return Path;
    std::string p = BackslashesToSlashes(Path);
    if (p.back() != '/') p += '/';
    return p;
}

std::string CombinePath(const std::string& Base, const std::string& Path) {
    std::string p = BackslashesToSlashes(Path);
    // An absolute path stays as it is, whatever the base.
    if (!p.empty() && p.front() == '/') return p;
    // Only an absolute base gives a place to join to.
    std::string base = BackslashesToSlashes(Base);
    if (base.empty() || base.front() != '/') return Path;
    return IncludeTrailingBackslashEx(base) + p;
}

std::string ExpandRelativePath(const std::string& FileName, const std::string& Path) {
    return CombinePath(ExtractFilePath(BackslashesToSlashes(FileName)), Path);
}

std::string ExtractFileBaseName(const std::string& Path) {
    std::string name = ExtractFileName(BackslashesToSlashes(Path));
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

void ListFiles(const std::string& Mask, TStrings* List, bool WithPath) {
    std::string mask = BackslashesToSlashes(Mask);
    std::string folder = ExtractFilePath(mask);
    std::string pattern = ExtractFileName(mask);
    std::vector<os::FolderEntry> entries;
    if (!os::ListFolder(folder.empty() ? "." : folder, entries)) return;
    for (const auto& e : entries) {
        if (e.kind == os::EntryKind::Folder || !os::MatchesMask(e.name, pattern)) continue;
        if (e.kind == os::EntryKind::Link && os::IsFolder(folder + e.name)) continue;
        List->Add(WithPath ? folder + e.name : e.name);
    }
}

std::string GetUniqueFileName(const std::string& Folder, const std::string& Prefix,
                              const std::string& Ext) {
    static std::mutex lock;
    static std::mt19937 gen{std::random_device{}()};
    std::uniform_int_distribution<uint32_t> dist(0, 0xFFFFE);
    while (true) {
        uint32_t n;
        {
            std::lock_guard<std::mutex> g(lock);
            n = dist(gen);
        }
        std::string path = CombinePath(Folder, Prefix + IntToHex(n, 1) + "." + Ext);
        if (!os::PathExists(path)) return path;
    }
}

bool ClearDirectory(const std::string& Folder, bool Recursive) {
    std::string folder = IncludeTrailingBackslashEx(Folder);
    std::vector<os::FolderEntry> entries;
    if (folder.empty() || !os::ListFolder(folder, entries)) return true;
    for (const auto& e : entries) {
        std::string path = folder + e.name;
        // A link is removed itself; what it points to is left alone.
        if (e.kind == os::EntryKind::Folder && Recursive) {
            ClearDirectory(path, true);
            os::RemoveEmptyFolder(path);
        } else {
            os::RemoveFileEntry(path);
        }
    }
    return true;
}

void WriteStringToFile(const std::string& Text, const std::string& FileName) {
    std::string error;
    os::WriteFileAtomic(FileName, EncodeTextBytes(Text, TTextEncoding::UTF8BOM), &error);
}

bool CheckFileAccess(uint32_t DesiredAccess, const std::string& FileName) {
    return os::CheckAccess(FileName, DesiredAccess);
}

bool GetFileCreationTime(const std::string& FileName, TFileTime& Time) {
    return os::FileCreationTimeUs(FileName, Time);
}

TDateTime FileTimeToDateTime(TFileTime Time) {
    return os::UnixUsToDateTime(Time);
}

// ---------------------------------------------------------------------------
// Texts

int32_t SafeStrToInt(const std::string& Text, int32_t Default) {
    return StrToIntDef(Text, Default);
}

bool TextBeginsWith(const std::string& Text, const std::string& Prefix) {
    return Text.size() >= Prefix.size() && AnsiSameText(Text.substr(0, Prefix.size()), Prefix);
}

std::string FormatParams(const std::string& Text, const std::vector<std::string>& Params) {
    // One pass over the text: a parameter's own text is never searched again,
    // so a value holding "{2}" stays as it is.
    std::string out;
    out.reserve(Text.size());
    size_t i = 0;
    while (i < Text.size()) {
        if (Text[i] == '{') {
            size_t j = i + 1;
            size_t n = 0;
            while (j < Text.size() && Text[j] >= '0' && Text[j] <= '9' && j - i <= 9) {
                n = n * 10 + size_t(Text[j] - '0');
                ++j;
            }
            if (j > i + 1 && j < Text.size() && Text[j] == '}' && n >= 1 && n <= Params.size() &&
                Text[i + 1] != '0') {
                out += Params[n - 1];
                i = j + 1;
                continue;
            }
        }
        out += Text[i++];
    }
    return out;
}

std::string RemoveInvalidFileNameChars(const std::string& Text) {
    std::string t = Trim(Text);
    std::string out;
    for (char c : t) {
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\r' && c != '\n') || c == 0x7F) {
            out += '_'; // a control character cannot stand in a file name
            continue;
        }
        switch (c) {
        case '\\':
        case ':':
        case '/':
        case '"':
        case '\'':
        case '|':
        case '?':
        case '*':
        case '>':
        case '<':
        case '\r':
        case '\n':
            break;
        default:
            out += c;
        }
    }
    if (out.size() > MaxFileNameTextBytes) {
        std::size_t keep = MaxFileNameTextBytes;
        // Never cut a UTF-8 sequence in two.
        while (keep > 0 && (static_cast<unsigned char>(out[keep]) & 0xC0) == 0x80)
            --keep;
        out = Trim(out.substr(0, keep));
    }
    // "." and ".." name folders, not files.
    if (out.find_first_not_of('.') == std::string::npos) return {};
    return out;
}

void SplitText(const std::string& Text, char Delim, TStrings* List) {
    SplitTextQuoted(Text, Delim, '\0', List);
}

void SplitTextQuoted(const std::string& Text, char Delim, char Quote, TStrings* List) {
    if (Text.empty()) return;
    List->BeginUpdate();
    try {
        std::string piece;
        size_t i = 0;
        while (i < Text.size()) {
            char c = Text[i];
            if (c == Delim) {
                List->Add(piece);
                piece.clear();
                ++i;
            } else if (Quote != '\0' && c == Quote) {
                ++i;
                while (i < Text.size()) {
                    if (Text[i] == Quote) {
                        if (i + 1 < Text.size() && Text[i + 1] == Quote) {
                            piece += Quote;
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    piece += Text[i++];
                }
            } else {
                piece += c;
                ++i;
            }
        }
        List->Add(piece);
    } catch (...) {
        List->EndUpdate();
        throw;
    }
    List->EndUpdate();
}

void ParseQueryParams(const std::string& URL, TStrings* List, bool Decode) {
    std::string rest = URL;
    size_t q = rest.find('?');
    if (q != std::string::npos) rest = rest.substr(q + 1);
    size_t colon = rest.find(':');
    if (colon != std::string::npos) rest = rest.substr(colon + 1);
    if (!Decode) {
        SplitText(rest, '&', List);
        return;
    }
    TStringList pieces;
    SplitText(rest, '&', &pieces);
    for (int i = 0; i < pieces.Count(); ++i) {
        const std::string piece = pieces[i];
        size_t eq = piece.find('=');
        std::string name = piece.substr(0, eq);
        std::string value = eq == std::string::npos ? "" : piece.substr(eq + 1);
        auto decoded = FormDecode(value, TFormBytes::Ansi);
        if (!decoded || name.empty()) continue;
        List->SetValues(name, *decoded);
    }
}

std::string AddURLParams(const std::string& URL, const std::string& Query) {
    if (URL.empty()) return Query;
    if (URL.find('?') == std::string::npos) return URL + "?" + Query;
    if (URL.back() == '&' || URL.back() == '?') return URL + Query;
    return URL + "&" + Query;
}

std::string CharsToHex(const std::string& Chars, int Count) {
    std::u16string units = Utf8ToUtf16(Chars);
    size_t n = Count < 0 ? units.size() : std::min(units.size(), size_t(Count));
    std::string out;
    static const char* hex = "0123456789ABCDEF";
    for (size_t i = 0; i < n; ++i) {
        unsigned b = units[i] & 0xFF;
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

std::string IntToHexPadded(uint32_t Value, int Digits) {
    std::string s = IntToHex(int64_t(Value), Digits < 1 ? 1 : Digits);
    while (int(s.size()) < 2 * Digits)
        s.insert(s.begin(), '0');
    return s;
}

uint32_t VersionStrToInt(const std::string& Version) {
    std::string word = Trim(Version);
    size_t blank = word.find(' ');
    if (blank != std::string::npos) word = word.substr(0, blank);
    TStringList parts;
    SplitText(word, '.', &parts);
    if (parts.Count() != 4) return 0;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 8) | (uint32_t(SafeStrToInt(parts[i], 0)) & 0xFF);
    return v;
}

std::string RectToStr(const TRect& Rect) {
    return IntToStr(Rect.Left) + "," + IntToStr(Rect.Top) + "," + IntToStr(Rect.Right) + "," +
           IntToStr(Rect.Bottom);
}

void StrToRect(const std::string& Text, TRect& Rect) {
    TStringList parts;
    SplitText(Text, ',', &parts);
    if (parts.Count() != 4) return;
    Rect = TRect(SafeStrToInt(parts[0], 0), SafeStrToInt(parts[1], 0), SafeStrToInt(parts[2], 0),
                 SafeStrToInt(parts[3], 0));
}

TSize FitSizeKeepAspect(const TSize& Source, const TSize& Box) {
    if (Box.cx == 0 || Box.cy == 0) return Box;
    if (Source.cx == 0 || Source.cy == 0) return Source;
    int64_t sw = Source.cx, sh = Source.cy, bw = Box.cx, bh = Box.cy;
    if (sh * bw < sw * bh) return TSize(Box.cx, int32_t(bw * sh / sw));
    return TSize(int32_t(bh * sw / sh), Box.cy);
}

TRect FitRectCentered(const TSize& Source, const TRect& Box) {
    TSize s = FitSizeKeepAspect(Source, TSize(Box.Width(), Box.Height()));
    int32_t left = Box.Left + (Box.Width() - s.cx) / 2;
    int32_t top = Box.Top + (Box.Height() - s.cy) / 2;
    return TRect(left, top, left + s.cx, top + s.cy);
}
