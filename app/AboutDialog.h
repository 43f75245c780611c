#pragma once
// The About box: the program's name and version; it only closes.

#include "ui/Dialog.h"

namespace harmoload {

class AboutDialog : public ui::Dialog {
  public:
    AboutDialog();

  protected:
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    friend struct AboutDialogMessages;
    void onClose() { endDialog(IDOK); }
};

}  // namespace harmoload
