#include "media/FFLog.h"

#include "media/FFLoad.h"
#include "platform/os/process.h"
#include "platform/win/queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdarg>
#include <mutex>
#include <thread>

namespace {

struct TLine {
    TObject* Sender;
    uint32_t ThreadID;
    TLogLevel Level;
    std::string Msg;
};

// A logger that records what it delivers, in the calling thread.
class LogTest : public ::testing::Test {
protected:
    LogTest() {
        Logger.SetTriggerEventInMainThread(false);
        Logger.OnLog = [this](TObject* Sender, uint32_t ThreadID, TLogLevel Level,
                              const std::string& Msg) {
            std::lock_guard<std::mutex> Guard(Lock);
            Lines.push_back({Sender, ThreadID, Level, Msg});
        };
    }
    ~LogTest() override { Logger.SetLogLevel(llInfo); }

    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> Guard(Lock);
        std::vector<std::string> T;
        for (auto& L : Lines)
            T.push_back(L.Msg);
        return T;
    }

    TFFLogger Logger{nullptr};
    std::mutex Lock;
    std::vector<TLine> Lines;
};

// A message as the libraries send it to the callback.
void LibLog(void* Ptr, int Level, const char* Fmt, ...) {
    va_list Vl;
    va_start(Vl, Fmt);
    FFLogCallback(Ptr, Level, Fmt, Vl);
    va_end(Vl);
}

TEST(LogLevels, MapToAndFromTheLibraries) {
    EXPECT_EQ(LogLevelToAV(llQuiet), -8);
    EXPECT_EQ(LogLevelToAV(llError), 16);
    EXPECT_EQ(LogLevelToAV(llDebug), 48);
    struct {
        int AV;
        TLogLevel Level;
    } Cases[] = {{-100, llQuiet}, {-8, llQuiet}, {0, llPanic},  {16, llError},
                 {20, llError},   {32, llInfo},  {48, llDebug}, {56, llDebug}};
    for (auto& C : Cases)
        EXPECT_EQ(AVToLogLevel(C.AV), C.Level) << C.AV;
}

TEST_F(LogTest, LevelFiltersOwnMessages) {
    Logger.SetLogLevel(llWarning);
    Logger.Log(nullptr, llInfo, "info");
    Logger.Log(nullptr, llVerbose, "verbose");
    Logger.Log(&Logger, llError, {42}, "error %d");
    Logger.SetLogLevel(llQuiet);
    Logger.Log(nullptr, llVerbose, "quiet verbose");
    Logger.Log(nullptr, llPanic, "quiet panic");
    EXPECT_EQ(Texts(), (std::vector<std::string>{"verbose", "error 42"}));
    ASSERT_EQ(Lines.size(), 2u);
    EXPECT_EQ(Lines[1].Sender, &Logger);
    EXPECT_EQ(Lines[1].Level, llError);
    EXPECT_EQ(Lines[1].ThreadID, os::CurrentThreadId());
}

TEST_F(LogTest, LibraryTextIsJoinedIntoLinesAndRepeatsAreCounted) {
    Logger.SetLogLevel(llInfo);
    LibLog(nullptr, AV_LOG_INFO, "abc");
    LibLog(nullptr, AV_LOG_INFO, "def\n");
    for (int I = 0; I < 3; ++I)
        LibLog(nullptr, AV_LOG_WARNING, "same %s\n", "line");
    LibLog(nullptr, AV_LOG_ERROR, "other\n");
    LibLog(nullptr, AV_LOG_DEBUG, "too detailed\n");
    LibLog(nullptr, AV_LOG_INFO, "two\nlines\n");
    EXPECT_EQ(Texts(),
              (std::vector<std::string>{"abcdef", "same line", "    Last message repeated 2 times",
                                        "other", "two", "lines"}));
    EXPECT_EQ(Lines[0].Sender, &Logger);
    EXPECT_EQ(Lines[3].Level, llError);
}

TEST_F(LogTest, LongLibraryMessagesAreKeptWhole) {
    std::string Long(5000, 'x');
    LibLog(nullptr, AV_LOG_INFO, "%s\n", Long.c_str());
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_EQ(Texts()[0], Long);
}

