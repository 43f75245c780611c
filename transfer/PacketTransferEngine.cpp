#include "transfer/PacketTransferEngine.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>
#include <variant>

#include "bytes/LittleEndian.h"
#include "platform/BinaryFile.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Notifier.h"
#include "text/PathText.h"
#include "transfer/TransferFrames.h"
#include "usb/InstrumentContract.h"

namespace harmoload {
namespace {

std::string Format(const char* pattern, int first, int second = 0) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, first, second);
    return text;
}

}  // namespace

PacketTransferEngine::PacketTransferEngine(Notifier& notifier, Clock& clock)
    : notifier_(&notifier), clock_(clock) {
    link_.setNotifier(&notifier);
    link_.setClock(clock);
}

PacketTransferEngine::~PacketTransferEngine() {
    link_.close();
}

void PacketTransferEngine::setNotifier(Notifier& notifier) {
    notifier_ = &notifier;
    link_.setNotifier(&notifier);
}

void PacketTransferEngine::show(const std::string& text) {
    notifier_->showMessage({kApplicationTitle, text, MessageButtons::Ok, MessageIcon::None});
}

bool PacketTransferEngine::run(const std::string& dataPath) {
    if (!FileExists(dataPath)) {
        show("The data file not be exist");
        return false;
    }
    dataPath_ = dataPath;
    if (!readProfile()) {
        show("Read configure file failed");
        return false;
    }
    if (!handshake()) {
        show("Handshaking failed");
        return false;
    }
    if (!transferData()) {
        show("data transmission failed");
        return false;
    }
    if (!sendChecksum()) {
        show("Checksum of last step failed");
        return false;
    }
    return true;
}

bool PacketTransferEngine::readProfile() {
    if (profilePath_.empty()) {
        profilePath_ = ProgramDirectory() + kDefaultTransferProfileName;
    }
    if (!FileExists(profilePath_)) {
        show("Can't find Configure.ini under app directory");
        return false;
    }
    profileReader_.setFile(profilePath_);
    auto parsed = ParseTransferProfile(ReadTransferProfileText(profileReader_));
    if (const auto* fault = std::get_if<TransferProfileFault>(&parsed)) {
        show(TransferProfileFaultMessage(*fault));
        return false;
    }
    profile_ = std::move(std::get<TransferProfile>(parsed));
    return true;
}

bool PacketTransferEngine::handshake() {
    if (!link_.open()) {
        show("Open usb device failed");
        return false;
    }
    const transfer::Frame frame = transfer::HandshakeFrame(profile_.chipType);
    // The answer byte is not cleared between attempts.
    uint8_t answer = 0;
    for (int attempt = 0; attempt < transfer::kHandshakeAttempts; ++attempt) {
        if (link_.write(frame.data(), frame.size()) != TransferStatus::Complete) {
            show("Write handshaking message failed");
            return false;
        }
        clock_.sleep(transfer::kHandshakeWait);
        link_.read(&answer, 1);  // a failed read leaves the answer as it was
        if (answer == usb::kReady) {
            link_.forgetOwedAnswers();
            return true;
        }
    }
    show("Waiting time over when reading handshaking message");
    return false;
}

bool PacketTransferEngine::loadData(std::vector<uint8_t>& data) {
    // The file is checked by its length before it is read whole, so that a file too large for
    // the chip is refused without being loaded.
    BinaryFile file;
    const std::optional<uint64_t> fileSize =
        file.open(dataPath_, FileAccess::Read) ? file.size() : std::nullopt;
    if (!fileSize) {
        show("The data file cannot be read: " + dataPath_);
        return false;
    }
    const auto length = static_cast<int64_t>(*fileSize);
    if (length == 0) {
        show("The file size must not be zero");
        return false;
    }
    // Whole numbers, not 32-bit ones: a large start address must not wrap the limit round.
    if (length > int64_t{profile_.chipSize} - 2 * int64_t{profile_.startAddress}) {
        show("The file size is large than the chip size");
        return false;
    }
    data.resize(static_cast<size_t>(length));
    if (!file.readAt(0, data.data(), data.size())) {
        show("The data file cannot be read: " + dataPath_);
        return false;
    }
    if (dataCheck_ && !dataCheck_(data)) {
        return false;
    }
    if (length < profile_.dataLength) {
        profile_.dataLength = static_cast<int32_t>(length);
    }
    return true;
}

