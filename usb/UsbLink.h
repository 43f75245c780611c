#pragma once
// One engine's connection to the instrument: opens it through libusb first and through the
// driver pipes as a fallback, remembers which back end it opened, and routes every read, write
// and close to that back end. Frames go whole; the link adds no framing and no retry.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <iosfwd>

#include "usb/DriverPipeDevice.h"
#include "usb/LibusbDevice.h"
#include "usb/TransferStatus.h"

namespace harmoload {

struct AttachedInstrument;
class Clock;
class InterfaceLocator;
class Notifier;
class StopRequest;
class TransferTrace;

// An answer that, when it starts with the byte when, is followed by another of bytes.
struct AnswerFollowUp {
    uint8_t when = 0;
    size_t bytes = 0;  // 0: none follows
};

class UsbLink {
  public:
    UsbLink() = default;
    UsbLink(const UsbLink&) = delete;
    UsbLink& operator=(const UsbLink&) = delete;

    // True at once, mode unchanged, when libusb is already open. Otherwise libusb is started
    // and tried, then the driver pipes; the mode records which opened, or None. Shows nothing
    // when no instrument is found.
    bool open();
    // Routed by mode; mode None is NotOpen at once, with no message and no transfer. A read or
    // write after close re-opens the back end that the mode still names.
    TransferStatus read(uint8_t* buffer, size_t count);
    TransferStatus write(const uint8_t* buffer, size_t count);
    // Bytes the last read delivered. A Complete read may deliver fewer than asked, none
    // included: a caller that needs the whole answer checks this.
    size_t lastReadBytes() const { return lastReadBytes_; }
    // Reads the answer to the frame just written, keeping the exchanges in step: a read that
    // fails leaves its answer owed, since the instrument may still deliver it late, and the
    // answers owed are read and dropped, in order, before this one. A late answer is never
    // taken for the answer to a later frame, whatever bytes it holds.
    // followUp: an answer whose first byte is followUp.when is followed by a second answer,
    // owed along with it (a block's verdict and its end answer).
    TransferStatus readAnswer(uint8_t* buffer, size_t count, AnswerFollowUp followUp = {});
    // A handshake, or a read recovery, has the instrument drop whatever it still had to say.
    void forgetOwedAnswers() { owedAnswers_.clear(); }
    size_t owedAnswers() const { return owedAnswers_.size(); }
    // Closes the back end the mode names, when it is open; the mode stays.
    void close();

    // A frame whose answer the caller has no use for: written, then answerBytes read (as
    // readAnswer does) and dropped. Through libusb the exchange counts as done whatever either
    // transfer reports; through the driver pipes the write and then the read must be Complete.
    bool sendDroppingAnswer(const uint8_t* frame, size_t count, size_t answerBytes);
    // Reads up to count bytes that the instrument may still have queued and drops them, so
    // that they do not come back as the answer to a later frame. Only libusb drains: its read
    // takes whatever has arrived, where a pipe read waits for exactly count bytes and reports
    // any shortfall with a message.
    void drainPendingAnswers(size_t count);

    // Reaches this instrument alone, through its back end alone, from the next open on; an
    // instrument with no back end unpins. Pin before the first open, never while open.
    void pin(const AttachedInstrument& instrument);

    LinkMode mode() const { return mode_; }
    // Why the last open found no instrument through libusb, when the library could tell.
    LibusbOpenFailure openFailure() const { return libusb_.openFailure(); }
    LibusbDevice& libusb() { return libusb_; }
    DriverPipeDevice& pipes() { return pipes_; }

    // The libusb table the link calls (the system's unless bound elsewhere).
    void bindLibusb(LibusbApi& api) { libusb_.bind(api); }
    // The locator the driver pipes find and open through (the process's unless bound elsewhere).
    void bindDriverPipes(InterfaceLocator& locator) { pipes_.bind(locator); }
    // Where the back ends show their messages.
    void setNotifier(Notifier* notifier);
    // Owns the back ends' pauses.
    void setClock(Clock& clock);
    // Where the libusb back end prints the line about a failed write.
    void setConsole(std::ostream& console) { libusb_.setConsole(console); }
    // Records every transfer and every open and close when set, timed by the link's clock.
    void setTrace(TransferTrace* trace);
    // Once the stop is requested every read and write, on either back end, fails at once
    // without reaching the instrument: the engine ends at its next transfer. Null: never.
    void setStopRequest(const StopRequest* stop) { libusb_.setStopRequest(stop); }

  private:
    void traceEvent(const char* text);

    LinkMode mode_ = LinkMode::None;
    LinkMode pinnedMode_ = LinkMode::None;  // None: libusb first, then the driver pipes
    LibusbDevice libusb_;
    DriverPipeDevice pipes_;
    int deviceIndex_ = 0;  // the first driver device found
    TransferTrace* trace_ = nullptr;
    size_t lastReadBytes_ = 0;
    struct OwedAnswer {
        size_t bytes = 0;
        AnswerFollowUp followUp;
    };
    std::deque<OwedAnswer> owedAnswers_;  // oldest first
};

}  // namespace harmoload
