#include "usb/UsbLink.h"

#include <string>
#include <vector>

#include "platform/Clock.h"
#include "usb/AttachedInstruments.h"
#include "usb/TransferTrace.h"

namespace harmoload {

const char* LinkModeName(LinkMode mode) {
    switch (mode) {
        case LinkMode::None:
            return "none";
        case LinkMode::Libusb:
            return "libusb";
        case LinkMode::DriverPipes:
            return "driver-pipes";
    }
    return "none";
}

bool UsbLink::open() {
    // The flash-command engine opens before each of its steps and relies on this.
    if (libusb_.isOpen()) {
        return true;
    }
    if (pinnedMode_ != LinkMode::DriverPipes) {
        libusb_.start();
        if (libusb_.open()) {
            mode_ = LinkMode::Libusb;
            traceEvent("open: libusb");
            return true;
        }
    }
    if (pinnedMode_ != LinkMode::Libusb) {
        pipes_.reinitialise();
    }
    if (pinnedMode_ != LinkMode::Libusb && pipes_.open(deviceIndex_)) {
        mode_ = LinkMode::DriverPipes;
        traceEvent("open: driver-pipes");
        return true;
    }
    mode_ = LinkMode::None;
    traceEvent("open: no instrument");
    return false;
}

TransferStatus UsbLink::read(uint8_t* buffer, size_t count) {
    lastReadBytes_ = 0;
    if (libusb_.stopRequested()) {
        return TransferStatus::Failed;
    }
    switch (mode_) {
        case LinkMode::Libusb: {
            const TransferStatus status = libusb_.read(buffer, count);
            lastReadBytes_ = libusb_.lastReadBytes();
            return status;
        }
        case LinkMode::DriverPipes: {
            // The pipes report a short read as Short: a Complete one delivered everything.
            const TransferStatus status = pipes_.read(buffer, count);
            lastReadBytes_ = status == TransferStatus::Complete ? count : 0;
            return status;
        }
        case LinkMode::None:
            break;
    }
    return TransferStatus::NotOpen;
}

TransferStatus UsbLink::write(const uint8_t* buffer, size_t count) {
    if (libusb_.stopRequested()) {
        return TransferStatus::Failed;
    }
    switch (mode_) {
        case LinkMode::Libusb:
            return libusb_.write(buffer, count);
        case LinkMode::DriverPipes:
            return pipes_.write(buffer, count);
        case LinkMode::None:
            break;
    }
    return TransferStatus::NotOpen;
}

void UsbLink::close() {
    if (mode_ == LinkMode::Libusb && libusb_.isOpen()) {
        libusb_.close();
        traceEvent("close: libusb");
    } else if (mode_ == LinkMode::DriverPipes && pipes_.isOpen()) {
        pipes_.close();
        traceEvent("close: driver-pipes");
    }
}

bool UsbLink::sendDroppingAnswer(const uint8_t* frame, size_t count, size_t answerBytes) {
    std::vector<uint8_t> answer(answerBytes);
    if (mode_ == LinkMode::Libusb) {
        // After a failed write no answer is owed, but the read is made all the same.
        if (write(frame, count) == TransferStatus::Complete) {
            readAnswer(answer.data(), answer.size());
        } else {
            read(answer.data(), answer.size());
        }
        return true;
    }
    return write(frame, count) == TransferStatus::Complete &&
           readAnswer(answer.data(), answer.size()) == TransferStatus::Complete;
}

TransferStatus UsbLink::readAnswer(uint8_t* buffer, size_t count, AnswerFollowUp followUp) {
    const int recoveries = libusb_.readRecoveries();
    TransferStatus status = TransferStatus::Complete;
    while (status == TransferStatus::Complete && !owedAnswers_.empty()) {
        const OwedAnswer owed = owedAnswers_.front();
        std::vector<uint8_t> late(owed.bytes);
        status = read(late.data(), late.size());
        if (status == TransferStatus::Complete) {
            owedAnswers_.pop_front();
            if (owed.followUp.bytes > 0 && lastReadBytes_ > 0 && late[0] == owed.followUp.when) {
                owedAnswers_.push_front({owed.followUp.bytes, {}});
            }
        }
    }
    if (status == TransferStatus::Complete) {
        status = read(buffer, count);
    }
    if (libusb_.readRecoveries() != recoveries) {
        forgetOwedAnswers();
    } else if (status == TransferStatus::Failed) {
        // Timed out or failed: the answer may still come. A short one came, and is over.
        owedAnswers_.push_back({count, followUp});
    }
    return status;
}

void UsbLink::drainPendingAnswers(size_t count) {
    if (mode_ != LinkMode::Libusb) {
        return;
    }
    std::vector<uint8_t> drained(count);
    libusb_.read(drained.data(), drained.size());
}

void UsbLink::pin(const AttachedInstrument& instrument) {
    pinnedMode_ = instrument.backEnd;
    libusb_.pin(instrument.backEnd == LinkMode::Libusb ? instrument.libusbDevice : nullptr);
    pipes_.pin(instrument.backEnd == LinkMode::DriverPipes ? instrument.device : std::string());
}

void UsbLink::setNotifier(Notifier* notifier) {
    libusb_.setNotifier(notifier);
    pipes_.setNotifier(notifier);
}

void UsbLink::setClock(Clock& clock) {
    libusb_.setClock(clock);
    pipes_.setClock(clock);
}

void UsbLink::setTrace(TransferTrace* trace) {
    trace_ = trace;
    libusb_.setTrace(trace);
    pipes_.setTrace(trace);
}

void UsbLink::traceEvent(const char* text) {
    if (trace_ != nullptr) {
        trace_->event(libusb_.clock().now(), text);
    }
}

}  // namespace harmoload
