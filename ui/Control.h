#pragma once
// A dialog's control taken over by a class of the program (subclassing): the class sees the
// control's messages first and passes on what it does not handle. The dialog hands back to it
// the messages that concern it (WM_DRAWITEM, WM_CTLCOLORBTN, its WM_COMMAND notifications), so a
// drawn control draws itself.

#include <windows.h>

namespace harmoload::ui {

class Control {
  public:
    Control() = default;
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // Takes over the control; false when there is no such window or it is taken already.
    bool attach(HWND control);
    void detach();
    HWND hwnd() const { return hwnd_; }

    // The attached object of a control, or null.
    static Control* FromHandle(HWND control);

    // A message about this control that its parent reflected back to it; false when unhandled.
    virtual bool handleReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // The handling the control's own class gives a message; for handlers that add to it.
    LRESULT defaultHandling(UINT message, WPARAM wParam, LPARAM lParam);

  protected:
    // Runs once the control is taken over.
    virtual void onAttached() {}
    // The control's own messages; false passes the message on to the control's class.
    virtual bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  private:
    static LRESULT CALLBACK Procedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR subclassId, DWORD_PTR self);

    HWND hwnd_ = nullptr;
};

}  // namespace harmoload::ui
