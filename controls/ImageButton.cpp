#include "controls/ImageButton.h"

#include "ui/DataExchange.h"
#include "ui/Dpi.h"

namespace harmoload::controls {

// The button's tables: its own messages, and those its parent hands back to it.
struct ImageButtonMessages {
    static constexpr ui::MessageEntry<ImageButton> kOwn[] = {
        ui::OnGetDlgCode<&ImageButton::onGetDlgCode>(),
        ui::OnSetButtonStyle<&ImageButton::onSetStyle>(),
        ui::OnSetCheck<&ImageButton::onSetCheck>(),
        ui::OnGetCheck<&ImageButton::onGetCheck>(),
        ui::OnMouse<&ImageButton::onMouseMove>(WM_MOUSEMOVE),
        ui::OnMouse<&ImageButton::onDoubleClick>(WM_LBUTTONDBLCLK),
        ui::AfterDefault<&ImageButton::cancelHover, WM_KILLFOCUS>(),
        ui::AfterDefault<&ImageButton::cancelHover, WM_CANCELMODE>(),
        ui::OnMessage<&ImageButton::cancelHover>(WM_MOUSELEAVE),
        ui::OnActivate<&ImageButton::onActivate>(),
        ui::OnEnable<&ImageButton::onEnable>(),
        ui::OnSetCursor<&ImageButton::onSetCursor>(),
        ui::AfterDefault<&ImageButton::onSysColorChange, WM_SYSCOLORCHANGE>(),
        ui::OnGetImage<&ImageButton::onGetImage>(),
        ui::OnGetObject<&ImageButton::onGetObject>(),
        ui::OnUpdateUiState<&ImageButton::onUpdateUiState>(),
    };
    static constexpr ui::MessageEntry<ImageButton> kReflected[] = {
        ui::OnDrawItem<&ImageButton::onDrawItem>(),
        ui::OnCtlColor<&ImageButton::onCtlColor>(WM_CTLCOLORBTN),
        ui::OnReflectedClick<&ImageButton::onReflectedClick>(),
    };
};

namespace {

// One pixel of a frame: first colour on top and left, second on bottom and right.
void DrawFrameLine(HDC dc, const RECT& area, COLORREF topLeft, COLORREF bottomRight) {
    const LONG width = area.right - area.left;
    const LONG height = area.bottom - area.top;
    const auto fill = [dc](LONG x, LONG y, LONG w, LONG h, COLORREF color) {
        SetBkColor(dc, color);
        const RECT line{x, y, x + w, y + h};
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &line, nullptr, 0, nullptr);
    };
    const COLORREF previous = GetBkColor(dc);
    fill(area.left, area.top, width - 1, 1, topLeft);
    fill(area.left, area.top, 1, height - 1, topLeft);
    fill(area.right - 1, area.top, 1, height, bottomRight);
    fill(area.left, area.bottom - 1, width, 1, bottomRight);
    SetBkColor(dc, previous);
}

bool IsCheckBoxType(LONG_PTR style) {
    switch (style & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
            return true;
        default:
            return false;
    }
}

// A frame of the width: first colour on top and left, second on bottom and right.
void DrawFrame(HDC dc, RECT area, COLORREF topLeft, COLORREF bottomRight, int lineWidth) {
    for (int line = 0; line < lineWidth; ++line) {
        DrawFrameLine(dc, area, topLeft, bottomRight);
        InflateRect(&area, -1, -1);
    }
}

}  // namespace

ImageButton::ImageButton() : backgroundColor_(GetSysColor(COLOR_BTNFACE)) {
    setDefaultColors(false);
}

ImageButton::~ImageButton() {
    dropSnapshot();
    freeImages();
    if (hoverCursor_ != nullptr) {
        DestroyCursor(hoverCursor_);
    }
}

