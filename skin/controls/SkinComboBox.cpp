// The skinned combo box: the closed box with its item or inner edit and button,
// and its drop-down list, a skinned list box in a popup window. Uses the
// helpers of SkinBoxCtrlsUtil.h.
#include "skin/controls/SkinBoxCtrls.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "classlib/forms.h"
#include "classlib/typinfo.h"
#include "platform/os/clock.h"
#include "platform/win/controls/common.h"
#include "platform/win/controls/listbox.h"
#include "platform/win/controls/text.h"
#include "platform/win/input.h"
#include "platform/win/messages.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/timers.h"
#include "platform/win/window.h"
#include "skin/controls/SkinBoxCtrlsUtil.h"

using namespace boxutil;

namespace {

// The item list is text of the form: a translation may replace it. The
// caption of a box the user types into is the typed text, never translated.
struct TComboBoxRegistration {
    TComboBoxRegistration() {
        // The box's caption is its text, no text of the form.
        auto box = [](TObject* o) { return static_cast<TspSkinCustomComboBox*>(o); };
        RegisterPublished<TspSkinCustomComboBox, TControl>(
            {TPropInfo{"Caption", "TCaption", TPropKind::Other},
             TextProp(
                 "Text", "TCaption", [=](TObject* o) { return box(o)->Text(); },
                 [=](TObject* o, const std::string& v) { box(o)->SetText(v); }),
             StringsProp("Items", [=](TObject* o) { return box(o)->Items(); })});
    }
} g_comboBoxRegistration;

} // namespace

// ---- TspPopupListBox -----------------------------------------------------------------------

TspPopupListBox::TspPopupListBox(TspSkinCustomComboBox* AComboBox)
    : TspSkinListBox(nullptr), FComboBox(AComboBox) {
    FVisible = false;
}

void TspPopupListBox::CreateParams(TCreateParams& Params) {
    TspSkinListBox::CreateParams(Params);
    Params.Style = WS_POPUP | WS_CLIPCHILDREN;
    Params.ExStyle = WS_EX_TOOLWINDOW;
    Params.WindowClassStyle |= CS_SAVEBITS;
    TForm* f = FComboBox ? FComboBox->GetParentForm() : nullptr;
    Params.WndParent = f && f->HandleAllocated() ? f->Handle() : 0;
}

void TspPopupListBox::UpdateShowing() {
    if (!FVisible) {
        if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
        return;
    }
    // Shown without taking the activation from the form.
    ShowWindow(Handle(), SW_SHOWNA);
}

void TspPopupListBox::WndProc(TMessage& Message) {
    if (Message.Msg == WM_MOUSEACTIVATE) {
        Message.Result = MA_NOACTIVATE;
        return;
    }
    TspSkinListBox::WndProc(Message);
}

void TspPopupListBox::Show(const TPoint& Origin) {
    HWND h = Handle();
    if (FComboBox) {
        const DWORD ex = DWORD(GetWindowLongPtr(h, GWL_EXSTYLE));
        if (FComboBox->ListBoxAlphaBlend && !FOldAlphaBlend) {
            SetWindowLongPtr(h, GWL_EXSTYLE, LONG_PTR(ex | WS_EX_LAYERED));
            FOldAlphaBlend = true;
        } else if (!FComboBox->ListBoxAlphaBlend && FOldAlphaBlend) {
            SetWindowLongPtr(h, GWL_EXSTYLE, LONG_PTR(ex & ~DWORD(WS_EX_LAYERED)));
            FOldAlphaBlend = false;
        }
        if (FComboBox->ListBoxAlphaBlend &&
            FOldAlphaBlendValue != FComboBox->ListBoxAlphaBlendValue) {
            FOldAlphaBlendValue =
                FComboBox->ListBoxAlphaBlendAnimation ? 0 : FComboBox->ListBoxAlphaBlendValue;
            SetLayeredAlpha(h, uint8_t(FOldAlphaBlendValue));
        }
    }
    TControl::SetBounds(Origin.X, Origin.Y, Width(), Height());
    FVisible = true;
    FShown = true;
    // Above the form that owns it, without taking the activation.
    SetWindowPos(h, HWND_TOP, Origin.X, Origin.Y, Width(), Height(),
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpDateScrollBar();
    if (FComboBox && FComboBox->ListBoxAlphaBlend && FComboBox->ListBoxAlphaBlendAnimation) {
        Application->ProcessMessages();
        const int target = FComboBox->ListBoxAlphaBlendValue;
        const int step = std::max(1, target / 15);
        // Each step waits past 5 ms; a stopped clock cannot hold the fade.
        for (int alpha = step;; alpha += step) {
            Application->ProcessMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(6));
            SetLayeredAlpha(h, uint8_t(std::min(alpha, target)));
            if (alpha >= target) break;
        }
        FOldAlphaBlendValue = target;
    }
}

void TspPopupListBox::Hide() {
    FVisible = false;
    FShown = false;
    if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
}

// ---- TspSkinCustomComboBox -----------------------------------------------------------------

TspSkinCustomComboBox::TspSkinCustomComboBox(TComponent* AOwner) : TspSkinCustomControl(AOwner) {
    TabStop = true;
    ControlStyle = csAcceptsControls | csCaptureMouse | csOpaque | csDoubleClicks;
    Font()->SetName("Arial");
    Font()->SetHeight(14);
    Font()->SetColor(clWindowText);
    FListBox = std::make_unique<TspPopupListBox>(this);
    FListBox->ListBox->TabStop = false;
    FListBox->OnListBoxMouseMove = [this](TObject* s, TShiftState sh, int x, int y) {
        ListBoxMouseMove(s, sh, x, y);
    };
    FListBoxWindowProc = FListBox->ListBox->WindowProc;
    FListBox->ListBox->WindowProc = [this](TMessage& m) { ListBoxWindowProc(m); };
    FListBox->OnCheckButtonClick = [this](TObject*) { CloseUp(true); };
    FSkinDataName = "combobox";
    SetBounds(0, 0, 120, 20);
}

