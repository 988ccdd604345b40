#include "framework/OxDebug.h"

#include "classlib/typinfo.h"
#include "platform/os/ipc.h"
#include "platform/os/process.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

// Plays the outside viewer: owns the shared block, the queue mutex and the
// queue event, and takes packets out of the ring.
class TestViewer {
public:
    explicit TestViewer(uint32_t queueSize, uint32_t queueOffset = 64) {
        map_ = os::SharedMemory::Create(OxMapName, queueOffset + queueSize);
        mutex_ = os::NamedMutex::Create(OxQueueMutexName);
        event_ = os::NamedEvent::Create(OxQueueEventName, false, false);
        uint8_t* h = map_->Data();
        std::memcpy(h, "OXDEBUG", 8);
        Put(8, OxMapValidMark);
        Put(12, queueOffset + queueSize);
        Put(16, queueOffset);
    }
    ~TestViewer() {
        os::SharedMemory::Remove(OxMapName);
        os::NamedMutex::Remove(OxQueueMutexName);
        os::NamedEvent::Remove(OxQueueEventName);
    }

    uint8_t* Header() { return map_->Data(); }
    void Put(int off, uint32_t v) { std::memcpy(map_->Data() + off, &v, 4); }
    uint32_t Get(int off) {
        uint32_t v;
        std::memcpy(&v, map_->Data() + off, 4);
        return v;
    }
    void SetFilter(bool enabled, int32_t level, const char* tag, uint16_t types) {
        Put(32, enabled ? 1 : 0);
        Put(36, uint32_t(level));
        std::memset(map_->Data() + 40, 0, 8);
        std::memcpy(map_->Data() + 40, tag, std::min<size_t>(strlen(tag), 8));
        std::memcpy(map_->Data() + 48, &types, 2);
        Put(28, 1);
    }

    // Every packet queued, oldest first; the queue is empty afterwards.
    std::vector<std::string> Take() {
        std::vector<std::string> packets;
        mutex_->Wait(os::kInfinite);
        uint32_t q = Get(12) - Get(16);
        const uint8_t* base = map_->Data() + Get(16);
        uint32_t front = Get(20), tail = Get(24);
        while (front != tail) {
            std::string p;
            uint8_t len[4];
            for (uint32_t i = 0; i < 4; ++i)
                len[i] = base[(front + i) % q];
            uint32_t n;
            std::memcpy(&n, len, 4);
            for (uint32_t i = 0; i < n; ++i)
                p += char(base[(front + i) % q]);
            packets.push_back(p);
            front = (front + n) % q;
        }
        Put(20, front);
        mutex_->Release();
        return packets;
    }

private:
    std::unique_ptr<os::SharedMemory> map_;
    std::unique_ptr<os::NamedMutex> mutex_;
    std::unique_ptr<os::NamedEvent> event_;
};

struct Packet {
    explicit Packet(const std::string& raw) : raw(raw) {}
    uint32_t U32(int off) const {
        uint32_t v;
        std::memcpy(&v, raw.data() + off, 4);
        return v;
    }
    std::string Tag() const { return std::string(raw.data() + 20, strnlen(raw.data() + 20, 8)); }
    std::string Content() const { return raw.substr(48); }
    std::string raw;
};

class DebugChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        os::SetIpcNamespace("lantrove-test-dbg-" + std::to_string(os::CurrentProcessId()) + "-" +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        os::SetLaunchHook([this](const std::vector<std::string>& argv, const std::string&) {
            launched.push_back(argv);
            return false;
        });
        dbg = std::make_unique<TOxDebugger>();
        dbg->SetAutoStart(false);
        dbg->Channel()->SetAutoFlush(false);
    }
    void TearDown() override {
        dbg.reset();
        os::NamedEvent::Remove(OxFlushEventName);
        os::NamedEvent::Remove(OxStartEventName);
        os::SetLaunchHook(nullptr);
        os::SetIpcNamespace("");
    }
    std::unique_ptr<TOxDebugger> dbg;
    std::vector<std::vector<std::string>> launched;
};

