#include "sim/SimulatedLibusb.h"

#include <algorithm>
#include <cstdio>

#include "sim/SimulatedInstrument.h"
#include "usb/LibusbIdentity.h"

namespace harmoload::sim {
namespace {

constexpr int kInvalid = -22;  // -EINVAL
constexpr int kBusy = -16;     // -EBUSY: another handle holds the interface

// Busses and devices are numbered from 1 in three digits, as on Linux ("001/004").
std::string NameOf(size_t number) {
    char name[24];
    std::snprintf(name, sizeof name, "%03zu", number);
    return name;
}

}  // namespace

std::string SimulatedLibusb::nextName(size_t bus) const {
    const auto onBus = std::count_if(slots_.begin(), slots_.end(),
                                     [bus](const Slot& slot) { return slot.bus == bus; });
    return NameOf(static_cast<size_t>(onBus) + 1);
}

void SimulatedLibusb::plug(SimulatedInstrument& instrument, size_t bus) {
    const std::lock_guard lock(mutex_);
    slots_.push_back({bus, usb::kVendorId, usb::kProductId, &instrument, false, nextName(bus)});
    busCount_ = std::max(busCount_, bus + 1);
}

void SimulatedLibusb::plugOther(uint16_t vendorId, uint16_t productId, size_t bus) {
    const std::lock_guard lock(mutex_);
    slots_.push_back({bus, vendorId, productId, nullptr, false, nextName(bus)});
    busCount_ = std::max(busCount_, bus + 1);
}

bool SimulatedLibusb::present(const Slot& slot) const {
    return slot.instrument == nullptr || slot.instrument->plugged();
}

void SimulatedLibusb::init() {
    const std::lock_guard lock(mutex_);
    ++initCalls_;
}

int SimulatedLibusb::findBusses() {
    const std::lock_guard lock(mutex_);
    return static_cast<int>(busCount_);
}

int SimulatedLibusb::findDevices() {
    const std::lock_guard lock(mutex_);
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
    const std::lock_guard lock(mutex_);
    LibusbBusList busses(findDevicesCalls_ > 0 ? busCount_ : 0);
    for (Slot& slot : slots_) {
        if (slot.visible && slot.bus < busses.size()) {
            busses[slot.bus].push_back(
                {slot.vendorId, slot.productId, &slot, NameOf(slot.bus + 1), slot.deviceName});
        }
    }
    return busses;
}

LibusbHandle SimulatedLibusb::open(LibusbDeviceRef device) {
    const std::lock_guard lock(mutex_);
    Slot* slot = static_cast<Slot*>(device);
    const bool known = std::any_of(slots_.begin(), slots_.end(),
                                   [slot](const Slot& each) { return &each == slot; });
    if (!known || !present(*slot)) {
        fail(kInvalid, "usb_open: no such device");
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

std::string SimulatedLibusb::strerror() {
    const std::lock_guard lock(mutex_);
    return lastErrors_[std::this_thread::get_id()];
}

int SimulatedLibusb::fail(int code, std::string text) {
    lastErrors_[std::this_thread::get_id()] = std::move(text);
    return code;
}

int SimulatedLibusb::setConfiguration(LibusbHandle handle, int configuration) {
    const std::lock_guard lock(mutex_);
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
    const std::lock_guard lock(mutex_);
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
    const std::lock_guard lock(mutex_);
    Handle* state = find(handle);
    if (state == nullptr || !state->claimed || interfaceNumber != usb::kInterface) {
        return fail(kInvalid, "usb_release_interface: interface not claimed");
    }
    state->claimed = false;
    return 0;
}

int SimulatedLibusb::close(LibusbHandle handle) {
    const std::lock_guard lock(mutex_);
    const auto before = handles_.size();
    handles_.remove_if([handle](const Handle& each) { return &each == handle; });
    return handles_.size() < before ? 0 : fail(kInvalid, "usb_close: no such handle");
}

// A bulk transfer on the claimed instrument behind the handle. The instrument answers outside
// the lock: each is driven by its own run, and may wait for another's.
template <typename Transfer>
int SimulatedLibusb::onInstrument(LibusbHandle handle, const char* call, Transfer transfer) {
    SimulatedInstrument* instrument = nullptr;
    {
        const std::lock_guard lock(mutex_);
        Handle* state = find(handle);
        if (state == nullptr || !state->claimed || state->slot->instrument == nullptr) {
            return fail(kInvalid, std::string(call) + ": interface not claimed");
        }
        instrument = state->slot->instrument;
    }
    const int result = transfer(*instrument);
    if (result < 0) {
        const std::lock_guard lock(mutex_);
        fail(result, std::string(call) + ": " + instrument->lastError());
    }
    return result;
}

int SimulatedLibusb::bulkWrite(LibusbHandle handle, int endpoint, const uint8_t* bytes, int size,
                               int timeoutMs) {
    return onInstrument(handle, "usb_bulk_write", [&](SimulatedInstrument& instrument) {
        return instrument.bulkWrite(endpoint, bytes, size, timeoutMs);
    });
}

int SimulatedLibusb::bulkRead(LibusbHandle handle, int endpoint, uint8_t* bytes, int size,
                              int timeoutMs) {
    return onInstrument(handle, "usb_bulk_read", [&](SimulatedInstrument& instrument) {
        return instrument.bulkRead(endpoint, bytes, size, timeoutMs);
    });
}

int SimulatedLibusb::clearHalt(LibusbHandle handle, unsigned endpoint) {
    const std::lock_guard lock(mutex_);
    Handle* state = find(handle);
    if (state == nullptr || state->slot->instrument == nullptr) {
        return fail(kInvalid, "usb_clear_halt: no such handle");
    }
    return state->slot->instrument->clearHalt(endpoint);
}

}  // namespace harmoload::sim
