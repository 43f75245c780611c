#pragma once
// A log of the traffic with the instrument: every transfer with its time, direction, length,
// result and bytes, and what the link opened and closed. harmoload-cli --trace writes it.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <span>
#include <string_view>

namespace harmoload {

enum class TransferDirection { Out, In };

struct TransferRecord {
    std::chrono::milliseconds time{0};
    TransferDirection direction = TransferDirection::Out;
    int endpoint = 0;
    size_t requested = 0;            // bytes asked to move
    int result = 0;                  // the back end's result: bytes moved, or a negative error code
    std::span<const uint8_t> bytes;  // the bytes that moved (sent, or received)
    std::string_view pipe;           // a driver pipe's name, which stands for the endpoint
};

class TransferTrace {
  public:
    virtual ~TransferTrace() = default;
    virtual void transfer(const TransferRecord& record) = 0;
    virtual void event(std::chrono::milliseconds time, std::string_view text) = 0;
};

// Writes one line per transfer or event, timed in seconds from the given start:
//   "    12.345 OUT ep 0x02 len 4 result 4: 01 0a 4d 02"
//   "    12.845 IN  ep 0x81 len 1 result -116"
//   "    12.850 IN  pipe PIPE00 len 1 result 1: f1"  (through the driver pipes)
//   "    12.900 open: libusb"
class TraceWriter final : public TransferTrace {
  public:
    explicit TraceWriter(std::ostream& out, std::chrono::milliseconds start = {})
        : out_(out), start_(start) {}
    void transfer(const TransferRecord& record) override;
    void event(std::chrono::milliseconds time, std::string_view text) override;

  private:
    void writeTime(std::chrono::milliseconds time);

    std::ostream& out_;
    std::chrono::milliseconds start_;
};

}  // namespace harmoload
