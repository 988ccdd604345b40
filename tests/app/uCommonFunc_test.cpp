// Shared routines: queuing, unique and safe file names, the temporary
// folder, the task count, the download list at start and recent keywords.
#include "app_test_support.h"

#include "classlib/sysutils.h"

#include <filesystem>

using apptest::AppTest;

namespace {

class CommonTest : public AppTest {
protected:
    TUrlInfo Task(const std::string& id, const std::string& name) {
        TUrlInfo info;
        info.Action = UA_DOWNLOAD;
        info.Id = id;
        info.Title = name;
        info.SavePath = dir.file("music/" + name + ".mp3");
        info.TempPath = dir.file("tmp/" + name + ".mp3.mtd");
        info.ConvertType = ".mp3";
        info.Bitrate = 128;
        return info;
    }
};

TEST_F(CommonTest, TasksAreQueuedOnceWithTheirComment) {
    queue->SetMaxTasks(0); // nothing starts
    current.GetMDInfo();
    EXPECT_TRUE(AddDownloadTask(Task("Qh7_Nd2kR9s", "Song")));
    TDownloadItem* item = queue->DownloadList()->Items(0);
    EXPECT_EQ(item->URL, site.Base() + "/watch?v=Qh7_Nd2kR9s");
    EXPECT_EQ(item->FileName, dir.file("tmp/Song.mp3.mtd"));
    EXPECT_TRUE(item->RedirectOptions.YesINeedRedirect);
    EXPECT_EQ(item->RedirectOptions.RedirectTheme, KYouTube);
    EXPECT_EQ(item->Comment()->Values("Title"), "Song");
    EXPECT_TRUE(IsSavePathQueued(dir.file("music/Song.mp3")));
    EXPECT_FALSE(IsSavePathQueued(dir.file("music/Other.mp3")));

    // The same temporary file again: refused with a message.
    EXPECT_FALSE(AddDownloadTask(Task("Zx3-Lm8vB0q", "Song")));
    EXPECT_EQ(messages, (std::vector<std::string>{"This task is already in the Download List."}));
    // An id that is no id never becomes an address.
    EXPECT_FALSE(AddDownloadTask(Task("a&b=c/../d", "Other")));
    EXPECT_EQ(queue->DownloadList()->ItemCount(), 1);
}

TEST_F(CommonTest, FileNamesAreUniqueAndStayInTheirFolder) {
    queue->SetMaxTasks(0);
    current.GetMDInfo();
    const std::string music = dir.file("music/");
    dir.write("music/Song.mp3", "x");
    dir.write("music/(1)Song.mp3", "x");
    ASSERT_TRUE(AddDownloadTask(Task("Qh7_Nd2kR9s", "Queued")));
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {music + "New.mp3", music + "New.mp3"},
        {music + "Song.mp3", music + "(2)Song.mp3"},
        {music + "Queued.mp3", music + "(1)Queued.mp3"},                     // queued output
        {dir.file("tmp/Queued.mp3.mtd"), dir.file("tmp/(1)Queued.mp3.mtd")}, // queued download
        {music + "CON.mp3", music + "_CON.mp3"},
        {music + "a\tb?c*.mp3", music + "a_b_c_.mp3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FixFileName(c.in), c.out) << c.in;

    // A title never leads out of the folder.
    const std::pair<std::string, std::string> names[] = {
        {"../../etc/passwd", ".._.._etc_passwd"},
        {"..", "_.."},
        {".", "_."},
        {"a\\b", "a_b"},
        {"lpt1.mp3", "_lpt1.mp3"},
        {"Ελληνικά", "Ελληνικά"},
        {"", "_"},
    };
    for (const auto& [title, safe] : names)
        EXPECT_EQ(SafeFileName(title), safe) << title;
}

TEST_F(CommonTest, TaskCountInTheStatusLine) {
    EXPECT_EQ(TaskStatusText(0), "No task.");
    EXPECT_EQ(TaskStatusText(1), "1 task is running.");
    EXPECT_EQ(TaskStatusText(3), "3 tasks are running.");
    UpdateTaskStatus();
    EXPECT_EQ(calls, (std::vector<std::string>{"status:No task."}));
}

// The temporary folder is made and kept; clearing it removes what the
// program put there (the tasks' media files and their transfers' leftovers)
// and nothing of anyone else's.
TEST_F(CommonTest, ClearingTheTemporaryFolderRemovesOnlyTheProgramsFiles) {
    const std::string temp = GetTempDir();
    EXPECT_EQ(temp, SettingsInstance()->UserDataPath() + "Downloading/");
    EXPECT_TRUE(DirectoryExists(temp));
    EXPECT_EQ(SettingsInstance()->GetSettingString("TemporaryDir"),
              SettingsInstance()->UserDataPath() + "Downloading");
    TempDir other;
    SettingsInstance()->SetSettingstring("TemporaryDir", other.file("t"));
    EXPECT_EQ(GetTempDir(), other.file("t") + "/");

    queue->SetMaxTasks(0);
    current.GetMDInfo();
    TUrlInfo queued = Task("Qh7_Nd2kR9s", "Queued");
    queued.TempPath = other.file("t/Queued.mp3.mtd");
    ASSERT_TRUE(AddDownloadTask(queued));
    other.write("t/Queued.mp3.mtd", "media");
    other.write("t/Queued.mp3.mtd.0123abcd.part", "half");
    // A task whose file arrived, then was removed from the list.
    TUrlInfo removed = Task("Zx3-Lm8vB0q", "Removed");
    removed.TempPath = other.file("t/Removed.mp3.mtd");
    ASSERT_TRUE(AddDownloadTask(removed));
    other.write("t/Removed.mp3.mtd", "media");
    DownloadFinishedEvent(queue->DownloadList(), -1, removed.TempPath, "", 0);
    queue->DownloadList()->RemoveByIndex(1);
    // The user's own things in the same folder.
    for (const char* f : {"t/notes.txt", "t/a.mtd", "t/sub/b.mtd", "t/Queued.mp3.mtd.part"})
        other.write(f, "mine");
    ClearTempDir();
    for (const char* f :
         {"t/Queued.mp3.mtd", "t/Queued.mp3.mtd.0123abcd.part", "t/Removed.mp3.mtd"})
        EXPECT_FALSE(other.exists(f)) << f;
    for (const char* f : {"t/notes.txt", "t/a.mtd", "t/sub/b.mtd", "t/Queued.mp3.mtd.part"})
        EXPECT_EQ(other.read(f), "mine") << f;
    EXPECT_TRUE(DirectoryExists(other.file("t")));
}

// Titles that differ only in case are two tasks; a title of any length
// gives a name that fits, with the suffixes the queue adds, in a file name.
TEST_F(CommonTest, CaseVariantsAndLongTitlesAreQueued) {
    queue->SetMaxTasks(0);
    current.GetMDInfo();
    const std::string tmp = dir.file("tmp/");
    int video = 0;
    for (const std::string title : {"Song", "song", "SONG"}) {
        TUrlInfo info = Task(site::FixedVideos()[++video].Id, title);
        info.SavePath = FixFileName(info.SavePath);
        info.TempPath = FixFileName(tmp + ExtractFileName(info.SavePath) + ".mtd");
        EXPECT_TRUE(AddDownloadTask(info)) << title;
    }
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(queue->DownloadList()->ItemCount(), 3);
    EXPECT_EQ(queue->DownloadList()->Items(1)->FileName, tmp + "(1)song.mp3.mtd");
    EXPECT_EQ(queue->DownloadList()->Items(2)->FileName, tmp + "(2)SONG.mp3.mtd");

    // A hundred CJK characters are 300 bytes.
    std::string title;
    for (int i = 0; i < 100; ++i)
        title += "歌";
    std::filesystem::create_directories(tmp);
    const std::string save = FixFileName(dir.file("music/") + title + ".mp3");
    const std::string name = ExtractFileName(save);
    EXPECT_LE(name.size(), MaxQueuedNameBytes);
    EXPECT_EQ(name.substr(name.size() - 4), ".mp3");
    EXPECT_EQ((name.size() - 4) % 3, 0u); // whole characters only
    EXPECT_EQ(name.compare(0, 9, "歌歌歌"), 0);
    const std::string temp = FixFileName(tmp + name + ".mtd");
    EXPECT_LE(ExtractFileName(temp).size(), MaxQueuedNameBytes);
    EXPECT_EQ(temp.substr(temp.size() - 4), ".mtd");
    // The transfer's own temporary file of it can be made.
    const std::string part = MakeTransferTempName(temp);
    ASSERT_FALSE(part.empty());
    EXPECT_EQ(part.compare(0, temp.size(), temp), 0);
    EXPECT_EQ(FitFileName("short.mp3", 20), "short.mp3");
}

TEST_F(CommonTest, UnfinishedTasksAtStartAreKeptOrDropped) {
    queue->SetMaxTasks(0);
    current.GetMDInfo();
    ASSERT_TRUE(AddDownloadTask(Task("Qh7_Nd2kR9s", "One")));
    ASSERT_TRUE(AddDownloadTask(Task("Zx3-Lm8vB0q", "Two")));
    const std::string file = SettingsInstance()->UserDataPath() + "downloadlist.sav";
    queue->DownloadList()->SaveToFile(file);
    struct Case {
        int remembered;
        int answer;
        std::size_t asked;
        int left;
    };
    const Case cases[] = {{1, mrOk, 1, 2}, {1, mrCancel, 1, 0}, {2, mrOk, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.remembered * 10 + c.answer);
        queue->DownloadList()->ClearAll();
        messages.clear();
        SettingsInstance()->SetMessageShowAgainResult(24, c.remembered);
        answer = c.answer;
        LoadDownloadList();
        EXPECT_EQ(current.DownloadListFileName, file);
        EXPECT_EQ(messages.size(), c.asked);
        EXPECT_EQ(queue->DownloadList()->ItemCount(), c.left);
    }
}

TEST_F(CommonTest, RecentKeywords) {
    for (int i = 0; i < 11; ++i)
        SaveKeyword("k" + std::to_string(i));
    SaveKeyword("k5");        // already there: nothing changes
    SaveKeyword("- Clear -"); // the list's own last item is no keyword
    SaveKeyword("");
    TStringList list;
    LoadKeywords(&list);
    ASSERT_EQ(list.Count(), 10);
    EXPECT_EQ(list[0], "k10");
    EXPECT_EQ(list[9], "k1");
    ClearKeyword();
    LoadKeywords(&list);
    EXPECT_EQ(list.Count(), 0);
    // A huge stored count reads the ten there can be.
    SettingsInstance()->SetSettingstring("keywordCount", "2147483647");
    LoadKeywords(&list);
    EXPECT_EQ(list.Count(), 10);
}

} // namespace
