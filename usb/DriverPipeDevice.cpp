#include "usb/DriverPipeDevice.h"

#include "platform/Notifier.h"

namespace harmoload {

void DriverPipeDevice::reinitialise() {
    releaseHandles();
    enumerate();
    deviceIndex_ = 0;
}

void DriverPipeDevice::enumerate() {
    // No discovery of the driver's interfaces yet: the found list stays empty.
    found_.clear();
}

bool DriverPipeDevice::open(int index) {
    if (index < 0 || static_cast<size_t>(index) >= found_.size()) {
        return false;
    }
    return open_;
}

TransferStatus DriverPipeDevice::read(uint8_t* /*buffer*/, size_t /*count*/) {
    if (!open_) {
        reinitialise();
        if (!open(deviceIndex_)) {
            if (notifier_ != nullptr) {
                notifier_->showMessage({kApplicationTitle, "Open USB failure!"});
            }
            return TransferStatus::NotOpen;
        }
    }
    return TransferStatus::Failed;
}

TransferStatus DriverPipeDevice::write(const uint8_t* /*buffer*/, size_t /*count*/) {
    if (!open_) {
        reinitialise();
        if (!open(deviceIndex_)) {
            return TransferStatus::NotOpen;
        }
    }
    return TransferStatus::Failed;
}

void DriverPipeDevice::close() {
    releaseHandles();
}

void DriverPipeDevice::releaseHandles() {
    open_ = false;
}

}  // namespace harmoload
