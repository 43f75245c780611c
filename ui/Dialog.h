#pragma once
// A dialog from a template in the program's resources, run modally in a message loop of its own
// so that the dialog sees every message before it is dispatched. A derived dialog lists its
// messages in a message table and binds members to controls in exchangeData.

#include <windows.h>

#include "ui/DataExchange.h"

namespace harmoload::ui {

class Dialog {
  public:
    explicit Dialog(int templateId) : templateId_(templateId) {}
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Creates the dialog, shows it and runs it until endDialog; the owner, if any, is disabled
    // meanwhile. Returns the result given to endDialog, or -1 when the dialog cannot be made.
    INT_PTR runModal(HWND owner);

    HWND hwnd() const { return hwnd_; }
    HWND item(int controlId) const { return GetDlgItem(hwnd_, controlId); }

  protected:
    // Ends the modal loop once the current message is handled; the window is then destroyed.
    void endDialog(INT_PTR result);

    // Members from controls, and controls from members (see exchangeData).
    void pullFromControls();
    void pushToControls();

    // Binds members and control objects to controls; runs in both directions.
    virtual void exchangeData(const DataExchange&) {}

    // The dialog's messages (its message table); false leaves a message to the default handling.
    virtual bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;

    // Sees every message of the thread before it is dispatched; true uses it up.
    virtual bool preTranslateMessage(const MSG&) { return false; }

    // Sends the message to every control of the dialog.
    void forwardToControls(UINT message, WPARAM wParam, LPARAM lParam);

  private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool reflectToControl(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    int templateId_;
    HWND hwnd_ = nullptr;
    bool ended_ = false;
    INT_PTR result_ = IDCANCEL;
};

}  // namespace harmoload::ui
