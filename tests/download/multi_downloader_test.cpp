#include "download/MultiDownloader.h"

#include "download_test_support.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <vector>

using dltest::DrainThreads;
using dltest::GatedServer;
using dltest::PumpUntil;
using httptest::ReadWholeFile;
using httptest::TempFolder;
using httptest::WriteWholeFile;

namespace {

// Writes beyond Bytes fail in this process (as on a full disk) while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t Bytes) {
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &FOld);
        rlimit limit = FOld;
        limit.rlim_cur = Bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }

private:
    rlimit FOld{};
    void (*FOldHandler)(int) = nullptr;
};

// Temporary transfer files left in the folder.
int PartFiles(const TempFolder& folder) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        if (entry.path().extension() == ".part") ++count;
    return count;
}

// One letter per state: None Ready redirecting Before Downloading Finished Abort failed(X).
char Letter(EDownloadState s) {
    return "NRrBDFAX"[s];
}

std::string States(TMultiDownloader& q) {
    std::string out;
    for (int i = 0; i < q.DownloadList()->ItemCount(); ++i)
        out += Letter(q.DownloadList()->Items(i)->DownloadState());
    return out;
}

// The state events of every item, by caption.
struct Recorder {
    std::map<std::string, std::string> events;
    std::vector<std::pair<int, std::string>> finished; // index, file name or text
    std::vector<std::pair<int, std::int64_t>> progress;

    void Bind(TMultiDownloader& q) {
        q.OnStateChanged = [this, &q](TObject* sender, int index, EDownloadState s) {
            EXPECT_EQ(sender, q.DownloadList());
            events[q.DownloadList()->Items(index)->Caption] += Letter(s);
        };
        q.OnFinishedEvent = [this](TObject*, int index, const std::string& file,
                                   const std::string& text, std::int64_t) {
            finished.emplace_back(index, file.empty() ? text : file);
        };
        q.OnProgress = [this](TObject*, int index, std::int64_t total, std::int64_t) {
            progress.emplace_back(index, total);
        };
    }
};

class QueueTest : public ::testing::Test {
protected:
    void TearDown() override {
        queue.reset();
        EXPECT_TRUE(DrainThreads());
        gate.Stop();
    }

    // Appends an item named name fetching url into a file of that name.
    bool Add(const std::string& name, const std::string& url, bool redirect = false,
             ERedirectTheme theme = KDirect, const std::string& redirectURL = "") {
        if (!queue->Append(url, folder.File(name + ".mtd"), redirect, theme, redirectURL))
            return false;
        TDownloadList* list = queue->DownloadList();
        list->Items(list->ItemCount() - 1)->Caption = name;
        return true;
    }

    bool WaitStates(const std::string& expected) {
        const bool ok = PumpUntil([&] { return States(*queue) == expected; });
        EXPECT_EQ(States(*queue), expected);
        return ok;
    }

    GatedServer gate;
    TempFolder folder;
    std::unique_ptr<TMultiDownloader> queue = std::make_unique<TMultiDownloader>(nullptr);
    Recorder rec;
};

TEST_F(QueueTest, IdleIndexFollowsTheTaskLimit) {
    struct Case {
        std::string states;
        int maxTasks;
        int idle;
    };
    const Case cases[] = {
        {"RRR", 2, 0},   {"BDR", 2, -1}, {"BDR", 3, 2}, {"BFR", 2, 2},   {"XXBR", 2, 3},
        {"FFFF", 1, -1}, {"BR", 1, -1},  {"", 5, -1},   {"DFXR", 1, -1}, {"FXR", 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.states + " limit " + std::to_string(c.maxTasks));
        TMultiDownloader q(nullptr);
        q.SetMaxTasks(c.maxTasks);
        for (size_t i = 0; i < c.states.size(); ++i) {
            ASSERT_TRUE(q.Append("http://h/" + std::to_string(i), "f" + std::to_string(i), false,
                                 KDirect, ""));
            const std::string letters = "NRrBDFAX";
            q.DownloadList()->Items(int(i))->SetDownloadState(
                static_cast<EDownloadState>(letters.find(c.states[i])));
        }
        EXPECT_EQ(q.DownloadList()->GetIdleIndex(), c.idle);
    }
}

