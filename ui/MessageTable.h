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
    // WM_COMMAND entries: the control id whose click is meant, or 0 for a control's own click
    // reflected back to it; 0 for other messages.
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
        if (message == WM_COMMAND && ((entry.commandId != 0 && LOWORD(wParam) != entry.commandId) ||
                                      HIWORD(wParam) != BN_CLICKED)) {
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

// The crackers of the drawn controls. Those that run "after the default" let the control's own
// class handle the message first and keep its result; the window offers defaultHandling
// (ui::Control).

// void onMouse(UINT flags, POINT point): a mouse message with its point in client coordinates
// (WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP). The handler runs the default handling itself
// where it wants it.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnMouse(UINT message) {
    return {message, 0,
            [](detail::WindowOf<Method>& window, WPARAM wParam, LPARAM lParam, LRESULT& result) {
                const POINT point{static_cast<short>(LOWORD(lParam)),
                                  static_cast<short>(HIWORD(lParam))};
                (window.*Method)(static_cast<UINT>(wParam), point);
                result = 0;
                return true;
            }};
}

// void onMessage(): after the default (WM_KILLFOCUS, WM_CANCELMODE, WM_SETFOCUS,
// WM_SYSCOLORCHANGE).
template <auto Method, UINT Message>
constexpr MessageEntry<detail::WindowOf<Method>> AfterDefault() {
    return {Message, 0,
            [](detail::WindowOf<Method>& window, WPARAM wParam, LPARAM lParam, LRESULT& result) {
                result = window.defaultHandling(Message, wParam, lParam);
                (window.*Method)();
                return true;
            }};
}

// void onActivate(bool active): WM_ACTIVATE, after the default.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnActivate() {
    return {WM_ACTIVATE, 0,
            [](detail::WindowOf<Method>& window, WPARAM wParam, LPARAM lParam, LRESULT& result) {
                result = window.defaultHandling(WM_ACTIVATE, wParam, lParam);
                (window.*Method)(LOWORD(wParam) != WA_INACTIVE);
                return true;
            }};
}

// void onEnable(bool enabled): WM_ENABLE, after the default.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnEnable() {
    return {WM_ENABLE, 0,
            [](detail::WindowOf<Method>& window, WPARAM wParam, LPARAM lParam, LRESULT& result) {
                result = window.defaultHandling(WM_ENABLE, wParam, lParam);
                (window.*Method)(wParam != FALSE);
                return true;
            }};
}

// LRESULT onGetDlgCode(LRESULT defaultCode): the keys and roles a control claims in a dialog.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnGetDlgCode() {
    return {WM_GETDLGCODE, 0,
            [](detail::WindowOf<Method>& window, WPARAM wParam, LPARAM lParam, LRESULT& result) {
                result = (window.*Method)(window.defaultHandling(WM_GETDLGCODE, wParam, lParam));
                return true;
            }};
}

// void onSetStyle(UINT style, bool redraw): BM_SETSTYLE; the handler passes the style on.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnSetButtonStyle() {
    return {BM_SETSTYLE, 0,
            [](detail::WindowOf<Method>& window, WPARAM wParam, LPARAM lParam, LRESULT& result) {
                (window.*Method)(static_cast<UINT>(wParam), lParam != 0);
                result = 0;
                return true;
            }};
}

// void onSetCheck(WPARAM state): BM_SETCHECK.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnSetCheck() {
    return {BM_SETCHECK, 0,
            [](detail::WindowOf<Method>& window, WPARAM wParam, LPARAM, LRESULT& result) {
                (window.*Method)(wParam);
                result = 0;
                return true;
            }};
}

// LRESULT onGetCheck(): BM_GETCHECK.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnGetCheck() {
    return {BM_GETCHECK, 0, [](detail::WindowOf<Method>& window, WPARAM, LPARAM, LRESULT& result) {
                result = (window.*Method)();
                return true;
            }};
}

// HBRUSH onCtlColor(HDC dc): a control's colour request (WM_CTLCOLORBTN, WM_CTLCOLORSTATIC),
// reflected back to the control.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnCtlColor(UINT message) {
    return {message, 0,
            [](detail::WindowOf<Method>& window, WPARAM wParam, LPARAM, LRESULT& result) {
                result = reinterpret_cast<LRESULT>((window.*Method)(reinterpret_cast<HDC>(wParam)));
                return true;
            }};
}

// void onMessage(): before the default, which follows whatever the handler did.
template <auto Method, UINT Message>
constexpr MessageEntry<detail::WindowOf<Method>> BeforeDefault() {
    return {Message, 0, [](detail::WindowOf<Method>& window, WPARAM, LPARAM, LRESULT&) {
                (window.*Method)();
                return false;
            }};
}

// void onReflectedClick(): the control's own click reflected back to it; the click then goes on
// to the dialog as usual.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnReflectedClick() {
    return BeforeDefault<Method, WM_COMMAND>();
}

// void onPrint(HDC dc, LPARAM flags): WM_PRINT and WM_PRINTCLIENT, the window drawn into a
// given device context (PrintWindow, and the tests' memory contexts).
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnPrint(UINT message) {
    return {message, 0,
            [](detail::WindowOf<Method>& window, WPARAM wParam, LPARAM lParam, LRESULT& result) {
                (window.*Method)(reinterpret_cast<HDC>(wParam), lParam);
                result = 0;
                return true;
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

// void onDeviceChange(): a device came or went, whatever the event; the default handling
// follows.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnDeviceChange() {
    return BeforeDefault<Method, WM_DEVICECHANGE>();
}

// void onMessage(): a message without parameters.
template <auto Method>
constexpr MessageEntry<detail::WindowOf<Method>> OnMessage(UINT message) {
    return {message, 0, [](detail::WindowOf<Method>& window, WPARAM, LPARAM, LRESULT& result) {
                (window.*Method)();
                result = 0;
                return true;
            }};
}

}  // namespace harmoload::ui
