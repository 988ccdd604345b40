#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "skin/controls/spSkinShellCtrls.h"
#include "support/tempdir.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> bytesOf(PItemIDList p) {
    return std::vector<uint8_t>(p, p + GetPIDLSize(p));
}

struct Owned {
    PItemIDList p;
    explicit Owned(PItemIDList v) : p(v) {}
    ~Owned() { ShellFree(p); }
};

// dir/sub/inner/, dir/sub/file.txt, dir/plain/, dir/locked.txt (read-only),
// dir/link -> locked.txt, dir/pack.zip/
struct Tree {
    TempDir dir;
    Tree() {
        fs::create_directories(dir.file("sub/inner"));
        fs::create_directories(dir.file("plain"));
        fs::create_directories(dir.file("pack.zip"));
        dir.write("sub/file.txt", "x");
        dir.write("locked.txt", "y");
        fs::permissions(dir.file("locked.txt"),
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        fs::create_symlink(dir.file("locked.txt"), dir.file("link"));
    }
};

} // namespace

TEST(ShellItemLists, AreBuiltWalkedCopiedAndJoined) {
    const int before = ShellAllocatedBlocks();
    {
        Owned a(PathToPIDL("/ab/c"));
        EXPECT_EQ(PIDLItemCount(a.p), 3);
        EXPECT_EQ(GetPIDLSize(a.p), size_t(2 + 3 + 4 + 3));
        EXPECT_EQ(GetPIDLSize(nullptr), 0u);
        PItemIDList second = NextPIDL(a.p);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(second) + 2, 2), "ab");
        EXPECT_EQ(PIDLToPath(a.p), "/ab/c");

        Owned copy(CopyPIDL(a.p));
        EXPECT_NE(copy.p, a.p);
        EXPECT_EQ(bytesOf(copy.p), bytesOf(a.p));

        Owned rel(PathToPIDL("d/e"));
        Owned joined(ConcatPIDLs(a.p, rel.p));
        EXPECT_EQ(PIDLToPath(joined.p), "/ab/c/d/e");
        Owned fromNil(ConcatPIDLs(nullptr, rel.p));
        EXPECT_EQ(bytesOf(fromNil.p), bytesOf(rel.p));

        Owned desktop(DesktopPIDL());
        EXPECT_EQ(GetPIDLSize(desktop.p), 2u);
        Owned same(ConcatPIDLs(desktop.p, a.p));
        EXPECT_EQ(bytesOf(same.p), bytesOf(a.p));
        void* zeroed = ShellAlloc(8);
        EXPECT_EQ(std::memcmp(zeroed, "\0\0\0\0\0\0\0\0", 8), 0);
        ShellFree(zeroed);
    }
    EXPECT_EQ(ShellAllocatedBlocks(), before);
    EXPECT_TRUE(IsElement(0x30, 0x10));
    EXPECT_FALSE(IsElement(0x30, 0x40));
}

TEST(ShellItemLists, DisplayTextsComeOutOfEveryReturnKind) {
    Owned item(PathToPIDL("name"));
    struct Case {
        STRRET r;
        std::string expected;
    } cases[4];
    cases[0].r.uType = STRRET_WSTR, cases[0].r.pOleStr = u"Wide \u00e9",
    cases[0].expected = "Wide \u00e9";
    cases[1].r.uType = STRRET_OFFSET, cases[1].r.uOffset = 2, cases[1].expected = "name";
    cases[2].r.uType = STRRET_CSTR, cases[2].r.cStr = std::string("abc\0def", 7),
    cases[2].expected = "abc";
    cases[3].r.uType = STRRET_WSTR, cases[3].r.pOleStr = u"?1?2", cases[3].expected = "12";
    for (const auto& c : cases)
        EXPECT_EQ(StrRetToString(item.p, c.r), c.expected) << c.r.uType;
    STRRET keep;
    keep.pOleStr = u"?a?";
    EXPECT_EQ(StrRetToString(item.p, keep), "?a?");
    EXPECT_EQ(GetDisplayName(nullptr, item.p, SHGDN_NORMAL), "parentfolder = nil");
}

