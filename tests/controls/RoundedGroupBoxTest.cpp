// The rounded group box drawn into a memory context (runs under Wine): where its frame runs, where
// the caption interrupts it, and the caption's colours.

#include <gtest/gtest.h>

#include <windows.h>

#include "ControlHost.h"
#include "controls/RoundedGroupBox.h"
#include "ui/GdiplusSession.h"

namespace harmoload::testing {
namespace {

using controls::RoundedGroupBox;

constexpr COLORREF kBackground = RGB(255, 255, 255);
constexpr COLORREF kFrame = RGB(208, 208, 191);
constexpr COLORREF kCaption = RGB(0, 70, 213);
constexpr COLORREF kShadow = RGB(224, 232, 217);
// The dialog's radius; the frame line is 2 pixels wide.
constexpr int kRadius = 10;
constexpr int kWidth = 400;
constexpr int kHeight = 100;

class RoundedGroupBoxTest : public ::testing::Test {
  protected:
    // A group box of 400 by 100 pixels with the caption, drawn; the caption's size in its font.
    Drawing draw(const wchar_t* caption, SIZE& captionSize) {
        HWND window = host.add(L"Button", caption, BS_GROUPBOX, RECT{0, 0, kWidth, kHeight});
        RoundedGroupBox box;
        box.setRadius(kRadius);
        EXPECT_TRUE(box.attach(window));
        HDC dc = GetDC(window);
        HGDIOBJ replaced =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc, caption, lstrlenW(caption), &captionSize);
        SelectObject(dc, replaced);
        ReleaseDC(window, dc);
        return Drawing(window, WM_PRINTCLIENT, PRF_CLIENT, kBackground);
    }

    ui::GdiplusSession gdiplus;
    ControlHost host;
};

TEST_F(RoundedGroupBoxTest, FrameRunsAroundTheBoxAndGivesWayToTheCaption) {
    SIZE caption{};
    const Drawing box = draw(L"Step1: Open the update file", caption);
    const int top = caption.cy / 2;
    const int bottom = top + kHeight - 2 - caption.cy;
    const int right = kWidth - 2;
    const int middleY = (top + bottom) / 2;
    ASSERT_GT(bottom - top, 2 * kRadius);

    // The four edges between the corners.
    EXPECT_TRUE(Near(box.at(0, middleY), kFrame)) << "left";
    EXPECT_TRUE(Near(box.at(right, middleY), kFrame)) << "right";
    EXPECT_TRUE(Near(box.at(kWidth / 2, bottom), kFrame)) << "bottom";
    EXPECT_TRUE(Near(box.at((kRadius + caption.cx + right - kRadius) / 2, top), kFrame)) << "top";
    // Rounded corners: the box's corner points stay clear.
    EXPECT_EQ(box.at(0, top), kBackground);
    EXPECT_EQ(box.at(right, bottom), kBackground);
    // Nothing is filled inside.
    EXPECT_EQ(box.at(kWidth / 2, middleY), kBackground);

    // The caption from x 10 to 10 + its width interrupts the top line.
    for (int x = kRadius + 2; x < kRadius + caption.cx - 2; ++x) {
        EXPECT_FALSE(Near(box.at(x, top), kFrame, 8)) << "caption gap at " << x;
    }
    EXPECT_TRUE(Near(box.at(kRadius + caption.cx + 3, top), kFrame));
    EXPECT_GT(box.count(kCaption), 0);
    EXPECT_GT(box.count(kShadow), 0);
}

TEST_F(RoundedGroupBoxTest, EmptyCaptionLeavesNoGap) {
    SIZE caption{};
    const Drawing box = draw(L"", caption);
    const int top = caption.cy / 2;
    for (int x = kRadius + 1; x < kWidth / 2; x += 7) {
        EXPECT_TRUE(Near(box.at(x, top), kFrame)) << x;
    }
}

}  // namespace
}  // namespace harmoload::testing
