#include "flash/FlashProfileCheck.h"

#include <cstdio>

namespace harmoload {
namespace {

// The largest block the 16-bit word count of a block header can carry (65536 travels as 0).
constexpr int32_t kMaxBlockWords = 0x10000;

bool CyclesMatch(int32_t count, const std::vector<int32_t>& addresses,
                 const std::vector<int32_t>& data) {
    return count == static_cast<int64_t>(addresses.size()) &&
           count == static_cast<int64_t>(data.size());
}

// Enough entries for count cycles: the run walks that many of each list.
bool CyclesFit(int32_t count, const std::vector<int32_t>& addresses,
               const std::vector<int32_t>& data) {
    return count >= 0 && static_cast<int64_t>(addresses.size()) >= count &&
           static_cast<int64_t>(data.size()) >= count;
}

ProfileFinding Fatal(const char* text) {
    return {ProfileVerdict::Fatal, text, EngineMessageKind::Error};
}

}  // namespace

std::optional<Message> EngineMessage(const std::string& text, EngineMessageKind kind) {
    const char* caption = nullptr;
    MessageIcon icon = MessageIcon::Information;
    switch (kind) {
        case EngineMessageKind::StopError:
            caption = "Error";
            icon = MessageIcon::Error;
            break;
        case EngineMessageKind::Error:
            caption = "Error";
            break;
        case EngineMessageKind::Warning:
            caption = "Warning";
            break;
        case EngineMessageKind::Information:
            caption = "Information";
            break;
        case EngineMessageKind::Question:
            caption = "Question";
            icon = MessageIcon::Question;
            break;
        default:
            return std::nullopt;
    }
    return Message{caption, text + "  ", MessageButtons::Ok, icon};
}

ProfileFinding CheckFlashProfile(const FlashProfile& p) {
    if (p.flashModel.empty()) {
        return {ProfileVerdict::Warning, "there is nothing in Flash Modle  ",
                EngineMessageKind::Warning};
    }
    return CheckFlashProfileFaults(p);
}

ProfileFinding CheckFlashProfileFaults(const FlashProfile& p) {
    if (p.reservedSectors.empty()) {
        return Fatal("there is nothing in Reserved Sector  ");
    }
    if (p.blockSize <= 0 || p.blockSize > kMaxBlockWords) {
        return Fatal("the size of block is out of range   ");
    }
    if (p.blockSize % 2 != 0) {
        return Fatal("the block size should be a even number better  ");
    }
    if (p.maxWriteBack <= 0) {
        return Fatal("the max waiting time of writing one pack must be more than zero  ");
    }
    if (p.maxSectorEraseTime <= 0) {
        return Fatal("the max waiting time of erase one sector must be more than zero  ");
    }
    if (!CyclesMatch(p.eraseCycleCount, p.eraseAddresses, p.eraseData)) {
        return Fatal("the sector erase cycles not matching the number of it's addr or data   ");
    }
    if (!CyclesMatch(p.programCycleCount, p.programAddresses, p.programData)) {
        return Fatal("the program cycles not matching the number of it's addr or data  ");
    }
    if (!CyclesMatch(p.writeBufferCycleCount, p.writeBufferAddresses, p.writeBufferData)) {
        return Fatal("the write buffer cycles not matching the number of it's addr or data  ");
    }
    if (!CyclesMatch(p.programBufferCycleCount, p.programBufferAddresses, p.programBufferData)) {
        return Fatal(
            "the program buffer cycles not matching the number of it's addr or data number  ");
    }
    if (p.sectorAddresses.empty()) {
        return Fatal("the sector address list is empty  ");
    }
    return {};
}

std::optional<std::string> FindRunFault(const FlashProfile& p) {
    if (!CyclesFit(p.eraseCycleCount, p.eraseAddresses, p.eraseData)) {
        return "the sector erase cycles are more than its addr or data entries";
    }
    if (p.bufferedWrite) {
        if (!CyclesFit(p.writeBufferCycleCount, p.writeBufferAddresses, p.writeBufferData)) {
            return "the write buffer cycles are more than its addr or data entries";
        }
        if (!CyclesFit(p.programBufferCycleCount, p.programBufferAddresses, p.programBufferData)) {
            return "the program buffer cycles are more than its addr or data entries";
        }
    } else if (!CyclesFit(p.programCycleCount, p.programAddresses, p.programData)) {
        return "the program cycles are more than its addr or data entries";
    }
    if (p.blockSize <= 0 || p.blockSize > kMaxBlockWords) {
        return "the size of block is out of range";
    }
    if (p.fileOffset < 0) {
        return "The file offset in section - [File Offset] must not be negative";
    }
    if (p.sectorAddresses.empty()) {
        return "the sector address list is empty";
    }
    if (p.sectorAddresses.size() == 1) {
        return kNotEnoughSectorSizeMessage;
    }
    for (size_t i = 1; i < p.sectorAddresses.size(); ++i) {
        if (p.sectorAddresses[i] <= p.sectorAddresses[i - 1]) {
            char text[120];
            std::snprintf(text, sizeof text,
                          "the sector address list must ascend: entry %zu (0x%X) is not above "
                          "the one before it",
                          i + 1, static_cast<unsigned>(p.sectorAddresses[i]));
            return std::string(text);
        }
    }
    return std::nullopt;
}

}  // namespace harmoload
