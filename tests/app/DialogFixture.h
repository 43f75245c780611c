#pragma once
// What the dialog tests set up: a program folder of their own with language files whose texts
// name their keys, update packages built from small files, and the pixels of bitmaps.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/UpdateDialog.h"
#include "package/PackageBuilder.h"
#include "platform/testing/RecordingNotifier.h"
#include "tests/support/TempFolder.h"

namespace harmoload::testing {

// A language file whose dialog texts read "<tag> <key>" and whose other texts are
// KeyNamingTexts().
inline void WriteLanguageFile(const TempFolder& folder, const std::string& name,
                              const std::string& tag) {
    std::filesystem::create_directories(TempFolder::AsPath(folder.path("Language")));
    std::string text = "\xEF\xBB\xBF[StringTable]\n";
    for (const char* key : {"IDS_STRING_CAPTION", "IDC_STC_GROUP1", "IDC_STC_GROUP2",
                            "IDC_STC_PRO_MODEL", "IDC_STC_VERSTION"}) {
        text += std::string(key) + "=" + tag + " " + key + "\n";
    }
    text += KeyNamingTexts();
    folder.writeText("Language\\" + name, text);
}

// A valid one-pair package in the folder.
inline std::string WritePackage(const TempFolder& folder, const std::string& name,
                                const std::vector<std::string>& holdKeys,
                                const std::string& model = "HM-900",
                                const std::string& version = "2.10") {
    const std::string config = folder.writeText(name + ".config", "[Chip Info]\nName=HM\n");
    const std::string data = folder.write(name + ".data", {1, 2, 3, 4, 5, 6, 7, 8});
    PackageContents contents{model, version, holdKeys, {{"R1", config, data}}};
    RecordingNotifier notifier;
    const std::string path = folder.path(name);
    EXPECT_TRUE(BuildPackage(contents, path, notifier));
    return path;
}

// Options for a dialog whose program folder is the test's folder.
inline UpdateDialogOptions OptionsIn(const TempFolder& folder, uint16_t languageId = 0x0409) {
    UpdateDialogOptions options;
    options.languageId = languageId;
    options.programDirectory = folder.folder();
    return options;
}

// The pixels of a bitmap, 32 bits each, top row first.
inline std::vector<uint32_t> Pixels(HBITMAP bitmap) {
    BITMAP size{};
    if (bitmap == nullptr || GetObjectW(bitmap, sizeof size, &size) == 0) {
        return {};
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.bmWidth;
    info.bmiHeader.biHeight = -size.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels(static_cast<size_t>(size.bmWidth) * size.bmHeight);
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(size.bmHeight), pixels.data(),
                               &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return rows == size.bmHeight ? pixels : std::vector<uint32_t>{};
}

// The pixels of the program's bitmap resource as an image button keeps it: its white, the
// colour the buttons leave out, made black.
inline std::vector<uint32_t> ResourcePixels(int bitmapId) {
    auto* bitmap = static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, 0));
    std::vector<uint32_t> pixels = Pixels(bitmap);
    DeleteObject(bitmap);
    for (uint32_t& pixel : pixels) {
        if ((pixel & 0xFFFFFF) == 0xFFFFFF) {
            pixel &= 0xFF000000;
        }
    }
    return pixels;
}

// The pixels that draw paints into a memory context of the size.
inline std::vector<uint32_t> PixelsDrawn(SIZE size, const std::function<void(HDC)>& draw) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size.cx, size.cy);
    ReleaseDC(nullptr, screen);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ replaced = SelectObject(dc, bitmap);
    draw(dc);
    SelectObject(dc, replaced);
    DeleteDC(dc);
    std::vector<uint32_t> pixels = Pixels(bitmap);
    DeleteObject(bitmap);
    return pixels;
}

// The pixels of a control as it draws itself into a memory context (WM_PRINTCLIENT).
inline std::vector<uint32_t> PrintedPixels(HWND control) {
    RECT client{};
    GetClientRect(control, &client);
    return PixelsDrawn({client.right, client.bottom}, [control](HDC dc) {
        SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    });
}

// The screen's pixels where the window lies: what a person sees of it (the pointer left out).
inline std::vector<uint32_t> ScreenPixels(HWND window) {
    RECT area{};
    GetWindowRect(window, &area);
    const SIZE size{area.right - area.left, area.bottom - area.top};
    return PixelsDrawn(size, [&](HDC dc) {
        HDC screen = GetDC(nullptr);
        BitBlt(dc, 0, 0, size.cx, size.cy, screen, area.left, area.top, SRCCOPY);
        ReleaseDC(nullptr, screen);
    });
}

// The pixels of the picture a button shows.
inline std::vector<uint32_t> ButtonPixels(HWND button) {
    return Pixels(reinterpret_cast<HBITMAP>(SendMessageW(button, BM_GETIMAGE, IMAGE_BITMAP, 0)));
}

}  // namespace harmoload::testing
