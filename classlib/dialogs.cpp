#include "classlib/dialogs.h"

#include "classlib/forms.h"
#include "classlib/stdctrls.h"

#include <algorithm>
#include <memory>

namespace {

constexpr int kMargin = 12;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 25;
constexpr int kTextWidth = 360;
// Taller texts scroll in a field of this height.
constexpr int kLongTextHeight = 320;

std::unique_ptr<TForm> newDialog(const std::string& Caption) {
    auto form = std::make_unique<TForm>(nullptr);
    form->BorderStyle = bsDialog;
    form->SetCaption(Caption);
    form->SetBounds(0, 0, kTextWidth + 2 * kMargin, 200);
    form->HandleNeeded();
    return form;
}

TButton* newButton(TForm* form, const std::string& Caption, int Result) {
    auto* b = new TButton(form);
    b->SetCaption(Caption);
    b->ModalResult = Result;
    b->SetParent(form);
    return b;
}

// Grows the form so its client area is ClientWidth x ClientHeight, centred
// on the screen.
void fitAndCentre(TForm* form, int ClientWidth, int ClientHeight) {
    int w = ClientWidth + form->Width() - form->ClientWidth();
    int h = ClientHeight + form->Height() - form->ClientHeight();
    int left = Screen ? std::max(0, (Screen->Width() - w) / 2) : 0;
    int top = Screen ? std::max(0, (Screen->Height() - h) / 2) : 0;
    form->SetBounds(left, top, w, h);
}

} // namespace

void ShowMessageDialog(const std::string& Caption, const std::string& Text) {
    std::unique_ptr<TForm> form = newDialog(Caption);
    auto* label = new TLabel(form.get());
    label->WordWrap = true;
    label->ShowAccelChar = false;
    label->SetBounds(kMargin, kMargin, kTextWidth, 0);
    label->SetParent(form.get());
    label->SetCaption(Text);
    TControl* body = label;
    if (label->Height() > kLongTextHeight) {
        label->SetVisible(false);
        auto* memo = new TMemo(form.get());
        memo->ScrollBars = ssVertical;
        memo->SetBounds(kMargin, kMargin, kTextWidth, kLongTextHeight);
        memo->SetParent(form.get());
        memo->SetText(Text);
        memo->SetReadOnly(true);
        body = memo;
    }
    TButton* ok = newButton(form.get(), "OK", mrOk);
    ok->Default = true;
    ok->Cancel = true;
    int buttonTop = body->Top() + body->Height() + kMargin;
    ok->SetBounds(kMargin + (kTextWidth - kButtonWidth) / 2, buttonTop, kButtonWidth,
                  kButtonHeight);
    fitAndCentre(form.get(), kTextWidth + 2 * kMargin, buttonTop + kButtonHeight + kMargin);
    form->ActiveControl = ok;
    form->ShowModal();
}

bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value) {
    std::unique_ptr<TForm> form = newDialog(Caption);
    auto* label = new TLabel(form.get());
    label->WordWrap = true;
    label->SetBounds(kMargin, kMargin, kTextWidth, 0);
    label->SetParent(form.get());
    label->SetCaption(Prompt);
    auto* edit = new TEdit(form.get());
    int editTop = label->Top() + label->Height() + 6;
    edit->SetBounds(kMargin, editTop, kTextWidth, 22);
    edit->SetParent(form.get());
    edit->SetText(Value);
    edit->SelectAll();
    label->FocusControl = edit;
    int buttonTop = editTop + 22 + kMargin;
    TButton* ok = newButton(form.get(), "OK", mrOk);
    ok->Default = true;
    ok->SetBounds(kMargin + kTextWidth - 2 * kButtonWidth - 8, buttonTop, kButtonWidth,
                  kButtonHeight);
    TButton* cancel = newButton(form.get(), "Cancel", mrCancel);
    cancel->Cancel = true;
    cancel->SetBounds(kMargin + kTextWidth - kButtonWidth, buttonTop, kButtonWidth, kButtonHeight);
    fitAndCentre(form.get(), kTextWidth + 2 * kMargin, buttonTop + kButtonHeight + kMargin);
    form->ActiveControl = edit;
    if (form->ShowModal() != mrOk) return false;
    Value = edit->Text();
    return true;
}