TEST(ShellFolders, ReadItemsOfAFolderTree) {
    Tree t;
    const int before = ShellAllocatedBlocks();
    {
        Owned id(PathToPIDL(t.dir.path()));
        PShellFolder rootSF = DesktopShellFolder()->BindToObject(id.p);
        ASSERT_TRUE(rootSF);
        TspShellFolder root(nullptr, rootSF, id.p);
        EXPECT_EQ(root.Parent(), spDesktopFolder());
        EXPECT_EQ(root.FullObjectName(), t.dir.path());
        EXPECT_EQ(root.PathName(), t.dir.path());
        EXPECT_TRUE(root.IsFolder());
        EXPECT_TRUE(root.SubFolders());

        struct Case {
            const char* name;
            bool folder, subFolders;
            TspShellFolderProperties props;
        } cases[] = {
            {"sub", true, true, {fpFileSystem, fpFileSystemAncestor, fpValidate}},
            {"plain", true, false, {fpFileSystem, fpFileSystemAncestor, fpValidate}},
            {"pack.zip", false, false, {fpFileSystem, fpFileSystemAncestor, fpValidate}},
            {"locked.txt", false, false, {fpFileSystem, fpValidate, fpReadOnly}},
            {"link", false, false, {fpFileSystem, fpValidate, fpReadOnly, fpIsLink}},
        };
        for (const auto& c : cases) {
            Owned rel(PathToPIDL(c.name));
            // Each item holds its own folder interface (none for a file).
            TspShellFolder item(&root, rootSF->BindToObject(rel.p), rel.p);
            EXPECT_EQ(bool(item.ShellFolder()), c.folder || std::string(c.name) == "pack.zip");
            EXPECT_EQ(item.DisplayName(), c.name);
            EXPECT_EQ(item.FullObjectName(), t.dir.file(c.name));
            EXPECT_EQ(item.PathName(), t.dir.file(c.name));
            EXPECT_EQ(item.IsFolder(), c.folder) << c.name;
            EXPECT_EQ(item.SubFolders(), c.subFolders) << c.name;
            EXPECT_EQ(item.Properties(), c.props) << c.name;
            EXPECT_TRUE(item.Capabilities().count(fcCanRename)) << c.name;
            EXPECT_FALSE(item.Capabilities().count(fcHasPropSheet));
            EXPECT_EQ(item.ImageIndex(false), -1);
            EXPECT_EQ(item.GetShellDetails(), nullptr);
        }

        // A missing item has no attributes.
        Owned gone(PathToPIDL("gone"));
        EXPECT_TRUE(GetProperties(rootSF.get(), gone.p).empty());
        EXPECT_TRUE(GetCapabilities(rootSF.get(), gone.p).empty());

        // Levels count the ancestors above the parent given.
        Owned subId(PathToPIDL("sub"));
        TspShellFolder sub(&root, rootSF->BindToObject(subId.p), subId.p);
        Owned innerId(PathToPIDL("inner"));
        TspShellFolder inner(&sub, sub.ShellFolder()->BindToObject(innerId.p), innerId.p);
        EXPECT_EQ(sub.Level(), 1);   // the desktop object above the root
        EXPECT_EQ(inner.Level(), 2); // and the root
        EXPECT_EQ(inner.FullObjectName(), t.dir.file("sub/inner"));
        EXPECT_EQ(inner.DisplayName(), "inner");
    }
    EXPECT_EQ(ShellAllocatedBlocks(), before);
}

TEST(ShellFolders, RenameMovesTheItemOrReports) {
    Tree t;
    Owned id(PathToPIDL(t.dir.path()));
    PShellFolder sf = DesktopShellFolder()->BindToObject(id.p);
    TspShellFolder root(nullptr, sf, id.p);
    Owned rel(PathToPIDL("plain"));
    TspShellFolder item(&root, sf->BindToObject(rel.p), rel.p);
    EXPECT_TRUE(item.Rename("renamed"));
    EXPECT_TRUE(t.dir.exists("renamed"));
    EXPECT_FALSE(t.dir.exists("plain"));
    EXPECT_EQ(item.DisplayName(), "renamed");
    EXPECT_EQ(item.FullObjectName(), t.dir.file("renamed"));
    for (const char* bad : {"sub", "a/b", ""}) {
        try {
            item.Rename(bad);
            ADD_FAILURE() << bad;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, std::string("Rename to ") + bad + " failed");
        }
    }
    EXPECT_TRUE(t.dir.exists("sub/file.txt")); // never over an existing item
    EXPECT_EQ(item.FullObjectName(), t.dir.file("renamed"));
}

TEST(ShellFolders, DesktopObjectExistsFromStartUp) {
    TspShellFolder* d = spDesktopFolder();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(GetPIDLSize(d->PIDL()), 2u);
    EXPECT_EQ(d->Parent(), nullptr);
    EXPECT_EQ(d->ShellFolder()->Path(), DesktopShellFolder()->Path());
}
