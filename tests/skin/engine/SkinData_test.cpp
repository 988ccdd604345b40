#include "skin/engine/SkinData.h"

#include "classlib/forms.h"
#include "skin/engine/spzlibcompress.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

namespace {

std::string fixture(const std::string& name) {
    return std::string(LANTROVE_FIXTURES_DIR) + "/skin/" + name;
}

std::unique_ptr<TBitmap> solidBitmap(int w, int h, uint8_t seed) {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf24bit);
    b->SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = b->ScanLine(y);
        for (int x = 0; x < w * 3; ++x)
            row[x] = uint8_t(seed + x * 7 + y * 13);
    }
    return b;
}

std::string bitmapBytes(TBitmap* b) {
    TStringStream s;
    if (!b->Empty()) b->SaveToStream(&s);
    return s.DataString();
}

std::string skinText(TspSkinData& d) {
    TMemIniFile ini;
    d.SaveToCustomIniFile(&ini);
    return ini.GetText();
}

// Everything a load fills in, as text and picture bytes.
std::string snapshot(TspSkinData& d) {
    std::string s = skinText(d);
    for (TBitmap* b : {d.FPicture.get(), d.FInActivePicture.get(), d.FMask.get(),
                       d.FRollUpPicture.get(), d.FRollUpMask.get()})
        s += "|" + bitmapBytes(b);
    for (auto& b : d.FActivePictures)
        s += "#" + bitmapBytes(b.get());
    return s;
}

const char* const kControlWords[] = {
    "slider",      "bevel",      "panel",     "expanel",        "menubutton",
    "button",      "checkradio", "gauge",     "splitter",       "trackbar",
    "label",       "stdlabel",   "bitlabel",  "frameregulator", "framegauge",
    "animate",     "updown",     "switch",    "grid",           "tab",
    "mainmenubar", "controlbar", "memo",      "edit",           "checklistbox",
    "listbox",     "combobox",   "scrollbar", "spinedit",       "scrollbox",
    "treeview",    "listview",   "richedit"};
const char* const kObjectWords[] = {
    "menuitem", "mainmenubaritem", "mainmenuitem", "mainmenubarbutton", "stdbutton",      "button",
    "caption",  "trackbar",        "gauge",        "framegauge",        "frameregulator", "label",
    "bitlabel", "switch",          "animate",      "userobject"};

// A skin with every element kind, pictures in all five frame slots and a
// two-picture list.
void fillSkin(TspSkinData& d) {
    d.SkinName = "Probe";
    d.SkinAuthor = "Tests";
    d.FPictureName = "frame.bmp";
    d.FPicture = solidBitmap(12, 9, 1);
    d.FInActivePictureName = "inactive.bmp";
    d.FInActivePicture = solidBitmap(12, 9, 2);
    d.FMaskName = "mask.bmp";
    d.FMask = solidBitmap(12, 9, 3);
    d.FRollUpPictureName = "rollup.bmp";
    d.FRollUpPicture = solidBitmap(12, 4, 4);
    d.FRollUpMaskName = "rollupmask.bmp";
    d.FRollUpMask = solidBitmap(12, 4, 5);
    for (int i = 0; i < 2; ++i) {
        d.FActivePicturesNames->Add("pic" + std::to_string(i) + ".bmp");
        d.FActivePictures.push_back(solidBitmap(7 + i, 5, uint8_t(10 + i)));
    }
    // Geometry the reader keeps as it is (corners on the client rect, mask
    // area and hit-test points set).
    d.LTPoint = d.HitTestLTPoint = {2, 3};
    d.RTPoint = d.HitTestRTPoint = {10, 3};
    d.LBPoint = d.HitTestLBPoint = {2, 7};
    d.RBPoint = d.HitTestRBPoint = {10, 7};
    d.ClRect = d.MaskRectArea = {2, 3, 10, 7};
    d.StretchType = spstVert;
    d.InActiveEffect = ieInvert;
    d.LayerFrame->PictureIndex = 1;
    d.HintWindow->FontStyle = fsBold | fsUnderline;
    d.SkinColors()->SetColorsToDefault();
    d.SkinColors()->SetcWindow(0x123456);
    d.AddSkinArea("area", {1, 2, 3, 4});
    int n = 0;
    for (const char* w : kControlWords) {
        auto c = CreateSkinControl(w, std::string("c_") + w);
        ASSERT_TRUE(c) << w;
        c->SkinRect = {n, n + 1, n + 20, n + 21};
        c->PictureIndex = n % 2;
        ++n;
        d.CtrlList.push_back(std::move(c));
    }
    for (const char* w : kObjectWords) {
        auto o = CreateSkinObject(w, std::string("o_") + w);
        ASSERT_TRUE(o) << w;
        o->SkinRect = {n, 0, n + 5, 5};
        ++n;
        d.ObjectList.push_back(std::move(o));
    }
    auto* bl = static_cast<TspDataSkinBitLabel*>(d.ObjectList[12].get());
    bl->Symbols->Add("ABC");
    bl->Symbols->Add("DEF");
    d.Empty = false;
}

// Window messages of the skin family, as "<form name>:<number>".
std::vector<std::string> g_log;

class TfrmSkinProbe : public TForm {
public:
    explicit TfrmSkinProbe(TComponent* AOwner) : TForm(AOwner) {}
    std::function<void(UINT)> OnSkinMessage;
    void WndProc(TMessage& M) override {
        if (M.Msg >= 1225 && M.Msg <= 1427 && M.LParam == kSkinMessageLParam) {
            g_log.push_back(Name() + ":" + std::to_string(M.Msg));
            if (OnSkinMessage) OnSkinMessage(M.Msg);
        }
        TForm::WndProc(M);
    }
};

