#include <gtest/gtest.h>

#include "skin/controls/SkinBoxCtrls.h"
#include "skin/engine/SkinData.h"

namespace {

TspScrollBarLayout layout(TScrollBarKind kind, int min, int max, int pos, int page) {
    TspScrollBarLayout l;
    l.Kind = kind;
    l.Min = min;
    l.Max = max;
    l.PageSize = page;
    l.Position = l.ClampPosition(pos);
    return l;
}

} // namespace

TEST(ScrollBarLayout, PositionStaysWithinTheRangeAndPage) {
    struct Case {
        int min, max, page, asked, expected;
    } cases[] = {
        {0, 100, 0, 150, 100}, {0, 100, 0, -5, 0}, {0, 100, 24, 100, 77}, {0, 100, 24, 50, 50},
        {0, 10, 50, 5, 0},     {5, 5, 0, 9, 5},    {5, 5, 3, 9, 5},       {-10, 10, 0, -20, -10},
    };
    for (const auto& c : cases) {
        auto l = layout(sbVertical, c.min, c.max, c.asked, c.page);
        EXPECT_EQ(l.Position, c.expected) << c.min << ".." << c.max << " page " << c.page;
    }
}

TEST(ScrollBarLayout, DefaultLookThumbStaysInTheTrack) {
    struct Case {
        TScrollBarKind kind;
        int min, max, pos, page;
        TRect thumb;
    } cases[] = {
        // Zero range: at the track start.
        {sbVertical, 3, 3, 3, 0, {1, 17, 18, 33}},
        {sbVertical, 3, 3, 3, 2, {1, 17, 18, 183}},
        // No page: 16 pixels, at the end for the last position.
        {sbVertical, 0, 100, 100, 0, {1, 167, 18, 183}},
        // A tiny page still gets 16 pixels.
        {sbVertical, 0, 1000, 1000, 1, {1, 167, 18, 183}},
        // Page of a quarter of the range: a quarter of the track.
        {sbVertical, 0, 99, 0, 25, {1, 17, 18, 59}},
        // Page larger than the range: the thumb fills the track, vertical at the
        // start, horizontal at the end.
        {sbVertical, 0, 10, 0, 50, {1, 17, 18, 183}},
        {sbHorizontal, 0, 10, 0, 50, {17, 1, 183, 18}},
    };
    for (const auto& c : cases) {
        auto l = layout(c.kind, c.min, c.max, c.pos, c.page);
        if (c.kind == sbVertical)
            l.CalcRects(19, 200);
        else
            l.CalcRects(200, 19);
        EXPECT_EQ(l.Thumb, c.thumb) << c.min << ".." << c.max << " page " << c.page;
    }
    auto v = layout(sbVertical, 0, 100, 0, 0);
    v.CalcRects(19, 200);
    EXPECT_EQ(v.DownButton, TRect(1, 1, 18, 17));
    EXPECT_EQ(v.UpButton, TRect(1, 183, 18, 199));
    auto h = layout(sbHorizontal, 0, 100, 0, 0);
    h.Both = true;
    h.CalcRects(200, 19);
    EXPECT_EQ(h.UpButton, TRect(164, 1, 180, 18));
}

TEST(ScrollBarLayout, DraggingClampsToTheEnds) {
    auto l = layout(sbVertical, 0, 100, 50, 0);
    l.CalcRects(19, 200);
    const int old = l.BOffset;
    EXPECT_EQ(l.CalcValue(0, old), 50);
    EXPECT_EQ(l.CalcValue(1000, old), 100);
    EXPECT_EQ(l.CalcValue(-1000, old), 0);

    auto p = layout(sbVertical, 0, 100, 0, 24);
    p.CalcRects(19, 200);
    EXPECT_EQ(p.CalcValue(1000, p.BOffset), 77);

    // Nothing to drag over: the position stays at Min.
    auto full = layout(sbHorizontal, 0, 10, 0, 40);
    full.CalcRects(200, 19);
    EXPECT_EQ(full.CalcValue(60, full.BOffset), 0);
    auto tiny = layout(sbVertical, 0, 100, 0, 0);
    tiny.CalcRects(19, 20);
    EXPECT_EQ(tiny.CalcValue(5, tiny.BOffset), 0);
}

TEST(ScrollBarLayout, FollowsTheDefaultSkinElement) {
    TspSkinData sd(nullptr);
    sd.LoadFromCompressedFile(std::string(LANTROVE_PROGRAM_DIR) + "/skins/Default.skn");
    ASSERT_FALSE(sd.Empty);
    TspDataSkinScrollBarControl* el = nullptr;
    for (auto& c : sd.CtrlList)
        if (c->IDName == "vscrollbar") el = dynamic_cast<TspDataSkinScrollBarControl*>(c.get());
    ASSERT_NE(el, nullptr);
    auto l = layout(sbVertical, 0, 100, 0, 0);
    l.Skinned = true;
    l.SkinRect = el->SkinRect;
    l.TrackArea = el->TrackArea;
    l.UpButtonRect = el->UpButtonRect;
    l.DownButtonRect = el->DownButtonRect;
    l.ThumbRect = el->ThumbRect;
    l.LBPoint = el->LBPoint;
    l.RTPoint = el->RTPoint;
    l.ThumbMinSize = el->ThumbMinSize;
    const int H = 200, dh = H - (el->SkinRect.Bottom - el->SkinRect.Top);
    l.CalcRects(14, H);
    EXPECT_EQ(l.NewTrackArea.Bottom, el->TrackArea.Bottom + dh);
    EXPECT_EQ(l.UpButton, el->UpButtonRect);
    EXPECT_EQ(l.DownButton.Top, el->DownButtonRect.Top + dh);
    EXPECT_EQ(l.Thumb.Bottom - l.Thumb.Top, el->ThumbMinSize);
    EXPECT_EQ(l.Thumb.Top, l.NewTrackArea.Top);
    l.Position = 100;
    l.CalcRects(14, H);
    EXPECT_EQ(l.Thumb.Bottom, l.NewTrackArea.Bottom);
    // With a page the thumb grows with it but never below the minimum.
    l.PageSize = 50;
    l.Position = 0;
    l.CalcRects(14, H);
    EXPECT_GT(l.Thumb.Bottom - l.Thumb.Top, el->ThumbMinSize);
}
