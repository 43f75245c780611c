#pragma once
// A simulated instrument described in one line of text, so that a program run (harmoload-cli
// --simulate, or the test-double libusb0.dll) can be given its faults from the environment
// variable HARMOLOAD_SIM. Items are separated by ';' or spaces; lists by ','. For example:
//   "erase-ms=2500; handshake-wrong=3; bad-verdict=1,2; read-error=4:-5; unplug=40"
// Several instruments on one bus (a service bench) are descriptions separated by '|', each
// with its own faults, plugged in that order ("001/001", "001/002", ... counting the other
// devices): "erase-ms=0 | unplug=40 | erase-ms=0; bad-sum=1".
// Items:
//   absent               no instrument on the bus
//   other=VID:PID        another device on the bus before the instrument (hexadecimal ids)
//   erase-ms=MS          how long a sector erase takes
//   flash-fill=WORD      what the flash holds before the update (hexadecimal)
//   handshake-wrong=N    the first N handshakes are answered 0x00
//   bad-echo=N,...       the N-th echo of a template or header is corrupted
//   bad-verdict=N,...    the N-th data verdict refuses the data
//   bad-end=N,...        the N-th end answer is not 0xD4
//   bad-sum=N,...        the N-th sum answer is wrong
//   read-error=N:CODE,...   the N-th read fails with the library's error CODE
//   write-error=N:CODE,...  the N-th write fails with CODE
//   unplug=K             the instrument is gone from the K-th transfer on
//   stall=K              the instrument is silent from the K-th transfer on: every transfer
//                        takes its whole time-out and fails
//   short-answer=N:BYTES,...  only the first BYTES bytes of the N-th read's answer arrive
//   empty-answer=N,...   nothing of the N-th read's answer arrives
//   alter-answer=N:AT,...     byte AT of the N-th read's answer arrives inverted
//   partial-write=N:BYTES,... the N-th write moves only its first BYTES bytes
//   meet=K               the K-th transfer waits until every other instrument given meet= has
//                        reached its own (at most a minute of real time), else times out

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/InstrumentSettings.h"

namespace harmoload::sim {

struct OtherDevice {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    bool operator==(const OtherDevice&) const = default;
};

struct SimulatorOptions {
    bool present = true;
    std::vector<OtherDevice> others;
    InstrumentConfig config;
    InstrumentFaults faults;
};

// Nothing when the text has an item it does not know or a value it cannot read; error then
// names the item.
std::optional<SimulatorOptions> ParseSimulatorOptions(const std::string& text,
                                                      std::string* error = nullptr);

// One description per instrument, from the text's descriptions separated by '|'; an empty
// text is one instrument with the defaults. Nothing when a description cannot be read.
std::optional<std::vector<SimulatorOptions>> ParseSimulatorBench(const std::string& text,
                                                                 std::string* error = nullptr);

inline constexpr const char* kSimulatorEnvironmentVariable = "HARMOLOAD_SIM";

}  // namespace harmoload::sim
