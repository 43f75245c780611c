#include "sim/SimulatedLibusb.h"

#include <algorithm>

#include "sim/SimulatedInstrument.h"
#include "usb/LibusbIdentity.h"

namespace harmoload::sim {
namespace {

constexpr int kInvalid = -22;  // -EINVAL
constexpr int kBusy = -16;     // -EBUSY: another handle holds the interface

}  // namespace

void SimulatedLibusb::plug(SimulatedInstrument& instrument, size_t bus) {
    slots_.push_back({bus, usb::kVendorId, usb::kProductId, &instrument});
    busCount_ = std::max(busCount_, bus + 1);
}

void SimulatedLibusb::plugOther(uint16_t vendorId, uint16_t productId, size_t bus) {
    slots_.push_back({bus, vendorId, productId, nullptr});
    busCount_ = std::max(busCount_, bus + 1);
}

bool SimulatedLibusb::present(const Slot& slot) const {
    return slot.instrument == nullptr || slot.instrument->plugged();
}

int SimulatedLibusb::findBusses() {
    return static_cast<int>(busCount_);
}

int SimulatedLibusb::findDevices() {
    ++findDevicesCalls_;
    int changes = 0;
    for (Slot& slot : slots_) {
        const bool now = present(slot);
        changes += now != slot.visible ? 1 : 0;
        slot.visible = now;
    }
    return changes;
}

LibusbBusList SimulatedLibusb::getBusses() {
    LibusbBusList busses(findDevicesCalls_ > 0 ? busCount_ : 0);
    for (Slot& slot : slots_) {
        if (slot.visible && slot.bus < busses.size()) {
            busses[slot.bus].push_back({slot.vendorId, slot.productId, &slot});
        }
    }
    return busses;
}

LibusbHandle SimulatedLibusb::open(LibusbDeviceRef device) {
    Slot* slot = static_cast<Slot*>(device);
    const bool known = std::any_of(slots_.begin(), slots_.end(),
                                   [slot](const Slot& each) { return &each == slot; });
    if (!known || !present(*slot)) {
        lastError_ = "usb_open: no such device";
        return nullptr;
    }
    openedProducts_.push_back(slot->productId);
    return &handles_.emplace_back(Handle{slot});
}

SimulatedLibusb::Handle* SimulatedLibusb::find(LibusbHandle handle) {
    for (Handle& each : handles_) {
        if (&each == handle) {
            return &each;
        }
    }
    return nullptr;
}

int SimulatedLibusb::fail(int code, std::string text) {
    lastError_ = std::move(text);
    return code;
}

int SimulatedLibusb::setConfiguration(LibusbHandle handle, int configuration) {
    Handle* state = find(handle);
    if (state == nullptr || !present(*state->slot)) {
        return fail(kGone, "usb_set_configuration: device not connected");
    }
    if (configuration != usb::kConfiguration) {
        return fail(kInvalid, "usb_set_configuration: no such configuration");
    }
    state->configured = true;
    return 0;
}

int SimulatedLibusb::claimInterface(LibusbHandle handle, int interfaceNumber) {
    Handle* state = find(handle);
    if (state == nullptr || !present(*state->slot)) {
        return fail(kGone, "usb_claim_interface: device not connected");
    }
    if (!state->configured || interfaceNumber != usb::kInterface) {
        return fail(kInvalid, "usb_claim_interface: no such interface");
    }
    for (const Handle& other : handles_) {
        if (&other != state && other.slot == state->slot && other.claimed) {
            return fail(kBusy, "usb_claim_interface: interface claimed elsewhere");
        }
    }
    state->claimed = true;
    return 0;
}

int SimulatedLibusb::releaseInterface(LibusbHandle handle, int interfaceNumber) {
    Handle* state = find(handle);
    if (state == nullptr || !state->claimed || interfaceNumber != usb::kInterface) {
        return fail(kInvalid, "usb_release_interface: interface not claimed");
    }
    state->claimed = false;
    return 0;
}

int SimulatedLibusb::close(LibusbHandle handle) {
    const auto before = handles_.size();
    handles_.remove_if([handle](const Handle& each) { return &each == handle; });
    return handles_.size() < before ? 0 : fail(kInvalid, "usb_close: no such handle");
}

int SimulatedLibusb::bulkWrite(LibusbHandle handle, int endpoint, const uint8_t* bytes, int size,
                               int timeoutMs) {
    Handle* state = find(handle);
    if (state == nullptr || !state->claimed || state->slot->instrument == nullptr) {
        return fail(kInvalid, "usb_bulk_write: interface not claimed");
    }
    const int result = state->slot->instrument->bulkWrite(endpoint, bytes, size, timeoutMs);
    if (result < 0) {
        lastError_ = "usb_bulk_write: " + state->slot->instrument->lastError();
    }
    return result;
}

int SimulatedLibusb::bulkRead(LibusbHandle handle, int endpoint, uint8_t* bytes, int size,
                              int timeoutMs) {
    Handle* state = find(handle);
    if (state == nullptr || !state->claimed || state->slot->instrument == nullptr) {
        return fail(kInvalid, "usb_bulk_read: interface not claimed");
    }
    const int result = state->slot->instrument->bulkRead(endpoint, bytes, size, timeoutMs);
    if (result < 0) {
        lastError_ = "usb_bulk_read: " + state->slot->instrument->lastError();
    }
    return result;
}

int SimulatedLibusb::clearHalt(LibusbHandle handle, unsigned endpoint) {
    Handle* state = find(handle);
    if (state == nullptr || state->slot->instrument == nullptr) {
        return fail(kInvalid, "usb_clear_halt: no such handle");
    }
    return state->slot->instrument->clearHalt(endpoint);
}

}  // namespace harmoload::sim
