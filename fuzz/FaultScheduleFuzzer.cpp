// Runs whole updates of a two-pair package (unpacking, the packet transfer, the flash commands
// and the result frame) with the sample profiles, against a simulated instrument that commits
// the faults the input schedules: transfers that fail, an instrument that falls silent, answers
// that come back short, empty, altered or one read late, writes that move only part of their
// bytes. The flash data repeats from sector to sector, so that a sum read for the wrong sector
// would agree. Besides the sanitizers' findings it stops on a run that goes on more than five
// minutes after the instrument fell silent, or more than an hour in all, and on a run that
// reports success while the instrument does not hold exactly the data.
//
// Input: one byte whose lowest bit picks the order of the pairs (1: packet transfer first),
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
#include "package/PackageBuilder.h"
#include "package/PackageVerifier.h"
#include "platform/Notifier.h"
#include "platform/testing/VirtualClock.h"
#include "sim/SimulatedUsb.h"
#include "transfer/PacketTransferEngine.h"
#include "update/UpdateRun.h"

namespace {

using namespace harmoload;
using Bytes = std::vector<uint8_t>;

constexpr size_t kRecordSize = 4;
constexpr size_t kMaxRecords = 24;
// Fault-free runs take some 400 transfers; later ordinals reach the retries that faults cause.
constexpr int kOrdinals = 1024;
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
        switch (kind % 13) {
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
            case 11:
                faults.lateAnswers.insert(ordinal);
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

// Two sectors of the same bytes and an odd 601 bytes of a third, with the sample profile's
// 64 KiB sectors: the odd last byte goes as a word padded with 0xFF.
const Bytes& FlashData() {
    static const Bytes data = [] {
        const Bytes sector = Pattern(65536);
        Bytes bytes = sector;
        bytes.insert(bytes.end(), sector.begin(), sector.end());
        bytes.insert(bytes.end(), sector.begin(), sector.begin() + 601);
        return bytes;
    }();
    return data;
}

// Three packets of the sample's 4 KiB.
const Bytes& TransferData() {
    static const Bytes data = Pattern(9000);
    return data;
}

// The package, built once; first: which pair comes first.
const std::string& Package(bool transferFirst) {
    static const auto build = [](bool first) {
        const std::string examples = HARMOLOAD_EXAMPLES_DIR;
        const PackagePair transfer{"R1", examples + "/R1.ini", WriteData("R1.BIN", TransferData())};
        const PackagePair flash{"R2", examples + "/R2.ini", WriteData("R2.BIN", FlashData())};
        const std::string path = WorkFolder() + (first ? "transfer-first.DAT" : "flash-first.DAT");
        SilentNotifier notifier;
        if (!BuildPackage(
                {"M", "V", {}, first ? std::vector{transfer, flash} : std::vector{flash, transfer}},
                path, notifier)) {
            std::abort();
        }
        return path;
    };
    static const std::string transferFirstPath = build(true);
    static const std::string flashFirstPath = build(false);
    return transferFirst ? transferFirstPath : flashFirstPath;
}

bool HoldsTheData(sim::SimulatedInstrument& instrument) {
    Bytes flash = FlashData();
    flash.push_back(0xFF);
    return instrument.flash().bytes(0, static_cast<uint32_t>(flash.size() / 2)) == flash &&
           instrument.target().read(kTransferStart, static_cast<uint32_t>(TransferData().size())) ==
               TransferData();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string& packagePath = Package((data[0] & 1) != 0);
    OpenedPackage package;
    if (ReadPackage(packagePath, package) != PackageFault::None) {
        std::abort();
    }
    sim::SimulatorOptions options;
    // The first sectors of the sample profile's flash are all a run reaches.
    options.config.flash = sim::FlashGeometry::Uniform(0x8000, 4);
    options.faults = Schedule(data + 1, size - 1);
    VirtualClock clock;
    SilentNotifier notifier;
    sim::SimulatedUsb usb(clock, options);
    PacketTransferEngine transfer(notifier, clock);
    FlashCommandEngine flash(notifier, clock);
    for (UsbLink* link : {&transfer.link(), &flash.link()}) {
        sim::BindToSimulator(*link, usb, clock);
        link->setConsole(Discard());
    }
    const IniFile noTable;
    UpdateRunSetup setup;
    setup.packagePath = packagePath;
    setup.package = package.record;
    setup.workFolder = WorkFolder();
    setup.transfer = &transfer;
    setup.flash = &flash;
    setup.notifier = &notifier;
    setup.languageTable = &noTable;
    const bool ok = RunUpdate(setup);
    if (ok && !HoldsTheData(usb.instrument())) {
        std::abort();
    }
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
