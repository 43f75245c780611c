#include "simusb/InstrumentReport.h"

#include <charconv>
#include <cstdio>
#include <fstream>

#include "sim/SimulatedInstrument.h"

namespace harmoload::simusb {
namespace {

std::optional<uint32_t> ParseNumber(const std::string& text) {
    int base = 10;
    size_t skip = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        skip = 2;
    }
    uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, problem] = std::from_chars(text.data() + skip, end, value, base);
    if (problem != std::errc{} || stop != end || skip == text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<MemoryDump> ParseMemoryDump(MemoryKind kind, const std::string& text) {
    const size_t first = text.find(':');
    const size_t second = first == std::string::npos ? first : text.find(':', first + 1);
    if (second == std::string::npos || second + 1 >= text.size()) {
        return std::nullopt;
    }
    const auto start = ParseNumber(text.substr(0, first));
    const auto length = ParseNumber(text.substr(first + 1, second - first - 1));
    if (!start || !length) {
        return std::nullopt;
    }
    return MemoryDump{kind, *start, *length, text.substr(second + 1)};
}

std::string ReportText(sim::SimulatedInstrument& instrument, int faultHalts) {
    std::string flags;
    for (uint8_t flag : instrument.resultFlags()) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%s%02X", flags.empty() ? "" : " ", flag);
        flags += hex;
    }
    const std::vector<std::string> errors = instrument.errors();
    std::string text = "result-flags=" + flags + "\n";
    text += "plugged=" + std::to_string(instrument.plugged() ? 1 : 0) + "\n";
    text += "reads=" + std::to_string(instrument.reads()) + "\n";
    text += "writes=" + std::to_string(instrument.writes()) + "\n";
    text += "fillers=" + std::to_string(instrument.fillers()) + "\n";
    text += "blocks-accepted=" + std::to_string(instrument.blocksAccepted()) + "\n";
    text += "halts=" + std::to_string(faultHalts) + "\n";
    text += "errors=" + std::to_string(errors.size()) + "\n";
    for (const std::string& error : errors) {
        text += "error=" + error + "\n";
    }
    return text;
}

bool SaveMemory(sim::SimulatedInstrument& instrument, const MemoryDump& dump, std::string& error) {
    const std::vector<uint8_t> bytes = dump.kind == MemoryKind::Target
                                           ? instrument.target().read(dump.start, dump.length)
                                           : instrument.flash().bytes(dump.start, dump.length);
    std::ofstream out(dump.path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        error = "cannot write " + dump.path;
        return false;
    }
    return true;
}

}  // namespace harmoload::simusb
