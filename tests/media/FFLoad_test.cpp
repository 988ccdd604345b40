#include "media/FFLoad.h"

#include "media/FFLog.h"
#include "platform/os/clock.h"
#include "platform/os/process.h"
#include "platform/win/queue.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// Leaves the process-wide loader as it found it: default names and path,
// nothing loaded.
class LoaderTest : public ::testing::Test {
protected:
    void TearDown() override {
        FFLoader().Unload(AllLibraries);
        for (int I = 0; I < LibraryCount; ++I)
            FFLoader().SetLibraryName(TLibrary(I), "");
        FFLoader().SetLibraryPath("");
    }
};

std::vector<std::string> UnboundRequired() {
    std::vector<std::string> Missing;
    TFFEntries& E = FF();
#define CHECK_REQ(name)                                                                            \
    if (!E.name) Missing.push_back(#name);
#define SKIP_OPT(name)
    FF_ALL_ENTRIES(CHECK_REQ, SKIP_OPT)
#undef CHECK_REQ
#undef SKIP_OPT
    return Missing;
}

bool AnyLoaded() {
    for (int I = 0; I < LibraryCount; ++I)
        if (FFLoader().Loaded(TLibrary(I))) return true;
    return false;
}

TEST_F(LoaderTest, FullLoadBindsEveryRequiredEntry) {
    ASSERT_TRUE(FFLoader().Load(AllLibraries)) << FFLoader().LastErrMsg();
    EXPECT_TRUE(FFLoader().Loaded(AllLibraries));
    EXPECT_EQ(UnboundRequired(), std::vector<std::string>{});
    EXPECT_EQ(FF().avcodec_version() >> 16, unsigned(LIBAVCODEC_VERSION_MAJOR));
    // The bound entries work.
    AVPacket* Packet = FF().av_packet_alloc();
    ASSERT_NE(Packet, nullptr);
    FF().av_packet_free(&Packet);

    FFLoader().Unload(AllLibraries);
    EXPECT_FALSE(AnyLoaded());
    EXPECT_EQ(FF().avcodec_send_packet, nullptr);
    EXPECT_EQ(FF().av_dict_set, nullptr);
}

TEST_F(LoaderTest, FileNamesFollowTheLinuxRule) {
    EXPECT_EQ(FFLoader().LibraryFileName(avCodec),
              "libavcodec.so." + std::to_string(LIBAVCODEC_VERSION_MAJOR));
    EXPECT_EQ(FFLoader().LibraryFileName(swResample),
              "libswresample.so." + std::to_string(LIBSWRESAMPLE_VERSION_MAJOR));
    EXPECT_EQ(FFLoader().LibraryFileName(myUtil), "libc.so.6");
    FFLoader().SetLibraryName(avFilter, "/opt/x/libother.so");
    EXPECT_EQ(FFLoader().LibraryFileName(avFilter), "/opt/x/libother.so");
}

TEST_F(LoaderTest, MissingLibraryUnloadsTheWholeSet) {
    FFLoader().SetLibraryName(avFilter, "liblantrove-missing.so.1");
    EXPECT_FALSE(FFLoader().Load(ConverterLibraries));
    EXPECT_EQ(FFLoader().LastErrMsg().rfind("Load library liblantrove-missing.so.1 error: ", 0), 0u)
        << FFLoader().LastErrMsg();
    EXPECT_FALSE(AnyLoaded());
    EXPECT_EQ(FF().avcodec_open2, nullptr);
    EXPECT_EQ(FF().av_log_set_callback, nullptr);
}

TEST_F(LoaderTest, MissingEntryUnloadsTheWholeSet) {
    // A real library that lacks the filter entries.
    const std::string Util = FFLoader().LibraryFileName(avUtil);
    FFLoader().SetLibraryName(avFilter, Util);
    EXPECT_FALSE(FFLoader().Load(ConverterLibraries));
    EXPECT_EQ(
        FFLoader().LastErrMsg().rfind("Load function avfilter_version@" + Util + " error: ", 0), 0u)
        << FFLoader().LastErrMsg();
    EXPECT_FALSE(AnyLoaded());
    EXPECT_EQ(FF().avcodec_open2, nullptr);
}

TEST_F(LoaderTest, LibraryPathIsSearchedExceptForSystemLibraries) {
    TempDir Dir;
    const std::string Util = FFLoader().LibraryFileName(avUtil);
    Dir.write(Util, "not a library");
    Dir.write("libc.so.6", "not a library");
    FFLoader().SetLibraryPath(Dir.path());

    EXPECT_FALSE(FFLoader().Load(avUtil));
    EXPECT_EQ(
        FFLoader().LastErrMsg().rfind("Load library " + Dir.path() + "/" + Util + " error: ", 0),
        0u)
        << FFLoader().LastErrMsg();
    EXPECT_TRUE(FFLoader().Load(myUtil)) << FFLoader().LastErrMsg();

    // A path that is no folder holding the file: the system search order.
    FFLoader().SetLibraryPath(Dir.file("nothing-here"));
    EXPECT_TRUE(FFLoader().Load(avUtil)) << FFLoader().LastErrMsg();
}

TEST_F(LoaderTest, DecoderSetLeavesTheFilterLibraryOut) {
    ASSERT_TRUE(FFLoader().Load(DecoderLibraries)) << FFLoader().LastErrMsg();
    EXPECT_TRUE(FFLoader().Loaded(avCodec));
    EXPECT_FALSE(FFLoader().Loaded(avFilter));
    EXPECT_FALSE(FFLoader().Loaded(avDevice));
}

// ---------------------------------------------------------------------------
// Codec mutex

struct LogRecorder {
    TFFLogger Logger{nullptr};
    std::vector<std::pair<TLogLevel, std::string>> Lines;
    std::mutex Lock;

    LogRecorder() {
        Logger.SetTriggerEventInMainThread(false);
        Logger.SetLogLevel(llDebug);
        Logger.OnLog = [this](TObject*, uint32_t, TLogLevel Level, const std::string& Msg) {
            std::lock_guard<std::mutex> Guard(Lock);
            Lines.emplace_back(Level, Msg);
        };
    }
    ~LogRecorder() { Logger.SetLogLevel(llInfo); }
};

TEST(CodecLockManager, ReportsMisuseAndSerialisesThreads) {
    LogRecorder Log;
    void* Var = nullptr;
    ASSERT_EQ(CodecLockManager(&Var, lockCreate), 0);
    ASSERT_NE(Var, nullptr);
    EXPECT_EQ(CodecLockManager(&Var, lockCreate), -1);
    EXPECT_EQ(CodecLockManager(&Var, 9), -1);

    ASSERT_EQ(CodecLockManager(&Var, lockObtain), 0);
    // Another thread can neither release nor obtain it meanwhile.
    std::atomic<bool> Obtained{false};
    int ForeignRelease = 0;
    std::thread Other([&] {
        ForeignRelease = CodecLockManager(&Var, lockRelease);
        CodecLockManager(&Var, lockObtain);
        Obtained = true;
        CodecLockManager(&Var, lockRelease);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(Obtained);
    EXPECT_EQ(CodecLockManager(&Var, lockRelease), 0);
    Other.join();
    EXPECT_TRUE(Obtained);
    EXPECT_EQ(ForeignRelease, -1);

    EXPECT_EQ(CodecLockManager(&Var, lockDestroy), 0);
    EXPECT_EQ(Var, nullptr);
    EXPECT_EQ(CodecLockManager(&Var, lockObtain), -1);

    std::vector<std::string> Texts;
    for (auto& L : Log.Lines)
        Texts.push_back(L.second);
    auto Has = [&](const std::string& Prefix) {
        for (auto& T : Texts)
            if (T.rfind(Prefix, 0) == 0) return true;
        return false;
    };
    EXPECT_TRUE(Has("create codec mutex ["));
    EXPECT_TRUE(Has("error, codec mutex ["));
    EXPECT_TRUE(Has("error, invalid codec mutex operation 9."));
    EXPECT_TRUE(Has("error, could not release codec mutex ["));
    EXPECT_TRUE(Has("destory codec mutex ["));
    EXPECT_TRUE(Has("error, codec mutex not available."));
}

TEST_F(LoaderTest, CodecLibraryLoadCreatesTheProcessCodecMutex) {
    EXPECT_FALSE(LockCodecMutex());
    ASSERT_TRUE(FFLoader().Load(avCodec)) << FFLoader().LastErrMsg();
    EXPECT_TRUE(LockCodecMutex());
    EXPECT_TRUE(UnlockCodecMutex());
    FFLoader().Unload(avCodec);
    EXPECT_FALSE(LockCodecMutex());
}

// ---------------------------------------------------------------------------
// Interrupt list

bool Yes(void*) {
    return true;
}
bool No(void*) {
    return false;
}

TEST(InterruptList, AnswersPerThread) {
    TInterruptCB List;
    int A = 0, B = 0;
    const auto Self = std::this_thread::get_id();
    List.Add(Self, &A, Yes);
    List.Add(Self, &A, Yes); // no duplicate
    List.Add(Self, &B, No);
    EXPECT_EQ(List.LockList().size(), 2u);
    List.UnlockList();
    EXPECT_TRUE(List.Interrupt(Self));
    bool OtherThread = true;
    std::thread([&] { OtherThread = List.Interrupt(std::this_thread::get_id()); }).join();
    EXPECT_FALSE(OtherThread);
    List.Remove(Self, &A, Yes);
    EXPECT_FALSE(List.Interrupt(Self)); // the remaining entry answers no
    List.Clear();
    EXPECT_FALSE(List.Interrupt(Self));
}

TEST_F(LoaderTest, InterruptCallbackAbandonsABlockingOpen) {
    ASSERT_TRUE(FFLoader().Load(ConverterLibraries)) << FFLoader().LastErrMsg();
    int Sender = 0;
    InterruptList().Add(std::this_thread::get_id(), &Sender, Yes);
    AVFormatContext* Ctx = FF().avformat_alloc_context();
    Ctx->interrupt_callback = FFInterruptCB();
    // Waits for a connection that never comes unless interrupted.
    const std::string Url =
        "tcp://127.0.0.1:" + std::to_string(40000 + os::CurrentProcessId() % 20000) + "?listen=1";
    int Result = FF().avformat_open_input(&Ctx, Url.c_str(), nullptr, nullptr);
    InterruptList().Remove(std::this_thread::get_id(), &Sender, Yes);
    EXPECT_EQ(Result, AVERROR_EXIT);
    EXPECT_EQ(Ctx, nullptr);
}

} // namespace
