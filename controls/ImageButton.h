#pragma once
// The Browse and Update buttons: owner-drawn push buttons that show a bitmap, centred, with one
// colour of it left out so that the dialog shows through, and a cursor of their own while the
// pointer is over them. A click reaches the dialog as an ordinary button click.

#include <windows.h>

#include "ui/Control.h"
#include "ui/MessageTable.h"

namespace harmoload {

class ImageButton : public ui::Control {
  public:
    ImageButton() = default;
    ~ImageButton() override;

    // Shows the program's bitmap resource bitmapId, leaving out the pixels of transparentColor.
    // An id without a bitmap leaves the button without an image. Returns 0.
    int setBitmapResources(int bitmapId, COLORREF transparentColor);

    // The cursor resource shown over the button (0: the default pointer); 1 when it cannot be
    // loaded.
    int setHoverCursor(int cursorId, bool repaint);

    bool handleReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  protected:
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    friend struct ImageButtonMessages;

    void onDrawItem(const DRAWITEMSTRUCT& item);
    bool onSetCursor();
    // BM_GETIMAGE: the bitmap shown.
    LRESULT onGetImage(WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(bitmap_); }
    void freeBitmap();

    HBITMAP bitmap_ = nullptr;
    COLORREF transparentColor_ = RGB(255, 255, 255);
    HCURSOR hoverCursor_ = nullptr;
};

}  // namespace harmoload
