#include "cli/BenchOutput.h"

#include <nlohmann/json.hpp>

namespace harmoload {
namespace {

// A live line must not wrap, or the redraw would count the screen's lines wrong.
constexpr size_t kLiveLineColumns = 79;

// The escape sequences of the terminal: to the start of the line n lines up, and erasing.
std::string CursorUp(size_t lines) {
    return "\x1b[" + std::to_string(lines) + "F";
}
constexpr const char* kEraseToEnd = "\x1b[J";

std::string Tagged(const std::string& device, const std::string& line) {
    return "[" + device + "] " + line;
}

// The event with "device" after "event"; nothing when the line is no JSON object.
std::string WithDevice(const std::string& device, const std::string& line) {
    const nlohmann::ordered_json event = nlohmann::ordered_json::parse(line, nullptr, false);
    if (!event.is_object()) {
        return {};
    }
    nlohmann::ordered_json tagged = nlohmann::ordered_json::object();
    for (auto item = event.begin(); item != event.end(); ++item) {
        tagged[item.key()] = item.value();
        if (item.key() == "event") {
            tagged["device"] = device;
        }
    }
    return tagged.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace

BenchOutput::BenchOutput(std::ostream& out, std::ostream& err, BenchLines mode,
                         const std::vector<std::string>& devices)
    : out_(out), err_(err), mode_(mode) {
    for (const std::string& device : devices) {
        live_.emplace_back(device, std::string());
    }
}

void BenchOutput::writeLine(const std::string& device, const std::string& line, bool error) {
    const std::lock_guard lock(mutex_);
    if (error || mode_ != BenchLines::Live) {
        std::string text = !error && mode_ == BenchLines::Json ? WithDevice(device, line) : "";
        if (text.empty()) {
            text = Tagged(device, line);
        }
        eraseLiveLines();
        std::ostream& stream = error ? err_ : out_;
        stream << text << '\n';
        stream.flush();
        drawLiveLines();
        return;
    }
    for (auto& [each, last] : live_) {
        if (each == device) {
            last = line;
        }
    }
    eraseLiveLines();
    drawLiveLines();
}

void BenchOutput::eraseLiveLines() {
    if (drawn_ > 0) {
        out_ << CursorUp(drawn_) << kEraseToEnd;
        out_.flush();
        drawn_ = 0;
    }
}

void BenchOutput::drawLiveLines() {
    if (mode_ != BenchLines::Live) {
        return;
    }
    for (const auto& [device, last] : live_) {
        out_ << Tagged(device, last).substr(0, kLiveLineColumns) << '\n';
    }
    out_.flush();
    drawn_ = live_.size();
}

DeviceLineStream::DeviceLineStream(BenchOutput& output, std::string device, bool error)
    : std::ostream(nullptr), buffer_(output, std::move(device), error) {
    rdbuf(&buffer_);
}

DeviceLineStream::~DeviceLineStream() {
    buffer_.finish();
}

void DeviceLineStream::Buffer::finish() {
    if (!line_.empty()) {
        output_.writeLine(device_, line_, error_);
        line_.clear();
    }
}

DeviceLineStream::Buffer::int_type DeviceLineStream::Buffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    const char character = traits_type::to_char_type(c);
    if (character == '\n') {
        output_.writeLine(device_, line_, error_);
        line_.clear();
    } else if (character != '\r') {
        line_ += character;
    }
    return c;
}

}  // namespace harmoload
