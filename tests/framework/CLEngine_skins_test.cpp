#include "framework/CLEngine.h"

#include "framework/CLApp.h"
#include "framework/CLEnglishDefaults.h"
#include "framework/CLMultiLang.h"
#include "framework/CLSettings.h"
#include "framework/OxDebug.h"
#include "platform/os/folders.h"
#include "platform/os/ipc.h"
#include "platform/os/process.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/engine/SkinData.h"
#include "skin/forms/spMessages.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_messages;

// A window that notes the skin messages it receives.
class TfrmSkinListener : public TForm {
public:
    explicit TfrmSkinListener(TComponent* AOwner) : TForm(AOwner) {}
    void WndProc(TMessage& M) override {
        if (M.Msg >= WM_SKIN_BEGINCHANGE && M.Msg <= WM_SKIN_ENDCHANGE &&
            M.LParam == kSkinMessageLParam) {
            auto* data = reinterpret_cast<TspSkinData*>(M.WParam);
            g_messages.push_back(Name() + ":" + std::to_string(M.Msg) + ":" + data->SkinName);
        }
        TForm::WndProc(M);
    }
};

std::string shippedSkin(const std::string& name) {
    return ReadFileBytes(std::string(LANTROVE_PROGRAM_DIR) + "/skins/" + name + ".skn");
}

// The main window with its skin data and engine, the two shipped skins in
// the program's skins folder.
class EngineSkinTest : public ::testing::Test {
protected:
    void SetUp() override {
        os::SetIpcNamespace("lantrove-test-engskin-" + std::to_string(os::CurrentProcessId()));
        DebuggerInstance()->SetActive(false);
        DebuggerInstance()->SetAutoStart(false);
        os::SetProgramFileNameOverride(dir.file("prog/lantrove"));
        setenv("XDG_CONFIG_HOME", dir.file("user").c_str(), 1);
        setenv("LANTROVE_COMMON_APPDATA", dir.file("common").c_str(), 1);
        dir.write("prog/const.dat", "[setting]\nApp.Name=Lantrove\nApp.Ver=1.0.0.0\n");
        dir.write("prog/skins/Default.skn", shippedSkin("Default"));
        dir.write("prog/skins/Graphite.skn", shippedSkin("Graphite"));
        SetAppParams({});
        Application->Initialize();
        form = new TfrmSkinListener(Application);
        form->SetName("main");
        other = new TfrmSkinListener(Application);
        other->SetName("other");
        skin = new TspSkinData(form);
        engine = new TCLEngine(form);
        engine->SetSkinData(skin);
        g_messages.clear();
    }
    void TearDown() override {
        SetMessageDialogHook(nullptr);
        Application->DestroyComponents();
        Application->ProcessMessages();
        FreeSettingsInstance();
        os::SetProgramFileNameOverride("");
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("LANTROVE_COMMON_APPDATA");
        os::SetIpcNamespace("");
    }
    std::vector<std::string> changeTo(const std::string& skinName) {
        std::vector<std::string> m;
        for (const char* n : {"1225", "1226", "1227"})
            for (const char* f : {"main", "other"})
                m.push_back(std::string(f) + ":" + n + ":" + skinName);
        return m;
    }

    TempDir dir;
    TfrmSkinListener* form = nullptr;
    TfrmSkinListener* other = nullptr;
    TspSkinData* skin = nullptr;
    TCLEngine* engine = nullptr;
};

TEST_F(EngineSkinTest, SwitchesBetweenTheShippedSkinsAndAnnouncesEachChange) {
    engine->Loaded();
    EXPECT_EQ(engine->Skin(), "Default");
    EXPECT_EQ(skin->SkinName, "Default");
    EXPECT_FALSE(skin->Empty);
    // The change is announced with the new skin already in place at 1226.
    ASSERT_EQ(g_messages.size(), 6u);
    EXPECT_EQ(g_messages[2], "main:1226:Default");

    int changed = 0;
    engine->OnSkinChanged = [&](TObject*) { ++changed; };
    for (const char* name : {"Graphite", "Default", "Graphite"}) {
        g_messages.clear();
        engine->SetSkin(name);
        EXPECT_EQ(engine->Skin(), name);
        EXPECT_EQ(skin->SkinName, name);
        EXPECT_TRUE(skin->SkinnableForm());
        EXPECT_GE(skin->GetControlIndex("button"), 0);
        EXPECT_EQ(SettingsInstance()->GetSettingString("Skin"), name);
        auto expected = changeTo(name);
        // 1225 still sees the skin that is leaving.
        for (size_t i = 0; i < 2; ++i)
            expected[i] = expected[i].substr(0, expected[i].rfind(':') + 1) +
                          (std::string(name) == "Default" ? "Graphite" : "Default");
        EXPECT_EQ(g_messages, expected);
    }
    EXPECT_EQ(changed, 3);
    g_messages.clear();
    engine->SetSkin("Graphite"); // already current: nothing read, nothing sent
    EXPECT_TRUE(g_messages.empty());
    EXPECT_EQ(changed, 3);
}

