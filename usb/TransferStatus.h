#pragma once
// The result of every read and write on the instrument, whichever back end carries it.

namespace harmoload {

// Callers treat anything but Complete as failure.
enum class TransferStatus {
    NotOpen = 0,   // no back end is open and opening it failed, or the link's mode is None
    Failed = 1,    // the transfer itself failed
    Short = 2,     // fewer bytes than asked (driver pipes only)
    Complete = 3,  // the transfer completed
};

// Which back end the last open of a link chose.
enum class LinkMode {
    None = 0,
    Libusb = 1,
    DriverPipes = 2,
};

const char* LinkModeName(LinkMode mode);

}  // namespace harmoload
