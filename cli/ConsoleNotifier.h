#pragma once
// The command line's notify window: a message box becomes "Caption: text" on the error stream,
// or with --json one event object per line on the output stream.

#include <iosfwd>

#include "platform/Notifier.h"

namespace harmoload {

class ConsoleNotifier final : public Notifier {
  public:
    ConsoleNotifier(std::ostream& out, std::ostream& err, bool json, bool assumeYes = false)
        : out_(out), err_(err), json_(json), assumeYes_(assumeYes) {}

    MessageAnswer showMessage(const Message& message) override;
    void postProgress(uint32_t messageId, uintptr_t wParam, intptr_t lParam) override;

  private:
    std::ostream& out_;
    std::ostream& err_;
    bool json_;
    bool assumeYes_;
};

}  // namespace harmoload
