// Shell-folder routines over the local file system. An item identifier list
// is a run of items, each a 16-bit size (counting itself) and one path
// component in UTF-8, ended by a zero size. The empty list is the desktop
// folder (the user's desktop folder); a list whose first item is "/" names
// an absolute path, any other list a path below the desktop folder.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "classlib/strings.h"
#include "classlib/sysutils.h"

using PItemIDList = uint8_t*;

LANTROVE_EXCEPTION(EOleError, Exception);

// Attribute bits of a folder item.
constexpr uint32_t SFGAO_CANCOPY = 0x1;
constexpr uint32_t SFGAO_CANMOVE = 0x2;
constexpr uint32_t SFGAO_CANLINK = 0x4;
constexpr uint32_t SFGAO_CANRENAME = 0x10;
constexpr uint32_t SFGAO_CANDELETE = 0x20;
constexpr uint32_t SFGAO_HASPROPSHEET = 0x40;
constexpr uint32_t SFGAO_DROPTARGET = 0x100;
constexpr uint32_t SFGAO_GHOSTED = 0x8000;
constexpr uint32_t SFGAO_LINK = 0x10000;
constexpr uint32_t SFGAO_SHARE = 0x20000;
constexpr uint32_t SFGAO_READONLY = 0x40000;
constexpr uint32_t SFGAO_DISPLAYATTRMASK = 0xFC000;
constexpr uint32_t SFGAO_VALIDATE = 0x1000000;
constexpr uint32_t SFGAO_REMOVABLE = 0x2000000;
constexpr uint32_t SFGAO_FILESYSANCESTOR = 0x10000000;
constexpr uint32_t SFGAO_FOLDER = 0x20000000;
constexpr uint32_t SFGAO_FILESYSTEM = 0x40000000;
constexpr uint32_t SFGAO_HASSUBFOLDER = 0x80000000;

// Display-name kinds.
constexpr uint32_t SHGDN_NORMAL = 0x0;
constexpr uint32_t SHGDN_INFOLDER = 0x1;
constexpr uint32_t SHGDN_FORPARSING = 0x8000;

constexpr int CSIDL_DESKTOP = 0;

enum { STRRET_WSTR = 0, STRRET_OFFSET = 1, STRRET_CSTR = 2 };
struct STRRET {
    unsigned uType = STRRET_WSTR;
    std::u16string pOleStr;
    unsigned uOffset = 0;
    std::string cStr;
};

// One folder of the namespace: the desktop folder or a file-system folder.
class IShellFolder {
public:
    explicit IShellFolder(std::string Path) : FPath(std::move(Path)) {}
    virtual ~IShellFolder() = default;
    // Items are relative to this folder; the desktop folder also takes
    // absolute lists. Unknown bits of Attrs are cleared.
    virtual bool GetAttributesOf(PItemIDList Item, uint32_t& Attrs);
    virtual bool GetDisplayNameOf(PItemIDList Item, uint32_t Flags, STRRET& Name);
    virtual std::shared_ptr<IShellFolder> BindToObject(PItemIDList Item);
    // Renames the item's last component; the new relative list in NewItem.
    virtual bool SetNameOf(PItemIDList Item, const std::string& NewName, uint32_t Flags,
                           PItemIDList* NewItem);
    // The file-system path of an item of this folder.
    std::string PathOf(PItemIDList Item) const;
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};
using PShellFolder = std::shared_ptr<IShellFolder>;

// Blocks of the shell allocator.
void* ShellAlloc(size_t Size);
void ShellFree(void* P);
// Blocks not yet freed, so leaks show in tests.
int ShellAllocatedBlocks();

PItemIDList NextPIDL(PItemIDList P);
size_t GetPIDLSize(PItemIDList P);
PItemIDList CopyPIDL(PItemIDList P);
PItemIDList ConcatPIDLs(PItemIDList P1, PItemIDList P2);
// A new list of one item per path component ("/" first for an absolute path).
PItemIDList PathToPIDL(const std::string& Path);
// The path an absolute list names; "" for nil.
std::string PIDLToPath(PItemIDList P);
// Items of a list; 0 for nil.
int PIDLItemCount(PItemIDList P);

PShellFolder DesktopShellFolder();
PItemIDList DesktopPIDL();
bool IsElement(uint32_t Element, uint32_t Flag);
int GetShellImage(PItemIDList PIDL, bool Large, bool Open);
bool GetIsFolder(IShellFolder* ParentFolder, PItemIDList PIDL);
bool GetHasSubFolders(IShellFolder* ParentFolder, PItemIDList PIDL);

enum TspShellFolderCapability {
    fcCanCopy,
    fcCanDelete,
    fcCanLink,
    fcCanMove,
    fcCanRename,
    fcDropTarget,
    fcHasPropSheet
};
using TspShellFolderCapabilities = std::set<TspShellFolderCapability>;
enum TspShellFolderProperty {
    fpCut,
    fpIsLink,
    fpReadOnly,
    fpShared,
    fpFileSystem,
    fpFileSystemAncestor,
    fpRemovable,
    fpValidate
};
using TspShellFolderProperties = std::set<TspShellFolderProperty>;

TspShellFolderCapabilities GetCapabilities(IShellFolder* ParentFolder, PItemIDList PIDL);
TspShellFolderProperties GetProperties(IShellFolder* ParentFolder, PItemIDList PIDL);
std::string StrRetToString(PItemIDList PIDL, const STRRET& StrRet);
std::string GetDisplayName(IShellFolder* Folder, PItemIDList PIDL, uint32_t Flags);
// The detail interfaces have no counterpart here: both give none.
std::shared_ptr<void> GetIShellDetails(IShellFolder* Folder, PItemIDList PIDL, uintptr_t Wnd);
std::shared_ptr<void> GetIShellFolder2(IShellFolder* Folder, PItemIDList PIDL, uintptr_t Wnd);

class TspShellFolder {
public:
    TspShellFolder(TspShellFolder* AParent, PShellFolder SF, PItemIDList ID);
    ~TspShellFolder();
    TspShellFolder(const TspShellFolder&) = delete;
    TspShellFolder& operator=(const TspShellFolder&) = delete;

    IShellFolder* ParentShellFolder() const;
    TspShellFolderCapabilities Capabilities() const;
    TspShellFolderProperties Properties() const;
    bool SubFolders() const;
    bool IsFolder() const;
    std::string PathName() const;
    std::string FullObjectName() const;
    std::string DisplayName() const;
    int ImageIndex(bool LargeIcon) const;
    bool ExecuteDefault() const;
    // False without the rename capability; raises when the rename fails.
    bool Rename(const std::string& NewName);
    std::shared_ptr<void> GetShellDetails();
    std::shared_ptr<void> GetShellFolder2();

    PItemIDList PIDL() const { return FPIDL; }
    PItemIDList FullPIDL() const { return FFullPIDL; }
    TspShellFolder* Parent() const { return FParent; }
    IShellFolder* ShellFolder() const { return FIShellFolder.get(); }
    int Level() const { return FLevel; }
    TStrings* Details() const { return FDetails.get(); }

private:
    PItemIDList FPIDL = nullptr;
    PItemIDList FFullPIDL = nullptr;
    TspShellFolder* FParent = nullptr;
    PShellFolder FIShellFolder;
    std::shared_ptr<void> FIShellFolder2, FIShellDetails, FDetailInterface;
    int FLevel = 0;
    uintptr_t FViewHandle = 0;
    std::unique_ptr<TStringList> FDetails;
};

// The desktop folder object made when the program starts, null after shutdown.
TspShellFolder* spDesktopFolder();
