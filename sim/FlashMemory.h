#pragma once
// The instrument's NOR flash: erasing a sector takes time on the shared clock and only then
// reads back 0xFFFF; programming can only clear bits, so programming a word that is not erased
// is recorded as an error.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/InstrumentSettings.h"

namespace harmoload {
class Clock;
}

namespace harmoload::sim {

class FlashMemory {
  public:
    FlashMemory(const InstrumentConfig& config, Clock& clock);

    // One bus cycle replayed on the chip's command interface: an erase setup (data 0x80)
    // followed by a sector erase (data 0x30 at an address of the sector) or a chip erase
    // (data 0x10) starts an erase; data 0xF0 resets the command interface.
    void busCycle(uint32_t address, uint16_t data);

    // The word at a word address as the chip reads it: 0x0000 while its sector erases.
    uint16_t read(uint32_t address);
    // Programs one word; records an error when it is not erased or its sector is erasing.
    void program(uint32_t address, uint16_t value);

    // 16-bit sum of the little-endian words from address on; at most the flash's size of them
    // (a longer request is recorded as an error).
    uint16_t wordSum(uint32_t address, uint32_t words);

    // Words from address on, as read now.
    std::vector<uint16_t> words(uint32_t address, uint32_t count);
    // The same as bytes, little-endian.
    std::vector<uint8_t> bytes(uint32_t address, uint32_t words);

    std::optional<size_t> sectorOf(uint32_t address) const;
    bool erasing(size_t sector);
    int erasesStarted() const { return erasesStarted_; }

    const std::vector<std::string>& errors() const { return errors_; }
    size_t errorCount() const { return errorCount_; }

  private:
    void startErase(size_t sector);
    void settle();
    void recordError(std::string text);

    InstrumentConfig config_;
    Clock& clock_;
    std::vector<uint16_t> words_;
    // Per sector: when its erase ends; nothing when none is under way.
    std::vector<std::optional<std::chrono::milliseconds>> eraseEnds_;
    size_t pendingErases_ = 0;
    bool eraseSetup_ = false;
    int erasesStarted_ = 0;
    std::vector<std::string> errors_;  // the first kKeptErrors
    size_t errorCount_ = 0;
};

}  // namespace harmoload::sim
