#pragma once
// The package path box: an edit control with a one-pixel steel-blue frame of its own, that selects
// its whole text when it gains the focus, and whose numeric text the user can change by dragging
// the mouse up or down with the left button held: the pointer hides and returns to where the drag
// began after every step. A path is not numeric text, so the path box behaves as a plain edit
// control for it. A screen reader learns its name (which the box does not show), its role (text)
// and its text as its value.

#include <windows.h>

#include <memory>
#include <string>

#include "controls/AccessibleControl.h"
#include "ui/Control.h"

namespace harmoload::controls {

class DragValueEdit : public ui::Control {
  public:
    // The frame's colour.
    static constexpr COLORREF kFrameColor = RGB(123, 158, 189);
    // Pixels of pointer travel per step of the value, at 96 DPI.
    static constexpr int kPixelsPerStep = 8;

    bool dragging() const { return dragging_ != FALSE; }

    // The drag step and the frame's width at the DPI; the frame is one pixel wide at 96 DPI.
    void setDpi(UINT dpi);
    // The name a screen reader announces for the box.
    void setAccessibleName(std::wstring name) {
        if (accessible_ != nullptr) {
            accessible_->setName(std::move(name));
        }
    }
    // The object that answers WM_GETOBJECT for the box's client area, or null before attach.
    AccessibleControl* accessible() const { return accessible_.get(); }

  protected:
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void onAttached() override;

  private:
    friend struct DragValueEditMessages;

    void onLButtonDown(UINT flags, POINT point);
    void onMouseMove(UINT flags, POINT point);
    void onLButtonUp(UINT flags, POINT point);
    bool onSetCursor();
    void onSetFocus() { selectAll(); }
    void onNcPaint();
    void onPrint(HDC dc, LPARAM flags);
    void onNcCalcSize(RECT& client);
    LRESULT onGetObject(WPARAM flags, LONG objectId) {
        return accessible_ != nullptr ? accessible_->answerGetObject(flags, objectId) : 0;
    }

    bool hasNumericText() const;
    void selectAll();
    void returnPointer();
    void drawFrame(HDC dc);

    POINT dragAnchor_{0, 0};
    BOOL dragging_ = FALSE;
    int pixelsPerStep_ = kPixelsPerStep;
    int frameWidth_ = 1;
    std::unique_ptr<AccessibleControl, AccessibleControl::Disconnect> accessible_;
};

}  // namespace harmoload::controls
