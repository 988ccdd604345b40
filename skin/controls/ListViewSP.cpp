#include "skin/controls/ListViewSP.h"

#include <algorithm>
#include <vector>

#include "framework/SPTools.h"
#include "platform/win/controls/header.h"
#include "platform/win/controls/listview.h"
#include "platform/win/paint.h"
#include "platform/win/scroll.h"
#include "platform/win/windows.h"
#include "skin/engine/SPUtils.h"
#include "skin/forms/SkinnedForm.h"

namespace {

constexpr const char* kHeaderOwner = "TspSkinCustomListView.Header";
constexpr UINT WM_SKIN_PAINTHEADERTODC = 0xB1C8;

void frameAndFill(TCanvas* C, const TRect& R, TColor frame, TColor fill) {
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(fill);
    C->FillRect(R);
    C->Brush()->SetColor(frame);
    C->FrameRect(R);
}

} // namespace

TspSkinCustomListView::TspSkinCustomListView(TComponent* AOwner)
    : TCustomListView(AOwner), FDefaultFont(std::make_unique<TFont>()) {
    FDefaultFont->SetName("Arial");
    FDefaultFont->SetStyle(TFontStyles());
    FDefaultFont->SetHeight(14);
    Font()->Assign(FDefaultFont.get());
    FDefaultFont->OnChange = [this](TObject*) {
        if (FIndex == -1) Font()->Assign(FDefaultFont.get());
    };
}

TspSkinCustomListView::~TspSkinCustomListView() {
    FDefaultFont->OnChange = nullptr;
    UnhookHeader();
    if (FSD) FSD->RemoveFreeNotification(this);
    for (TspSkinScrollBar* b : {FVScrollBar, FHScrollBar})
        if (b) {
            b->OnChange = nullptr;
            b->RemoveFreeNotification(this);
        }
}

void TspSkinCustomListView::CreateParams(TCreateParams& Params) {
    TCustomListView::CreateParams(Params);
    Params.Style &= ~(WS_VSCROLL | WS_HSCROLL);
    // No frame of its own: the skinned parts around it draw one.
    Params.ExStyle &= ~WS_EX_CLIENTEDGE;
}

void TspSkinCustomListView::SetSkinData(TspSkinData* Value) {
    if (FSD && FSD != Value) FSD->RemoveFreeNotification(this);
    FSD = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    if (!Value->Empty && !HasState(csDesigning)) ChangeSkinData();
}

void TspSkinCustomListView::SetDefaultFont(TFont* Value) {
    FDefaultFont->Assign(Value);
    if (FIndex == -1) Font()->Assign(Value);
}

void TspSkinCustomListView::SetDefaultColor(TColor Value) {
    FDefaultColor = Value;
    if (FIndex == -1) SetColor(Value);
}

void TspSkinCustomListView::SetVScrollBar(TspSkinScrollBar* Value) {
    if (FVScrollBar && FVScrollBar != Value) {
        // The bar let go of no longer moves this list.
        FVScrollBar->RemoveFreeNotification(this);
        FVScrollBar->OnChange = nullptr;
    }
    FVScrollBar = Value;
    if (Value) {
        Value->FreeNotification(this);
        Value->SetEnabled(true);
        Value->SetVisible(false);
        Value->OnChange = [this](TObject* S) { VScrollBarChange(S); };
    }
    UpDateScrollBars();
}

void TspSkinCustomListView::SetHScrollBar(TspSkinScrollBar* Value) {
    if (FHScrollBar && FHScrollBar != Value) {
        // The bar let go of no longer moves this list.
        FHScrollBar->RemoveFreeNotification(this);
        FHScrollBar->OnChange = nullptr;
    }
    FHScrollBar = Value;
    if (Value) {
        Value->FreeNotification(this);
        Value->SetEnabled(true);
        Value->SetVisible(false);
        Value->OnChange = [this](TObject* S) { HScrollBarChange(S); };
    }
    UpDateScrollBars();
}

void TspSkinCustomListView::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomListView::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FSD) FSD = nullptr;
    if (AComponent == FVScrollBar) FVScrollBar = nullptr;
    if (AComponent == FHScrollBar) FHScrollBar = nullptr;
}

void TspSkinCustomListView::Loaded() {
    FInCheckScrollBars = true;
    TCustomListView::Loaded();
    FInCheckScrollBars = false;
    ChangeSkinData();
}