TEST_F(DebugChannelTest, PacketCarriesItsFields) {
    TestViewer viewer(8192);
    dbg->LogMsgWithTagLevel("hello", "CLSettings", 2);
    dbg->LogMsgWithTypeTag("careful", cmtWarning, "net");
    auto packets = viewer.Take();
    ASSERT_EQ(packets.size(), 2u);
    Packet p(packets[0]);
    EXPECT_EQ(p.U32(0), 48u + 5);
    EXPECT_EQ(p.U32(4), 2u);
    EXPECT_EQ(p.U32(8), 0u);
    EXPECT_EQ(p.U32(12), uint32_t(os::CurrentProcessId()));
    EXPECT_EQ(p.U32(16), os::CurrentThreadId());
    EXPECT_EQ(p.Tag(), "CLSettin");
    EXPECT_EQ(p.U32(28), uint32_t(cmtInformation));
    EXPECT_EQ(p.U32(36), 1u);
    double stamp;
    std::memcpy(&stamp, p.raw.data() + 40, 8);
    EXPECT_GT(stamp, 40000.0);
    EXPECT_EQ(p.Content(), "hello");
    Packet w(packets[1]);
    EXPECT_EQ(w.U32(4), uint32_t(OxDefaultLevel));
    EXPECT_EQ(w.U32(28), uint32_t(cmtWarning));
    EXPECT_EQ(w.Tag(), "net");
    EXPECT_EQ(dbg->PostedMessageCount(), 2);
    EXPECT_EQ(dbg->DiscardedMessageCount(), 0);
}

TEST_F(DebugChannelTest, LongContentIsCutAndEmptyMessagesAreNotSent) {
    TestViewer viewer(16384);
    dbg->LogMsg(std::string(5000, 'x'));
    dbg->LogMsg("");
    auto packets = viewer.Take();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(Packet(packets[0]).U32(0), 4144u);
    EXPECT_EQ(Packet(packets[0]).Content(), std::string(4096, 'x'));
}

TEST_F(DebugChannelTest, ViewerFilterIsApplied) {
    TestViewer viewer(16384);
    viewer.SetFilter(true, 3, "LongTagN", 0);
    dbg->LogMsgWithTag("kept", "longtagn");
    dbg->LogMsgWithTag("too long a tag", "LongTagName1");
    dbg->LogMsgWithTag("other", "Other");
    dbg->LogMsgWithTagLevel("too detailed", "LongTagN", 4);
    EXPECT_EQ(viewer.Get(28), 0u); // the change was taken
    viewer.SetFilter(true, 9, "", uint16_t(1u << cmtError));
    dbg->LogMsg("info dropped");
    dbg->LogMsgError("error kept");
    auto packets = viewer.Take();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(Packet(packets[0]).Content(), "kept");
    EXPECT_EQ(Packet(packets[1]).Content(), "error kept");
    EXPECT_EQ(dbg->MessageCount(), 6);
    EXPECT_EQ(dbg->DiscardedMessageCount(), 4);
}

TEST_F(DebugChannelTest, IndentationFollowsEnterAndLeavePerThread) {
    TestViewer viewer(16384);
    dbg->LogEnter("Outer");
    dbg->LogEnter("Inner");
    dbg->LogMsg("deep");
    std::thread([&] { dbg->LogMsg("other thread"); }).join();
    dbg->LogLeave("Inner");
    dbg->LogLeave("Outer");
    dbg->LogLeave("Unbalanced");
    dbg->LogMsg("back");
    auto packets = viewer.Take();
    ASSERT_EQ(packets.size(), 8u);
    const uint32_t indents[] = {0, 1, 2, 0, 1, 0, 0, 0};
    for (size_t i = 0; i < packets.size(); ++i)
        EXPECT_EQ(Packet(packets[i]).U32(8), indents[i]) << Packet(packets[i]).Content();
    EXPECT_EQ(Packet(packets[0]).Content(), "Enter: Outer");
    EXPECT_EQ(Packet(packets[0]).U32(28), uint32_t(cmtEnterProc));
    EXPECT_EQ(Packet(packets[5]).Content(), "Leave: Outer");
}

