#pragma once
// What a simulated instrument is made of, and the faults it is told to commit.

#include <chrono>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

namespace harmoload::sim {

// The instrument's flash, in 16-bit words as the flash-command engine counts them.
struct FlashGeometry {
    std::vector<uint32_t> sectorStarts;  // ascending word addresses; the first is 0
    uint32_t totalWords = 0;

    // 64 sectors of 32 Ki words (64 KiB each, 4 MiB in all).
    static FlashGeometry Uniform(uint32_t sectorWords = 0x8000, uint32_t sectorCount = 64);
};

struct InstrumentConfig {
    FlashGeometry flash = FlashGeometry::Uniform();
    // What the flash holds before the update: the old contents, not erased.
    uint16_t initialFlashWord = 0x0000;
    // How long a sector erase takes on the shared clock; a sector named in slowErase takes its
    // own time instead.
    std::chrono::milliseconds eraseTime{400};
    std::map<uint32_t, std::chrono::milliseconds> slowErase{};  // sector start (words) -> time
};

// Every fault is counted from 1 and from the instrument's start: the n-th handshake, echo,
// verdict, end answer or sum request; the n-th read or write; the k-th transfer of either kind.
struct InstrumentFaults {
    int wrongHandshakes = 0;  // the first n handshakes are answered with wrongHandshakeAnswer
    uint8_t wrongHandshakeAnswer = 0x00;
    std::set<int> badEchoes{};         // template and header echoes with byte 1 inverted
    std::set<int> badVerdicts{};       // data refused with kRefusedVerdict although its sum matched
    std::set<int> wrongEndAnswers{};   // data stored but ended with kWrongEndAnswer
    std::set<int> wrongSums{};         // sum answers one more than the true sum
    std::map<int, int> readErrors{};   // read ordinal -> the library's error code
    std::map<int, int> writeErrors{};  // write ordinal -> error code; the frame is lost
    int unplugAtTransfer = 0;  // 0: never; else the instrument is gone from that transfer on
    // 0: never; else from that transfer on the instrument is silent: every transfer waits its
    // whole time-out on the shared clock and fails with kTimedOut.
    int stallFromTransfer = 0;
    // Read ordinals whose answer is not ready in time: the read waits its whole time-out and
    // fails with kTimedOut, and the answer comes with the next read (an instrument slow to sum
    // a large sector).
    std::set<int> lateAnswers{};
    // Read ordinal -> how many bytes of its answer arrive (fewer than the answer; 0: none).
    // The rest of that answer is lost.
    std::map<int, size_t> shortAnswers{};
    // Read ordinal -> the byte of its answer that arrives inverted (past the end: none is).
    std::map<int, size_t> alteredAnswers{};
    // Write ordinal -> how many of its bytes the instrument takes, which the library reports
    // as the bytes done (fewer than asked; 0: none), the way libusb 0.1 does when a transfer
    // stalls part way.
    std::map<int, size_t> partialWrites{};
    // 0: never; else that transfer waits, on real time and at most kMeetingBound, until every
    // other instrument of the simulator given a meeting has reached its own; one that waits in
    // vain fails the transfer with kTimedOut.
    int meetAtTransfer = 0;

    bool operator==(const InstrumentFaults&) const = default;
};

}  // namespace harmoload::sim
