// The simulated instrument as a test-double libusb0.dll: the libusb-win32 0.1 entry points the
// host uses, over one simulated instrument on real time. Placed beside a Windows program, it
// lets the program's own libusb path find the instrument and update it end to end. The
// instrument is described by HARMOLOAD_SIM (see sim/SimulatorOptions.h), read at the first
// usb_init; a description it cannot read leaves the bus empty and says why on stderr.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "sim/SimulatedUsb.h"
#include "usb/win32/Libusb0Abi.h"

using namespace harmoload;

namespace {

struct Simulation {
    SystemClock clock;
    std::unique_ptr<sim::SimulatedUsb> usb;
    // The library's lists, in libusb-win32's layout. Nodes are never freed, so a pointer the
    // host kept from an earlier usb_get_busses stays valid.
    std::deque<usb::Bus> busses;
    std::map<LibusbDeviceRef, usb::Device> devices;
    usb::Bus* first = nullptr;
    char error[256] = "";
};

Simulation& State() {
    static Simulation simulation;
    return simulation;
}

std::recursive_mutex& Lock() {
    static std::recursive_mutex mutex;
    return mutex;
}

bool Configure(const char* text) {
    Simulation& state = State();
    std::string problem;
    std::optional<sim::SimulatorOptions> options =
        sim::ParseSimulatorOptions(text != nullptr ? text : "", &problem);
    const bool understood = options.has_value();
    if (!understood) {
        std::fprintf(stderr, "libusb0 (simulated): cannot read %s item \"%s\"; no instrument\n",
                     sim::kSimulatorEnvironmentVariable, problem.c_str());
        options = sim::SimulatorOptions{};
        options->present = false;
    }
    state.usb = std::make_unique<sim::SimulatedUsb>(state.clock, *options);
    state.first = nullptr;
    return understood;
}

sim::SimulatedLibusb& Library() {
    Simulation& state = State();
    if (!state.usb) {
        Configure(std::getenv(sim::kSimulatorEnvironmentVariable));
    }
    return state.usb->library();
}

void RebuildLists() {
    Simulation& state = State();
    const LibusbBusList list = Library().getBusses();
    while (state.busses.size() < list.size()) {
        state.busses.emplace_back();
    }
    state.first = nullptr;
    usb::Bus* previousBus = nullptr;
    for (size_t b = 0; b < list.size(); ++b) {
        usb::Bus& bus = state.busses[b];
        std::memset(&bus, 0, sizeof bus);
        std::snprintf(bus.dirname, sizeof bus.dirname, "bus-%zu", b);
        bus.location = static_cast<uint32_t>(b + 1);
        bus.prev = previousBus;
        if (previousBus != nullptr) {
            previousBus->next = &bus;
        } else {
            state.first = &bus;
        }
        previousBus = &bus;
        usb::Device* previousDevice = nullptr;
        for (size_t d = 0; d < list[b].size(); ++d) {
            const LibusbDeviceEntry& entry = list[b][d];
            usb::Device& device = state.devices[entry.device];
            std::memset(&device, 0, sizeof device);
            std::snprintf(device.filename, sizeof device.filename, "\\\\.\\libusb0-%04zu", d + 1);
            device.bus = &bus;
            device.descriptor.bLength = sizeof(usb::DeviceDescriptor);
            device.descriptor.bDescriptorType = 1;
            device.descriptor.bcdUSB = 0x0200;
            device.descriptor.bMaxPacketSize0 = 64;
            device.descriptor.idVendor = entry.vendorId;
            device.descriptor.idProduct = entry.productId;
            device.descriptor.bNumConfigurations = 1;
            device.dev = entry.device;  // the simulated library's own reference
            device.devnum = static_cast<uint8_t>(d + 1);
            device.prev = previousDevice;
            if (previousDevice != nullptr) {
                previousDevice->next = &device;
            } else {
                bus.devices = &device;
            }
            previousDevice = &device;
        }
    }
}

LibusbHandle Handle(usb::DevHandle* handle) {
    return handle;
}

}  // namespace

#define EXPORT extern "C" __declspec(dllexport)

EXPORT void HARMOLOAD_LIBUSB0_CALL usb_init(void) {
    std::lock_guard lock(Lock());
    Library().init();
}

EXPORT int HARMOLOAD_LIBUSB0_CALL usb_find_busses(void) {
    std::lock_guard lock(Lock());
    return Library().findBusses();
}

