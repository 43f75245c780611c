#include "sim/FlashMemory.h"

#include <algorithm>
#include <cstdio>

#include "bytes/LittleEndian.h"
#include "platform/Clock.h"

namespace harmoload::sim {
namespace {

// Command data the chip recognises on its bus.
constexpr uint16_t kEraseSetup = 0x80;
constexpr uint16_t kSectorErase = 0x30;
constexpr uint16_t kChipErase = 0x10;
constexpr uint16_t kReset = 0xF0;

constexpr uint16_t kErased = 0xFFFF;
// What the data lines show while an erase runs.
constexpr uint16_t kBusyWord = 0x0000;
constexpr size_t kKeptErrors = 100;

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

}  // namespace

FlashGeometry FlashGeometry::Uniform(uint32_t sectorWords, uint32_t sectorCount) {
    FlashGeometry geometry;
    for (uint32_t i = 0; i < sectorCount; ++i) {
        geometry.sectorStarts.push_back(i * sectorWords);
    }
    geometry.totalWords = sectorWords * sectorCount;
    return geometry;
}

FlashMemory::FlashMemory(const InstrumentConfig& config, Clock& clock)
    : config_(config),
      clock_(clock),
      words_(config.flash.totalWords, config.initialFlashWord),
      eraseEnds_(config.flash.sectorStarts.size()) {}

std::optional<size_t> FlashMemory::sectorOf(uint32_t address) const {
    const std::vector<uint32_t>& starts = config_.flash.sectorStarts;
    if (address >= config_.flash.totalWords || starts.empty() || address < starts.front()) {
        return std::nullopt;
    }
    const auto after = std::upper_bound(starts.begin(), starts.end(), address);
    return static_cast<size_t>(after - starts.begin()) - 1;
}

void FlashMemory::busCycle(uint32_t address, uint16_t data) {
    settle();
    if (data == kReset) {
        eraseSetup_ = false;
    } else if (data == kEraseSetup) {
        eraseSetup_ = true;
    } else if (eraseSetup_ && data == kSectorErase) {
        eraseSetup_ = false;
        if (const std::optional<size_t> sector = sectorOf(address)) {
            startErase(*sector);
        } else {
            recordError("erase of " + Hex(address) + ": no sector there");
        }
    } else if (eraseSetup_ && data == kChipErase) {
        eraseSetup_ = false;
        for (size_t sector = 0; sector < eraseEnds_.size(); ++sector) {
            startErase(sector);
        }
    }
}

void FlashMemory::startErase(size_t sector) {
    // A chip that is erasing ignores a new erase of the same sector: it does not start again.
    if (eraseEnds_[sector].has_value()) {
        return;
    }
    const uint32_t start = config_.flash.sectorStarts[sector];
    const auto slow = config_.slowErase.find(start);
    const std::chrono::milliseconds duration =
        slow != config_.slowErase.end() ? slow->second : config_.eraseTime;
    eraseEnds_[sector] = clock_.now() + duration;
    ++pendingErases_;
    ++erasesStarted_;
    settle();
}

void FlashMemory::settle() {
    if (pendingErases_ == 0) {
        return;
    }
    const std::chrono::milliseconds now = clock_.now();
    for (size_t sector = 0; sector < eraseEnds_.size(); ++sector) {
        if (eraseEnds_[sector].has_value() && *eraseEnds_[sector] <= now) {
            eraseEnds_[sector].reset();
            --pendingErases_;
            const uint32_t begin = config_.flash.sectorStarts[sector];
            const uint32_t end = sector + 1 < config_.flash.sectorStarts.size()
                                     ? config_.flash.sectorStarts[sector + 1]
                                     : config_.flash.totalWords;
            std::fill(words_.begin() + begin,
                      words_.begin() + std::min(end, config_.flash.totalWords), kErased);
        }
    }
}

bool FlashMemory::erasing(size_t sector) {
    settle();
    return sector < eraseEnds_.size() && eraseEnds_[sector].has_value();
}

uint16_t FlashMemory::read(uint32_t address) {
    settle();
    const std::optional<size_t> sector = sectorOf(address);
    if (!sector) {
        return kBusyWord;
    }
    return eraseEnds_[*sector].has_value() ? kBusyWord : words_[address];
}

void FlashMemory::program(uint32_t address, uint16_t value) {
    settle();
    const std::optional<size_t> sector = sectorOf(address);
    if (!sector) {
        recordError("program " + Hex(address) + ": outside the flash");
        return;
    }
    if (eraseEnds_[*sector].has_value()) {
        recordError("program " + Hex(address) + ": its sector is still erasing");
        return;
    }
    uint16_t& word = words_[address];
    if (word != kErased) {
        recordError("program " + Hex(address) + ": word not erased");
    }
    word &= value;  // NOR programming only clears bits
}

uint16_t FlashMemory::wordSum(uint32_t address, uint32_t words) {
    // A request over the whole 32-bit range must not keep the instrument summing for minutes.
    if (words > config_.flash.totalWords) {
        recordError("sum of " + std::to_string(words) + " words: more than the flash holds");
        words = config_.flash.totalWords;
    }
    uint32_t sum = 0;
    for (uint32_t i = 0; i < words; ++i) {
        sum += read(address + i);
    }
    return static_cast<uint16_t>(sum);
}

std::vector<uint16_t> FlashMemory::words(uint32_t address, uint32_t count) {
    std::vector<uint16_t> result;
    result.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        result.push_back(read(address + i));
    }
    return result;
}

std::vector<uint8_t> FlashMemory::bytes(uint32_t address, uint32_t count) {
    std::vector<uint8_t> result;
    result.reserve(2 * size_t{count});
    for (uint16_t word : words(address, count)) {
        AppendLittleEndian(result, word, 2);
    }
    return result;
}

void FlashMemory::recordError(std::string text) {
    ++errorCount_;
    if (errors_.size() < kKeptErrors) {
        errors_.push_back(std::move(text));
    }
}

}  // namespace harmoload::sim
