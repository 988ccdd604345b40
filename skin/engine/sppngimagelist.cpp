#include "skin/engine/sppngimagelist.h"

#include <algorithm>

#include "classlib/sysutils.h"

// ---- Items --------------------------------------------------------------------------

TspPngImageItem::TspPngImageItem(TspPngImageItems* Collection)
    : FCollection(Collection), FPngImage(std::make_unique<TspPngImage>()) {
    FCollection->FItems.push_back(this);
    int index = Index();
    FName = "PngImage" + std::to_string(index);
    TspPngImageList* list = FCollection->Owner();
    if (list) {
        TBitmap placeholder;
        placeholder.SetMonochrome(true);
        placeholder.SetSize(list->Width(), list->Height());
        list->Insert(std::min(index, list->Count()), &placeholder, nullptr);
    }
}

TspPngImageItem::~TspPngImageItem() {
    int index = Index();
    if (index >= 0) std::erase(FCollection->FItems, this);
    FPngImage.reset();
    TspPngImageList* list = FCollection->Owner();
    if (list && index >= 0 && index < list->Count()) list->Delete(index);
}

int TspPngImageItem::Index() const {
    auto& items = FCollection->FItems;
    auto it = std::find(items.begin(), items.end(), this);
    return it == items.end() ? -1 : int(it - items.begin());
}

void TspPngImageItem::Assign(TPersistent* Source) {
    if (auto* other = dynamic_cast<TspPngImageItem*>(Source)) {
        FPngImage->Assign(other->FPngImage.get());
        FName = other->FName;
        return;
    }
    TPersistent::Assign(Source);
}

void TspPngImageItem::SetPngImage(TspPngImage* v) {
    FPngImage->Assign(v);
    // Every item may draw differently now.
    if (TspPngImageList* list = FCollection->Owner(); list && list->OnChange) list->OnChange(list);
}

std::string TspPngImageItem::GetDisplayName() const {
    return FName.empty() ? ClassName() : FName;
}

// ---- Collection -------------------------------------------------------------------------

TspPngImageItems::~TspPngImageItems() {
    while (!FItems.empty())
        delete FItems.back();
}

TspPngImageItem* TspPngImageItems::Add() {
    return new TspPngImageItem(this);
}

void TspPngImageItems::Delete(int Index) {
    delete Items(Index);
}

void TspPngImageItems::Clear() {
    while (!FItems.empty())
        delete FItems.back();
}

TspPngImageItem* TspPngImageItems::Items(int Index) const {
    if (Index < 0 || Index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FItems[size_t(Index)];
}

void TspPngImageItems::Assign(TPersistent* Source) {
    if (auto* other = dynamic_cast<TspPngImageItems*>(Source)) {
        if (other == this) return;
        Clear();
        for (TspPngImageItem* item : other->FItems)
            Add()->Assign(item);
        return;
    }
    TPersistent::Assign(Source);
}

// ---- Image list ----------------------------------------------------------------------------

TspPngImageList::TspPngImageList(TComponent* AOwner)
    : TCustomImageList(AOwner), FPngImages(std::make_unique<TspPngImageItems>(this)) {}

TspPngImageList::~TspPngImageList() {
    FPngImages.reset();
}

void TspPngImageList::SetPngImages(TspPngImageItems* v) {
    FPngImages->Assign(v);
}

void TspPngImageList::SetPngWidth(int v) {
    if (v == Width()) return;
    SetWidth(v);
    if (!HasState(csLoading)) FPngImages->Clear();
}

void TspPngImageList::SetPngHeight(int v) {
    if (v == Height()) return;
    SetHeight(v);
    if (!HasState(csLoading)) FPngImages->Clear();
}

void MakeImageHalfTransparent(TspPngImage* Png) {
    constexpr int V = 127;
    if (!Png || Png->Empty()) return;
    TPNGTransparencyMode mode = Png->TransparencyMode();
    COLORREF key = ColorToRGB(Png->TransparentColor());
    bool bit = mode == ptmBit;
    auto isKey = [&](const uint8_t* bgr) { return bit && RGB(bgr[2], bgr[1], bgr[0]) == key; };
    uint8_t type = Png->Header().ColorType;
    if (type == COLOR_GRAYSCALE || type == COLOR_PALETTE) {
        Png->ToTrueColorAlpha();
        for (int y = 0; y < Png->Height(); ++y) {
            uint8_t* c = Png->Scanline(y);
            uint8_t* a = Png->AlphaScanline(y);
            for (int x = 0; x < Png->Width(); ++x)
                a[x] = isKey(c + x * 3) ? 0 : V;
        }
        return;
    }
    if (type == COLOR_RGB) Png->CreateAlpha();
    for (int y = 0; y < Png->Height(); ++y) {
        uint8_t* c = Png->Scanline(y);
        uint8_t* a = Png->AlphaScanline(y);
        if (!a) continue;
        for (int x = 0; x < Png->Width(); ++x)
            a[x] = isKey(c + x * 3) ? 0 : uint8_t(RoundDivEven(int64_t(a[x]) * (V + 1), 256));
    }
}

void TspPngImageList::DoDraw(int Index, TCanvas* Canvas, int X, int Y, unsigned, bool Enabled) {
    if (Index < 0 || Index >= FPngImages->Count()) return;
    TspPngImage* png = FPngImages->Items(Index)->PngImage();
    if (!png || png->Empty()) return;
    TRect r(X, Y, X + Width(), Y + Height());
    if (Enabled) {
        png->Draw(Canvas, r);
        return;
    }
    TspPngImage copy;
    copy.Assign(png);
    MakeImageHalfTransparent(&copy);
    copy.Draw(Canvas, r);
}
