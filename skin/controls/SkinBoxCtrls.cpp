#include "skin/controls/SkinBoxCtrls.h"

#include <algorithm>
#include <cmath>

namespace {

int roundInt(double v) {
    return int(std::lround(v));
}

TRect moved(TRect R, int dx, int dy) {
    return TRect(R.Left + dx, R.Top + dy, R.Right + dx, R.Bottom + dy);
}

} // namespace

int TspScrollBarLayout::ClampPosition(int Value) const {
    if (Value < Min) return Min;
    int limit = PageSize != 0 ? Max - PageSize + 1 : Max;
    // A page larger than the range leaves no room to scroll: stay at Min.
    if (limit < Min) limit = Min;
    return Value > limit ? limit : Value;
}

double TspScrollBarLayout::Fraction() const {
    double f;
    if (PageSize == 0) {
        f = Max == Min ? 0.0 : double(Position - Min) / double(Max - Min);
    } else {
        int d = Max - Min + 1 - PageSize;
        if (d <= 0) return Kind == sbVertical ? 0.0 : 1.0;
        f = double(Position - Min) / double(d);
    }
    return std::clamp(f, 0.0, 1.0);
}

void TspScrollBarLayout::CalcRects(int W, int H) {
    const bool vert = Kind == sbVertical;
    const int range1 = Max - Min + 1;
    const double f = Fraction();
    TRect track;
    int half;
    if (!Skinned) {
        if (vert) {
            DownButton = TRect(1, 1, W - 1, 17);
            UpButton = TRect(1, H - 17, W - 1, H - 1);
            track = TRect(1, 17, W - 1, H - 17);
        } else {
            int w = Both ? W - BothMarkerWidth : W;
            DownButton = TRect(1, 1, 17, H - 1);
            UpButton = TRect(w - 17, 1, w - 1, H - 1);
            track = TRect(17, 1, w - 17, H - 1);
        }
        NewTrackArea = track;
        const int start = vert ? track.Top : track.Left;
        const int end = vert ? track.Bottom : track.Right;
        const int L = std::max(0, end - start);
        if (PageSize == 0) {
            half = 8;
            BOffset = roundInt(f * std::max(0, L - 16));
        } else {
            int t = range1 == 0 ? 0 : roundInt(double(L) * PageSize / range1);
            // The thumb never outgrows the track, however large the page.
            t = std::max(t, 16);
            if (L >= 16) t = std::min(t, L);
            half = t / 2;
            BOffset = roundInt(std::max(0, L - 2 * half) * f);
        }
        Offset1 = start + half;
        Offset2 = end - half;
        const int a = start + BOffset, b = a + 2 * half;
        Thumb = vert ? TRect(track.Left, a, track.Right, b) : TRect(a, track.Top, b, track.Bottom);
        return;
    }
    const int dw = W - (SkinRect.Right - SkinRect.Left);
    const int dh = H - (SkinRect.Bottom - SkinRect.Top);
    track = TrackArea;
    TRect up = UpButtonRect, down = DownButtonRect;
    // A button starting on the far corner belongs to the far end and moves with it.
    if (vert) {
        track.Bottom += dh;
        if (LBPoint.Y <= up.Top) up = moved(up, 0, dh);
        if (LBPoint.Y <= down.Top) down = moved(down, 0, dh);
    } else {
        track.Right += dw;
        if (RTPoint.X <= up.Left) up = moved(up, dw, 0);
        if (RTPoint.X <= down.Left) down = moved(down, dw, 0);
    }
    NewTrackArea = track;
    UpButton = up;
    DownButton = down;
    const int start = vert ? track.Top : track.Left;
    const int end = vert ? track.Bottom : track.Right;
    const int L = std::max(0, end - start);
    int n = vert ? ThumbRect.Bottom - ThumbRect.Top : ThumbRect.Right - ThumbRect.Left;
    if (ThumbMinSize != 0) n = ThumbMinSize;
    if (PageSize != 0) {
        int t = range1 == 0 ? 0 : roundInt(double(L) * PageSize / range1);
        // A page beyond the range fills the track, no further.
        n = std::max(std::min(t, L), n);
    } else if (ThumbMinPageSize != 0) {
        n = ThumbMinPageSize;
    }
    half = n / 2;
    Offset1 = start + half;
    Offset2 = end - half;
    BOffset = roundInt(f * std::max(0, Offset2 - Offset1));
    const int a = Offset1 + BOffset - half, b = Offset1 + BOffset + half;
    if (vert) {
        const int size = ThumbRect.Right - ThumbRect.Left;
        const int x = track.Left + (track.Right - track.Left) / 2 - size / 2;
        Thumb = TRect(x, a, x + size, b);
    } else {
        const int size = ThumbRect.Bottom - ThumbRect.Top;
        const int y = track.Top + (track.Bottom - track.Top) / 2 - size / 2;
        Thumb = TRect(a, y, b, y + size);
    }
}

int TspScrollBarLayout::CalcValue(int Delta, int OldBOffset) {
    const bool vert = Kind == sbVertical;
    if (PageSize != 0) {
        const int len = vert ? Thumb.Bottom - Thumb.Top : Thumb.Right - Thumb.Left;
        Offset1 = (vert ? NewTrackArea.Top : NewTrackArea.Left) + len / 2;
        Offset2 = (vert ? NewTrackArea.Bottom : NewTrackArea.Right) - len / 2;
    }
    const int span = Offset2 - Offset1;
    double k = span > 0 ? double(Delta + OldBOffset) / span : 0.0;
    k = std::clamp(k, 0.0, 1.0);
    // A page larger than the range leaves nothing to drag over.
    const int room = PageSize != 0 ? std::max(0, Max - Min - PageSize + 1) : Max - Min;
    return Min + roundInt(room * k);
}
