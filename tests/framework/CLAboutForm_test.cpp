#include "framework/CLAboutForm.h"

#include "dialog_test_support.h"
#include "framework/CLSplashForm.h"
#include "framework/PngForm.h"
#include "platform/win/layered.h"
#include "platform/win/paint.h"

namespace {

using dlgtest::Click;
using dlgtest::WhenReady;

class AboutDialogTest : public dlgtest::DialogTest {
protected:
    std::string ExtraSettings() override {
        return "URL.support=http://127.0.0.1:1/support\nURL.eula=http://127.0.0.1:1/eula\n"
               "URL.privary=http://127.0.0.1:1/privacy\n";
    }
    // The page's address with its action, before the client parameters.
    std::string Page(const std::string& name) {
        return Settings()->GetSettingString("URL." + name) + "?ACTION=" + name + "&";
    }
};

TEST_F(AboutDialogTest, ShowsVersionTranslatorAndLinks) {
    dir.write("prog/lang/German.lan", "[Info]\nLanguage=Deutsch\nTranslator=Jo\n");
    struct Case {
        std::string language;
        bool showLinks;
        std::vector<std::string> lines;
    } cases[] = {
        {"English", true, {"Lantrove", "Version : 1.1.0.0", "(c) Lantrove makers"}},
        {"German",
         false,
         {"Lantrove", "Version : 1.1.0.0", "(c) Lantrove makers", "German is tranlated by Jo"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        engine->SetLanguage(c.language);
        Settings()->SetSettingBool("about.showlink", c.showLinks);
        TfrmCLAboutForm about(form);
        const TStrings& lines = *about.lbInfo->Lines();
        ASSERT_EQ(lines.Count(), int(c.lines.size()));
        for (size_t i = 0; i < c.lines.size(); ++i)
            EXPECT_EQ(lines[int(i)], c.lines[i]);
        EXPECT_EQ(about.Caption(), "About Lantrove");
        EXPECT_TRUE(about.pnLogo->Visible());
        EXPECT_EQ(about.pnLogo->Height(), 80); // the picture's height
        EXPECT_EQ(about.ClientWidth(), 400);
        EXPECT_EQ(about.btnEULA->Visible(), c.showLinks);
        EXPECT_EQ(about.btnPrivaryPolicy->Visible(), c.showLinks);
        EXPECT_TRUE(about.lblSupport->Visible());
        EXPECT_EQ(about.lblSupport->URL.rfind(Page("support"), 0), 0u) << about.lblSupport->URL;
    }
}

TEST_F(AboutDialogTest, ShownOnceAtATimeAndItsLinksOpenTheBrowser) {
    Settings()->SetSettingBool("about.showlink", true);
    int shown = 0;
    WhenReady first([this] { return engine->AboutForm() && engine->AboutForm()->Visible(); },
                    [this, &shown] {
                        ++shown;
                        TfrmCLAboutForm* about = engine->AboutForm();
                        engine->AppAbout(); // already showing: nothing happens
                        Click(about->btnEULA);
                        Click(about->lblSupport);
                        Click(about->btnOK);
                    });
    engine->AppAbout();
    EXPECT_EQ(shown, 1);
    ASSERT_EQ(launched.size(), 2u);
    EXPECT_EQ(launched[0].rfind(Page("eula"), 0), 0u) << launched[0];
    EXPECT_EQ(launched[1].rfind(Page("support"), 0), 0u) << launched[1];
    // The same dialog comes back; Escape closes it.
    TfrmCLAboutForm* kept = engine->AboutForm();
    WhenReady again([this] { return engine->AboutForm()->Visible(); },
                    [] { dlgtest::Key(VK_ESCAPE); });
    engine->AppAbout();
    EXPECT_EQ(engine->AboutForm(), kept);
    EXPECT_FALSE(kept->Visible());
}

TEST_F(AboutDialogTest, WithoutAPictureTheLogoPanelGoes) {
    std::filesystem::remove(dir.file("prog/res/images/about.png"));
    TfrmCLAboutForm about(form);
    EXPECT_FALSE(about.pnLogo->Visible());
    // The information and the buttons fill the dialog.
    EXPECT_EQ(about.pnInfo->Top(), 0);
    EXPECT_EQ(about.pnBottom->Top() + about.pnBottom->Height(), about.ClientHeight());
}

// ---------------------------------------------------------------------------

class SplashTest : public dlgtest::DialogTest {
protected:
    void TearDown() override {
        delete frmCLSplashForm;
        DialogTest::TearDown();
    }
};

TEST_F(SplashTest, PictureChoiceAndClosing) {
    // A 2 x 1 picture: one opaque red pixel, one transparent one.
    TPngImage png;
    png.CreateBlank(COLOR_RGBALPHA, 2, 1);
    png.Scanline(0)[2] = 255;
    png.AlphaScanline(0)[0] = 255;
    png.AlphaScanline(0)[1] = 0;
    png.SaveToFile(dir.file("prog/oem.splash.png"));
    struct Case {
        bool oem, shipped;
        std::string shows;
    } cases[] = {
        {true, true, "prog/oem.splash.png"},
        {false, true, "prog/res/images/splash.png"},
        {false, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shows);
        if (!c.oem) std::filesystem::remove(dir.file("prog/oem.splash.png"));
        if (!c.shipped) std::filesystem::remove(dir.file("prog/res/images/splash.png"));
        frmCLSplashForm = new TfrmCLSplashForm(nullptr);
        EXPECT_EQ(frmCLSplashForm->PictureFile(), c.shows.empty() ? "" : dir.file(c.shows));
        frmCLSplashForm->Show();
        Application->ProcessMessages();
        // Without a picture it closes, and is freed, as soon as messages are
        // handled.
        EXPECT_EQ(frmCLSplashForm != nullptr, !c.shows.empty());
        if (frmCLSplashForm) EXPECT_TRUE(frmCLSplashForm->Visible());
        engine->SplashClose();
        EXPECT_EQ(frmCLSplashForm, nullptr);
        engine->SplashClose(); // nothing left to close
    }
}

TEST_F(SplashTest, PictureWithTransparencyMakesALayeredWindow) {
    TForm host(nullptr);
    host.SetBounds(10, 10, 50, 50);
    auto* png = new TspPngForm(&host);
    TPngImage picture;
    picture.CreateBlank(COLOR_RGBALPHA, 4, 3);
    for (int x = 0; x < 4; ++x)
        picture.AlphaScanline(1)[x] = x < 2 ? 0 : 255;
    png->SetPngImage(&picture);
    png->SetAlphaDegeri(128 + 0x100); // the low byte counts
    host.Show();
    InvalidateRect(host.Handle(), nullptr, 1);
    UpdateWindow(host.Handle());
    Application->ProcessMessages();
    LayeredState state = GetLayeredState(host.Handle());
    EXPECT_TRUE(state.layered);
    EXPECT_TRUE(state.perPixel);
    EXPECT_EQ(state.alpha, 128);
    EXPECT_EQ(host.Width(), 4);
    EXPECT_EQ(host.Height(), 3);
    EXPECT_EQ(host.BorderStyle, bsNone);
    TComponent notAForm(nullptr);
    EXPECT_THROW(TspPngForm bad(&notAForm), EInvalidCast);
}

// The run routine shows the splash while the main window is made, and the
// splash goes once the main window is active.
class TfrmSplashMain : public TForm {
public:
    explicit TfrmSplashMain(TComponent* AOwner) : TForm(AOwner) {
        splashWhileMade = frmCLSplashForm && frmCLSplashForm->Visible();
        // Looked at after the messages the activation caused.
        OnActivate = [this](TObject*) { PostMessage(Handle(), WM_USER + 77, 0, 0); };
        TWndMethod inner = WindowProc;
        WindowProc = [this, inner](TMessage& m) {
            if (m.Msg == WM_USER + 77) {
                PostMessage(Handle(), WM_USER + 78, 0, 0);
                return;
            }
            if (m.Msg == WM_USER + 78) {
                splashAfterShown = frmCLSplashForm && frmCLSplashForm->Visible();
                PostMessage(Handle(), WM_USER + 79, 0, 0);
                return;
            }
            // The freeing follows the closing through the queue.
            if (m.Msg == WM_USER + 79) {
                if (frmCLSplashForm && ++rounds < 100) {
                    PostMessage(Handle(), WM_USER + 79, 0, 0);
                    return;
                }
                splashFreed = frmCLSplashForm == nullptr;
                Close();
                return;
            }
            inner(m);
        };
    }
    static inline bool splashWhileMade = false;
    static inline bool splashAfterShown = true;
    static inline bool splashFreed = false;
    int rounds = 0;
};

TEST_F(SplashTest, ShownAtStartAndClosedWhenTheMainWindowIsActive) {
    Settings()->SetSettingBool("App.Splash", true);
    Settings()->SetSettingBool("App.Multiple", true);
    TfrmSplashMain* main = nullptr;
    AppRun(main);
    EXPECT_TRUE(TfrmSplashMain::splashWhileMade);
    EXPECT_FALSE(TfrmSplashMain::splashAfterShown);
    // Closed, it is freed while the program runs on.
    EXPECT_TRUE(TfrmSplashMain::splashFreed);
    EXPECT_EQ(frmCLSplashForm, nullptr);
}

} // namespace