TEST_F(DebugChannelTest, FullQueueDropsOldestWholePacketsAndWraps) {
    // 60-byte packets in a 250-byte ring: at most four fit, and writes wrap.
    TestViewer viewer(250);
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 7; ++i)
            dbg->LogMsg("msg" + std::to_string(round) + std::to_string(i) + "_______");
        auto packets = viewer.Take();
        ASSERT_EQ(packets.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            Packet p(packets[size_t(i)]);
            EXPECT_EQ(p.U32(0), 60u);
            EXPECT_EQ(p.Content(),
                      "msg" + std::to_string(round) + std::to_string(i + 3) + "_______");
        }
    }
    // The header before the queue area was never touched by the writer.
    EXPECT_EQ(std::memcmp(viewer.Header(), "OXDEBUG", 8), 0);
    EXPECT_EQ(viewer.Get(16), 64u);
}

TEST_F(DebugChannelTest, LengthFieldMayStraddleTheEndOfTheArea) {
    TestViewer viewer(250);
    dbg->LogMsg(std::string(200, 'a')); // 248 bytes: the next write starts 2 bytes before the end
    ASSERT_EQ(viewer.Take().size(), 1u);
    dbg->LogMsg("straddles");
    auto packets = viewer.Take();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(Packet(packets[0]).U32(0), 57u);
    EXPECT_EQ(Packet(packets[0]).Content(), "straddles");
    EXPECT_EQ(viewer.Get(24), (248u + 57u) % 250u);
}

TEST_F(DebugChannelTest, BrokenBlockCountsAsNoViewer) {
    struct Damage {
        const char* what;
        int offset;
        uint32_t value;
    } damages[] = {
        {"mark", 8, 0},
        {"another magic", 0, 0x45444E43}, // "CNDE"
        {"size beyond the mapping", 12, 1u << 30},
        {"queue offset inside the header", 16, 4},
        {"queue offset past the end", 16, 5000},
        {"front outside the queue", 20, 100000},
        {"tail outside the queue", 24, 0x80000000u},
    };
    for (const auto& d : damages) {
        SCOPED_TRACE(d.what);
        TestViewer viewer(1024);
        viewer.Put(d.offset, d.value);
        std::vector<uint8_t> before(viewer.Header(), viewer.Header() + 64 + 1024);
        dbg->LogMsg("into a broken block");
        EXPECT_EQ(std::memcmp(before.data(), viewer.Header(), before.size()), 0);
    }
    // A queued length that points past the queued bytes is no packet at all.
    TestViewer viewer(250);
    for (int i = 0; i < 4; ++i)
        dbg->LogMsg("fill_______" + std::to_string(i));
    uint8_t* base = viewer.Header() + 64;
    uint32_t bogus = 0;
    std::memcpy(base + viewer.Get(20), &bogus, 4);
    std::vector<uint8_t> before(viewer.Header(), viewer.Header() + 64 + 250);
    dbg->LogMsg("needs room_");
    EXPECT_EQ(std::memcmp(before.data(), viewer.Header(), before.size()), 0);
}

TEST_F(DebugChannelTest, NoViewerAndInactiveDebuggerWriteNothing) {
    dbg->LogMsg("nobody listens");
    EXPECT_EQ(dbg->MessageCount(), 1);
    EXPECT_EQ(dbg->PostedMessageCount(), 0);
    TestViewer viewer(4096);
    dbg->SetActive(false);
    dbg->LogMsg("switched off");
    EXPECT_TRUE(viewer.Take().empty());
    EXPECT_EQ(dbg->DiscardedMessageCount(), 2);
    EXPECT_TRUE(launched.empty());
}

