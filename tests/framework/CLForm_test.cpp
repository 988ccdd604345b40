#include "framework/CLForm.h"

#include "dialog_test_support.h"
#include "skin/controls/SkinBoxCtrls.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/controls/SkinTabs.h"
#include "skin/engine/SkinCtrls.h"
#include "skin/forms/spMessages.h"

namespace {

class FrameworkFormTest : public dlgtest::DialogTest {};

TEST_F(FrameworkFormTest, LoadedWindowTakesTheEnginesSkinAndLanguageData) {
    TspSkinData skin(nullptr);
    engine->SetSkinData(&skin);
    TspSkinData own(nullptr);
    TCLMultiLangData otherLanguage(nullptr);
    TForm window(nullptr);
    auto* message = new TspSkinMessage(&window); // two skin data properties
    auto* kept = new TspSkinMessage(&window);
    kept->SetSkinData(&own);
    auto* translator = new TCLMultiLang(&window);
    auto* keepsItsOwn = new TCLMultiLang(&window);
    keepsItsOwn->SetLanguageData(&otherLanguage);
    // Skinned controls that stand on bases of their own are wired too.
    auto* label = new TspSkinStdLabel(&window);
    auto* text = new TspSkinTextLabel(&window);
    auto* link = new TspSkinLinkLabel(&window);
    auto* edit = new TspSkinEdit(&window);
    auto* tabs = new TspSkinPageControl(&window);
    auto* button = new TspSkinButton(&window);
    auto* ownButton = new TspSkinButton(&window);
    ownButton->SetSkinData(&own);
    auto* clForm = new TCLForm(&window);
    clForm->RuntimeSetSkinData = true;
    clForm->RuntimeSetLanguageData = true;
    clForm->Loaded();
    EXPECT_EQ(label->SkinData(), &skin);
    EXPECT_EQ(text->SkinData(), &skin);
    EXPECT_EQ(link->SkinData(), &skin);
    EXPECT_EQ(edit->SkinData(), &skin);
    EXPECT_EQ(tabs->SkinData(), &skin);
    EXPECT_EQ(button->SkinData(), &skin);
    EXPECT_EQ(ownButton->SkinData(), &own);
    EXPECT_EQ(message->SkinData(), &skin);
    EXPECT_EQ(message->CtrlSkinData(), &skin);
    EXPECT_EQ(kept->SkinData(), &own);
    EXPECT_EQ(kept->CtrlSkinData(), &skin);
    EXPECT_EQ(translator->LanguageData(), data);
    EXPECT_EQ(keepsItsOwn->LanguageData(), &otherLanguage);
    keepsItsOwn->SetLanguageData(nullptr);
    engine->SetSkinData(nullptr);

    // Only a windowed owner can be wired.
    TComponent plain(nullptr);
    auto* loose = new TCLForm(&plain);
    loose->RuntimeSetLanguageData = true;
    EXPECT_THROW(loose->Loaded(), EInvalidCast);
}

TEST_F(FrameworkFormTest, BannerCachesARemotePageOnlyFromASuccessfulAnswer) {
    const std::string good = site.Base() + "/support?x=1&y=2";
    const std::string bad = site.Base() + "/missing?x=1";
    EXPECT_EQ(TCLWebBanner::CacheFileOf("http://h.test/b?x=1&y=2"),
              Settings()->UserDataPath() + "Banners/http___h.test_b_x_1_y_2");
    struct Case {
        std::string remote;
        bool cached;
    } cases[] = {{good, true}, {bad, false}};
    Switch("status", "404");
    Switch("status-path", "/missing");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.remote);
        Settings()->SetSettingstring("Banner.Top.RemoteURL", c.remote);
        Settings()->SetSettingstring("Banner.Top.URL", "%EXEPATH%/res/banner.html");
        TForm window(nullptr);
        auto* banner = new TCLWebBanner(&window);
        banner->SetParent(&window);
        banner->SetBannerName("Top");
        banner->Loaded();
        // No copy yet: the local page shows while the remote one is fetched.
        EXPECT_EQ(banner->URL(), dir.file("prog/res/banner.html"));
        EXPECT_EQ(banner->CachingURL(), c.remote);
        const std::string cache = TCLWebBanner::CacheFileOf(c.remote);
        // The transfer's end reaches the main thread through its loop.
        if (c.cached) {
            EXPECT_TRUE(dltest::PumpUntil([&] { return std::filesystem::exists(cache); }));
        } else {
            EXPECT_TRUE(dltest::DrainThreads());
            Application->ProcessMessages();
            EXPECT_FALSE(std::filesystem::exists(cache));
        }
        if (c.cached) {
            banner->UpdateBanner();
            EXPECT_EQ(banner->URL(), cache);
        }
    }
}

} // namespace
