#pragma once
// The simulated instrument as a USB device: what it does with each control request and bulk
// transfer a USB host sends it, apart from how the transfers travel. Bulk transfers go to the
// simulated instrument; a failure it commits halts the endpoint (the host sees a stall) until
// the host clears the halt; a read with nothing to answer (or told to time out) is held until
// the host gives it up; once the instrument is unplugged every transfer finds it gone.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <vector>

namespace harmoload::sim {
class SimulatedInstrument;
}

namespace harmoload::simusb {

enum class UsbStatus {
    Success,
    Stall,  // the endpoint is halted, or the request is not supported
    Gone,   // the instrument has been unplugged
};

struct UsbReply {
    UsbStatus status = UsbStatus::Success;
    std::vector<uint8_t> data;  // what an IN transfer returns
    size_t length = 0;          // bytes moved, in either direction
};

// The eight bytes that open a control transfer.
struct SetupPacket {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
};

// Standard request codes and feature selectors the device answers.
enum class StandardRequest : uint8_t {
    GetStatus = 0,
    ClearFeature = 1,
    SetFeature = 3,
    GetDescriptor = 6,
    GetConfiguration = 8,
    SetConfiguration = 9,
    GetInterface = 10,
    SetInterface = 11,
};
inline constexpr uint16_t kEndpointHaltFeature = 0;
// The longest IN transfer the device takes; a peer asking for more is refused with a stall.
inline constexpr size_t kMaxInTransferBytes = 64 * 1024;

class VirtualInstrument {
  public:
    explicit VirtualInstrument(sim::SimulatedInstrument& instrument);

    UsbReply control(const SetupPacket& setup, std::span<const uint8_t> outData);
    // False for a configuration the device does not have. Either way the endpoints start afresh.
    bool setConfiguration(uint8_t configuration);
    uint8_t configuration() const { return configuration_; }
    // A bus reset: unconfigured, no halts, no held read; the instrument's memory stays.
    void reset();

    UsbReply bulkOut(uint8_t endpoint, std::span<const uint8_t> data);
    // Nothing when the read is held (the instrument has nothing to say yet).
    std::optional<UsbReply> bulkIn(uint64_t id, uint8_t endpoint, size_t length);
    // The held read answered, once a write has given the instrument something to say.
    std::optional<std::pair<uint64_t, UsbReply>> answerHeldRead();
    // The endpoint of the held read when id is that read, which is then given up.
    std::optional<uint8_t> cancel(uint64_t id);

    bool plugged() const;
    void unplug();
    bool halted(uint8_t endpoint) const { return halted_.contains(endpoint); }
    // How often a failure of the instrument halted an endpoint.
    int faultHalts() const { return faultHalts_; }

  private:
    struct HeldRead {
        uint64_t id = 0;
        uint8_t endpoint = 0;
        size_t length = 0;
    };

    UsbReply standardIn(const SetupPacket& setup);
    UsbReply standardOut(const SetupPacket& setup);
    UsbReply read(uint8_t endpoint, size_t length, bool& nothingToSay);
    UsbReply failed(uint8_t endpoint);

    sim::SimulatedInstrument& instrument_;
    uint8_t configuration_ = 0;
    std::set<uint8_t> halted_;
    std::optional<HeldRead> held_;
    int faultHalts_ = 0;
};

}  // namespace harmoload::simusb
