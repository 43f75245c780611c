#pragma once
// What the host decides for itself, not the instrument or its driver: how long it keeps at a
// failing transfer before giving the run up.

namespace harmoload::usb {

// A write that keeps failing is retried this many times, each after the recovery, and then
// reported as failed: retrying for ever would hang an update for good once the instrument is
// unplugged.
inline constexpr int kWriteRetryLimit = 3;

}  // namespace harmoload::usb
