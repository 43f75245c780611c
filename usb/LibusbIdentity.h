#pragma once
// How the instrument is found and spoken to through libusb: its identity on the bus, its
// endpoints, the time-outs, the recovery the libusb back end runs after a failed transfer, and
// how the library reports its failures. Every value here is fixed by the instrument or the
// library; nothing else in the program repeats them. What the host chooses for itself is in
// usb/LinkPolicy.h. The sibling for the instrument's own kernel driver is DriverPipeIdentity.h.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace harmoload::usb {

inline constexpr uint16_t kVendorId = 0x0A67;
inline constexpr uint16_t kProductId = 0x8E30;
inline constexpr int kConfiguration = 1;
inline constexpr int kInterface = 0;

// Bulk endpoints: OUT carries host frames to the instrument, IN carries its answers.
inline constexpr int kOutEndpoint = 0x02;
inline constexpr int kInEndpoint = 0x81;

inline constexpr int kReadTimeoutMs = 500;
inline constexpr int kWriteTimeoutMs = 5000;
inline constexpr int kRecoveryTimeoutMs = 500;

// After a failed transfer the instrument is brought back into step with one packet of filler.
inline constexpr size_t kRecoveryFillerSize = 64;
inline constexpr uint8_t kRecoveryFillerByte = 0x88;
inline constexpr std::chrono::milliseconds kPauseAfterClearHalt{10};

// The library's I/O error (-EIO): the only read failure that runs the read recovery.
inline constexpr int kLibusbIoError = -5;

// How libusb 0.1 reports a device node the user may not write: usb_open returns no handle with
// errno EACCES (node not readable either), or opens the node read-only and then
// usb_set_configuration / usb_claim_interface return -EPERM (-EACCES through libusb-compat).
// libusb-win32 counts errno the same way.
inline constexpr int kErrnoNotPermitted = 1;   // EPERM
inline constexpr int kErrnoAccessDenied = 13;  // EACCES

}  // namespace harmoload::usb
