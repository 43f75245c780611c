#pragma once
// GDI+ started for the life of the object: the drawn controls paint through it.

#include <windows.h>

namespace harmoload::ui {

class GdiplusSession {
  public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

    bool started() const { return token_ != 0; }

  private:
    ULONG_PTR token_ = 0;
};

}  // namespace harmoload::ui
