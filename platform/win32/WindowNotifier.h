#pragma once
// The Windows notify window: message boxes owned by a window, progress posted to it as the
// window messages of platform/ProgressMessage.h.

#include <windows.h>

#include "platform/Notifier.h"

namespace harmoload {

class WindowNotifier final : public Notifier {
  public:
    // owner may be null: the message box then belongs to no window.
    explicit WindowNotifier(HWND owner) : owner_(owner) {}

    MessageAnswer showMessage(const Message& message) override;
    void postProgress(const ProgressEvent& event) override;

    HWND owner() const { return owner_; }
    void setOwner(HWND owner) { owner_ = owner; }

  private:
    HWND owner_;
};

}  // namespace harmoload
