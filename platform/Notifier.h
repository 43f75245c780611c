#pragma once
// The engines' "notify window": where a message box is shown and progress is posted.
// The dialog shows real message boxes and posts window messages; the command line prints;
// tests record.

#include <cstdint>
#include <string>

namespace harmoload {

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageAnswer { Ok, Yes, No };

struct Message {
    std::string caption;  // UTF-8
    std::string text;     // UTF-8; "\n" breaks the line
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;

    bool operator==(const Message&) const = default;
};

// Window messages the engines post with their progress (wParam and lParam as posted).
inline constexpr uint32_t WM_TRANSFER_PROGRESS = 0x0BEC;
inline constexpr uint32_t WM_FLASH_PROGRESS = 0x0BD8;

// The caption of messages shown as the application's own (no owner window given).
inline constexpr const char* kApplicationTitle = "Harmoload";

class Notifier {
  public:
    virtual ~Notifier() = default;

    // Shows the message and blocks the calling thread until it is answered.
    virtual MessageAnswer showMessage(const Message& message) = 0;

    // Posts a progress message; never waits for whoever receives it.
    virtual void postProgress(uint32_t messageId, uintptr_t wParam, intptr_t lParam) = 0;
};

}  // namespace harmoload
