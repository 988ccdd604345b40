#include "classlib/inifiles.h"

#include "platform/os/codepage.h"
#include "support/tempdir.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>

namespace {

using V = std::vector<std::string>;

std::vector<std::string> Lines(const TStrings& s) {
    std::vector<std::string> out;
    for (int i = 0; i < s.Count(); ++i)
        out.push_back(s[i]);
    return out;
}

struct ForcedCodePage {
    explicit ForcedCodePage(const char* name) { EXPECT_TRUE(SetAnsiCodePage(name)); }
    ~ForcedCodePage() { SetAnsiCodePage(""); }
};

const char kSample[] = "orphan=ignored\r\n"
                       "[Setting]\r\n"
                       "  SearchKeyURL =  http://127.0.0.1/s?q=  \r\n"
                       "; MaxTasks=99\r\n"
                       "Settings.MaxTasks=$10\r\n"
                       "not an entry\r\n"
                       "empty=\r\n"
                       "dup=first\r\n"
                       "DUP=second\r\n"
                       "\r\n"
                       "[ Other ]\n"
                       "a=1\n"
                       "[setting]\n"
                       "late=merged\n";

TEST(IniReadTest, CaseTrimmingCommentsAndFirstMatch) {
    TempDir tmp;
    TMemIniFile ini(tmp.write("s.dat", kSample));
    EXPECT_EQ(ini.ReadString("setting", "searchkeyurl", "-"), "http://127.0.0.1/s?q=");
    EXPECT_EQ(ini.ReadString("SETTING", "MaxTasks", "-"), "-"); // commented out
    EXPECT_EQ(ini.ReadString("setting", "empty", "-"), "");     // present but empty
    EXPECT_EQ(ini.ReadString("setting", "dup", "-"), "first");
    EXPECT_EQ(ini.ReadString("setting", "late", "-"), "merged"); // repeated section
    EXPECT_EQ(ini.ReadString("other", "A", "-"), "1");
    EXPECT_EQ(ini.ReadString("setting", "orphan", "-"), "-");
    EXPECT_EQ(ini.ReadString("setting", "not an entry", "-"), "-");
    EXPECT_EQ(ini.ReadString("nosection", "a", "-"), "-");

    TStringList sl;
    ini.ReadSections(&sl);
    EXPECT_EQ(Lines(sl), (V{"Setting", "Other"}));
    ini.ReadSection("SETTING", &sl);
    EXPECT_EQ(Lines(sl), (V{"SearchKeyURL", "Settings.MaxTasks", "empty", "dup", "DUP", "late"}));
    ini.ReadSectionValues("other", &sl);
    EXPECT_EQ(Lines(sl), (V{"a=1"}));
    EXPECT_TRUE(ini.SectionExists("OTHER"));
    EXPECT_FALSE(ini.SectionExists("none"));
    EXPECT_TRUE(ini.ValueExists("setting", "EMPTY"));
    EXPECT_FALSE(ini.ValueExists("setting", "MaxTasks"));
}

TEST(IniReadTest, TypedValuesAndFallBacks) {
    TMemIniFile ini;
    ini.SetText("[s]\nhex=$10\nhex2=0x1F\nneg=-5\nword=abc\nbool1=1\nbool2=2\nbooltrue=true\n"
                "boolzero=0\nfloat=46000.25\nbig=99999999999\n");
    EXPECT_EQ(ini.ReadInteger("s", "hex", -1), 16);
    EXPECT_EQ(ini.ReadInteger("s", "hex2", -1), 31);
    EXPECT_EQ(ini.ReadInteger("s", "neg", -1), -5);
    EXPECT_EQ(ini.ReadInteger("s", "word", -1), -1);
    EXPECT_EQ(ini.ReadInteger("s", "missing", 7), 7);
    EXPECT_EQ(ini.ReadInteger("s", "big", -1), -1); // beyond 32 bits
    EXPECT_EQ(ini.ReadInt64("s", "big", -1), 99999999999);
    EXPECT_TRUE(ini.ReadBool("s", "bool1", false));
    EXPECT_TRUE(ini.ReadBool("s", "bool2", false));
    EXPECT_FALSE(ini.ReadBool("s", "booltrue", false)); // only numbers count
    EXPECT_FALSE(ini.ReadBool("s", "boolzero", true));
    EXPECT_TRUE(ini.ReadBool("s", "missing", true));
    EXPECT_EQ(ini.ReadFloat("s", "float", 0), 46000.25);
    EXPECT_EQ(ini.ReadFloat("s", "word", 1.5), 1.5);
}

TEST(IniWriteTest, ValuesRoundTripExactly) {
    TempDir tmp;
    const std::vector<std::string> values = {
        "plain",
        "a,b;c",
        "\"quoted\"",
        "'single'",
        "  leading",
        "trailing  ",
        "a = b",
        "\"",
        "'",
        "\"mixed'",
        "; not a comment",
        "[not a section]",
        "\xC3\xA4\xE4\xB8\xAD",
        "",
        "x\"y\"z",
    };
    std::string f = tmp.file("round.ini");
    {
        TMemIniFile ini(f);
        for (size_t i = 0; i < values.size(); ++i)
            ini.WriteString("Values", "k" + std::to_string(i), values[i]);
        ini.WriteInteger("Typed", "int", -2147483647 - 1);
        ini.WriteBool("Typed", "yes", true);
        ini.WriteBool("Typed", "no", false);
        ini.WriteFloat("Typed", "float", 0.1 + 0.2);
        ini.WriteDateTime("Typed", "when", 46000.123456789);
        ini.UpdateFile();
    }
    TMemIniFile back(f);
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(back.ReadString("values", "K" + std::to_string(i), "-"), values[i]) << i;
    EXPECT_EQ(back.ReadInteger("Typed", "int", 0), -2147483647 - 1);
    EXPECT_EQ(back.ReadString("Typed", "yes", ""), "1");
    EXPECT_EQ(back.ReadString("Typed", "no", ""), "0");
    EXPECT_EQ(back.ReadFloat("Typed", "float", 0), 0.1 + 0.2);
    EXPECT_EQ(back.ReadDateTime("Typed", "when", 0), 46000.123456789);
}

TEST(IniWriteTest, FileIsUtf8WithMarkAndLineBreaksCannotInjectLines) {
    TempDir tmp;
    ForcedCodePage cp("WINDOWS-1252");
    std::string f = tmp.file("s.dat");
    TMemIniFile ini(f);
    ini.WriteString("setting", "Title", "\xC3\xA4");
    ini.WriteString("setting", "Evil", "x\r\n[setting]\r\nTitle=hijack");
    ini.UpdateFile();
    EXPECT_EQ(tmp.read("s.dat"), "\xEF\xBB\xBF[setting]\r\nTitle=\xC3\xA4\r\n"
                                 "Evil=x  [setting]  Title=hijack\r\n\r\n");
    TMemIniFile back(f);
    EXPECT_EQ(back.ReadString("setting", "title", ""), "\xC3\xA4");
}

TEST(IniReadTest, EncodingsOfTheFile) {
    TempDir tmp;
    ForcedCodePage cp("WINDOWS-1252");
    const std::string expected = "\xC3\xA4";
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"ansi", "[a]\r\nk=\xE4\r\n"},
        {"utf8", "\xEF\xBB\xBF[a]\r\nk=\xC3\xA4\r\n"},
        {"utf16le", std::string("\xFF\xFE[\0a\0]\0\n\0k\0=\0\xE4\0", 16)},
        {"utf16be", std::string("\xFE\xFF\0[\0a\0]\0\n\0k\0=\0\xE4", 16)},
    };
    for (const Case& c : cases) {
        TMemIniFile ini(tmp.write(c.name, c.bytes));
        EXPECT_EQ(ini.ReadString("A", "K", "-"), expected) << c.name;
    }
}

