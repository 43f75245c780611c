#include "ui/Control.h"

#include <commctrl.h>

namespace harmoload::ui {
namespace {

// One subclass per control belongs to the program; this is its id.
constexpr UINT_PTR kSubclassId = 0x484C;
// The window property through which a control's object is found.
constexpr const wchar_t* kObjectProperty = L"Harmoload.Control";

}  // namespace

Control::~Control() {
    detach();
}

bool Control::attach(HWND control) {
    if (hwnd_ != nullptr || control == nullptr || FromHandle(control) != nullptr) {
        return false;
    }
    if (!SetWindowSubclass(control, &Procedure, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        return false;
    }
    SetPropW(control, kObjectProperty, this);
    hwnd_ = control;
    onAttached();
    return true;
}

void Control::detach() {
    if (hwnd_ != nullptr) {
        RemovePropW(hwnd_, kObjectProperty);
        RemoveWindowSubclass(hwnd_, &Procedure, kSubclassId);
        hwnd_ = nullptr;
    }
}

Control* Control::FromHandle(HWND control) {
    return control == nullptr ? nullptr : static_cast<Control*>(GetPropW(control, kObjectProperty));
}

bool Control::handleReflected(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

bool Control::handleMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

LRESULT Control::defaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefSubclassProc(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Control::Procedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR, DWORD_PTR self) {
    auto* owner = reinterpret_cast<Control*>(self);
    if (message == WM_NCDESTROY) {
        owner->detach();
        return DefSubclassProc(control, message, wParam, lParam);
    }
    LRESULT result = 0;
    if (owner->handleMessage(message, wParam, lParam, result)) {
        return result;
    }
    return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace harmoload::ui
