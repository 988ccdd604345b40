// Skinned box controls: the layout arithmetic of the skinned scroll bar.
#pragma once

#include "classlib/stdctrls.h"

// Range, position and part rectangles of a scroll bar that draws its own
// buttons, track and thumb; the skinned scroll bar keeps one of these.
struct TspScrollBarLayout {
    TScrollBarKind Kind = sbHorizontal;
    int Min = 0, Max = 100, Position = 0, PageSize = 0;
    bool Both = false;
    int BothMarkerWidth = 19;

    // Element values when a skin element is in use.
    bool Skinned = false;
    TRect SkinRect, TrackArea, UpButtonRect, DownButtonRect, ThumbRect;
    TPoint LBPoint, RTPoint;
    int ThumbMinSize = 0, ThumbMinPageSize = 0;

    // Results of CalcRects, in control coordinates.
    TRect UpButton, DownButton, Thumb, NewTrackArea;
    int Offset1 = 0, Offset2 = 0, BOffset = 0;

    // Below Min gives Min; above the last position a page leaves gives that.
    int ClampPosition(int Value) const;
    // Where the position lies between the ends, 0..1.
    double Fraction() const;
    void CalcRects(int W, int H);
    // The position for a thumb dragged by Delta pixels from OldBOffset.
    int CalcValue(int Delta, int OldBOffset);
};