TEST_F(QueueTest, TaskLimitStartsTheNextItemWhenOneFinishes) {
    queue->SetMaxTasks(2);
    for (const std::string name : {"a", "b", "c", "d", "e"})
        ASSERT_TRUE(Add(name, gate.Url(name)));
    rec.Bind(*queue);
    queue->Resume();
    // Each step opens one gate; the table shows the states that follow.
    struct Step {
        std::string open, states;
    };
    ASSERT_TRUE(WaitStates("BBRRR"));
    for (const Step& s : {Step{"a", "FBBRR"}, Step{"c", "FBFBR"}, Step{"b", "FFFBB"},
                          Step{"e", "FFFBF"}, Step{"d", "FFFFF"}}) {
        SCOPED_TRACE(s.open);
        gate.Open(s.open);
        ASSERT_TRUE(WaitStates(s.states));
    }
    EXPECT_EQ(rec.events["a"], "BDF");
    EXPECT_EQ(ReadWholeFile(folder.File("c.mtd")), "body-c");
    EXPECT_EQ(queue->UnfinishedTasksCount(), 0);
    EXPECT_FALSE(queue->IsDownloading());
}

TEST_F(QueueTest, FailedItemsStopCountingAfterResume) {
    queue->SetMaxTasks(1);
    gate.SetBody("a", "not here", 404);
    ASSERT_TRUE(Add("a", gate.Url("a")));
    ASSERT_TRUE(Add("b", gate.Url("b")));
    rec.Bind(*queue);
    queue->Resume();
    ASSERT_TRUE(WaitStates("BR"));
    gate.Open("a");
    ASSERT_TRUE(WaitStates("XR"));
    // A failed item is done: the queue is not downloading, and it says why.
    EXPECT_FALSE(queue->IsDownloading());
    EXPECT_NE(queue->DownloadList()->Items(0)->ErrorText.find("404"), std::string::npos)
        << queue->DownloadList()->Items(0)->ErrorText;
    queue->Resume();
    ASSERT_TRUE(WaitStates("XB"));
    EXPECT_FALSE(std::filesystem::exists(folder.File("a.mtd")));
    EXPECT_TRUE(rec.finished.empty());
    gate.Open("b");
    ASSERT_TRUE(WaitStates("XF"));
}

TEST_F(QueueTest, MovingAnItemUpStartsItAndResetsTheLowest) {
    queue->SetMaxTasks(2);
    for (const std::string name : {"a", "b", "c"})
        ASSERT_TRUE(Add(name, gate.Url(name)));
    rec.Bind(*queue);
    queue->Resume();
    ASSERT_TRUE(WaitStates("BBR"));
    TDownloadList* list = queue->DownloadList();
    list->MoveUp(2);
    list->MoveUp(1);
    list->MoveUp(0); // nothing above the first
    EXPECT_EQ(list->Items(0)->Caption, "c");
    queue->Resume();
    ASSERT_TRUE(WaitStates("BBR"));
    EXPECT_EQ(list->Items(2)->Caption, "b");
    EXPECT_EQ(rec.events["b"], "BR");
    // The reset item starts over once a place is free.
    gate.Open("c");
    ASSERT_TRUE(WaitStates("FBB"));
    gate.Open("a");
    gate.Open("b");
    gate.Open("b"); // the first, cancelled request of b may still hold a place at the gate
    ASSERT_TRUE(WaitStates("FFF"));
    EXPECT_EQ(ReadWholeFile(folder.File("b.mtd")), "body-b");
    list->MoveDown(0);
    EXPECT_EQ(list->Items(1)->Caption, "c");
}

TEST_F(QueueTest, DuplicateAddressesAndFileNames) {
    const std::string url = gate.Url("dup");
    EXPECT_TRUE(Add("one", url));
    EXPECT_TRUE(Add("two", url)); // the first has not started yet
    EXPECT_FALSE(queue->Append(url + "x", folder.File("ONE.mtd"), false, KDirect, ""));
    queue->SetMaxTasks(1);
    queue->Resume();
    EXPECT_FALSE(Add("three", url)); // now it has
    EXPECT_TRUE(Add("four", url + "/other"));
    EXPECT_EQ(queue->DownloadList()->ItemCount(), 3);
    EXPECT_EQ(queue->DownloadList()->GetIndexByORGURL(url, false), 0);
    EXPECT_EQ(queue->DownloadList()->GetIndexByURL(url, false), 0);
    EXPECT_TRUE(queue->DownloadList()->IsSaveFileNameExists(folder.File("Two.MTD")));
}

