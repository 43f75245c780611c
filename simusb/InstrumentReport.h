#pragma once
// What harmoload-sim-usb tells at exit about the instrument it served: the result flags it
// received, its transfer counts and errors, and the parts of its memory asked for, saved to
// files, so that a test on the other side of a virtual machine can check the update.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace harmoload::sim {
class SimulatedInstrument;
}

namespace harmoload::simusb {

enum class MemoryKind {
    Target,  // the packet-transfer engine's memory, in bytes
    Flash,   // the flash, in 16-bit words, saved little-endian
};

// One region to save: START:LENGTH:FILE, numbers decimal or 0x hexadecimal.
struct MemoryDump {
    MemoryKind kind = MemoryKind::Target;
    uint32_t start = 0;
    uint32_t length = 0;
    std::string path;
};

std::optional<MemoryDump> ParseMemoryDump(MemoryKind kind, const std::string& text);

// Lines of KEY=VALUE: result-flags (hexadecimal bytes, oldest first), plugged, reads, writes,
// fillers, blocks-accepted, halts (endpoints halted by the instrument's failures), errors, then
// one error= line for each error.
std::string ReportText(sim::SimulatedInstrument& instrument, int faultHalts);

// Saves the region to its file; false (with error set) when the file cannot be written.
bool SaveMemory(sim::SimulatedInstrument& instrument, const MemoryDump& dump, std::string& error);

}  // namespace harmoload::simusb