PacketTransferEngine::PacketOutcome PacketTransferEngine::sendPacket(int number, uint32_t address,
                                                                     const uint8_t* bytes,
                                                                     size_t size) {
    const transfer::Frame header = transfer::PacketHeaderFrame(address, bytes, size);
    if (link_.write(header.data(), header.size()) != TransferStatus::Complete) {
        show(Format("Write data message failed: Packet %d", number));
        return PacketOutcome::Failed;
    }
    clock_.sleep(transfer::kHeaderWaitPerKiB * (profile_.dataLength / 1024));
    usb::ExpectNoAnswer(answer_.data(), header.data(), header.size());
    if (link_.readAnswer(answer_.data(), answer_.size()) != TransferStatus::Complete) {
        show(Format("Read data message failed: Packet %d", number));
        return PacketOutcome::Failed;
    }
    if (!std::equal(header.begin(), header.end(), answer_.begin())) {
        show(Format("The reading data back messag is not equal to writing: Packet %d", number));
        return PacketOutcome::Failed;
    }

    for (size_t start = 0, small = 1; start < size; start += transfer::kSmallPacketBytes, ++small) {
        const size_t count = std::min(transfer::kSmallPacketBytes, size - start);
        if (link_.write(bytes + start, count) != TransferStatus::Complete) {
            show(Format("Write file data failed: Packet: %d, Small packet %d", number,
                        static_cast<int>(small)));
            return PacketOutcome::Failed;
        }
    }

    usb::ExpectNoAnswer(answer_.data(), &usb::kSumMatched, 1);
    if (link_.readAnswer(answer_.data(), 1, {usb::kSumMatched, 1}) != TransferStatus::Complete) {
        show(Format("Read back message of checksum failed: Packet %d", number));
        return PacketOutcome::Failed;
    }
    if (answer_[0] != usb::kSumMatched) {
        return PacketOutcome::SumMismatched;
    }
    usb::ExpectNoAnswer(answer_.data(), &usb::kWritingEnded, 1);
    if (link_.readAnswer(answer_.data(), 1) != TransferStatus::Complete) {
        show(Format("Read back message of writing end failed: Packet %d", number));
        return PacketOutcome::Failed;
    }
    if (answer_[0] != usb::kWritingEnded) {
        show(Format("The back message of writing end is not 0xd4: Packet %d", number));
        return PacketOutcome::Failed;
    }
    return PacketOutcome::Accepted;
}

bool PacketTransferEngine::transferData() {
    std::vector<uint8_t> data;
    if (!loadData(data)) {
        return false;
    }
    fileSum_ = transfer::ByteSum(data.data(), data.size());
    const size_t length = data.size();
    const auto packetBytes = static_cast<size_t>(profile_.dataLength);
    const size_t packets = (packetBytes + length - 1) / packetBytes;
    totalSent_ = 0;
    auto address = static_cast<uint32_t>(profile_.startAddress);
    int retries = 0;
    answer_.fill(0);

    for (size_t index = 0; index < packets;) {
        const int number = static_cast<int>(index + 1);
        const size_t offset = index * packetBytes;
        const size_t size = index == packets - 1 ? length - offset : packetBytes;
        totalSent_ += static_cast<uint32_t>(size);
        switch (sendPacket(number, address, data.data() + offset, size)) {
            case PacketOutcome::Failed:
                return false;
            case PacketOutcome::SumMismatched:
                if (retries >= transfer::kMaxResends) {
                    show(Format("The checksum is not matched with PC: Packet %d", number));
                    return false;
                }
                ++retries;  // the same packet again, to the same address
                continue;
            case PacketOutcome::Accepted:
                break;
        }
        retries = 0;
        address += static_cast<uint32_t>(size);
        ++index;
        ProgressEvent progress;
        progress.engine = ProgressEngine::Transfer;
        progress.done = static_cast<uint32_t>(index);
        progress.total = static_cast<uint32_t>(packets);
        progress.bytesDone = offset + size;
        progress.bytesTotal = length;
        notifier_->postProgress(progress);
    }
    return true;
}

bool PacketTransferEngine::sendChecksum() {
    const transfer::Frame frame =
        transfer::ChecksumFrame(static_cast<uint32_t>(profile_.startAddress), totalSent_);
    if (link_.write(frame.data(), frame.size()) != TransferStatus::Complete) {
        show("Write checksum message failed");
        return false;
    }
    std::array<uint8_t, usb::kSumAnswerBytes> answer{};
    usb::ExpectNoAnswer16(&answer[usb::kSumAnswerSumOffset], fileSum_);
    if (link_.readAnswer(answer.data(), answer.size()) != TransferStatus::Complete) {
        show("Read checksum message failed");
        return false;
    }
    const uint16_t instrumentSum = ReadLittleEndian16(&answer[usb::kSumAnswerSumOffset]);
    if (instrumentSum != fileSum_) {
        char text[96];
        std::snprintf(text, sizeof text, "The checksum can't match whith PC: %x - %x",
                      static_cast<unsigned>(instrumentSum), static_cast<unsigned>(fileSum_));
        show(text);
        return false;
    }
    return true;
}

}  // namespace harmoload
