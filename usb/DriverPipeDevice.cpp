#include "usb/DriverPipeDevice.h"

#include <algorithm>
#include <cstdio>

#include "platform/Clock.h"
#include "platform/Notifier.h"
#include "text/AsciiCase.h"
#include "usb/DriverPipeIdentity.h"
#include "usb/InterfaceLocator.h"
#include "usb/TransferTrace.h"

namespace harmoload {
namespace {

std::string PipeOpenMessage(const char* direction, std::string_view pipe) {
    return std::string("Error opening ") + direction + " device: " + std::string(pipe) +
           "\n\nApplication is aborting.\nReset hardware and try again.";
}

bool Valid(PipeHandle handle) {
    return handle != kInvalidPipeHandle;
}

}  // namespace

DriverPipeDevice::DriverPipeDevice()
    : locator_(&SystemInterfaceLocator()), clock_(&DefaultClock()) {
    reinitialise();
}

void DriverPipeDevice::reinitialise() {
    releaseHandles();
    enumerate();
    deviceIndex_ = 0;
}

void DriverPipeDevice::enumerate() {
    found_.clear();
    const int members = locator_->count();
    for (int i = 0; i < members; ++i) {
        std::string path = locator_->devicePath(static_cast<uint32_t>(i));
        if (path.empty()) {
            continue;
        }
        // The ASCII letters only: the locale must not change what the mark is compared with.
        path = AsciiUpperCase(path);
        if (path.find(usb::kInstrumentPathMark) != std::string::npos) {
            found_.push_back(static_cast<uint32_t>(i));
        }
    }
}

bool DriverPipeDevice::open(int index) {
    if (index < 0 || static_cast<size_t>(index) >= found_.size()) {
        return false;
    }
    releaseHandles();
    {
        // The locator keeps one path for both engines' links: this open has it to itself, and
        // gives it back before any message waits for the user.
        const auto hold = locator_->hold();
        device_ = locator_->openDevice(found_[static_cast<size_t>(index)]);
        if (!Valid(device_)) {
            return false;
        }
        writePipe_ = locator_->openPipe(usb::kWritePipeName);
        readPipe_ = locator_->openPipe(usb::kReadPipeName);
    }
    if (!Valid(writePipe_)) {
        show(PipeOpenMessage("Write", usb::kWritePipeName), true);
    }
    if (!Valid(readPipe_)) {
        show(PipeOpenMessage("Read", usb::kReadPipeName), true);
    }
    return isOpen();
}

bool DriverPipeDevice::isOpen() const {
    return Valid(device_) && Valid(writePipe_) && Valid(readPipe_);
}

bool DriverPipeDevice::ensureOpen() {
    if (!isOpen()) {
        reinitialise();
        open(deviceIndex_);
    }
    return isOpen();
}

TransferStatus DriverPipeDevice::read(uint8_t* buffer, size_t count) {
    if (!ensureOpen()) {
        show("Open USB failure!");
        return TransferStatus::NotOpen;
    }
    const PipeTransfer result =
        locator_->api().readFile(readPipe_, buffer, count, usb::kPipeReadLimit);
    trace(TransferDirection::In, usb::kReadPipeName, count, result, buffer);
    if (!result.ok) {
        show("ReadFile API函数返回FALSE");
        return TransferStatus::Failed;
    }
    if (result.moved != count) {
        show("ReadFile API读到的长度与要读到的长度不等");
        return TransferStatus::Short;
    }
    return TransferStatus::Complete;
}

TransferStatus DriverPipeDevice::write(const uint8_t* buffer, size_t count) {
    if (!ensureOpen()) {
        return TransferStatus::NotOpen;
    }
    const PipeTransfer result =
        locator_->api().writeFile(writePipe_, buffer, count, usb::kPipeWriteLimit);
    trace(TransferDirection::Out, usb::kWritePipeName, count, result, buffer);
    if (!result.ok) {
        char code[16];
        std::snprintf(code, sizeof code, "%x", static_cast<unsigned>(result.error));
        show(std::string("系统API：WriteFile失败 ") + "GetLastError返回错误：" + code);
        return TransferStatus::Failed;
    }
    return result.moved == count ? TransferStatus::Complete : TransferStatus::Short;
}

void DriverPipeDevice::close() {
    releaseHandles();
}

void DriverPipeDevice::releaseHandles() {
    for (PipeHandle* handle : {&device_, &writePipe_, &readPipe_}) {
        if (Valid(*handle)) {
            locator_->api().closeHandle(*handle);
            *handle = kInvalidPipeHandle;
        }
    }
}

void DriverPipeDevice::trace(TransferDirection direction, std::string_view pipe, size_t requested,
                             const PipeTransfer& result, const uint8_t* bytes) {
    if (trace_ == nullptr) {
        return;
    }
    const size_t moved = result.ok ? std::min(result.moved, requested) : 0;
    TransferRecord record;
    record.time = clock_->now();
    record.direction = direction;
    record.pipe = pipe;
    record.requested = requested;
    record.result = result.ok ? static_cast<int>(moved) : -static_cast<int>(result.error);
    record.bytes = {bytes, direction == TransferDirection::Out ? requested : moved};
    trace_->transfer(record);
}

void DriverPipeDevice::show(const std::string& text, bool exclamation) {
    if (notifier_ != nullptr) {
        notifier_->showMessage({kApplicationTitle, text, MessageButtons::Ok,
                                exclamation ? MessageIcon::Warning : MessageIcon::None});
    }
}

}  // namespace harmoload