void ImageButton::onAttached() {
    const LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_STYLE);
    // An owner-drawn template item is a push button; only the check-box types check.
    checkBox_ = IsCheckBoxType(style) ? TRUE : FALSE;
    isDefault_ = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON ? TRUE : FALSE;
    SetWindowLongPtrW(hwnd(), GWL_STYLE, (style & ~LONG_PTR{BS_TYPEMASK}) | BS_OWNERDRAW);
    SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    accessible_.reset(AccessibleControl::Create(hwnd(), ROLE_SYSTEM_PUSHBUTTON));
}

void ImageButton::setDpi(UINT dpi) {
    imageMarginX_ = ui::ScaleToDpi(kImageMarginX, dpi);
    pressedOffset_ = {ui::ScaleToDpi(kPressedOffset, dpi), ui::ScaleToDpi(kPressedOffset, dpi)};
    borderWidth_ = ui::ScaleToDpi(1, dpi);
    dropSnapshot();
    repaint(true);
}

void ImageButton::onUpdateUiState(WORD action, WORD state) {
    if ((state & UISF_HIDEFOCUS) == 0) {
        return;
    }
    const bool shown = action == UIS_CLEAR;
    if (shown != focusCues_) {
        focusCues_ = shown;
        repaint(false);
    }
}

int ImageButton::setBitmapResources(int firstId, COLORREF firstTransparent, int secondId,
                                    COLORREF secondTransparent) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const auto load = [instance](int id) {
        return static_cast<HBITMAP>(
            LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    };
    HBITMAP first = load(firstId);
    HBITMAP second = secondId != 0 ? load(secondId) : nullptr;
    return setBitmaps(first, firstTransparent, second, secondTransparent);
}

int ImageButton::setBitmaps(HBITMAP first, COLORREF firstTransparent, HBITMAP second,
                            COLORREF secondTransparent) {
    freeImages();
    if (first == nullptr && second != nullptr) {
        DeleteObject(second);
    }
    if (first != nullptr) {
        int result = takeImage(images_[0], first, firstTransparent);
        if (result == kDone && second != nullptr) {
            result = takeImage(images_[1], second, secondTransparent);
        } else if (second != nullptr && result != kDone) {
            DeleteObject(second);
        }
        if (result != kDone) {
            freeImages();
            return result;
        }
    }
    repaint(true);
    return kDone;
}

int ImageButton::takeImage(ImageSlot& slot, HBITMAP bitmap, COLORREF transparent) {
    slot.bitmap = bitmap;
    slot.transparent = transparent;
    BITMAP size{};
    if (GetObjectW(bitmap, sizeof size, &size) == 0) {
        return kNoImageSize;
    }
    slot.width = size.bmWidth;
    slot.height = size.bmHeight;
    slot.mask = CreateBitmap(slot.width, slot.height, 1, 1, nullptr);
    if (slot.mask == nullptr) {
        return kNoMask;
    }
    HDC imageDc = CreateCompatibleDC(nullptr);
    HDC maskDc = CreateCompatibleDC(nullptr);
    HGDIOBJ imageReplaced = SelectObject(imageDc, slot.bitmap);
    HGDIOBJ maskReplaced = SelectObject(maskDc, slot.mask);
    // Colour to monochrome: the pixels of the background colour become set.
    SetBkColor(imageDc, transparent);
    BitBlt(maskDc, 0, 0, slot.width, slot.height, imageDc, 0, 0, SRCCOPY);
    // Those pixels of the image become black, so that OR-ing the image keeps what lies below: the
    // mask's set pixels reach the image as its background colour, the others as its text colour.
    SetBkColor(imageDc, RGB(0, 0, 0));
    SetTextColor(imageDc, RGB(255, 255, 255));
    BitBlt(imageDc, 0, 0, slot.width, slot.height, maskDc, 0, 0, SRCAND);
    SelectObject(maskDc, maskReplaced);
    SelectObject(imageDc, imageReplaced);
    DeleteDC(maskDc);
    DeleteDC(imageDc);
    return kDone;
}