TEST_F(QueueTest, AbortResetAndReDownloadEvents) {
    ASSERT_TRUE(Add("run", gate.Url("run")));
    ASSERT_TRUE(Add("ready", gate.Url("ready")));
    ASSERT_TRUE(Add("done", gate.Url("done")));
    queue->SetMaxTasks(1);
    rec.Bind(*queue);
    TDownloadList* list = queue->DownloadList();
    list->Items(2)->SetDownloadState(KFinished); // which resumes the queue
    ASSERT_TRUE(WaitStates("BRF"));
    list->Items(0)->Abort();
    list->Items(1)->Abort();
    list->Items(2)->Abort();
    list->Items(2)->Reset();
    EXPECT_EQ(rec.events["run"], "BAR");
    EXPECT_EQ(rec.events["ready"], "AR");
    EXPECT_EQ(rec.events["done"], "F");
    list->Items(2)->ReDownload();
    EXPECT_EQ(rec.events["done"], "FR");
    // The aborted transfer never reports back.
    gate.Open("run");
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(rec.events["run"], "BAR");
    EXPECT_TRUE(rec.finished.empty());
}

TEST_F(QueueTest, EventsReachTheItemThatRaisedThem) {
    const std::string url = gate.Url("same");
    gate.SetBody("same", std::string(5000, 's'));
    gate.SetBody("same.two", std::string(7000, 't'));
    ASSERT_TRUE(Add("first", url));
    ASSERT_TRUE(Add("second", url));
    ASSERT_TRUE(Add("other", gate.Url("other")));
    queue->DownloadList()->Items(1)->Agent = "two"; // its own gate on the server
    rec.Bind(*queue);
    queue->Resume();
    ASSERT_TRUE(WaitStates("BBB"));
    // The second item with the same address finishes first.
    gate.Open("same.two");
    ASSERT_TRUE(WaitStates("BFB"));
    gate.Open("same");
    gate.Open("other");
    ASSERT_TRUE(WaitStates("FFF"));
    ASSERT_EQ(rec.finished.size(), 3u);
    for (const auto& [index, file] : rec.finished)
        EXPECT_EQ(file, folder.File(queue->DownloadList()->Items(index)->Caption + ".mtd"));
    for (const auto& [index, total] : rec.progress)
        EXPECT_EQ(total, index == 0 ? 5000 : index == 1 ? 7000 : 10);
    EXPECT_EQ(rec.events["first"], "BDF");
    EXPECT_EQ(rec.events["second"], "BDF");
    EXPECT_EQ(queue->DownloadList()->Items(1)->ProgressPercent, 100);
    EXPECT_EQ(ReadWholeFile(folder.File("second.mtd")), std::string(7000, 't'));
}

TEST_F(QueueTest, FailedTransfersKeepWhatWasThere) {
    gate.server.Server().Get("/drop", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(10000, "application/octet-stream",
                                 [](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset > 0) return false;
                                     sink.write("12345", 5);
                                     return true;
                                 });
    });
    gate.SetBody("full", std::string(400000, 'z'));
    gate.SetBody("empty", "");
    gate.Open("full");
    gate.Open("empty");
    ASSERT_TRUE(Add("dropped", gate.server.Url("/drop")));
    ASSERT_TRUE(Add("full", gate.Url("full")));
    ASSERT_TRUE(Add("empty", gate.Url("empty")));
    ASSERT_TRUE(Add("nohost", "http://:80/x"));
    ASSERT_TRUE(Add("blank", " "));
    queue->DownloadList()->Items(4)->URL = "";
    for (const std::string name : {"dropped", "full", "empty", "nohost"})
        WriteWholeFile(folder.File(name + ".mtd"), "kept");
    {
        // The disk is full for the large one: files cannot grow past 100 kB.
        FileSizeLimit limit(100000);
        queue->Resume();
        ASSERT_TRUE(WaitStates("XXXXX"));
    }
    for (const std::string name : {"dropped", "full", "empty", "nohost"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadWholeFile(folder.File(name + ".mtd")), "kept");
    }
    EXPECT_EQ(PartFiles(folder), 0);
}

