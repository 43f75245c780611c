#include "sim/SimulatorOptions.h"

#include <charconv>
#include <chrono>
#include <string_view>

namespace harmoload::sim {
namespace {

std::vector<std::string_view> Split(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> parts;
    size_t begin = 0;
    while (begin <= text.size()) {
        const size_t end = text.find_first_of(separators, begin);
        const std::string_view part = text.substr(
            begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
        if (!part.empty()) {
            parts.push_back(part);
        }
        if (end == std::string_view::npos) {
            break;
        }
        begin = end + 1;
    }
    return parts;
}

template <typename Number>
bool ReadNumber(std::string_view text, Number& value, int base = 10) {
    if (base == 16 && (text.starts_with("0x") || text.starts_with("0X"))) {
        text.remove_prefix(2);
    }
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value, base);
    return error == std::errc() && at == end && !text.empty();
}

bool ReadOrdinals(std::string_view text, std::set<int>& ordinals) {
    for (std::string_view part : Split(text, ",")) {
        int ordinal = 0;
        if (!ReadNumber(part, ordinal) || ordinal < 1) {
            return false;
        }
        ordinals.insert(ordinal);
    }
    return !ordinals.empty();
}

bool ReadErrors(std::string_view text, std::map<int, int>& errors) {
    for (std::string_view part : Split(text, ",")) {
        const size_t colon = part.find(':');
        int ordinal = 0;
        int code = 0;
        if (colon == std::string_view::npos || !ReadNumber(part.substr(0, colon), ordinal) ||
            ordinal < 1 || !ReadNumber(part.substr(colon + 1), code) || code >= 0) {
            return false;
        }
        errors[ordinal] = code;
    }
    return !errors.empty();
}

// "N:BYTES,...": ordinal -> a byte count or position.
bool ReadSizes(std::string_view text, std::map<int, size_t>& sizes) {
    for (std::string_view part : Split(text, ",")) {
        const size_t colon = part.find(':');
        int ordinal = 0;
        size_t size = 0;
        if (colon == std::string_view::npos || !ReadNumber(part.substr(0, colon), ordinal) ||
            ordinal < 1 || !ReadNumber(part.substr(colon + 1), size)) {
            return false;
        }
        sizes[ordinal] = size;
    }
    return !sizes.empty();
}

bool ApplyItem(std::string_view key, std::string_view value, bool hasValue,
               SimulatorOptions& options) {
    InstrumentFaults& faults = options.faults;
    if (key == "absent") {
        options.present = false;
        return !hasValue;
    }
    if (!hasValue) {
        return false;
    }
    if (key == "other") {
        const size_t colon = value.find(':');
        OtherDevice other;
        if (colon == std::string_view::npos ||
            !ReadNumber(value.substr(0, colon), other.vendorId, 16) ||
            !ReadNumber(value.substr(colon + 1), other.productId, 16)) {
            return false;
        }
        options.others.push_back(other);
        return true;
    }
    if (key == "erase-ms") {
        int ms = 0;
        if (!ReadNumber(value, ms) || ms < 0) {
            return false;
        }
        options.config.eraseTime = std::chrono::milliseconds(ms);
        return true;
    }
    if (key == "flash-fill") {
        return ReadNumber(value, options.config.initialFlashWord, 16);
    }
    if (key == "handshake-wrong") {
        return ReadNumber(value, faults.wrongHandshakes) && faults.wrongHandshakes >= 0;
    }
    if (key == "bad-echo") {
        return ReadOrdinals(value, faults.badEchoes);
    }
    if (key == "bad-verdict") {
        return ReadOrdinals(value, faults.badVerdicts);
    }
    if (key == "bad-end") {
        return ReadOrdinals(value, faults.wrongEndAnswers);
    }
    if (key == "bad-sum") {
        return ReadOrdinals(value, faults.wrongSums);
    }
    if (key == "read-error") {
        return ReadErrors(value, faults.readErrors);
    }
    if (key == "write-error") {
        return ReadErrors(value, faults.writeErrors);
    }
    if (key == "unplug") {
        return ReadNumber(value, faults.unplugAtTransfer) && faults.unplugAtTransfer >= 1;
    }
    if (key == "stall") {
        return ReadNumber(value, faults.stallFromTransfer) && faults.stallFromTransfer >= 1;
    }
    if (key == "short-answer") {
        return ReadSizes(value, faults.shortAnswers);
    }
    if (key == "empty-answer") {
        std::set<int> reads;
        if (!ReadOrdinals(value, reads)) {
            return false;
        }
        for (int read : reads) {
            faults.shortAnswers[read] = 0;
        }
        return true;
    }
    if (key == "alter-answer") {
        return ReadSizes(value, faults.alteredAnswers);
    }
    if (key == "partial-write") {
        return ReadSizes(value, faults.partialWrites);
    }
    if (key == "meet") {
        return ReadNumber(value, faults.meetAtTransfer) && faults.meetAtTransfer >= 1;
    }
    return false;
}

}  // namespace

std::optional<SimulatorOptions> ParseSimulatorOptions(const std::string& text, std::string* error) {
    SimulatorOptions options;
    for (std::string_view item : Split(text, "; \t")) {
        const size_t equals = item.find('=');
        const std::string_view key = item.substr(0, equals);
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
        if (!ApplyItem(key, value, equals != std::string_view::npos, options)) {
            if (error != nullptr) {
                *error = std::string(item);
            }
            return std::nullopt;
        }
    }
    return options;
}

std::optional<std::vector<SimulatorOptions>> ParseSimulatorBench(const std::string& text,
                                                                 std::string* error) {
    std::vector<SimulatorOptions> bench;
    const std::vector<std::string_view> descriptions = Split(text, "|");
    for (std::string_view description : descriptions) {
        std::optional<SimulatorOptions> options =
            ParseSimulatorOptions(std::string(description), error);
        if (!options) {
            return std::nullopt;
        }
        bench.push_back(std::move(*options));
    }
    if (bench.empty()) {
        bench.emplace_back();
    }
    return bench;
}

}  // namespace harmoload::sim
