#pragma once
// The engines' "notify window": where a message box is shown and progress is posted.
// The dialog shows real message boxes and turns progress into its window messages
// (platform/ProgressMessage.h); the command line prints; tests record.

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

// Which engine a progress event comes from.
enum class ProgressEngine { Transfer, Flash };

// What a flash run is doing to a sector: the count alone cannot tell an erase that takes
// seconds from a stalled run.
enum class FlashPhase { None, Erasing, Writing, Verifying };

// What an event tells: the count was set or moved, or only the phase changed (the count is
// the same as in the event before).
enum class ProgressChange { Count, Phase };

// One step of an engine's progress, with everything known at that moment.
//   transfer: done and total count packets (done is the packet the instrument just accepted);
//             the bytes are the data bytes accepted and the data file's length.
//   flash:    three steps per sector in use (erase, write, verification); the first event,
//             with nothing done yet, gives the total; phase and sector say what the run is
//             doing (or, on a count, has just done); no byte counts.
struct ProgressEvent {
    ProgressEngine engine = ProgressEngine::Transfer;
    ProgressChange change = ProgressChange::Count;
    uint32_t done = 0;
    uint32_t total = 0;
    FlashPhase phase = FlashPhase::None;
    uint32_t sector = 0;   // from 1, among the sectors in use; 0 before the first
    uint32_t sectors = 0;  // sectors in use, reserved ones included
    uint64_t bytesDone = 0;
    uint64_t bytesTotal = 0;  // 0: not known

    bool operator==(const ProgressEvent&) const = default;
};

// The caption of messages shown as the application's own (no owner window given).
inline constexpr const char* kApplicationTitle = "Harmoload";

class Notifier {
  public:
    virtual ~Notifier() = default;

    // Shows the message and blocks the calling thread until it is answered.
    virtual MessageAnswer showMessage(const Message& message) = 0;

    // Passes a progress event on; never waits for whoever receives it.
    virtual void postProgress(const ProgressEvent& event) = 0;
};

}  // namespace harmoload