TspSkinCustomComboBox::~TspSkinCustomComboBox() {
    StopTimer();
    if (FListBox && FListBox->ListBox) FListBox->ListBox->WindowProc = FListBoxWindowProc;
    if (FEdit) FEdit->WindowProc = FEditWindowProc;
    FEdit.reset();
    FListBox.reset();
}

void TspSkinCustomComboBox::StartTimer() {
    if (!HandleAllocated()) return;
    SetTimer(Handle(), kRepeatTimer, 25, nullptr);
    FTimerOn = true;
}

void TspSkinCustomComboBox::StopTimer() {
    if (FTimerOn && HandleAllocated()) KillTimer(Handle(), kRepeatTimer);
    FTimerOn = false;
    TimerMode = 0;
}

void TspSkinCustomComboBox::SetStyle(TspSkinCustomComboBoxStyle Value) {
    if (FStyle == Value) return;
    FStyle = Value;
    if (Value == spcbEditStyle) {
        CreateEditControl();
        if (TabStop) {
            TabStop = false;
            FEdit->TabStop = true;
        } else {
            FEdit->TabStop = false;
        }
        const bool focused = Focused();
        FEdit->SetText(Text());
        if (focused) FEdit->SetFocus();
    } else if (FEdit) {
        FEdit->WindowProc = FEditWindowProc;
        FEdit.reset();
    }
    CalcRects();
    Repaint();
}

void TspSkinCustomComboBox::CreateEditControl() {
    FEdit = std::make_unique<TspCustomEdit>(nullptr);
    FEdit->SetParent(this);
    FEdit->SetColor(FDefaultColor);
    FEdit->HideSelection = HideSelection;
    FEdit->CharCase = CharCase;
    FEdit->BorderStyle = bsNoBorder;
    FEditWindowProc = FEdit->WindowProc;
    FEdit->WindowProc = [this](TMessage& m) { EditWindowProc(m); };
    FEdit->FOnEditCancelMode = [this](TControl* c) { EditCancelMode(c); };
    FEdit->OnChange = [this](TObject* s) { EditChange(s); };
    FEdit->OnKeyDown = [this](TObject*, WORD& k, TShiftState sh) {
        if (OnKeyDown) OnKeyDown(this, k, sh);
    };
    FEdit->OnKeyPress = [this](TObject*, char32_t& k) {
        if (OnKeyPress) OnKeyPress(this, k);
    };
    FEdit->OnKeyUp = [this](TObject*, WORD& k, TShiftState sh) {
        if (OnKeyUp) OnKeyUp(this, k, sh);
    };
    ApplyEditFont();
    CalcRects();
}

void TspSkinCustomComboBox::ApplyEditFont() {
    if (!FEdit) return;
    GetSkinData();
    if (FIndex == -1) {
        FEdit->Font()->Assign(Font());
    } else {
        FEdit->Font()->SetName(FontName);
        FEdit->Font()->SetStyle(FontStyle);
        FEdit->Font()->SetHeight(FontHeight);
        FEdit->Font()->SetColor(FontColor);
    }
    if (FIndex != -1 && !FEdit->EditTransparent()) FEdit->SetEditTransparent(true);
}

void TspSkinCustomComboBox::SetUseSkinSize(bool Value) {
    FUseSkinSize = Value;
    ChangeSkinData();
}

void TspSkinCustomComboBox::SetToolButtonStyle(bool Value) {
    FToolButtonStyle = Value;
    if (Value) {
        SetStyle(spcbFixedStyle);
        FUseSkinSize = false;
    }
    Repaint();
}

void TspSkinCustomComboBox::SetDefaultColor(TColor Value) {
    FDefaultColor = Value;
    if (FIndex == -1) {
        Invalidate();
        if (FEdit) FEdit->SetColor(Value);
    }
}

void TspSkinCustomComboBox::SetImages(TCustomImageList* Value) {
    FListBox->SetImages(Value);
    Repaint();
}

void TspSkinCustomComboBox::SetImageIndex(int Value) {
    FListBox->SetImageIndex(Value);
    Repaint();
}

void TspSkinCustomComboBox::SetTextFromList(int Index) {
    const std::string t = Items()->Get(Index);
    if (t != Text()) SetText(t);
}

void TspSkinCustomComboBox::SetItemIndex(int Value) {
    FListBox->SetItemIndex(Value);
    const int i = FListBox->ItemIndex();
    if (Items()->Count() > 0 && i >= 0) SetTextFromList(i);
    FOldItemIndex = Value;
    if (FStyle == spcbFixedStyle) Repaint();
    if (!HasState(csDesigning) && !HasState(csLoading)) {
        if (OnClick) OnClick(this);
        Change();
    }
}

void TspSkinCustomComboBox::SetListIndex(int Index) {
    FListBox->SetItemIndex(Index);
}

void TspSkinCustomComboBox::TextChanged() {
    if (!FromEdit && FEdit) {
        FSettingText = true;
        FEdit->SetText(Text());
        FSettingText = false;
    }
    if (OnChange) OnChange(this);
    if (FromEdit) Change();
}

void TspSkinCustomComboBox::Invalidate() {
    TspSkinCustomControl::Invalidate();
    if (FIndex != -1 && FEdit) FEdit->Invalidate();
}

bool TspSkinCustomComboBox::CanCancelDropDown() {
    if (!FListBox->IsVisible()) return false;
    POINT p{};
    GetCursorPos(&p);
    return WindowFromPoint(p) != Handle();
}

