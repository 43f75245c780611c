#include "controls/ScaledPicture.h"

#include "ui/Dpi.h"

namespace harmoload::controls {
namespace {

HBITMAP LoadBitmapResource(int id) {
    // A DIB section, so that the pixels keep their colours whatever the screen's depth.
    return static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                           IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

// The bitmap resized by area averaging; the source stays the caller's.
HBITMAP Resized(HBITMAP source, int width, int height) {
    BITMAP size{};
    if (GetObjectW(source, sizeof size, &size) == 0) {
        return nullptr;
    }
    HDC screen = GetDC(nullptr);
    HBITMAP target = CreateCompatibleBitmap(screen, width, height);
    HDC from = CreateCompatibleDC(screen);
    HDC to = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    HGDIOBJ fromReplaced = SelectObject(from, source);
    HGDIOBJ toReplaced = SelectObject(to, target);
    SetStretchBltMode(to, HALFTONE);
    SetBrushOrgEx(to, 0, 0, nullptr);
    StretchBlt(to, 0, 0, width, height, from, 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
    SelectObject(to, toReplaced);
    SelectObject(from, fromReplaced);
    DeleteDC(to);
    DeleteDC(from);
    return target;
}

}  // namespace

HBITMAP LoadScaledPicture(const ScaledPictureIds& ids, UINT dpi) {
    struct Drawing {
        int id;
        UINT dpi;
    };
    const Drawing drawings[] = {{ids.at100, ui::kDefaultDpi},
                                {ids.at150, ui::kDefaultDpi * 3 / 2},
                                {ids.at200, ui::kDefaultDpi * 2}};
    const Drawing* chosen = &drawings[2];
    for (const Drawing& drawing : drawings) {
        if (drawing.dpi >= dpi) {
            chosen = &drawing;
            break;
        }
    }
    HBITMAP bitmap = LoadBitmapResource(chosen->id);
    if (bitmap == nullptr || chosen->dpi == dpi) {
        return bitmap;
    }
    BITMAP size{};
    GetObjectW(bitmap, sizeof size, &size);
    const int width = MulDiv(size.bmWidth, static_cast<int>(dpi), static_cast<int>(chosen->dpi));
    const int height = MulDiv(size.bmHeight, static_cast<int>(dpi), static_cast<int>(chosen->dpi));
    HBITMAP resized = Resized(bitmap, width > 0 ? width : 1, height > 0 ? height : 1);
    DeleteObject(bitmap);
    return resized;
}

}  // namespace harmoload::controls
