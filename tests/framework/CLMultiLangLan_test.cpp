#include "framework/CLMultiLangLan.h"

#include "platform/os/codepage.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

namespace {

std::string Value(TCLMultiLangLan& doc, const std::string& form, const std::string& comp,
                  const std::string& prop) {
    std::string v = "<unset>";
    doc.GetProp(form, comp, prop, v);
    return v;
}

TEST(CLMultiLangLan, ReadsSectionsKeysAndEscapes) {
    TCLMultiLangLan doc;
    doc.LoadFromString("ignored=before any section\r\n"
                       "[ AppRes ]\r\n"
                       "; a comment\r\n"
                       " Status.Ready = Ready \r\n"
                       "Lead=<SP>word\r\n"
                       "Plain= word\r\n"
                       "Two=first<br>second\r\n"
                       "Tail=end<Sp><sP>\r\n"
                       "[TfrmMain]\r\n"
                       "btnOk.Caption=&OK\r\n");
    EXPECT_EQ(Value(doc, "appres", "", "status.ready"), "Ready");
    EXPECT_EQ(Value(doc, "AppRes", "", "Lead"), " word");
    EXPECT_EQ(Value(doc, "AppRes", "", "Plain"), "word");
    EXPECT_EQ(Value(doc, "AppRes", "", "Two"), "first\r\nsecond");
    EXPECT_EQ(Value(doc, "AppRes", "", "Tail"), "end  ");
    EXPECT_EQ(Value(doc, "TfrmMain", "btnOk", "Caption"), "&OK");
    EXPECT_EQ(Value(doc, "AppRes", "", "ignored"), "<unset>");
    EXPECT_EQ(Value(doc, "Missing", "", "Lead"), "<unset>");
}

TEST(CLMultiLangLan, ChangedValuesSurviveSaveAndReload) {
    TempDir dir;
    TCLMultiLangLan doc;
    doc.SetProp("AppRes", "", "Multi", "one\r\ntwo\rthree\nfour");
    doc.SetProp("AppRes", "", "Blanks", "  padded ");
    doc.SetProp("AppRes", "", "AllBlank", "  ");
    doc.SetProp("TfrmMain", "lbl", "Caption", "Grüße 日本");
    EXPECT_NE(doc.ToString().find("Multi=one<BR>two<BR>three<BR>four"), std::string::npos);
    doc.SaveToFile(dir.file("x.lan"));

    TCLMultiLangLan again;
    again.LoadFromFile(dir.file("x.lan"));
    EXPECT_EQ(Value(again, "AppRes", "", "Multi"), "one\r\ntwo\r\nthree\r\nfour");
    EXPECT_EQ(Value(again, "AppRes", "", "Blanks"), "  padded ");
    EXPECT_EQ(Value(again, "AppRes", "", "AllBlank"), "  ");
    EXPECT_EQ(Value(again, "TfrmMain", "lbl", "Caption"), "Grüße 日本");
}

TEST(CLMultiLangLan, TextSurvivesASingleByteCodePage) {
    // Written as UTF-8 with a mark, so characters outside the code page stay.
    TempDir dir;
    ASSERT_TRUE(SetAnsiCodePage("WINDOWS-1252"));
    TCLMultiLangLan doc;
    doc.SetProp("AppRes", "", "Name", "日本語");
    doc.SaveToFile(dir.file("x.lan"));
    std::string bytes = dir.read("x.lan");
    TCLMultiLangLan again;
    again.LoadFromFile(dir.file("x.lan"));
    SetAnsiCodePage("");
    EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(Value(again, "AppRes", "", "Name"), "日本語");
}

TEST(CLMultiLangLan, ReadsByteOrderMarksAndTheAnsiCodePage) {
    TempDir dir;
    ASSERT_TRUE(SetAnsiCodePage("WINDOWS-1252"));
    dir.write("ansi.lan", "[AppRes]\r\nName=Gr\xFC\xDF\x65\r\n");
    dir.write("utf16.lan", std::string("\xFF\xFE[\0A\0]\0\n\0k\0=\0\xE9\0", 16));
    TCLMultiLangLan ansi, utf16;
    ansi.LoadFromFile(dir.file("ansi.lan"));
    utf16.LoadFromFile(dir.file("utf16.lan"));
    SetAnsiCodePage("");
    EXPECT_EQ(Value(ansi, "AppRes", "", "Name"), "Grüße");
    EXPECT_EQ(Value(utf16, "A", "", "k"), "é");
    TCLMultiLangLan missing;
    EXPECT_THROW(missing.LoadFromFile(dir.file("none.lan")), EFOpenError);
}

// A FIFO in place of a language file would block the reader; a huge file is
// not a language file.
TEST(CLMultiLangLan, RefusesWhatIsNoLanguageFile) {
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("fifo.lan").c_str(), 0600), 0);
    const std::string big = dir.write("big.lan", "[AppRes]\r\nName=x\r\n");
    std::filesystem::resize_file(big, (16u << 20) + 1); // sparse, so cheap
    for (const std::string name : {"fifo.lan", "big.lan"}) {
        TCLMultiLangLan doc;
        EXPECT_THROW(doc.LoadFromFile(dir.file(name)), EFOpenError) << name;
    }
}