TEST_F(LogTest, PendingTextIsKeptPerThread) {
    std::atomic<int> Step{0};
    std::thread Other([&] {
        LibLog(nullptr, AV_LOG_INFO, "one-");
        Step = 1;
        while (Step != 2)
            std::this_thread::yield();
        LibLog(nullptr, AV_LOG_INFO, "end\n");
    });
    while (Step != 1)
        std::this_thread::yield();
    LibLog(nullptr, AV_LOG_INFO, "two-");
    Step = 2;
    Other.join();
    LibLog(nullptr, AV_LOG_INFO, "end\n");
    EXPECT_EQ(Texts(), (std::vector<std::string>{"one-end", "two-end"}));
}

TEST_F(LogTest, DeliveriesFromManyThreadsKeepTheirOwnRecords) {
    std::vector<std::thread> Threads;
    for (int T = 0; T < 8; ++T)
        Threads.emplace_back([this] {
            const std::string Mine = std::to_string(os::CurrentThreadId());
            for (int I = 0; I < 200; ++I)
                Logger.Log(nullptr, llInfo, Mine);
        });
    for (auto& T : Threads)
        T.join();
    ASSERT_EQ(Lines.size(), 1600u);
    for (auto& L : Lines)
        ASSERT_EQ(L.Msg, std::to_string(L.ThreadID));
}

TEST_F(LogTest, WorkerMessagesReachTheHandlerOnTheMainThread) {
    Logger.SetTriggerEventInMainThread(true);
    bool OnMain = false;
    Logger.OnLog = [&](TObject*, uint32_t, TLogLevel, const std::string&) {
        OnMain = IsMainThread();
    };
    MSG Msg{};
    PeekMessage(&Msg, 0, 0, 0, PM_NOREMOVE); // the main thread's queue exists from here
    std::atomic<bool> Done{false};
    std::thread Worker([&] {
        Logger.Log(nullptr, llError, "from worker");
        Done = true;
    });
    while (!Done)
        RunThreadCalls(10);
    Worker.join();
    EXPECT_TRUE(OnMain);
}

TEST_F(LogTest, OptLogLevel) {
    struct {
        const char* Text;
        TLogLevel Level;
    } Cases[] = {{"Debug", llDebug}, {"20", llError}, {"WARNING", llWarning},
                 {"quiet", llQuiet}, {"-8", llQuiet}, {"info", llInfo}};
    for (auto& C : Cases) {
        Logger.OptLogLevel(C.Text);
        EXPECT_EQ(Logger.LogLevel(), C.Level) << C.Text;
    }
    EXPECT_THROW(Logger.OptLogLevel("loud"), EConvertError);
}

TEST(LoggerInstance, OnlyOneAtATime) {
    TFFLogger* Auto = FFLogger();
    ASSERT_NE(Auto, nullptr);
    EXPECT_TRUE(Auto->AutoCreated());
    {
        TFFLogger Mine(nullptr); // the automatic one gives way
        EXPECT_EQ(FFLogger(), &Mine);
        EXPECT_FALSE(Mine.AutoCreated());
        EXPECT_EQ(Mine.LogLevel(), llInfo);
        EXPECT_TRUE(Mine.TriggerEventInMainThread());
        try {
            TFFLogger Second(nullptr);
            FAIL() << "a second logger was created";
        } catch (const EFFLoggerError& E) {
            EXPECT_EQ(E.Message, "Allow creating only one instance of TFFLogger.");
        }
        EXPECT_EQ(FFLogger(), &Mine);
    }
    EXPECT_TRUE(FFLogger()->AutoCreated());
}

struct TProbeObject {
    const AVClass* Class;
};

TEST_F(LogTest, LibraryMessagesCarryTheirContext) {
    ASSERT_TRUE(FFLoader().Load(avUtil)) << FFLoader().LastErrMsg();
    AVClass Class{};
    Class.class_name = "Probe";
    Class.item_name = FF().av_default_item_name;
    Class.version = LIBAVUTIL_VERSION_INT;
    TProbeObject Object{&Class};
    FF().av_log(&Object, AV_LOG_ERROR, "boom %d\n", 5);
    FFLoader().Unload(avUtil);
    ASSERT_EQ(Texts().size(), 1u) << ::testing::PrintToString(Texts());
    char Expected[64];
    std::snprintf(Expected, sizeof Expected, "[Probe @ %p]boom 5", static_cast<void*>(&Object));
    EXPECT_EQ(Texts()[0], Expected);
}

} // namespace