TEST_F(DebugChannelTest, AutoStartRunsTheViewerOnce) {
    dbg->SetAutoStart(true);
    dbg->LogMsg("first");
    dbg->LogMsg("second");
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0], (std::vector<std::string>{"OxDebugViewer.exe", "-a",
                                                     std::to_string(os::CurrentProcessId())}));
}

TEST_F(DebugChannelTest, ThreadsLogConcurrently) {
    TestViewer viewer(1 << 20);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                dbg->LogEnter("T" + std::to_string(t));
                dbg->LogLeave("T" + std::to_string(t));
            }
        });
    for (auto& th : threads)
        th.join();
    auto packets = viewer.Take();
    ASSERT_EQ(packets.size(), 400u);
    for (const auto& raw : packets) {
        Packet p(raw);
        EXPECT_EQ(p.U32(0), raw.size());
        EXPECT_EQ(p.U32(8), 0u) << p.Content(); // each thread's own indentation
    }
}

TEST_F(DebugChannelTest, DumpFileKeepsACopyOfEachPacket) {
    TempDir dir;
    TestViewer viewer(4096);
    dir.write("dump.cdd", "old contents");
    dbg->SetDumpFileName(dir.file("dump.cdd"));
    dbg->SetDumpToFile(true);
    dbg->LogMsg("one");
    dbg->LogMsg("two");
    dbg->SetDumpToFile(false);
    auto packets = viewer.Take();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(dir.read("dump.cdd"), packets[0] + packets[1]);
}

TEST_F(DebugChannelTest, MessageFamilyTexts) {
    TestViewer viewer(1 << 16);
    int x = 0;
    dbg->LogFmt("%d items of %s", 3, "kind");
    dbg->LogFmt("%d broken", "text");
    dbg->LogAssigned(&x);
    dbg->LogAssigned(nullptr, "the pointer");
    dbg->LogBoolean(true);
    dbg->LogInteger(42);
    dbg->LogInteger(-7, "count");
    dbg->LogChar('A');
    dbg->LogPoint(TPoint(1, 2));
    dbg->LogRect(TRect(1, 2, 3, 4), "box");
    dbg->LogVirtualKey(0x0D);
    dbg->LogVirtualKey(0x15);
    dbg->LogVirtualKey(0x41);
    dbg->LogSeparator();
    dbg->LogColor(0x0000FF);
    dbg->LogComponent(nullptr);
    const char* expected[] = {"3 items of kind",
                              nullptr,
                              "Assigned: a Pointer.",
                              "Unassigned: the pointer",
                              "True: a Boolean Value.",
                              "Integer: 42",
                              "count -7",
                              "Char: 'A'(65/$41)",
                              "Point: (1,2)",
                              "box ((1,2),(3,4))",
                              "VirtualKey: 13($0d), VK_RETURN",
                              "VirtualKey: 21($15), VK_KANA/VK_HANGUL",
                              "VirtualKey: 65($41), VK_UNKNOWN",
                              "-",
                              "Color: clRed",
                              "Component is nil."};
    auto packets = viewer.Take();
    ASSERT_EQ(packets.size(), std::size(expected));
    for (size_t i = 0; i < packets.size(); ++i) {
        if (expected[i]) {
            EXPECT_EQ(Packet(packets[i]).Content(), expected[i]);
        }
    }
    EXPECT_EQ(Packet(packets[1])
                  .Content()
                  .rfind("Format Error! Format String: %d broken. \r\n"
                         "Hex Params: ",
                         0),
              0u);
    EXPECT_EQ(Packet(packets[13]).U32(28), uint32_t(cmtSeparator));
}

// A component publishing one property of each kind.
class TListingProbe : public TComponent {
public:
    using TComponent::TComponent;
    std::string Title = "it's";
    TStringList Lines;
    std::vector<TComponent*> Items;
    TComponent* Buddy = nullptr;
};

