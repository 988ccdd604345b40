// Image lists: images of one size kept by index, drawn with their mask or
// transparent colour, enabled or greyed.
#pragma once

#include <memory>
#include <vector>

#include "classlib/classes.h"
#include "classlib/graphics.h"

enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
enum TImageType { itImage, itMask };

class TCustomImageList : public TComponent {
public:
    explicit TCustomImageList(TComponent* AOwner);
    ~TCustomImageList() override;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // Changing the size clears the list.
    void SetWidth(int w);
    void SetHeight(int h);
    int Count() const { return int(FImages.size()); }

    // Adds a copy of Image (cut into pieces of the list's width when wider);
    // Mask, when given, is black where the image shows. Returns the first index.
    int Add(TBitmap* Image, TBitmap* Mask);
    int AddMasked(TBitmap* Image, TColor MaskColor);
    void Insert(int Index, TBitmap* Image, TBitmap* Mask);
    void Replace(int Index, TBitmap* Image, TBitmap* Mask);
    void Delete(int Index); // EInvalidOperation when out of range
    void Clear();
    bool GetBitmap(int Index, TBitmap* Image);

    void Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled = true);
    void Draw(TCanvas* Canvas, int X, int Y, int Index, TDrawingStyle Style, TImageType Type,
              bool Enabled);
    TNotifyEvent OnChange;

protected:
    virtual void DoDraw(int Index, TCanvas* Canvas, int X, int Y, unsigned Style, bool Enabled);
    void Change();

private:
    struct Item {
        std::unique_ptr<TBitmap> image;
        std::vector<uint8_t> visible; // one per pixel
    };
    Item MakeItem(TBitmap* Image, TBitmap* Mask, int offsetX, TColor maskColor, bool useColor);
    int FWidth = 16, FHeight = 16;
    std::vector<Item> FImages;
};

class TImageList : public TCustomImageList {
public:
    using TCustomImageList::TCustomImageList;
};