TEST(CLMultiLangLan, SavingSortsSectionsAndEntries) {
    TempDir dir;
    TCLMultiLangLan doc;
    doc.LoadFromString("[TfrmMain]\nb.Caption=2\na.Caption=1\n"
                       "[Zeta]\nx=1\n"
                       "[AppRes]\nStatus.Ready=Ready\nAppName=Lantrove\n"
                       "[Empty]\n"
                       "[Info]\nVersion=1\nLanguage=Deutsch\n"
                       "[LibRes]\nk=v\nK=second\n");
    doc.SaveToFile(dir.file("s.lan"));
    EXPECT_EQ(dir.read("s.lan"), "\xEF\xBB\xBF"
                                 "[Info]\r\nVersion=1\r\nLanguage=Deutsch\r\n\r\n"
                                 "[LibRes]\r\nK=v\r\n\r\n" // the first of a twice-given name wins
                                 "[AppRes]\r\nAppName=Lantrove\r\nStatus.Ready=Ready\r\n\r\n"
                                 "[TfrmMain]\r\na.Caption=1\r\nb.Caption=2\r\n\r\n"
                                 "[Zeta]\r\nx=1\r\n\r\n");
}

TEST(CLMultiLangLan, SectionListsAndClearing) {
    TCLMultiLangLan doc;
    doc.LoadFromString("[Info]\nLanguage=X\n[SkinRes]\nA=<SP>a\nB=\n[TfrmMain]\nc=1\n"
                       "[TfrmOther]\nd=2\n");
    TStringList sl;
    sl.Add("B=keep?");
    sl.Add("Z=z");
    doc.GetSectionStrings("SkinRes", &sl);
    EXPECT_EQ(sl.Values("A"), " a");
    EXPECT_EQ(sl.IndexOfName("B"), -1); // an empty value removes the name
    EXPECT_EQ(sl.Values("Z"), "z");

    doc.ClearAllForm();
    std::string text = doc.ToString();
    EXPECT_EQ(text.find("TfrmMain"), std::string::npos);
    EXPECT_EQ(text.find("TfrmOther"), std::string::npos);
    EXPECT_NE(text.find("[SkinRes]"), std::string::npos);

    TCLMultiLangLan copy;
    copy.Assign(&doc);
    EXPECT_EQ(Value(copy, "Info", "", "Language"), "X");
    doc.ClearForm("Info");
    doc.UpdateData();
    EXPECT_EQ(doc.ToString().find("[Info]"), std::string::npos);
    EXPECT_EQ(Value(copy, "Info", "", "Language"), "X");
    copy.ClearAll();
    EXPECT_EQ(copy.ToString(), "");
}

} // namespace
