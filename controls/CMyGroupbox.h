#pragma once
// The two step frames of the dialog (group-box buttons). The frame keeps the look of a standard
// group box for now; its caption is its window text.

#include "ui/Control.h"

namespace harmoload {

class CMyGroupbox : public ui::Control {
  public:
    // Corner radius in pixels, and the caption's distance from the left and right edges.
    void setRadius(int radius) { radius_ = radius; }
    int radius() const { return radius_; }

  private:
    int radius_ = 20;
};

}  // namespace harmoload