class TspFormLayerWindow : public TfrmSkinProbe {
public:
    using TfrmSkinProbe::TfrmSkinProbe;
};

class SkinDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application->Initialize();
        g_log.clear();
    }
    void TearDown() override {
        Application->DestroyComponents();
        Application->ProcessMessages();
    }
    TfrmSkinProbe* form(const std::string& name) {
        auto* f = new TfrmSkinProbe(Application);
        f->SetName(name);
        return f;
    }
    // A compressed skin file of the probe skin.
    std::string probeSkn(const TempDir& dir) {
        TspSkinData d(nullptr);
        fillSkin(d);
        std::string file = dir.file("probe.skn");
        d.SaveToCompressedFile(file);
        return file;
    }
};

// ---- Sections against fixtures ------------------------------------------------------------

TEST_F(SkinDataTest, ElementSectionsReadTheirKeysDefaultsAndFallbacks) {
    TempDir dir;
    dir.write("skin.ini", ReadFileBytes(fixture("elements.ini")));
    solidBitmap(4, 4, 0)->SaveToFile(dir.file("frame_mask.bmp"));
    TspSkinData d(nullptr);
    d.LoadFromFile(dir.file("skin.ini"));
    ASSERT_FALSE(d.Empty);

    auto ctrl = [&](const char* n) { return d.CtrlList.at(size_t(d.GetControlIndex(n))).get(); };
    auto obj = [&](const char* n) { return d.ObjectList.at(size_t(d.GetIndex(n))).get(); };
    struct Case {
        const char* What;
        std::function<bool()> Holds;
    };
    const Case cases[] = {
        {"capitals are an unknown stretch word", [&] { return d.StretchType == spstHorz; }},
        {"absent mdi stretch type is full", [&] { return d.MDIBGStretchType == spstFull; }},
        {"unknown inactive effect is grey scale", [&] { return d.InActiveEffect == ieGrayScale; }},
        {"hex integers read", [&] { return d.CursorIndex == 16; }},
        {"empty mask area takes the client rect",
         [&] { return d.MaskRectArea == TRect(12, 22, 88, 78); }},
        {"hit-test points default to the corners as read",
         [&] { return d.HitTestRBPoint == TPoint(95, 80); }},
        {"corner points are pulled onto the client rect",
         [&] { return d.LTPoint == TPoint(12, 22) && d.RBPoint == TPoint(88, 78); }},
        {"layer frame keys read", [&] { return d.LayerFrame->AlphaBlendValue == 200; }},
        {"missing layer picture is none", [&] { return d.LayerFrame->PictureIndex == -1; }},
        {"area entries, without colon an empty area",
         [&] {
             return d.AreaList.size() == 2 && d.AreaList[0]->AreaRect == TRect(1, 2, 3, 4) &&
                    d.AreaList[1]->IDName.empty() && IsEmptyRect(d.AreaList[1]->AreaRect);
         }},
        {"unknown kinds are skipped",
         [&] { return d.CtrlList.size() == 10 && d.ObjectList.size() == 5; }},
        {"the first of two equal names is found", [&] { return d.GetControlIndex("btn") == 0; }},
        {"lookups are case-sensitive", [&] { return d.GetControlIndex("BTN") == -1; }},
        {"a boolean of 2 is false",
         [&] { return !static_cast<TspDataSkinButtonControl*>(ctrl("btn"))->LeftStretch; }},
        {"a bad integer reads the default", [&] { return ctrl("btn")->CursorIndex == -1; }},
        {"font styles in any order",
         [&] {
             return static_cast<TspDataSkinButtonControl*>(ctrl("btn"))->FontStyle ==
                    (fsBold | fsItalic);
         }},
        {"absent button keys read their defaults",
         [&] {
             auto* b = static_cast<TspDataSkinButtonControl*>(ctrl("btn"));
             return b->AnimateInterval == 25 && b->GlowLayerAlphaBlendValue == 255 &&
                    b->FontHeight == 14;
         }},
        {"frame count below 1 reads 1",
         [&] {
             return static_cast<TspDataSkinFrameGauge*>(ctrl("fg"))->FramesCount == 1 &&
                    static_cast<TspDataSkinFrameGauge*>(ctrl("fg2"))->FramesCount == 1;
         }},
        {"placement words are case-sensitive",
         [&] {
             return static_cast<TspDataSkinFrameGauge*>(ctrl("fg"))->FramesPlacement ==
                        fpVertical &&
                    static_cast<TspDataSkinFrameGauge*>(ctrl("fg2"))->FramesPlacement == fpVertical;
         }},
        {"std label active colour default",
         [&] {
             return static_cast<TspDataSkinStdLabelControl*>(ctrl("lbl"))->ActiveFontColor ==
                    0xFF0000;
         }},
        {"up-down corners are zeroed",
         [&] {
             auto* u = static_cast<TspDataSkinUpDownControl*>(ctrl("ud"));
             return u->LTPoint == TPoint() && IsEmptyRect(u->ClRect);
         }},
        {"list box scroll bar names",
         [&] {
             auto* l = static_cast<TspDataSkinListBox*>(ctrl("lb"));
             return l->VScrollBarName == "vscrollbar" && l->BothScrollBarName == "both";
         }},
        {"control bar item offset default 3",
         [&] { return static_cast<TspDataSkinControlBar*>(ctrl("bar"))->ItemOffset1 == 3; }},
        {"tree view background read as 0 though made white",
         [&] {
             return static_cast<TspDataSkinTreeView*>(ctrl("tv"))->BGColor == 0 &&
                    TspDataSkinTreeView("t").BGColor == 0xFFFFFF;
         }},
        {"menu item active check falls back",
         [&] {
             return static_cast<TspDataSkinMenuItem*>(obj("mi"))->ActiveCheckImageRect ==
                    TRect(0, 0, 10, 10);
         }},
        {"restore hint for an exact maximize hint",
         [&] { return static_cast<TspDataSkinStdButton*>(obj("max"))->RestoreHint == "Restore"; }},
        {"no restore hint for lower case",
         [&] { return static_cast<TspDataSkinStdButton*>(obj("maxlc"))->RestoreHint.empty(); }},
        {"animate never morphs, unknown command is to tray",
         [&] {
             auto* a = static_cast<TspDataSkinAnimate*>(obj("anim"));
             return !a->Morphing && a->Command == cmMinimizeToTray && a->CountFrames == 1;
         }},
        {"user object keeps only its three keys",
         [&] {
             auto* u = obj("user");
             return u->Hint.empty() && u->ActivePictureIndex == -1 &&
                    u->SkinRect == TRect(1, 2, 3, 4);
         }},
        {"colours: system colour numbers and dollar hex",
         [&] {
             return d.SkinColors()->cBtnFace() == -16777201 &&
                    d.SkinColors()->cBtnText() == 0x00FF00 && d.SkinColors()->cWindow() == 0;
         }},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(c.Holds()) << c.What;
}

TEST_F(SkinDataTest, TabStretchFlagsSurviveAWriteAndRead) {
    TspDataSkinTabControl t("tab");
    t.LeftStretch = t.BottomStretch = true;
    TMemIniFile ini;
    t.SaveToFile(&ini);
    TspDataSkinTabControl back("tab");
    back.LoadFromFile(&ini);
    EXPECT_TRUE(back.LeftStretch);
    EXPECT_FALSE(back.TopStretch);
    EXPECT_FALSE(back.RightStretch);
    EXPECT_TRUE(back.BottomStretch);
}

TEST_F(SkinDataTest, BitLabelSymbolsAreAppendedOnEveryRead) {
    TMemIniFile ini;
    ini.SetText("[b]\nsymbolslinecount=1\nsymbolsline0=AB\n");
    TspDataSkinBitLabelControl b("b");
    b.LoadFromFile(&ini);
    b.LoadFromFile(&ini);
    EXPECT_EQ(b.Symbols->Count(), 2);
}

TEST_F(SkinDataTest, FolderTextsThatAreNoSkinChangeNothing) {
    TfrmSkinProbe* f = form("f");
    (void)f;
    TspSkinData d(nullptr);
    d.LoadFromFile(fixture("notaskin.ini"));
    d.LoadFromFile(fixture("missing.ini"));
    EXPECT_TRUE(d.Empty);
    EXPECT_TRUE(g_log.empty());
}

// ---- Round trips --------------------------------------------------------------------------

TEST_F(SkinDataTest, SkinTextWrittenAndReadBackKeepsEveryElement) {
    TspSkinData d(nullptr);
    fillSkin(d);
    TMemIniFile ini;
    d.SaveToCustomIniFile(&ini);
    EXPECT_EQ(ini.ReadString("SKINCONTROLS", "4", ""), "c_menubutton:menubutton");
    EXPECT_EQ(ini.ReadString("SKINOBJECTS", "3", ""), "o_mainmenubarbutton:mainmenubarbutton");
    EXPECT_EQ(ini.ReadString("SKINCOLORS", "cbtnface", ""), "-16777201");

    TempDir dir;
    dir.write("skin.ini", ini.GetText());
    for (const char* n : {"frame.bmp", "inactive.bmp", "mask.bmp", "rollup.bmp", "rollupmask.bmp",
                          "pic0.bmp", "pic1.bmp"})
        solidBitmap(2, 2, 0)->SaveToFile(dir.file(n));
    TspSkinData back(nullptr);
    back.LoadFromFile(dir.file("skin.ini"));
    EXPECT_TRUE(skinText(back) == skinText(d));
    ASSERT_EQ(back.CtrlList.size(), std::size(kControlWords));
    for (size_t i = 0; i < back.CtrlList.size(); ++i)
        EXPECT_STREQ(back.CtrlList[i]->KindWord(), kControlWords[i]);
}

TEST_F(SkinDataTest, FolderSkinStoredToDiskLoadsBackEqual) {
    TspSkinData d(nullptr);
    fillSkin(d);
    TempDir dir;
    d.StoreToDisk(dir.path() + "/");
    TspSkinData back(nullptr);
    back.LoadFromFile(dir.file("skin.ini"));
    EXPECT_FALSE(back.Empty);
    EXPECT_TRUE(snapshot(back) == snapshot(d));
}

TEST_F(SkinDataTest, StoreToDiskWritesEachPictureListByItsOwnCount) {
    TspSkinData d(nullptr);
    fillSkin(d);
    d.FActivePicturesNames->Add("extra.bmp"); // a name without a picture
    TempDir dir;
    d.StoreToDisk(dir.path() + "/");
    EXPECT_TRUE(dir.exists("pic1.bmp"));
    EXPECT_FALSE(dir.exists("extra.bmp"));
}

TEST_F(SkinDataTest, CompressedSkinLoadsBackEqualAndWithoutCursors) {
    TempDir dir;
    std::string file = probeSkn(dir);
    TspSkinData expected(nullptr);
    fillSkin(expected);
    TspSkinData back(nullptr);
    back.LoadFromCompressedFile(file);
    EXPECT_FALSE(back.Empty);
    EXPECT_TRUE(snapshot(back) == snapshot(expected));
    EXPECT_EQ(back.FCursorsNames->Count(), 0);
}

// ---- Compressed skin files ------------------------------------------------------------------

std::string le32(int32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[size_t(i)] = char((uint32_t(v) >> (8 * i)) & 0xFF);
    return s;
}

std::string deflated(const std::string& payload) {
    TMemoryStream src;
    src.WriteString(payload);
    TMemoryStream dst;
    CompressStream(&src, &dst);
    return std::string(static_cast<const char*>(dst.Memory()), size_t(dst.Size()));
}

std::string bmpFile(int w, int h) {
    return bitmapBytes(solidBitmap(w, h, 9).get());
}

const char kMinimalText[] = "[VERSION]\r\nskinname=Mini\r\n[FORMINFO]\r\nclientrect=1,1,4,4\r\n";

TEST_F(SkinDataTest, PayloadVersionsChooseTheirFramePictures) {
    struct Case {
        int32_t Version;
        bool Inactive, RollUp;
    };
    for (Case c :
         {Case{3, true, false}, Case{1, false, true}, Case{0, false, false}, Case{2, true, true}}) {
        std::string p = le32(c.Version) + '\0' + bmpFile(3, 2);
        if (c.Inactive) p += '\0' + bmpFile(4, 2);
        p += '\1'; // no mask
        if (c.RollUp) p += '\0' + bmpFile(5, 2) + '\1';
        p += le32(0) + kMinimalText;
        TempDir dir;
        std::string file = dir.write("v.skn", le32(3) + le32(int32_t(deflated(p).size())) +
                                                  deflated(p) + "trailing bytes");
        TspSkinData d(nullptr);
        d.LoadFromCompressedFile(file);
        EXPECT_EQ(d.SkinName, "Mini") << c.Version;
        EXPECT_EQ(d.FPicture->Width(), 3);
        EXPECT_EQ(d.FInActivePicture->Width(), c.Inactive ? 4 : 0) << c.Version;
        EXPECT_EQ(d.FRollUpPicture->Width(), c.RollUp ? 5 : 0) << c.Version;
        EXPECT_TRUE(d.FMask->Empty());
        EXPECT_TRUE(d.FActivePictures.empty());
    }
}

TEST_F(SkinDataTest, UnreadableHeadersLeaveTheStoredSkinEmpty) {
    TempDir dir;
    std::string data = deflated(le32(2) + "\1\1\1\1\1" + le32(0) + kMinimalText);
    for (const std::string& bytes : {le32(4) + le32(int32_t(data.size())) + data,
                                     le32(2) + le32(-5) + data, le32(2) + le32(0) + data}) {
        std::string file = dir.write("h.skn", bytes);
        TspCompressedStoredSkin s(nullptr);
        s.LoadFromCompressFile(file);
        EXPECT_TRUE(s.Empty());
    }
    TspCompressedStoredSkin empty(nullptr);
    empty.SaveToCompressFile(dir.file("none.skn"));
    EXPECT_FALSE(dir.exists("none.skn"));
    EXPECT_THROW(empty.LoadFromCompressFile(dir.file("missing.skn")), EFOpenError);
}

TEST_F(SkinDataTest, DamagedSkinsRaiseAndTheSkinInUseStays) {
    TempDir dir;
    TspSkinData d(nullptr);
    d.LoadFromCompressedFile(probeSkn(dir));
    std::string before = snapshot(d);
    TfrmSkinProbe* f = form("f");
    (void)f;
    g_log.clear();

    std::string bmp = bmpFile(3, 2);
    std::string lyingSize = bmp;
    lyingSize[2] = char(0xFF), lyingSize[3] = char(0xFF); // size beyond the data
    const std::string payloads[] = {
        le32(2) + '\0' + lyingSize + "\1\1\1\1" + le32(0) + kMinimalText,
        le32(2) + "\1\1\1\1\1" + le32(0x7FFFFFFF) + kMinimalText, // picture count
        le32(2) + "\1\1\1\1\1" + le32(1) + "BM" + std::string(60, '\0'),
        le32(2) + "\1\1",                                                      // cut short
        le32(2) + "\1\1\1\1\1" + le32(0) + "[FORMINFO]\r\nclientrect=1,x\r\n", // bad rect
    };
    for (const std::string& p : payloads) {
        std::string z = deflated(p);
        std::string file = dir.write("bad.skn", le32(2) + le32(int32_t(z.size())) + z);
        EXPECT_ANY_THROW(d.LoadFromCompressedFile(file));
        EXPECT_FALSE(d.Empty);
        EXPECT_FALSE(d.ChangeSkinDataProcess);
        EXPECT_TRUE(snapshot(d) == before);
    }
    std::string notZlib = dir.write("nz.skn", le32(2) + le32(8) + "garbage!");
    EXPECT_THROW(d.LoadFromCompressedFile(notZlib), EDecompressionError);
    std::string cut = dir.write("cut.skn", le32(2) + le32(100) + "short");
    EXPECT_THROW(d.LoadFromCompressedFile(cut), EReadError);
    EXPECT_THROW(d.LoadFromFile(fixture("badrect.ini")), EConvertError);
    EXPECT_TRUE(snapshot(d) == before);
    EXPECT_TRUE(g_log.empty());
}

// A 1-bit bitmap file: eight pixels a byte, so a wide picture takes few bytes.
std::string oneBitBmp(int32_t w, int32_t h) {
    const int32_t stride = (w + 31) / 32 * 4, image = stride * h;
    std::string header = "BM" + le32(62 + image) + le32(0) + le32(62) + le32(40) + le32(w) +
                         le32(h) + std::string("\1\0\1\0", 4) + le32(0) + le32(image) + le32(0) +
                         le32(0) + le32(0) + le32(0);
    return header + le32(0) + le32(0xFFFFFF) + std::string(size_t(image), '\0');
}

TEST_F(SkinDataTest, ValuesAndPicturesBeyondTheLimitsAreRefused) {
    TempDir dir;
    TspSkinData d(nullptr);
    d.LoadFromCompressedFile(probeSkn(dir));
    const std::string before = snapshot(d);
    form("f");
    g_log.clear();
    const std::string frame = '\0' + bmpFile(3, 2);
    // FORMINFO keys and whatever sections follow them.
    auto withText = [&](const std::string& text) {
        return le32(0) + frame + '\1' + le32(0) + "[VERSION]\r\nskinname=Mini\r\n[FORMINFO]\r\n" +
               text;
    };
    auto withPictures = [&](const std::vector<std::string>& list) {
        std::string p = le32(0) + frame + '\1' + le32(int32_t(list.size()));
        for (const std::string& b : list)
            p += b;
        return p + kMinimalText;
    };
    const std::string big = oneBitBmp(4096, 4096);
    struct Case {
        const char* What;
        std::string Payload;
        const char* Named; // a word the message names
    } cases[] = {
        {"a border width that overflows", withText("borderwidth=-2147483648\r\n"), "borderwidth"},
        {"a huge client rectangle", withText("clientrect=0,0,2147483647,40\r\n"), "clientrect"},
        {"a minimum width that overflows", withText("formminwidth=2147483647\r\n"), "formminwidth"},
        {"a point past the limit",
         withText("[SKINCONTROLS]\r\ncount=1\r\n0=b:button\r\n[b]\r\n"
                  "leftbottompoint=0,16385\r\n"),
         "leftbottompoint"},
        {"a number past the limit",
         withText("[SKINCONTROLS]\r\ncount=1\r\n0=b:button\r\n[b]\r\nanimateinterval=99999\r\n"),
         "animateinterval"},
        {"a picture wider than a side may be", withPictures({oneBitBmp(16385, 1)}), "16385"},
        {"a picture of too many pixels", withPictures({oneBitBmp(4097, 4096)}), "4097"},
        {"pictures of too many pixels together", withPictures({big, big, big, big, big}), "pixels"},
        {"a header that claims a huge picture",
         le32(0) + '\0' + "BM" + le32(62) + oneBitBmp(36000, 36000).substr(6, 56) + '\1' + le32(0) +
             kMinimalText,
         "36000"},
        {"no frame picture", le32(0) + "\1\1" + le32(0) + kMinimalText, "frame picture"},
    };
    for (const Case& c : cases) {
        std::string z = deflated(c.Payload);
        std::string file = dir.write("limit.skn", le32(2) + le32(int32_t(z.size())) + z);
        try {
            d.LoadFromCompressedFile(file);
            ADD_FAILURE() << c.What << " loaded";
        } catch (const ESkinDataError& e) {
            EXPECT_NE(std::string(e.what()).find(c.Named), std::string::npos)
                << c.What << ": " << e.what();
        }
        EXPECT_TRUE(snapshot(d) == before) << c.What;
    }
    EXPECT_TRUE(g_log.empty());

    // What lies just within the limits loads.
    std::string z = deflated(
        withPictures({oneBitBmp(16384, 1), oneBitBmp(1, 16384)}) +
        "[SKINCONTROLS]\r\ncount=1\r\n0=b:button\r\n[b]\r\nskinrect=-16384,0,16384,16384\r\n");
    d.LoadFromCompressedFile(dir.write("edge.skn", le32(2) + le32(int32_t(z.size())) + z));
    EXPECT_EQ(d.FActivePictures.at(0)->Width(), 16384);
    EXPECT_EQ(d.CtrlList.at(0)->SkinRect, TRect(-16384, 0, 16384, 16384));

    // Folder skins are held to the same limits before a picture is read.
    TempDir folder;
    folder.write("frame.bmp", bmpFile(3, 2));
    folder.write("wide.bmp", oneBitBmp(20000, 1));
    const std::string text = "[VERSION]\r\nskinname=F\r\n[PICTURES]\r\npicture=frame.bmp\r\n"
                             "activepicturescount=1\r\n0=wide.bmp\r\n"
                             "[FORMINFO]\r\nclientrect=1,1,2,2\r\n[SKINOBJECTS]\r\ncount=0\r\n"
                             "[SKINCONTROLS]\r\ncount=0\r\n";
    EXPECT_THROW(d.LoadFromFile(folder.write("skin.ini", text)), ESkinDataError);
    folder.write("wide.bmp", oneBitBmp(20, 1));
    d.LoadFromFile(folder.file("skin.ini"));
    EXPECT_EQ(d.SkinName, "F");
}

TEST_F(SkinDataTest, PictureNamesStayInsideTheSkinFolder) {
    for (const char* name : {"../x.bmp", "a/b.bmp", "a\\b.bmp", "..", "c:x.bmp", ""})
        EXPECT_FALSE(IsSafeSkinFileName(name)) << name;
    for (const char* name : {"frame.bmp", "my picture.jpg", "a.b.bmp"})
        EXPECT_TRUE(IsSafeSkinFileName(name)) << name;
    TspSkinData d(nullptr);
    EXPECT_THROW(d.LoadFromFile(fixture("escape.ini")), ESkinDataError);
    EXPECT_TRUE(d.Empty);
}

TEST_F(SkinDataTest, PayloadOfALaterVersionClearsTheSkinAndClosesTheChange) {
    TempDir dir;
    TspSkinData d(nullptr);
    d.LoadFromCompressedFile(probeSkn(dir));
    form("f");
    g_log.clear();
    std::string z = deflated(le32(4) + "anything");
    d.LoadFromCompressedFile(dir.write("v4.skn", le32(2) + le32(int32_t(z.size())) + z));
    EXPECT_TRUE(d.Empty);
    EXPECT_TRUE(d.CtrlList.empty());
    EXPECT_EQ(g_log, (std::vector<std::string>{"f:1225", "f:1226", "f:1227"}));
}

// ---- Messages -----------------------------------------------------------------------------------

TEST_F(SkinDataTest, LoadAnnouncesTheChangeOwnerFirstAndSkipsLayerWindows) {
    TempDir dir;
    std::string file = probeSkn(dir);
    TfrmSkinProbe* a = form("a");
    TfrmSkinProbe* owner = form("owner");
    auto* layer = new TspFormLayerWindow(Application);
    layer->SetName("layer");
    TfrmSkinProbe* b = form("b");
    (void)a, (void)b;
    TspSkinData d(owner);
    d.SetShowLayeredBorders(false);
    g_log.clear();
    bool modelReadyAtApply = false;
    owner->OnSkinMessage = [&](UINT m) {
        if (m == WM_SKIN_APPLYCHANGE) modelReadyAtApply = !d.Empty && d.ChangeSkinDataProcess;
    };
    d.LoadFromCompressedFile(file);
    EXPECT_TRUE(modelReadyAtApply);
    EXPECT_EQ(g_log,
              (std::vector<std::string>{"owner:1225", "a:1225", "b:1225", "owner:1226", "a:1226",
                                        "b:1226", "owner:1227", "a:1227", "b:1227"}));
}

TEST_F(SkinDataTest, LayeredBordersWalkTheFormsBackwardsWithoutSinglingOutTheOwner) {
    TempDir dir;
    std::string file = probeSkn(dir); // its layer frame has a picture
    form("a");
    TfrmSkinProbe* owner = form("owner");
    form("b");
    TspSkinData d(owner);
    d.LoadFromCompressedFile(file);
    g_log.clear();
    d.ClearSkin(); // the cleared skin has no layer picture: screen order
    d.LoadFromCompressedFile(file);
    EXPECT_EQ(std::vector<std::string>(g_log.begin(), g_log.begin() + 3),
              (std::vector<std::string>{"a:1225", "owner:1225", "b:1225"}));
    g_log.clear();
    d.SendSkinDataMessage(WM_SKIN_ENDCHANGE);
    EXPECT_EQ(g_log, (std::vector<std::string>{"b:1227", "owner:1227", "a:1227"}));
}

TEST_F(SkinDataTest, PropertyWritersSendTheirMessages) {
    form("f");
    TspSkinData d(nullptr);
    g_log.clear();
    d.SetShowLayeredBorders(true); // unchanged
    d.SetSkinnableForm(false);
    d.SetShowLayeredBorders(false);
    TspResourceStrData texts(nullptr);
    d.SetResourceStrData(&texts);
    d.SetResourceStrData(&texts); // sent again though unchanged
    d.ClearSkin();
    EXPECT_EQ(g_log, (std::vector<std::string>{"f:1294", "f:1427", "f:1274", "f:1274", "f:1225",
                                               "f:1226", "f:1227"}));
}

TEST_F(SkinDataTest, AFailingReceiverStillGetsTheChangeClosed) {
    TempDir dir;
    std::string file = probeSkn(dir);
    TfrmSkinProbe* f = form("f");
    f->OnSkinMessage = [](UINT m) {
        if (m == WM_SKIN_BEGINCHANGE) throw Exception("receiver failed");
    };
    TspSkinData d(nullptr);
    EXPECT_THROW(d.LoadFromCompressedFile(file), Exception);
    EXPECT_EQ(g_log, (std::vector<std::string>{"f:1225", "f:1226", "f:1227"}));
    EXPECT_FALSE(d.Empty);
    EXPECT_FALSE(d.ChangeSkinDataProcess);
}

TEST_F(SkinDataTest, StoredSkinsListsAndReferencesFollowTheirComponents) {
    TempDir dir;
    std::string file = probeSkn(dir);
    TspSkinData d(nullptr);
    auto* stored = new TspCompressedStoredSkin(nullptr);
    stored->LoadFromCompressFile(file);
    d.SetCompressedStoredSkin(stored);
    EXPECT_EQ(d.SkinName, "Probe");
    d.SetCompressedStoredSkin(nullptr);
    EXPECT_FALSE(d.Empty); // forgetting the reference keeps the skin

    TspCompressedSkinList list(nullptr);
    for (int i = 0; i < 3; ++i)
        list.Skins()->Add();
    EXPECT_EQ(list.Skins()->Items(2)->Name, "spSkin2");
    TStringStream s;
    stored->SaveToCompressStream(&s);
    list.Skins()->Items(2)->ReadSkinProperty(&s);
    d.ClearSkin();
    d.SetSkinList(&list);
    d.SetSkinIndex(5);
    EXPECT_EQ(d.SkinIndex(), 0);
    EXPECT_TRUE(d.Empty);
    d.SetSkinIndex(2);
    EXPECT_FALSE(d.Empty);
    d.SetCompressedStoredSkin(stored);
    delete stored;
    EXPECT_EQ(d.CompressedStoredSkin(), nullptr);
}

TEST_F(SkinDataTest, ClearObjectsResetsColoursAndPictureNumbers) {
    TspSkinData d(nullptr);
    EXPECT_EQ(d.SkinColors()->cBtnFace(), 0);
    fillSkin(d);
    d.ClearObjects();
    EXPECT_EQ(d.SkinColors()->cBtnFace(), spSystemColor(15));
    EXPECT_EQ(d.SkinColors()->c3DDkShadow(), spSystemColor(21));
    EXPECT_EQ(d.LayerFrame->PictureIndex, -1);
    EXPECT_TRUE(d.CtrlList.empty());
    EXPECT_EQ(SkinColorToColor(spSystemColor(15)), clBtnFace);
}

// ---- Interface texts ----------------------------------------------------------------------------

TEST_F(SkinDataTest, InterfaceTextsByNameWithoutRegardToCase) {
    TspResourceStrData t(nullptr);
    EXPECT_EQ(t.ResStrings()->Count(), 121);
    EXPECT_EQ(t.GetResStr("msg_btn_ok"), "OK");
    EXPECT_EQ(t.GetResStr("MI_MINTOTRAYCAPTION"), "Minimize to &Tray");
    EXPECT_EQ(t.GetResStr("NO_SUCH_NAME"), "");
    TStringList one;
    one.Add("A=B=C");
    t.SetResStrings(&one);
    EXPECT_EQ(t.GetResStr("a"), "B=C");
    EXPECT_EQ(t.CharSet(), 1);
}

// ---- Compression streams ------------------------------------------------------------------------

TEST(SkinZlibStreams, StreamsCompressSeekAndRestart) {
    TMemoryStream packed;
    {
        TCompressionStream z(TCompressionLevel::clMax, &packed);
        EXPECT_EQ(z.CompressionRate(), 0);
        std::string text(10000, 'a');
        z.WriteBuffer(text.data(), int64_t(text.size()));
        EXPECT_EQ(z.Seek(0, soCurrent), 10000);
        EXPECT_THROW(z.Seek(1, soCurrent), ECompressionError);
        EXPECT_THROW(z.Read(text.data(), 1), ECompressionError);
        EXPECT_GT(z.CompressionRate(), 90);
    }
    packed.SetPosition(0);
    TDecompressionStream z(&packed);
    char buf[16];
    EXPECT_EQ(z.Read(buf, 16), 16);
    EXPECT_EQ(z.Seek(100, soCurrent), 116);
    EXPECT_EQ(z.Seek(0, soBeginning), 0);
    EXPECT_EQ(z.Read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "aaaa");
    EXPECT_THROW(z.Seek(-1, soCurrent), EDecompressionError);
    EXPECT_THROW(z.Write(buf, 1), EDecompressionError);

    TMemoryStream empty;
    { TCompressionStream nothing(TCompressionLevel::clDefault, &empty); }
    TMemoryStream out;
    DecompressStream(&empty, &out);
    EXPECT_GT(empty.Size(), 0);
    EXPECT_EQ(out.Size(), 0);
}

TEST(SkinZlibStreams, InflatingPastTheLimitIsRefused) {
    TMemoryStream src;
    src.WriteString(std::string(100000, 'x'));
    TMemoryStream packed;
    CompressStream(&src, &packed);
    TMemoryStream out;
    EXPECT_THROW(DecompressStream(&packed, &out, 1000), EDecompressionError);
}

// ---- The shipped skins
// ----------------------------------------------------------------------------

TEST(ShippedSkins, FolderTextAndCompressedSkinReadBackEqual) {
    for (const char* name : {"Default", "Graphite"}) {
        TspSkinData folder(nullptr), packed(nullptr);
        folder.LoadFromFile(std::string(LANTROVE_BINARY_DIR) + "/skins-src/" + name + "/skin.ini");
        packed.LoadFromCompressedFile(std::string(LANTROVE_PROGRAM_DIR) + "/skins/" + name +
                                      ".skn");
        ASSERT_FALSE(folder.Empty) << name;
        ASSERT_FALSE(packed.Empty) << name;
        EXPECT_EQ(packed.SkinName, name);
        EXPECT_TRUE(snapshot(folder) == snapshot(packed)) << name;
    }
}

TEST(ShippedSkins, EveryElementTheFormsAndControlsLookUpIsThere) {
    struct Case {
        const char* Name;
        bool Object;
        std::function<bool(TObject*)> IsKind;
    };
    auto is = [](auto* probe) {
        using T = std::remove_pointer_t<decltype(probe)>;
        return [](TObject* o) { return dynamic_cast<T*>(o) != nullptr; };
    };
    const Case cases[] = {
        {"caption", true, is((TspDataSkinCaption*)nullptr)},
        {"closebutton", true, is((TspDataSkinStdButton*)nullptr)},
        {"maxbutton", true, is((TspDataSkinStdButton*)nullptr)},
        {"minbutton", true, is((TspDataSkinStdButton*)nullptr)},
        {"MENUITEM", true, is((TspDataSkinMenuItem*)nullptr)},
        {"menuitem", true, is((TspDataSkinMenuItem*)nullptr)},
        {"MAINMENUITEM", true, is((TspDataSkinMainMenuItem*)nullptr)},
        {"mainmenubaritem", true, is((TspDataSkinMainMenuBarItem*)nullptr)},
        {"mbclose", true, is((TspDataSkinMainMenuBarButton*)nullptr)},
        {"button", false, is((TspDataSkinButtonControl*)nullptr)},
        {"resizebutton", false, is((TspDataSkinButtonControl*)nullptr)},
        {"toolbutton", false, is((TspDataSkinButtonControl*)nullptr)},
        {"resizetoolbutton", false, is((TspDataSkinButtonControl*)nullptr)},
        {"bigtoolbutton", false, is((TspDataSkinButtonControl*)nullptr)},
        {"menuitembutton", false, is((TspDataSkinButtonControl*)nullptr)},
        {"combobutton", false, is((TspDataSkinButtonControl*)nullptr)},
        {"editbutton", false, is((TspDataSkinButtonControl*)nullptr)},
        {"toolmenubutton", false, is((TspDataSkinMenuButtonControl*)nullptr)},
        {"checkbox", false, is((TspDataSkinCheckRadioControl*)nullptr)},
        {"radiobox", false, is((TspDataSkinCheckRadioControl*)nullptr)},
        {"edit", false, is((TspDataSkinEditControl*)nullptr)},
        {"buttonedit", false, is((TspDataSkinEditControl*)nullptr)},
        {"memo", false, is((TspDataSkinMemoControl*)nullptr)},
        {"spinedit", false, is((TspDataSkinSpinEditControl*)nullptr)},
        {"combobox", false, is((TspDataSkinComboBox*)nullptr)},
        {"listbox", false, is((TspDataSkinListBox*)nullptr)},
        {"checklistbox", false, is((TspDataSkinCheckListBox*)nullptr)},
        {"hscrollbar", false, is((TspDataSkinScrollBarControl*)nullptr)},
        {"vscrollbar", false, is((TspDataSkinScrollBarControl*)nullptr)},
        {"bothhscrollbar", false, is((TspDataSkinScrollBarControl*)nullptr)},
        {"listview", false, is((TspDataSkinListView*)nullptr)},
        {"treeview", false, is((TspDataSkinTreeView*)nullptr)},
        {"tab", false, is((TspDataSkinTabControl*)nullptr)},
        {"hupdown", false, is((TspDataSkinUpDownControl*)nullptr)},
        {"vupdown", false, is((TspDataSkinUpDownControl*)nullptr)},
        {"stdlabel", false, is((TspDataSkinStdLabelControl*)nullptr)},
        {"label", false, is((TspDataSkinLabelControl*)nullptr)},
        {"menuheader", false, is((TspDataSkinLabelControl*)nullptr)},
        {"panel", false, is((TspDataSkinPanelControl*)nullptr)},
        {"statusbar", false, is((TspDataSkinPanelControl*)nullptr)},
        {"bevel", false, is((TspDataSkinBevel*)nullptr)},
        {"hsplitter", false, is((TspDataSkinSplitterControl*)nullptr)},
        {"vsplitter", false, is((TspDataSkinSplitterControl*)nullptr)},
        {"gauge", false, is((TspDataSkinGaugeControl*)nullptr)},
        {"vgauge", false, is((TspDataSkinGaugeControl*)nullptr)},
        {"trackbar", false, is((TspDataSkinTrackBarControl*)nullptr)},
        {"mainmenubar", false, is((TspDataSkinMainMenuBar*)nullptr)},
    };
    for (const char* skin : {"Default", "Graphite"}) {
        SCOPED_TRACE(skin);
        TspSkinData d(nullptr);
        d.LoadFromCompressedFile(std::string(LANTROVE_PROGRAM_DIR) + "/skins/" + skin + ".skn");
        ASSERT_FALSE(d.Empty);
        const int pictures = int(d.FActivePictures.size());
        auto picture = [&](int index) -> TBitmap* {
            return index >= 0 && index < pictures ? d.FActivePictures[size_t(index)].get()
                                                  : nullptr;
        };
        auto inside = [](const TRect& r, TBitmap* pic) {
            return pic && !IsEmptyRect(r) && r.Left >= 0 && r.Top >= 0 && r.Right <= pic->Width() &&
                   r.Bottom <= pic->Height();
        };
        for (const Case& c : cases) {
            int i = c.Object ? d.GetIndex(c.Name) : d.GetControlIndex(c.Name);
            ASSERT_GE(i, 0) << c.Name;
            TObject* e = c.Object ? static_cast<TObject*>(d.ObjectList[size_t(i)].get())
                                  : static_cast<TObject*>(d.CtrlList[size_t(i)].get());
            EXPECT_TRUE(c.IsKind(e)) << c.Name;
            if (!c.Object) {
                // A control's picture number names a picture the skin has, and
                // its image lies inside that picture.
                auto* ctl = static_cast<TspDataSkinControl*>(e);
                if (ctl->PictureIndex < 0) continue;
                EXPECT_TRUE(inside(ctl->SkinRect, picture(ctl->PictureIndex))) << c.Name;
            }
        }
        // Caption buttons, in the frame and in the menu bar, have a disabled look.
        for (const char* name :
             {"closebutton", "maxbutton", "minbutton", "mbclose", "mbmax", "mbmin"}) {
            auto* b = dynamic_cast<TspDataSkinStdButton*>(
                d.ObjectList.at(size_t(d.GetIndex(name))).get());
            ASSERT_NE(b, nullptr) << name;
            EXPECT_TRUE(inside(b->DisableSkinRect, picture(b->ActivePictureIndex))) << name;
        }
        // The hint window and the popup window each have a picture of their
        // own, with their corners and client rectangle inside it.
        for (auto [what, index, lt, rb, client] :
             {std::tuple{"hint", d.HintWindow->WindowPictureIndex, d.HintWindow->LTPoint,
                         d.HintWindow->RBPoint, d.HintWindow->ClRect},
              std::tuple{"popup", d.PopupWindow->WindowPictureIndex, d.PopupWindow->LTPoint,
                         d.PopupWindow->RBPoint, d.PopupWindow->ItemsRect}}) {
            TBitmap* pic = picture(index);
            ASSERT_NE(pic, nullptr) << what;
            EXPECT_LE(pic->Width(), 64) << what;
            EXPECT_LE(pic->Height(), 64) << what;
            EXPECT_TRUE(inside(TRect(lt.X, lt.Y, rb.X, rb.Y), pic)) << what;
            EXPECT_TRUE(inside(client, pic)) << what;
        }
        EXPECT_EQ(d.StatusBarName, "statusbar");
        EXPECT_FALSE(d.FPicture->Empty());
        EXPECT_EQ(d.LayerFrame->PictureIndex, -1);
    }
}

} // namespace