TEST_F(QueueTest, AnItemStoppedAndRestartedAtOnceFinishes) {
    // Half the body at once, the rest when the test lets it go.
    std::atomic<bool> release{false};
    gate.server.Server().Get("/half", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(20000, "application/octet-stream",
                                 [&](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset == 0)
                                         return sink.write(std::string(10000, 'h').data(), 10000);
                                     while (!release && !gate.server.WaitWhileRunning(5)) {
                                     }
                                     return sink.write(std::string(10000, 'h').data(), 10000);
                                 });
    });
    ASSERT_TRUE(Add("song", gate.server.Url("/half")));
    TDownloadItem* item = queue->DownloadList()->Items(0);
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        queue->Resume();
        ASSERT_TRUE(WaitStates("D"));
        item->Reset();
    }
    queue->Resume();
    ASSERT_TRUE(WaitStates("D"));
    // The stopped transfers end meanwhile; none may take the new one's file.
    PumpUntil([] { return DownloadThreadsAlive() <= 1; });
    release = true;
    ASSERT_TRUE(WaitStates("F"));
    EXPECT_EQ(ReadWholeFile(folder.File("song.mtd")), std::string(20000, 'h'));
    EXPECT_EQ(PartFiles(folder), 0);
}

// The resolver's pages and the media file on one server.
class RedirectQueueTest : public QueueTest {
protected:
    void SetUp() override {
        gate.server.Server().Get("/watch", [](const httplib::Request& req, httplib::Response& res) {
            const std::string id = req.get_param_value("v");
            if (id.rfind("watch_nomatch", 0) == 0)
                res.set_content("<html>nothing</html>", "text/html");
            else
                res.status = 404;
        });
        gate.server.Server().Get(
            "/get_video_info", [](const httplib::Request& req, httplib::Response& res) {
                if (req.get_param_value("video_id").find("~token") != std::string::npos)
                    res.set_content("status=ok&token=T%2D1", "text/plain");
                else
                    res.status = 404;
            });
        gate.server.Server().Get("/media", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("media of " + req.get_param_value("video_id") + " " +
                                req.get_param_value("t"),
                            "application/octet-stream");
        });
        queue->OnBeforeFlvGet = [this](TObject* sender) {
            auto* r = dynamic_cast<TYoutubeFLVGet*>(sender);
            ASSERT_NE(r, nullptr);
            r->Method = KFromWatch;
            r->YoutubeWatchURI = gate.server.Url("/watch?v=");
            r->YoutubeGetInfoURI = gate.server.Url("/get_video_info?&video_id=");
            r->YoutubeGetVideoURI = gate.server.Url("/media?video_id=");
        };
    }
};

TEST_F(RedirectQueueTest, ResolvedItemsFailOnlyOnTheFinalAnswer) {
    struct Case {
        std::string name, id, events, media;
    };
    for (const Case& c :
         {Case{"retry", "watch_nomatch~token", "BDBDF", "media of watch_nomatch~token T-1"},
          Case{"lost", "watch_nomatch~none", "BDX", ""}, Case{"gone", "missing~none", "X", ""}}) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Add(c.name, gate.server.Url("/watch?v=" + c.id), true, KYouTube));
        rec.Bind(*queue);
        queue->Resume();
        ASSERT_TRUE(PumpUntil([&] {
            const std::string& e = rec.events[c.name];
            return !e.empty() && (e.back() == 'F' || e.back() == 'X');
        }));
        PumpUntil([] { return false; }, 100);
        // A missing watch page fails its text fetch before any resolution.
        EXPECT_EQ(rec.events[c.name], c.name == "gone" ? "BX" : c.events);
        if (!c.media.empty()) {
            EXPECT_EQ(ReadWholeFile(folder.File(c.name + ".mtd")), c.media);
        }
    }
}