void TspSkinCustomComboBox::DropDown() {
    if (Items()->Count() == 0) return;
    FListBox->HandleNeeded();
    WasInLB = false;
    if (TimerMode != 0) StopTimer();
    if (OnDropDown) OnDropDown(this);
    const int w = ListBoxWidth > 0 ? ListBoxWidth : Width();
    const int rows = std::min(FDropDownCount, Items()->Count());
    FListBox->SetBounds(FListBox->Left(), FListBox->Top(), w, FListBox->CalcHeight(rows));
    TPoint origin = ClientToScreen(TPoint{0, Height()});
    TRect work;
    GetMonitorArea(Handle(), true, work);
    if (origin.Y + FListBox->Height() > work.Bottom)
        origin.Y = ClientToScreen(TPoint{0, 0}).Y - FListBox->Height();
    if (FEdit) FEdit->SetFocus();
    FOldItemIndex = ItemIndex();
    if (ItemIndex() == 0 && Items()->Count() >= 2) {
        SetListIndex(1);
        SetListIndex(0);
    }
    FDropDown = true;
    if (FToolButtonStyle) Repaint();
    FListBox->SetTopIndex(std::max(0, ItemIndex()));
    FListBox->Show(origin);
}

void TspSkinCustomComboBox::CloseUp(bool Value) {
    if (!FListBox->IsVisible()) return;
    FListBox->Hide();
    const int i = FListBox->ItemIndex();
    if (i < 0) {
        SetListIndex(FOldItemIndex);
    } else if (Value && i < Items()->Count()) {
        if (FStyle == spcbEditStyle && FEdit) {
            FEdit->SetText(Items()->Get(i));
            FEdit->SelectAll();
        } else {
            SetTextFromList(i);
            Repaint();
        }
        FOldItemIndex = i;
        if (OnClick) OnClick(this);
        Change();
    } else if (!Value) {
        SetListIndex(FOldItemIndex);
    }
    FDropDown = false;
    Repaint();
    if (Value && OnCloseUp) OnCloseUp(this);
}

void TspSkinCustomComboBox::ListBoxMouseMove(TObject*, TShiftState, int X, int Y) {
    const int i = FListBox->ItemAtPos(TPoint{X, Y}, true);
    if (i >= 0 && i != FListBox->ItemIndex()) SetListIndex(i);
}

void TspSkinCustomComboBox::ListBoxWindowProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_LBUTTONUP:
        // A release that reached the list before its press took the pointer
        // for the combo box still ends that press, over the list.
        if (FLBDown && WasInLB) {
            if (GetCapture() == Handle()) ReleaseCapture();
            FLBDown = false;
            if (TimerMode != 0) StopTimer();
            CloseUp(true);
        }
        Message.Result = 0;
        return;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        Message.Result = 0;
        return;
    case WM_LBUTTONDOWN:
        // The release closes the list through the combo box.
        FLBDown = true;
        WasInLB = true;
        if (HandleAllocated()) SetCapture(Handle());
        Message.Result = 0;
        return;
    case WM_MOUSEACTIVATE:
        Message.Result = MA_NOACTIVATE;
        return;
    default:
        break;
    }
    FListBoxWindowProc(Message);
}

void TspSkinCustomComboBox::ProcessListBox() {
    TspListBox* lb = FListBox->ListBox.get();
    if (!lb->HandleAllocated()) return;
    POINT p{};
    GetCursorPos(&p);
    ::ScreenToClient(lb->Handle(), &p);
    const bool bar = FListBox->ScrollBar != nullptr;
    int mode = 0;
    if (p.y < 0) {
        if (bar && WasInLB) mode = 1;
    } else if (p.y > lb->Height()) {
        if (bar && WasInLB) mode = 2;
    } else {
        if (TimerMode != 0) StopTimer();
        SendMessage(lb->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(1, p.y));
        WasInLB = true;
        return;
    }
    if (mode != 0 && mode != TimerMode) {
        TimerMode = mode;
        StartTimer();
    }
}

void TspSkinCustomComboBox::MouseDown(TMouseButton Btn, TShiftState Shift, int X, int Y) {
    TspSkinCustomControl::MouseDown(Btn, Shift, X, Y);
    if (FStyle == spcbFixedStyle && !Focused() && CanFocus()) SetFocus();
    if (Btn != mbLeft) return;
    CalcRects();
    if (holds(Button.R, X, Y) || (FStyle == spcbFixedStyle && holds(CBItem.R, X, Y)) ||
        FToolButtonStyle) {
        Button.Down = true;
        Button.MouseIn = holds(Button.R, X, Y);
        Repaint();
        if (FListBox->IsVisible()) {
            CloseUp(false);
        } else {
            WasInLB = false;
            FLBDown = true;
            if (HandleAllocated()) SetCapture(Handle());
            DropDown();
        }
    } else if (FListBox->IsVisible()) {
        CloseUp(false);
    }
}

void TspSkinCustomComboBox::MouseMove(TShiftState Shift, int X, int Y) {
    TspSkinCustomControl::MouseMove(Shift, X, Y);
    if (FLBDown) {
        ProcessListBox();
        return;
    }
    const bool in = holds(Button.R, X, Y);
    if (in != Button.MouseIn) {
        Button.MouseIn = in;
        Repaint();
    }
}

void TspSkinCustomComboBox::MouseUp(TMouseButton Btn, TShiftState Shift, int X, int Y) {
    if (FLBDown && WasInLB) {
        if (GetCapture() == Handle()) ReleaseCapture();
        FLBDown = false;
        POINT p{};
        GetCursorPos(&p);
        const HWND under = WindowFromPoint(p);
        CloseUp(FListBox->ListBox->HandleAllocated() && under == FListBox->ListBox->Handle());
    } else {
        FLBDown = false;
        if (GetCapture() == Handle()) ReleaseCapture();
    }
    if (TimerMode != 0) StopTimer();
    TspSkinCustomControl::MouseUp(Btn, Shift, X, Y);
    if (Button.Down) {
        Button.Down = false;
        Repaint();
    }
}

