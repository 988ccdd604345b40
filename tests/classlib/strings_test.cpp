#include "classlib/strings.h"

#include "classlib/streams.h"
#include "platform/os/codepage.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

std::vector<std::string> Lines(const TStrings& s) {
    std::vector<std::string> out;
    for (int i = 0; i < s.Count(); ++i)
        out.push_back(s[i]);
    return out;
}

using V = std::vector<std::string>;

struct ForcedCodePage {
    explicit ForcedCodePage(const char* name) { EXPECT_TRUE(SetAnsiCodePage(name)); }
    ~ForcedCodePage() { SetAnsiCodePage(""); }
};

TEST(StringListTextTest, JoinsWithCrLfAndSplitsAnyLineBreak) {
    TStringList sl;
    sl.SetText("a\r\nb\nc\rd");
    EXPECT_EQ(Lines(sl), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(sl.Text(), "a\r\nb\r\nc\r\nd\r\n");
    sl.SetText("a\r\n");
    EXPECT_EQ(Lines(sl), (V{"a"}));
    sl.SetText("\r\n\n");
    EXPECT_EQ(Lines(sl), (V{"", ""}));
    sl.SetText("");
    EXPECT_EQ(sl.Count(), 0);
    EXPECT_EQ(sl.Text(), "");
}

TEST(StringListValuesTest, NamesMatchWithoutCaseAndFirstWins) {
    TStringList sl;
    sl.SetText("Action=Play\nid=1\nID=2\nnoseparator\nLong=a=b\nempty=");
    EXPECT_EQ(sl.Values("ACTION"), "Play");
    EXPECT_EQ(sl.Values("Id"), "1");
    EXPECT_EQ(sl.IndexOfName("id"), 1);
    EXPECT_EQ(sl.Values("Long"), "a=b"); // split at the first separator
    EXPECT_EQ(sl.Values("missing"), "");
    EXPECT_EQ(sl.Values("noseparator"), "");
    EXPECT_EQ(sl.Names(3), "");
    EXPECT_EQ(sl.ValueFromIndex(3), "");
    EXPECT_EQ(sl.Names(4), "Long");
    EXPECT_EQ(sl.ValueFromIndex(4), "a=b");
    EXPECT_EQ(sl.IndexOfName("empty"), 5);

    sl.SetValues("iD", "9"); // replaces the first match only
    EXPECT_EQ(sl[1], "iD=9");
    EXPECT_EQ(sl[2], "ID=2");
    sl.SetValues("Id", ""); // deletes the first match
    EXPECT_EQ(sl.Values("id"), "2");
    sl.SetValues("new", "x");
    EXPECT_EQ(sl[sl.Count() - 1], "new=x");
    sl.SetValues("absent", ""); // nothing to delete
    sl.SetValueFromIndex(0, "Stop");
    EXPECT_EQ(sl[0], "Action=Stop");

    TStringList colon;
    colon.SetNameValueSeparator(':');
    colon.SetText("Content-Type: text/html\nHost:x");
    EXPECT_EQ(colon.Values("host"), "x");
    EXPECT_EQ(colon.Values("content-type"), " text/html");
}

TEST(StringListValuesTest, CaseSensitiveListsMatchNamesExactly) {
    TStringList sl;
    sl.SetCaseSensitive(true);
    sl.SetText("Key=1\nkey=2");
    EXPECT_EQ(sl.Values("key"), "2");
    EXPECT_EQ(sl.IndexOf("KEY=1"), -1);
}

TEST(StringListDelimitedTest, CommaTextQuotesWhatNeedsIt) {
    TStringList sl;
    sl.Add("a");
    sl.Add("b c");
    sl.Add("d,e");
    sl.Add("say \"hi\"");
    sl.Add("");
    EXPECT_EQ(sl.CommaText(), "a,\"b c\",\"d,e\",\"say \"\"hi\"\"\",\"\"");
    TStringList one;
    one.Add("");
    EXPECT_EQ(one.CommaText(), "\"\"");
}

TEST(StringListDelimitedTest, CommaTextRoundTrips) {
    const std::vector<V> cases = {
        {},
        {""},
        {"a", "", "b"},
        {"plain", "two words", " lead", "trail ", "tab\there"},
        {"\"", "\"\"", "q\"uote", "comma,inside", "both \",\""},
        {"line\r\nbreak", "\xC3\xA4\xC3\xB6\xC3\xBC"},
    };
    for (const V& items : cases) {
        TStringList sl;
        for (const auto& s : items)
            sl.Add(s);
        TStringList back;
        back.SetCommaText(sl.CommaText());
        EXPECT_EQ(Lines(back), items) << sl.CommaText();
    }
}

TEST(StringListDelimitedTest, ReadingSplitsOnBlanksUnlessStrict) {
    TStringList sl;
    sl.SetCommaText("a b, \"c,d\" ,,e,");
    EXPECT_EQ(Lines(sl), (V{"a", "b", "c,d", "", "e", ""}));

    sl.SetDelimiter(';');
    sl.SetQuoteChar('\'');
    sl.SetStrictDelimiter(true);
    sl.SetDelimitedText("a b;'c;d'; e ");
    EXPECT_EQ(Lines(sl), (V{"a b", "c;d", " e "}));
    EXPECT_EQ(sl.DelimitedText(), "a b;'c;d'; e ");
    EXPECT_EQ(sl.Delimiter(), ';'); // CommaText leaves the settings alone
    sl.SetCommaText("x,y");
    EXPECT_EQ(sl.Delimiter(), ';');
    EXPECT_EQ(Lines(sl), (V{"x", "y"}));
}

TEST(StringListSortedTest, DuplicatesFollowTheSetting) {
    TStringList sl;
    sl.SetSorted(true);
    sl.Add("pear");
    sl.Add("Apple");
    sl.Add("fig");
    EXPECT_EQ(Lines(sl), (V{"Apple", "fig", "pear"}));
    EXPECT_EQ(sl.Add("APPLE"), 0); // dupIgnore: the existing index, nothing added
    EXPECT_EQ(sl.Count(), 3);
    int index = -1;
    EXPECT_TRUE(sl.Find("PEAR", index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(sl.Find("grape", index));
    EXPECT_EQ(index, 2);
    EXPECT_EQ(sl.IndexOf("FIG"), 1);

    sl.SetDuplicates(dupError);
    EXPECT_THROW(sl.Add("fig"), EStringListError);
    EXPECT_EQ(sl.Count(), 3);

    sl.SetDuplicates(dupAccept);
    sl.AddObject("Fig", nullptr);
    EXPECT_EQ(Lines(sl), (V{"Apple", "fig", "Fig", "pear"}));

    EXPECT_THROW(sl.Insert(0, "x"), EStringListError);
    EXPECT_THROW(sl.Put(0, "x"), EStringListError);
    EXPECT_THROW(sl.Exchange(0, 1), EStringListError);
}

TEST(StringListSortedTest, CaseSensitivityChangesOrderAndMatches) {
    TStringList sl;
    sl.SetText("b\nB\na\nA");
    sl.SetCaseSensitive(true);
    sl.SetSorted(true);
    EXPECT_EQ(Lines(sl), (V{"A", "B", "a", "b"}));
    EXPECT_EQ(sl.IndexOf("b"), 3);
    sl.SetCaseSensitive(false);
    EXPECT_EQ(sl.IndexOf("b"), sl.IndexOf("B"));

    TStringList custom;
    custom.SetText("10\n9\n100");
    custom.CustomSort(
        [](TStringList* l, int i, int j) { return StrToInt(l->Get(i)) - StrToInt(l->Get(j)); });
    EXPECT_EQ(Lines(custom), (V{"9", "10", "100"}));
}

TEST(StringListEditTest, EditingAndBounds) {
    TStringList sl;
    sl.SetText("a\nb\nc");
    sl.Move(0, 2);
    EXPECT_EQ(Lines(sl), (V{"b", "c", "a"}));
    sl.Exchange(0, 2);
    EXPECT_EQ(Lines(sl), (V{"a", "c", "b"}));
    sl.Insert(1, "x");
    sl.Delete(0);
    EXPECT_EQ(Lines(sl), (V{"x", "c", "b"}));
    EXPECT_THROW(sl.Get(3), EStringListError);
    EXPECT_THROW(sl.Delete(-1), EStringListError);
    EXPECT_THROW(sl.Insert(4, "y"), EStringListError);

    TStringList other;
    other.Add("z");
    other.AddStrings(sl);
    EXPECT_EQ(Lines(other), (V{"z", "x", "c", "b"}));
    other.AddStrings(other); // adding itself doubles it
    EXPECT_EQ(other.Count(), 8);
    other.Assign(sl);
    EXPECT_TRUE(other.Equals(sl));
    TPersistent* src = &sl;
    TStringList third;
    third.Assign(src);
    EXPECT_EQ(Lines(third), Lines(sl));
}

TEST(StringListObjectsTest, OwnedObjectsAreFreedWithTheirLines) {
    int freed = 0;
    struct Counted : TObject {
        explicit Counted(int& n) : n(n) {}
        ~Counted() override { ++n; }
        int& n;
    };
    {
        TStringList sl(true);
        auto* first = new Counted(freed);
        sl.AddObject("one", first);
        sl.AddObject("two", new Counted(freed));
        sl.AddObject("three", new Counted(freed));
        EXPECT_EQ(sl.Objects(0), first);
        EXPECT_EQ(sl.IndexOfObject(first), 0);
        sl.Delete(0);
        EXPECT_EQ(freed, 1);
        sl.Move(1, 0); // objects travel with their lines
        EXPECT_EQ(sl[0], "three");
        EXPECT_EQ(freed, 1);
        sl.Clear();
        EXPECT_EQ(freed, 3);
        sl.AddObject("four", new Counted(freed));
    }
    EXPECT_EQ(freed, 4);
}

TEST(StringListEventsTest, UpdatesHoldBackChangeEvents) {
    TStringList sl;
    int changing = 0, changed = 0;
    sl.OnChanging = [&](TObject*) { ++changing; };
    sl.OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, &sl);
        ++changed;
    };
    sl.Add("a");
    EXPECT_EQ(changed, 1);
    sl.BeginUpdate();
    sl.Add("b");
    sl.Add("c");
    sl.BeginUpdate();
    sl.Delete(0);
    sl.EndUpdate();
    EXPECT_EQ(changed, 1);
    sl.EndUpdate();
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(changing, 2);
    sl.SetText("x\ny\nz"); // one event for the whole text
    EXPECT_EQ(changed, 3);
    sl.EndUpdate(); // unbalanced: ignored
    EXPECT_EQ(sl.UpdateCount(), 0);
}

TEST(StringListFileTest, LoadChoosesEncodingByByteOrderMark) {
    TempDir tmp;
    ForcedCodePage cp("WINDOWS-1252");
    struct Case {
        const char* name;
        std::string bytes;
        TTextEncoding encoding;
    };
    const std::string ae = "\xC3\xA4"; // "ä" in UTF-8
    const Case cases[] = {
        {"utf8bom",
         "\xEF\xBB\xBF"
         "\xC3\xA4"
         "1\r\nb",
         TTextEncoding::UTF8BOM},
        {"utf16le",
         std::string("\xFF\xFE\xE4\x00"
                     "1\x00\r\x00\n\x00"
                     "b\x00",
                     12),
         TTextEncoding::UTF16LE},
        {"utf16be",
         std::string("\xFE\xFF\x00\xE4\x00"
                     "1\x00\n\x00"
                     "b",
                     10),
         TTextEncoding::UTF16BE},
        {"ansi",
         "\xE4"
         "1\nb",
         TTextEncoding::Ansi},
    };
    for (const Case& c : cases) {
        TStringList sl;
        sl.LoadFromFile(tmp.write(c.name, c.bytes));
        EXPECT_EQ(Lines(sl), (V{ae + "1", "b"})) << c.name;
        EXPECT_EQ(sl.Encoding(), c.encoding) << c.name;
    }
    // Broken input never crashes: an odd UTF-16 byte and bad UTF-8 after a mark.
    TStringList sl;
    sl.LoadFromFile(tmp.write("odd", std::string("\xFF\xFE"
                                                 "a\x00"
                                                 "b",
                                                 5)));
    EXPECT_EQ(sl[0], "a\xEF\xBF\xBD");
    sl.LoadFromFile(tmp.write("bad", "\xEF\xBB\xBF"
                                     "a\xFF"));
    EXPECT_EQ(sl[0], "a\xEF\xBF\xBD");
    EXPECT_THROW(sl.LoadFromFile(tmp.file("missing")), EFOpenError);
}

TEST(StringListFileTest, WithoutMarkTheAnsiCodePageDecides) {
    TempDir tmp;
    std::string f = tmp.write("plain", "\xC3\xA4");
    TStringList sl;
    {
        ForcedCodePage cp("UTF-8");
        sl.LoadFromFile(f);
        EXPECT_EQ(sl[0], "\xC3\xA4");
    }
    {
        ForcedCodePage cp("WINDOWS-1252");
        sl.LoadFromFile(f);
        EXPECT_EQ(sl[0], "\xC3\x83\xC2\xA4"); // two 1252 characters
    }
}

TEST(StringListFileTest, SaveWritesTheAskedEncoding) {
    TempDir tmp;
    ForcedCodePage cp("WINDOWS-1252");
    TStringList sl;
    sl.Add("\xC3\xA4\xE2\x82\xAC"); // "ä€"
    sl.Add("\xE4\xB8\xAD");         // a character 1252 lacks
    sl.SaveToFile(tmp.file("ansi"));
    EXPECT_EQ(tmp.read("ansi"), "\xE4\x80\r\n?\r\n");
    sl.SaveToFile(tmp.file("bom"), TTextEncoding::UTF8BOM);
    EXPECT_EQ(tmp.read("bom"), "\xEF\xBB\xBF\xC3\xA4\xE2\x82\xAC\r\n\xE4\xB8\xAD\r\n");
    sl.SaveToFile(tmp.file("le"), TTextEncoding::UTF16LE);
    TStringList back;
    back.LoadFromFile(tmp.file("le"));
    EXPECT_TRUE(back.Equals(sl));
    EXPECT_EQ(tmp.read("le").substr(0, 4), std::string("\xFF\xFE\xE4\x00", 4));

    TStringStream stream;
    sl.SaveToStream(&stream, TTextEncoding::UTF16BE);
    stream.SetPosition(0);
    back.LoadFromStream(&stream);
    EXPECT_TRUE(back.Equals(sl));
}

} // namespace
