// The image button on a host window (runs under Wine with a display): its picture and look drawn
// into a memory context, and its behaviour under the mouse messages the system would send.

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>

#include "ControlHost.h"
#include "controls/ImageButton.h"
#include "res/resource.h"

namespace harmoload::testing {
namespace {

using controls::ImageButton;

constexpr COLORREF kWhite = RGB(255, 255, 255);
// The front flap of the open-folder picture.
constexpr COLORREF kFolderFlap = RGB(0xfb, 0xd7, 0x5b);
// A button larger than the 16 by 16 picture by an even and an odd margin: 32 by 25.
constexpr RECT kPlace{20, 20, 52, 45};
constexpr POINT kCentre{16, 12};
constexpr POINT kOutside{-10, -10};

// The rectangle of the open-folder picture's pixels that are not white, at the place given.
RECT FolderInkAt(int left, int top) {
    auto* bitmap = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr),
                                                   MAKEINTRESOURCEW(IDB_OPEN_FOLDER), IMAGE_BITMAP,
                                                   0, 0, LR_DEFAULTCOLOR));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ replaced = SelectObject(dc, bitmap);
    RECT ink{16, 16, 0, 0};
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            if (GetPixel(dc, x, y) != kWhite) {
                ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y),
                       std::max<LONG>(ink.right, x + 1), std::max<LONG>(ink.bottom, y + 1)};
            }
        }
    }
    SelectObject(dc, replaced);
    DeleteDC(dc);
    DeleteObject(bitmap);
    OffsetRect(&ink, left, top);
    return ink;
}

void ExpectRect(const RECT& actual, const RECT& expected) {
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    EXPECT_EQ(actual.bottom, expected.bottom);
}

class ImageButtonTest : public ::testing::Test {
  protected:
    // A button with the open folder that lets the host show through, as the dialog makes Browse.
    HWND makeButton(ImageButton& button, DWORD style = BS_OWNERDRAW, const wchar_t* caption = L"",
                    RECT place = kPlace) {
        HWND window = host.add(L"Button", caption, style | WS_TABSTOP, place);
        EXPECT_TRUE(button.attach(window));
        EXPECT_EQ(button.setBitmapResources(IDB_OPEN_FOLDER, kWhite), 0);
        button.setTransparent(true);
        host.show();
        return window;
    }
    static Drawing Draw(HWND button) { return Drawing(button, WM_PRINTCLIENT, PRF_CLIENT); }
    static void Send(HWND button, UINT message, WPARAM flags, POINT point) {
        SendMessageW(button, message, flags, MAKELPARAM(point.x, point.y));
    }
    // The pointer onto a point of the button, and the button told of it as the system would.
    static void MoveTo(HWND button, POINT point, WPARAM flags = 0) {
        MovePointer(button, point);
        Send(button, WM_MOUSEMOVE, flags, point);
    }

    ControlHost host;
};

// ---- Drawing --------------------------------------------------------------------------------

TEST_F(ImageButtonTest, PictureIsCentredOverTheBackgroundAndShiftedWhilePressed) {
    ImageButton button;
    HWND window = makeButton(button);
    button.setFlatBorder(false);
    // (32 - 16) / 2 and (25 - 16) / 2, truncated; the picture's white shows the host.
    ExpectRect(Draw(window).boundsOfAllBut(kHostColor), FolderInkAt(8, 4));

    Send(window, WM_LBUTTONDOWN, MK_LBUTTON, kCentre);
    ExpectRect(Draw(window).boundsOfAllBut(kHostColor), FolderInkAt(9, 5));
    Send(window, WM_LBUTTONUP, 0, kCentre);
    ExpectRect(Draw(window).boundsOfAllBut(kHostColor), FolderInkAt(8, 4));
}

TEST_F(ImageButtonTest, DisabledPictureIsEmbossedWithoutItsWhite) {
    ImageButton button;
    HWND window = makeButton(button);
    EXPECT_GT(Draw(window).count(kFolderFlap), 0);

    EnableWindow(window, FALSE);
    const Drawing disabled = Draw(window);
    EXPECT_EQ(disabled.count(kFolderFlap), 0);
    EXPECT_GT(disabled.count(GetSysColor(COLOR_3DSHADOW)), 0);
    // The picture's white stays out of the embossing: only the ink and its highlight, one pixel
    // down and right, are drawn.
    RECT embossed = FolderInkAt(8, 4);
    ++embossed.right;
    ++embossed.bottom;
    ExpectRect(disabled.boundsOfAllBut(kHostColor), embossed);
}

