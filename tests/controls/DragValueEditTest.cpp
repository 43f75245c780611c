// The path box on a host window (runs under Wine with a display): its frame drawn into a memory
// context, focusing, and dragging a number with the mouse.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ControlHost.h"
#include "controls/DragValueEdit.h"

namespace harmoload::testing {
namespace {

using controls::DragValueEdit;

constexpr POINT kStart{20, 8};

class DragValueEditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        other = host.add(L"Edit", L"", WS_BORDER, RECT{10, 60, 200, 80}, 101);
        window = host.add(L"Edit", L"", WS_BORDER | ES_AUTOHSCROLL, RECT{10, 20, 200, 40});
        ASSERT_TRUE(edit.attach(window));
        host.show();
        SetForegroundWindow(host.hwnd());
    }
    void setText(const wchar_t* text) const { SetWindowTextW(window, text); }
    std::wstring text() const {
        wchar_t buffer[64] = {};
        GetWindowTextW(window, buffer, 64);
        return buffer;
    }
    void send(UINT message, WPARAM flags, POINT point) const {
        SendMessageW(window, message, flags, MAKELPARAM(point.x, point.y));
    }
    // Presses in the focused box and moves the pointer by dy pixels (up is negative).
    void drag(int dy) const {
        SetFocus(window);
        send(WM_LBUTTONDOWN, MK_LBUTTON, kStart);
        send(WM_MOUSEMOVE, MK_LBUTTON, POINT{kStart.x, kStart.y + dy});
    }
    POINT pointer() const {
        POINT now{};
        GetCursorPos(&now);
        ScreenToClient(window, &now);
        return now;
    }

    ControlHost host;
    HWND other = nullptr;
    HWND window = nullptr;
    DragValueEdit edit;
};

TEST_F(DragValueEditTest, FrameIsTheSteelBlueOutlineOfTheWindow) {
    const Drawing drawing(window, WM_PRINT, PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND);
    const int right = drawing.width() - 1;
    const int bottom = drawing.height() - 1;
    for (const POINT& p : {POINT{0, 0}, POINT{right / 2, 0}, POINT{right, bottom / 2},
                           POINT{right / 2, bottom}, POINT{0, bottom}}) {
        EXPECT_EQ(drawing.at(p.x, p.y), DragValueEdit::kFrameColor) << p.x << "," << p.y;
    }
    EXPECT_NE(drawing.at(1, 1), DragValueEdit::kFrameColor);
}

TEST_F(DragValueEditTest, FirstClickOnlyFocusesAndSelectsEverything) {
    setText(L"10");
    SetFocus(other);
    send(WM_LBUTTONDOWN, MK_LBUTTON, kStart);
    send(WM_LBUTTONUP, 0, kStart);
    EXPECT_EQ(GetFocus(), window);
    DWORD start = 1;
    DWORD end = 0;
    SendMessageW(window, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 2u);
    EXPECT_FALSE(edit.dragging());
}

TEST_F(DragValueEditTest, EightPixelsUpAddOneAndThePointerReturns) {
    setText(L"10");
    drag(-20);
    EXPECT_TRUE(edit.dragging());
    EXPECT_EQ(text(), L"12");
    EXPECT_EQ(pointer().x, kStart.x);
    EXPECT_EQ(pointer().y, kStart.y);
    // The pointer is hidden while dragging.
    EXPECT_EQ(SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(GetCursor(), nullptr);

    send(WM_MOUSEMOVE, MK_LBUTTON, POINT{kStart.x, kStart.y - 7});
    EXPECT_EQ(text(), L"12");
    send(WM_LBUTTONUP, 0, POINT{kStart.x, kStart.y - 7});
    EXPECT_FALSE(edit.dragging());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(pointer().y, kStart.y);
}

TEST_F(DragValueEditTest, DraggingDownStopsAtZero) {
    setText(L"1");
    drag(16);
    EXPECT_EQ(text(), L"0");
    send(WM_MOUSEMOVE, MK_LBUTTON, POINT{kStart.x, kStart.y + 40});
    EXPECT_EQ(text(), L"0");
    send(WM_LBUTTONUP, 0, kStart);
}

TEST_F(DragValueEditTest, EmptyBoxCountsAsNumeric) {
    setText(L"");
    drag(-8);
    EXPECT_EQ(text(), L"1");
    send(WM_LBUTTONUP, 0, kStart);
}

TEST_F(DragValueEditTest, PathIsNoNumberAndIsNotDragged) {
    setText(L"C:\\Updates\\HM-900.DAT");
    drag(-40);
    EXPECT_FALSE(edit.dragging());
    EXPECT_EQ(text(), L"C:\\Updates\\HM-900.DAT");
    send(WM_LBUTTONUP, 0, kStart);
}

}  // namespace
}  // namespace harmoload::testing