void TspSkinCustomListView::Change(TListItem* Item, int Change) {
    TCustomListView::Change(Item, Change);
    if (!FInCheckScrollBars) UpDateScrollBars();
}

void TspSkinCustomListView::ChangeSkinData() {
    FIndex = SkinControlIndex(FSD, FSkinDataName);
    auto* el = dynamic_cast<TspDataSkinListView*>(SkinElementAt(FSD, FIndex));
    if (FIndex == -1) {
        SetColor(FDefaultColor);
        Font()->Assign(FDefaultFont.get());
    } else if (el) {
        if (FUseSkinFont) {
            Font()->SetName(el->FontName);
            Font()->SetStyle(el->FontStyle);
            Font()->SetHeight(el->FontHeight);
        } else {
            Font()->Assign(FDefaultFont.get());
        }
        Font()->SetColor(el->FontColor);
        SetColor(el->BGColor);
    }
    Font()->SetCharset(FSD && FSD->ResourceStrData() ? FSD->ResourceStrData()->CharSet()
                                                     : FDefaultFont->Charset());
    if (HandleAllocated()) {
        SendMessage(Handle(), LVM_SETTEXTCOLOR, 0, LPARAM(ColorToRGB(Font()->Color())));
        SendMessage(Handle(), LVM_SETBKCOLOR, 0, LPARAM(ColorToRGB(Color())));
        Invalidate();
    }
    UpDateScrollBars();
    for (TspSkinScrollBar* b : {FVScrollBar, FHScrollBar})
        if (b && b->Parent()) b->Parent()->Realign();
    if (ViewStyle() == vsReport && FHeaderHandle) InvalidateRect(FHeaderHandle, nullptr, 1);
}

// ---- Header -----------------------------------------------------------------------------

void TspSkinCustomListView::HookHeader(HWND Header) {
    UnhookHeader();
    FHeaderHandle = Header;
    SetProp(Header, kHeaderOwner, this);
    FDefHeaderProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtr(Header, GWLP_WNDPROC, LONG_PTR(&HeaderProc)));
}

void TspSkinCustomListView::UnhookHeader() {
    if (!FHeaderHandle) return;
    if (IsWindow(FHeaderHandle)) {
        SetWindowLongPtr(FHeaderHandle, GWLP_WNDPROC, LONG_PTR(FDefHeaderProc));
        RemoveProp(FHeaderHandle, kHeaderOwner);
    }
    FHeaderHandle = 0;
    FDefHeaderProc = nullptr;
}

LRESULT TspSkinCustomListView::HeaderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<TspSkinCustomListView*>(GetProp(hwnd, kHeaderOwner));
    if (!self) return DefWindowProc(hwnd, msg, wParam, lParam);
    return self->HeaderWndProc(hwnd, msg, wParam, lParam);
}

