#pragma once
// What the control tests stand a control in: a top-level window, kept on top at a place of its
// own on the screen, that hands the control's drawing, colour and click messages back to it as
// the dialog does and counts the clicks it is told of; and the pixels a window draws into a
// memory device context.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "ui/Control.h"

namespace harmoload::testing {

// The host's background, a colour no picture of the program uses.
constexpr COLORREF kHostColor = RGB(0, 128, 128);

class ControlHost {
  public:
    // Away from where the dialog tests show their windows.
    static constexpr int kLeft = 900;
    static constexpr int kTop = 620;

    ControlHost() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"HarmoloadControlHost";
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = CreateSolidBrush(kHostColor);
        RegisterClassW(&windowClass);
        window_ =
            CreateWindowExW(WS_EX_TOPMOST, L"HarmoloadControlHost", L"", WS_POPUP, kLeft, kTop, 320,
                            200, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    }
    ~ControlHost() { DestroyWindow(window_); }
    ControlHost(const ControlHost&) = delete;
    ControlHost& operator=(const ControlHost&) = delete;

    HWND hwnd() const { return window_; }
    int clicks() const { return clicks_; }

    // A child control of a window class at a place of the host.
    HWND add(const wchar_t* className, const wchar_t* text, DWORD style, RECT place,
             int id = 100) const {
        HWND control = CreateWindowExW(
            0, className, text, WS_CHILD | WS_VISIBLE | style, place.left, place.top,
            place.right - place.left, place.bottom - place.top, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
        SendMessageW(control, WM_SETFONT,
                     reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        return control;
    }

    // Shows the host and lets it and its controls paint.
    void show() const {
        ShowWindow(window_, SW_SHOWNOACTIVATE);
        RedrawWindow(window_, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Pump();
    }

    // Handles the messages waiting for this thread's windows.
    static void Pump() {
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(
                                  reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        }
        auto* self = reinterpret_cast<ControlHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        HWND control = nullptr;
        if (message == WM_DRAWITEM) {
            control = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
        } else if (message == WM_CTLCOLORBTN || message == WM_COMMAND) {
            control = reinterpret_cast<HWND>(lParam);
        }
        if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && self != nullptr) {
            ++self->clicks_;
        }
        LRESULT result = 0;
        if (ui::Control* owner = ui::Control::FromHandle(control);
            owner != nullptr && owner->handleReflected(message, wParam, lParam, result)) {
            return result;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    int clicks_ = 0;
};

// What a window draws of itself (WM_PRINTCLIENT, or WM_PRINT with the flags) into a memory
// context first filled with the background; 32-bit pixels, top row first, as 0x00RRGGBB.
class Drawing {
  public:
    Drawing(HWND window, UINT message, LPARAM flags, COLORREF background = kHostColor) {
        RECT area{};
        if (message == WM_PRINT) {
            GetWindowRect(window, &area);
            OffsetRect(&area, -area.left, -area.top);
        } else {
            GetClientRect(window, &area);
        }
        width_ = area.right;
        height_ = area.bottom;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ replaced = SelectObject(dc, bitmap);
        HBRUSH brush = CreateSolidBrush(background);
        FillRect(dc, &area, brush);
        DeleteObject(brush);
        SendMessageW(window, message, reinterpret_cast<WPARAM>(dc), flags);
        GdiFlush();
        const auto* pixels = static_cast<const uint32_t*>(bits);
        pixels_.assign(pixels, pixels + static_cast<size_t>(width_) * height_);
        SelectObject(dc, replaced);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }

    int width() const { return width_; }
    int height() const { return height_; }
    COLORREF at(int x, int y) const {
        const uint32_t pixel = pixels_[static_cast<size_t>(y) * width_ + x];
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }
    // The smallest rectangle that holds every pixel unlike the colour; empty when there is none.
    RECT boundsOfAllBut(COLORREF color) const {
        RECT bounds{width_, height_, 0, 0};
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                if (at(x, y) != color) {
                    bounds = {std::min<LONG>(bounds.left, x), std::min<LONG>(bounds.top, y),
                              std::max<LONG>(bounds.right, x + 1),
                              std::max<LONG>(bounds.bottom, y + 1)};
                }
            }
        }
        return bounds;
    }
    int count(COLORREF color) const {
        int found = 0;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                found += at(x, y) == color ? 1 : 0;
            }
        }
        return found;
    }

  private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_;
};

// Whether two colours differ by at most the tolerance in each component.
inline bool Near(COLORREF a, COLORREF b, int tolerance = 40) {
    const auto close = [tolerance](int x, int y) {
        return x - y <= tolerance && y - x <= tolerance;
    };
    return close(GetRValue(a), GetRValue(b)) && close(GetGValue(a), GetGValue(b)) &&
           close(GetBValue(a), GetBValue(b));
}

// Moves the pointer to a point of a window (client coordinates) and waits until it is there.
inline void MovePointer(HWND window, POINT point) {
    ClientToScreen(window, &point);
    SetCursorPos(point.x, point.y);
    // Up to ten seconds: a busy display server may take its time.
    for (int i = 0; i < 1000; ++i) {
        POINT now{};
        GetCursorPos(&now);
        if (now.x == point.x && now.y == point.y) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace harmoload::testing