TEST(IniReadTest, DamagedAndEnormousFilesNeverCrash) {
    TempDir tmp;
    std::mt19937 rng(12345);
    for (int round = 0; round < 50; ++round) {
        std::string junk;
        size_t len = rng() % 4000;
        for (size_t i = 0; i < len; ++i) {
            static const char kPieces[] = "[]=;\r\n \"'\xFF\xFE\xEF\xBB\xBF\0az";
            junk += (rng() % 3 == 0) ? char(rng()) : kPieces[rng() % (sizeof kPieces - 1)];
        }
        TMemIniFile ini(tmp.write("junk", junk));
        TStringList sections;
        ini.ReadSections(&sections);
        for (int i = 0; i < sections.Count(); ++i) {
            TStringList values;
            ini.ReadSectionValues(sections[i], &values);
        }
        ini.UpdateFile();
        TMemIniFile again(tmp.file("junk"));
        TStringList sections2;
        again.ReadSections(&sections2);
        EXPECT_EQ(Lines(sections2), Lines(sections)) << "round " << round;
    }
    TMemIniFile brackets(tmp.write("brackets", "[\n[]\n[x\n=v\nk=v\n"));
    TStringList sl;
    brackets.ReadSections(&sl);
    EXPECT_EQ(Lines(sl), (V{"", "x"}));
    EXPECT_EQ(brackets.ReadString("x", "k", "-"), "v");
    EXPECT_EQ(brackets.ReadString("x", "", "-"), "v"); // "=v" has an empty name

    // Over the size limit: an empty document (the file is sparse, so cheap).
    std::string big = tmp.write("big", "[a]\nk=v\n");
    std::filesystem::resize_file(big, 65 * 1024 * 1024);
    TMemIniFile huge(big);
    huge.ReadSections(&sl);
    EXPECT_EQ(sl.Count(), 0);

    TMemIniFile missing(tmp.file("missing"));
    EXPECT_EQ(missing.ReadString("a", "b", "-"), "-");
}