LRESULT TspSkinCustomListView::HeaderWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC def = FDefHeaderProc;
    LRESULT result = 0;
    switch (msg) {
    case WM_WINDOWPOSCHANGING:
        // The header always reaches past the last column.
        if (auto* wp = reinterpret_cast<WINDOWPOS*>(lParam)) wp->cx += 25;
        return 0;
    case WM_PAINT:
        PaintHeader(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_NCDESTROY:
        result = CallWindowProc(def, hwnd, msg, wParam, lParam);
        if (FHeaderHandle == hwnd) {
            FHeaderHandle = 0;
            FDefHeaderProc = nullptr;
        }
        return result;
    default:
        result = CallWindowProc(def, hwnd, msg, wParam, lParam);
    }
    switch (msg) {
    case WM_LBUTTONDOWN: {
        POINT p{int16_t(LOWORD(uintptr_t(lParam))), int16_t(HIWORD(uintptr_t(lParam)))};
        FActiveSection = -1;
        int n = int(SendMessage(hwnd, HDM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < n; ++i)
            if (SectionRect(i).Contains(TPoint(p.x, p.y))) {
                FActiveSection = i;
                break;
            }
        HDHITTESTINFO hit;
        hit.pt = p;
        SendMessage(hwnd, HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        FDevDown = (hit.flags & HHT_ONDIVIDER) != 0;
        FHeaderDown = !FDevDown;
        InvalidateRect(hwnd, nullptr, 0);
        break;
    }
    case WM_LBUTTONUP:
        FHeaderDown = false;
        FActiveSection = -1;
        InvalidateRect(hwnd, nullptr, 0);
        break;
    case WM_MOUSEMOVE:
        if (FDevDown) InvalidateRect(hwnd, nullptr, 0);
        break;
    default:
        break;
    }
    return result;
}

TRect TspSkinCustomListView::SectionRect(int i) const {
    RECT r{};
    if (!FHeaderHandle) return TRect();
    int index = i;
    int n = int(SendMessage(FHeaderHandle, HDM_GETITEMCOUNT, 0, 0));
    if (GetWindowLongPtr(FHeaderHandle, GWL_STYLE) & HDS_FULLDRAG) {
        std::vector<int> order(size_t(std::max(n, 1)));
        if (n > 0 && i < n &&
            SendMessage(FHeaderHandle, HDM_GETORDERARRAY, WPARAM(n),
                        reinterpret_cast<LPARAM>(order.data())))
            index = order[size_t(i)];
    }
    SendMessage(FHeaderHandle, HDM_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&r));
    return TRect(r);
}

void TspSkinCustomListView::GetHeaderSkinData() {
    FHIndex = SkinControlIndex(FSD, FHeaderSkinDataName);
    HPicture = nullptr;
    auto* el = dynamic_cast<TspDataSkinButtonControl*>(SkinElementAt(FSD, FHIndex));
    if (!el) return;
    HLTPt = el->LTPoint, HRTPt = el->RTPoint, HLBPt = el->LBPoint, HRBPt = el->RBPoint;
    HSkinRect = el->SkinRect;
    HClRect = el->ClRect;
    HStretchEffect = el->StretchEffect;
    HLeftStretch = el->LeftStretch, HTopStretch = el->TopStretch;
    HRightStretch = el->RightStretch, HBottomStretch = el->BottomStretch;
    HStretchType = el->StretchType;
    HPicture = SkinPictureAt(FSD, el->PictureIndex);
    HFontColor = el->FontColor;
    HActiveFontColor = el->ActiveFontColor;
    HDownFontColor = el->DownFontColor;
    HActiveSkinRect = IsEmptyRect(el->ActiveSkinRect) ? el->SkinRect : el->ActiveSkinRect;
    HDownSkinRect = IsEmptyRect(el->DownSkinRect) ? HActiveSkinRect : el->DownSkinRect;
}

void TspSkinCustomListView::BuildHeaderImage(TBitmap* B, const TRect& Src, int W, int H,
                                             bool NoRight) {
    int dw = W - HSkinRect.Width(), dh = H - HSkinRect.Height();
    if (HLBPt.X != 0 || HLBPt.Y != 0) {
        TRect cl(HClRect.Left, HClRect.Top, HClRect.Right + dw, HClRect.Bottom + dh);
        auto build = NoRight ? BuildSkinImageNoRight : BuildSkinImage;
        build(HLTPt, HRTPt, HLBPt, HRBPt, HClRect, HLTPt, TPoint(HRTPt.X + dw, HRTPt.Y),
              TPoint(HLBPt.X, HLBPt.Y + dh), TPoint(HRBPt.X + dw, HRBPt.Y + dh), cl, B, HPicture,
              Src, W, H, true, HLeftStretch, HTopStretch, HRightStretch, HBottomStretch,
              HStretchEffect, HStretchType);
        return;
    }
    TBitmap row;
    auto build = NoRight ? BuildHorzSkinImageNoRight : BuildHorzSkinImage;
    build(HLTPt.X, HSkinRect.Width() - HRTPt.X, &row, HPicture, Src, W, HSkinRect.Height(),
          HStretchEffect);
    B->SetSize(W, H);
    StretchBlt(B->Canvas()->Handle(), 0, 0, W, H, row.Canvas()->Handle(), 0, 0, row.Width(),
               row.Height(), SRCCOPY);
}

void TspSkinCustomListView::DrawHeaderSection(TCanvas* C, TListColumn* Column, bool Pressed,
                                              const TRect& R) {
    int w = R.Width(), h = R.Height();
    if (w <= 0 || h <= 0) return;
    GetHeaderSkinData();
    TBitmap B(w, h);
    TCanvas* BC = B.Canvas();
    BC->SetFont(Font());
    if (!HPicture) {
        if (Pressed)
            frameAndFill(BC, TRect(0, 0, w, h), TColor(0x800000), TColor(0xB59385));
        else
            frameAndFill(BC, TRect(0, 0, w, h), clBtnShadow, clBtnFace);
        BC->Font()->SetColor(clBtnText);
    } else {
        BC->Font()->SetColor(Pressed ? HDownFontColor : HFontColor);
        BuildHeaderImage(&B, Pressed ? HDownSkinRect : HSkinRect, w, h, false);
    }
    if (OnDrawHeaderSection) {
        OnDrawHeaderSection(BC, Column, Pressed, TRect(0, 0, w, h));
    } else if (Column) {
        BC->Brush()->SetStyle(bsClear);
        TRect tr(5, 0, w - 5, h);
        std::string caption = Column->Caption();
        TCustomImageList* images = SmallImages();
        int image = Column->ImageIndex();
        if (images && image >= 0 && image < images->Count()) {
            int iw = images->Width();
            std::string fitted = caption;
            FitTextToWidth(BC, fitted, tr.Width() - iw - 10);
            bool shortened = fitted != caption;
            int tw = BC->TextWidth(fitted);
            int ix = tr.Left;
            if (!shortened && Column->Alignment() == taRightJustify)
                ix = tr.Right - tw - iw - 10;
            else if (!shortened && Column->Alignment() == taCenter)
                ix = tr.Left + (tr.Width() - tw - iw - 10) / 2;
            images->Draw(BC, ix, h / 2 - images->Height() / 2, image, true);
            TextRectVCentered(BC, fitted, TRect(ix + iw + 10 - 2, 0, tr.Right, h));
        } else {
            FitTextToWidth(BC, caption, tr.Width());
            int tw = BC->TextWidth(caption);
            int x = Column->Alignment() == taRightJustify ? tr.Right - tw
                    : Column->Alignment() == taCenter     ? tr.Left + (tr.Width() - tw) / 2
                                                          : tr.Left;
            int th = BC->TextHeight(caption);
            BC->TextRect(TRect(tr.Left, 0, tr.Right, h), x, h / 2 - th / 2, caption);
        }
    }
    C->Draw(R.Left, R.Top, &B);
}

void TspSkinCustomListView::PaintHeader(HDC DC) {
    if (!FHeaderHandle) return;
    PAINTSTRUCT ps;
    HDC dc = DC ? DC : BeginPaint(FHeaderHandle, &ps);
    if (!dc) return;
    TCanvas C;
    C.SetHandle(dc);
    int n = int(SendMessage(FHeaderHandle, HDM_GETITEMCOUNT, 0, 0));
    int right = 0;
    for (int i = 0; i < n; ++i) {
        TRect r = SectionRect(i);
        TListColumn* col = i < Columns()->Count() ? Columns()->Items(i) : nullptr;
        DrawHeaderSection(&C, col, i == FActiveSection && FHeaderDown, r);
        right = std::max(right, int(r.Right));
    }
    RECT hr{};
    GetClientRect(FHeaderHandle, &hr);
    TRect rest(right, 0, hr.right + 1, hr.bottom);
    if (rest.Width() > 0 && rest.Height() > 0) {
        GetHeaderSkinData();
        if (!HPicture) {
            frameAndFill(&C, rest, clBtnShadow, clBtnFace);
        } else {
            TBitmap B;
            BuildHeaderImage(&B, HSkinRect, rest.Width(), rest.Height(), true);
            C.Draw(rest.Left, rest.Top, &B);
        }
    }
    C.SetHandle(nullptr);
    if (!DC) EndPaint(FHeaderHandle, &ps);
}

// ---- Window -----------------------------------------------------------------------------

void TspSkinCustomListView::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_PARENTNOTIFY:
        if (LOWORD(Message.WParam) == WM_CREATE && Message.LParam) {
            HWND child = HWND(Message.LParam);
            if (GetClassName(child).substr(0, 80) == WC_HEADER && ShowColumnHeaders())
                HookHeader(child);
        }
        break;
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
        Message.Result = 0;
        return;
    case WM_SKIN_PAINTNCTODC:
        Message.Result = 12851;
        return;
    case WM_SKIN_PAINTHEADERTODC:
        if (FHeaderHandle && Message.WParam) PaintHeader(reinterpret_cast<HDC>(Message.WParam));
        return;
    case CM_VISIBLECHANGED:
        TCustomListView::WndProc(Message);
        for (TspSkinScrollBar* b : {FVScrollBar, FHScrollBar})
            if (b) b->SetVisible(Visible());
        return;
    default:
        break;
    }
    TCustomListView::WndProc(Message);
    switch (Message.Msg) {
    case WM_SIZE:
        if (!FInCheckScrollBars && Items()->Count() > 0) UpDateScrollBars();
        if (ViewStyle() == vsReport && FHeaderHandle) InvalidateRect(FHeaderHandle, nullptr, 0);
        break;
    case WM_PAINT:
        if (!FInCheckScrollBars) UpDateScrollBars();
        break;
    case WM_KEYDOWN:
    case WM_LBUTTONUP:
        UpDateScrollBars();
        break;
    default:
        break;
    }
}

