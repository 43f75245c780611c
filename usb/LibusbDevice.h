#pragma once
// The libusb back end: finds the instrument by vendor and product id, claims its interface and
// moves frames with bulk transfers, recovering from a failed transfer with a clear-halt and a
// filler packet. It calls the library only through a LibusbApi table.

#include <cstddef>
#include <cstdint>
#include <iosfwd>

#include "platform/StopRequest.h"
#include "usb/LibusbApi.h"
#include "usb/TransferStatus.h"

namespace harmoload {

class Clock;
class Notifier;
class TransferTrace;

// Why the last open left the device closed.
enum class LibusbOpenFailure {
    None,            // it opened
    LibraryMissing,  // libusb0.dll could not be loaded
    NoInstrument,    // no instrument on the bus
    AccessDenied,    // the instrument is there but its device node may not be written
    Refused,         // the instrument is there but would not open for another reason
};

class LibusbDevice {
  public:
    // Bound to the platform's libusb and the system clock, with nobody to show messages to.
    LibusbDevice();
    // Releases nothing: the owner closes the device (a handle left open stays with the library).
    virtual ~LibusbDevice() = default;
    LibusbDevice(const LibusbDevice&) = delete;
    LibusbDevice& operator=(const LibusbDevice&) = delete;

    // The library this back end calls. Closes nothing; bind before the first open.
    void bind(LibusbApi& api) { api_ = &api; }
    LibusbApi& api() const { return *api_; }
    // Where "Open USB device failed" is shown; null drops it.
    void setNotifier(Notifier* notifier) { notifier_ = notifier; }
    // Owns the pause after a clear-halt.
    void setClock(Clock& clock) { clock_ = &clock; }
    Clock& clock() const { return *clock_; }
    // Where the line about a failed write goes (standard output unless told otherwise).
    void setConsole(std::ostream& console) { console_ = &console; }
    // Every bulk transfer is recorded here when set.
    void setTrace(TransferTrace* trace) { trace_ = trace; }
    // Once the stop is requested every read and write fails at once, reaching nothing; null:
    // never stopped.
    void setStopRequest(const StopRequest* stop) { stop_ = stop; }
    bool stopRequested() const { return stop_ != nullptr && stop_->requested(); }

    // This device of the library's list, and no other: find opens it without walking the
    // list, and start leaves the list alone, since refreshing it would free the devices that
    // other threads hold (libusb 0.1's list is global and not thread-safe). Null: the first
    // instrument found, as the dialog takes it.
    void pin(LibusbDeviceRef device) { pinned_ = device; }
    LibusbDeviceRef pinned() const { return pinned_; }

    // usb_init, usb_find_busses, usb_find_devices; their results are not examined. Nothing
    // when pinned.
    void start();
    // The first instrument in bus order, then device order (or the pinned device), opened;
    // null when none opens.
    LibusbHandle find();
    // find, then configuration 1 and interface 0; true when the interface is claimed.
    bool open();
    bool isOpen() const { return open_; }
    LibusbOpenFailure openFailure() const { return openFailure_; }
    LibusbHandle handle() const { return handle_; }

    // Reads up to count bytes from the IN endpoint. Opens the device first when it is closed
    // (showing "Open USB device failed" when it cannot). Any byte count, none included, is
    // Complete; -5 runs the read recovery and is Failed; any other error is Failed.
    TransferStatus read(uint8_t* buffer, size_t count);
    // Bytes the last read delivered: fewer than asked when the answer came short.
    size_t lastReadBytes() const { return lastReadBytes_; }
    // Read recoveries run so far: after one the instrument has dropped whatever it still had
    // to say.
    int readRecoveries() const { return readRecoveries_; }
    // Writes count bytes to the OUT endpoint, opening the device first when it is closed
    // (silently NotOpen when it cannot). A write that fails, or moves fewer bytes than asked,
    // prints "error writing:" with the reason, runs the write recovery and is retried, at most
    // kWriteRetryLimit times.
    TransferStatus write(const uint8_t* buffer, size_t count);

    // Releases the interface and closes the handle; nothing when there is none.
    void close();

  private:
    bool ensureOpen();
    LibusbHandle openDevice(LibusbDeviceRef device);
    int bulkRead(int endpoint, uint8_t* buffer, int size, int timeoutMs);
    int bulkWrite(int endpoint, const uint8_t* buffer, int size, int timeoutMs);
    void clearHalt(int endpoint);
    void recoverRead();
    void recoverWrite();
    void noteRefusal(int errorNumber);

    LibusbApi* api_;
    Clock* clock_;
    Notifier* notifier_ = nullptr;
    std::ostream* console_;
    TransferTrace* trace_ = nullptr;
    const StopRequest* stop_ = nullptr;
    bool open_ = false;
    LibusbOpenFailure openFailure_ = LibusbOpenFailure::None;
    LibusbHandle handle_ = nullptr;
    LibusbDeviceRef pinned_ = nullptr;
    size_t lastReadBytes_ = 0;
    int readRecoveries_ = 0;
};

}  // namespace harmoload