EXPORT int HARMOLOAD_LIBUSB0_CALL usb_find_devices(void) {
    std::lock_guard lock(Lock());
    const int changes = Library().findDevices();
    RebuildLists();
    return changes;
}

EXPORT usb::Bus* HARMOLOAD_LIBUSB0_CALL usb_get_busses(void) {
    std::lock_guard lock(Lock());
    Library();
    return State().first;
}

EXPORT usb::DevHandle* HARMOLOAD_LIBUSB0_CALL usb_open(usb::Device* device) {
    std::lock_guard lock(Lock());
    if (device == nullptr) {
        return nullptr;
    }
    return static_cast<usb::DevHandle*>(Library().open(device->dev));
}

EXPORT int HARMOLOAD_LIBUSB0_CALL usb_close(usb::DevHandle* handle) {
    std::lock_guard lock(Lock());
    return Library().close(Handle(handle));
}

EXPORT int HARMOLOAD_LIBUSB0_CALL usb_set_configuration(usb::DevHandle* handle, int configuration) {
    std::lock_guard lock(Lock());
    return Library().setConfiguration(Handle(handle), configuration);
}

EXPORT int HARMOLOAD_LIBUSB0_CALL usb_claim_interface(usb::DevHandle* handle, int interfaceNumber) {
    std::lock_guard lock(Lock());
    return Library().claimInterface(Handle(handle), interfaceNumber);
}

EXPORT int HARMOLOAD_LIBUSB0_CALL usb_release_interface(usb::DevHandle* handle,
                                                        int interfaceNumber) {
    std::lock_guard lock(Lock());
    return Library().releaseInterface(Handle(handle), interfaceNumber);
}

EXPORT int HARMOLOAD_LIBUSB0_CALL usb_bulk_write(usb::DevHandle* handle, int endpoint, char* bytes,
                                                 int size, int timeout) {
    std::lock_guard lock(Lock());
    return Library().bulkWrite(Handle(handle), endpoint, reinterpret_cast<uint8_t*>(bytes), size,
                               timeout);
}

EXPORT int HARMOLOAD_LIBUSB0_CALL usb_bulk_read(usb::DevHandle* handle, int endpoint, char* bytes,
                                                int size, int timeout) {
    std::lock_guard lock(Lock());
    return Library().bulkRead(Handle(handle), endpoint, reinterpret_cast<uint8_t*>(bytes), size,
                              timeout);
}

EXPORT int HARMOLOAD_LIBUSB0_CALL usb_clear_halt(usb::DevHandle* handle, unsigned int endpoint) {
    std::lock_guard lock(Lock());
    return Library().clearHalt(Handle(handle), endpoint);
}

EXPORT char* HARMOLOAD_LIBUSB0_CALL usb_strerror(void) {
    std::lock_guard lock(Lock());
    Simulation& state = State();
    std::snprintf(state.error, sizeof state.error, "%s", Library().strerror().c_str());
    return state.error;
}

// Test hook, not part of libusb: starts a fresh instrument from a description in the
// HARMOLOAD_SIM language. 0 when the description was understood, else -1 (and no instrument).
EXPORT int HARMOLOAD_LIBUSB0_CALL harmoload_sim_configure(const char* description) {
    std::lock_guard lock(Lock());
    return Configure(description) ? 0 : -1;
}

// Test hook: copies length bytes of the instrument's target memory, from address on, into
// bytes (bytes never written read as the instrument's blank value). Returns 0.
EXPORT int HARMOLOAD_LIBUSB0_CALL harmoload_sim_read_target(uint32_t address, uint8_t* bytes,
                                                            uint32_t length) {
    std::lock_guard lock(Lock());
    Library();
    const std::vector<uint8_t> memory = State().usb->instrument().target().read(address, length);
    std::memcpy(bytes, memory.data(), memory.size());
    return 0;
}

// Test hook: the flag bytes of the result frames the instrument received, oldest first; copies
// at most capacity of them and returns how many there are.
EXPORT int HARMOLOAD_LIBUSB0_CALL harmoload_sim_result_flags(uint8_t* flags, int capacity) {
    std::lock_guard lock(Lock());
    Library();
    const std::vector<uint8_t>& received = State().usb->instrument().resultFlags();
    const size_t copied = std::min(received.size(), static_cast<size_t>(std::max(capacity, 0)));
    std::memcpy(flags, received.data(), copied);
    return static_cast<int>(received.size());
}