TEST_F(RedirectQueueTest, DirectAndCustomRedirects) {
    // Items take the queue's redirect handler when they join it.
    queue->OnRedirectEvent = [](TObject*, const std::string& content, std::string& url,
                                TRedirOptions& options) {
        url = content.substr(6);
        options = TRedirOptions{true, KDirect, url};
    };
    ASSERT_TRUE(
        Add("direct", gate.Url("page"), true, KDirect, gate.server.Url("/media?video_id=d&t=1")));
    ASSERT_TRUE(Add("custom", gate.Url("page2"), true, KCustom));
    gate.SetBody("page2", "media=" + gate.server.Url("/media?video_id=c&t=2"));
    gate.Open("page");
    gate.Open("page2");
    rec.Bind(*queue);
    queue->Resume();
    ASSERT_TRUE(WaitStates("FF"));
    EXPECT_EQ(ReadWholeFile(folder.File("direct.mtd")), "media of d 1");
    EXPECT_EQ(ReadWholeFile(folder.File("custom.mtd")), "media of c 2");
    // Pages fetched for a redirect are not reported as progress or as finished.
    EXPECT_EQ(rec.finished.size(), 2u);
    for (const auto& p : rec.progress)
        EXPECT_GT(p.second, 0);
    // The address it was added under stays its starting address.
    TDownloadItem* direct = queue->DownloadList()->Items(0);
    EXPECT_EQ(direct->URLOrg(), gate.Url("page"));
    direct->ReDownload();
    EXPECT_EQ(direct->URL, gate.Url("page"));
    EXPECT_TRUE(direct->RedirectOptions.YesINeedRedirect);
}

TEST_F(RedirectQueueTest, TheFirstItemTakesTheQueueHandlers) {
    int errors = 0;
    auto bind = [&] {
        queue->OnErrorEvent = [&](TObject*) { ++errors; };
        queue->OnRedirectEvent = [](TObject*, const std::string& content, std::string& url,
                                    TRedirOptions& options) {
            url = content.substr(6);
            options = TRedirOptions{true, KDirect, url};
        };
    };
    bind();
    ASSERT_TRUE(Add("custom", gate.Url("page"), true, KCustom));
    gate.SetBody("page", "media=" + gate.server.Url("/media?video_id=c&t=2"));
    gate.Open("page");
    queue->Resume();
    ASSERT_TRUE(WaitStates("F"));
    EXPECT_EQ(ReadWholeFile(folder.File("custom.mtd")), "media of c 2");

    queue = std::make_unique<TMultiDownloader>(nullptr);
    bind();
    ASSERT_TRUE(Add("missing", gate.server.Url("/nothing")));
    queue->Resume();
    EXPECT_TRUE(PumpUntil([&] { return errors == 1; }));
}

TEST_F(QueueTest, SecureAddressesAndPorts) {
    httptest::TestHttpServer secure(true);
    secure.Server().Get("/media", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("secure media", "application/octet-stream");
    });
    secure.Start();
    InternetSetCertificateFile(httptest::TestHttpServer::CertificateFile());
    ASSERT_TRUE(Add("secure", secure.Url("/media")));
    ASSERT_TRUE(Add("wrongport", "http://127.0.0.1:" + std::to_string(secure.Port()) + "/media"));
    queue->Resume();
    ASSERT_TRUE(PumpUntil([&] { return States(*queue) == "FX" || States(*queue) == "XX"; }));
    InternetSetCertificateFile("");
    EXPECT_EQ(States(*queue), "FX");
    EXPECT_EQ(ReadWholeFile(folder.File("secure.mtd")), "secure media");
    queue.reset();
    EXPECT_TRUE(DrainThreads());
}

TEST_F(QueueTest, RemovingAndDestroyingRunningItemsIsSilent) {
    queue->SetMaxTasks(3);
    std::vector<std::string> logs;
    for (const std::string name : {"a", "b", "c"})
        ASSERT_TRUE(Add(name, gate.Url(name)));
    rec.Bind(*queue);
    queue->Resume();
    ASSERT_TRUE(WaitStates("BBB"));
    queue->DownloadList()->RemoveByIndex(1);
    queue->DownloadList()->RemoveByIndex(7); // out of range: ignored
    EXPECT_EQ(States(*queue), "BB");
    gate.Open("b");
    queue.reset(); // a and c still in flight
    gate.Open("a");
    gate.Open("c");
    EXPECT_TRUE(DrainThreads());
    EXPECT_TRUE(rec.finished.empty());
    EXPECT_EQ(rec.events["b"], "B");
}

