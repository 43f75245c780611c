#pragma once
// Has the instrument program its flash sector by sector from the bus-cycle templates of its
// flash profile, then compares the instrument's sum of every written sector with its own.
//
// The run (FlashCommandEngine.cpp) is the steps the user sees: profile, connection, the
// programming and verification passes, progress and messages. The sector procedures
// (FlashSectorProcedures.cpp) are the frames each step exchanges with the instrument.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "flash/FlashProfile.h"
#include "flash/FlashProfileCheck.h"
#include "platform/BinaryFile.h"
#include "platform/Notifier.h"
#include "usb/UsbLink.h"

namespace harmoload {

// Asked when the profile's checks end with a warning; a run goes on only on Yes.
inline constexpr const char* kContinueQuestion =
    "some parameters in configure file maybe not correct  \n\nare you want to continue?";

class Clock;

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
    // Judges the data file's bytes as the run loaded them, before any reaches the instrument:
    // false ends the run (the check shows its own message). Empty: every file is taken.
    void setDataCheck(std::function<bool(const std::vector<uint8_t>&)> check) {
        dataCheck_ = std::move(check);
    }

    // Writes the file at dataPath into the instrument's flash: true when every sector in use
    // was erased, written and verified. Shows its own messages, the last of them "Update file
    // failed" on any failure. Progress: first the total (3 x sectors in use, none done), then
    // the steps done (after each erase, each write, and each verification but the last
    // sector's, which comes at the end), and a phase event as each sector's erase, write and
    // verification begins (reserved sectors have none). The link is closed at the end; closing
    // it again does no harm.
    bool run(const std::string& dataPath);

    UsbLink& link() { return link_; }

    // The profile: defaults (also clearing the run's counters); the file at path read over
    // them (false only when it cannot be opened); the checks, after exactly one message when
    // they did not pass.
    void resetProfile();
    bool readProfile(const std::string& path);
    ProfileVerdict validateProfile();
    const FlashProfile& profile() const { return profile_; }
    FlashProfile& profile() { return profile_; }

    // The engine's message box: caption and icon by kind (Error for every fatal message), OK
    // only, with two spaces appended to the text. Unknown kinds show nothing.
    void showEngineMessage(const std::string& text, EngineMessageKind kind);

    // The sector procedures; each reports through its result and shows nothing, except the
    // "Copy too much data" guard of writeSectorData.
    bool handshake();
    bool eraseSector(size_t i);
    bool programSector(size_t i);
    bool programSectorBuffered(size_t i);
    bool writeSectorData(size_t i);
    bool verifySector(uint32_t address, uint32_t words, uint16_t sum);

    // Sectors of the last run's data, reserved ones included.
    size_t sectorsInUse() const { return sectorsInUse_; }

  private:
    bool runSteps(const std::string& dataPath);
    bool fail(const std::string& text);
    bool loadData(const std::string& dataPath);
    bool programmingPass();
    bool verificationPass();
    void postSteps(uint32_t done);
    void enterPhase(FlashPhase phase, size_t i);
    ProgressEvent progressEvent(ProgressChange change, uint32_t done) const;
    bool exchangeTemplate(const std::vector<uint8_t>& frame, int retries);
    bool sendBusCycle(uint32_t address, int32_t data);
    // The working data (after the file offset) and its length in bytes.
    const uint8_t* working() const { return data_.data() + workingStart_; }

    Notifier* notifier_;
    Clock& clock_;
    std::string profilePath_;
    std::function<bool(const std::vector<uint8_t>&)> dataCheck_;
    FlashProfile profile_;

    // The run's state.
    BinaryFile dataFile_;
    std::vector<uint8_t> data_;  // the whole data file
    size_t workingStart_ = 0;    // 2 x fileOffset
    int64_t fileLength_ = 0;
    int64_t remainingLength_ = 0;  // bytes of data after the file offset
    int64_t dataPosition_ = 0;     // into the working data: the next bytes to send or check
    int64_t bytesAccounted_ = 0;   // sizes of the sectors before the current one
    size_t sectorsInUse_ = 0;
    int eraseRetries_ = 0;  // repeated erases of the current sector, nested ones included
    int failedPolls_ = 0;   // erase polls in a row that got no answer, nested ones included
    FlashPhase phase_ = FlashPhase::None;
    size_t phaseSector_ = 0;  // index of the sector the phase is about
    uint32_t stepsDone_ = 0;  // the last step count posted

    UsbLink link_;
};

}  // namespace harmoload
