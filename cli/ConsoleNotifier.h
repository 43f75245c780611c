#pragma once
// The command line's notify window: a message box becomes "Caption: text" on the error stream,
// or with --json one event object per line on the output stream.

#include <functional>
#include <iosfwd>

#include "platform/Notifier.h"

namespace harmoload {

class ConsoleNotifier final : public Notifier {
  public:
    ConsoleNotifier(std::ostream& out, std::ostream& err, bool json, bool assumeYes = false)
        : out_(out), err_(err), json_(json), assumeYes_(assumeYes) {}

    // Who answers a yes/no question when Yes is not assumed; without one the answer is No.
    void setAsker(std::function<MessageAnswer(const Message&)> asker) { asker_ = std::move(asker); }

    MessageAnswer showMessage(const Message& message) override;
    void postProgress(const ProgressEvent& event) override;

  private:
    std::ostream& out_;
    std::ostream& err_;
    bool json_;
    bool assumeYes_;
    std::function<MessageAnswer(const Message&)> asker_;
};

}  // namespace harmoload
