#include "classlib/imglist.h"

#include <cstring>

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}
TCustomImageList::~TCustomImageList() = default;

void TCustomImageList::Change() {
    if (OnChange) OnChange(this);
}

void TCustomImageList::SetWidth(int w) {
    if (w == FWidth || w <= 0) return;
    FWidth = w;
    Clear();
}

void TCustomImageList::SetHeight(int h) {
    if (h == FHeight || h <= 0) return;
    FHeight = h;
    Clear();
}

TCustomImageList::Item TCustomImageList::MakeItem(TBitmap* Image, TBitmap* Mask, int offsetX,
                                                  TColor maskColor, bool useColor) {
    Item it;
    it.image = std::make_unique<TBitmap>();
    it.image->SetPixelFormat(pf32bit);
    it.image->SetSize(FWidth, FHeight);
    it.visible.assign(size_t(FWidth) * FHeight, 1);
    if (!Image) return it;
    TCanvas* c = it.image->Canvas();
    c->CopyRect(TRect(0, 0, FWidth, FHeight), Image->Canvas(),
                TRect(offsetX, 0, offsetX + FWidth, FHeight));
    COLORREF key = ColorToRGB(maskColor);
    for (int y = 0; y < FHeight; ++y)
        for (int x = 0; x < FWidth; ++x) {
            bool vis = true;
            if (x + offsetX >= Image->Width() || y >= Image->Height())
                vis = false;
            else if (useColor)
                vis = COLORREF(c->Pixels(x, y)) != key;
            else if (Mask && x + offsetX < Mask->Width() && y < Mask->Height())
                vis = (Mask->Canvas()->Pixels(x + offsetX, y) & 0xFFFFFF) == 0;
            it.visible[size_t(y) * FWidth + x] = vis;
        }
    return it;
}

int TCustomImageList::Add(TBitmap* Image, TBitmap* Mask) {
    int first = Count();
    int pieces = Image ? std::max(1, Image->Width() / FWidth) : 1;
    for (int i = 0; i < pieces; ++i)
        FImages.push_back(MakeItem(Image, Mask, i * FWidth, clNone, false));
    Change();
    return first;
}

int TCustomImageList::AddMasked(TBitmap* Image, TColor MaskColor) {
    int first = Count();
    int pieces = Image ? std::max(1, Image->Width() / FWidth) : 1;
    for (int i = 0; i < pieces; ++i)
        FImages.push_back(MakeItem(Image, nullptr, i * FWidth, MaskColor, true));
    Change();
    return first;
}

void TCustomImageList::Insert(int Index, TBitmap* Image, TBitmap* Mask) {
    if (Index < 0 || Index > Count()) throw EInvalidOperation("Invalid image list index");
    FImages.insert(FImages.begin() + Index, MakeItem(Image, Mask, 0, clNone, false));
    Change();
}

void TCustomImageList::Replace(int Index, TBitmap* Image, TBitmap* Mask) {
    if (Index < 0 || Index >= Count()) throw EInvalidOperation("Invalid image list index");
    FImages[size_t(Index)] = MakeItem(Image, Mask, 0, clNone, false);
    Change();
}

void TCustomImageList::Delete(int Index) {
    if (Index < 0 || Index >= Count()) throw EInvalidOperation("Invalid image list index");
    FImages.erase(FImages.begin() + Index);
    Change();
}

void TCustomImageList::Clear() {
    FImages.clear();
    Change();
}

bool TCustomImageList::GetBitmap(int Index, TBitmap* Image) {
    if (!Image || Index < 0 || Index >= Count()) return false;
    Image->Assign(FImages[size_t(Index)].image.get());
    return true;
}

void TCustomImageList::Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled) {
    Draw(Canvas, X, Y, Index, dsNormal, itImage, Enabled);
}

void TCustomImageList::Draw(TCanvas* Canvas, int X, int Y, int Index, TDrawingStyle Style,
                            TImageType, bool Enabled) {
    if (!Canvas || Index < 0 || Index >= Count()) return;
    DoDraw(Index, Canvas, X, Y, unsigned(Style), Enabled);
}

void TCustomImageList::DoDraw(int Index, TCanvas* Canvas, int X, int Y, unsigned, bool Enabled) {
    Item& it = FImages[size_t(Index)];
    for (int y = 0; y < FHeight; ++y)
        for (int x = 0; x < FWidth; ++x) {
            if (!it.visible[size_t(y) * FWidth + x]) continue;
            COLORREF c = COLORREF(it.image->Canvas()->Pixels(x, y));
            if (!Enabled) {
                // Greyed: dark pixels become the shadow colour, the rest are left out.
                int lum = (GetRValue(c) * 30 + GetGValue(c) * 59 + GetBValue(c) * 11) / 100;
                if (lum > 192) continue;
                c = ColorToRGB(clBtnShadow);
            }
            Canvas->SetPixel(X + x, Y + y, TColor(c));
        }
}
