#include "transfer/TransferFrames.h"

namespace harmoload::transfer {

uint16_t ByteSum(const uint8_t* bytes, size_t count) {
    uint32_t sum = 0;
    for (size_t i = 0; i < count; ++i) {
        sum += bytes[i];
    }
    return static_cast<uint16_t>(sum);
}

Frame PacketHeaderFrame(uint32_t address, const uint8_t* bytes, size_t size) {
    return usb::HeaderFrame(address, static_cast<uint32_t>(size), ByteSum(bytes, size));
}

Frame ChecksumFrame(uint32_t startAddress, uint32_t totalSent) {
    return usb::SumRequestFrame(startAddress, totalSent, usb::kPacketSumRequestBytes);
}

}  // namespace harmoload::transfer
