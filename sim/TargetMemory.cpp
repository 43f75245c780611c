#include "sim/TargetMemory.h"

namespace harmoload::sim {

void TargetMemory::write(uint32_t address, std::span<const uint8_t> bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        const uint32_t at = address + static_cast<uint32_t>(i);  // wraps as the bus would
        Page& page = pages_[at / kPageSize];
        const uint32_t offset = at % kPageSize;
        if (!page.written[offset]) {
            page.written[offset] = true;
            ++bytesWritten_;
        }
        page.bytes[offset] = bytes[i];
    }
}

std::vector<uint8_t> TargetMemory::read(uint32_t address, uint32_t length) const {
    std::vector<uint8_t> result(length, 0xFF);
    for (uint32_t i = 0; i < length; ++i) {
        const uint32_t at = address + i;
        const auto page = pages_.find(at / kPageSize);
        if (page != pages_.end()) {
            result[i] = page->second.bytes[at % kPageSize];
        }
    }
    return result;
}

}  // namespace harmoload::sim
