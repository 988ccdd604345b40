#include "classlib/typinfo.h"

#include "classlib/actnlist.h"
#include "classlib/forms.h"
#include "classlib/menus.h"
#include "classlib/strings.h"

#include <gtest/gtest.h>

namespace {

class TProbeBase : public TComponent {
public:
    using TComponent::TComponent;
    std::string Title = "base";
    std::string Note;
};

class TProbe : public TProbeBase {
public:
    using TProbeBase::TProbeBase;
    TStringList Lines;
};

struct TProbeRegistration {
    TProbeRegistration() {
        auto base = [](TObject* o) { return static_cast<TProbeBase*>(o); };
        RegisterPublished<TProbeBase, TComponent>(
            {TextProp(
                 "Title", "string", [=](TObject* o) { return base(o)->Title; },
                 [=](TObject* o, const std::string& v) { base(o)->Title = v; }),
             TextProp(
                 "Note", "string", [=](TObject* o) { return base(o)->Note; }, nullptr)});
        // The descendant publishes Title again, upper-cased on the way in.
        RegisterPublished<TProbe, TProbeBase>(
            {TextProp(
                 "Title", "string", [=](TObject* o) { return base(o)->Title; },
                 [=](TObject* o, const std::string& v) { base(o)->Title = UpperCase(v); }),
             StringsProp("Lines", [](TObject* o) { return &static_cast<TProbe*>(o)->Lines; })});
    }
} g_probeRegistration;

std::vector<std::string> Names(const TObject* o) {
    std::vector<std::string> out;
    for (const TPropInfo* p : GetPropList(o))
        out.push_back(p->Name);
    return out;
}

TEST(TypInfo, PropertiesComeByNameWithInheritedOnesAndDescendantsWinning) {
    TProbe probe(nullptr);
    EXPECT_EQ(Names(&probe), (std::vector<std::string>{"Lines", "Name", "Note", "Tag", "Title"}));
    SetStrProp(&probe, "title", "changed");
    EXPECT_EQ(probe.Title, "CHANGED");

    TProbeBase base(nullptr);
    EXPECT_EQ(Names(&base), (std::vector<std::string>{"Name", "Note", "Tag", "Title"}));
    // A value that is no text reads as its text form and is not a text.
    const TPropInfo* tag = GetPropInfo(&base, "tag");
    ASSERT_NE(tag, nullptr);
    base.Tag = -5;
    EXPECT_EQ(tag->GetText(&base), "-5");
    EXPECT_TRUE(tag->HasReader());
    EXPECT_FALSE(tag->HasWriter());
    EXPECT_THROW(GetStrProp(&base, "Tag"), EPropertyError);
    SetStrProp(&base, "Title", "changed");
    EXPECT_EQ(base.Title, "changed");
}

TEST(TypInfo, KindsReadersAndWriters) {
    TProbe probe(nullptr);
    const TPropInfo* name = GetPropInfo(&probe, "Name");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->TypeName, "TComponentName");
    const TPropInfo* note = GetPropInfo(&probe, "Note");
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->HasReader());
    EXPECT_FALSE(note->HasWriter());
    EXPECT_THROW(SetStrProp(&probe, "Note", "x"), EPropertyError);
    EXPECT_THROW(GetStrProp(&probe, "Lines"), EPropertyError);
    EXPECT_THROW(GetStrProp(&probe, "Missing"), EPropertyError);
    const TPropInfo* lines = GetPropInfo(&probe, "Lines");
    ASSERT_NE(lines, nullptr);
    EXPECT_EQ(lines->Kind, TPropKind::Strings);
    EXPECT_EQ(lines->GetStrings(&probe), &probe.Lines);
}

TEST(TypInfo, CoreClassesPublishTheirTexts) {
    Application->Initialize();
    {
        TForm form(nullptr);
        SetStrProp(&form, "Caption", "Hello");
        EXPECT_EQ(form.Caption(), "Hello");
    }
    TMenuItem item(nullptr);
    TAction action(nullptr);
    SetStrProp(&item, "Caption", "&File");
    SetStrProp(&action, "Hint", "Exit");
    EXPECT_EQ(item.Caption, "&File");
    EXPECT_EQ(action.Hint, "Exit");
    EXPECT_EQ(GetObjectProp(&item, "Action"), nullptr);
    item.SetAction(&action);
    EXPECT_EQ(GetObjectProp(&item, "Action"), &action);
    item.SetAction(nullptr);
}

} // namespace
