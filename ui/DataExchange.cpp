#include "ui/DataExchange.h"

namespace harmoload::ui {

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

void DataExchange::text(int controlId, std::wstring& value) const {
    HWND control = GetDlgItem(dialog_, controlId);
    if (control == nullptr) {
        return;
    }
    if (direction_ == Exchange::Pull) {
        value = WindowText(control);
    } else {
        SetWindowTextW(control, value.c_str());
    }
}

void DataExchange::control(int controlId, Control& control) const {
    if (control.hwnd() == nullptr) {
        control.attach(GetDlgItem(dialog_, controlId));
    }
}

}  // namespace harmoload::ui
