#pragma once
// The dialog's message-table entries for the engines' progress: the window messages the
// Windows notifier posts (platform/ProgressMessage.h), cracked into typed handlers.

#include "platform/ProgressMessage.h"
#include "ui/MessageTable.h"

namespace harmoload::app {

// void onTransferProgress(UINT total, int done): WM_TRANSFER_PROGRESS, the packet-transfer
// engine's packets in all and those done so far.
template <auto Method>
constexpr ui::MessageEntry<ui::detail::WindowOf<Method>> OnTransferProgress() {
    return {
        WM_TRANSFER_PROGRESS, 0,
        [](ui::detail::WindowOf<Method>& window, WPARAM wParam, LPARAM lParam, LRESULT& result) {
            (window.*Method)(static_cast<UINT>(wParam), static_cast<int>(lParam));
            result = 0;
            return true;
        }};
}

// void onFlashProgress(bool range, int value): WM_FLASH_PROGRESS from the flash-command
// engine; wParam 0 gives the range's upper bound, any other wParam the position.
template <auto Method>
constexpr ui::MessageEntry<ui::detail::WindowOf<Method>> OnFlashProgress() {
    return {
        WM_FLASH_PROGRESS, 0,
        [](ui::detail::WindowOf<Method>& window, WPARAM wParam, LPARAM lParam, LRESULT& result) {
            (window.*Method)(wParam == 0, static_cast<int>(lParam));
            result = 0;
            return true;
        }};
}

}  // namespace harmoload::app