// ---- Scroll bars --------------------------------------------------------------------------

int TspSkinCustomListView::ItemHeight() const {
    if (Items()->Count() == 0) return 0;
    TRect r = Items()->Item(0)->DisplayRect(drBounds);
    return r.Height();
}

void TspSkinCustomListView::SetBarVisible(TspSkinScrollBar* Bar, bool Value, bool& Changed) {
    if (!Bar || Bar->Visible() == Value) return;
    FInCheckScrollBars = true;
    Bar->SetVisible(Value);
    FInCheckScrollBars = false;
    Changed = true;
}

void TspSkinCustomListView::FinishBars(bool Changed) {
    if (FVScrollBar && FHScrollBar) FHScrollBar->SetBoth(FVScrollBar->Visible());
    if (Align() != alNone && Changed && Parent()) {
        FInCheckScrollBars = true;
        Parent()->Realign();
        FInCheckScrollBars = false;
    }
}

void TspSkinCustomListView::UpdateReportBars() {
    bool changed = false;
    HWND h = Handle();
    int page = int(SendMessage(h, LVM_GETCOUNTPERPAGE, 0, 0));
    if (FVScrollBar) {
        int mn = 0, mx = 0;
        GetScrollRange(h, SB_VERT, &mn, &mx);
        int pos = GetScrollPos(h, SB_VERT);
        SetBarVisible(FVScrollBar, page < mx + 1 && Visible(), changed);
        FVScrollBar->SetRange(mn, mx, pos, page);
        FVScrollBar->SetSmallChange(1);
        FVScrollBar->SetLargeChange(std::max(1, page));
        FOldVScrollBarPos = pos;
    }
    if (FHScrollBar) {
        int mn = 0, mx = 0;
        GetScrollRange(h, SB_HORZ, &mn, &mx);
        int pos = GetScrollPos(h, SB_HORZ);
        SetBarVisible(FHScrollBar, Width() < mx && Visible(), changed);
        FHScrollBar->SetRange(mn, mx, pos, Width());
        FOldHScrollBarPos = pos;
    }
    FinishBars(changed);
}

