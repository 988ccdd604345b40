// The message and input dialogs, answered through keyboard and mouse input
// delivered while they are shown modally.
#include "classlib/dialogs.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "platform/win/input.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override { Application->Initialize(); }
    void TearDown() override {
        Application->DestroyComponents();
        Application->ProcessMessages();
    }
    // Runs user once the dialog is up, inside its modal loop.
    void whenShown(std::function<void(TForm*)> user) {
        PostThreadCall(GetCurrentThreadId(), [this, user] {
            TForm* dialog = nullptr;
            for (int i = 0; i < Screen->FormCount(); ++i)
                if (Screen->Forms(i)->Modal()) dialog = Screen->Forms(i);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(Screen->ActiveForm(), dialog);
            shown = dialog;
            caption = dialog->Caption();
            user(dialog);
        });
    }
    template <class T> static std::vector<T*> controls(TForm* form) {
        std::vector<T*> out;
        for (int i = 0; i < form->ComponentCount(); ++i)
            if (auto* c = dynamic_cast<T*>(form->Components(i)); c && c->Visible())
                out.push_back(c);
        return out;
    }
    static TButton* button(TForm* form, const std::string& caption) {
        for (TButton* b : controls<TButton>(form))
            if (b->Caption() == caption) return b;
        return nullptr;
    }
    static void key(int vk, char32_t ch = 0) {
        DeliverKey(true, vk, ch);
        DeliverKey(false, vk, 0);
    }
    static void type(const std::string& text) {
        for (char c : text)
            key(std::toupper(static_cast<unsigned char>(c)), char32_t(c));
    }
    static void click(TControl* c) {
        TPoint p = c->ClientToScreen(TPoint{c->Width() / 2, c->Height() / 2});
        DeliverMouse(WM_LBUTTONDOWN, POINT{p.X, p.Y}, MK_LBUTTON);
        DeliverMouse(WM_LBUTTONUP, POINT{p.X, p.Y}, 0);
    }

    TForm* shown = nullptr;
    std::string caption;
};

TEST_F(Dialogs, InputQueryAnswersByTheWayItWasLeft) {
    struct Case {
        const char* how;
        std::function<void(TForm*)> user;
        bool answer;
        const char* value;
    } cases[] = {
        {"typed, then Enter",
         [](TForm*) {
             type("new");
             key(VK_RETURN, 13);
         },
         true, "new"},
        {"typed, then Escape",
         [](TForm*) {
             type("new");
             key(VK_ESCAPE, 27);
         },
         false, "old"},
        {"OK clicked", [](TForm* f) { click(button(f, "OK")); }, true, "old"},
        {"typed, then Cancel clicked",
         [](TForm* f) {
             type("x");
             click(button(f, "Cancel"));
         },
         false, "old"},
        {"window closed",
         [](TForm* f) {
             type("x");
             SendMessage(f->Handle(), WM_CLOSE, 0, 0);
         },
         false, "old"},
    };
    for (const Case& c : cases) {
        std::string value = "old";
        std::string prompt;
        whenShown([&](TForm* f) {
            auto labels = controls<TLabel>(f);
            auto edits = controls<TEdit>(f);
            ASSERT_EQ(labels.size(), 1u);
            ASSERT_EQ(edits.size(), 1u);
            prompt = labels[0]->Caption();
            EXPECT_EQ(edits[0]->Text(), "old");
            EXPECT_TRUE(edits[0]->Focused());
            EXPECT_EQ(edits[0]->SelLength(), 3); // typing replaces the old text
            c.user(f);
        });
        EXPECT_EQ(InputQuery("Find", "Text to find:", value), c.answer) << c.how;
        EXPECT_EQ(value, c.value) << c.how;
        EXPECT_EQ(caption, "Find");
        EXPECT_EQ(prompt, "Text to find:");
        EXPECT_EQ(Screen->FormCount(), 0) << c.how; // the dialog is gone
    }
}

TEST_F(Dialogs, MessageDialogShowsShortTextsAsALabelAndLongOnesScrolling) {
    std::string shownText;
    whenShown([&](TForm* f) {
        ASSERT_EQ(controls<TMemo>(f).size(), 0u);
        ASSERT_EQ(controls<TLabel>(f).size(), 1u);
        shownText = controls<TLabel>(f)[0]->Caption();
        // The whole text fits above the button, inside the form.
        TLabel* label = controls<TLabel>(f)[0];
        TButton* ok = button(f, "OK");
        ASSERT_NE(ok, nullptr);
        EXPECT_LE(label->Top() + label->Height(), ok->Top());
        EXPECT_LE(ok->Top() + ok->Height(), f->ClientHeight());
        key(VK_RETURN, 13);
    });
    ShowMessageDialog("Download successful.", "Downloading: a\n\rTo: b");
    EXPECT_EQ(caption, "Download successful.");
    EXPECT_EQ(shownText, "Downloading: a\n\rTo: b");

    std::string page;
    for (int i = 0; i < 200; ++i)
        page += "Line " + std::to_string(i) + " of the page & its text\n";
    whenShown([&](TForm* f) {
        auto memos = controls<TMemo>(f);
        ASSERT_EQ(memos.size(), 1u);
        EXPECT_TRUE(memos[0]->ReadOnly());
        shownText = memos[0]->Text();
        EXPECT_LT(f->Height(), Screen->Height());
        click(button(f, "OK"));
    });
    ShowMessageDialog("", page);
    EXPECT_NE(shownText.find("Line 199 of the page & its text"), std::string::npos);
    EXPECT_EQ(Screen->FormCount(), 0);
}

} // namespace
