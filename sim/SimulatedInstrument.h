#pragma once
// The instrument's side of the update protocols, as the host sees it through its two bulk
// endpoints: each write is one host frame (or a piece of the data after a header), each read
// takes one pending answer. It keeps the flash that the flash-command engine programs and the
// memory that the packet-transfer engine fills, records what it was sent, and commits the
// faults it is told to. Time passes only on the shared clock: a read with nothing to answer
// waits its whole time-out there, and a sector erase ends there.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "sim/FlashMemory.h"
#include "sim/InstrumentSettings.h"
#include "sim/TargetMemory.h"
#include "usb/LibusbIdentity.h"

namespace harmoload {
class Clock;
}

namespace harmoload::sim {

// The library's results that the instrument causes.
inline constexpr int kTimedOut = -116;             // libusb-win32's -ETIMEDOUT: nothing to read
inline constexpr int kGone = usb::kLibusbIoError;  // the instrument is unplugged
inline constexpr int kBadEndpoint = -22;  // -EINVAL: an endpoint the instrument does not have
// How much the instrument keeps: records of what it was sent, and answers not yet read (a real
// instrument's queue is short; one that fills is not added to).
inline constexpr size_t kRecordedLimit = 1 << 16;
inline constexpr size_t kPendingAnswersLimit = 256;
// Answers of a misbehaving instrument.
inline constexpr uint8_t kRefusedVerdict = 0xE4;
inline constexpr uint8_t kWrongEndAnswer = 0x00;
// How long an instrument waits at its meeting: long enough for any machine to bring the others.
inline constexpr std::chrono::milliseconds kMeetingBound{60'000};

class Rendezvous;

struct BusCycle {
    uint32_t address = 0;
    uint16_t data = 0;
    bool operator==(const BusCycle&) const = default;
};

class SimulatedInstrument {
  public:
    explicit SimulatedInstrument(Clock& clock, InstrumentConfig config = {},
                                 InstrumentFaults faults = {});
    SimulatedInstrument(const SimulatedInstrument&) = delete;
    SimulatedInstrument& operator=(const SimulatedInstrument&) = delete;

    // The bulk endpoints, with the library's results: bytes moved, or a negative error.
    int bulkWrite(int endpoint, const uint8_t* bytes, int size, int timeoutMs);
    int bulkRead(int endpoint, uint8_t* bytes, int size, int timeoutMs);
    // A clear-halt also drops a data phase under way, so that the filler after it is not
    // taken for data.
    int clearHalt(unsigned endpoint);

    bool plugged() const { return plugged_; }
    void unplug() { plugged_ = false; }
    InstrumentFaults& faults() { return faults_; }
    // Where the transfer faults().meetAtTransfer waits; null: it does not wait.
    void setRendezvous(Rendezvous* rendezvous) { rendezvous_ = rendezvous; }

    // What the instrument holds and went through.
    FlashMemory& flash() { return flash_; }
    const TargetMemory& target() const { return target_; }
    const std::vector<uint8_t>& chipTypes() const { return chipTypes_; }  // per accepted handshake
    const std::vector<BusCycle>& busCycles() const { return busCycles_; }
    const std::vector<uint8_t>& resultFlags() const { return resultFlags_; }
    // Every host frame except the data after a header: the first kRecordedLimit of them, and of
    // each record below, so that a peer's endless stream cannot grow them without bound.
    const std::vector<std::vector<uint8_t>>& commands() const { return commands_; }
    // Frames, cycles, answers and errors past those limits, counted instead of kept.
    int unrecorded() const { return unrecorded_; }
    int reads() const { return reads_; }
    int writes() const { return writes_; }
    // Answers of each kind given so far, as the faults count them.
    int echoes() const { return echoes_; }
    int verdicts() const { return verdicts_; }
    int endAnswers() const { return endAnswers_; }
    int sums() const { return sums_; }
    int fillers() const { return fillers_; }
    int blocksAccepted() const { return blocksAccepted_; }
    // Transfers of either kind so far, the failed ones included.
    int transfers() const { return transfers_; }
    // How many times one of the injected faults was committed: a sweep that injects one fault
    // knows by this that its run reached it.
    int faultsHit() const { return faultsHit_; }
    // When the instrument went silent on the shared clock; nothing while it answers.
    std::optional<std::chrono::milliseconds> silentSince() const { return silentSince_; }
    // Frames it could not make sense of, answers too long for the read, and the flash's errors.
    std::vector<std::string> errors() const;
    // The text of the last failed transfer, for usb_strerror.
    const std::string& lastError() const { return lastError_; }

  private:
    enum class Engine { Packet, Flash };
    struct DataPhase {
        bool active = false;
        uint32_t address = 0;
        uint32_t expected = 0;  // bytes
        uint16_t sum = 0;
        std::vector<uint8_t> received;
    };

    bool countTransfer();
    bool stalled(int timeoutMs);
    bool meetingMissed();
    void hit() { ++faultsHit_; }
    void frame(const std::vector<uint8_t>& bytes);
    void handshake(const std::vector<uint8_t>& bytes);
    void programmingTemplate(const std::vector<uint8_t>& bytes);
    void echoFrame(const std::vector<uint8_t>& bytes);
    void header(const std::vector<uint8_t>& bytes);
    void data(const uint8_t* bytes, size_t size);
    void finishData();
    void sumRequest(const std::vector<uint8_t>& bytes);
    void answer(std::vector<uint8_t> bytes);
    template <typename T>
    void record(std::vector<T>& list, T item) {
        if (list.size() < kRecordedLimit) {
            list.push_back(std::move(item));
        } else {
            ++unrecorded_;
        }
    }
    void error(std::string text);

    Clock& clock_;
    InstrumentFaults faults_;
    Rendezvous* rendezvous_ = nullptr;
    FlashMemory flash_;
    TargetMemory target_;
    std::atomic<bool> plugged_{true};  // the library asks from other runs' threads

    Engine engine_ = Engine::Packet;
    bool templateSeen_ = false;
    DataPhase data_;
    uint16_t packetSum_ = 0;  // byte sum of the packets accepted since the handshake
    std::deque<std::vector<uint8_t>> answers_;

    int transfers_ = 0;
    int reads_ = 0;
    int writes_ = 0;
    int handshakes_ = 0;
    int echoes_ = 0;
    int verdicts_ = 0;
    int endAnswers_ = 0;
    int sums_ = 0;
    int fillers_ = 0;
    int blocksAccepted_ = 0;
    int faultsHit_ = 0;
    int unrecorded_ = 0;
    std::optional<std::chrono::milliseconds> silentSince_;

    std::vector<uint8_t> chipTypes_;
    std::vector<BusCycle> busCycles_;
    std::vector<uint8_t> resultFlags_;
    std::vector<std::vector<uint8_t>> commands_;
    std::vector<std::string> errors_;
    std::string lastError_;
};

}  // namespace harmoload::sim
