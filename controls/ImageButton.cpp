#include "controls/ImageButton.h"

namespace harmoload {

// The button's tables: its own messages, and those the dialog hands back to it.
struct ImageButtonMessages {
    static bool OnGetImage(ImageButton& button, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        result = button.onGetImage(wParam, lParam);
        return true;
    }
    static constexpr ui::MessageEntry<ImageButton> kOwn[] = {
        ui::OnSetCursor<&ImageButton::onSetCursor>(),
        {BM_GETIMAGE, 0, &OnGetImage},
    };
    static constexpr ui::MessageEntry<ImageButton> kReflected[] = {
        ui::OnDrawItem<&ImageButton::onDrawItem>(),
    };
};

ImageButton::~ImageButton() {
    freeBitmap();
    if (hoverCursor_ != nullptr) {
        DestroyCursor(hoverCursor_);
    }
}

int ImageButton::setBitmapResources(int bitmapId, COLORREF transparentColor) {
    freeBitmap();
    bitmap_ = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(bitmapId),
                                              IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    transparentColor_ = transparentColor;
    if (hwnd() != nullptr) {
        InvalidateRect(hwnd(), nullptr, TRUE);
    }
    return 0;
}

int ImageButton::setHoverCursor(int cursorId, bool repaint) {
    if (hoverCursor_ != nullptr) {
        DestroyCursor(hoverCursor_);
        hoverCursor_ = nullptr;
    }
    if (cursorId == 0) {
        return 0;
    }
    hoverCursor_ = static_cast<HCURSOR>(LoadImageW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(cursorId), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
    if (repaint && hwnd() != nullptr) {
        InvalidateRect(hwnd(), nullptr, TRUE);
    }
    return hoverCursor_ == nullptr ? 1 : 0;
}

bool ImageButton::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return ui::DispatchMessageTo<ImageButton>(ImageButtonMessages::kOwn, *this, message, wParam,
                                              lParam, result);
}

bool ImageButton::handleReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return ui::DispatchMessageTo<ImageButton>(ImageButtonMessages::kReflected, *this, message,
                                              wParam, lParam, result);
}

bool ImageButton::onSetCursor() {
    if (hoverCursor_ == nullptr) {
        return false;
    }
    SetCursor(hoverCursor_);
    return true;
}

void ImageButton::onDrawItem(const DRAWITEMSTRUCT& item) {
    const RECT& area = item.rcItem;
    FillRect(item.hDC, &area, GetSysColorBrush(COLOR_BTNFACE));
    BITMAP size{};
    if (bitmap_ == nullptr || GetObjectW(bitmap_, sizeof size, &size) == 0) {
        return;
    }
    // Centred; one pixel down and to the right while pressed.
    const int pressed = (item.itemState & ODS_SELECTED) != 0 ? 1 : 0;
    const int left = area.left + (area.right - area.left - size.bmWidth) / 2 + pressed;
    const int top = area.top + (area.bottom - area.top - size.bmHeight) / 2 + pressed;
    HDC source = CreateCompatibleDC(item.hDC);
    HGDIOBJ replaced = SelectObject(source, bitmap_);
    TransparentBlt(item.hDC, left, top, size.bmWidth, size.bmHeight, source, 0, 0, size.bmWidth,
                   size.bmHeight, transparentColor_);
    SelectObject(source, replaced);
    DeleteDC(source);
}

void ImageButton::freeBitmap() {
    if (bitmap_ != nullptr) {
        DeleteObject(bitmap_);
        bitmap_ = nullptr;
    }
}

}  // namespace harmoload
