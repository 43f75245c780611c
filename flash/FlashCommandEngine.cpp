#include "flash/FlashCommandEngine.h"

#include "flash/FlashFrames.h"
#include "flash/FlashProfileCheck.h"
#include "platform/Files.h"
#include "platform/Notifier.h"
#include "text/PathText.h"

namespace harmoload {
namespace {

using flash::IsReservedSector;
using flash::SectorAddress;
using flash::SectorSize;
using flash::WordSum;

constexpr EngineMessageKind kFatal = EngineMessageKind::Error;

constexpr const char* kProfileFaultMessage = "some fault errors in configure file";
constexpr const char* kRunFailedMessage = "Update file failed";
constexpr const char* kNoDataMessage =
    "The data file holds nothing to write after the file offset in section - [File Offset]";
constexpr uint8_t kErasedByte = 0xFF;

}  // namespace

FlashCommandEngine::FlashCommandEngine(Notifier& notifier, Clock& clock)
    : notifier_(&notifier), clock_(clock) {
    link_.setNotifier(&notifier);
    link_.setClock(clock);
}

void FlashCommandEngine::setNotifier(Notifier& notifier) {
    notifier_ = &notifier;
    link_.setNotifier(&notifier);
}

void FlashCommandEngine::resetProfile() {
    profile_ = FlashProfile{};
    dataPosition_ = 0;
    bytesAccounted_ = 0;
    sectorsInUse_ = 0;
    eraseRetries_ = 0;
    failedPolls_ = 0;
    phase_ = FlashPhase::None;
    phaseSector_ = 0;
    stepsDone_ = 0;
}

bool FlashCommandEngine::readProfile(const std::string& path) {
    return ReadFlashProfileFile(path, profile_, *notifier_);
}

ProfileVerdict FlashCommandEngine::validateProfile() {
    const ProfileFinding finding = CheckFlashProfile(profile_);
    if (finding.verdict != ProfileVerdict::Passed) {
        showEngineMessage(finding.text, finding.kind);
    }
    return finding.verdict;
}

void FlashCommandEngine::showEngineMessage(const std::string& text, EngineMessageKind kind) {
    if (const std::optional<Message> message = EngineMessage(text, kind)) {
        notifier_->showMessage(*message);
    }
}

ProgressEvent FlashCommandEngine::progressEvent(ProgressChange change, uint32_t done) const {
    ProgressEvent event;
    event.engine = ProgressEngine::Flash;
    event.change = change;
    event.done = done;
    event.total = static_cast<uint32_t>(3 * sectorsInUse_);
    event.phase = phase_;
    event.sector = phase_ == FlashPhase::None ? 0 : static_cast<uint32_t>(phaseSector_ + 1);
    event.sectors = static_cast<uint32_t>(sectorsInUse_);
    return event;
}

void FlashCommandEngine::postSteps(uint32_t done) {
    stepsDone_ = done;
    notifier_->postProgress(progressEvent(ProgressChange::Count, done));
}

void FlashCommandEngine::enterPhase(FlashPhase phase, size_t i) {
    phase_ = phase;
    phaseSector_ = i;
    notifier_->postProgress(progressEvent(ProgressChange::Phase, stepsDone_));
}

bool FlashCommandEngine::fail(const std::string& text) {
    showEngineMessage(text, kFatal);
    return false;
}

bool FlashCommandEngine::run(const std::string& dataPath) {
    const bool done = runSteps(dataPath);
    // The end steps, after success and failure alike.
    link_.close();
    dataFile_.close();
    data_ = {};
    workingStart_ = 0;
    remainingLength_ = 0;
    if (!done) {
        showEngineMessage(kRunFailedMessage, kFatal);
    }
    return done;
}

bool FlashCommandEngine::runSteps(const std::string& dataPath) {
    if (dataPath.empty()) {
        return fail("select a data file first");
    }
    if (!FileExists(dataPath)) {
        return fail("the path of data file not exist");
    }
    resetProfile();
    if (profilePath_.empty()) {
        profilePath_ = ProgramDirectory() + kDefaultFlashProfileName;
    }
    readProfile(profilePath_);

    switch (validateProfile()) {
        case ProfileVerdict::Passed:
            break;
        case ProfileVerdict::Warning: {
            if (notifier_->showMessage({"Warning", kContinueQuestion, MessageButtons::YesNo,
                                        MessageIcon::Information}) != MessageAnswer::Yes) {
                return false;
            }
            // Going on past the warning does not waive the checks that come after it: an empty
            // reserved-sector list would otherwise have the boot sectors erased.
            const ProfileFinding fault = CheckFlashProfileFaults(profile_);
            if (fault.verdict != ProfileVerdict::Passed) {
                showEngineMessage(fault.text, fault.kind);
                return fail(kProfileFaultMessage);
            }
            break;
        }
        case ProfileVerdict::Fatal:
            return fail(kProfileFaultMessage);
    }
    // What the checks let through but would make the run send short templates, divide by a
    // block size of 0, read before or past the data, or lay sectors of no or negative size:
    // stopped here, before the instrument is touched.
    if (const std::optional<std::string> fault = FindRunFault(profile_)) {
        fail(*fault);
        if (*fault != kNotEnoughSectorSizeMessage) {
            fail(kProfileFaultMessage);
        }
        return false;
    }

    // The data is loaded and checked before the instrument is touched: a file with nothing to
    // write must not cost the instrument its first sector.
    if (!loadData(dataPath)) {
        return false;
    }
    if (!link_.open()) {
        return fail("open usb device failed");
    }
    if (!handshake()) {
        return fail("handshake with usb device failed");
    }
    // The data ends inside sector N - 1 (or exactly at its end).
    const size_t sectors = profile_.sectorAddresses.size();
    const int64_t first = SectorAddress(profile_, 0);
    sectorsInUse_ = sectors;
    for (size_t k = 1; k < sectors; ++k) {
        if (2 * (SectorAddress(profile_, k) - first) >= remainingLength_) {
            sectorsInUse_ = k;
            break;
        }
    }
    postSteps(0);

    if (!programmingPass() || !verificationPass()) {
        return false;
    }
    postSteps(static_cast<uint32_t>(3 * sectorsInUse_));
    return true;
}

bool FlashCommandEngine::loadData(const std::string& dataPath) {
    std::optional<uint64_t> size;
    if (!dataFile_.open(dataPath, FileAccess::Read) || !(size = dataFile_.size())) {
        return fail("open data file failed");
    }
    const auto fileLength = static_cast<int64_t>(*size);
    const int64_t skipped = 2 * int64_t{profile_.fileOffset};  // never negative here
    if (skipped > fileLength) {
        return fail("The file offset in section - [File Offset] is lager than the file size");
    }
    if (skipped == fileLength) {
        return fail(kNoDataMessage);
    }
    // The capacity is known before the data is read, so that a file too large for the sectors
    // is refused without being loaded. Reserved sectors count toward it; the last sector has
    // the size of the one before it.
    const size_t sectors = profile_.sectorAddresses.size();
    const int64_t capacity =
        2 * (int64_t{SectorAddress(profile_, sectors - 1)} - SectorAddress(profile_, 0)) +
        SectorSize(profile_, sectors - 1);
    if (capacity < fileLength - skipped) {
        return fail(kNotEnoughSectorSizeMessage);
    }
    data_.resize(static_cast<size_t>(fileLength));
    if (!dataFile_.readAt(0, data_.data(), data_.size())) {
        return fail("open data file failed");
    }
    if (dataCheck_ && !dataCheck_(data_)) {
        return false;
    }
    fileLength_ = fileLength;
    workingStart_ = static_cast<size_t>(skipped);
    remainingLength_ = fileLength - skipped;
    // The engine moves whole words: an odd last byte goes as a last word whose other byte is
    // the erased value, so that programming leaves that byte as it was, and the word is summed
    // and verified like any other.
    if (remainingLength_ % 2 != 0) {
        data_.push_back(kErasedByte);
        ++remainingLength_;
    }
    return true;
}

bool FlashCommandEngine::programmingPass() {
    dataPosition_ = 0;
    bytesAccounted_ = 0;
    // Failed writes in a row, across sectors: a success starts the count again.
    int writeFailures = 0;
    for (size_t i = 0; i < sectorsInUse_; ++i) {
        const int64_t size = SectorSize(profile_, i);
        const auto step = static_cast<uint32_t>(3 * i);
        if (IsReservedSector(profile_, i)) {
            dataPosition_ += size;
            bytesAccounted_ += size;
            continue;
        }
        for (;;) {
            eraseRetries_ = 0;
            failedPolls_ = 0;
            enterPhase(FlashPhase::Erasing, i);
            const bool erased = eraseSector(i);
            postSteps(step + 1);
            if (!erased) {
                return fail("erase the sector failed");
            }
            enterPhase(FlashPhase::Writing, i);
            const bool written =
                profile_.bufferedWrite ? programSectorBuffered(i) : programSector(i);
            postSteps(step + 2);
            bytesAccounted_ += size;
            if (written) {
                writeFailures = 0;
                // The last sector's third step comes with the end of the verification.
                if (i + 1 != sectorsInUse_) {
                    postSteps(step + 3);
                }
                break;
            }
            if (++writeFailures > flash::kMaxWriteFailures) {
                return fail("write the sector failed");
            }
            // The whole sector again, erase included, from the start of its data.
            bytesAccounted_ -= size;
            dataPosition_ = bytesAccounted_;
        }
    }
    return true;
}

bool FlashCommandEngine::verificationPass() {
    dataPosition_ = 0;
    bytesAccounted_ = 0;
    for (size_t i = 0; i < sectorsInUse_; ++i) {
        const int64_t size = SectorSize(profile_, i);
        if (IsReservedSector(profile_, i)) {
            dataPosition_ += size;
            bytesAccounted_ += size;
            continue;
        }
        const int64_t bytes = i + 1 == sectorsInUse_ ? remainingLength_ - bytesAccounted_ : size;
        bytesAccounted_ += size;
        if (dataPosition_ < 0 || bytes < 0 || dataPosition_ + bytes > remainingLength_) {
            // The accounting keeps every sector inside the data; this never trips while it holds.
            return fail("the checksum isn't right");
        }
        const uint16_t sum = WordSum(working() + dataPosition_, static_cast<size_t>(bytes));
        dataPosition_ += bytes;
        const auto address = static_cast<uint32_t>(SectorAddress(profile_, i));
        const auto words = static_cast<uint32_t>(bytes / 2);
        enterPhase(FlashPhase::Verifying, i);
        bool agreed = false;
        for (int attempt = 0; attempt < flash::kVerifyAttempts && !agreed; ++attempt) {
            agreed = verifySector(address, words, sum);
        }
        if (!agreed) {
            return fail("the checksum isn't right");
        }
    }
    return true;
}

}  // namespace harmoload
