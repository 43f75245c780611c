#pragma once
// Writes one data file into the instrument in echoed, summed packets, as its transfer profile
// describes, and reports progress after each packet the instrument accepts (packets done of
// packets in all, and the data bytes accepted of the file's).

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ini/IniFile.h"
#include "transfer/TransferProfile.h"
#include "usb/InstrumentContract.h"
#include "usb/UsbLink.h"

namespace harmoload {

class Clock;
class Notifier;

class PacketTransferEngine {
  public:
    PacketTransferEngine(Notifier& notifier, Clock& clock);
    // Closes the link: what the link writes to as it closes (its trace, its back ends' library)
    // must outlive the engine.
    virtual ~PacketTransferEngine();
    PacketTransferEngine(const PacketTransferEngine&) = delete;
    PacketTransferEngine& operator=(const PacketTransferEngine&) = delete;

    // Where messages are shown and progress is posted; the link shows its messages there too.
    void setNotifier(Notifier& notifier);
    // Empty: the program directory's R1.ini.
    void setProfilePath(std::string path) { profilePath_ = std::move(path); }
    const std::string& profilePath() const { return profilePath_; }
    // Judges the data file's bytes as the run loaded them, before any reaches the instrument:
    // false ends the run (the check shows its own message). Empty: every file is taken.
    void setDataCheck(std::function<bool(const std::vector<uint8_t>&)> check) {
        dataCheck_ = std::move(check);
    }

    // The whole transfer of the file at dataPath. A failing step shows its own message, then
    // the run's. The link is left open for the owner to close.
    bool run(const std::string& dataPath);

    // Reads and checks the profile at the profile path; the profile is replaced only when every
    // check passes. The first failing check shows its message.
    bool readProfile();
    bool handshake();
    bool transferData();
    bool sendChecksum();

    UsbLink& link() { return link_; }
    const TransferProfile& profile() const { return profile_; }
    // Bytes of data packets sent in this run, resent packets included.
    uint32_t totalSent() const { return totalSent_; }
    uint16_t fileSum() const { return fileSum_; }

  private:
    // What became of one packet: the instrument accepted it, found its sum wrong (the packet
    // goes again), or the exchange failed (its message shown).
    enum class PacketOutcome { Accepted, SumMismatched, Failed };

    void show(const std::string& text);
    // Reads the data file whole after checking its length against the chip; shortens the
    // packet size to the file's length.
    bool loadData(std::vector<uint8_t>& data);
    // One packet: its header (echoed), its bytes in small packets, the instrument's verdict.
    PacketOutcome sendPacket(int number, uint32_t address, const uint8_t* bytes, size_t size);

    Notifier* notifier_;
    Clock& clock_;
    IniFile profileReader_;
    TransferProfile profile_;
    std::string dataPath_;
    std::string profilePath_;
    std::function<bool(const std::vector<uint8_t>&)> dataCheck_;
    uint32_t totalSent_ = 0;
    uint16_t fileSum_ = 0;
    // One answer buffer for every packet of a transfer, filled before each read with what
    // cannot be that read's answer.
    std::array<uint8_t, usb::kHeaderBytes> answer_{};
    UsbLink link_;
};

}  // namespace harmoload
