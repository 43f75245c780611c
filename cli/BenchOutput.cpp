#include "cli/BenchOutput.h"

#include <nlohmann/json.hpp>

namespace harmoload {

void BenchOutput::writeLine(const std::string& device, const std::string& line) {
    std::string tagged;
    nlohmann::ordered_json event;
    if (json_) {
        event = nlohmann::ordered_json::parse(line, nullptr, false);
    }
    if (event.is_object()) {
        nlohmann::ordered_json withDevice = nlohmann::ordered_json::object();
        for (auto item = event.begin(); item != event.end(); ++item) {
            withDevice[item.key()] = item.value();
            if (item.key() == "event") {
                withDevice["device"] = device;
            }
        }
        tagged = withDevice.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    } else {
        tagged = "[" + device + "] " + line;
    }
    const std::lock_guard lock(mutex_);
    out_ << tagged << '\n';
    out_.flush();
}

DeviceLineStream::DeviceLineStream(BenchOutput& output, std::string device)
    : std::ostream(nullptr), buffer_(output, std::move(device)) {
    rdbuf(&buffer_);
}

DeviceLineStream::~DeviceLineStream() {
    buffer_.finish();
}

void DeviceLineStream::Buffer::finish() {
    if (!line_.empty()) {
        output_.writeLine(device_, line_);
        line_.clear();
    }
}

DeviceLineStream::Buffer::int_type DeviceLineStream::Buffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    const char character = traits_type::to_char_type(c);
    if (character == '\n') {
        output_.writeLine(device_, line_);
        line_.clear();
    } else if (character != '\r') {
        line_ += character;
    }
    return c;
}

}  // namespace harmoload
