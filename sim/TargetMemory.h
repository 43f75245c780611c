#pragma once
// The memory the packet-transfer engine writes into: bytes at 32-bit addresses, kept in pages
// so that a sound image of megabytes costs only what was written. Unwritten bytes read 0xFF.

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <vector>

namespace harmoload::sim {

class TargetMemory {
  public:
    void write(uint32_t address, std::span<const uint8_t> bytes);
    std::vector<uint8_t> read(uint32_t address, uint32_t length) const;
    // How many distinct bytes were ever written.
    uint64_t bytesWritten() const { return bytesWritten_; }

  private:
    static constexpr uint32_t kPageSize = 0x10000;
    struct Page {
        std::vector<uint8_t> bytes = std::vector<uint8_t>(kPageSize, 0xFF);
        std::vector<bool> written = std::vector<bool>(kPageSize, false);
    };
    std::map<uint32_t, Page> pages_;  // by page number
    uint64_t bytesWritten_ = 0;
};

}  // namespace harmoload::sim
