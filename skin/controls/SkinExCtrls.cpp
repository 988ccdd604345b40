#include "skin/controls/SkinExCtrls.h"

#include "platform/win/windows.h"
#include "skin/engine/SPUtils.h"

TspSkinSplitter::TspSkinSplitter(TComponent* AOwner) : TSplitter(AOwner) {
    ControlStyle |= csOpaque;
}

TspSkinSplitter::~TspSkinSplitter() {
    if (FSD) FSD->RemoveFreeNotification(this);
}

void TspSkinSplitter::SetSkinData(TspSkinData* Value) {
    if (FSD && FSD != Value) FSD->RemoveFreeNotification(this);
    FSD = Value;
    if (Value) Value->FreeNotification(this);
    ChangeSkinData();
}

void TspSkinSplitter::SetTransparent(bool Value) {
    FTransparent = Value;
    if (Value)
        ControlStyle &= ~csOpaque;
    else
        ControlStyle |= csOpaque;
    Repaint();
}

void TspSkinSplitter::Notification(TComponent* AComponent, TOperation Operation) {
    TSplitter::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSD) FSD = nullptr;
}

void TspSkinSplitter::GetSkinData() {
    FIndex = !FSD || FSD->Empty ? -1 : FSD->GetControlIndex(FSkinDataName);
    FSkinPicture = nullptr;
    if (FIndex < 0 || size_t(FIndex) >= FSD->CtrlList.size()) return;
    auto* el = dynamic_cast<TspDataSkinSplitterControl*>(FSD->CtrlList[size_t(FIndex)].get());
    if (!el) return;
    LTPt = el->LTPoint, RTPt = el->RTPoint, LBPt = el->LBPoint;
    SkinRect = el->SkinRect;
    StretchEffect = el->StretchEffect;
    if (el->PictureIndex >= 0 && size_t(el->PictureIndex) < FSD->FActivePictures.size())
        FSkinPicture = FSD->FActivePictures[size_t(el->PictureIndex)].get();
    GripperRect = el->GripperRect;
    GripperTransparent = el->GripperTransparent;
    GripperTransparentColor = el->GripperTransparentColor;
}

void TspSkinSplitter::ChangeSkinData() {
    GetSkinData();
    bool horizontal = Align() == alTop || Align() == alBottom;
    int size = FIndex == -1 || FTransparent ? DefaultSize
               : horizontal                 ? SkinRect.Height()
                                            : SkinRect.Width();
    if (horizontal)
        SetHeight(size);
    else
        SetWidth(size);
    Repaint();
}

void TspSkinSplitter::Paint() {
    if (FTransparent || Width() < 1 || Height() < 1) return;
    GetSkinData();
    if (FIndex == -1 || !FSkinPicture || Align() == alNone || Align() == alClient) {
        TSplitter::Paint();
        return;
    }
    TBitmap B;
    if (Align() == alTop || Align() == alBottom)
        BuildHorzSkinImage(LTPt.X, SkinRect.Width() - RTPt.X, &B, FSkinPicture, SkinRect, Width(),
                           SkinRect.Height(), StretchEffect);
    else
        BuildVertSkinImage(LTPt.Y, SkinRect.Height() - LBPt.Y, &B, FSkinPicture, SkinRect,
                           SkinRect.Width(), Height(), StretchEffect);
    if (!IsEmptyRect(GripperRect)) {
        int gw = GripperRect.Width(), gh = GripperRect.Height();
        int x = B.Width() / 2 - gw / 2, y = B.Height() / 2 - gh / 2;
        HDC src = FSkinPicture->Canvas()->Handle();
        if (GripperTransparent)
            TransparentBlt(B.Canvas()->Handle(), x, y, gw, gh, src, GripperRect.Left,
                           GripperRect.Top, gw, gh, ColorToRGB(GripperTransparentColor));
        else
            BitBlt(B.Canvas()->Handle(), x, y, gw, gh, src, GripperRect.Left, GripperRect.Top,
                   SRCCOPY);
    }
    Canvas()->Draw(0, 0, &B);
}