void TspSkinCustomListView::UpdateIconBars() {
    bool changed = false;
    HWND h = Handle();
    int step = std::max(1, ItemHeight() / 2);
    if (FVScrollBar) {
        int mn = 0, mx = 0;
        GetScrollRange(h, SB_VERT, &mn, &mx);
        int pos = GetScrollPos(h, SB_VERT);
        SetBarVisible(FVScrollBar, Height() < mx, changed);
        FVScrollBar->SetSmallChange(step);
        FVScrollBar->SetLargeChange(step);
        FVScrollBar->SetRange(mn, mx, pos, Height());
        FOldVScrollBarPos = pos;
    }
    if (FHScrollBar) {
        int mn = 0, mx = 0;
        GetScrollRange(h, SB_HORZ, &mn, &mx);
        int pos = GetScrollPos(h, SB_HORZ);
        SetBarVisible(FHScrollBar, Width() < mx, changed);
        FHScrollBar->SetSmallChange(step);
        FHScrollBar->SetLargeChange(step);
        FHScrollBar->SetRange(mn, mx, pos, Width());
        FOldHScrollBarPos = pos;
    }
    FinishBars(changed);
}

void TspSkinCustomListView::UpdateListBars() {
    bool changed = false;
    HWND h = Handle();
    SetBarVisible(FVScrollBar, false, changed);
    if (FHScrollBar) {
        int page = int(SendMessage(h, LVM_GETCOUNTPERPAGE, 0, 0));
        int count = int(SendMessage(h, LVM_GETITEMCOUNT, 0, 0));
        int mn = 0, mx = 0;
        GetScrollRange(h, SB_HORZ, &mn, &mx);
        int pos = GetScrollPos(h, SB_HORZ);
        SetBarVisible(FHScrollBar, page < count && Visible(), changed);
        int itemWidth = count > 0 ? Items()->Item(0)->DisplayRect(drBounds).Width() : 0;
        FHScrollBar->SetRange(mn, mx, pos, itemWidth > 0 ? Width() / itemWidth : 1);
        FHScrollBar->SetSmallChange(1);
        FHScrollBar->SetLargeChange(1);
        FOldHScrollBarPos = pos;
    }
    FinishBars(changed);
}

