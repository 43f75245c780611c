#include "usb/LibusbDevice.h"

#include <algorithm>
#include <array>
#include <climits>
#include <iostream>

#include "platform/Clock.h"
#include "platform/Notifier.h"
#include "usb/LibusbIdentity.h"
#include "usb/LinkPolicy.h"
#include "usb/TransferTrace.h"

namespace harmoload {
namespace {

bool IsPermissionError(int errorNumber) {
    return errorNumber == usb::kErrnoNotPermitted || errorNumber == usb::kErrnoAccessDenied;
}

}  // namespace

LibusbDevice::LibusbDevice()
    : api_(&SystemLibusb()), clock_(&DefaultClock()), console_(&std::cout) {}

void LibusbDevice::start() {
    if (pinned_ != nullptr) {
        return;
    }
    api_->init();
    api_->findBusses();
    api_->findDevices();
}

LibusbHandle LibusbDevice::find() {
    openFailure_ =
        api_->loaded() ? LibusbOpenFailure::NoInstrument : LibusbOpenFailure::LibraryMissing;
    if (pinned_ != nullptr) {
        return openDevice(pinned_);
    }
    for (const std::vector<LibusbDeviceEntry>& bus : api_->getBusses()) {
        for (const LibusbDeviceEntry& device : bus) {
            if (device.vendorId == usb::kVendorId && device.productId == usb::kProductId) {
                // Only the first instrument is ever used, even when it cannot be opened.
                return openDevice(device.device);
            }
        }
    }
    return nullptr;
}

LibusbHandle LibusbDevice::openDevice(LibusbDeviceRef device) {
    LibusbHandle handle = api_->open(device);
    if (handle == nullptr) {
        noteRefusal(api_->openErrno());
    }
    return handle;
}

void LibusbDevice::noteRefusal(int errorNumber) {
    openFailure_ = IsPermissionError(errorNumber) ? LibusbOpenFailure::AccessDenied
                                                  : LibusbOpenFailure::Refused;
}

bool LibusbDevice::open() {
    LibusbHandle handle = find();
    if (handle == nullptr) {
        return false;
    }
    int result = api_->setConfiguration(handle, usb::kConfiguration);
    if (result >= 0) {
        result = api_->claimInterface(handle, usb::kInterface);
    }
    if (result < 0) {
        api_->close(handle);
        noteRefusal(-result);  // the library's results are negative errno values
        return false;
    }
    handle_ = handle;
    open_ = true;
    openFailure_ = LibusbOpenFailure::None;
    return true;
}

bool LibusbDevice::ensureOpen() {
    if (!open_) {
        start();
        open();
    }
    return open_;
}

TransferStatus LibusbDevice::read(uint8_t* buffer, size_t count) {
    if (stopRequested()) {
        return TransferStatus::Failed;
    }
    if (!ensureOpen()) {
        if (notifier_ != nullptr) {
            notifier_->showMessage({kApplicationTitle, "Open USB device failed"});
        }
        return TransferStatus::NotOpen;
    }
    if (count > static_cast<size_t>(INT_MAX)) {
        return TransferStatus::Failed;
    }
    lastReadBytes_ = 0;
    const int result =
        bulkRead(usb::kInEndpoint, buffer, static_cast<int>(count), usb::kReadTimeoutMs);
    if (result >= 0) {
        // However few bytes came: the caller tells a missing answer by what it holds.
        lastReadBytes_ = std::min(static_cast<size_t>(result), count);
        return TransferStatus::Complete;
    }
    if (result == usb::kLibusbIoError) {
        recoverRead();
    }
    return TransferStatus::Failed;
}

TransferStatus LibusbDevice::write(const uint8_t* buffer, size_t count) {
    if (stopRequested()) {
        return TransferStatus::Failed;
    }
    if (!ensureOpen()) {
        return TransferStatus::NotOpen;
    }
    if (count > static_cast<size_t>(INT_MAX)) {
        return TransferStatus::Failed;
    }
    for (int attempt = 0;; ++attempt) {
        const int result =
            bulkWrite(usb::kOutEndpoint, buffer, static_cast<int>(count), usb::kWriteTimeoutMs);
        if (result == static_cast<int>(count)) {
            return TransferStatus::Complete;
        }
        // libusb 0.1 reports a transfer that stalled part way, or whose device went away, as
        // the bytes it moved (often none): the frame did not arrive whole, so it is a failure
        // like any other.
        *console_ << "error writing:\n";
        if (result >= 0) {
            *console_ << "only " << result << " of " << count << " bytes written";
        } else {
            *console_ << api_->strerror();
        }
        *console_ << '\n';
        console_->flush();
        if (attempt == usb::kWriteRetryLimit) {
            return TransferStatus::Failed;
        }
        recoverWrite();
    }
}

void LibusbDevice::close() {
    if (handle_ == nullptr) {
        return;
    }
    api_->releaseInterface(handle_, usb::kInterface);
    api_->close(handle_);
    open_ = false;
    handle_ = nullptr;
}

int LibusbDevice::bulkRead(int endpoint, uint8_t* buffer, int size, int timeoutMs) {
    const int result = api_->bulkRead(handle_, endpoint, buffer, size, timeoutMs);
    if (trace_ != nullptr) {
        const size_t received = result > 0 ? static_cast<size_t>(std::min(result, size)) : 0;
        trace_->transfer({clock_->now(),
                          TransferDirection::In,
                          endpoint,
                          static_cast<size_t>(size),
                          result,
                          {buffer, received},
                          {}});
    }
    return result;
}

int LibusbDevice::bulkWrite(int endpoint, const uint8_t* buffer, int size, int timeoutMs) {
    const int result = api_->bulkWrite(handle_, endpoint, buffer, size, timeoutMs);
    if (trace_ != nullptr) {
        trace_->transfer({clock_->now(),
                          TransferDirection::Out,
                          endpoint,
                          static_cast<size_t>(size),
                          result,
                          {buffer, static_cast<size_t>(size)},
                          {}});
    }
    return result;
}

void LibusbDevice::clearHalt(int endpoint) {
    api_->clearHalt(handle_, static_cast<unsigned>(endpoint));
    clock_->sleep(usb::kPauseAfterClearHalt);
}

// The instrument's IN endpoint is cleared, whatever it still had to say is read and dropped,
// and a filler packet with one more read puts it back in step. The caller's buffer is untouched.
void LibusbDevice::recoverRead() {
    ++readRecoveries_;
    std::array<uint8_t, usb::kRecoveryFillerSize> scratch{};
    const int size = static_cast<int>(scratch.size());
    clearHalt(usb::kInEndpoint);
    bulkRead(usb::kInEndpoint, scratch.data(), size, usb::kRecoveryTimeoutMs);
    scratch.fill(usb::kRecoveryFillerByte);
    bulkWrite(usb::kOutEndpoint, scratch.data(), size, usb::kRecoveryTimeoutMs);
    bulkRead(usb::kInEndpoint, scratch.data(), size, usb::kRecoveryTimeoutMs);
}

void LibusbDevice::recoverWrite() {
    std::array<uint8_t, usb::kRecoveryFillerSize> filler{};
    filler.fill(usb::kRecoveryFillerByte);
    clearHalt(usb::kOutEndpoint);
    bulkWrite(usb::kOutEndpoint, filler.data(), static_cast<int>(filler.size()),
              usb::kRecoveryTimeoutMs);
}

}  // namespace harmoload
