#pragma once
// How the instrument is found and spoken to through libusb: its identity on the bus, its
// endpoints, the time-outs, and the recovery the libusb back end runs after a failed transfer.
// Every value here is fixed by the instrument; nothing else in the program repeats them.

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

// A write that keeps failing is retried this many times, each after the recovery, and then
// reported as failed: retrying for ever would hang an update for good once the instrument is
// unplugged.
inline constexpr int kWriteRetryLimit = 3;

}  // namespace harmoload::usb