void TspSkinCustomListView::UpDateScrollBars() {
    if (!HandleAllocated() || FromSB || FInCheckScrollBars || Width() < 6 || Height() < 6) return;
    switch (ViewStyle()) {
    case vsReport:
        UpdateReportBars();
        break;
    case vsIcon:
    case vsSmallIcon:
        UpdateIconBars();
        break;
    case vsList:
        UpdateListBars();
        break;
    }
}

void TspSkinCustomListView::VScrollBarChange(TObject*) {
    if (!FVScrollBar || !HandleAllocated()) return;
    FromSB = true;
    int diff = FVScrollBar->Position() - FOldVScrollBarPos;
    int dy = ViewStyle() == vsIcon || ViewStyle() == vsSmallIcon ? diff : diff * ItemHeight();
    if (dy != 0) Scroll(0, dy);
    FOldVScrollBarPos = FVScrollBar->Position();
    FromSB = false;
}

void TspSkinCustomListView::HScrollBarChange(TObject*) {
    if (!FHScrollBar || !HandleAllocated()) return;
    FromSB = true;
    int diff = FHScrollBar->Position() - FOldHScrollBarPos;
    if (ViewStyle() == vsList) {
        for (int i = 0; i < std::abs(diff); ++i)
            SendMessage(Handle(), WM_HSCROLL, diff < 0 ? SB_LINELEFT : SB_LINERIGHT, 0);
    } else if (diff != 0) {
        Scroll(diff, 0);
    }
    FOldHScrollBarPos = FHScrollBar->Position();
    FromSB = false;
}

// ---- Item drawing ---------------------------------------------------------------------------

TspSkinListViewSP::TspSkinListViewSP(TComponent* AOwner) : TspSkinCustomListView(AOwner) {
    OnAdvancedCustomDrawItem = [this](TCustomListView* S, TListItem* I, TCustomDrawState St,
                                      TCustomDrawStage Sg,
                                      bool& D) { DoAdvancedCustomDrawItem(S, I, St, Sg, D); };
}

