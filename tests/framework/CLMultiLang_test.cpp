#include "framework/CLMultiLang.h"

#include "classlib/actnlist.h"
#include "classlib/forms.h"
#include "classlib/menus.h"
#include "classlib/typinfo.h"
#include "framework/CLEnglishDefaults.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

namespace {

// A control with the usual published texts.
class TProbeLabel : public TControl {
public:
    using TControl::TControl;
    std::string Hint;
    std::string Text; // excluded by the default list (".Text")
    std::string WideCaption;
    std::string SkinDataName = "label";
    TStringList Items;
    TBasicAction* Action = nullptr;
};

class TProbeItem : public TObject {
public:
    std::string Name;
};

class TProbeImages : public TComponent {
public:
    using TComponent::TComponent;
    TObjectList Images;
};

struct TProbeRegistration {
    TProbeRegistration() {
        auto l = [](TObject* o) { return static_cast<TProbeLabel*>(o); };
        RegisterPublished<TProbeLabel, TControl>(
            {TextProp(
                 "Hint", "string", [=](TObject* o) { return l(o)->Hint; },
                 [=](TObject* o, const std::string& v) { l(o)->Hint = v; }),
             TextProp(
                 "Text", "TCaption", [=](TObject* o) { return l(o)->Text; },
                 [=](TObject* o, const std::string& v) { l(o)->Text = v; }),
             WideTextProp(
                 "WideCaption", [=](TObject* o) { return l(o)->WideCaption; },
                 [=](TObject* o, const std::string& v) { l(o)->WideCaption = v; }),
             TextProp(
                 "SkinDataName", "string", [=](TObject* o) { return l(o)->SkinDataName; },
                 [=](TObject* o, const std::string& v) { l(o)->SkinDataName = v; }),
             StringsProp("Items", [=](TObject* o) { return &l(o)->Items; }),
             ObjectProp("Action", "TBasicAction",
                        [=](TObject* o) -> TObject* { return l(o)->Action; })});
        RegisterPublished<TProbeItem, TObject>({TextProp(
            "Name", "string", [](TObject* o) { return static_cast<TProbeItem*>(o)->Name; },
            [](TObject* o, const std::string& v) { static_cast<TProbeItem*>(o)->Name = v; })});
        RegisterPublished<TProbeImages, TComponent>({CollectionProp(
            "PngImages", "TspPngImageCollection",
            [](TObject* o) { return static_cast<TProbeImages*>(o)->Images.Count(); },
            [](TObject* o, int i) { return static_cast<TProbeImages*>(o)->Images[i]; })});
    }
} g_registration;

class TfrmProbe : public TForm {
public:
    explicit TfrmProbe(TComponent* AOwner) : TForm(AOwner) {
        SetName("frmProbe");
        SetCaption("Probe");
        lblTitle = new TProbeLabel(this);
        lblTitle->SetName("lblTitle");
        lblTitle->SetCaption("Title:");
        lbl1 = new TProbeLabel(this);
        lbl1->SetName("lbl1");
        lbl1->SetCaption("numbered");
        sep = new TMenuItem(this);
        sep->SetName("miSep");
        sep->Caption = "-";
        images = new TProbeImages(this);
        images->SetName("ilList");
        for (const char* n : {"a", "b", "c"}) {
            auto* item = new TProbeItem;
            item->Name = n;
            images->Images.Add(item);
        }
        unnamed = new TProbeLabel(this);
        unnamed->SetCaption("unnamed");
        translator = new TCLMultiLang(this);
        translator->SetName("CLMultiLang1");
    }
    TProbeLabel* lblTitle;
    TProbeLabel* lbl1;
    TMenuItem* sep;
    TProbeImages* images;
    TProbeLabel* unnamed;
    TCLMultiLang* translator;
};

class MultiLangTest : public ::testing::Test {
protected:
    void SetUp() override { Application->Initialize(); }
    TempDir dir;
};

TEST_F(MultiLangTest, ApplyingWritesTextsOfTheWindowItsComponentsAndItems) {
    TCLMultiLangData data(nullptr);
    TStringList lines;
    lines.SetText("[AppRes]\nAppName=Lantrove\n"
                  "[TfrmProbe]\nfrmProbe.Caption=About {appname}\n"
                  "lblTitle.Caption=Titel:\nlblTitle.Hint=\nlblTitle.Items=eins<BR>zwei\n"
                  "lblTitle.Name=renamed\n"
                  "ilList.PngImages[2].Name=third\n"
                  "CLMultiLang1.Name=x\n");
    data.SetCurrentData(&lines);
    TfrmProbe form(nullptr);
    form.lblTitle->Hint = "old hint";
    int changed = 0;
    form.translator->OnChangeLanguage = [&](TObject*) { ++changed; };
    form.translator->SetLanguageData(&data);
    form.translator->Loaded(); // AutoApply
    EXPECT_EQ(form.Caption(), "About Lantrove");
    EXPECT_EQ(form.lblTitle->Caption(), "Titel:");
    EXPECT_EQ(form.lblTitle->Hint, ""); // present, though empty
    ASSERT_EQ(form.lblTitle->Items.Count(), 2);
    EXPECT_EQ(form.lblTitle->Items[1], "zwei");
    EXPECT_EQ(form.lblTitle->Name(), "lblTitle"); // component names are never texts
    EXPECT_EQ(static_cast<TProbeItem*>(form.images->Images[2])->Name, "third");
    EXPECT_EQ(static_cast<TProbeItem*>(form.images->Images[0])->Name, "a");
    EXPECT_EQ(form.lbl1->Caption(), "numbered"); // no key: untouched
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(data.ClientCount(), 1);
}

TEST_F(MultiLangTest, CurrentLanguageFallsBackToTheDefaultsKeyByKey) {
    TCLMultiLangData data(nullptr);
    LoadEnglishDefaults(&data);
    dir.write("German.lan", "[Info]\r\nLanguage=Deutsch\r\nTranslator=Jo\r\n"
                            "[AppRes]\r\nStatus.Ready=Bereit\r\nText.X={AppName}!\r\n");
    data.LoadCurrentFromFile(dir.file("German.lan"));
    std::string v;
    ASSERT_TRUE(data.GetProp("AppRes", "", "Status.Ready", v));
    EXPECT_EQ(v, "Bereit");
    ASSERT_TRUE(data.GetProp("AppRes", "", "Status.Failed", v));
    EXPECT_EQ(v, "Failed");
    ASSERT_TRUE(data.GetProp("LibRes", "", "Update.LastVersionAlready", v));
    EXPECT_EQ(v, "Your Lantrove is the latest version already.");
    ASSERT_TRUE(data.GetProp("AppRes", "", "Text.X", v));
    EXPECT_EQ(v, "Lantrove!");
    v = "unchanged";
    EXPECT_FALSE(data.GetProp("AppRes", "", "Status.ConnectingPlayOnline", v));
    EXPECT_EQ(v, "unchanged");
    EXPECT_EQ(data.InfoLanguage(), "Deutsch");
    EXPECT_EQ(data.InfoTranslator(), "Jo");

    TStringList merged;
    merged.Add("MSG_BTN_OK=kept");
    data.GetSectionStrings("SkinRes", &merged);
    EXPECT_EQ(merged.Values("MSG_BTN_OK"), "kept");
    EXPECT_EQ(merged.Values("MSG_CAP_SHOWFLAG"), "Do not display this message again");
}

TEST_F(MultiLangTest, TheApplicationNameItselfIsNeverExpanded) {
    TCLMultiLangData data(nullptr);
    TStringList lines;
    lines.SetText("[AppRes]\nAppName=My {AppName}\nGreeting=Hi {APPNAME}\n");
    data.SetCurrentData(&lines);
    std::string v;
    ASSERT_TRUE(data.GetProp("AppRes", "", "AppName", v));
    EXPECT_EQ(v, "My {AppName}");
    ASSERT_TRUE(data.GetProp("AppRes", "", "Greeting", v));
    EXPECT_EQ(v, "Hi My {AppName}");
}

TEST_F(MultiLangTest, CollectingHonoursTheExclusions) {
    struct Case {
        const char* name;
        bool emptyProps, numberEnd, withAction;
        std::vector<std::string> present, absent;
    };
    const Case cases[] = {
        {"all",
         false,
         false,
         false,
         {"frmProbe.Caption=Probe",
          "lblTitle.Caption=Title:", "lblTitle.Hint=", "lbl1.Caption=numbered", "miSep.Caption=-",
          "ilList.PngImages[1].Name=b", "lblTitle.WideCaption="},
         {"lblTitle.Text", "lblTitle.SkinDataName", "lblTitle.Name", "CLMultiLang1", "unnamed"}},
        {"empty",
         true,
         false,
         false,
         {"lblTitle.Caption=Title:"},
         {"lblTitle.Hint", "miSep.Caption", "lblTitle.Items", "lblTitle.WideCaption"}},
        {"numbered", false, true, false, {"lblTitle.Caption=Title:"}, {"lbl1."}},
        {"action", false, false, true, {"lbl1.Caption=numbered"}, {"lblTitle."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TCLMultiLangData data(nullptr);
        data.SetExcludeEmptyProp(c.emptyProps);
        data.SetExcludeNumberEndProps(c.numberEnd);
        data.SetExcludeWithAction(c.withAction);
        TfrmProbe form(nullptr);
        TAction action(nullptr);
        form.lblTitle->Action = &action;
        form.translator->SetLanguageData(&data);
        form.translator->UpdateData();
        std::string text = data.CurrentData()->Text();
        EXPECT_NE(text.find("[TfrmProbe]"), std::string::npos);
        for (const std::string& line : c.present)
            EXPECT_NE(text.find(line + "\r\n"), std::string::npos) << line;
        for (const std::string& part : c.absent)
            EXPECT_EQ(text.find(part), std::string::npos) << part;
    }
}

TEST_F(MultiLangTest, ExclusionPatterns) {
    TCLMultiLangData data(nullptr);
    data.ExcludeProps()->Clear();
    data.ExcludeProps()->SetText("tprobelabel:.hint\nTProbeImages:\n:WideString\nlbl1..Items\n"
                                 "lblTitle.\n.Other\n");
    EXPECT_TRUE(data.IsExcluded("x", "TProbeLabel", "Hint", "string"));
    EXPECT_FALSE(data.IsExcluded("x", "TProbeLabel", "Caption", "TCaption"));
    EXPECT_TRUE(data.IsExcluded("il", "TProbeImages", "PngImages", "T"));
    EXPECT_TRUE(data.IsExcluded("x", "C", "P", "WideString"));
    EXPECT_TRUE(data.IsExcluded("lbl1", "C", "Items", "TStrings"));
    EXPECT_FALSE(data.IsExcluded("lbl1", "C", "Caption", "TCaption"));
    EXPECT_TRUE(data.IsExcluded("lblTitle", "C", "Anything", "T"));
    EXPECT_TRUE(data.IsExcluded("y", "C", "Other", "T"));
    EXPECT_FALSE(data.IsExcluded("y", "C", "Others", "T"));
}

TEST_F(MultiLangTest, CollectedTextsApplyBackToAFreshWindow) {
    TCLMultiLangData data(nullptr);
    {
        TfrmProbe form(nullptr);
        form.lblTitle->Items.SetText("x\ny");
        form.lblTitle->SetCaption(" spaced ");
        form.translator->SetLanguageData(&data);
        form.translator->UpdateData();
    }
    EXPECT_EQ(data.ClientCount(), 0); // the translator left with its window
    data.SaveCurrentToFile(dir.file("out.lan"));
    TCLMultiLangData other(nullptr);
    other.LoadCurrentFromFile(dir.file("out.lan"));
    TfrmProbe fresh(nullptr);
    fresh.translator->SetLanguageData(&other);
    fresh.translator->ApplyData();
    EXPECT_EQ(fresh.lblTitle->Caption(), " spaced ");
    ASSERT_EQ(fresh.lblTitle->Items.Count(), 2);
    EXPECT_EQ(fresh.lblTitle->Items[0], "x");

    fresh.translator->ClearData();
    std::string v;
    EXPECT_FALSE(other.GetProp("TfrmProbe", "lblTitle", "Caption", v));
}

TEST_F(MultiLangTest, LoadingALanguageRetranslatesRegisteredWindowsAndClearingDoesNot) {
    TCLMultiLangData data(nullptr);
    TfrmProbe form(nullptr);
    form.translator->SetLanguageData(&data);
    dir.write("fr.lan", "[TfrmProbe]\nlblTitle.Caption=Titre :\n[ResString]\nOK=D'accord\n");
    data.LoadCurrentFromFile(dir.file("fr.lan"));
    EXPECT_EQ(form.lblTitle->Caption(), "Titre :");
    EXPECT_EQ(form.translator->GetResString("OK"), "D'accord");
    EXPECT_EQ(form.translator->GetResString("Cancel"), "Cancel");
    data.ClearCurrentAll();
    EXPECT_EQ(form.lblTitle->Caption(), "Titre :");
    EXPECT_THROW(data.LoadCurrentFromFile(dir.file("none.lan")), EFOpenError);
}

TEST_F(MultiLangTest, TheEnglishDefaultsHoldEveryApplicationKey) {
    TCLMultiLangData data(nullptr);
    LoadEnglishDefaults(&data);
    std::string v;
    for (const char* key : {"Tpl.ResultFile",
                            "Text.BlankKeyWord",
                            "Text.ClearRecent",
                            "Text.AdvanceSearch",
                            "MsgBox.NoEnterKeyword",
                            "MsgBox.TaskExists",
                            "MsgBox.DirNotExists",
                            "MsgBox.TerminateDown",
                            "MsgBox.ContinueLastTask",
                            "MsgBox.AVLibLoadFailed",
                            "MsgBox.NoEnterAdvKeywords",
                            "MsgBox.InfoGetting",
                            "MsgBox.RemoveTask",
                            "MsgBox.RemoveAll",
                            "Status.Ready",
                            "Status.Connecting",
                            "Status.Downloading",
                            "Status.Finished",
                            "Status.Failed",
                            "Info.NoTask",
                            "Info.OneTask",
                            "Info.MultiTask"})
        EXPECT_TRUE(data.GetProp("AppRes", "", key, v) && !v.empty()) << key;
    ASSERT_TRUE(data.GetProp("LibRes", "", "Update.NetError", v));
    EXPECT_EQ(v.find("{AppName}"), std::string::npos);
    EXPECT_NE(v.find("reasons: \r\nYour computer"), std::string::npos);
    ASSERT_TRUE(data.GetProp("TfrmMain", "lstMenu", "Items", v));
    EXPECT_EQ(v, "MP3 Search\r\nAdvanced Search\r\nHot Songs\r\nCategories\r\nSupport");
    EXPECT_EQ(data.GetAppName(), "Lantrove");
}

} // namespace
