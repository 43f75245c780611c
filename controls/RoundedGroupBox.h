#pragma once
// The two step frames of the dialog: a caption in blue over a pale shadow, and an anti-aliased
// frame with rounded corners whose top edge gives way to the caption. The control paints itself
// completely, over whatever lies behind it, with GDI+ (which the program has started). Its caption
// is its window text, so the language file's texts show.

#include <windows.h>

#include "ui/Control.h"
#include "ui/Dpi.h"

namespace harmoload::controls {

class RoundedGroupBox : public ui::Control {
  public:
    // Corner radius in pixels at 96 DPI, and the caption's distance from the left edge.
    void setRadius(int radius);
    int radius() const { return radius_; }
    // The radius, the frame's width and the caption shadow's offset at the DPI.
    void setDpi(UINT dpi);

  protected:
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    friend struct RoundedGroupBoxMessages;

    bool onPaint();
    void onPrintClient(HDC dc, LPARAM) { paint(dc); }
    void paint(HDC dc);

    UINT dpi_ = ui::kDefaultDpi;
    int radiusAt96_ = 20;
    // At the DPI.
    int radius_ = 20;
    int lineWidth_ = kLineWidth;
    int shadowOffset_ = kShadowOffset;
    COLORREF captionColor_ = RGB(0, 70, 213);
    COLORREF frameColor_ = RGB(208, 208, 191);
    COLORREF shadowColor_ = RGB(224, 232, 217);

    // At 96 DPI.
    static constexpr int kLineWidth = 2;
    static constexpr int kShadowOffset = 2;
};

}  // namespace harmoload::controls
