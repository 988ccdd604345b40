// The encoder driving whole conversions, checked with ffprobe.
#include "media/FFEncode.h"

#include "platform/os/process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "MediaTestFiles.h"
#include "support/tempdir.h"

namespace {

bool Make(const std::string& FileName, const MediaRecipe& Recipe) {
    std::string Error;
    EXPECT_TRUE(WriteMedia(FileName, Recipe, &Error)) << Error;
    return Error.empty();
}

// ffprobe's values, keyed "stream.N.key" and "format.key".
std::map<std::string, std::string> Probe(const std::string& File) {
    std::string Text =
        RunCommand("ffprobe -v error -show_entries "
                   "stream=codec_name,codec_type,sample_rate,channels,bit_rate:format=duration,"
                   "nb_streams -of flat " +
                   ShellQuote(File));
    std::map<std::string, std::string> Out;
    size_t P = 0;
    while (P < Text.size()) {
        size_t E = Text.find('\n', P);
        if (E == std::string::npos) E = Text.size();
        std::string Line = Text.substr(P, E - P);
        P = E + 1;
        size_t Eq = Line.find('=');
        if (Eq == std::string::npos) continue;
        std::string Key = Line.substr(0, Eq), Value = Line.substr(Eq + 1);
        if (Value.size() >= 2 && Value.front() == '"') Value = Value.substr(1, Value.size() - 2);
        if (Key.rfind("streams.stream.", 0) == 0) Key = "stream." + Key.substr(15);
        Out[Key] = Value;
    }
    return Out;
}

struct Event {
    int TaskIndex;
    bool Finished;
    bool Exception;
    std::string Msg;
};

class Encoder : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(FFLoader().Load(ConverterLibraries)) << FFLoader().LastErrMsg();
        Media = new TempDir;
        ASSERT_TRUE(Make(
            Media->file("clip.mkv"),
            MediaRecipe{.Video = PictureRecipe{.Width = 64, .Height = 48, .Rate = 25, .Seconds = 2},
                        .Audio = {ToneRecipe{.SampleRate = 22050, .Seconds = 2}}}));
    }
    static void TearDownTestSuite() {
        delete Media;
        Media = nullptr;
    }
    static std::string In(const char* Name) { return Media->file(Name); }

    // Records terminate events; safe from any thread.
    void Record(TCustomEncoder& E) {
        E.OnTerminate = [this](TObject*, const TTerminateInfo& I) {
            std::lock_guard<std::mutex> G(Lock);
            Events.push_back({I.TaskIndex, I.Finished, I.Exception, I.ExceptionMsg});
        };
    }
    bool WaitForEnd() {
        for (int I = 0; I < 3000; ++I) {
            CheckSynchronize(5);
            std::lock_guard<std::mutex> G(Lock);
            if (!Events.empty() && Events.back().TaskIndex == -1) return true;
        }
        return false;
    }

    static TempDir* Media;
    TempDir Out;
    std::mutex Lock;
    std::vector<Event> Events;
};

TempDir* Encoder::Media = nullptr;

// The options the application uses for an audio file.
TOutputOptions AudioOptions(const std::string& File, int64_t Seconds, int KBits) {
    TOutputOptions O;
    InitOutputOptions(O);
    O.FileName = File;
    O.DisableVideo = true;
    O.AudioChannels = 2;
    O.AudioSampleRate = 44100;
    O.TimeStart = 0;
    O.TimeLength = Seconds * 1000000;
    O.VideoBitrate = 200000;
    O.AudioBitrate = KBits * 1000;
    return O;
}

