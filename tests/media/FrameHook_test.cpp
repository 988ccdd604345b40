// Frame-hook modules, built from the fixtures with the C compiler.
#include "media/FrameHook.h"

#include <gtest/gtest.h>

#include <string>

#include "MediaTestFiles.h"
#include "media/FFLoad.h"
#include "media/FFmpeg.h"
#include "platform/os/dynlib.h"
#include "support/tempdir.h"

namespace {

class FrameHook : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new TempDir;
        for (const char* name : {"framehook", "noprocess"}) {
            int status = -1;
            std::string out = RunCommand(
                "cc -shared -fPIC -o " + ShellQuote(dir->file(std::string(name) + ".so")) + " " +
                    ShellQuote(std::string(LANTROVE_FIXTURES_DIR) + "/ffmpeg/" + name + ".c"),
                &status);
            compiled = compiled && status == 0;
        }
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override {
        if (!compiled) GTEST_SKIP() << "no C compiler for the test modules";
    }
    static int Load(TFrameHookEntry** list, std::vector<std::string> args) {
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        return LoadFrameHook(list, int(args.size()), argv.data());
    }
    static TempDir* dir;
    static bool compiled;
};

TempDir* FrameHook::dir = nullptr;
bool FrameHook::compiled = true;

TEST_F(FrameHook, ModulesProcessInOrderAndShareOneHandle) {
    TFrameHookEntry* list = nullptr;
    std::string module = dir->file("framehook.so");
    ASSERT_EQ(Load(&list, {module}), 0);
    int once = LoadedFrameHookModules();
    ASSERT_EQ(Load(&list, {module, "arg"}), 0);
    EXPECT_EQ(LoadedFrameHookModules(), once); // the same file is one module
    ASSERT_NE(list, nullptr);
    ASSERT_NE(list->next, nullptr);
    EXPECT_EQ(list->next->next, nullptr);

    auto lib = os::LoadLibrary(module);
    auto calls = reinterpret_cast<int (*)()>(os::GetProcAddress(lib, "HookCalls"));
    auto released = reinterpret_cast<int (*)()>(os::GetProcAddress(lib, "HookReleased"));
    ASSERT_TRUE(calls && released);
    int calls0 = calls(), released0 = released();

    uint8_t pixels[16] = {0x0F};
    TFrameHookPicture pict = {{pixels, nullptr, nullptr, nullptr}, {16, 0, 0, 0}};
    ProcessFrameHooks(list, &pict, 0, 4, 4, 0);
    EXPECT_EQ(pixels[0], 0x0F); // inverted twice
    EXPECT_EQ(calls() - calls0, 2);
    ReleaseFrameHooks(&list);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(released() - released0, 2);
    os::FreeLibrary(lib);
}

TEST_F(FrameHook, FailuresAnswerTheirNumbers) {
    TFrameHookEntry* list = nullptr;
    EXPECT_EQ(LoadFrameHook(&list, 0, nullptr), -2);
    EXPECT_EQ(Load(&list, {dir->file("missing.so")}), -1);
    EXPECT_EQ(Load(&list, {dir->file("noprocess.so")}), -2);
    EXPECT_EQ(Load(&list, {dir->file("framehook.so"), "fail"}), -22);
    EXPECT_EQ(list, nullptr);
}

TEST_F(FrameHook, TheVhookOptionRunsModulesOnDecodedPictures) {
    ASSERT_TRUE(FFLoader().Load(ConverterLibraries)) << FFLoader().LastErrMsg();
    std::string error;
    ASSERT_TRUE(WriteMedia(
        dir->file("clip.mkv"),
        MediaRecipe{.Video = PictureRecipe{.Width = 32, .Height = 32, .Rate = 10}}, &error))
        << error;
    {
        TCustomFFmpeg e(2);
        std::string bad = dir->file("noprocess.so");
        try {
            e.SetExtOption("vhook", bad);
            ADD_FAILURE() << "no exception";
        } catch (const FFmpegException& x) {
            EXPECT_EQ(x.Message, "Failed to add video hook function: " + bad);
        }
    }
    std::string module = dir->file("framehook.so");
    auto lib = os::LoadLibrary(module);
    auto calls = reinterpret_cast<int (*)()>(os::GetProcAddress(lib, "HookCalls"));
    ASSERT_NE(calls, nullptr);
    int before = calls();
    {
        TCustomFFmpeg e(2);
        ASSERT_TRUE(e.OpenInputFile(dir->file("clip.mkv")));
        e.SetExtOption("vhook", module + "|some argument");
        e.SetExtOption("vcodec", "mpeg4");
        ASSERT_EQ(e.OpenOutputFile(dir->file("hooked.mkv")), 1) << e.LastErrMsg();
        e.StartConvert(false);
        EXPECT_FALSE(e.FatalException()) << e.FatalMessage();
    }
    EXPECT_EQ(calls() - before, 10);
    EXPECT_TRUE(DecodesCleanly(dir->file("hooked.mkv")));
    os::FreeLibrary(lib);
}

} // namespace
