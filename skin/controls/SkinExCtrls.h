// More skinned controls: the splitter painted from a skin element with a
// gripper picture centred on it.
#pragma once

#include <string>

#include "classlib/extctrls.h"
#include "skin/engine/SkinData.h"

class TspSkinSplitter : public TSplitter {
public:
    explicit TspSkinSplitter(TComponent* AOwner);
    ~TspSkinSplitter() override;

    TspSkinData* SkinData() const { return FSD; }
    // Stores and re-reads the element, also for none.
    void SetSkinData(TspSkinData* Value);
    const std::string& SkinDataName() const { return FSkinDataName; }
    void SetSkinDataName(const std::string& v) { FSkinDataName = v; }
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);
    // The thickness without a skin element.
    int DefaultSize = 10;
    int Index() const { return FIndex; }

    // What the skin-change walk calls: the element again, the thickness from it.
    void ChangeSkinData();
    void GetSkinData();
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void Paint() override;

private:
    TspSkinData* FSD = nullptr;
    std::string FSkinDataName = "vsplitter";
    bool FTransparent = false;
    int FIndex = -1;
    TBitmap* FSkinPicture = nullptr; // the skin's, not owned
    TRect SkinRect;
    TPoint LTPt, RTPt, LBPt;
    bool StretchEffect = false;
    TRect GripperRect;
    bool GripperTransparent = false;
    TColor GripperTransparentColor = 0;
};
