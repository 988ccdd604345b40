// The program itself on a display against the stand-in site, driven by real
// input (pointer and keys through the X server): a keyword to its result
// pages, a preview the player plays through the web engine, a Download
// through the prepare-download dialog to a tagged MP3, the saved download
// list on the next start, and the category and hot-songs pages. The site's
// request log shows what the program asked for.
#include "program_e2e_support.h"

namespace {

using namespace e2e;

TEST_F(ProgramE2E, KeywordToTaggedMp3AndTheListOnTheNextStart) {
    WriteSettings();
    Start();
    Search("rock");
    ASSERT_EQ(CountRequests("/search?q=rock&page=1"), 1);

    ClickPager(2);
    ASSERT_TRUE(WaitRequest("/search?q=rock&page=2", 1)) << dir.read("program.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ClickPager(1);
    ASSERT_TRUE(WaitRequest("/search?q=rock&page=1", 2));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));

    // A preview: the player resolves the entry and plays its media address
    // through the web engine, which asks the site for the media.
    ClickRow(0, kPlayX);
    EXPECT_TRUE(WaitFor(
        [&] {
            for (const std::string& r : site.Requests())
                if (r.rfind("/get_video", 0) == 0 && r.find("Lt4pZ8xQw1A") != std::string::npos)
                    return true;
            return false;
        },
        30000))
        << dir.read("program.log");

    // Download asks first. In the dialog (OK has the focus) the album and
    // artist are typed in, and Enter accepts.
    EXPECT_EQ(FirstListRowInk(), 0);
    ClickRow(0, kDownloadX);
    Window dlg;
    ASSERT_TRUE(WaitFor([&] { return FindWindow("Download MP3", dlg); }, 15000));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Key("shift+Tab");
    Type("Album One");
    Key("shift+Tab");
    Type("Artist One");
    Key("Return");
    ASSERT_TRUE(WaitFor([&] { return !FindWindow("Download MP3", dlg); }, 10000));
    ASSERT_TRUE(WaitFor([&] { return Mp3s().size() == 1; }, 90000)) << dir.read("program.log");
    // Tagged once converted.
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    const std::string mp3 = Mp3s()[0];
    // The file name: artist, "-", then the title tag (its first 30 characters).
    EXPECT_NE(mp3.find("Artist One-Café del Mar — Ελληνικά"), std::string::npos) << mp3;
    const std::string stream =
        Probe(mp3, "stream=codec_name,sample_rate,channels,bit_rate:format=duration");
    EXPECT_NE(stream.find("codec_name=mp3"), std::string::npos) << stream;
    EXPECT_NE(stream.find("sample_rate=44100"), std::string::npos) << stream;
    EXPECT_NE(stream.find("channels=2"), std::string::npos) << stream;
    EXPECT_NE(stream.find("bit_rate=128000"), std::string::npos) << stream;
    const auto d = stream.find("duration=");
    ASSERT_NE(d, std::string::npos);
    EXPECT_NEAR(std::atof(stream.c_str() + d + 9), 30.0, 1.0);
    const std::string tags = Probe(mp3, "format_tags=title,artist,album");
    EXPECT_NE(tags.find("title=Café del Mar — Ελληνικά & Русс"), std::string::npos) << tags;
    EXPECT_NE(tags.find("artist=Artist One"), std::string::npos) << tags;
    EXPECT_NE(tags.find("album=Album One"), std::string::npos) << tags;
    // The ID3v1 tag at the end: title, artist and album fields of 30 bytes.
    std::string bytes;
    {
        std::ifstream f(mp3, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(f), {});
    }
    ASSERT_GT(bytes.size(), 128u);
    const std::string v1 = bytes.substr(bytes.size() - 128);
    EXPECT_EQ(v1.substr(0, 3), "TAG");
    EXPECT_EQ(v1.substr(3, 4), "Caf\xC3");
    EXPECT_EQ(v1.substr(33, 10), "Artist One");
    EXPECT_EQ(v1.substr(63, 9), "Album One");
    EXPECT_GT(FirstListRowInk(), 20);

