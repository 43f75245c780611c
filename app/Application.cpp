#include "app/Application.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#include <objbase.h>

#include "app/UpdateDialog.h"
#include "ui/Dpi.h"
#include "ui/GdiplusSession.h"

namespace harmoload {

int Application::run(std::vector<std::string> startupItems) {
    // Sharp on every monitor's scale; before the first window.
    ui::BecomePerMonitorDpiAware();
    // The buttons' accessible objects reach screen readers through COM.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // The standard and common control classes of the dialog template (the progress bar).
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    int exitCode = 0;
    {
        const ui::GdiplusSession gdiplus;
        UpdateDialogOptions options = SystemUpdateDialogOptions();
        options.startupItems = std::move(startupItems);
        UpdateDialog dialog(std::move(options));
        // The dialog is the whole program: when it closes, the program ends.
        exitCode = dialog.runModal(nullptr) == -1 ? 1 : 0;
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return exitCode;
}

}  // namespace harmoload