void ImageButton::freeImages() {
    for (ImageSlot& slot : images_) {
        if (slot.bitmap != nullptr) {
            DeleteObject(slot.bitmap);
        }
        if (slot.mask != nullptr) {
            DeleteObject(slot.mask);
        }
        slot = ImageSlot{};
    }
}

void ImageButton::setTransparent(bool repaintNow) {
    transparent_ = TRUE;
    dropSnapshot();
    if (repaintNow) {
        repaint(false);
    }
}

void ImageButton::setFlatBorder(bool on, bool repaintNow) {
    flatBorder_ = on ? TRUE : FALSE;
    if (repaintNow) {
        repaint(false);
    }
}

int ImageButton::setHoverCursor(int cursorId, bool repaintNow) {
    if (hoverCursor_ != nullptr) {
        DestroyCursor(hoverCursor_);
        hoverCursor_ = nullptr;
    }
    if (cursorId == 0) {
        return kDone;
    }
    hoverCursor_ = static_cast<HCURSOR>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(cursorId), IMAGE_CURSOR, 0, 0, 0));
    if (repaintNow) {
        repaint(false);
    }
    return hoverCursor_ == nullptr ? kNoCursor : kDone;
}

void ImageButton::setDefaultColors(bool repaintNow) {
    const ColorPair system{GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT)};
    hotColors_ = system;
    normalColors_ = system;
    focusedColors_ = system;
    if (repaintNow) {
        repaint(false);
    }
}

void ImageButton::repaint(bool erase) {
    if (hwnd() != nullptr) {
        InvalidateRect(hwnd(), nullptr, erase ? TRUE : FALSE);
    }
}

bool ImageButton::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return ui::DispatchMessageTo<ImageButton>(ImageButtonMessages::kOwn, *this, message, wParam,
                                              lParam, result);
}

bool ImageButton::handleReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return ui::DispatchMessageTo<ImageButton>(ImageButtonMessages::kReflected, *this, message,
                                              wParam, lParam, result);
}

