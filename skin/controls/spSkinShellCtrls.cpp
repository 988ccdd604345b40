#include "skin/controls/spSkinShellCtrls.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <vector>

#include "platform/os/access.h"
#include "platform/os/codepage.h"
#include "platform/os/folders.h"
#include "platform/os/shell.h"

namespace fs = std::filesystem;

namespace {

std::atomic<int> gBlocks{0};

uint16_t sizeAt(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

std::vector<std::string> itemsOf(PItemIDList P) {
    std::vector<std::string> out;
    for (uint8_t* p = P; p && sizeAt(p) >= 2; p = NextPIDL(p))
        out.emplace_back(reinterpret_cast<const char*>(p + 2), sizeAt(p) - 2);
    return out;
}

PItemIDList fromItems(const std::vector<std::string>& items) {
    size_t size = 2;
    for (const auto& s : items)
        size += 2 + s.size();
    auto* p = static_cast<uint8_t*>(ShellAlloc(size));
    uint8_t* at = p;
    for (const auto& s : items) {
        uint16_t n = uint16_t(2 + s.size());
        std::memcpy(at, &n, 2);
        std::memcpy(at + 2, s.data(), s.size());
        at += n;
    }
    return p;
}

std::string desktopPath() {
    return os::SpecialFolder("Desktop");
}

std::string joined(std::string base, const std::vector<std::string>& items, size_t from) {
    for (size_t i = from; i < items.size(); ++i) {
        if (base.empty() || base.back() != '/') base += '/';
        base += items[i];
    }
    return base;
}

bool hasSubFolder(const std::string& path) {
    std::vector<os::FolderEntry> entries;
    if (!os::ListFolder(path, entries)) return false;
    for (const auto& e : entries)
        if (os::IsFolder(path + "/" + e.name)) return true;
    return false;
}

std::string parentOf(const std::string& path) {
    fs::path p(path);
    return p.has_parent_path() ? p.parent_path().string() : std::string("/");
}

} // namespace

// ---- Allocator and lists ------------------------------------------------------------------

void* ShellAlloc(size_t Size) {
    void* p = std::calloc(1, Size ? Size : 1);
    if (!p) throw EOleError("Out of memory");
    ++gBlocks;
    return p;
}

void ShellFree(void* P) {
    if (!P) return;
    --gBlocks;
    std::free(P);
}

int ShellAllocatedBlocks() {
    return gBlocks;
}

PItemIDList NextPIDL(PItemIDList P) {
    return P + sizeAt(P);
}

size_t GetPIDLSize(PItemIDList P) {
    if (!P) return 0;
    size_t size = 2;
    for (uint8_t* p = P; sizeAt(p) != 0; p = NextPIDL(p))
        size += sizeAt(p);
    return size;
}

PItemIDList CopyPIDL(PItemIDList P) {
    size_t size = GetPIDLSize(P);
    auto* p = static_cast<uint8_t*>(ShellAlloc(size));
    if (P) std::memcpy(p, P, size);
    return p;
}

PItemIDList ConcatPIDLs(PItemIDList P1, PItemIDList P2) {
    size_t s1 = P1 ? GetPIDLSize(P1) - 2 : 0;
    size_t s2 = GetPIDLSize(P2);
    auto* p = static_cast<uint8_t*>(ShellAlloc(s1 + (s2 ? s2 : 2)));
    if (s1) std::memcpy(p, P1, s1);
    if (s2) std::memcpy(p + s1, P2, s2);
    return p;
}

PItemIDList PathToPIDL(const std::string& Path) {
    std::vector<std::string> items;
    if (!Path.empty() && Path[0] == '/') items.emplace_back("/");
    for (const auto& part : fs::path(Path))
        if (part != "/" && !part.empty()) items.push_back(part.string());
    return fromItems(items);
}

std::string PIDLToPath(PItemIDList P) {
    if (!P) return {};
    auto items = itemsOf(P);
    if (!items.empty() && items[0] == "/") return joined("/", items, 1);
    return joined(desktopPath(), items, 0);
}

int PIDLItemCount(PItemIDList P) {
    return int(itemsOf(P).size());
}

// ---- Folders ------------------------------------------------------------------------------

std::string IShellFolder::PathOf(PItemIDList Item) const {
    auto items = itemsOf(Item);
    if (!items.empty() && items[0] == "/") return joined("/", items, 1);
    return joined(FPath, items, 0);
}

bool IShellFolder::GetAttributesOf(PItemIDList Item, uint32_t& Attrs) {
    std::string path = PathOf(Item);
    uint32_t have = 0;
    if (!os::PathExists(path)) {
        Attrs = 0;
        return false;
    }
    bool folder = os::IsFolder(path);
    bool parentWritable = os::IsFolderWritable(parentOf(path));
    std::error_code ec;
    bool link = fs::is_symlink(fs::symlink_status(path, ec));
    have |= SFGAO_CANCOPY | SFGAO_CANLINK | SFGAO_FILESYSTEM | SFGAO_VALIDATE;
    if (parentWritable) have |= SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANDELETE;
    if (folder) {
        have |= SFGAO_FOLDER | SFGAO_FILESYSANCESTOR;
        if (os::IsFolderWritable(path)) have |= SFGAO_DROPTARGET;
        if ((Attrs & SFGAO_HASSUBFOLDER) && hasSubFolder(path)) have |= SFGAO_HASSUBFOLDER;
    } else if (os::IsReadOnlyFile(path)) {
        have |= SFGAO_READONLY;
    }
    if (link) have |= SFGAO_LINK;
    Attrs &= have;
    return true;
}

bool IShellFolder::GetDisplayNameOf(PItemIDList Item, uint32_t Flags, STRRET& Name) {
    std::string path = PathOf(Item);
    std::string text;
    if (Flags & SHGDN_FORPARSING)
        text = path;
    else if (PIDLItemCount(Item) == 0)
        text = fs::path(FPath).filename().string();
    else
        text = itemsOf(Item).back();
    Name = STRRET();
    Name.uType = STRRET_WSTR;
    Name.pOleStr = Utf8ToUtf16(text);
    return true;
}

PShellFolder IShellFolder::BindToObject(PItemIDList Item) {
    std::string path = PathOf(Item);
    if (!os::IsFolder(path)) return nullptr;
    return std::make_shared<IShellFolder>(path);
}

bool IShellFolder::SetNameOf(PItemIDList Item, const std::string& NewName, uint32_t,
                             PItemIDList* NewItem) {
    if (NewName.empty() || NewName.find('/') != std::string::npos || NewName == "." ||
        NewName == "..")
        return false;
    auto items = itemsOf(Item);
    if (items.empty()) return false;
    std::string from = PathOf(Item);
    std::string to = parentOf(from) + "/" + NewName;
    std::error_code ec;
    // Never over an existing item.
    if (os::PathExists(to)) return false;
    fs::rename(from, to, ec);
    if (ec) return false;
    if (NewItem) {
        items.back() = NewName;
        *NewItem = fromItems(items);
    }
    return true;
}

PShellFolder DesktopShellFolder() {
    std::string path = desktopPath();
    if (path.empty()) throw EOleError("The desktop folder is unknown");
    return std::make_shared<IShellFolder>(path);
}

PItemIDList DesktopPIDL() {
    return fromItems({});
}

bool IsElement(uint32_t Element, uint32_t Flag) {
    return (Element & Flag) != 0;
}

int GetShellImage(PItemIDList, bool, bool) {
    // There is no system image list.
    return -1;
}

bool GetIsFolder(IShellFolder* ParentFolder, PItemIDList PIDL) {
    uint32_t a = SFGAO_FOLDER;
    return ParentFolder && ParentFolder->GetAttributesOf(PIDL, a) && IsElement(a, SFGAO_FOLDER);
}

bool GetHasSubFolders(IShellFolder* ParentFolder, PItemIDList PIDL) {
    uint32_t a = SFGAO_HASSUBFOLDER;
    return ParentFolder && ParentFolder->GetAttributesOf(PIDL, a) &&
           IsElement(a, SFGAO_HASSUBFOLDER);
}

TspShellFolderCapabilities GetCapabilities(IShellFolder* ParentFolder, PItemIDList PIDL) {
    TspShellFolderCapabilities r;
    uint32_t a = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK | SFGAO_CANRENAME | SFGAO_CANDELETE |
                 SFGAO_HASPROPSHEET | SFGAO_DROPTARGET;
    if (!ParentFolder || !ParentFolder->GetAttributesOf(PIDL, a)) return r;
    const std::pair<uint32_t, TspShellFolderCapability> map[] = {
        {SFGAO_CANCOPY, fcCanCopy},       {SFGAO_CANMOVE, fcCanMove},
        {SFGAO_CANLINK, fcCanLink},       {SFGAO_CANRENAME, fcCanRename},
        {SFGAO_CANDELETE, fcCanDelete},   {SFGAO_HASPROPSHEET, fcHasPropSheet},
        {SFGAO_DROPTARGET, fcDropTarget},
    };
    for (auto [bit, cap] : map)
        if (IsElement(a, bit)) r.insert(cap);
    return r;
}

TspShellFolderProperties GetProperties(IShellFolder* ParentFolder, PItemIDList PIDL) {
    TspShellFolderProperties r;
    if (!ParentFolder) return r;
    uint32_t a = SFGAO_DISPLAYATTRMASK;
    if (ParentFolder->GetAttributesOf(PIDL, a)) {
        if (IsElement(a, SFGAO_GHOSTED)) r.insert(fpCut);
        if (IsElement(a, SFGAO_LINK)) r.insert(fpIsLink);
        if (IsElement(a, SFGAO_READONLY)) r.insert(fpReadOnly);
        if (IsElement(a, SFGAO_SHARE)) r.insert(fpShared);
    }
    a = SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR | SFGAO_REMOVABLE | SFGAO_VALIDATE;
    if (ParentFolder->GetAttributesOf(PIDL, a)) {
        if (IsElement(a, SFGAO_FILESYSTEM)) r.insert(fpFileSystem);
        if (IsElement(a, SFGAO_FILESYSANCESTOR)) r.insert(fpFileSystemAncestor);
        if (IsElement(a, SFGAO_REMOVABLE)) r.insert(fpRemovable);
        if (IsElement(a, SFGAO_VALIDATE)) r.insert(fpValidate);
    }
    return r;
}

std::string StrRetToString(PItemIDList PIDL, const STRRET& StrRet) {
    std::string s;
    switch (StrRet.uType) {
    case STRRET_WSTR:
        s = Utf16ToUtf8(StrRet.pOleStr);
        break;
    case STRRET_OFFSET:
        if (PIDL && StrRet.uOffset < sizeAt(PIDL)) {
            const char* at = reinterpret_cast<const char*>(PIDL) + StrRet.uOffset;
            size_t room = sizeAt(PIDL) - StrRet.uOffset;
            s = AnsiToUtf8(std::string(at, strnlen(at, room)));
        }
        break;
    case STRRET_CSTR:
        s = AnsiToUtf8(std::string(StrRet.cStr.c_str()));
        break;
    default:
        break;
    }
    if (s.size() >= 2 && s[0] == '?' && s[1] >= '0' && s[1] <= '9') std::erase(s, '?');
    return s;
}

std::string GetDisplayName(IShellFolder* Folder, PItemIDList PIDL, uint32_t Flags) {
    if (!Folder) return "parentfolder = nil";
    STRRET r;
    if (!Folder->GetDisplayNameOf(PIDL, Flags, r)) return {};
    std::string s = StrRetToString(PIDL, r);
    if (s.rfind("::{", 0) == 0 && Folder->GetDisplayNameOf(PIDL, SHGDN_NORMAL, r))
        s = StrRetToString(PIDL, r);
    return s;
}

std::shared_ptr<void> GetIShellDetails(IShellFolder*, PItemIDList, uintptr_t) {
    return nullptr;
}

std::shared_ptr<void> GetIShellFolder2(IShellFolder*, PItemIDList, uintptr_t) {
    return nullptr;
}

// ---- TspShellFolder -----------------------------------------------------------------------

TspShellFolder::TspShellFolder(TspShellFolder* AParent, PShellFolder SF, PItemIDList ID)
    : FParent(AParent), FIShellFolder(std::move(SF)), FDetails(std::make_unique<TStringList>()) {
    FPIDL = CopyPIDL(ID);
    if (AParent) {
        FFullPIDL = ConcatPIDLs(AParent->FFullPIDL, ID);
    } else {
        PItemIDList desktop = DesktopPIDL();
        FFullPIDL = ConcatPIDLs(desktop, ID);
        ShellFree(desktop);
        FParent = spDesktopFolder();
    }
    for (TspShellFolder* p = AParent ? AParent->FParent : nullptr; p && p != this; p = p->FParent)
        ++FLevel;
}

TspShellFolder::~TspShellFolder() {
    ShellFree(FPIDL);
    ShellFree(FFullPIDL);
}

IShellFolder* TspShellFolder::ParentShellFolder() const {
    if (FParent && FParent->FIShellFolder) return FParent->FIShellFolder.get();
    static PShellFolder desktop;
    if (!desktop) desktop = DesktopShellFolder();
    return desktop.get();
}

TspShellFolderCapabilities TspShellFolder::Capabilities() const {
    return GetCapabilities(ParentShellFolder(), FPIDL);
}

TspShellFolderProperties TspShellFolder::Properties() const {
    return GetProperties(ParentShellFolder(), FPIDL);
}

bool TspShellFolder::SubFolders() const {
    return GetHasSubFolders(ParentShellFolder(), FPIDL);
}

bool TspShellFolder::IsFolder() const {
    std::string ext = fs::path(FullObjectName()).extension().string();
    for (char& c : ext)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return GetIsFolder(ParentShellFolder(), FPIDL) && ext != ".ZIP";
}

std::string TspShellFolder::PathName() const {
    PShellFolder desktop = DesktopShellFolder();
    return GetDisplayName(desktop.get(), FFullPIDL, SHGDN_FORPARSING);
}

std::string TspShellFolder::FullObjectName() const {
    std::string path = PIDLToPath(FFullPIDL);
    if (path.size() > 261 || !os::PathExists(path)) return {};
    return path;
}

std::string TspShellFolder::DisplayName() const {
    return GetDisplayName(ParentShellFolder(), FPIDL, SHGDN_INFOLDER);
}

int TspShellFolder::ImageIndex(bool LargeIcon) const {
    return GetShellImage(FFullPIDL, LargeIcon, false);
}

bool TspShellFolder::ExecuteDefault() const {
    std::string path = FullObjectName();
    if (path.empty()) return false;
    // Documents and folders go to the desktop's handler; nothing is run.
    if (os::IsFolder(path)) return os::ShellOpen(path, "", "");
    return os::OpenDocument(path);
}

bool TspShellFolder::Rename(const std::string& NewName) {
    if (!Capabilities().count(fcCanRename)) return false;
    PItemIDList fresh = nullptr;
    if (!ParentShellFolder()->SetNameOf(FPIDL, NewName, SHGDN_NORMAL, &fresh))
        throw Exception(Format("Rename to %s failed", NewName));
    ShellFree(FPIDL);
    ShellFree(FFullPIDL);
    FPIDL = fresh;
    FFullPIDL = FParent ? ConcatPIDLs(FParent->FFullPIDL, fresh) : CopyPIDL(fresh);
    return true;
}

std::shared_ptr<void> TspShellFolder::GetShellDetails() {
    if (!FDetailInterface) {
        FIShellDetails = GetIShellDetails(FIShellFolder.get(), FFullPIDL, FViewHandle);
        if (!FIShellDetails)
            FIShellFolder2 = GetIShellFolder2(FIShellFolder.get(), FFullPIDL, FViewHandle);
        FDetailInterface = FIShellFolder2 ? FIShellFolder2 : FIShellDetails;
    }
    return FIShellDetails;
}

std::shared_ptr<void> TspShellFolder::GetShellFolder2() {
    GetShellDetails();
    return FIShellFolder2;
}

// ---- Start-up and shutdown ----------------------------------------------------------------

namespace {

TspShellFolder* gDesktop = nullptr;

// Start-up makes the desktop folder object, shutdown frees it.
struct ShellModule {
    std::unique_ptr<TspShellFolder> Desktop;
    ShellModule() {
        try {
            PItemIDList pidl = DesktopPIDL();
            Desktop = std::make_unique<TspShellFolder>(nullptr, DesktopShellFolder(), pidl);
            ShellFree(pidl);
        } catch (const std::exception&) {
            // No desktop folder: the routines work without the object.
        }
        gDesktop = Desktop.get();
    }
    ~ShellModule() {
        gDesktop = nullptr;
        Desktop.reset();
    }
} gModule;

} // namespace

TspShellFolder* spDesktopFolder() {
    return gDesktop;
}
