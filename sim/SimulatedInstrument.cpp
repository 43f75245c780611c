#include "sim/SimulatedInstrument.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "bytes/LittleEndian.h"
#include "platform/Clock.h"
#include "sim/Rendezvous.h"
#include "usb/InstrumentContract.h"
#include "usb/LibusbIdentity.h"

namespace harmoload::sim {
namespace {

bool IsFiller(const std::vector<uint8_t>& bytes) {
    return bytes.size() == usb::kRecoveryFillerSize &&
           std::all_of(bytes.begin(), bytes.end(),
                       [](uint8_t byte) { return byte == usb::kRecoveryFillerByte; });
}

// Template frames: a fixed part, then whole cycles of four bytes.
bool IsTemplateSize(size_t size, size_t fixedSize) {
    return size >= fixedSize && (size - fixedSize) % usb::kTemplateCycleBytes == 0;
}

}  // namespace

SimulatedInstrument::SimulatedInstrument(Clock& clock, InstrumentConfig config,
                                         InstrumentFaults faults)
    : clock_(clock), faults_(std::move(faults)), flash_(config, clock) {}

std::vector<std::string> SimulatedInstrument::errors() const {
    std::vector<std::string> all = errors_;
    all.insert(all.end(), flash_.errors().begin(), flash_.errors().end());
    return all;
}

void SimulatedInstrument::error(std::string text) {
    record(errors_, std::move(text));
}

void SimulatedInstrument::answer(std::vector<uint8_t> bytes) {
    if (answers_.size() >= kPendingAnswersLimit) {
        ++unrecorded_;  // a host that never reads loses what the full queue cannot take
        return;
    }
    answers_.push_back(std::move(bytes));
}

// Counts one transfer; false once the instrument is gone.
bool SimulatedInstrument::countTransfer() {
    ++transfers_;
    if (plugged_ && faults_.unplugAtTransfer > 0 && transfers_ >= faults_.unplugAtTransfer) {
        plugged_ = false;
        hit();
    }
    if (!plugged_) {
        lastError_ = "the instrument is not connected";
    }
    return plugged_;
}

// True when this transfer was to meet the other instruments and they did not come.
bool SimulatedInstrument::meetingMissed() {
    if (rendezvous_ == nullptr || transfers_ != faults_.meetAtTransfer) {
        return false;
    }
    hit();
    if (rendezvous_->arrive(kMeetingBound)) {
        return false;
    }
    lastError_ = "timeout";
    return true;
}

// True once the instrument has gone silent: the transfer then takes its whole time-out.
bool SimulatedInstrument::stalled(int timeoutMs) {
    if (faults_.stallFromTransfer == 0 || transfers_ < faults_.stallFromTransfer) {
        return false;
    }
    if (!silentSince_) {
        silentSince_ = clock_.now();
        hit();
    }
    clock_.sleep(std::chrono::milliseconds(timeoutMs));
    lastError_ = "timeout";
    return true;
}

int SimulatedInstrument::bulkWrite(int endpoint, const uint8_t* bytes, int size, int timeoutMs) {
    if (!countTransfer()) {
        return kGone;
    }
    if (meetingMissed() || stalled(timeoutMs)) {
        return kTimedOut;
    }
    ++writes_;
    if (endpoint != usb::kOutEndpoint) {
        error("write to endpoint " + std::to_string(endpoint));
        lastError_ = "no such endpoint";
        return kBadEndpoint;
    }
    if (const auto fault = faults_.writeErrors.find(writes_); fault != faults_.writeErrors.end()) {
        lastError_ = "write failed (injected fault " + std::to_string(fault->second) + ")";
        hit();
        return fault->second;
    }
    if (const auto fault = faults_.partialWrites.find(writes_);
        fault != faults_.partialWrites.end() && fault->second < static_cast<size_t>(size)) {
        // Only the first bytes reach the instrument; the library reports them as done.
        hit();
        size = static_cast<int>(fault->second);
    }
    if (size <= 0) {
        return 0;
    }
    if (data_.active) {
        data(bytes, static_cast<size_t>(size));
    } else {
        frame(std::vector<uint8_t>(bytes, bytes + size));
    }
    return size;
}

int SimulatedInstrument::bulkRead(int endpoint, uint8_t* bytes, int size, int timeoutMs) {
    if (!countTransfer()) {
        return kGone;
    }
    if (meetingMissed() || stalled(timeoutMs)) {
        return kTimedOut;
    }
    ++reads_;
    if (endpoint != usb::kInEndpoint) {
        error("read from endpoint " + std::to_string(endpoint));
        lastError_ = "no such endpoint";
        return kBadEndpoint;
    }
    if (const auto fault = faults_.readErrors.find(reads_); fault != faults_.readErrors.end()) {
        // The answer stays where it was: a recovery read may still pick it up.
        lastError_ = "read failed (injected fault " + std::to_string(fault->second) + ")";
        hit();
        return fault->second;
    }
    if (faults_.lateAnswers.contains(reads_) && !answers_.empty()) {
        hit();
        clock_.sleep(std::chrono::milliseconds(timeoutMs));
        lastError_ = "timeout";
        return kTimedOut;
    }
    if (answers_.empty()) {
        clock_.sleep(std::chrono::milliseconds(timeoutMs));
        lastError_ = "timeout";
        return kTimedOut;
    }
    std::vector<uint8_t> next = std::move(answers_.front());
    answers_.pop_front();
    if (const auto fault = faults_.alteredAnswers.find(reads_);
        fault != faults_.alteredAnswers.end() && fault->second < next.size()) {
        hit();
        next[fault->second] ^= 0xFF;
    }
    if (const auto fault = faults_.shortAnswers.find(reads_);
        fault != faults_.shortAnswers.end() && fault->second < next.size()) {
        // The rest of the answer is lost on the way.
        hit();
        next.resize(fault->second);
    }
    const size_t room = size > 0 ? static_cast<size_t>(size) : 0;
    if (next.size() > room) {
        error("answer of " + std::to_string(next.size()) + " bytes read with " +
              std::to_string(room));
        next.resize(room);
    }
    std::copy(next.begin(), next.end(), bytes);
    return static_cast<int>(next.size());
}

int SimulatedInstrument::clearHalt(unsigned /*endpoint*/) {
    if (!plugged_) {
        return kGone;
    }
    if (silentSince_) {
        return kTimedOut;
    }
    data_ = DataPhase{};
    return 0;
}

void SimulatedInstrument::frame(const std::vector<uint8_t>& bytes) {
    if (IsFiller(bytes)) {
        // The host's recovery: whatever was still to be said is forgotten.
        ++fillers_;
        answers_.clear();
        return;
    }
    record(commands_, bytes);
    const size_t size = bytes.size();
    switch (bytes[usb::kCommandOffset]) {
        case usb::kHandshake:
            handshake(bytes);
            return;
        case usb::kBusCycle: {
            if (size != usb::kBusCycleBytes) {
                break;
            }
            engine_ = Engine::Flash;
            const BusCycle cycle{ReadLittleEndian32(&bytes[usb::kAddressOffset]),
                                 ReadLittleEndian16(&bytes[usb::kBusCycleDataOffset])};
            record(busCycles_, cycle);
            flash_.busCycle(cycle.address, cycle.data);
            answer(bytes);
            return;
        }
        case usb::kErasePoll: {
            if (size != usb::kErasePollBytes) {
                break;
            }
            engine_ = Engine::Flash;
            std::vector<uint8_t> reply(usb::kErasePollAnswerBytes, 0);
            std::copy(bytes.begin(), bytes.end(), reply.begin());
            WriteLittleEndian16(&reply[usb::kErasePollWordOffset],
                                flash_.read(ReadLittleEndian32(&bytes[usb::kAddressOffset])));
            answer(std::move(reply));
            return;
        }
        case usb::kProgramTemplate:
            if (!IsTemplateSize(size, usb::kProgramTemplateFixedBytes)) {
                break;
            }
            programmingTemplate(bytes);
            return;
        case usb::kWriteBufferTemplate:
            if (!IsTemplateSize(size, usb::kWriteBufferTemplateFixedBytes)) {
                break;
            }
            programmingTemplate(bytes);
            return;
        case usb::kProgramBufferTemplate:
            if (!IsTemplateSize(size, usb::kProgramBufferTemplateFixedBytes)) {
                break;
            }
            programmingTemplate(bytes);
            return;
        case usb::kHeader:
            if (size != usb::kHeaderBytes) {
                break;
            }
            header(bytes);
            return;
        case usb::kSumRequest:
            if (size != usb::kFlashSumRequestBytes && size != usb::kPacketSumRequestBytes) {
                break;
            }
            sumRequest(bytes);
            return;
        case usb::kResult:
            if (size != usb::kResultBytes) {
                break;
            }
            record(resultFlags_, bytes[usb::kResultFlagOffset]);
            answer(bytes);
            return;
        default:
            break;
    }
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", bytes[usb::kCommandOffset]);
    error("frame " + std::string(code) + " of " + std::to_string(size) + " bytes not understood");
}

void SimulatedInstrument::handshake(const std::vector<uint8_t>& bytes) {
    if (bytes.size() != usb::kHandshakeBytes ||
        bytes[usb::kHandshakeMagic1Offset] != usb::kHandshakeMagic1 ||
        bytes[usb::kHandshakeMagic2Offset] != usb::kHandshakeMagic2) {
        error("malformed handshake");
        return;
    }
    // A handshake starts the conversation afresh.
    answers_.clear();
    engine_ = Engine::Packet;
    templateSeen_ = false;
    packetSum_ = 0;
    ++handshakes_;
    if (handshakes_ <= faults_.wrongHandshakes) {
        hit();
        answer({faults_.wrongHandshakeAnswer});
        return;
    }
    record(chipTypes_, bytes[usb::kHandshakeChipTypeOffset]);
    answer({usb::kReady});
}

void SimulatedInstrument::programmingTemplate(const std::vector<uint8_t>& bytes) {
    // How the instrument is to program the data that follows: only the flash-command engine
    // sends these.
    engine_ = Engine::Flash;
    templateSeen_ = true;
    echoFrame(bytes);
}

void SimulatedInstrument::echoFrame(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> echo = bytes;
    ++echoes_;
    if (faults_.badEchoes.contains(echoes_)) {
        hit();
        // The byte after the command (a template's count, a header's address) comes back
        // inverted, which the host's comparison of the echo must catch.
        echo[usb::kCommandOffset + 1] ^= 0xFF;
    }
    answer(std::move(echo));
}

void SimulatedInstrument::header(const std::vector<uint8_t>& bytes) {
    const bool flash = engine_ == Engine::Flash;
    if (flash && !templateSeen_) {
        error("block header before any programming template");
    }
    uint32_t length = ReadLittleEndian16(&bytes[usb::kHeaderLengthOffset]);
    if (length == 0) {
        length = usb::kFullLengthField;
    }
    data_ = DataPhase{};
    data_.active = true;
    data_.address = ReadLittleEndian32(&bytes[usb::kAddressOffset]);
    data_.expected = flash ? 2 * length : length;  // words in a flash block, bytes in a packet
    data_.sum = ReadLittleEndian16(&bytes[usb::kHeaderSumOffset]);
    data_.received.reserve(data_.expected);
    echoFrame(bytes);
}

void SimulatedInstrument::data(const uint8_t* bytes, size_t size) {
    const size_t room = data_.expected - data_.received.size();
    if (size > room) {
        error("data longer than its header announced");
        size = room;
    }
    data_.received.insert(data_.received.end(), bytes, bytes + size);
    if (data_.received.size() == data_.expected) {
        finishData();
    }
}

void SimulatedInstrument::finishData() {
    const std::vector<uint8_t>& received = data_.received;
    uint32_t sum = 0;
    if (engine_ == Engine::Flash) {
        for (size_t i = 0; i + 1 < received.size(); i += 2) {
            sum += ReadLittleEndian16(&received[i]);
        }
    } else {
        for (uint8_t byte : received) {
            sum += byte;
        }
    }
    data_.active = false;
    ++verdicts_;
    const bool refused = faults_.badVerdicts.contains(verdicts_);
    if (refused) {
        hit();
    }
    if (static_cast<uint16_t>(sum) != data_.sum || refused) {
        answer({kRefusedVerdict});
        return;
    }
    answer({usb::kSumMatched});
    if (engine_ == Engine::Flash) {
        for (size_t i = 0; i + 1 < received.size(); i += 2) {
            flash_.program(data_.address + static_cast<uint32_t>(i / 2),
                           ReadLittleEndian16(&received[i]));
        }
    } else {
        target_.write(data_.address, received);
        packetSum_ = static_cast<uint16_t>(packetSum_ + sum);
    }
    ++blocksAccepted_;
    ++endAnswers_;
    const bool wrongEnd = faults_.wrongEndAnswers.contains(endAnswers_);
    if (wrongEnd) {
        hit();
    }
    answer({wrongEnd ? kWrongEndAnswer : usb::kWritingEnded});
}

void SimulatedInstrument::sumRequest(const std::vector<uint8_t>& bytes) {
    uint16_t sum = 0;
    if (bytes.size() == usb::kFlashSumRequestBytes) {
        // The sector's words as the flash holds them.
        sum = flash_.wordSum(ReadLittleEndian32(&bytes[usb::kAddressOffset]),
                             ReadLittleEndian32(&bytes[usb::kSumRequestLengthOffset]));
    } else {
        // Everything received in accepted packets since the handshake.
        sum = packetSum_;
    }
    ++sums_;
    if (faults_.wrongSums.contains(sums_)) {
        hit();
        ++sum;
    }
    std::vector<uint8_t> reply(usb::kSumAnswerBytes, 0);
    // The request echoed up to where the sum goes.
    std::copy_n(bytes.begin(), usb::kSumAnswerSumOffset, reply.begin());
    WriteLittleEndian16(&reply[usb::kSumAnswerSumOffset], sum);
    answer(std::move(reply));
}

}  // namespace harmoload::sim