TEST_F(ImageButtonTest, FlatBorderIsRaisedWhileHoveredAndSunkenWhilePressed) {
    ImageButton button;
    HWND window = makeButton(button);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF highlight = GetSysColor(COLOR_BTNHILIGHT);
    EXPECT_EQ(Draw(window).at(0, 0), kHostColor);

    MoveTo(window, kCentre);
    EXPECT_EQ(Draw(window).at(0, 0), highlight);
    EXPECT_EQ(Draw(window).at(31, 24), shadow);

    Send(window, WM_LBUTTONDOWN, MK_LBUTTON, kCentre);
    EXPECT_EQ(Draw(window).at(0, 0), shadow);
    EXPECT_EQ(Draw(window).at(31, 24), highlight);
    Send(window, WM_LBUTTONUP, 0, kCentre);

    button.setFlatBorder(false);
    EXPECT_EQ(Draw(window).at(0, 0), kHostColor);
}

TEST_F(ImageButtonTest, CaptionSitsRightOfThePicture) {
    ImageButton button;
    HWND window = makeButton(button, BS_OWNERDRAW, L"Go", RECT{20, 20, 100, 45});
    button.setFlatBorder(false);
    const Drawing drawing = Draw(window);
    const RECT picture = FolderInkAt(3, 4);
    EXPECT_EQ(drawing.boundsOfAllBut(kHostColor).left, picture.left);
    int captionLeft = drawing.width();
    for (int y = 0; y < drawing.height(); ++y) {
        for (int x = 0; x < drawing.width(); ++x) {
            if (drawing.at(x, y) == GetSysColor(COLOR_BTNTEXT)) {
                captionLeft = std::min(captionLeft, x);
            }
        }
    }
    EXPECT_GE(captionLeft, 3 + 16);
    EXPECT_LT(captionLeft, drawing.width());
}

TEST_F(ImageButtonTest, BackgroundIsCopiedAgainAfterASystemColourChange) {
    ImageButton button;
    HWND window = makeButton(button);
    EXPECT_EQ(Draw(window).at(1, 1), kHostColor);

    // The host's pixels behind the button change; the button keeps its copy of them.
    HDC dc = GetDC(host.hwnd());
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &kPlace, red);
    DeleteObject(red);
    ReleaseDC(host.hwnd(), dc);
    EXPECT_EQ(Draw(window).at(1, 1), kHostColor);

    SendMessageW(window, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(Draw(window).at(1, 1), RGB(255, 0, 0));
}

// ---- The mouse ------------------------------------------------------------------------------

