// An image list of PNG pictures with alpha, drawn half transparent when
// disabled.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "classlib/graphics.h"
#include "classlib/imglist.h"

using TspPngImage = TPngImage;

class TspPngImageList;
class TspPngImageItems;

class TspPngImageItem : public TPersistent {
public:
    // Joins the collection at its end with an empty picture, named
    // "PngImage<index>", and a placeholder in the image list.
    explicit TspPngImageItem(TspPngImageItems* Collection);
    ~TspPngImageItem() override;
    void Assign(TPersistent* Source) override;

    const std::string& Name() const { return FName; }
    void SetName(const std::string& v) { FName = v; }
    TspPngImage* PngImage() { return FPngImage.get(); }
    void SetPngImage(TspPngImage* v); // copies the picture
    std::string GetDisplayName() const;
    int Index() const;
    TspPngImageItems* Collection() const { return FCollection; }

private:
    friend class TspPngImageItems;
    TspPngImageItems* FCollection;
    std::unique_ptr<TspPngImage> FPngImage;
    std::string FName;
};

class TspPngImageItems : public TPersistent {
public:
    explicit TspPngImageItems(TspPngImageList* AOwner) : FPngImageList(AOwner) {}
    ~TspPngImageItems() override;
    void Assign(TPersistent* Source) override;

    TspPngImageItem* Add();
    void Delete(int Index);
    void Clear();
    int Count() const { return int(FItems.size()); }
    TspPngImageItem* Items(int Index) const; // EListError out of range
    TspPngImageList* Owner() const { return FPngImageList; }

private:
    friend class TspPngImageItem;
    TspPngImageList* FPngImageList;
    std::vector<TspPngImageItem*> FItems;
};

class TspPngImageList : public TCustomImageList {
public:
    explicit TspPngImageList(TComponent* AOwner);
    ~TspPngImageList() override;

    TspPngImageItems* PngImages() { return FPngImages.get(); }
    void SetPngImages(TspPngImageItems* v);
    int PngWidth() const { return Width(); }
    int PngHeight() const { return Height(); }
    // A new size removes every item, except while the list is being loaded.
    void SetPngWidth(int v);
    void SetPngHeight(int v);

protected:
    void DoDraw(int Index, TCanvas* Canvas, int X, int Y, unsigned Style, bool Enabled) override;

private:
    std::unique_ptr<TspPngImageItems> FPngImages;
};

// The half-transparent copy used for disabled images (factor 127).
void MakeImageHalfTransparent(TspPngImage* Png);