TEST(IniWriteTest, FailedSaveKeepsTheSavedFile) {
    TempDir tmp;
    std::string f = tmp.file("setting.dat");
    TMemIniFile ini(f);
    ini.WriteString("setting", "Keep", "me");
    ini.UpdateFile();
    const std::string saved = tmp.read("setting.dat");

    // A file-size limit makes the next, larger write fail part way.
    ini.WriteString("setting", "Big", std::string(100000, 'x'));
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = old;
    limit.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_THROW(ini.UpdateFile(), EFCreateError);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(tmp.read("setting.dat"), saved);
    EXPECT_TRUE(ini.Modified());
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(tmp.path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1); // no temporary file left behind

    // A folder that does not exist cannot take the file either.
    ini.Rename(tmp.file("no/such/setting.dat"), false);
    EXPECT_THROW(ini.UpdateFile(), EFCreateError);
}

TEST(IniEditTest, EraseDeleteRenameAndImmediateWrites) {
    TempDir tmp;
    std::string f = tmp.write("a.ini", "[ShowAgain]\n1=0\n2=1\n[ShowAgainModuleResult]\n1=6\n");
    TIniFile ini(f);
    ini.DeleteKey("SHOWAGAIN", "1");
    EXPECT_FALSE(TMemIniFile(f).ValueExists("ShowAgain", "1")); // on disk at once
    ini.EraseSection("showagainmoduleresult");
    ini.WriteInteger("Flag", "AllUsers", 1);
    TMemIniFile disk(f);
    TStringList sl;
    disk.ReadSections(&sl);
    EXPECT_EQ(Lines(sl), (V{"ShowAgain", "Flag"}));
    EXPECT_EQ(disk.ReadInteger("flag", "allusers", 0), 1);

    // Two documents on one file keep each other's changes.
    TIniFile other(f);
    other.WriteString("Flag", "Second", "2");
    ini.WriteString("Flag", "Third", "3");
    EXPECT_EQ(other.ReadString("flag", "third", ""), "3");
    EXPECT_EQ(TMemIniFile(f).ReadString("flag", "second", ""), "2");

    TMemIniFile mem(f);
    mem.WriteString("x", "y", "z");
    EXPECT_FALSE(TMemIniFile(f).SectionExists("x")); // nothing written yet
    mem.Rename(tmp.write("b.ini", "[b]\nk=v\n"), true);
    EXPECT_EQ(mem.ReadString("b", "k", ""), "v");
    EXPECT_FALSE(mem.SectionExists("x"));
    mem.Clear();
    mem.GetStrings(&sl);
    EXPECT_EQ(sl.Count(), 0);
    EXPECT_FALSE(mem.SectionExists("b"));

    // Sections behind an erased one are still found, and it can come back.
    for (const char* name : {"a", "b", "c"})
        mem.WriteString(name, "k", name);
    mem.EraseSection("A");
    EXPECT_EQ(mem.ReadString("C", "k", ""), "c");
    EXPECT_EQ(mem.ReadString("a", "k", "gone"), "gone");
    mem.WriteString("a", "k", "again");
    EXPECT_EQ(mem.ReadString("A", "K", ""), "again");
}

TEST(IniEditTest, StringsInAndOut) {
    TStringList lines;
    lines.SetText("[Info]\nLanguage=English\n[AppRes]\nText.A= <SP>x \n");
    TMemIniFile ini;
    ini.SetStrings(&lines);
    EXPECT_EQ(ini.ReadString("info", "language", ""), "English");
    EXPECT_EQ(ini.ReadString("appres", "text.a", ""), "<SP>x");
    ini.WriteString("AppRes", "q", "\"kept\"");
    TStringList out;
    ini.GetStrings(&out);
    EXPECT_EQ(Lines(out), (V{"[Info]", "Language=English", "", "[AppRes]", "Text.A=<SP>x",
                             "q=\"\"kept\"\"", ""}));

    // Formats with their own escapes see values exactly as written.
    TMemIniFile raw;
    raw.SetQuoteValues(false);
    raw.SetText("[a]\nk=\"v\"\n");
    EXPECT_EQ(raw.ReadString("a", "k", ""), "\"v\"");
    raw.WriteString("a", "k", "'w'");
    EXPECT_EQ(raw.GetText(), "[a]\r\nk='w'\r\n\r\n");
}

} // namespace
