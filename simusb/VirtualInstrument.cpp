#include "simusb/VirtualInstrument.h"

#include <algorithm>

#include "sim/SimulatedInstrument.h"
#include "simusb/VirtualDescriptors.h"
#include "usb/LibusbIdentity.h"

namespace harmoload::simusb {
namespace {

// bmRequestType: direction, type and recipient.
constexpr uint8_t kDirectionIn = 0x80;
constexpr uint8_t kTypeMask = 0x60;
constexpr uint8_t kTypeStandard = 0x00;
constexpr uint8_t kRecipientMask = 0x1F;
constexpr uint8_t kRecipientEndpoint = 0x02;

UsbReply Stall() {
    return {UsbStatus::Stall, {}, 0};
}

UsbReply Answer(std::vector<uint8_t> bytes, uint16_t room) {
    if (bytes.size() > room) {
        bytes.resize(room);
    }
    const size_t length = bytes.size();
    return {UsbStatus::Success, std::move(bytes), length};
}

bool IsBulkEndpoint(uint8_t endpoint) {
    return endpoint == usb::kOutEndpoint || endpoint == usb::kInEndpoint;
}

}  // namespace

VirtualInstrument::VirtualInstrument(sim::SimulatedInstrument& instrument)
    : instrument_(instrument) {}

bool VirtualInstrument::plugged() const {
    return instrument_.plugged();
}

void VirtualInstrument::unplug() {
    instrument_.unplug();
    held_.reset();
}

UsbReply VirtualInstrument::control(const SetupPacket& setup, std::span<const uint8_t> outData) {
    if (!plugged()) {
        return {UsbStatus::Gone, {}, 0};
    }
    if ((setup.requestType & kTypeMask) != kTypeStandard) {
        return Stall();  // the instrument has no vendor or class requests
    }
    if (setup.requestType & kDirectionIn) {
        return standardIn(setup);
    }
    UsbReply reply = standardOut(setup);
    if (reply.status == UsbStatus::Success) {
        reply.length = outData.size();
    }
    return reply;
}

UsbReply VirtualInstrument::standardIn(const SetupPacket& setup) {
    switch (static_cast<StandardRequest>(setup.request)) {
        case StandardRequest::GetDescriptor: {
            const auto type = static_cast<DescriptorType>(setup.value >> 8);
            const auto index = static_cast<uint8_t>(setup.value);
            if (type == DescriptorType::Device) {
                return Answer(DeviceDescriptor(), setup.length);
            }
            if (type == DescriptorType::Configuration && index == 0) {
                return Answer(ConfigurationDescriptor(), setup.length);
            }
            if (type == DescriptorType::String) {
                if (auto text = StringDescriptor(index)) {
                    return Answer(std::move(*text), setup.length);
                }
            }
            return Stall();
        }
        case StandardRequest::GetStatus: {
            const bool endpoint = (setup.requestType & kRecipientMask) == kRecipientEndpoint;
            const auto address = static_cast<uint8_t>(setup.index);
            const uint8_t halt = endpoint && halted(address) ? 1 : 0;
            return Answer({halt, 0}, setup.length);
        }
        case StandardRequest::GetConfiguration:
            return Answer({configuration_}, setup.length);
        case StandardRequest::GetInterface:
            return Answer({0}, setup.length);
        default:
            return Stall();
    }
}

UsbReply VirtualInstrument::standardOut(const SetupPacket& setup) {
    const bool endpoint = (setup.requestType & kRecipientMask) == kRecipientEndpoint;
    const auto address = static_cast<uint8_t>(setup.index);
    switch (static_cast<StandardRequest>(setup.request)) {
        case StandardRequest::ClearFeature:
            if (endpoint && setup.value == kEndpointHaltFeature && IsBulkEndpoint(address)) {
                halted_.erase(address);
                instrument_.clearHalt(address);
            }
            return {};
        case StandardRequest::SetFeature:
            if (endpoint && setup.value == kEndpointHaltFeature && IsBulkEndpoint(address)) {
                halted_.insert(address);
            }
            return {};
        case StandardRequest::SetConfiguration:
            return setConfiguration(static_cast<uint8_t>(setup.value)) ? UsbReply{} : Stall();
        case StandardRequest::SetInterface:
            return setup.value == 0 ? UsbReply{} : Stall();
        default:
            return Stall();
    }
}

bool VirtualInstrument::setConfiguration(uint8_t configuration) {
    // Configuring (again) starts the endpoints afresh, as after any SET_CONFIGURATION.
    halted_.clear();
    if (configuration != 0 && configuration != usb::kConfiguration) {
        return false;
    }
    configuration_ = configuration;
    return true;
}

void VirtualInstrument::reset() {
    configuration_ = 0;
    halted_.clear();
    held_.reset();
}

UsbReply VirtualInstrument::failed(uint8_t endpoint) {
    if (!plugged()) {
        held_.reset();
        return {UsbStatus::Gone, {}, 0};
    }
    // The instrument refuses the transfer: its endpoint stays halted until the host clears it.
    halted_.insert(endpoint);
    ++faultHalts_;
    return Stall();
}

UsbReply VirtualInstrument::bulkOut(uint8_t endpoint, std::span<const uint8_t> data) {
    if (!plugged()) {
        return {UsbStatus::Gone, {}, 0};
    }
    if (halted(endpoint)) {
        return Stall();
    }
    const int moved = instrument_.bulkWrite(endpoint, data.data(), static_cast<int>(data.size()),
                                            usb::kWriteTimeoutMs);
    if (moved < 0) {
        return failed(endpoint);
    }
    return {UsbStatus::Success, {}, static_cast<size_t>(moved)};
}

UsbReply VirtualInstrument::read(uint8_t endpoint, size_t length, bool& nothingToSay) {
    nothingToSay = false;
    std::vector<uint8_t> bytes(length);
    // No time-out of its own: a read with nothing to answer waits for the host to give it up.
    const int moved = instrument_.bulkRead(endpoint, bytes.data(), static_cast<int>(length), 0);
    if (moved == sim::kTimedOut) {
        nothingToSay = true;
        return {};
    }
    if (moved < 0) {
        return failed(endpoint);
    }
    bytes.resize(static_cast<size_t>(moved));
    return {UsbStatus::Success, std::move(bytes), static_cast<size_t>(moved)};
}

std::optional<UsbReply> VirtualInstrument::bulkIn(uint64_t id, uint8_t endpoint, size_t length) {
    if (!plugged()) {
        return UsbReply{UsbStatus::Gone, {}, 0};
    }
    if (halted(endpoint)) {
        return Stall();
    }
    if (length > kMaxInTransferBytes) {
        return Stall();  // no answer is that long: the request is refused, not allocated
    }
    bool nothingToSay = false;
    UsbReply reply = read(endpoint, length, nothingToSay);
    if (nothingToSay) {
        held_ = HeldRead{id, endpoint, length};
        return std::nullopt;
    }
    return reply;
}

std::optional<std::pair<uint64_t, UsbReply>> VirtualInstrument::answerHeldRead() {
    if (!held_ || !plugged()) {
        return std::nullopt;
    }
    bool nothingToSay = false;
    UsbReply reply = read(held_->endpoint, held_->length, nothingToSay);
    if (nothingToSay) {
        return std::nullopt;
    }
    const uint64_t id = held_->id;
    held_.reset();
    return std::pair{id, std::move(reply)};
}

std::optional<uint8_t> VirtualInstrument::cancel(uint64_t id) {
    if (!held_ || held_->id != id) {
        return std::nullopt;
    }
    const uint8_t endpoint = held_->endpoint;
    held_.reset();
    return endpoint;
}

}  // namespace harmoload::simusb
