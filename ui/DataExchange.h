#pragma once
// Data exchange between a dialog's members and its controls: pulling copies what the controls
// show into the members, pushing copies the members into the controls. Controls bound to an
// object are attached to it on the first exchange.

#include <windows.h>

#include <string>

#include "ui/Control.h"

namespace harmoload::ui {

enum class Exchange { Pull, Push };

class DataExchange {
  public:
    DataExchange(HWND dialog, Exchange direction) : dialog_(dialog), direction_(direction) {}

    // The text of control id and a member.
    void text(int controlId, std::wstring& value) const;

    // The control id and the object that handles it.
    void control(int controlId, Control& control) const;

  private:
    HWND dialog_;
    Exchange direction_;
};

// The whole text of a window.
std::wstring WindowText(HWND window);

}  // namespace harmoload::ui