TEST_F(ImageButtonTest, HoverFollowsThePointerInAndOut) {
    ImageButton button;
    HWND window = makeButton(button);
    MoveTo(window, kCentre);
    EXPECT_TRUE(button.hovered());
    MoveTo(window, kOutside);
    EXPECT_FALSE(button.hovered());

    MoveTo(window, kCentre);
    SendMessageW(window, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(button.hovered());

    // The leave notification the button asked the system for.
    MoveTo(window, kCentre);
    MovePointer(window, kOutside);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (button.hovered() && std::chrono::steady_clock::now() < end) {
        ControlHost::Pump();
        Sleep(10);
    }
    EXPECT_FALSE(button.hovered());
}

TEST_F(ImageButtonTest, HeldButtonNeitherStartsHoverNorKeepsItOffTheButton) {
    ImageButton button;
    HWND window = makeButton(button);
    MoveTo(window, kCentre, MK_LBUTTON);
    EXPECT_FALSE(button.hovered());

    MoveTo(window, kCentre);
    Send(window, WM_LBUTTONDOWN, MK_LBUTTON, kCentre);
    MoveTo(window, kOutside, MK_LBUTTON);
    EXPECT_FALSE(button.hovered());
    Send(window, WM_LBUTTONUP, 0, kOutside);
    EXPECT_EQ(host.clicks(), 0);
}

TEST_F(ImageButtonTest, DoubleClickIsTwoClicks) {
    ImageButton button;
    HWND window = makeButton(button);
    Send(window, WM_LBUTTONDOWN, MK_LBUTTON, kCentre);
    Send(window, WM_LBUTTONUP, 0, kCentre);
    EXPECT_EQ(host.clicks(), 1);
    Send(window, WM_LBUTTONDBLCLK, MK_LBUTTON, kCentre);
    Send(window, WM_LBUTTONUP, 0, kCentre);
    EXPECT_EQ(host.clicks(), 2);
}

// ---- Kinds of button ------------------------------------------------------------------------

TEST_F(ImageButtonTest, OwnerDrawnItemIsAPushButtonAndACheckBoxKeepsItsState) {
    ImageButton push;
    HWND pushWindow = makeButton(push);
    Send(pushWindow, WM_LBUTTONDOWN, MK_LBUTTON, kCentre);
    Send(pushWindow, WM_LBUTTONUP, 0, kCentre);
    EXPECT_EQ(SendMessageW(pushWindow, BM_GETCHECK, 0, 0), BST_UNCHECKED);

    ImageButton check;
    HWND checkWindow = makeButton(check, BS_AUTOCHECKBOX);
    check.setFlatBorder(false);
    EXPECT_EQ(GetWindowLongPtrW(checkWindow, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    Send(checkWindow, WM_LBUTTONDOWN, MK_LBUTTON, kCentre);
    Send(checkWindow, WM_LBUTTONUP, 0, kCentre);
    EXPECT_EQ(SendMessageW(checkWindow, BM_GETCHECK, 0, 0), BST_CHECKED);
    // A checked box shows pressed, without the push button's shift.
    ExpectRect(Draw(checkWindow).boundsOfAllBut(kHostColor), FolderInkAt(8, 4));
    SendMessageW(checkWindow, BM_SETCHECK, BST_UNCHECKED, 0);
    EXPECT_EQ(SendMessageW(checkWindow, BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(ImageButtonTest, DefaultPushButtonStaysOwnerDrawnAndTellsTheDialog) {
    ImageButton button;
    HWND window = makeButton(button, BS_DEFPUSHBUTTON);
    EXPECT_EQ(GetWindowLongPtrW(window, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_NE(SendMessageW(window, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON, 0);

    SendMessageW(window, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_EQ(GetWindowLongPtrW(window, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_NE(SendMessageW(window, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON, 0);
}

TEST_F(ImageButtonTest, CursorAndPicturesComeFromTheProgramsResources) {
    ImageButton button;
    HWND window = makeButton(button);
    EXPECT_EQ(button.setHoverCursor(IDC_HAND_CURSOR, false), 0);
    EXPECT_EQ(SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_NE(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(button.setHoverCursor(9999, false), 1);

    // An id without a bitmap leaves the button without a picture.
    EXPECT_EQ(button.setBitmapResources(9999, kWhite), 0);
    EXPECT_EQ(SendMessageW(window, BM_GETIMAGE, IMAGE_BITMAP, 0), 0);
    const RECT nothing = Draw(window).boundsOfAllBut(kHostColor);
    EXPECT_TRUE(IsRectEmpty(&nothing));
}

// ---- Accessibility ----------------------------------------------------------------------------

// What a screen reader in another process gets: WM_GETOBJECT answers for the client area with the
// button's object, marshalled (Wine 8 cannot marshal IAccessible and answers with its failure
// code, E_NOINTERFACE; where it can, the object comes back named, a push button), and leaves the
// window's other parts to the system.
TEST_F(ImageButtonTest, WmGetObjectAnswersForTheClientAreaWithTheNamedButton) {
    ImageButton button;
    HWND window = makeButton(button);
    button.setAccessibleName(L"Browse");
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(SUCCEEDED(com));
    const LRESULT answer = SendMessageW(window, WM_GETOBJECT, 0, OBJID_CLIENT);
    EXPECT_NE(answer, 0);
    if (answer > 0) {
        IAccessible* object = nullptr;
        ASSERT_EQ(ObjectFromLresult(answer, IID_IAccessible, 0, reinterpret_cast<void**>(&object)),
                  S_OK);
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR name = nullptr;
        EXPECT_EQ(object->get_accName(self, &name), S_OK);
        EXPECT_EQ(std::wstring(name, SysStringLen(name)), L"Browse");
        SysFreeString(name);
        VARIANT role{};
        EXPECT_EQ(object->get_accRole(self, &role), S_OK);
        EXPECT_EQ(role.lVal, ROLE_SYSTEM_PUSHBUTTON);
        object->Release();
    }
    EXPECT_EQ(SendMessageW(window, WM_GETOBJECT, 0, OBJID_WINDOW), 0);
    CoUninitialize();
}

}  // namespace
}  // namespace harmoload::testing
