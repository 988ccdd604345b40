#include "media/Previewer.h"

#include "classlib/forms.h"
#include "media/FFLoad.h"
#include "media/FFmpeg.h"
#include "platform/win/queue.h"
#include "support/mediagen.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

namespace {

// The preview window while a short video converts on a thread of its own:
// what the main thread sees of it.
struct Watched {
    std::set<std::string> captions;
    int width = 0, height = 0;
    bool painted = false;
};

class PreviewWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FFLoader().Load(ConverterLibraries)) << FFLoader().LastErrMsg();
        std::string error;
        MediaRecipe clip{.Video =
                             PictureRecipe{.Width = 96, .Height = 64, .Rate = 10, .Seconds = 2}};
        ASSERT_TRUE(WriteMedia(dir.file("clip.mkv"), clip, &error)) << error;
    }
    TForm* PreviewForm() {
        for (int i = 0; i < Screen->FormCount(); ++i) {
            TForm* f = Screen->Forms(i);
            if (f->BorderStyle == bsToolWindow) return f;
        }
        return nullptr;
    }
    // Converts with the preview on; CloseAfter > 0 closes the window once it
    // has shown that many pictures.
    Watched Convert(int CloseAfter, bool& converted) {
        TCustomFFmpeg engine(1);
        EXPECT_TRUE(engine.OpenInputFile(dir.file("clip.mkv")));
        engine.SetExtOption("vcodec", "mpeg4");
        EXPECT_EQ(engine.OpenOutputFile(dir.file("out.mkv")), 1);
        engine.PreviewInterval = 0;
        engine.SetPostHooks(PostHookBit(phPreview));
        std::atomic<bool> done{false};
        // The window is made on this thread, through its message queue.
        Application->Initialize();
        Application->ProcessMessages();
        const DWORD main = GetCurrentThreadId();
        std::thread worker([&] {
            engine.StartConvert(false);
            done = true;
            PostThreadCall(main, [] {}); // wakes the loop below
        });
        Watched w;
        bool closed = false;
        TForm* hooked = nullptr;
        while (!done) {
            // The worker's calls alone, so the window is looked at after each
            // picture: a message loop would run every call that arrives while
            // it waits and could show several pictures between two looks.
            RunThreadCalls(50);
            TForm* f = PreviewForm();
            if (f && f != hooked) {
                // Every caption the window gets, however fast the pictures come.
                w.captions.insert(f->Caption());
                // The user closes it as soon as it has shown enough: at once,
                // however fast the next pictures come.
                TWndMethod inner = f->WindowProc;
                f->WindowProc = [&w, &closed, CloseAfter, f, inner](TMessage& m) {
                    inner(m);
                    if (m.Msg != CM_TEXTCHANGED) return;
                    w.captions.insert(f->Caption());
                    if (CloseAfter > 0 && !closed && int(w.captions.size()) >= CloseAfter) {
                        closed = true;
                        PostThreadCall(GetCurrentThreadId(), [f] { f->Close(); });
                    }
                };
                hooked = f;
            }
            if (f && f->Visible()) {
                w.width = f->ClientWidth();
                w.height = f->ClientHeight();
                auto* image = static_cast<TImage*>(f->Components(0));
                w.painted = image->Picture()->Width() == 96;
            }
        }
        worker.join();
        Application->ProcessMessages();
        converted = !engine.FatalException();
        return w;
    }
    TempDir dir;
};

TEST_F(PreviewWindowTest, ShowsThePicturesBeingConverted) {
    bool converted = false;
    Watched w = Convert(0, converted);
    EXPECT_TRUE(converted);
    EXPECT_GE(w.captions.size(), 3u);
    EXPECT_TRUE(w.captions.count("00:00:00.000") || w.captions.count("00:00:00.100"));
    EXPECT_EQ(w.width, 96);
    EXPECT_EQ(w.height, 64);
    EXPECT_TRUE(w.painted);
    EXPECT_EQ(PreviewForm(), nullptr); // the window goes with the conversion
}

TEST_F(PreviewWindowTest, ClosingTheWindowStopsPreviewsNotTheConversion) {
    bool converted = false;
    Watched w = Convert(2, converted);
    EXPECT_TRUE(converted);
    EXPECT_LT(w.captions.size(), 6u);
    EXPECT_EQ(PreviewForm(), nullptr);
}

TEST(PreviewerTest, APictureAfterClosingIsRefused) {
    TPreviewer previewer;
    TBitmap picture(8, 6);
    EXPECT_TRUE(previewer.PaintFrame(&picture, 1, 1500000));
    ASSERT_NE(previewer.Form(), nullptr);
    EXPECT_EQ(previewer.Form()->Caption(), "00:00:01.500");
    previewer.Form()->Close();
    EXPECT_TRUE(previewer.Closed());
    EXPECT_FALSE(previewer.PaintFrame(&picture, 2, 1600000));
    EXPECT_EQ(previewer.FrameNumber(), 1);
}

} // namespace