// A handler of the queue's events may resume the queue, which hands the list
// the queue's events again while the handler runs.
TEST_F(QueueTest, HandlersMayResumeTheQueueFromTheirOwnEvents) {
    queue->SetMaxTasks(1);
    for (const std::string name : {"a", "b"}) {
        gate.Open(name);
        ASSERT_TRUE(Add(name, gate.Url(name)));
    }
    std::vector<std::string> seen;
    // The captures live in the handler: they must survive its own Resume.
    const std::string tag(200, 't');
    queue->OnFinishedEvent = [this, &seen, tag](TObject*, int index, const std::string& file,
                                                const std::string&, std::int64_t) {
        queue->Resume();
        seen.push_back(tag.substr(0, 1) + std::to_string(index) + file.substr(file.size() - 5));
    };
    queue->OnStateChanged = [this, tag](TObject*, int, EDownloadState) {
        queue->Resume();
        EXPECT_EQ(tag.size(), 200u);
    };
    queue->Resume();
    ASSERT_TRUE(WaitStates("FF"));
    EXPECT_EQ(seen, (std::vector<std::string>{"t0a.mtd", "t1b.mtd"}));
}

// The done-file handler may hold an item's finish: it stays running (and
// counts against the limit) until the finish ends, and a stop drops it.
TEST_F(QueueTest, AHeldFinishKeepsTheItemRunningUntilItEnds) {
    queue->SetMaxTasks(1);
    for (const std::string name : {"a", "b", "c"}) {
        gate.Open(name);
        ASSERT_TRUE(Add(name, gate.Url(name)));
    }
    rec.Bind(*queue);
    int dropped = 0;
    queue->OnFinishedEvent = [&](TObject*, int index, const std::string&, const std::string&,
                                 std::int64_t) {
        queue->DownloadList()->Items(index)->HoldFinish([&] { ++dropped; });
        queue->Resume();
    };
    queue->Resume();
    TDownloadItem* a = queue->DownloadList()->Items(0);
    ASSERT_TRUE(PumpUntil([&] { return a->FinishHeld(); }));
    EXPECT_EQ(States(*queue), "DRR");
    EXPECT_TRUE(queue->IsDownloading());
    // A lower limit sends no held item back to wait.
    queue->SetMaxTasks(0);
    queue->Resume();
    EXPECT_EQ(States(*queue), "DRR");
    queue->SetMaxTasks(1);
    a->EndHeldFinish(true);
    TDownloadItem* b = queue->DownloadList()->Items(1);
    ASSERT_TRUE(PumpUntil([&] { return b->FinishHeld(); }));
    EXPECT_EQ(States(*queue), "FDR");
    EXPECT_EQ(rec.events["a"], "BDF");
    // A failed finish says why.
    b->EndHeldFinish(false, "no audio in it");
    queue->Resume(); // as the window does after a failure
    TDownloadItem* c = queue->DownloadList()->Items(2);
    ASSERT_TRUE(PumpUntil([&] { return c->FinishHeld(); }));
    EXPECT_EQ(States(*queue), "FXD");
    EXPECT_EQ(queue->DownloadList()->Items(1)->ErrorText, "no audio in it");
    EXPECT_EQ(dropped, 0);
    // Stopping a held item drops its finish; a late end counts for nothing.
    c->Abort();
    EXPECT_EQ(dropped, 1);
    EXPECT_FALSE(c->FinishHeld());
    c->EndHeldFinish(true);
    EXPECT_EQ(States(*queue), "FXR");
    EXPECT_EQ(c->URL, gate.Url("c"));
}

// Every change of the list is announced: added, moved, removed, and each
// change of an item's state.
TEST_F(QueueTest, TheListAnnouncesEveryChange) {
    int changes = 0;
    queue->OnListChanged = [&](TObject*) { ++changes; };
    queue->SetMaxTasks(0);
    ASSERT_TRUE(Add("a", gate.Url("a")));
    ASSERT_TRUE(Add("b", gate.Url("b")));
    EXPECT_EQ(changes, 2);
    queue->DownloadList()->MoveDown(0);
    EXPECT_EQ(changes, 3);
    queue->DownloadList()->Items(0)->SetDownloadState(KFailed);
    EXPECT_EQ(changes, 4);
    queue->DownloadList()->RemoveByIndex(0);
    EXPECT_EQ(changes, 5);
    queue->DownloadList()->ClearAll();
    EXPECT_EQ(changes, 6);
}

} // namespace
