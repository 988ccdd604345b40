// Frame-hook modules, built from the fixtures with the C compiler.
#include "media/FrameHook.h"

#include <gtest/gtest.h>

#include <string>

#include "MediaTestFiles.h"
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
    int before = LoadedFrameHookModules();
    ASSERT_EQ(Load(&list, {module}), 0);
    ASSERT_EQ(Load(&list, {module, "arg"}), 0);
    EXPECT_EQ(LoadedFrameHookModules(), before + 1);
    ASSERT_NE(list, nullptr);
    ASSERT_NE(list->next, nullptr);
    EXPECT_EQ(list->next->next, nullptr);

    uint8_t pixels[16] = {0x0F};
    TFrameHookPicture pict = {{pixels, nullptr, nullptr, nullptr}, {16, 0, 0, 0}};
    ProcessFrameHooks(list, &pict, 0, 4, 4, 0);
    EXPECT_EQ(pixels[0], 0x0F); // inverted twice

    auto lib = os::LoadLibrary(module);
    auto calls = reinterpret_cast<int (*)()>(os::GetProcAddress(lib, "HookCalls"));
    auto released = reinterpret_cast<int (*)()>(os::GetProcAddress(lib, "HookReleased"));
    ASSERT_TRUE(calls && released);
    EXPECT_EQ(calls(), 2);
    ReleaseFrameHooks(&list);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(released(), 2);
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

} // namespace
