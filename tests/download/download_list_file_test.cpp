#include "download/MultiDownloader.h"

#include "classlib/inifiles.h"
#include "download_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using httptest::ReadWholeFile;
using httptest::TempFolder;
using httptest::WriteWholeFile;

namespace {

struct Expected {
    std::string url, file, caption;
    std::vector<std::string> comment;
    EDownloadState state;
    TRedirOptions redirect;
};

void ExpectItems(TMultiDownloader& q, const std::vector<Expected>& items) {
    TDownloadList* list = q.DownloadList();
    ASSERT_EQ(list->ItemCount(), static_cast<int>(items.size()));
    for (int i = 0; i < list->ItemCount(); ++i) {
        SCOPED_TRACE(i);
        const TDownloadItem* item = list->Items(i);
        const Expected& e = items[i];
        EXPECT_EQ(item->URL, e.url);
        EXPECT_EQ(item->FileName, e.file);
        EXPECT_EQ(item->Caption, e.caption);
        ASSERT_EQ(item->Comment()->Count(), static_cast<int>(e.comment.size()));
        for (int k = 0; k < item->Comment()->Count(); ++k)
            EXPECT_EQ(item->Comment()->Strings(k), e.comment[k]);
        EXPECT_EQ(item->DownloadState(), e.state);
        EXPECT_EQ(item->ProgressPercent, e.state == KFinished ? 100 : 0);
        EXPECT_EQ(item->RedirectOptions, e.redirect);
        EXPECT_EQ(item->OrgRedirectOptions, e.redirect);
    }
}

TEST(DownloadListFileTest, SavedListLoadsBackIdentically) {
    TempFolder folder;
    const std::string file = folder.File("downloadlist.sav");
    const std::vector<std::string> comment = {"Action=2",
                                              "Id=abc-_1",
                                              "Title=He said \"hi\", then left  ",
                                              "Long=212",
                                              "SavePath=/music/A, B/\"x\" y.mp3",
                                              "Artist= lead blank",
                                              "Bitrate=192"};
    {
        TMultiDownloader q(nullptr);
        q.SetMaxTasks(0); // nothing starts when a task finishes
        ASSERT_TRUE(
            q.Append("  http://site/watch?v=abc  ", folder.File("a b.mtd"), true, KYouTube, ""));
        ASSERT_TRUE(q.Append("http://site/2", "'quoted'", false, KDirect, ""));
        ASSERT_TRUE(q.Append("http://site/3", "\"x\"", true, KCustom, " http://r/, \"q\" "));
        TDownloadList* list = q.DownloadList();
        list->Items(0)->Caption = "  spaced, \"caption\"  ";
        for (const std::string& line : comment)
            list->Items(0)->Comment()->Add(line);
        list->Items(1)->SetDownloadState(KFinished);
        list->Items(2)->SetDownloadState(KFailed);
        // A redirected item keeps the address it was added under.
        list->Items(0)->URL = "http://media/resolved";
        list->SaveToFile(file);
    }
    TMemIniFile ini(file);
    EXPECT_EQ(ini.ReadInteger("Global", "ItemCount", -1), 3);
    EXPECT_EQ(ini.ReadString("0", "URL", ""), "http://site/watch?v=abc");
    EXPECT_EQ(ini.ReadString("1", "State", ""), "5");
    EXPECT_EQ(ini.ReadString("2", "INeedRedirect", ""), "1");

    TMultiDownloader loaded(nullptr);
    loaded.DownloadList()->LoadFromFile(file);
    ExpectItems(loaded,
                {{"http://site/watch?v=abc", folder.File("a b.mtd"), "  spaced, \"caption\"  ",
                  comment, KReady, TRedirOptions{true, KYouTube, ""}},
                 {"http://site/2", "'quoted'", "", {}, KFinished, TRedirOptions{}},
                 {"http://site/3",
                  "\"x\"",
                  "",
                  {},
                  KReady,
                  TRedirOptions{true, KCustom, " http://r/, \"q\" "}}});
    EXPECT_EQ(loaded.UnfinishedTasksCount(), 2);

    const std::string again = folder.File("again.sav");
    loaded.DownloadList()->SaveToFile(again);
    // Byte for byte the same file, but for the failed task that came back ready.
    std::string original = ReadWholeFile(file);
    const size_t failed = original.find("State=7");
    ASSERT_NE(failed, std::string::npos);
    original.replace(failed, 7, "State=1");
    EXPECT_EQ(ReadWholeFile(again), original);
}

TEST(DownloadListFileTest, LoadingAddsAfterTheItemsAlreadyThere) {
    TempFolder folder;
    const std::string file = folder.File("list.sav");
    WriteWholeFile(file, "[Global]\nItemCount=3\n[0]\nURL=http://a/1\nFileName=one\n"
                         "[1]\nURL=http://a/2\nFileName=ONE\n[2]\nURL=http://a/3\nFileName=two\n"
                         "State=4\nRedirectTheme=9\n");
    TMultiDownloader q(nullptr);
    ASSERT_TRUE(q.Append("http://a/0", "zero", false, KDirect, ""));
    q.DownloadList()->LoadFromFile(file);
    TDownloadList* list = q.DownloadList();
    // The item whose file name repeats another (without regard to case) is left out.
    ASSERT_EQ(list->ItemCount(), 3);
    EXPECT_EQ(list->Items(0)->FileName, "zero");
    EXPECT_EQ(list->Items(1)->FileName, "one");
    EXPECT_EQ(list->Items(2)->FileName, "two");
    EXPECT_EQ(list->Items(2)->DownloadState(), KReady);
    // Missing keys give their defaults; an unknown theme reads as the default one.
    EXPECT_EQ(list->Items(1)->RedirectOptions, (TRedirOptions{false, KYouTube, ""}));
    EXPECT_EQ(list->Items(2)->RedirectOptions, (TRedirOptions{false, KYouTube, ""}));
}

TEST(DownloadListFileTest, DamagedFilesGiveWhatTheyHold) {
    TempFolder folder;
    struct Case {
        std::string name, content;
        int items;
    };
    std::string binary(4096, '\0');
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>((i * 131 + 7) % 256);
    for (const Case& c :
         {Case{"binary", binary, 0}, Case{"count-only", "[Global]\nItemCount=2000000000\n", 0},
          Case{"negative", "[Global]\nItemCount=-5\n[0]\nURL=x\n", 0},
          Case{"not-a-number", "[Global]\nItemCount=many\n[0]\nURL=x\n", 0},
          Case{"huge-count",
               "[Global]\nItemCount=99999\n[0]\nURL=http://x/\n"
               "FileName=f\n",
               1},
          Case{"empty", "", 0}}) {
        SCOPED_TRACE(c.name);
        WriteWholeFile(folder.File(c.name), c.content);
        TMultiDownloader q(nullptr);
        q.DownloadList()->LoadFromFile(folder.File(c.name));
        EXPECT_EQ(q.DownloadList()->ItemCount(), c.items);
    }
    TMultiDownloader q(nullptr);
    q.DownloadList()->LoadFromFile(folder.File("missing.sav"));
    EXPECT_EQ(q.DownloadList()->ItemCount(), 0);
}

TEST(DownloadListFileTest, AnUnwritablePlaceRaisesAClearError) {
    TempFolder folder;
    WriteWholeFile(folder.File("plain"), "a file, not a folder");
    TMultiDownloader q(nullptr);
    ASSERT_TRUE(q.Append("http://a/", "f", false, KDirect, ""));
    EXPECT_THROW(q.DownloadList()->SaveToFile(folder.File("plain/list.sav")), Exception);
}

} // namespace