TEST_F(EngineSkinTest, MissingOrDamagedSkinsFallBackToTheDefaultSkin) {
    dir.write("prog/skins/Broken.skn", std::string("\2\0\0\0\x10\0\0\0", 8) + "not a zlib stream");
    dir.write("prog/skins/Plain.nsf.skn", shippedSkin("Graphite"));
    std::vector<std::string> told;
    SetMessageDialogHook([&](TspMessageForm& f) {
        told.push_back(f.Message->Caption());
        f.ModalResult = mrOk;
    });
    engine->Loaded();
    EXPECT_TRUE(told.empty());
    engine->SetSkin("Plain");
    EXPECT_EQ(engine->Skin(), "Plain");
    EXPECT_FALSE(skin->SkinnableForm());

    engine->SetSkin("Broken");
    EXPECT_EQ(engine->Skin(), "Default");
    EXPECT_EQ(skin->SkinName, "Default");
    EXPECT_TRUE(skin->SkinnableForm());
    EXPECT_EQ(SettingsInstance()->GetSettingString("Skin"), "Default");
    // The user is told why; a missing file is only replaced.
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("Skin.LoadFailed"), std::string::npos) << told[0];

    engine->SetSkin("Graphite");
    std::remove(dir.file("prog/skins/Default.skn").c_str());
    engine->SetSkin("Nowhere");
    EXPECT_EQ(engine->Skin(), "Default");
    EXPECT_TRUE(skin->Empty); // no default skin file: the controls' own look
    EXPECT_EQ(told.size(), 1u);
}

TEST_F(EngineSkinTest, ASkinThatFailsAtStartGivesTheDefaultSkinAndSaysWhy) {
    // A Graphite whose border width would overflow the frame's arithmetic.
    TspSkinData graphite(nullptr);
    graphite.LoadFromCompressedFile(dir.file("prog/skins/Graphite.skn"));
    graphite.BorderW = -2147483647 - 1;
    graphite.SaveToCompressedFile(dir.file("prog/skins/Graphite.skn"));
    std::vector<std::string> told;
    SetMessageDialogHook([&](TspMessageForm& f) {
        told.push_back(f.Message->Caption());
        f.ModalResult = mrOk;
    });
    struct Case {
        const char* Setting;
        bool DefaultBroken;
        const char* SkinName; // what the windows are drawn with
        const char* Told;
    } cases[] = {
        {"Graphite", false, "Default",
         "The skin \"Graphite\" could not be loaded: Skin value [FORMINFO] "
         "borderwidth=-2147483648 is out of range. The default skin is used instead."},
        {"Default", true, "",
         "The skin \"Default\" could not be loaded: compression error. The windows are shown "
         "without a skin."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Setting);
        if (c.DefaultBroken)
            dir.write("prog/skins/Default.skn",
                      std::string("\2\0\0\0\x10\0\0\0", 8) + "not a zlib stream");
        Application->DestroyComponents();
        FreeSettingsInstance();
        SettingsInstance()->SetSettingstring("Skin", c.Setting);
        form = new TfrmSkinListener(Application);
        skin = new TspSkinData(form);
        engine = new TCLEngine(form);
        engine->SetSkinData(skin);
        auto* lang = new TCLMultiLangData(form);
        LoadEnglishDefaults(lang);
        engine->SetLanguageData(lang);
        told.clear();
        engine->Loaded();
        EXPECT_EQ(engine->Skin(), "Default");
        EXPECT_EQ(SettingsInstance()->GetSettingString("Skin"), "Default");
        EXPECT_EQ(skin->Empty, std::string(c.SkinName).empty());
        EXPECT_EQ(skin->SkinName, c.SkinName);
        // Told once the message loop runs, not while the window is built.
        EXPECT_TRUE(told.empty());
        Application->ProcessMessages();
        EXPECT_EQ(told, (std::vector<std::string>{c.Told}));
    }
}

TEST_F(EngineSkinTest, ABuiltInSkinIsGivenBackWhenTheFileIsMissing) {
    auto* builtIn = new TspCompressedStoredSkin(form);
    builtIn->LoadFromCompressFile(dir.file("prog/skins/Graphite.skn"));
    skin->SetCompressedStoredSkin(builtIn);
    std::remove(dir.file("prog/skins/Default.skn").c_str());
    engine->Loaded(); // "Default" has no file: the built-in skin stays
    EXPECT_EQ(skin->SkinName, "Graphite");
    skin->ClearSkin();
    engine->SetSkin("Missing");
    EXPECT_EQ(engine->Skin(), "Default");
    EXPECT_EQ(skin->SkinName, "Graphite");
}

TEST_F(EngineSkinTest, LanguageChangeMergesSkinTextsIntoTheSkinsInterfaceTexts) {
    auto* data = new TCLMultiLangData(form);
    LoadEnglishDefaults(data);
    engine->SetLanguageData(data);
    auto* texts = new TspResourceStrData(form);
    skin->SetResourceStrData(texts);
    dir.write("prog/lang/French.lan", "[Info]\nLanguage=Fran\xC3\xA7"
                                      "ais\n[SkinRes]\nMSG_BTN_OK=D'accord\n"
                                      "SKIN_EXTRA=Suppl\xC3\xA9ment\n");
    engine->Loaded();
    engine->SetLanguage("French");
    EXPECT_EQ(texts->GetResStr("SKIN_EXTRA"), "Suppl\xC3\xA9ment");
    EXPECT_EQ(texts->GetResStr("MSG_BTN_OK"), "OK"); // names already held are kept
}

} // namespace
