#include "ui/GdiplusSession.h"

// gdiplus.h needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out of windows.h.
#include <objidl.h>
// After objidl.h.
#include <gdiplus.h>

namespace harmoload::ui {

GdiplusSession::GdiplusSession() {
    // Version 1, no debug callback, GDI+ runs its own background thread and loads its codecs.
    Gdiplus::GdiplusStartupInput input;
    input.GdiplusVersion = 1;
    input.DebugEventCallback = nullptr;
    input.SuppressBackgroundThread = FALSE;
    input.SuppressExternalCodecs = FALSE;
    if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) {
        token_ = 0;
    }
}

GdiplusSession::~GdiplusSession() {
    if (token_ != 0) {
        Gdiplus::GdiplusShutdown(token_);
    }
}

}  // namespace harmoload::ui