LRESULT ImageButton::onGetDlgCode(LRESULT defaultCode) {
    return defaultCode | (isDefault_ ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

void ImageButton::onSetStyle(UINT style, bool redraw) {
    const UINT type = style & BS_TYPEMASK;
    if (type == BS_DEFPUSHBUTTON) {
        isDefault_ = TRUE;
    } else if (type == BS_PUSHBUTTON) {
        isDefault_ = FALSE;
    }
    defaultHandling(BM_SETSTYLE, (style & ~UINT{BS_TYPEMASK}) | BS_OWNERDRAW, redraw ? TRUE : 0);
}

void ImageButton::onSetCheck(WPARAM state) {
    if (checkBox_) {
        checkState_ = (state == BST_CHECKED || state == BST_INDETERMINATE) ? TRUE : FALSE;
        repaint(false);
    }
}

void ImageButton::onReflectedClick() {
    if (checkBox_) {
        checkState_ = checkState_ ? FALSE : TRUE;
        repaint(false);
    }
}

void ImageButton::onMouseMove(UINT flags, POINT point) {
    defaultHandling(WM_MOUSEMOVE, flags, MAKELPARAM(point.x, point.y));
    // A press that began elsewhere does not light the button up.
    if ((flags & MK_LBUTTON) != 0 && !hovered_) {
        return;
    }
    POINT screen = point;
    ClientToScreen(hwnd(), &screen);
    if (WindowFromPoint(screen) != hwnd()) {
        cancelHover();
        return;
    }
    if (!hovered_) {
        hovered_ = TRUE;
        repaint(true);
        TRACKMOUSEEVENT leave{};
        leave.cbSize = sizeof leave;
        leave.dwFlags = TME_LEAVE;
        leave.hwndTrack = hwnd();
        TrackMouseEvent(&leave);
    }
}

void ImageButton::onDoubleClick(UINT flags, POINT point) {
    // The second click of a double click is a click like the first.
    defaultHandling(WM_LBUTTONDOWN, flags, MAKELPARAM(point.x, point.y));
}

void ImageButton::cancelHover() {
    if (hovered_) {
        hovered_ = FALSE;
        repaint(true);
    }
}

void ImageButton::onActivate(bool active) {
    if (!active) {
        cancelHover();
    }
}

void ImageButton::onEnable(bool enabled) {
    if (enabled) {
        return;
    }
    // A disabled button gives its focus, if it has it, to the next control.
    if (GetFocus() == hwnd()) {
        HWND parent = GetParent(hwnd());
        HWND next = GetNextDlgTabItem(parent, hwnd(), FALSE);
        SetFocus(next != nullptr && next != hwnd() ? next : parent);
    }
    cancelHover();
}

bool ImageButton::onSetCursor() {
    if (hoverCursor_ == nullptr) {
        return false;
    }
    SetCursor(hoverCursor_);
    return true;
}

void ImageButton::onSysColorChange() {
    dropSnapshot();
    setDefaultColors(true);
}

void ImageButton::onDrawItem(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    pressed_ = (selected || (checkBox_ && checkState_)) ? TRUE : FALSE;
    focused_ = (item.itemState & ODS_FOCUS) != 0 ? TRUE : FALSE;
    disabled_ = (item.itemState & ODS_DISABLED) != 0 ? TRUE : FALSE;
    const RECT area = item.rcItem;
    const int previousMode = SetBkMode(dc, TRANSPARENT);

    drawBackground(dc, area);
    drawBorder(dc, area);
    const std::wstring caption = ui::WindowText(hwnd());
    RECT captionArea = area;
    if (images_[0].bitmap != nullptr) {
        const COLORREF previousBack = SetBkColor(dc, RGB(255, 255, 255));
        drawImage(dc, area, !caption.empty(), captionArea);
        SetBkColor(dc, previousBack);
    }
    if (!caption.empty()) {
        drawCaption(dc, area, caption, captionArea);
    }
    // The system's focus rectangle, once the keyboard has moved the focus: a click gives the
    // focus without it, as the flat look wants.
    if (focused_ && focusCues_ && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        RECT focus = area;
        InflateRect(&focus, -borderWidth_, -borderWidth_);
        DrawFocusRect(dc, &focus);
    }
    SetBkMode(dc, previousMode);
}

void ImageButton::drawBackground(HDC dc, const RECT& area) {
    if (transparent_) {
        paintSnapshot(dc, area);
        return;
    }
    const COLORREF previous = SetBkColor(dc, backgroundColor_);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
    SetBkColor(dc, previous);
}

void ImageButton::drawBorder(HDC dc, const RECT& area) {
    if (!flat_ || !flatBorder_) {
        return;
    }
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF highlight = GetSysColor(COLOR_BTNHILIGHT);
    if (pressed_) {
        DrawFrame(dc, area, shadow, highlight, borderWidth_);
    } else if (hovered_) {
        DrawFrame(dc, area, highlight, shadow, borderWidth_);
    }
}

void ImageButton::drawImage(HDC dc, const RECT& area, bool hasCaption, RECT& caption) {
    const bool firstImage = checkBox_ ? pressed_ != FALSE : (pressed_ || hovered_);
    const ImageSlot& image = (firstImage || images_[1].bitmap == nullptr) ? images_[0] : images_[1];
    const LONG width = area.right - area.left;
    const LONG height = area.bottom - area.top;
    LONG left = area.left + (width - image.width) / 2;
    if (hasCaption) {
        left = area.left + imageMarginX_;
        caption.left += image.width + imageMarginX_;
    }
    LONG top = area.top + (height - image.height) / 2;
    if (pressed_ && !checkBox_) {
        left += pressedOffset_.x;
        top += pressedOffset_.y;
    }

    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ sourceReplaced = SelectObject(source, image.mask);
    const COLORREF previousText = SetTextColor(dc, RGB(0, 0, 0));
    if (!disabled_ || !embossDisabled_) {
        // Clear where the image has ink, then paint the ink in.
        BitBlt(dc, left, top, image.width, image.height, source, 0, 0, SRCAND);
        SelectObject(source, image.bitmap);
        BitBlt(dc, left, top, image.width, image.height, source, 0, 0, SRCPAINT);
    } else {
        // The image on white, handed to the system's disabled rendering.
        HBITMAP scratch = CreateCompatibleBitmap(dc, image.width, image.height);
        HDC scratchDc = CreateCompatibleDC(dc);
        HGDIOBJ scratchReplaced = SelectObject(scratchDc, scratch);
        PatBlt(scratchDc, 0, 0, image.width, image.height, WHITENESS);
        SetBkColor(scratchDc, RGB(255, 255, 255));
        SetTextColor(scratchDc, RGB(0, 0, 0));
        BitBlt(scratchDc, 0, 0, image.width, image.height, source, 0, 0, SRCAND);
        SelectObject(source, image.bitmap);
        BitBlt(scratchDc, 0, 0, image.width, image.height, source, 0, 0, SRCPAINT);
        SelectObject(scratchDc, scratchReplaced);
        DeleteDC(scratchDc);
        DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(scratch), 0, left, top,
                   image.width, image.height, DST_BITMAP | DSS_DISABLED);
        DeleteObject(scratch);
    }
    SetTextColor(dc, previousText);
    SelectObject(source, sourceReplaced);
    DeleteDC(source);
}

void ImageButton::drawCaption(HDC dc, const RECT&, const std::wstring& text, RECT& caption) {
    if (pressed_ && !checkBox_) {
        OffsetRect(&caption, pressedOffset_.x, pressedOffset_.y);
    }
    RECT centred = caption;
    DrawTextW(dc, text.c_str(), -1, &centred, DT_WORDBREAK | DT_CENTER | DT_CALCRECT);
    OffsetRect(&centred, (caption.right - centred.right + caption.left - centred.left) / 2,
               (caption.bottom - centred.bottom + caption.top - centred.top) / 2);
    const UINT format = DT_WORDBREAK | DT_CENTER;
    if (disabled_) {
        RECT raised = centred;
        OffsetRect(&raised, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
        DrawTextW(dc, text.c_str(), -1, &raised, format);
        SetTextColor(dc, GetSysColor(COLOR_3DSHADOW));
        DrawTextW(dc, text.c_str(), -1, &centred, format);
        return;
    }
    const ColorPair& colors = (hovered_ || pressed_) ? hotColors_
                              : focused_             ? focusedColors_
                                                     : normalColors_;
    SetTextColor(dc, colors.text);
    SetBkColor(dc, colors.background);
    DrawTextW(dc, text.c_str(), -1, &centred, format);
}

void ImageButton::paintSnapshot(HDC dc, const RECT& area) {
    const LONG width = area.right - area.left;
    const LONG height = area.bottom - area.top;
    if (snapshot_.dc == nullptr) {
        HWND parent = GetParent(hwnd());
        RECT place{};
        GetWindowRect(hwnd(), &place);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
        HDC parentDc = GetDC(parent);
        snapshot_.dc = CreateCompatibleDC(parentDc);
        snapshot_.bitmap = CreateCompatibleBitmap(parentDc, width, height);
        snapshot_.replaced = SelectObject(snapshot_.dc, snapshot_.bitmap);
        BitBlt(snapshot_.dc, 0, 0, width, height, parentDc, place.left, place.top, SRCCOPY);
        ReleaseDC(parent, parentDc);
    }
    BitBlt(dc, 0, 0, width, height, snapshot_.dc, 0, 0, SRCCOPY);
}

void ImageButton::dropSnapshot() {
    if (snapshot_.dc != nullptr) {
        SelectObject(snapshot_.dc, snapshot_.replaced);
        DeleteObject(snapshot_.bitmap);
        DeleteDC(snapshot_.dc);
    }
    snapshot_ = Snapshot{};
}

}  // namespace harmoload::controls