void TspSkinCustomComboBox::KeyDown(WORD& Key, TShiftState Shift) {
    TspSkinCustomControl::KeyDown(Key, Shift);
    if (FStyle != spcbFixedStyle) return;
    const int i = ItemIndex(), n = Items()->Count();
    switch (Key) {
    case VK_RETURN:
        if (FListBox->IsVisible()) CloseUp(true);
        break;
    case VK_ESCAPE:
        if (FListBox->IsVisible()) CloseUp(false);
        break;
    case VK_PRIOR:
        if (n > 0) SetItemIndex(std::max(i - FDropDownCount - 1, 0));
        break;
    case VK_NEXT:
        if (n > 0) SetItemIndex(std::min(i + FDropDownCount - 1, n - 1));
        break;
    case VK_LEFT:
    case VK_UP:
        if (Shift & ssAlt) {
            if (FListBox->IsVisible()) CloseUp(false);
        } else if (i > 0) {
            SetItemIndex(i - 1);
        }
        break;
    case VK_RIGHT:
    case VK_DOWN:
        if (Shift & ssAlt) {
            if (!FListBox->IsVisible()) DropDown();
        } else if (i < n - 1) {
            SetItemIndex(i + 1);
        }
        break;
    default:
        break;
    }
}

void TspSkinCustomComboBox::KeyPress(char32_t& Key) {
    TspSkinCustomControl::KeyPress(Key);
    if (FStyle != spcbFixedStyle || Key < 32) return;
    const uint32_t now = os::GetTickCount();
    std::string search;
    const std::string typed = winctl::EncodeText(std::u32string(1, Key));
    if (AutoComplete) {
        if (now - FLastTime >= 500) FFilter.clear();
        FLastTime = now;
        FFilter += typed;
        search = FFilter;
    } else {
        search = typed;
    }
    TspListBox* lb = FListBox->ListBox.get();
    const bool one = winctl::DecodeText(search).size() == 1;
    const LRESULT found = SendMessage(lb->Handle(), LB_FINDSTRING, WPARAM(one ? ItemIndex() : -1),
                                      LPARAM(search.c_str()));
    if (found != LB_ERR) SetItemIndex(int(found));
}

void TspSkinCustomComboBox::EditUp(bool Apply) {
    const int i = FListBox->ItemIndex();
    if (i <= 0) return;
    SetListIndex(i - 1);
    if (!Apply) return;
    SetTextFromList(i - 1);
    if (FEdit) FEdit->SelectAll();
    FOldItemIndex = i - 1;
    if (OnClick) OnClick(this);
}

void TspSkinCustomComboBox::EditDown(bool Apply) {
    const int i = FListBox->ItemIndex();
    if (i >= Items()->Count() - 1) return;
    SetListIndex(i + 1);
    if (!Apply) return;
    SetTextFromList(i + 1);
    if (FEdit) FEdit->SelectAll();
    FOldItemIndex = i + 1;
    if (OnClick) OnClick(this);
}

void TspSkinCustomComboBox::EditAutoComplete() {
    const uint32_t now = os::GetTickCount();
    if (now - FLastTime <= 200) return;
    FLastTime = now;
    const std::string typed = Text();
    if (typed.empty()) return;
    const bool one = winctl::DecodeText(typed).size() == 1;
    const LRESULT found = SendMessage(FListBox->ListBox->Handle(), LB_FINDSTRING,
                                      WPARAM(one ? ItemIndex() : -1), LPARAM(typed.c_str()));
    if (found == LB_ERR) return;
    SetItemIndex(int(found));
    const int typedLen = int(winctl::DecodeText(typed).size());
    if (FEdit) {
        FEdit->SetSelStart(typedLen);
        FEdit->SetSelLength(int(winctl::DecodeText(FEdit->Text()).size()) - typedLen);
    }
}

void TspSkinCustomComboBox::EditChange(TObject*) {
    if (FSettingText) return;
    FromEdit = true;
    const std::string t = FEdit->Text();
    if (!t.empty()) {
        HWND lb = FListBox->ListBox->Handle();
        const LRESULT found = SendMessage(lb, LB_FINDSTRING, WPARAM(-1), LPARAM(t.c_str()));
        if (found != LB_ERR) {
            if (AutoComplete)
                SendMessage(lb, LB_SETCURSEL, WPARAM(found), 0);
            else
                SendMessage(lb, LB_SETTOPINDEX, WPARAM(found), 0);
        }
    }
    SetText(t);
    FromEdit = false;
}

void TspSkinCustomComboBox::EditCancelMode(TControl* C) {
    if (C == this || C == FListBox.get() || C == FListBox->ListBox.get() ||
        C == FListBox->ScrollBar.get() || C == FListBox->HScrollBar.get())
        return;
    CloseUp(false);
}

