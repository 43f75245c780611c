#pragma once
// The shipped sample package and what an instrument holds after a whole update with it: the
// sound data at the transfer profile's start address, the firmware image from flash word 0.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sim/SimulatedInstrument.h"

namespace harmoload::testing {

struct SamplePackage {
    static constexpr uint32_t kSoundAddress = 0x100000;  // examples/R1.ini
    static constexpr uint32_t kFirmwareWord = 0;         // examples/R2.ini: file offset 0

    static std::string Folder() { return HARMOLOAD_SAMPLE_DIR; }
    static std::string Path() { return Folder() + "/Sample.DAT"; }
    static std::vector<uint8_t> Read(const std::string& name) {
        std::ifstream in(std::filesystem::path(Folder()) / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Whether the instrument holds both data files where the sample's profiles put them.
    static bool Holds(sim::SimulatedInstrument& instrument) {
        const std::vector<uint8_t> sound = Read("SampleSound.bin");
        const std::vector<uint8_t> firmware = Read("SampleFirmware.bin");
        return !sound.empty() && !firmware.empty() &&
               instrument.target().read(kSoundAddress, static_cast<uint32_t>(sound.size())) ==
                   sound &&
               instrument.flash().bytes(kFirmwareWord,
                                        static_cast<uint32_t>(firmware.size() / 2)) ==
                   std::vector<uint8_t>(firmware.begin(), firmware.end() - firmware.size() % 2);
    }
};

}  // namespace harmoload::testing
