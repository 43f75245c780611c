#pragma once
// Message tables: each window class lists the messages it handles, each with a typed member
// handler. A message that no entry takes, or whose handler declines it, gets the default handling.

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <span>

namespace harmoload::ui {

template <class Window>
struct MessageEntry {
    UINT message;
    // WM_COMMAND entries: the control id whose click is meant; 0 for other messages.
    UINT commandId;
    // True when handled, with the message's result; false leaves it to the default handling.
    bool (*handle)(Window& window, WPARAM wParam, LPARAM lParam, LRESULT& result);
};

// Runs the first matching entry of the table.
template <class Window>
bool DispatchMessageTo(std::span<const MessageEntry<Window>> table, Window& window, UINT message,
                       WPARAM wParam, LPARAM lParam, LRESULT& result) {
    for (const MessageEntry<Window>& entry : table) {
        if (entry.message != message) {
            continue;
        }
        if (message == WM_COMMAND &&
            (LOWORD(wParam) != entry.commandId || HIWORD(wParam) != BN_CLICKED)) {
            continue;
        }
        return entry.handle(window, wParam, lParam, result);
    }
    return false;
}

namespace detail {

template <class Method>
struct MethodOf;
template <class Window, class Result, class... Arguments>
struct MethodOf<Result (Window::*)(Arguments...)> {
    using Class = Window;
};
template <auto Method>
using WindowOf = typename MethodOf<decltype(Method)>::Class;

}  // namespace detail

// The typed handlers ("crackers"): each entry unpacks wParam and lParam for its message.

// void onInitDialog(): runs after the controls are attached and filled; focus goes to the
// first control.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnInitDialog() {
    return {WM_INITDIALOG, 0,
            [](detail::WindowOf<Method>& window, WPARAM, LPARAM, LRESULT& result) {
                (window.*Method)();
                result = TRUE;
                return true;
            }};
}

// void onClicked(): a click of the button with this id.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnClicked(UINT controlId) {
    return {WM_COMMAND, controlId,
            [](detail::WindowOf<Method>& window, WPARAM, LPARAM, LRESULT& result) {
                (window.*Method)();
                result = 0;
                return true;
            }};
}

// bool onSysCommand(UINT command): false leaves the command to the system.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnSysCommand() {
    return {WM_SYSCOMMAND, 0,
            [](detail::WindowOf<Method>& window, WPARAM wParam, LPARAM, LRESULT& result) {
                result = 0;
                return (window.*Method)(static_cast<UINT>(wParam));
            }};
}

// bool onPaint(): false leaves the painting to the default handling.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnPaint() {
    return {WM_PAINT, 0, [](detail::WindowOf<Method>& window, WPARAM, LPARAM, LRESULT& result) {
                result = 0;
                return (window.*Method)();
            }};
}

// HICON onQueryDragIcon(): the picture shown while the minimised window is dragged.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnQueryDragIcon() {
    return {WM_QUERYDRAGICON, 0,
            [](detail::WindowOf<Method>& window, WPARAM, LPARAM, LRESULT& result) {
                result = reinterpret_cast<LRESULT>((window.*Method)());
                return true;
            }};
}

// void onDropFiles(HDROP drop): the handler owns the drop and must finish it.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnDropFiles() {
    return {WM_DROPFILES, 0,
            [](detail::WindowOf<Method>& window, WPARAM wParam, LPARAM, LRESULT& result) {
                (window.*Method)(reinterpret_cast<HDROP>(wParam));
                result = 0;
                return true;
            }};
}

// void onClose()
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnClose() {
    return {WM_CLOSE, 0, [](detail::WindowOf<Method>& window, WPARAM, LPARAM, LRESULT& result) {
                (window.*Method)();
                result = 0;
                return true;
            }};
}

// void onDrawItem(const DRAWITEMSTRUCT& item): an owner-drawn control draws itself.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnDrawItem() {
    return {WM_DRAWITEM, 0,
            [](detail::WindowOf<Method>& window, WPARAM, LPARAM lParam, LRESULT& result) {
                (window.*Method)(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
                result = TRUE;
                return true;
            }};
}

// bool onSetCursor(): false leaves the cursor to the default handling.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnSetCursor() {
    return {WM_SETCURSOR, 0, [](detail::WindowOf<Method>& window, WPARAM, LPARAM, LRESULT& result) {
                result = TRUE;
                return (window.*Method)();
            }};
}

// bool onQueryEndSession(): true lets the session end, false refuses it.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnQueryEndSession() {
    return {WM_QUERYENDSESSION, 0,
            [](detail::WindowOf<Method>& window, WPARAM, LPARAM, LRESULT& result) {
                result = (window.*Method)() ? TRUE : FALSE;
                return true;
            }};
}

// void onMessage(): a message of the program's own, without parameters.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnMessage(UINT message) {
    return {message, 0, [](detail::WindowOf<Method>& window, WPARAM, LPARAM, LRESULT& result) {
                (window.*Method)();
                result = 0;
                return true;
            }};
}

}  // namespace harmoload::ui
