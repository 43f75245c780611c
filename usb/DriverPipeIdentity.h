#pragma once
// How the instrument is found and spoken to through its own kernel driver: the driver's device
// interface class, the mark of the instrument in a device path, the two pipes and their time
// limits. Every value here is fixed by the driver; nothing else in the program repeats them.

#include <chrono>
#include <cstdint>
#include <string_view>

#include "usb/DriverPipeApi.h"
#include "usb/LibusbIdentity.h"

namespace harmoload::usb {

// {37538c66-9584-42d3-9632-ebad0a230d13}
inline constexpr InterfaceClass kDriverInterfaceClass{
    0x37538c66, 0x9584, 0x42d3, {0x96, 0x32, 0xeb, 0xad, 0x0a, 0x23, 0x0d, 0x13}};

// The device path of a USB interface embeds the device's product id; an interface of the class
// belongs to the instrument when its upper-cased path holds this.
inline constexpr std::string_view kInstrumentPathMark = "PID_8E00";

// Opened as sub-paths of the device path: device path + "\" + pipe name.
inline constexpr std::string_view kWritePipeName = "PIPE01";  // host to instrument
inline constexpr std::string_view kReadPipeName = "PIPE00";   // instrument to host

// Member indices 0 to this are examined: at most 127 interfaces of the class.
inline constexpr uint32_t kHighestMemberIndex = 126;

// The same limits as the libusb back end's transfers: a driver that never completes a request
// fails that transfer instead of hanging the update.
inline constexpr std::chrono::milliseconds kPipeReadLimit{kReadTimeoutMs};
inline constexpr std::chrono::milliseconds kPipeWriteLimit{kWriteTimeoutMs};

}  // namespace harmoload::usb
