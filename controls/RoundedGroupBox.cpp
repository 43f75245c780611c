#include "controls/RoundedGroupBox.h"

#include <algorithm>
#include <string>

// gdiplus.h needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out of windows.h.
#include <objidl.h>
// After objidl.h.
#include <gdiplus.h>

#include "ui/DataExchange.h"
#include "ui/Dpi.h"
#include "ui/MessageTable.h"

namespace harmoload::controls {

struct RoundedGroupBoxMessages {
    static constexpr ui::MessageEntry<RoundedGroupBox> kTable[] = {
        ui::OnPaint<&RoundedGroupBox::onPaint>(),
        ui::OnPrint<&RoundedGroupBox::onPrintClient>(WM_PRINTCLIENT),
    };
};

namespace {

using namespace Gdiplus::DllExports;

// The frame through the flat interface of GDI+: lines and quarter arcs in one pen.
class FramePainter {
  public:
    FramePainter(HDC dc, COLORREF color, int width) {
        if (GdipCreateFromHDC(dc, &graphics_) != Gdiplus::Ok) {
            graphics_ = nullptr;
            return;
        }
        GdipSetSmoothingMode(graphics_, Gdiplus::SmoothingModeAntiAlias);
        const Gdiplus::ARGB argb = (Gdiplus::ARGB{255} << 24) |
                                   (Gdiplus::ARGB{GetRValue(color)} << 16) |
                                   (Gdiplus::ARGB{GetGValue(color)} << 8) | GetBValue(color);
        GdipCreatePen1(argb, static_cast<Gdiplus::REAL>(width), Gdiplus::UnitWorld, &pen_);
    }
    ~FramePainter() {
        if (pen_ != nullptr) {
            GdipDeletePen(pen_);
        }
        if (graphics_ != nullptr) {
            GdipDeleteGraphics(graphics_);
        }
    }
    FramePainter(const FramePainter&) = delete;
    FramePainter& operator=(const FramePainter&) = delete;

    void line(int x1, int y1, int x2, int y2) {
        if (pen_ != nullptr) {
            GdipDrawLineI(graphics_, pen_, x1, y1, x2, y2);
        }
    }
    // A quarter of the ellipse in the box, from the start angle (degrees, clockwise from the
    // positive x axis).
    void arc(int left, int top, int width, int height, float start) {
        if (pen_ != nullptr) {
            GdipDrawArcI(graphics_, pen_, left, top, width, height, start, 90.0f);
        }
    }

  private:
    Gdiplus::GpGraphics* graphics_ = nullptr;
    Gdiplus::GpPen* pen_ = nullptr;
};

}  // namespace

bool RoundedGroupBox::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return ui::DispatchMessageTo<RoundedGroupBox>(RoundedGroupBoxMessages::kTable, *this, message,
                                                  wParam, lParam, result);
}

void RoundedGroupBox::setRadius(int radius) {
    radiusAt96_ = radius;
    radius_ = ui::ScaleToDpi(radius, dpi_);
}

void RoundedGroupBox::setDpi(UINT dpi) {
    dpi_ = dpi;
    radius_ = ui::ScaleToDpi(radiusAt96_, dpi);
    lineWidth_ = ui::ScaleToDpi(kLineWidth, dpi);
    shadowOffset_ = ui::ScaleToDpi(kShadowOffset, dpi);
    if (hwnd() != nullptr) {
        InvalidateRect(hwnd(), nullptr, TRUE);
    }
}

bool RoundedGroupBox::onPaint() {
    PAINTSTRUCT paintStruct{};
    HDC dc = BeginPaint(hwnd(), &paintStruct);
    paint(dc);
    EndPaint(hwnd(), &paintStruct);
    return true;
}

void RoundedGroupBox::paint(HDC dc) {
    const std::wstring caption = ui::WindowText(hwnd());
    auto* font = reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0));
    HGDIOBJ previousFont = font != nullptr ? SelectObject(dc, font) : nullptr;

    RECT client{};
    GetClientRect(hwnd(), &client);
    const int width = client.right;
    const int height = client.bottom;
    const int r = radius_;
    const int p = lineWidth_;

    SIZE extent{};
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
    const int captionWidth = std::min<int>(extent.cx, width - 2 * r);
    // The caption sits at the left, one radius in.
    const int x0 = r;
    RECT captionArea{x0, 0, x0 + captionWidth, extent.cy};

    // The shadow down and to the right (two pixels at 96 DPI), the caption over it.
    const int previousMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF previousColor = SetTextColor(dc, shadowColor_);
    const UINT format = DT_SINGLELINE | DT_CENTER | DT_VCENTER;
    OffsetRect(&captionArea, shadowOffset_, shadowOffset_);
    DrawTextW(dc, caption.c_str(), -1, &captionArea, format);
    OffsetRect(&captionArea, -shadowOffset_, -shadowOffset_);
    SetTextColor(dc, captionColor_);
    DrawTextW(dc, caption.c_str(), -1, &captionArea, format);
    SetTextColor(dc, previousColor);
    SetBkMode(dc, previousMode);

    const int yT = extent.cy / 2;
    const int xR = width - p;
    const int yB = yT + (height - p - extent.cy);
    {
        FramePainter frame(dc, frameColor_, p);
        frame.line(r, yT, x0, yT);
        frame.line(x0 + captionWidth, yT, xR - r, yT);
        frame.arc(xR - 2 * r, yT, 2 * r, 2 * r, 270.0f);
        frame.line(xR, yT + r, xR, yB - r);
        frame.arc(xR - 2 * r, yB - 2 * r, 2 * r, 2 * r, 0.0f);
        frame.line(xR - r, yB, r, yB);
        frame.arc(0, yB - 2 * r, 2 * r, 2 * r, 90.0f);
        frame.line(0, yT + r, 0, yB - r);
        frame.arc(0, yT, 2 * r, 2 * r, 180.0f);
    }
    if (previousFont != nullptr) {
        SelectObject(dc, previousFont);
    }
}

}  // namespace harmoload::controls
