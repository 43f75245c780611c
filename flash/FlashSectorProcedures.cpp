// The frames of each step of a flash run: handshake, sector erase with polling, the
// programming templates, the data blocks and the sector checksum.

#include <algorithm>
#include <array>

#include "bytes/LittleEndian.h"
#include "flash/FlashCommandEngine.h"
#include "flash/FlashFrames.h"
#include "platform/Clock.h"
#include "platform/Notifier.h"
#include "usb/InstrumentContract.h"

namespace harmoload {
namespace {

using flash::Frame;

bool Complete(TransferStatus status) {
    return status == TransferStatus::Complete;
}

// Entry k of a cycle list; the run never lets a list be shorter than its cycles.
int32_t Entry(const std::vector<int32_t>& list, size_t k) {
    return k < list.size() ? list[k] : 0;
}

// The erase cycles' addresses are relative to the sector unless the first sector starts at
// this word address, where the instrument takes them as they stand.
constexpr int32_t kAbsoluteCyclesFirstSector = 0x1400;

}  // namespace

bool FlashCommandEngine::handshake() {
    const Frame frame = flash::HandshakeFrame(profile_.chipType);
    if (!link_.open()) {
        return false;
    }
    // Failed exchanges and wrong answers are counted apart.
    int transferFailuresLeft = flash::kHandshakeTransferRetries;
    int wrongAnswers = 0;
    for (;;) {
        uint8_t answer = 0;
        bool exchanged = Complete(link_.write(frame.data(), frame.size()));
        if (exchanged) {
            clock_.sleep(flash::kHandshakeAnswerWait);
            exchanged = Complete(link_.read(&answer, 1));
        }
        if (exchanged) {
            if (answer == usb::kReady) {
                link_.forgetOwedAnswers();
                return true;
            }
            if (++wrongAnswers > flash::kHandshakeWrongAnswerLimit) {
                return false;
            }
            continue;
        }
        if (transferFailuresLeft == 0) {
            return false;
        }
        --transferFailuresLeft;
        clock_.sleep(flash::kHandshakeFailureWait);
    }
}

bool FlashCommandEngine::sendBusCycle(uint32_t address, int32_t data) {
    const Frame frame = flash::BusCycleFrame(address, data);
    return link_.sendDroppingAnswer(frame.data(), frame.size(), usb::kBusCycleAnswerBytes);
}

bool FlashCommandEngine::eraseSector(size_t i) {
    const auto sector = static_cast<uint32_t>(flash::SectorAddress(profile_, i));
    if (!link_.open()) {
        return false;
    }
    const bool relative = profile_.sectorAddresses.empty() ||
                          profile_.sectorAddresses.front() != kAbsoluteCyclesFirstSector;
    const auto cycles = static_cast<size_t>(std::max(profile_.eraseCycleCount, 0));
    for (size_t c = 0; c < cycles; ++c) {
        // The last cycle goes to the sector itself; its entry of the address list is not used.
        uint32_t address = sector;
        if (c + 1 < cycles) {
            address = static_cast<uint32_t>(Entry(profile_.eraseAddresses, c));
            if (relative) {
                address += sector;
            }
        }
        if (!sendBusCycle(address, Entry(profile_.eraseData, c))) {
            return false;
        }
    }

    // Two reads of the check value in a row mean the sector is erased. Past the deadline the
    // erase is started again (nested, sharing the engine's retry count), and the polling goes
    // on where it was: every further poll that does not complete a pair starts another.
    // The deadline is kept on the clock, so that time spent inside failing transfers counts; an
    // instrument that stops answering ends the erase after a few failed polls in a row, at
    // every level of nesting at once.
    const Frame poll = flash::ErasePollFrame(sector);
    const std::chrono::milliseconds pollingSince = clock_.now();
    bool firstPoll = true;
    int goodReads = 0;
    for (;;) {
        const bool sent = Complete(link_.write(poll.data(), poll.size()));
        clock_.sleep(firstPoll ? flash::kFirstPollWait : flash::kNextPollWait);
        firstPoll = false;
        std::array<uint8_t, usb::kErasePollAnswerBytes> answer{};
        usb::ExpectNoAnswer16(&answer[usb::kErasePollWordOffset],
                              static_cast<uint16_t>(profile_.eraseCheckValue));
        // An answer shorter than a poll's, none included, is no answer: firmware that answers
        // with empty packets must still end the erase as a silent instrument does.
        const bool answered = sent && Complete(link_.readAnswer(answer.data(), answer.size())) &&
                              link_.lastReadBytes() == answer.size();
        const int32_t value = ReadLittleEndian16(&answer[usb::kErasePollWordOffset]);
        if (answered && value == profile_.eraseCheckValue) {
            if (++goodReads >= flash::kGoodPollsNeeded) {
                return true;
            }
        } else {
            goodReads = 0;
        }
        if (!answered) {
            if (++failedPolls_ >= flash::kMaxFailedPollsInARow) {
                return false;
            }
            continue;
        }
        failedPolls_ = 0;
        if (clock_.now() - pollingSince <= std::chrono::milliseconds(profile_.maxSectorEraseTime)) {
            continue;
        }
        if (++eraseRetries_ > flash::kMaxRepeatedErases) {
            return false;
        }
        link_.drainPendingAnswers(flash::kLateEraseDrainBytes);
        eraseSector(i);
        if (failedPolls_ >= flash::kMaxFailedPollsInARow) {
            return false;
        }
    }
}

bool FlashCommandEngine::exchangeTemplate(const Frame& frame, int retries) {
    Frame echo(frame.size());
    for (int wrongEchoes = 0;;) {
        if (!Complete(link_.write(frame.data(), frame.size()))) {
            return false;
        }
        usb::ExpectNoAnswer(echo.data(), frame.data(), frame.size());
        if (!Complete(link_.readAnswer(echo.data(), echo.size()))) {
            return false;
        }
        if (echo == frame) {
            return true;
        }
        if (++wrongEchoes > retries) {
            return false;
        }
    }
}

bool FlashCommandEngine::programSector(size_t i) {
    return exchangeTemplate(flash::ProgramTemplateFrame(profile_), flash::kProgramEchoRetries) &&
           writeSectorData(i);
}

bool FlashCommandEngine::programSectorBuffered(size_t i) {
    return exchangeTemplate(flash::WriteBufferTemplateFrame(profile_), flash::kBufferEchoRetries) &&
           exchangeTemplate(flash::ProgramBufferTemplateFrame(profile_),
                            flash::kBufferEchoRetries) &&
           writeSectorData(i);
}

bool FlashCommandEngine::writeSectorData(size_t i) {
    uint32_t address = static_cast<uint32_t>(flash::SectorAddress(profile_, i));
    // The last sector in use takes the rest of the data, padded to whole words when loaded.
    const int64_t bytes = i + 1 == sectorsInUse_ ? remainingLength_ - bytesAccounted_
                                                 : flash::SectorSize(profile_, i);
    const int64_t blockWords = profile_.blockSize;
    if (blockWords <= 0) {
        return false;
    }
    const int64_t words = bytes / 2;
    const int64_t blocks = (words + blockWords - 1) / blockWords;
    if (blocks < 1) {
        return true;
    }
    std::vector<uint8_t> block(static_cast<size_t>(2 * blockWords));
    int resends = 0;
    for (int64_t k = 1; k <= blocks; ++k) {
        const int64_t count = k < blocks ? blockWords : words - (blocks - 1) * blockWords;
        const int64_t blockBytes = 2 * count;
        for (;;) {
            // Never past the data: stopped here, nothing of this block is sent.
            if (dataPosition_ < 0 || dataPosition_ + blockBytes > remainingLength_) {
                notifier_->showMessage({kApplicationTitle, "Copy too much data", MessageButtons::Ok,
                                        MessageIcon::None});
                return false;
            }
            std::copy_n(working() + dataPosition_, blockBytes, block.begin());
            const int64_t blockStart = dataPosition_;
            dataPosition_ += blockBytes;

            const Frame header = flash::BlockHeaderFrame(
                address, static_cast<uint32_t>(count),
                flash::WordSum(block.data(), static_cast<size_t>(blockBytes)));
            std::array<uint8_t, usb::kHeaderBytes> echo{};
            usb::ExpectNoAnswer(echo.data(), header.data(), echo.size());
            if (!Complete(link_.write(header.data(), header.size())) ||
                !Complete(link_.readAnswer(echo.data(), echo.size())) ||
                !std::equal(header.begin(), header.begin() + flash::kHeaderEchoComparedBytes,
                            echo.begin())) {
                return false;
            }
            uint8_t verdict = 0;
            usb::ExpectNoAnswer(&verdict, &usb::kSumMatched, 1);
            if (!Complete(link_.write(block.data(), static_cast<size_t>(blockBytes))) ||
                !Complete(link_.readAnswer(&verdict, 1, {usb::kSumMatched, 1}))) {
                return false;
            }
            if (verdict == usb::kSumMatched) {
                uint8_t ended = 0;
                usb::ExpectNoAnswer(&ended, &usb::kWritingEnded, 1);
                if (!Complete(link_.readAnswer(&ended, 1)) || ended != usb::kWritingEnded) {
                    return false;
                }
                resends = 0;
                address += static_cast<uint32_t>(count);
                break;
            }
            // Refused: the same block to the same address again, after a second.
            dataPosition_ = blockStart;
            if (++resends > flash::kMaxBlockResends) {
                return false;
            }
            clock_.sleep(flash::kBlockResendWait);
        }
    }
    return true;
}

bool FlashCommandEngine::verifySector(uint32_t address, uint32_t words, uint16_t sum) {
    const Frame frame = flash::SectorChecksumFrame(address, words);
    if (!Complete(link_.write(frame.data(), frame.size()))) {
        return false;
    }
    std::array<uint8_t, usb::kSumAnswerBytes> answer{};
    usb::ExpectNoAnswer16(&answer[usb::kSumAnswerSumOffset], sum);
    if (!Complete(link_.readAnswer(answer.data(), answer.size()))) {
        return false;
    }
    return ReadLittleEndian16(&answer[usb::kSumAnswerSumOffset]) == sum;
}

}  // namespace harmoload