    // The caption's close button puts the window in the tray; starting the
    // program again brings it back from there.
    ClickAt(main.x + main.w - kCloseFromRight, main.y + kCloseY);
    EXPECT_TRUE(WaitFor([&] { return !FindWindow("Lantrove", main); }, 10000));
    EXPECT_FALSE(guitest::Logged(desktop.Log(), "register").empty()) << dir.read("program.log");
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "the close button ended the program";
    EXPECT_TRUE(RunSecond()) << dir.read("program.log");
    ASSERT_TRUE(WaitFor([&] { return FindWindow("Lantrove", main); }, 10000))
        << dir.read("program.log");

    // Closing saves the list; the next start shows it again.
    Stop(true);
    ASSERT_EQ(pid, -1) << "the program did not end on the close request";
    Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    EXPECT_GT(FirstListRowInk(), 20);
    Stop(false);
}

// Three downloads at once with a task limit of 2: never more than two media
// transfers at the same time (each is slowed so they would overlap); the
// broken media file ends as failed and leaves no MP3 behind, the other two
// finish.
TEST_F(ProgramE2E, ThreeDownloadsWithALimitOfTwoAndABrokenFile) {
    WriteSettings();
    Start();
    Search("pop");
    site::Switches slow = site.GetSwitches();
    slow.PaceMs = 200;
    site.SetSwitches(slow);
    for (int row : {0, 2, 6})
        ASSERT_NO_FATAL_FAILURE(QueueRow(row));
    ASSERT_TRUE(WaitFor([&] { return Mp3s().size() == 2; }, 90000)) << dir.read("program.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    EXPECT_EQ(Mp3s().size(), 2u);
    for (const std::string& f : Mp3s())
        EXPECT_EQ(f.find("Broken"), std::string::npos) << f;
    // All three were asked of the site.
    for (const char* id : {"Lt4pZ8xQw1A", "Zx3-Lm8vB0q", "Br0kEnF1le0"}) {
        bool asked = false;
        for (const std::string& r : site.Requests())
            asked = asked || (r.rfind("/watch", 0) == 0 && r.find(id) != std::string::npos);
        EXPECT_TRUE(asked) << id;
    }
    EXPECT_EQ(site.PeakMediaTransfers(), 2);
    Stop(false);
}

// A media transfer that breaks off ends as failed; the list's "Download
// again" (offered for failed rows only) then fetches it whole.
TEST_F(ProgramE2E, ABrokenTransferFailsAndDownloadAgainFinishesIt) {
    WriteSettings();
    Start();
    Search("pop");
    site::Switches drop = site.GetSwitches();
    drop.Drop = true;
    drop.DropPath = "/get_video";
    site.SetSwitches(drop);
    auto mediaAsked = [&] {
        int n = 0;
        for (const std::string& r : site.Requests())
            if (r.rfind("/get_video", 0) == 0 && r.find("Lt4pZ8xQw1A") != std::string::npos) ++n;
        return n;
    };
    ClickRow(0, kDownloadX);
    Window dlg;
    ASSERT_TRUE(WaitFor([&] { return FindWindow("Download MP3", dlg); }, 15000));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Key("Return");
    ASSERT_TRUE(WaitFor([&] { return !FindWindow("Download MP3", dlg); }, 10000));
    ASSERT_TRUE(WaitFor([&] { return mediaAsked() >= 1; }, 30000)) << dir.read("program.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    EXPECT_TRUE(Mp3s().empty());
    const int asked = mediaAsked();

    site.SetSwitches(site::Switches());
    // The row's menu, then its "Download again".
    const int rowX = main.x + kListLeft + 40, rowY = main.y + kListRowY + 7;
    Shell("xdotool mousemove --sync " + std::to_string(rowX) + " " + std::to_string(rowY) +
          " click 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Shell("xdotool click 3");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    ClickAt(rowX + kMenuItemX, rowY + kRetryItemY);
    ASSERT_TRUE(WaitFor([&] { return Mp3s().size() == 1; }, 90000)) << dir.read("program.log");
    EXPECT_GT(mediaAsked(), asked);
    Stop(false);
}

TEST_F(ProgramE2E, HotSongsAndCategoryPages) {
    WriteSettings();
    Start();
    // The desktop shows the program's own icon for its window (48 x 48).
    EXPECT_NE(Output("xprop -id " + main.id + " -f _NET_WM_ICON 32c ' = $0+' _NET_WM_ICON")
                  .find("= 48, 48, "),
              std::string::npos);
    // The left menu: Hot Songs, then Categories.
    ClickAt(main.x + kMenuX, main.y + kMenuTop + kMenuStep * 2);
    EXPECT_TRUE(WaitRequest("/hot", 1)) << dir.read("program.log");
    ClickAt(main.x + kMenuX, main.y + kMenuTop + kMenuStep * 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    // The first category's keyword list comes from the site.
    ClickPage(22, 50);
    EXPECT_TRUE(WaitRequest("/category?c=0&p=1", 1)) << dir.read("program.log");
    Stop(false);
}

// The list's menu opens a finished task's file with the desktop's handler and
// its folder with the file manager, each passed as one argument, whatever the
// name holds; a double click on the row opens the file.
TEST_F(ProgramE2E, OpenDestinationFileAndFolderFromTheListsMenu) {
    WriteSettings();
    const std::string folder = out + "/it's \"odd\" $(x)";
    fs::create_directories(folder);
    const std::string file = folder + "/Song; a & b.mp3";
    dir.write(file.substr(dir.path().size() + 1), "ID3");
    WriteList({{"Song a & b", file}});
    Start();
    const int x = ListX(), y = ListRowY(0);
    ClickAt(x, y);
    Shell("xdotool click 3");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    ClickAt(x + kMenuItemX, y + kOpenFileItemY);
    ASSERT_TRUE(WaitOpened(1)) << dir.read("program.log");
    EXPECT_EQ(Opened(), std::vector<std::string>{file});

    Shell("xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " click 3");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    ClickAt(x + kMenuItemX, y + kOpenFolderItemY);
    ASSERT_TRUE(WaitOpened(2));
    EXPECT_EQ(Opened(), (std::vector<std::string>{file, folder}));

    DoubleClickAt(x, y);
    ASSERT_TRUE(WaitOpened(3));
    EXPECT_EQ(Opened().back(), file);
    Stop(false);
}

// A list of 60 tasks reaches its last row by the wheel, by the End key and by
// dragging the list's bar: the bottom row shown is then the 60th (its double
// click opens the 60th file).
TEST_F(ProgramE2E, SixtyTasksScrollToTheLast) {
    WriteSettings();
    std::vector<std::pair<std::string, std::string>> tasks;
    for (int i = 0; i < 60; ++i) {
        const std::string name = "Song " + std::to_string(100 + i) + ".mp3";
        dir.write("music/" + name, "ID3");
        tasks.push_back({"Song " + std::to_string(100 + i) + " with a title that needs room",
                         out + "/" + name});
    }
    WriteList(tasks);
    Start();
    const int x = ListX();
    auto bottomRowOpens = [&](const std::string& how) {
        const std::size_t before = Opened().size();
        DoubleClickAt(x, ListRowY(kListRows - 1));
        ASSERT_TRUE(WaitOpened(before + 1)) << how;
        EXPECT_EQ(Opened().back(), out + "/Song 159.mp3") << how;
    };
    auto toTop = [&] {
        ClickAt(x, ListRowY(0));
        Key("Home");
    };

    ClickAt(x, ListRowY(0));
    for (int i = 0; i < 30; ++i)
        Shell("xdotool click 5");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    bottomRowOpens("wheel");

    toTop();
    Key("End");
    bottomRowOpens("End");

    toTop();
    const int barX = main.x + kListBarX, thumbY = main.y + kListRowY + 2;
    Shell("xdotool mousemove --sync " + std::to_string(barX) + " " + std::to_string(thumbY) +
          " mousedown 1");
    for (int dy = 10; dy <= 160; dy += 10)
        Shell("xdotool mousemove --sync " + std::to_string(barX) + " " +
              std::to_string(thumbY + dy));
    Shell("xdotool mouseup 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    bottomRowOpens("bar");
    Stop(false);
}

// Choosing a second language from the View menu while the program runs: the
// menu bar shows its texts; choosing English (the shipped file) brings the
// menu bar back as it was; and a dialog opened after the second language was
// chosen again has that language's caption.
TEST_F(ProgramE2E, LanguageSwitchOnTheMenuAndADialog) {
    fs::create_directories(dir.file("lang"));
    fs::copy_file(std::string(LANTROVE_PROGRAM_DIR) + "/lang/English.lan",
                  dir.file("lang/English.lan"));
    dir.write("lang/German.lan", "[Info]\nLanguage=Deutsch\n\n[TfrmMain]\nmiFile.Caption=&Datei\n"
                                 "miView.Caption=&Ansicht\nmiTools.Caption=&Werkzeuge\n"
                                 "miHelp.Caption=&Hilfe\nactLanguage.Caption=Sprache &wechseln\n"
                                 "btnOption.Caption=&Einstellungen...\n\n[TfrmSettings]\n"
                                 "frmSettings.Caption=Einstellungen\n");
    WriteSettings("Path.Languages=" + dir.file("lang") + "\n");
    Start();
    auto menuBar = [&] {
        Shell("xdotool mousemove --sync " + std::to_string(main.x + 600) + " " +
              std::to_string(main.y + 300));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return Pixels(main.x, main.y + kMenuBarY - 9, 400, 18);
    };
    auto choose = [&](int viewX, int itemY) {
        ClickAt(main.x + viewX, main.y + kMenuBarY);
        Shell("xdotool mousemove --sync " + std::to_string(main.x + kLanguageItemX) + " " +
              std::to_string(main.y + kLanguageItemY));
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        Shell("xdotool mousemove --sync " + std::to_string(main.x + kSubmenuX - 40) + " " +
              std::to_string(main.y + kLanguageItemY));
        ClickAt(main.x + kSubmenuX, main.y + itemY);
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
    };
    const std::vector<COLORREF> english = menuBar();
    ASSERT_FALSE(english.empty());

    choose(kViewX, kSecondLanguageItemY);
    EXPECT_TRUE(WaitFor([&] { return menuBar() != english; }, 5000)) << dir.read("program.log");
    choose(kViewGermanX, kEnglishItemY);
    EXPECT_TRUE(WaitFor([&] { return menuBar() == english; }, 5000));
    choose(kViewX, kSecondLanguageItemY);
    EXPECT_TRUE(WaitFor([&] { return menuBar() != english; }, 5000));

    // A dialog opened now has the language's caption.
    ClickAt(main.x + kOptionsX, main.y + kOptionsY);
    Window dlg;
    EXPECT_TRUE(WaitFor([&] { return FindWindow("Einstellungen", dlg); }, 10000));
    Stop(false);
}

// SIGTERM, which the desktop sends when the session ends, while the window
// sits in the tray and a download runs: the program ends by itself, without
// a question, and the download list is saved.
TEST_F(ProgramE2E, TerminationFromTheTraySavesTheList) {
    WriteSettings();
    Start();
    Search("pop");
    site::Switches slow = site.GetSwitches();
    slow.PaceMs = 500;
    site.SetSwitches(slow);
    ClickRow(0, kDownloadX);
    Window dlg;
    ASSERT_TRUE(WaitFor([&] { return FindWindow("Download MP3", dlg); }, 15000));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Key("Return");
    ASSERT_TRUE(WaitFor([&] { return !FindWindow("Download MP3", dlg); }, 10000));
    ASSERT_TRUE(WaitRequest("/get_video", 1)) << dir.read("program.log");
    ClickAt(main.x + main.w - kCloseFromRight, main.y + kCloseY);
    ASSERT_TRUE(WaitFor([&] { return !FindWindow("Lantrove", main); }, 10000));

    ASSERT_EQ(kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_TRUE(WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 30000))
        << dir.read("program.log");
    pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::string list = SavedList();
    EXPECT_NE(list.find("Lt4pZ8xQw1A"), std::string::npos) << list;
}

// Two titles that differ only in case are two tasks and two files; a title
// of a hundred CJK characters gives a name that fits and is saved.
TEST_F(ProgramE2E, TitlesThatDifferInCaseOrRunLongAreSaved) {
    WriteSettings();
    Start();
    SetSwitch("title", "Song");
    Search("pop");
    QueueRow(0);
    SetSwitch("title", "song");
    Search("rock");
    QueueRow(2);
    std::string cjk;
    for (int i = 0; i < 100; ++i)
        cjk += "歌";
    SetSwitch("title", cjk);
    Search("jazz");
    QueueRow(4);
    ASSERT_TRUE(WaitFor([&] { return Mp3s().size() == 3; }, 120000)) << dir.read("program.log");
    std::vector<std::string> names;
    for (const std::string& f : Mp3s())
        names.push_back(fs::path(f).filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names[0], "Song.mp3");
    EXPECT_EQ(names[1], "song.mp3");
    EXPECT_EQ(names[2].rfind("歌歌歌", 0), 0u) << names[2];
    EXPECT_LE(names[2].size(), 255u);
    for (const std::string& f : Mp3s())
        EXPECT_NE(Probe(f, "stream=codec_name").find("codec_name=mp3"), std::string::npos) << f;
    Stop(false);
}

// A file at the save path is the user's: one that appears there while the
// task downloads is left as it is, and the MP3 takes the next free name.
TEST_F(ProgramE2E, AFileAtTheSavePathIsLeftIntact) {
    WriteSettings();
    Start();
    SetSwitch("title", "Mine");
    SetSwitch("pace", "300");
    Search("pop");
    QueueRow(0);
    ASSERT_TRUE(WaitRequest("/get_video", 1, 30000)) << dir.read("program.log");
    { std::ofstream(out + "/Mine.mp3") << "the user's own"; }
    ASSERT_TRUE(WaitFor([&] { return fs::exists(out + "/(1)Mine.mp3"); }, 90000))
        << dir.read("program.log");
    EXPECT_EQ(Read(out + "/Mine.mp3"), "the user's own");
    EXPECT_NE(Probe(out + "/(1)Mine.mp3", "stream=codec_name").find("codec_name=mp3"),
              std::string::npos);
    Stop(false);
}

// Killed while downloading, the program finds its list again on the next
// start and finishes the tasks; no transfer's leftover stays.
TEST_F(ProgramE2E, AKillDuringDownloadsLosesNoTask) {
    // Unfinished tasks go on at the next start without asking.
    const std::string goOn = "[ShowAgain]\n24=0\n[ShowAgainModuleResult]\n24=1\n";
    WriteSettings({}, goOn);
    Start();
    SetSwitch("pace", "300");
    Search("pop");
    QueueRow(0);
    QueueRow(2);
    auto listed = [&] {
        const std::string list = ListFile();
        return list.find("ItemCount=2") != std::string::npos &&
               list.find("Lt4pZ8xQw1A") != std::string::npos &&
               list.find("Zx3-Lm8vB0q") != std::string::npos;
    };
    ASSERT_TRUE(WaitFor([&] { return listed() && site.PeakMediaTransfers() == 2; }, 30000))
        << ListFile();
    Kill();
    EXPECT_TRUE(Mp3s().empty());
    EXPECT_TRUE(listed()) << ListFile();

    SetSwitch("pace", "0");
    Start();
    ASSERT_TRUE(WaitFor([&] { return Mp3s().size() == 2; }, 120000)) << dir.read("program.log");
    ASSERT_TRUE(WaitFor([&] { return Count(ListFile(), "State=5") == 2; }, 30000)) << ListFile();
    int parts = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir.path()))
        parts += e.path().extension() == ".part";
    EXPECT_EQ(parts, 0);
    Stop(false);
}

// Killed while converting, the program leaves no MP3 under the final name;
// the next start removes the half-written file and converts the task again.
TEST_F(ProgramE2E, AKillDuringAConversionLeavesNoTruncatedMp3) {
    const std::string goOn = "[ShowAgain]\n24=0\n[ShowAgainModuleResult]\n24=1\n";
    WriteSettings({}, goOn);
    Start();
    Search("pop");
    // The long entry: 450 seconds to convert.
    QueueRow(5);
    ASSERT_TRUE(WaitFor([&] { return !OutFiles(".part").empty(); }, 90000))
        << dir.read("program.log");
    Kill();
    EXPECT_TRUE(Mp3s().empty());
    ASSERT_NE(ListFile().find("Lg2Hk4Jm6Np"), std::string::npos) << ListFile();

    Start();
    ASSERT_TRUE(WaitFor([&] { return Mp3s().size() == 1 && OutFiles(".part").empty(); }, 180000))
        << dir.read("program.log");
    const std::string duration = Probe(Mp3s()[0], "format=duration");
    ASSERT_NE(duration.find("duration="), std::string::npos);
    EXPECT_NEAR(std::atof(duration.c_str() + duration.find('=') + 1), 450.0, 1.0);
    Stop(false);
}

// After a failed download the program closes as usual: another instance's
// close request ends it without a question.
TEST_F(ProgramE2E, AFailedDownloadLetsTheProgramClose) {
    WriteSettings();
    Start();
    SetSwitch("status", "404");
    SetSwitch("status-path", "/get_video");
    Search("pop");
    QueueRow(0);
    ASSERT_TRUE(WaitFor([&] { return ListFile().find("State=7") != std::string::npos; }, 60000))
        << ListFile();
    EXPECT_TRUE(CloseByRequest()) << dir.read("program.log");
}

// An update answer that sets huge counts: the program takes it, and the
// category pages built from it stay of reasonable size.
TEST_F(ProgramE2E, AHostileUpdateAnswerWithHugeCounts) {
    WriteSettings("Update.BeginAuto=1\nUpdate.Days=0\n");
    SetSwitch("update-modify", "categories_count=2147483647");
    SetSwitch("update-modify", "c_pages=2147483647");
    Start();
    ASSERT_TRUE(WaitRequest("/update", 1)) << dir.read("program.log");
    ASSERT_TRUE(WaitFor(
        [&] {
            const std::string settings = Read(DataFile("setting.dat"));
            return settings.find("c_pages=2147483647") != std::string::npos;
        },
        20000));
    // Categories, then the first one: its keyword list is asked for at once.
    ClickAt(main.x + kMenuX, main.y + kMenuTop + kMenuStep * 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ClickPage(22, 50);
    EXPECT_TRUE(WaitRequest("/category?c=0&p=1", 1)) << dir.read("program.log");
    // The program still answers: the search box takes a keyword.
    Search("rock");
    EXPECT_TRUE(CloseByRequest()) << dir.read("program.log");
}

// The caption's minimize button minimizes the window on a desktop; brought
// back by the desktop, or by starting the program again, it minimizes again.
TEST_F(ProgramE2E, TheMinimizeButtonPutsTheWindowAwayOnADesktop) {
    if (!WindowManaged()) GTEST_SKIP() << "no window manager takes the window away";
    Start();
    const std::string id = main.id;
    auto minimize = [&] {
        ClickAt(main.x + main.w - kMinimizeFromRight, main.y + kCloseY);
        return WaitFor([&] { return Iconic(id); }, 10000);
    };
    ASSERT_TRUE(minimize()) << dir.read("program.log");
    EXPECT_FALSE(FindWindow("Lantrove", main));
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "minimizing ended the program";

    // The desktop's task list brings it back.
    Shell("xdotool windowactivate --sync " + id);
    ASSERT_TRUE(WaitFor([&] { return FindWindow("Lantrove", main) && !Iconic(id); }, 10000));
    ASSERT_TRUE(minimize()) << "the program still took its window for minimized";

    EXPECT_TRUE(RunSecond()) << dir.read("program.log");
    EXPECT_TRUE(WaitFor([&] { return FindWindow("Lantrove", main) && !Iconic(id); }, 10000));
    Stop(true);
}

} // namespace
