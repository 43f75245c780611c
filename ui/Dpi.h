#pragma once
// Dots per inch: what the program asks of the system so that it draws sharp on scaled screens,
// and the scaling of lengths given at 96 DPI (100 %). The functions newer systems bring are looked
// up at run time; on a system without them the program runs as it did before they existed.

#include <windows.h>

namespace harmoload::ui {

// The DPI at which lengths in pixels are given: 100 %.
constexpr UINT kDefaultDpi = 96;

// A length given at 96 DPI, at the DPI (rounded to the nearest pixel); never less than 1 pixel
// for a positive length.
int ScaleToDpi(int length, UINT dpi);

// Per-monitor awareness (version 2 where the system has it, else the older per-monitor or
// system-wide awareness): the system leaves the drawing to the program and tells each window
// when it moves to a monitor of another scale (WM_DPICHANGED). A manifest that already says so
// wins; this is the fallback for systems that read no dpiAwareness from it.
void BecomePerMonitorDpiAware();

// The DPI the window is drawn at: its monitor's with per-monitor awareness, else the system's.
UINT WindowDpi(HWND window);

// Leaves a dialog's re-layout on WM_DPICHANGED to the dialog itself: the system would otherwise
// also resize its controls and their fonts.
void TakeOverDialogDpiChanges(HWND dialog);

}  // namespace harmoload::ui
