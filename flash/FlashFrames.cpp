#include "flash/FlashFrames.h"

#include <algorithm>

#include "bytes/LittleEndian.h"
#include "usb/InstrumentContract.h"

namespace harmoload::flash {
namespace {

// The count byte and the cycles of a template; a list shorter than the count (which the run
// never lets through) gives zeros.
void PutCycles(Frame& frame, int32_t count, const std::vector<int32_t>& addresses,
               const std::vector<int32_t>& data) {
    const size_t cycles = count > 0 ? static_cast<size_t>(count) : 0;
    for (size_t c = 0; c < cycles; ++c) {
        AppendLittleEndian(frame, c < addresses.size() ? static_cast<uint32_t>(addresses[c]) : 0,
                           2);
        AppendLittleEndian(frame, c < data.size() ? static_cast<uint32_t>(data[c]) : 0, 2);
    }
}

Frame TemplateStart(uint8_t code, int32_t count, size_t fixedSize) {
    Frame frame;
    const size_t cycles = count > 0 ? static_cast<size_t>(count) : 0;
    frame.reserve(fixedSize + usb::kTemplateCycleBytes * cycles);
    frame.push_back(code);
    frame.push_back(static_cast<uint8_t>(2u * static_cast<uint32_t>(count)));
    return frame;
}

}  // namespace

uint16_t WordSum(const uint8_t* bytes, size_t length) {
    uint32_t sum = 0;
    for (size_t k = 0; k + 1 < length; k += 2) {
        sum += ReadLittleEndian16(&bytes[k]);
    }
    return static_cast<uint16_t>(sum);
}

Frame BusCycleFrame(uint32_t address, int32_t data) {
    Frame frame(usb::kBusCycleBytes);
    frame[usb::kCommandOffset] = usb::kBusCycle;
    WriteLittleEndian32(&frame[usb::kAddressOffset], address);
    WriteLittleEndian16(&frame[usb::kBusCycleDataOffset], static_cast<uint16_t>(data));
    return frame;
}

Frame ErasePollFrame(uint32_t sectorAddress) {
    Frame frame(usb::kErasePollBytes);
    frame[usb::kCommandOffset] = usb::kErasePoll;
    WriteLittleEndian32(&frame[usb::kAddressOffset], sectorAddress);
    return frame;
}

Frame ProgramTemplateFrame(const FlashProfile& p) {
    Frame frame =
        TemplateStart(usb::kProgramTemplate, p.programCycleCount, usb::kProgramTemplateFixedBytes);
    PutCycles(frame, p.programCycleCount, p.programAddresses, p.programData);
    return frame;
}

Frame WriteBufferTemplateFrame(const FlashProfile& p) {
    Frame frame = TemplateStart(usb::kWriteBufferTemplate, p.writeBufferCycleCount,
                                usb::kWriteBufferTemplateFixedBytes);
    for (int32_t byte : {p.writeBufferCount, p.writeBufferPa1, p.writeBufferPa2, p.writeBufferSa1,
                         p.writeBufferSa2}) {
        frame.push_back(static_cast<uint8_t>(byte));
    }
    PutCycles(frame, p.writeBufferCycleCount, p.writeBufferAddresses, p.writeBufferData);
    return frame;
}

Frame ProgramBufferTemplateFrame(const FlashProfile& p) {
    Frame frame = TemplateStart(usb::kProgramBufferTemplate, p.programBufferCycleCount,
                                usb::kProgramBufferTemplateFixedBytes);
    frame.push_back(static_cast<uint8_t>(p.programBufferSa1));
    frame.push_back(static_cast<uint8_t>(p.programBufferSa2));
    PutCycles(frame, p.programBufferCycleCount, p.programBufferAddresses, p.programBufferData);
    return frame;
}

Frame BlockHeaderFrame(uint32_t address, uint32_t words, uint16_t sum) {
    return usb::HeaderFrame(address, words, sum);
}

Frame SectorChecksumFrame(uint32_t sectorAddress, uint32_t words) {
    return usb::SumRequestFrame(sectorAddress, words, usb::kFlashSumRequestBytes);
}

int32_t SectorAddress(const FlashProfile& profile, size_t i) {
    const std::vector<int32_t>& list = profile.sectorAddresses;
    if (list.empty()) {
        return 0;
    }
    return list[std::min(i, list.size() - 1)];
}

int64_t SectorSize(const FlashProfile& profile, size_t i) {
    const std::vector<int32_t>& list = profile.sectorAddresses;
    if (list.size() < 2) {
        return 0;
    }
    const size_t last = list.size() - 1;
    const size_t from = std::min(i, last - 1);
    return 2 * (int64_t{list[from + 1]} - list[from]);
}

bool IsReservedSector(const FlashProfile& profile, size_t i) {
    const int32_t address = SectorAddress(profile, i);
    return std::find(profile.reservedSectors.begin(), profile.reservedSectors.end(), address) !=
           profile.reservedSectors.end();
}

}  // namespace harmoload::flash
