#include "app/Application.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "app/UpdateDialog.h"
#include "ui/GdiplusSession.h"

namespace harmoload {

int Application::run(std::vector<std::string> startupItems) {
    // The standard and common control classes of the dialog template (the progress bar).
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    const ui::GdiplusSession gdiplus;
    UpdateDialogOptions options = SystemUpdateDialogOptions();
    options.startupItems = std::move(startupItems);
    UpdateDialog dialog(std::move(options));
    // The dialog is the whole program: when it closes, the program ends.
    return dialog.runModal(nullptr) == -1 ? 1 : 0;
}

}  // namespace harmoload