struct TListingProbeRegistration {
    TListingProbeRegistration() {
        auto probe = [](TObject* o) { return static_cast<TListingProbe*>(o); };
        RegisterPublished<TListingProbe, TComponent>(
            {TextProp(
                 "Title", "string", [=](TObject* o) { return probe(o)->Title; },
                 [=](TObject* o, const std::string& v) { probe(o)->Title = v; }),
             StringsProp("Lines", [=](TObject* o) -> TStrings* { return &probe(o)->Lines; }),
             CollectionProp(
                 "Items", "TCollection", [=](TObject* o) { return int(probe(o)->Items.size()); },
                 [=](TObject* o, int i) -> TObject* { return probe(o)->Items[size_t(i)]; }),
             ObjectProp("Buddy", "TComponent",
                        [=](TObject* o) -> TObject* { return probe(o)->Buddy; })});
    }
} g_listingProbeRegistration;

TEST_F(DebugChannelTest, ListingsShowThePublishedProperties) {
    TestViewer viewer(1 << 16);
    TListingProbe probe(nullptr);
    probe.SetName("probe");
    probe.Tag = 7;
    probe.Lines.Add("a");
    probe.Lines.Add("b");
    auto* child = new TComponent(&probe);
    child->SetName("child");
    child->Tag = 3;
    TComponent first(nullptr);
    first.SetName("first");
    first.Tag = 1;
    probe.Items.push_back(&first);
    probe.Buddy = child;

    dbg->LogObject(&probe);
    TList list;
    list.Add(&first);
    list.Add(child);
    dbg->LogCollection(&list);
    dbg->LogComponent(&probe);
    auto packets = viewer.Take();
    ASSERT_EQ(packets.size(), 3u);

    const std::string object = Packet(packets[0]).Content();
    EXPECT_EQ(object.rfind("Object: $", 0), 0u);
    for (const char* line :
         {"  Buddy = child\r\n", "  Lines.Strings = (\r\n    'a'\r\n    'b')\r\n",
          "  Items = <\r\n    item\r\n      Name = 'first'\r\n      Tag = 1\r\n    end>\r\n",
          "  Name = 'probe'\r\n", "  Tag = 7\r\n", "  Title = 'it''s'\r\n"})
        EXPECT_NE(object.find(line), std::string::npos) << line << "\nin\n" << object;
    EXPECT_EQ(Packet(packets[0]).U32(28), uint32_t(cmtObject));

    const std::string collection = Packet(packets[1]).Content();
    EXPECT_NE(collection.find("  Count = 2\r\n  object: \r\n    Index = 0\r\n    Name = 'first'\r\n"
                              "    Tag = 1\r\n  end\r\n  object: \r\n    Index = 1\r\n"
                              "    Name = 'child'\r\n    Tag = 3\r\n  end\r\nend"),
              std::string::npos)
        << collection;

    const std::string component = Packet(packets[2]).Content();
    EXPECT_EQ(component.rfind("object probe: ", 0), 0u) << component;
    EXPECT_NE(component.find("  Title = 'it''s'\r\n"), std::string::npos) << component;
    EXPECT_NE(component.find("  object child: TComponent\r\n    Tag = 3\r\n  end\r\nend\r\n"),
              std::string::npos)
        << component;
    // The names stand in the headings.
    EXPECT_EQ(component.find("Name = 'probe'"), std::string::npos) << component;
    EXPECT_EQ(component.find("Name = 'child'"), std::string::npos) << component;
    EXPECT_EQ(Packet(packets[2]).U32(28), uint32_t(cmtComponent));
}

TEST_F(DebugChannelTest, TimeMarksReportTheirCycles) {
    TestViewer viewer(4096);
    dbg->StopTimeMark("never"); // no mark started: nothing sent
    dbg->StartTimeMark(7);
    dbg->StopTimeMark(7, "done");
    auto packets = viewer.Take();
    ASSERT_EQ(packets.size(), 1u);
    Packet p(packets[0]);
    EXPECT_EQ(p.Content(), "done");
    EXPECT_EQ(p.Tag(), "#7");
    EXPECT_EQ(p.U32(28), uint32_t(cmtTimeMarkStop));
}

} // namespace
