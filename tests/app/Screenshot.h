#pragma once
// Screenshots of the dialog kept as test artefacts (build/<preset>/artefacts). Needs a GDI+
// session.

#include <windows.h>
// After windows.h, which it needs.
#include <objidl.h>
// After objidl.h, which it needs.
#include <gdiplus.h>

#include <filesystem>

namespace harmoload::testing {

// The screen's pixels in the area, saved as a PNG; with the pointer drawn in where it is, as a
// person looking at the screen would see it.
inline bool SaveScreenshot(const RECT& area, const std::filesystem::path& file,
                           bool withPointer = false) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ replaced = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    CURSORINFO pointer{};
    pointer.cbSize = sizeof pointer;
    ICONINFO shape{};
    if (withPointer && GetCursorInfo(&pointer) && pointer.hCursor != nullptr &&
        GetIconInfo(pointer.hCursor, &shape)) {
        DrawIconEx(memory, pointer.ptScreenPos.x - area.left - static_cast<int>(shape.xHotspot),
                   pointer.ptScreenPos.y - area.top - static_cast<int>(shape.yHotspot),
                   pointer.hCursor, 0, 0, 0, nullptr, DI_NORMAL);
        DeleteObject(shape.hbmMask);
        if (shape.hbmColor != nullptr) {
            DeleteObject(shape.hbmColor);
        }
    }
    SelectObject(memory, replaced);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    // The PNG encoder of GDI+.
    const CLSID png = {
        0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    bool saved = false;
    {
        Gdiplus::Bitmap image(bitmap, nullptr);
        saved = image.Save(file.wstring().c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    DeleteObject(bitmap);
    return saved;
}

// The window's pixels as they are on the screen.
inline bool SaveScreenshot(HWND window, const std::filesystem::path& file,
                           bool withPointer = false) {
    RECT area{};
    GetWindowRect(window, &area);
    return SaveScreenshot(area, file, withPointer);
}

// The artefacts folder, made when missing.
inline std::filesystem::path ArtefactsFolder() {
    const std::filesystem::path artefacts = HARMOLOAD_ARTEFACTS_DIR;
    std::filesystem::create_directories(artefacts);
    return artefacts;
}

}  // namespace harmoload::testing
