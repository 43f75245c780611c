#pragma once
// Has the instrument program its flash sector by sector from the bus-cycle templates of its
// flash profile, then compares the instrument's sum of every written sector with its own.

#include <string>

#include "usb/UsbLink.h"

namespace harmoload {

class Clock;
class Notifier;

class FlashCommandEngine {
  public:
    FlashCommandEngine(Notifier& notifier, Clock& clock);
    virtual ~FlashCommandEngine() = default;
    FlashCommandEngine(const FlashCommandEngine&) = delete;
    FlashCommandEngine& operator=(const FlashCommandEngine&) = delete;

    // Where messages are shown and progress is posted; the link shows its messages there too.
    void setNotifier(Notifier& notifier);
    // Empty: the program directory's R2.ini.
    void setProfilePath(std::string path) { profilePath_ = std::move(path); }
    const std::string& profilePath() const { return profilePath_; }

    // Writes the file at dataPath into the instrument's flash; shows its own messages on failure.
    // The link is left open for the owner to close.
    bool run(const std::string& dataPath);

    UsbLink& link() { return link_; }

  private:
    Notifier* notifier_;
    Clock& clock_;
    std::string profilePath_;
    UsbLink link_;
};

}  // namespace harmoload
