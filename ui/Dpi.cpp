#include "ui/Dpi.h"

namespace harmoload::ui {
namespace {

// A function of user32 that the running system may lack, or null.
template <class Function>
Function User32Function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 == nullptr
               ? nullptr
               : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 and _PER_MONITOR_AWARE, as user32 defines them.
const HANDLE kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(-4);
const HANDLE kPerMonitorAware = reinterpret_cast<HANDLE>(-3);
// DDC_DISABLE_ALL: no automatic re-layout of a dialog on a DPI change.
constexpr int kDialogDpiChangesDisabled = 1;

}  // namespace

int ScaleToDpi(int length, UINT dpi) {
    const int scaled = MulDiv(length, static_cast<int>(dpi), static_cast<int>(kDefaultDpi));
    return length > 0 && scaled < 1 ? 1 : scaled;
}

void BecomePerMonitorDpiAware() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    if (const auto setContext = User32Function<SetContext>("SetProcessDpiAwarenessContext")) {
        if (setContext(kPerMonitorAwareV2) || setContext(kPerMonitorAware)) {
            return;
        }
        // Refused also when the manifest has set the awareness already.
        if (GetLastError() == ERROR_ACCESS_DENIED) {
            return;
        }
    }
    using SetAware = BOOL(WINAPI*)();
    if (const auto setAware = User32Function<SetAware>("SetProcessDPIAware")) {
        setAware();
    }
}

UINT WindowDpi(HWND window) {
    using GetDpi = UINT(WINAPI*)(HWND);
    if (const auto getDpi = User32Function<GetDpi>("GetDpiForWindow")) {
        if (const UINT dpi = getDpi(window); dpi != 0) {
            return dpi;
        }
    }
    HDC dc = GetDC(window);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(window, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

void TakeOverDialogDpiChanges(HWND dialog) {
    using SetBehavior = BOOL(WINAPI*)(HWND, int, int);
    if (const auto setBehavior = User32Function<SetBehavior>("SetDialogDpiChangeBehavior")) {
        setBehavior(dialog, kDialogDpiChangesDisabled, kDialogDpiChangesDisabled);
    }
}

}  // namespace harmoload::ui
