#pragma once
// The Browse and Update buttons: flat, owner-drawn push buttons that show a bitmap whose
// transparent colour lets a copy of the dialog's background show through. The bitmap moves one
// pixel down and to the right while the button is held, a disabled button shows it embossed, a
// cursor of the button's own shows while the pointer is over it, and the button follows the
// pointer entering and leaving it. A click reaches the dialog as an ordinary button click; a
// double click counts as two. Reached by the keyboard, it shows the system's focus rectangle and
// Space presses it; a screen reader learns its name, its role (push button) and its state.

#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "controls/AccessibleControl.h"
#include "ui/Control.h"
#include "ui/MessageTable.h"

namespace harmoload::controls {

class ImageButton : public ui::Control {
  public:
    ImageButton();
    ~ImageButton() override;

    // Results of the set-up operations.
    static constexpr int kDone = 0;
    static constexpr int kNoImageSize = 1;
    static constexpr int kNoMask = 2;
    static constexpr int kNoCursor = 1;

    // Shows the program's bitmap resources: the first, and the second when its id is not 0; the
    // pixels of each one's transparent colour let the background through. An id without a
    // bitmap gives no image.
    int setBitmapResources(int firstId, COLORREF firstTransparent, int secondId = 0,
                           COLORREF secondTransparent = 0);
    // The same with bitmaps the button takes over. The first image shows while the button is
    // hovered or pressed, the second (if any) otherwise.
    int setBitmaps(HBITMAP first, COLORREF firstTransparent, HBITMAP second = nullptr,
                   COLORREF secondTransparent = 0);
    // Paints a copy of the parent's pixels behind the image instead of a fill; the copy is taken
    // anew at the next paint.
    void setTransparent(bool repaint = true);
    // Whether the button shows a thin frame while hovered or pressed.
    void setFlatBorder(bool on, bool repaint = true);
    // The cursor resource shown over the button (0: the default pointer).
    int setHoverCursor(int cursorId, bool repaint = true);
    // The caption's colours, all of them the system's button face and button text.
    void setDefaultColors(bool repaint = true);

    bool hovered() const { return hovered_ != FALSE; }

    // The lengths of its look at the DPI: the pressed picture's shift, the caption's gap and the
    // hover frame's width, given at 96 DPI.
    void setDpi(UINT dpi);
    // The name a screen reader announces: the picture's words, since the button shows no text.
    void setAccessibleName(std::wstring name) {
        if (accessible_ != nullptr) {
            accessible_->setName(std::move(name));
        }
    }
    // The object that answers WM_GETOBJECT for the button's client area, or null before attach;
    // the button keeps it.
    AccessibleControl* accessible() const { return accessible_.get(); }

    bool handleReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  protected:
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void onAttached() override;

    // The drawing steps of one paint, in this order. R is the button's rectangle, caption the
    // caption's rectangle, which the image narrows when there is a caption.
    virtual void drawBackground(HDC dc, const RECT& area);
    virtual void drawBorder(HDC dc, const RECT& area);
    virtual void drawImage(HDC dc, const RECT& area, bool hasCaption, RECT& caption);
    virtual void drawCaption(HDC dc, const RECT& area, const std::wstring& text, RECT& caption);

  private:
    friend struct ImageButtonMessages;

    // One image: the bitmap with its transparent pixels made black, and the mask that is set
    // where they were.
    struct ImageSlot {
        HBITMAP bitmap = nullptr;
        LONG width = 0;
        LONG height = 0;
        HBITMAP mask = nullptr;
        COLORREF transparent = 0;
    };
    // The parent's pixels behind the button, kept between paints.
    struct Snapshot {
        HDC dc = nullptr;
        HBITMAP bitmap = nullptr;
        HGDIOBJ replaced = nullptr;
    };
    struct ColorPair {
        COLORREF background;
        COLORREF text;
    };

    void onDrawItem(const DRAWITEMSTRUCT& item);
    LRESULT onGetDlgCode(LRESULT defaultCode);
    void onSetStyle(UINT style, bool redraw);
    void onSetCheck(WPARAM state);
    LRESULT onGetCheck() { return checkState_ ? BST_CHECKED : BST_UNCHECKED; }
    void onMouseMove(UINT flags, POINT point);
    void onDoubleClick(UINT flags, POINT point);
    void onActivate(bool active);
    void onEnable(bool enabled);
    bool onSetCursor();
    void onSysColorChange();
    LRESULT onGetObject(WPARAM flags, LONG objectId) {
        return accessible_ != nullptr ? accessible_->answerGetObject(flags, objectId) : 0;
    }
    void onUpdateUiState(WORD action, WORD state);
    HBRUSH onCtlColor(HDC) { return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)); }
    void onReflectedClick();
    // BM_GETIMAGE: the first image's bitmap, as the button keeps it, whatever the type asked.
    HANDLE onGetImage(UINT) { return images_[0].bitmap; }

    void cancelHover();
    void repaint(bool erase);
    int takeImage(ImageSlot& slot, HBITMAP bitmap, COLORREF transparent);
    void freeImages();
    void dropSnapshot();
    void paintSnapshot(HDC dc, const RECT& area);

    // Fields as the button's users know them; the flags are Win32 BOOLs.
    BOOL embossDisabled_ = TRUE;
    int imageMarginX_ = kImageMarginX;
    POINT pressedOffset_{kPressedOffset, kPressedOffset};
    int borderWidth_ = 1;
    COLORREF backgroundColor_;
    // The program never changes it.
    BOOL flat_ = TRUE;
    BOOL hovered_ = FALSE;
    BOOL transparent_ = FALSE;
    // The state of the paint under way.
    BOOL pressed_ = FALSE;
    BOOL focused_ = FALSE;
    BOOL disabled_ = FALSE;
    BOOL isDefault_ = FALSE;
    BOOL checkBox_ = FALSE;
    BOOL flatBorder_ = TRUE;
    ColorPair hotColors_{};
    ColorPair normalColors_{};
    ColorPair focusedColors_{};
    HCURSOR hoverCursor_ = nullptr;
    Snapshot snapshot_;
    BOOL checkState_ = FALSE;
    std::array<ImageSlot, 2> images_{};
    // The focus rectangle shows once the keyboard has moved the focus (WM_UPDATEUISTATE); a
    // click alone keeps the flat look.
    bool focusCues_ = false;
    std::unique_ptr<AccessibleControl, AccessibleControl::Disconnect> accessible_;

    // The lengths at 96 DPI.
    static constexpr int kImageMarginX = 3;
    static constexpr int kPressedOffset = 1;
};

}  // namespace harmoload::controls