TEST_F(Encoder, ConvertsAMediaFileToMp3InTheCallersThread) {
    TFFEncoder E(nullptr);
    ASSERT_TRUE(E.AVLibLoaded());
    bool Returned = false;
    std::vector<bool> ReturnedAtEvent;
    std::vector<int> ProgressTasks;
    E.OnTerminate = [&](TObject* Sender, const TTerminateInfo& I) {
        EXPECT_EQ(Sender, &E);
        Events.push_back({I.TaskIndex, I.Finished, I.Exception, I.ExceptionMsg});
        ReturnedAtEvent.push_back(Returned);
    };
    E.OnProgress = [&](TObject*, PProgressInfo P) { ProgressTasks.push_back(P->TaskIndex); };

    ASSERT_TRUE(E.Decoder()->LoadFile(In("clip.mkv"), ""));
    TInputOptions IO;
    InitInputOptions(IO);
    IO.FileName = E.Decoder()->FileName();
    IO.ForceFormat = E.Decoder()->ForceFormat();
    int Task = E.AddTask(In("clip.mkv"), &IO);
    ASSERT_EQ(Task, 0) << E.LastErrMsg();
    const std::string Mp3 = Out.file("song.mp3");
    TOutputOptions O = AudioOptions(Mp3, 1, 96);
    ASSERT_TRUE(E.SetOutputFile(Task, Mp3, &O)) << E.LastErrMsg();
    E.Start(0);
    Returned = true;

    ASSERT_EQ(Events.size(), 2u);
    EXPECT_EQ(Events[0].TaskIndex, 0);
    EXPECT_TRUE(Events[0].Finished);
    EXPECT_FALSE(Events[0].Exception) << Events[0].Msg;
    EXPECT_EQ(Events[1].TaskIndex, -1);
    EXPECT_TRUE(Events[1].Finished);
    EXPECT_FALSE(Events[1].Exception);
    EXPECT_EQ(ReturnedAtEvent, (std::vector<bool>{false, false}));
    EXPECT_FALSE(ProgressTasks.empty());
    for (int T : ProgressTasks)
        EXPECT_EQ(T, 0);
    EXPECT_TRUE(E.Working());
    EXPECT_TRUE(E.Terminated());
    try {
        E.AddTask(In("clip.mkv"), static_cast<TInputOptions*>(nullptr));
        ADD_FAILURE() << "AddTask during a run";
    } catch (const Exception& X) {
        EXPECT_EQ(X.Message, "Cannot AddTask while working.");
    }

    auto P = Probe(Mp3);
    EXPECT_EQ(P["format.nb_streams"], "1");
    EXPECT_EQ(P["stream.0.codec_name"], "mp3");
    EXPECT_EQ(P["stream.0.sample_rate"], "44100");
    EXPECT_EQ(P["stream.0.channels"], "2");
    EXPECT_EQ(P["stream.0.bit_rate"], "96000");
    EXPECT_NEAR(std::atof(P["format.duration"].c_str()), 1.0, 0.08);

    // What the application reads back before it tags the file.
    TOutputOptions Back;
    E.GetOutputOptions(0, 0, Back);
    EXPECT_EQ(Back.FileName, Mp3);
    E.ClearTasks();
    EXPECT_FALSE(E.Working());
    EXPECT_EQ(E.TasksCount(), 0);
}

TEST_F(Encoder, Mp3FromVideoGetsNoPictureStream) {
    TFFEncoder E(nullptr);
    Record(E);
    ASSERT_EQ(E.AddTask(In("clip.mkv"), std::string()), 0) << E.LastErrMsg();
    const std::string Mp3 = Out.file("with-video.mp3");
    // Video is not disabled; an empty record file name is filled in.
    TOutputOptions O;
    O.AudioBitrate = 64000;
    ASSERT_TRUE(E.SetOutputFile(0, Mp3, &O)) << E.LastErrMsg();
    EXPECT_EQ(O.FileName, Mp3);
    E.Start(0);
    ASSERT_EQ(Events.size(), 2u);
    EXPECT_TRUE(Events[0].Finished) << Events[0].Msg;
    auto P = Probe(Mp3);
    EXPECT_EQ(P["format.nb_streams"], "1");
    EXPECT_EQ(P["stream.0.codec_type"], "audio");
    EXPECT_NEAR(std::atof(P["format.duration"].c_str()), 2.0, 0.1);
}

TEST_F(Encoder, StartWithoutTasksEndsAtOnce) {
    for (int Threads : {0, 2}) {
        TFFEncoder E(nullptr);
        Record(E);
        Events.clear();
        E.Start(Threads);
        ASSERT_TRUE(WaitForEnd()) << Threads;
        ASSERT_EQ(Events.size(), 1u);
        EXPECT_EQ(Events[0].TaskIndex, -1);
        EXPECT_TRUE(E.Terminated());
        E.ClearTasks();
    }
}

TEST_F(Encoder, FailedTaskReportsItsErrorAndTheRunGoesOn) {
    TFFEncoder E(nullptr);
    Record(E);
    ASSERT_EQ(E.AddTask(In("clip.mkv"), std::string()), 0);
    ASSERT_EQ(E.AddTask(In("clip.mkv"), std::string()), 1);
    // Task 0 has no output file, so it cannot run.
    TOutputOptions O = AudioOptions(Out.file("b.mp3"), 1, 64);
    ASSERT_TRUE(E.SetOutputFile(1, O.FileName, &O)) << E.LastErrMsg();
    E.Start(0);
    ASSERT_EQ(Events.size(), 3u);
    EXPECT_EQ(Events[0].TaskIndex, 0);
    EXPECT_TRUE(Events[0].Exception);
    EXPECT_EQ(Events[0].Msg, "At least one output file must be specified");
    EXPECT_EQ(Events[1].TaskIndex, 1);
    EXPECT_TRUE(Events[1].Finished) << Events[1].Msg;
    EXPECT_EQ(Events[2].TaskIndex, -1);
}

