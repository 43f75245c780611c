#include "ui/Dialog.h"

namespace harmoload::ui {
namespace {

// Messages whose result a dialog procedure returns itself instead of through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    return (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) ||
           message == WM_COMPAREITEM || message == WM_VKEYTOITEM || message == WM_CHARTOITEM ||
           message == WM_QUERYDRAGICON || message == WM_INITDIALOG;
}

}  // namespace

INT_PTR Dialog::runModal(HWND owner) {
    ended_ = false;
    result_ = IDCANCEL;
    HWND window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_),
                                     owner, &Procedure, reinterpret_cast<LPARAM>(this));
    if (window == nullptr) {
        return -1;
    }
    const bool disableOwner = owner != nullptr && IsWindowEnabled(owner);
    if (disableOwner) {
        EnableWindow(owner, FALSE);
    }
    if (!ended_) {
        ShowWindow(window, SW_SHOW);
    }
    MSG message{};
    while (!ended_) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) {
                // Leave the quit request to whoever runs the next loop.
                PostQuitMessage(static_cast<int>(message.wParam));
            }
            break;
        }
        if (preTranslateMessage(message) || IsDialogMessageW(window, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // The owner takes the activation back before this window goes.
    if (disableOwner) {
        EnableWindow(owner, TRUE);
    }
    DestroyWindow(window);
    return result_;
}

void Dialog::endDialog(INT_PTR result) {
    result_ = result;
    ended_ = true;
    // Wakes the loop should it be waiting.
    PostMessageW(hwnd_, WM_NULL, 0, 0);
}

void Dialog::pullFromControls() {
    exchangeData(DataExchange(hwnd_, Exchange::Pull));
}

void Dialog::pushToControls() {
    exchangeData(DataExchange(hwnd_, Exchange::Push));
}

bool Dialog::reflectToControl(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    HWND control = nullptr;
    if (message == WM_DRAWITEM) {
        control = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
    } else if (message == WM_CTLCOLORBTN || message == WM_COMMAND) {
        control = reinterpret_cast<HWND>(lParam);
    }
    Control* owner = Control::FromHandle(control);
    return owner != nullptr && owner->handleReflected(message, wParam, lParam, result);
}

void Dialog::forwardToControls(UINT message, WPARAM wParam, LPARAM lParam) {
    for (HWND child = GetWindow(hwnd_, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        SendMessageW(child, message, wParam, lParam);
    }
}

INT_PTR CALLBACK Dialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = window;
        // Attach the bound controls and show the members before the dialog's own start-up.
        self->pushToControls();
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    if (self == nullptr) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        self->hwnd_ = nullptr;
        return FALSE;
    }
    if (message == WM_SYSCOLORCHANGE) {
        // The system tells top-level windows only; the drawn controls pick their colours anew.
        self->forwardToControls(message, wParam, lParam);
    }
    LRESULT result = 0;
    const bool handled = self->reflectToControl(message, wParam, lParam, result) ||
                         self->handleMessage(message, wParam, lParam, result);
    if (!handled) {
        // Focus on the first control unless the dialog's start-up said otherwise.
        return message == WM_INITDIALOG ? TRUE : FALSE;
    }
    if (ReturnsResultDirectly(message) || message == WM_DRAWITEM) {
        return static_cast<INT_PTR>(result);
    }
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace harmoload::ui
