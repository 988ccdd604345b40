#include <gtest/gtest.h>

#include <memory>

#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "platform/win/input.h"
#include "platform/win/paint.h"
#include "platform/win/windows.h"
#include "skin/controls/SkinExCtrls.h"
#include "skin/skin_test_support.h"

namespace {

TspSkinData& defaultSkin() {
    static TspSkinData sd(nullptr);
    if (sd.Empty) sd.LoadFromCompressedFile(skintest::DefaultSkinFile());
    return sd;
}

// A form with a panel at the bottom, the splitter above it and a panel filling the rest.
class SkinSplitter : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TForm>(nullptr);
        form->BorderStyle = bsNone;
        form->SetBounds(50, 50, 300, 200);
        form->Show();
        bottom = new TPanel(form.get());
        bottom->SetBounds(0, 0, 300, 60);
        bottom->SetAlign(alBottom);
        bottom->SetParent(form.get());
        split = new TspSkinSplitter(form.get());
        split->SetAlign(alBottom);
        split->SetTop(100);
        split->SetParent(form.get());
        client = new TPanel(form.get());
        client->SetAlign(alClient);
        client->SetParent(form.get());
        Application->ProcessMessages();
    }
    void TearDown() override { form.reset(); }
    COLORREF pixel(int x, int y) {
        HBITMAP b = RenderWindowToBitmap(form->Handle());
        COLORREF c = b->getPixel(x, y);
        DeleteObject(b);
        return c;
    }
    void mouse(UINT msg, int x, int y, WPARAM keys) {
        TPoint p = form->ClientToScreen(TPoint{x, y});
        DeliverMouse(msg, POINT{p.X, p.Y}, keys);
        Application->ProcessMessages();
    }
    std::unique_ptr<TForm> form;
    TPanel *bottom = nullptr, *client = nullptr;
    TspSkinSplitter* split = nullptr;
};

} // namespace

TEST_F(SkinSplitter, ThicknessComesFromTheElementUnlessTransparent) {
    EXPECT_EQ(split->SkinDataName(), "vsplitter");
    split->SetSkinData(nullptr);
    EXPECT_EQ(split->Height(), 10); // the default size, the class library's look
    EXPECT_EQ(pixel(150, split->Top() + 5), ColorToRGB(split->Color()));

    auto& sd = defaultSkin();
    split->SetSkinDataName("hsplitter");
    split->SetSkinData(&sd);
    int i = sd.GetControlIndex("hsplitter");
    ASSERT_GE(i, 0);
    auto* el = dynamic_cast<TspDataSkinSplitterControl*>(sd.CtrlList[size_t(i)].get());
    ASSERT_NE(el, nullptr);
    EXPECT_EQ(split->Height(), el->SkinRect.Height());
    EXPECT_EQ(split->Top() + split->Height(), bottom->Top());

    // The gripper sits in the middle, copied from the picture.
    const TRect& g = el->GripperRect;
    TBitmap* pic = sd.FActivePictures[size_t(el->PictureIndex)].get();
    int gx = 150 - g.Width() / 2, gy = split->Top() + split->Height() / 2 - g.Height() / 2;
    for (int x = 0; x < g.Width(); ++x)
        EXPECT_EQ(pixel(gx + x, gy + g.Height() / 2),
                  ColorToRGB(pic->Canvas()->Pixels(g.Left + x, g.Top + g.Height() / 2)))
            << x;

    // Transparent: the default size and nothing painted over the form.
    split->SetTransparent(true);
    split->ChangeSkinData();
    EXPECT_EQ(split->Height(), 10);
    EXPECT_EQ(pixel(150, split->Top() + 5), ColorToRGB(form->Color()));
}

TEST_F(SkinSplitter, DraggingResizesTheNeighbour) {
    split->SetSkinDataName("hsplitter");
    split->SetSkinData(&defaultSkin());
    int h = split->Height();
    int top = split->Top();
    mouse(WM_LBUTTONDOWN, 100, top + 2, MK_LBUTTON);
    mouse(WM_MOUSEMOVE, 100, top - 28, MK_LBUTTON);
    mouse(WM_LBUTTONUP, 100, top - 28, 0);
    EXPECT_EQ(bottom->Height(), 90);
    EXPECT_EQ(split->Top(), 200 - 90 - h);
    EXPECT_EQ(client->Height(), split->Top());
}