TEST_F(Encoder, ThreadedRunEndsWithTheClosingEventLast) {
    TFFEncoder E(nullptr);
    Record(E);
    E.SetTriggerEventInMainThread(false);
    for (int I = 0; I < 3; ++I) {
        ASSERT_EQ(E.AddTask(In("clip.mkv"), std::string()), I) << E.LastErrMsg();
        TOutputOptions O = AudioOptions(Out.file("t" + std::to_string(I) + ".mp3"), 1, 64);
        ASSERT_TRUE(E.SetOutputFile(I, O.FileName, &O)) << E.LastErrMsg();
    }
    E.Start(2);
    ASSERT_TRUE(WaitForEnd());
    std::lock_guard<std::mutex> G(Lock);
    ASSERT_EQ(Events.size(), 4u);
    std::vector<int> Seen;
    for (size_t I = 0; I < 3; ++I) {
        EXPECT_TRUE(Events[I].Finished) << Events[I].Msg;
        Seen.push_back(Events[I].TaskIndex);
    }
    std::sort(Seen.begin(), Seen.end());
    EXPECT_EQ(Seen, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Events[3].TaskIndex, -1);
}

TEST_F(Encoder, FreeingDuringAThreadedRunIsSafe) {
    auto E = std::make_unique<TFFEncoder>(nullptr);
    Record(*E);
    for (int I = 0; I < 2; ++I) {
        ASSERT_EQ(E->AddTask(In("clip.mkv"), std::string()), I);
        TOutputOptions O = AudioOptions(Out.file("f" + std::to_string(I) + ".mp3"), 2, 64);
        ASSERT_TRUE(E->SetOutputFile(I, O.FileName, &O)) << E->LastErrMsg();
    }
    E->Start(1);
    E.reset();
    SUCCEED();
}

TEST_F(Encoder, HookBitmapsAndTheTaskThreadFollowTheSettings) {
    TFFEncoder E(nullptr);
    Record(E);
    E.SetTriggerEventInMainThread(false);
    E.SetThreadPriority(tpLowest);
    std::atomic<int> Bits{0}, Nice{-100}, Pictures{0};
    E.OnVideoInputHook = [&](TObject*, PHookInfo Info) {
        Bits = Info->Bitmap->BitsPerPixel();
        Nice = os::CurrentThreadNice();
        ++Pictures;
    };
    ASSERT_EQ(E.AddTask(In("clip.mkv"), std::string()), 0) << E.LastErrMsg();
    ASSERT_TRUE(E.SetOutputFile(0, Out.file("hooked.mkv"),
                                "vcodec=mpeg4\r\nan=1\r\nVideoInputHook=1\r\n"
                                "VideoHookBitsPixel=32\r\nTimeLength=400000"))
        << E.LastErrMsg();
    E.Start(1);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_GT(Pictures, 0);
    EXPECT_EQ(Bits, 32);
    EXPECT_EQ(Nice, ThreadPriorityNice(tpLowest));
    std::lock_guard<std::mutex> G(Lock);
    ASSERT_FALSE(Events.empty());
    EXPECT_TRUE(Events[0].Finished) << Events[0].Msg;
}

TEST_F(Encoder, OptionsReachTheTask) {
    TFFEncoder E(nullptr);
    E.SetProgressInterval(50);
    EXPECT_EQ(E.ProgressInterval(), 100);
    TInputOptions I;
    ASSERT_EQ(E.AddTask(In("clip.mkv"), &I), 0);
    EXPECT_EQ(I.FileName, In("clip.mkv"));
    TOutputOptions O = AudioOptions(Out.file("zero.mp3"), 0, 64);
    ASSERT_TRUE(E.SetOutputFile(0, O.FileName, &O));
    // A length of 0 is a recording time of 0, not "no limit".
    EXPECT_EQ(E.Task(0)->RecordingTime(), 0);

    ASSERT_EQ(E.AddTask(In("clip.mkv"), "TimeStart=abc"), 1);
    ASSERT_TRUE(E.SetOutputFile(1, Out.file("full.mp3"), "ab=64000\r\nTimeLength=x"));
    EXPECT_EQ(E.Task(1)->RecordingTime(), kNoRecordingLimit);

    EXPECT_EQ(E.AddTask(In("missing.mkv"), std::string()), -1);
    EXPECT_NE(E.LastErrMsg().find("missing.mkv"), std::string::npos) << E.LastErrMsg();
    EXPECT_EQ(E.TasksCount(), 2);
}

TEST_F(Encoder, LibrariesThatFailToLoadAreReported) {
    TFFEncoder E(nullptr);
    FFLoader().Unload(AllLibraries);
    FFLoader().SetLibraryName(avFilter, "liblantrove-missing.so.1");
    EXPECT_FALSE(E.LoadAVLib(""));
    EXPECT_EQ(E.LastErrMsg().rfind("Load library liblantrove-missing.so.1 error: ", 0), 0u)
        << E.LastErrMsg();
    EXPECT_FALSE(E.AVLibLoaded());
    FFLoader().SetLibraryName(avFilter, "");
    EXPECT_TRUE(E.LoadAVLib("")) << E.LastErrMsg();
    EXPECT_TRUE(E.AVLibLoaded());
}

} // namespace
