#include "app/AboutDialog.h"

#include "res/resource.h"
#include "ui/MessageTable.h"

namespace harmoload {

struct AboutDialogMessages {
    static constexpr ui::MessageEntry<AboutDialog> kTable[] = {
        ui::OnClicked<&AboutDialog::onClose>(IDOK),
        ui::OnClicked<&AboutDialog::onClose>(IDCANCEL),
    };
};

AboutDialog::AboutDialog() : ui::Dialog(IDD_ABOUTBOX) {}

bool AboutDialog::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return ui::DispatchMessageTo<AboutDialog>(AboutDialogMessages::kTable, *this, message, wParam,
                                              lParam, result);
}

}  // namespace harmoload