void TspSkinListViewSP::DoAdvancedCustomDrawItem(TCustomListView*, TListItem* Item,
                                                 TCustomDrawState, TCustomDrawStage Stage,
                                                 bool& DefaultDraw) {
    SetDoubleBuffered(true);
    if (Stage != cdPrePaint || !Item) return;
    DefaultDraw = false;
    TCanvas* C = Canvas();
    TRect bounds = Item->DisplayRect(drBounds);
    TRect selBounds = Item->DisplayRect(drSelectBounds);
    TRect label = Item->DisplayRect(drLabel);
    TspSkinData* sd = SkinData();

    // Selection from the list box's focus picture, or a dotted frame.
    if (Item->Selected()) {
        auto* lb = sd ? dynamic_cast<TspDataSkinListBox*>(
                            SkinElementAt(sd, SkinControlIndex(sd, "listbox")))
                      : nullptr;
        TBitmap* P = lb ? SkinPictureAt(sd, lb->PictureIndex) : nullptr;
        if (P && !IsEmptyRect(lb->FocusItemRect) && selBounds.Width() > 0 &&
            selBounds.Height() > 0) {
            TBitmap B(selBounds.Width(), selBounds.Height());
            BuildStretchedSkinImage(&B, P, lb->FocusItemRect, lb->ItemTextRect, true);
            C->Draw(selBounds.Left, selBounds.Top, &B);
        } else {
            DrawDottedFocusRect(C, selBounds);
        }
    }

    // Check box from the check-list box's picture, or a plain box.
    if (Checkboxes()) {
        auto* cl = sd ? dynamic_cast<TspDataSkinCheckListBox*>(
                            SkinElementAt(sd, SkinControlIndex(sd, "checklistbox")))
                      : nullptr;
        TBitmap* P = cl ? SkinPictureAt(sd, cl->PictureIndex) : nullptr;
        TRect src = cl ? (Item->Checked() ? cl->CheckImageRect : cl->UnCheckImageRect) : TRect();
        if (P && !IsEmptyRect(src)) {
            src = TRect(src.Left + 1, src.Top + 1, src.Right - 1, src.Bottom - 1);
            BitBlt(C->Handle(), bounds.Left + 2, bounds.Top + 2, src.Width(), src.Height(),
                   P->Canvas()->Handle(), src.Left, src.Top, SRCCOPY);
        } else {
            TRect box(bounds.Left + 2, bounds.Top + 2, bounds.Left + 15, bounds.Top + 15);
            frameAndFill(C, box, clBtnShadow, clWindow);
            if (Item->Checked()) DrawCheckMark(C, box.Left + 3, box.Top + 3, clWindowText);
        }
    }

    bool report = ViewStyle() == vsReport;
    bool shiftLeft = report && !Checkboxes() && SmallImages();
    TRect icon = Item->DisplayRect(drIcon);

    // Item image.
    if (Item->ImageIndex() >= 0) {
        TCustomImageList* list = ViewStyle() == vsIcon || ViewStyle() == vsSmallIcon
                                     ? (LargeImages() ? LargeImages() : SmallImages())
                                     : (SmallImages() ? SmallImages() : LargeImages());
        if (!list || Item->ImageIndex() >= list->Count()) list = LargeImages();
        if (list && Item->ImageIndex() < list->Count()) {
            int x = icon.Left + (icon.Width() - list->Width()) / 2;
            int y = icon.Top + (icon.Height() - list->Height()) / 2;
            if (shiftLeft) x -= 18;
            list->Draw(C, x, y, Item->ImageIndex(), true);
        }
    }

    // State image just left of the icon.
    if (StateImages() && Item->StateIndex() >= 0 && Item->StateIndex() < StateImages()->Count()) {
        TRect room(icon.Left - icon.Width(), icon.Top, icon.Left, icon.Bottom);
        TRect at = FitRectCentered(TSize(StateImages()->Width(), StateImages()->Height()), room);
        StateImages()->Draw(C, at.Left, at.Top, Item->StateIndex(), true);
    }

    // Caption.
    std::string caption = Item->Caption();
    if (!caption.empty()) {
        TRect r(label.Left + 4, label.Top, label.Right, label.Bottom);
        if (shiftLeft) r = TRect(label.Left - 12, label.Top, label.Right - 16, label.Bottom);
        C->Brush()->SetStyle(bsClear);
        RECT tr = r;
        UINT flags = FWordBreak
                         ? DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS
                         : DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
        DrawText(C->Handle(), caption, &tr, flags);
    }

    // Sub items.
    if (!report) return;
    TStrings* subs = Item->SubItems();
    for (int col = 1; col < Columns()->Count() && col - 1 < subs->Count(); ++col) {
        int image = Item->SubItemImages(col - 1);
        TCustomImageList* list = SmallImages() ? SmallImages() : LargeImages();
        if (image >= 0 && list && image < list->Count()) {
            RECT ir{LVIR_ICON, col, 0, 0};
            SendMessage(Handle(), LVM_GETSUBITEMRECT, WPARAM(Item->Index()),
                        reinterpret_cast<LPARAM>(&ir));
            TRect at = FitRectCentered(TSize(list->Width(), list->Height()), TRect(ir));
            list->Draw(C, at.Left, at.Top, image, true);
        }
        RECT lr{LVIR_LABEL, col, 0, 0};
        SendMessage(Handle(), LVM_GETSUBITEMRECT, WPARAM(Item->Index()),
                    reinterpret_cast<LPARAM>(&lr));
        C->Brush()->SetColor(Color());
        C->Font()->SetColor(Font()->Color());
        TFontStyles style = Font()->Style();
        style -= fsUnderline;
        C->Font()->SetStyle(style);
        C->Brush()->SetStyle(bsClear);
        DrawText(C->Handle(), subs->Strings(col - 1), &lr,
                 DT_SINGLELINE | DT_LEFT | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
}
