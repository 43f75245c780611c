#include "controls/DragValueEdit.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "text/NumberText.h"
#include "ui/DataExchange.h"
#include "ui/Dpi.h"
#include "ui/MessageTable.h"
#include "ui/WideText.h"

namespace harmoload::controls {

struct DragValueEditMessages {
    static constexpr ui::MessageEntry<DragValueEdit> kTable[] = {
        ui::OnMouse<&DragValueEdit::onLButtonDown>(WM_LBUTTONDOWN),
        ui::OnMouse<&DragValueEdit::onMouseMove>(WM_MOUSEMOVE),
        ui::OnMouse<&DragValueEdit::onLButtonUp>(WM_LBUTTONUP),
        ui::OnSetCursor<&DragValueEdit::onSetCursor>(),
        ui::AfterDefault<&DragValueEdit::onSetFocus, WM_SETFOCUS>(),
        ui::OnMessage<&DragValueEdit::onNcPaint>(WM_NCPAINT),
        ui::OnPrint<&DragValueEdit::onPrint>(WM_PRINT),
        ui::OnNcCalcSize<&DragValueEdit::onNcCalcSize>(),
        ui::OnGetObject<&DragValueEdit::onGetObject>(),
    };
};

bool DragValueEdit::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return ui::DispatchMessageTo<DragValueEdit>(DragValueEditMessages::kTable, *this, message,
                                                wParam, lParam, result);
}

void DragValueEdit::onAttached() {
    accessible_.reset(AccessibleControl::Create(hwnd(), ROLE_SYSTEM_TEXT));
}

void DragValueEdit::setDpi(UINT dpi) {
    pixelsPerStep_ = ui::ScaleToDpi(kPixelsPerStep, dpi);
    frameWidth_ = ui::ScaleToDpi(1, dpi);
    // The frame's new width takes its room from the client area.
    SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DragValueEdit::onNcCalcSize(RECT& client) {
    // The standard border is one pixel; a wider frame narrows the client area by the rest.
    InflateRect(&client, 1 - frameWidth_, 1 - frameWidth_);
}

bool DragValueEdit::hasNumericText() const {
    return IsDecimalText(ui::Utf8(ui::WindowText(hwnd())));
}

void DragValueEdit::selectAll() {
    SendMessageW(hwnd(), EM_SETSEL, 0, -1);
    SendMessageW(hwnd(), EM_SCROLLCARET, 0, 0);
}

void DragValueEdit::returnPointer() {
    POINT screen = dragAnchor_;
    ClientToScreen(hwnd(), &screen);
    SetCursorPos(screen.x, screen.y);
}

void DragValueEdit::onLButtonDown(UINT flags, POINT point) {
    const LPARAM position = MAKELPARAM(point.x, point.y);
    if (!hasNumericText()) {
        defaultHandling(WM_LBUTTONDOWN, flags, position);
        return;
    }
    if (GetFocus() != hwnd()) {
        // A first click only focuses and selects.
        SetFocus(hwnd());
        selectAll();
        return;
    }
    dragging_ = TRUE;
    // The pointer hides for the drag.
    SendMessageW(hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd()),
                 MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
    SetCapture(hwnd());
    dragAnchor_ = point;
    defaultHandling(WM_LBUTTONDOWN, flags, position);
}

void DragValueEdit::onMouseMove(UINT flags, POINT point) {
    const LPARAM position = MAKELPARAM(point.x, point.y);
    if (!dragging_ || (flags & MK_LBUTTON) == 0 || !hasNumericText()) {
        defaultHandling(WM_MOUSEMOVE, flags, position);
        return;
    }
    const std::string text = ui::Utf8(ui::WindowText(hwnd()));
    uint32_t converted = 0;
    if (!text.empty()) {
        // Taken whether or not the conversion reports success.
        ParseDecimalText(text, converted);
    }
    const int steps = (dragAnchor_.y - point.y) / pixelsPerStep_;
    if (steps == 0) {
        return;
    }
    // The text's value as a signed number ("-3" is minus three); the drag never goes below 0.
    const int64_t value = static_cast<int32_t>(converted) + int64_t{steps};
    const int32_t newValue =
        value <= 0 ? 0 : static_cast<int32_t>(std::min<int64_t>(value, INT32_MAX));
    SetWindowTextW(hwnd(), std::to_wstring(newValue).c_str());
    selectAll();
    returnPointer();
}

void DragValueEdit::onLButtonUp(UINT flags, POINT point) {
    if (dragging_) {
        ReleaseCapture();
        dragging_ = FALSE;
        returnPointer();
    }
    defaultHandling(WM_LBUTTONUP, flags, MAKELPARAM(point.x, point.y));
}

bool DragValueEdit::onSetCursor() {
    if (!dragging_) {
        return false;
    }
    SetCursor(nullptr);
    return true;
}

void DragValueEdit::onNcPaint() {
    HDC dc = GetWindowDC(hwnd());
    drawFrame(dc);
    ReleaseDC(hwnd(), dc);
}

void DragValueEdit::onPrint(HDC dc, LPARAM flags) {
    // The edit control's painting may leave its clipping behind in the context.
    const int saved = SaveDC(dc);
    defaultHandling(WM_PRINT, reinterpret_cast<WPARAM>(dc), flags & ~LPARAM{PRF_NONCLIENT});
    RestoreDC(dc, saved);
    if ((flags & PRF_NONCLIENT) != 0) {
        drawFrame(dc);
    }
}

void DragValueEdit::drawFrame(HDC dc) {
    RECT window{};
    GetWindowRect(hwnd(), &window);
    RECT outline{0, 0, window.right - window.left, window.bottom - window.top};
    HBRUSH brush = CreateSolidBrush(kFrameColor);
    for (int line = 0; line < frameWidth_; ++line) {
        FrameRect(dc, &outline, brush);
        InflateRect(&outline, -1, -1);
    }
    DeleteObject(brush);
}

}  // namespace harmoload::controls
