// Window-less controls of the class library: the splitter that resizes its
// neighbour, the image, the paint box and the bevel; and the status bar.
#pragma once

#include "classlib/controls.h"

#include <memory>
#include <vector>

enum TResizeStyle { rsNone, rsLine, rsUpdate, rsPattern };
using TCanSizeEvent = std::function<void(TObject* Sender, int& NewSize, bool& Accept)>;

// A bar aligned to an edge of its parent; dragging it resizes the control
// that lies against it on that side (the one aligned the same way before it).
class TSplitter : public TGraphicControl {
public:
    explicit TSplitter(TComponent* AOwner);
    int MinSize = 30;
    TResizeStyle ResizeStyle = rsUpdate;
    bool Beveled = false;
    TCanSizeEvent OnCanResize;
    TNotifyEvent OnMoved;
    // The control it resizes, null when none lies against it.
    TControl* FindControl() const;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    TControl* FControl = nullptr;
    TPoint FDownPos;
    int FStartSize = 0;
    bool FDragging = false;
};

// Shows a picture: at its top-left corner, centred, stretched, or scaled keeping
// its proportions.
class TImage : public TGraphicControl {
public:
    explicit TImage(TComponent* AOwner);
    TPicture* Picture() { return &FPicture; }
    bool Stretch = false;
    bool Center = false;
    bool Proportional = false;
    // The rectangle the picture is drawn into.
    TRect DestRect();

protected:
    void Paint() override;

private:
    TPicture FPicture;
};

// An area the program paints itself in OnPaint.
class TPaintBox : public TGraphicControl {
public:
    explicit TPaintBox(TComponent* AOwner);
    TNotifyEvent OnPaint;

protected:
    void Paint() override;
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl {
public:
    explicit TBevel(TComponent* AOwner);
    TBevelShape Shape = bsBox;
    TBevelStyle Style = bsLowered;

protected:
    void Paint() override;
};

enum TStatusPanelBevel { pbNone, pbLowered, pbRaised };

struct TStatusPanel {
    std::string Text;
    int Width = 50;
    TAlignment Alignment = taLeftJustify;
    TStatusPanelBevel Bevel = pbLowered;
};

// A bar at the bottom of a form with panels of text, or one simple text.
class TStatusBar : public TWinControl {
public:
    explicit TStatusBar(TComponent* AOwner);
    std::vector<TStatusPanel>& Panels() { return FPanels; }
    TStatusPanel& AddPanel();
    bool SimplePanel = false;
    std::string SimpleText() const { return FSimpleText; }
    void SetSimpleText(const std::string& Value);
    // Repaints after the panels were changed.
    void PanelsChanged() { Invalidate(); }
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    virtual void Paint(HDC dc, const RECT& client);

private:
    std::vector<TStatusPanel> FPanels;
    std::string FSimpleText;
};