void TspSkinCustomComboBox::EditWindowProc(TMessage& Message) {
    const bool activeLook = FIndex != -1 && !IsEmptyRect(ActiveSkinRect);
    const TFontCharset cs = charsetOf(FSD, DefaultFont());
    const bool eastAsian = cs == 128 || cs == 134 || cs == 136;
    switch (Message.Msg) {
    case WM_SETFOCUS:
        if (activeLook) {
            FEdit->Font()->SetColor(ActiveFontColor);
            Invalidate();
        }
        break;
    case WM_KILLFOCUS:
        if (FListBox->IsVisible()) CloseUp(false);
        if (activeLook) {
            FEdit->Font()->SetColor(FontColor);
            Invalidate();
        }
        break;
    case WM_KEYDOWN:
        switch (Message.WParam) {
        case VK_RETURN:
            if (FListBox->IsVisible()) CloseUp(true);
            break;
        case VK_ESCAPE:
            if (FListBox->IsVisible()) CloseUp(false);
            break;
        case VK_PRIOR:
            if (FListBox->IsVisible())
                SetListIndex(std::max(FListBox->ItemIndex() - FDropDownCount - 1, 0));
            break;
        case VK_NEXT:
            if (FListBox->IsVisible())
                SetListIndex(
                    std::min(FListBox->ItemIndex() + FDropDownCount - 1, Items()->Count() - 1));
            break;
        case VK_UP:
            EditUp(true);
            Message.Result = 0;
            return;
        case VK_DOWN:
            EditDown(true);
            Message.Result = 0;
            return;
        default:
            break;
        }
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (eastAsian) {
            if (Message.WParam != WPARAM(VK_DELETE) && Message.WParam != WPARAM(VK_BACK))
                FEdit->SetSelLength(0);
            FEditWindowProc(Message);
            if (AutoComplete) EditAutoComplete();
            return;
        }
        if (Message.Msg == WM_KEYUP && Message.WParam >= 48) {
            FEditWindowProc(Message);
            if (AutoComplete) EditAutoComplete();
            return;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        if (FListBox->IsVisible()) CloseUp(false);
        break;
    case WM_MOUSEWHEEL:
        if (int32_t(Message.WParam) > 0)
            EditUp(!FListBox->IsVisible());
        else
            EditDown(!FListBox->IsVisible());
        break;
    default:
        break;
    }
    FEditWindowProc(Message);
}

void TspSkinCustomComboBox::GetSkinData() {
    TspSkinCustomControl::GetSkinData();
    auto* el = elementOf<TspDataSkinComboBox>(FSD, FIndex);
    if (!el) {
        FIndex = -1;
        return;
    }
    ActiveSkinRect = el->ActiveSkinRect;
    ActiveFontColor = el->ActiveFontColor;
    SItemRect = el->SItemRect;
    ActiveItemRect = el->ActiveItemRect;
    FocusItemRect = IsEmptyRect(el->FocusItemRect) ? el->SItemRect : el->FocusItemRect;
    ItemLeftOffset = el->ItemLeftOffset;
    ItemRightOffset = el->ItemRightOffset;
    ItemTextRect = el->ItemTextRect;
    FontName = el->FontName;
    FontStyle = el->FontStyle;
    FontHeight = el->FontHeight;
    FontColor = el->FontColor;
    FocusFontColor = el->FocusFontColor;
    ButtonRect = el->ButtonRect;
    ActiveButtonRect = el->ActiveButtonRect;
    DownButtonRect = el->DownButtonRect;
    UnEnabledButtonRect = el->UnEnabledButtonRect;
    ListBoxName = el->ListBoxName;
    ItemStretchEffect = el->ItemStretchEffect;
    FocusItemStretchEffect = el->FocusItemStretchEffect;
    ShowFocus = el->ShowFocus;
}

void TspSkinCustomComboBox::CalcRects() {
    GetSkinData();
    const int W = Width(), H = Height();
    if (FIndex == -1 || FToolButtonStyle) {
        Button.R = TRect(W - 19, 2, W - 2, H - 2);
        CBItem.R = TRect(2, 2, Button.R.Left - 1, H - 2);
    } else {
        const int dw = W - RectWidth(SkinRect), dh = H - RectHeight(SkinRect);
        Button.R = ButtonRect;
        if (ButtonRect.Left >= RectWidth(SkinRect) - RTPt.X) Button.R = moved(Button.R, dw, 0);
        CBItem.R = ClRect;
        CBItem.R.Right += dw;
        if (!FUseSkinSize) {
            Button.R.Bottom += dh;
            CBItem.R.Bottom += dh;
        }
    }
    if (FEdit) {
        HDC dc = GetDC(0);
        HGDIOBJ old = SelectObject(dc, FEdit->Font()->Handle());
        TEXTMETRIC tm{};
        GetTextMetrics(dc, &tm);
        SelectObject(dc, old);
        ReleaseDC(0, dc);
        FEdit->SetBounds(CBItem.R.Left, CBItem.R.Top + RectHeight(CBItem.R) / 2 - tm.tmHeight / 2,
                         RectWidth(CBItem.R), tm.tmHeight);
    }
}

void TspSkinCustomComboBox::FitSkinSize(int& W, int& H) {
    if (FUseSkinSize) {
        TspSkinCustomControl::FitSkinSize(W, H);
        return;
    }
    fitPartWidth(*this, W);
}

void TspSkinCustomComboBox::UpdateSkinRegion() {
    if (FUseSkinSize) TspSkinCustomControl::UpdateSkinRegion();
}

void TspSkinCustomComboBox::DefaultFontChanged() {
    Font()->Assign(DefaultFont());
}

TColor TspSkinCustomComboBox::DisabledColor() {
    if (FIndex != -1 && FSD) {
        auto* e = elementOf<TspDataSkinEditControl>(FSD, FSD->GetControlIndex("edit"));
        if (e) return e->DisabledFontColor;
    }
    return clGrayText;
}

bool TspSkinCustomComboBox::ActiveLook() {
    return FMouseIn || Focused() || (FEdit && FEdit->Focused());
}

void TspSkinCustomComboBox::ChangeSkinData() {
    TspSkinCustomControl::ChangeSkinData();
    CalcRects();
    if (FEdit) {
        if (FIndex != -1 && FUseSkinFont) {
            FEdit->Font()->SetName(FontName);
            FEdit->Font()->SetStyle(FontStyle);
            FEdit->Font()->SetHeight(FontHeight);
            FEdit->Font()->SetColor(FontColor);
        } else {
            FEdit->Font()->Assign(DefaultFont());
            if (FIndex != -1) FEdit->Font()->SetColor(FontColor);
        }
        if (FIndex != -1 && !IsEmptyRect(ActiveSkinRect) && ActiveLook())
            FEdit->Font()->SetColor(ActiveFontColor);
        FEdit->Font()->SetCharset(charsetOf(FSD, DefaultFont()));
        if (FIndex != -1 && !FEdit->EditTransparent()) FEdit->SetEditTransparent(true);
        if (!Enabled()) FEdit->Font()->SetColor(DisabledColor());
    }
    Repaint();
    FListBox->SetSkinDataName(FIndex == -1 ? "" : ListBoxName);
    FListBox->SetSkinData(FSD);
    if (!FSD) FListBox->ChangeSkinData();
    FListBox->UpDateScrollBar();
    CalcRects();
    if (FStyle == spcbEditStyle && FIndex != -1) {
        int w = Width(), h = Height();
        FitSkinSize(w, h);
        if (w != Width() || h != Height()) SetBounds(Left(), Top(), w, h);
    }
}

int TspSkinCustomComboBox::ShownIndex() {
    return FListBox->IsVisible() ? FOldItemIndex : ItemIndex();
}

void TspSkinCustomComboBox::DrawItemText(TCanvas* C, int Index, TRect TR, int W, int H) {
    if (OnComboBoxDrawItem) {
        OnComboBoxDrawItem(C, Index, W, H, TR, CBItem.State);
        return;
    }
    if (TCustomImageList* im = Images()) {
        const int ii = ImageIndex() >= 0 ? ImageIndex() : Index - ImageIndex() - 1;
        if (ii >= 0 && ii < im->Count())
            im->Draw(C, TR.Left, (TR.Top + TR.Bottom) / 2 - im->Height() / 2, ii, true);
        TR.Left += im->Width() + 2;
    }
    C->Brush()->SetStyle(bsClear);
    const std::string text = Items()->Get(Index);
    if (TabWidths()->Count() > 0) {
        const int th = C->TextHeight(text.empty() ? "W" : text);
        tabbedText(C, TR.Left + 2, TR.Top + RectHeight(TR) / 2 - th / 2, text,
                   tabStops(TabWidths()));
    } else {
        TextRectVCentered(C, text, TR);
    }
}

void TspSkinCustomComboBox::DrawButton(TCanvas* C) {
    if (FIndex == -1) {
        drawDefaultButton(C, Button.R, Button.Down && Button.MouseIn, Button.MouseIn);
        DrawArrow(C, Button.R, Enabled() ? clBlack : clBtnShadow, 4);
        return;
    }
    TRect src;
    if (!Enabled() && !IsEmptyRect(UnEnabledButtonRect))
        src = UnEnabledButtonRect;
    else if (Button.Down && Button.MouseIn)
        src = DownButtonRect;
    else if (Button.MouseIn)
        src = ActiveButtonRect;
    copyFromPicture(C, Picture, Button.R, src);
}

void TspSkinCustomComboBox::DrawButtonFromElement(TCanvas* C) {
    if (!FSD) return;
    int i = -1;
    for (const char* n : {"combobutton", "editbutton", "resizebutton"})
        if ((i = FSD->GetControlIndex(n)) >= 0) break;
    auto* el = elementOf<TspDataSkinButtonControl>(FSD, i);
    TBitmap* pic = el ? pictureOf(FSD, el->PictureIndex) : nullptr;
    if (!el || !pic) return;
    TColor arrow = 0;
    const bool down = Button.Down && Button.MouseIn;
    paintResizeButton(FSD, C, Button.R, Button.Down, Button.MouseIn, &arrow);
    if (i == FSD->GetControlIndex("combobutton")) {
        // paintResizeButton takes the edit or resize button; the combo's own wins.
        TRect active = IsEmptyRect(el->ActiveSkinRect) ? el->SkinRect : el->ActiveSkinRect;
        TRect src = down             ? (IsEmptyRect(el->DownSkinRect) ? active : el->DownSkinRect)
                    : Button.MouseIn ? active
                                     : el->SkinRect;
        drawButtonPart(C, el, pic, src, Button.R);
        arrow = down ? el->DownFontColor : Button.MouseIn ? el->ActiveFontColor : el->FontColor;
    }
    if (IsEmptyRect(el->MenuMarkerRect)) {
        if (Enabled()) {
            TRect r = Button.R;
            if (down) r.Top += 2;
            DrawArrow(C, r, arrow, 4);
        }
        return;
    }
    TRect m = el->MenuMarkerRect;
    if (down && !IsEmptyRect(el->MenuMarkerDownRect))
        m = el->MenuMarkerDownRect;
    else if (Button.MouseIn && !IsEmptyRect(el->MenuMarkerActiveRect))
        m = el->MenuMarkerActiveRect;
    const int x = (Button.R.Left + Button.R.Right) / 2 - RectWidth(m) / 2;
    const int y = (Button.R.Top + Button.R.Bottom) / 2 - RectHeight(m) / 2 + (down ? 1 : 0);
    C->BrushCopy(Bounds(x, y, RectWidth(m), RectHeight(m)), pic, m, el->MenuMarkerTransparentColor);
}

void TspSkinCustomComboBox::DrawDefaultItem(TCanvas* C) {
    const int w = RectWidth(CBItem.R), h = RectHeight(CBItem.R);
    if (w <= 0 || h <= 0) return;
    TBitmap b(w, h);
    TCanvas* bc = b.Canvas();
    const bool focused = Focused();
    bc->Font()->Assign(Font());
    bc->Font()->SetCharset(charsetOf(FSD, DefaultFont()));
    bc->Brush()->SetColor(focused ? clHighlight : FDefaultColor);
    bc->Font()->SetColor(focused ? clHighlightText : DefaultFont()->Color());
    if (!Enabled()) bc->Font()->SetColor(clGrayText);
    bc->FillRect(TRect(0, 0, w, h));
    CBItem.State = focused ? odFocused : 0;
    const int i = ShownIndex();
    if (i >= 0 && i < Items()->Count()) DrawItemText(bc, i, TRect(2, 0, w - 2, h), w, h);
    if (focused) {
        bc->Font()->SetColor(clHighlightText);
        DrawDottedFocusRect(bc, TRect(0, 0, w, h));
    }
    C->Draw(CBItem.R.Left, CBItem.R.Top, &b);
}

void TspSkinCustomComboBox::DrawSkinItem(TCanvas* C, bool Stretched) {
    const int w = RectWidth(CBItem.R);
    if (w <= 0 || !Picture) return;
    const bool focused = Focused();
    const bool hot = FMouseIn && !IsEmptyRect(ActiveSkinRect);
    int h = Stretched ? RectHeight(CBItem.R) : RectHeight(SItemRect);
    if (h == 0) h = RectHeight(FocusItemRect);
    if (h <= 0) return;
    TBitmap b(w, h);
    TRect src = SItemRect;
    bool stretch = ItemStretchEffect;
    if (focused) {
        src = FocusItemRect;
        stretch = FocusItemStretchEffect;
    } else if (hot && !IsEmptyRect(ActiveItemRect)) {
        src = ActiveItemRect;
    }
    if (IsEmptyRect(src)) {
        b.Canvas()->CopyRect(TRect(0, 0, w, h), C, Bounds(CBItem.R.Left, CBItem.R.Top, w, h));
    } else if (Stretched) {
        BuildStretchedSkinImage(&b, Picture, src, focused ? inset(ItemTextRect, 1) : ItemTextRect,
                                true);
    } else {
        BuildHorzSkinImage(ItemLeftOffset, ItemRightOffset, &b, Picture, src, w, h, stretch);
    }
    TRect TR = ItemTextRect;
    TR.Right += w - RectWidth(IsEmptyRect(SItemRect) ? ClRect : SItemRect);
    if (Stretched) TR.Bottom += Height() - RectHeight(SkinRect);
    TCanvas* bc = b.Canvas();
    if (FUseSkinFont) {
        bc->Font()->SetName(FontName);
        bc->Font()->SetStyle(FontStyle);
        bc->Font()->SetHeight(FontHeight);
    } else {
        bc->Font()->Assign(Font());
    }
    bc->Font()->SetCharset(charsetOf(FSD, DefaultFont()));
    bc->Font()->SetColor(!Enabled() ? DisabledColor()
                         : focused  ? FocusFontColor
                         : hot      ? ActiveFontColor
                                    : FontColor);
    CBItem.State = focused ? odFocused : 0;
    const int i = ShownIndex();
    if (i >= 0 && i < Items()->Count()) DrawItemText(bc, i, TR, w, h);
    if (focused && ShowFocus) DrawDottedFocusRect(bc, TRect(0, 0, w, h));
    C->Draw(CBItem.R.Left, CBItem.R.Top, &b);
}

void TspSkinCustomComboBox::DrawDefaultToolImage(TBitmap* B) {
    TCanvas* C = B->Canvas();
    const int W = B->Width(), H = B->Height();
    drawDefaultButton(C, TRect(0, 0, W, H), FDropDown, FMouseIn || Focused());
    const int d = FDropDown ? 2 : 0;
    C->Font()->Assign(DefaultFont());
    const int i = ShownIndex();
    if (i >= 0 && i < Items()->Count())
        DrawItemText(C, i, moved(TRect(2, 2, W - 17, H - 2), d, d), W, H);
    DrawDropDownArrow(C, moved(TRect(W - 15, 0, W, H), d, d), C->Font()->Color());
}

void TspSkinCustomComboBox::DrawSkinToolImage(TBitmap* B) {
    GetSkinData();
    if (!FSD) return;
    int idx = FSD->GetControlIndex("resizetoolbutton");
    if (idx < 0) idx = FSD->GetControlIndex("resizebutton");
    auto* el = elementOf<TspDataSkinButtonControl>(FSD, idx);
    TBitmap* pic = el ? pictureOf(FSD, el->PictureIndex) : nullptr;
    if (!el || !pic) return;
    const int W = B->Width(), H = B->Height();
    const bool hot = FMouseIn || Focused();
    TRect src = FDropDown ? el->DownSkinRect : hot ? el->ActiveSkinRect : el->SkinRect;
    if (IsEmptyRect(src)) src = el->SkinRect;
    buildButtonPart(B, el, pic, src);
    TCanvas* C = B->Canvas();
    if (FUseSkinFont) {
        C->Font()->SetName(el->FontName);
        C->Font()->SetStyle(el->FontStyle);
        C->Font()->SetHeight(el->FontHeight);
    } else {
        C->Font()->Assign(DefaultFont());
    }
    C->Font()->SetColor(FDropDown   ? el->DownFontColor
                        : hot       ? el->ActiveFontColor
                        : Enabled() ? el->FontColor
                                    : el->DisabledFontColor);
    const int d = FDropDown ? 2 : 0;
    const int i = ShownIndex();
    if (i >= 0 && i < Items()->Count())
        DrawItemText(C, i, moved(TRect(2, 2, W - 17, H - 2), d, d), W, H);
    const TRect cell = moved(TRect(W - 15, 0, W, H), d, d);
    if (!IsEmptyRect(el->MenuMarkerRect)) {
        TRect m = el->MenuMarkerRect;
        if (FDropDown && !IsEmptyRect(el->MenuMarkerDownRect))
            m = el->MenuMarkerDownRect;
        else if ((FDropDown || hot) && !IsEmptyRect(el->MenuMarkerActiveRect))
            m = el->MenuMarkerActiveRect;
        const int x = (cell.Left + cell.Right) / 2 - RectWidth(m) / 2;
        const int y = (cell.Top + cell.Bottom) / 2 - RectHeight(m) / 2;
        C->BrushCopy(Bounds(x, y, RectWidth(m), RectHeight(m)), pic, m,
                     el->MenuMarkerTransparentColor);
    } else {
        DrawDropDownArrow(C, cell, FDropDown ? el->DownFontColor : C->Font()->Color());
    }
}

void TspSkinCustomComboBox::DrawDefaultImage(TBitmap* B) {
    CalcRects();
    if (FToolButtonStyle) {
        DrawDefaultToolImage(B);
        return;
    }
    TCanvas* C = B->Canvas();
    const int W = B->Width(), H = B->Height();
    C->Brush()->SetColor(clBtnFace);
    C->FillRect(TRect(0, 0, W, H));
    C->Brush()->SetColor(clBtnShadow);
    C->FrameRect(TRect(0, 0, W, H));
    C->Brush()->SetColor(FDefaultColor);
    C->FillRect(TRect(2, 2, W - 2, H - 2));
    DrawButton(C);
    if (FStyle == spcbFixedStyle) DrawDefaultItem(C);
}

void TspSkinCustomComboBox::DrawSkinImage(TBitmap* B) {
    CalcRects();
    if (FToolButtonStyle) {
        DrawSkinToolImage(B);
        return;
    }
    const bool active = !IsEmptyRect(ActiveSkinRect) && ActiveLook();
    if (FUseSkinSize) {
        if (active && Picture)
            BuildHorzSkinImage(LTPt.X, RectWidth(ActiveSkinRect) - RTPt.X, B, Picture,
                               ActiveSkinRect, Width(), RectHeight(ActiveSkinRect), StretchEffect);
        else
            TspSkinCustomControl::DrawSkinImage(B);
    } else if (Picture) {
        BuildStretchedSkinImage(B, Picture, active ? ActiveSkinRect : SkinRect, ClRect, true);
    }
    if (FUseSkinSize)
        DrawButton(B->Canvas());
    else
        DrawButtonFromElement(B->Canvas());
    if (FStyle == spcbFixedStyle) DrawSkinItem(B->Canvas(), !FUseSkinSize);
}

void TspSkinCustomComboBox::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_GETDLGCODE:
        Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        return;
    case WM_TIMER:
        TspSkinCustomControl::WndProc(Message);
        if (Message.WParam != kRepeatTimer) return;
        if (TimerMode == 1 && FListBox->ItemIndex() > 0)
            SetListIndex(FListBox->ItemIndex() - 1);
        else if (TimerMode == 2 && FListBox->ItemIndex() < Items()->Count() - 1)
            SetListIndex(FListBox->ItemIndex() + 1);
        return;
    case WM_MOUSEWHEEL:
        if (FStyle == spcbFixedStyle) {
            const int i = FListBox->ItemIndex();
            const bool forward = int16_t(HIWORD(Message.WParam)) > 0;
            const int next = forward ? i - 1 : i + 1;
            if (next >= 0 && next < Items()->Count()) {
                if (FListBox->IsVisible())
                    SetListIndex(next);
                else
                    SetItemIndex(next);
            }
        }
        Message.Result = 1;
        return;
    case CM_TEXTCHANGED:
        TspSkinCustomControl::WndProc(Message);
        TextChanged();
        return;
    case CM_CANCELMODE:
        TspSkinCustomControl::WndProc(Message);
        EditCancelMode(reinterpret_cast<TControl*>(Message.LParam));
        return;
    case WM_KILLFOCUS:
        TspSkinCustomControl::WndProc(Message);
        if (FStyle == spcbFixedStyle) {
            if (FListBox->IsVisible()) CloseUp(false);
            Repaint();
        }
        return;
    case WM_SETFOCUS:
        TspSkinCustomControl::WndProc(Message);
        if (FStyle == spcbEditStyle && FEdit) {
            FEdit->SetFocus();
            if (FIndex != -1 && !IsEmptyRect(ActiveSkinRect))
                FEdit->Font()->SetColor(ActiveFontColor);
        } else {
            Repaint();
        }
        return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE: {
        const bool enter = Message.Msg == CM_MOUSEENTER;
        TspSkinCustomControl::WndProc(Message);
        FMouseIn = enter;
        if (!enter && Button.MouseIn) {
            Button.MouseIn = false;
            Repaint();
        }
        const bool activeLook = FIndex != -1 && !IsEmptyRect(ActiveSkinRect);
        if (activeLook && FEdit && !FEdit->Focused())
            FEdit->Font()->SetColor(enter ? ActiveFontColor : FontColor);
        if (activeLook || FToolButtonStyle) Invalidate();
        return;
    }
    case CM_ENABLEDCHANGED:
        TspSkinCustomControl::WndProc(Message);
        GetSkinData();
        if (FEdit) {
            FEdit->SetEnabled(Enabled());
            FEdit->Font()->SetColor(!Enabled()     ? DisabledColor()
                                    : FIndex == -1 ? DefaultFont()->Color()
                                                   : FontColor);
        }
        Repaint();
        return;
    case WM_CREATE:
        TspSkinCustomControl::WndProc(Message);
        // The list's window first, then its inner list inside it: asking the
        // inner list first would make it twice.
        FListBox->HandleNeeded();
        CalcRects();
        return;
    case WM_SIZE:
        TspSkinCustomControl::WndProc(Message);
        CalcRects();
        return;
    case WM_ERASEBKGND:
        if (!FFromWMPaint) {
            HDC dc = reinterpret_cast<HDC>(Message.WParam);
            PaintWindow(dc);
            if (FEdit && FEdit->HandleAllocated()) paintEditInto(dc, FEdit.get());
        }
        Message.Result = 1;
        return;
    default:
        break;
    }
    TspSkinCustomControl::WndProc(Message);
}
