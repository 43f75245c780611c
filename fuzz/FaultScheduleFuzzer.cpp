// Runs whole updates of one engine, with the sample profiles, against a simulated instrument
// that commits the faults the input schedules: transfers that fail, an instrument that falls
// silent, answers that come back short, empty or altered, writes that move only part of their
// bytes. Besides the sanitizers' findings it stops on a run that goes on more than five minutes
// after the instrument fell silent, or more than an hour in all, and on a run that reports
// success while the instrument does not hold exactly the data.
//
// Input: one byte whose lowest bit picks the engine (1: packet transfer, 0: flash command),
// then records of four bytes: fault kind, ordinal (two bytes, big-endian) and an argument.

#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "flash/FlashCommandEngine.h"
#include "platform/Notifier.h"
#include "platform/testing/VirtualClock.h"
#include "sim/SimulatedUsb.h"
#include "transfer/PacketTransferEngine.h"

namespace {

using namespace harmoload;
using Bytes = std::vector<uint8_t>;

constexpr size_t kRecordSize = 4;
constexpr size_t kMaxRecords = 24;
// Fault-free runs take about 150 transfers; later ordinals reach the retries that faults cause.
constexpr int kOrdinals = 512;
constexpr auto kSilenceBound = std::chrono::minutes(5);
constexpr auto kRunBound = std::chrono::hours(1);

// Where the sample transfer profile sends its data.
constexpr uint32_t kTransferStart = 0x100000;

class SilentNotifier final : public Notifier {
  public:
    // The flash profile's warning is never raised by the sample profile; a question gets Yes.
    MessageAnswer showMessage(const Message& message) override {
        return message.buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    void postProgress(const ProgressEvent&) override {}
};

Bytes Pattern(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>((i * 29 + i / 397 + 3) & 0xFF);
    }
    return bytes;
}

sim::InstrumentFaults Schedule(const uint8_t* data, size_t size) {
    sim::InstrumentFaults faults;
    for (size_t at = 0; at + kRecordSize <= size && at / kRecordSize < kMaxRecords;
         at += kRecordSize) {
        const uint8_t kind = data[at];
        const int ordinal = (data[at + 1] << 8 | data[at + 2]) % kOrdinals + 1;
        const uint8_t argument = data[at + 3];
        const int code = argument % 2 == 0 ? sim::kTimedOut : sim::kGone;
        switch (kind % 12) {
            case 0:
                faults.unplugAtTransfer = ordinal;
                break;
            case 1:
                faults.stallFromTransfer = ordinal;
                break;
            case 2:
                faults.readErrors[ordinal] = code;
                break;
            case 3:
                faults.writeErrors[ordinal] = code;
                break;
            case 4:
                faults.shortAnswers[ordinal] = argument % 16;
                break;
            case 5:
                faults.alteredAnswers[ordinal] = argument % 16;
                break;
            case 6:
                // Up to 127 bytes, or whole 64-byte packets as a stalled bulk transfer moves them.
                faults.partialWrites[ordinal] =
                    argument < 128 ? argument : size_t{argument - 128u} * 64;
                break;
            case 7:
                faults.badEchoes.insert(ordinal);
                break;
            case 8:
                faults.badVerdicts.insert(ordinal);
                break;
            case 9:
                faults.wrongEndAnswers.insert(ordinal);
                break;
            case 10:
                faults.wrongSums.insert(ordinal);
                break;
            default:
                faults.wrongHandshakes = argument % 32;
                break;
        }
    }
    return faults;
}

const std::string& WorkFolder() {
    static const std::string folder = [] {
        const auto path = std::filesystem::temp_directory_path() /
                          ("harmoload-fuzz-faults-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path.string() + "/";
    }();
    return folder;
}

// Where the lines about failed writes go: nowhere.
std::ostream& Discard() {
    static std::ostream discard(nullptr);
    return discard;
}

std::string WriteData(const std::string& name, const Bytes& data) {
    const std::string path = WorkFolder() + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
    return path;
}

// The flash engine over one sector and a little of a second, with the sample profile's 64 KiB
// sectors.
bool RunFlash(sim::SimulatedUsb& usb, VirtualClock& clock, Notifier& notifier) {
    static const Bytes data = Pattern(65536 + 600);
    static const std::string dataPath = WriteData("FLASH.BIN", data);
    FlashCommandEngine engine(notifier, clock);
    sim::BindToSimulator(engine.link(), usb, clock);
    engine.link().setConsole(Discard());
    engine.setProfilePath(std::string(HARMOLOAD_EXAMPLES_DIR) + "/R2.ini");
    const bool ok = engine.run(dataPath);
    if (ok && usb.instrument().flash().bytes(0, data.size() / 2) != data) {
        std::abort();
    }
    return ok;
}

// The packet transfer of three packets of the sample's 4 KiB.
bool RunTransfer(sim::SimulatedUsb& usb, VirtualClock& clock, Notifier& notifier) {
    static const Bytes data = Pattern(9000);
    static const std::string dataPath = WriteData("TRANSFER.BIN", data);
    PacketTransferEngine engine(notifier, clock);
    sim::BindToSimulator(engine.link(), usb, clock);
    engine.link().setConsole(Discard());
    engine.setProfilePath(std::string(HARMOLOAD_EXAMPLES_DIR) + "/R1.ini");
    const bool ok = engine.run(dataPath);
    engine.link().close();
    if (ok && usb.instrument().target().read(kTransferStart, static_cast<uint32_t>(data.size())) !=
                  data) {
        std::abort();
    }
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    sim::SimulatorOptions options;
    // The first sectors of the sample profile's flash are all a run reaches.
    options.config.flash = sim::FlashGeometry::Uniform(0x8000, 4);
    options.faults = Schedule(data + 1, size - 1);
    VirtualClock clock;
    SilentNotifier notifier;
    sim::SimulatedUsb usb(clock, options);
    const bool transfer = (data[0] & 1) != 0;
    const bool ok = transfer ? RunTransfer(usb, clock, notifier) : RunFlash(usb, clock, notifier);
    if (const auto silentSince = usb.instrument().silentSince()) {
        if (ok || clock.now() - *silentSince > kSilenceBound) {
            std::abort();
        }
    }
    if (clock.now() > kRunBound) {
        std::abort();
    }
    return 0;
}
