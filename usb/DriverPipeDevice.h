#pragma once
// The driver-pipe back end: the instrument reached through its own kernel driver. Each attached
// instrument is one device interface of the driver's class; its two bulk pipes are opened as
// sub-paths of the interface's device path, "PIPE01" to the instrument and "PIPE00" from it,
// and frames move with file reads and writes under time limits.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "usb/DriverPipeApi.h"
#include "usb/TransferStatus.h"
#include "usb/TransferTrace.h"

namespace harmoload {

class Clock;
class InterfaceLocator;
class Notifier;

class DriverPipeDevice {
  public:
    // Over the process's locator; enumerates the driver's interfaces at once.
    DriverPipeDevice();
    // Releases all three handles.
    virtual ~DriverPipeDevice() { releaseHandles(); }
    DriverPipeDevice(const DriverPipeDevice&) = delete;
    DriverPipeDevice& operator=(const DriverPipeDevice&) = delete;

    // The locator this back end finds and opens through; takes effect at the next
    // re-initialisation.
    void bind(InterfaceLocator& locator) { locator_ = &locator; }
    // Where the pipe messages are shown; null drops them.
    void setNotifier(Notifier* notifier) { notifier_ = notifier; }
    // Times the trace's records (the transfers' own limits run on real time).
    void setClock(Clock& clock) { clock_ = &clock; }
    // Every pipe transfer is recorded here when set.
    void setTrace(TransferTrace* trace) { trace_ = trace; }

    // The instrument at this device path, and no other: the found list holds it alone (or
    // nothing, once it is gone). Empty: every instrument of the driver's class.
    void pin(std::string devicePath) { pinnedPath_ = std::move(devicePath); }
    InterfaceLocator& locator() const { return *locator_; }

    // Releases any handles, rebuilds the found list and selects device index 0.
    void reinitialise();
    // Opens the found entry at index with its two pipes, showing a message for a pipe that
    // does not open; true when the device and both pipes are open.
    bool open(int index);
    bool isOpen() const;
    int deviceIndex() const { return deviceIndex_; }
    // Member indices of the instrument's interfaces, in enumeration order.
    const std::vector<uint32_t>& found() const { return found_; }

    // Reads exactly count bytes from "PIPE00", opening the device first when it is closed
    // ("Open USB failure!" when it cannot). A failed or timed-out read and a short one are
    // reported with their messages.
    TransferStatus read(uint8_t* buffer, size_t count);
    // Writes count bytes to "PIPE01", opening the device first when it is closed (silently
    // NotOpen when it cannot). A failed or timed-out write shows the system's error code.
    TransferStatus write(const uint8_t* buffer, size_t count);
    // Closes every handle that is open.
    virtual void close();

  private:
    void enumerate();
    void releaseHandles();
    bool ensureOpen();
    void trace(TransferDirection direction, std::string_view pipe, size_t requested,
               const PipeTransfer& result, const uint8_t* bytes);
    void show(const std::string& text, bool exclamation = false);

    InterfaceLocator* locator_;
    Notifier* notifier_ = nullptr;
    Clock* clock_;
    TransferTrace* trace_ = nullptr;
    int deviceIndex_ = 0;
    PipeHandle device_ = kInvalidPipeHandle;
    PipeHandle writePipe_ = kInvalidPipeHandle;
    PipeHandle readPipe_ = kInvalidPipeHandle;
    std::vector<uint32_t> found_;
    std::string pinnedPath_;  // ANSI, as the locator gives it
};

}  // namespace harmoload
