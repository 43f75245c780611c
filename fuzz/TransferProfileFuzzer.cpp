// Feeds arbitrary files to the transfer profile reader (the private-profile reading and the
// value forms), and arbitrary text to the value forms alone. Besides the sanitizers' findings,
// it stops on a profile read as valid with a size, address or packet length the transfer
// cannot use.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Clock.h"
#include "platform/Notifier.h"
#include "transfer/PacketTransferEngine.h"
#include "transfer/TransferFrames.h"
#include "transfer/TransferProfile.h"

namespace {

class SilentNotifier final : public harmoload::Notifier {
  public:
    harmoload::MessageAnswer showMessage(const harmoload::Message&) override {
        return harmoload::MessageAnswer::Ok;
    }
    void postProgress(const harmoload::ProgressEvent&) override {}
};

class StillClock final : public harmoload::Clock {
  public:
    void sleep(std::chrono::milliseconds) override {}
    std::chrono::milliseconds now() const override { return std::chrono::milliseconds(0); }
};

const std::string& ProfilePath() {
    static const std::string path = [] {
        const auto folder = std::filesystem::temp_directory_path() /
                            ("harmoload-fuzz-transfer-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        return (folder / "TEMP.INI").string();
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace harmoload;
    const std::string text(reinterpret_cast<const char*>(data), size);
    ParseProfileSize(text);
    ParseProfileAddress(text);

    {
        std::ofstream out(ProfilePath(), std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    SilentNotifier notifier;
    StillClock clock;
    PacketTransferEngine engine(notifier, clock);
    engine.setProfilePath(ProfilePath());
    if (engine.readProfile()) {
        const TransferProfile& profile = engine.profile();
        if (profile.chipSize < 0 || profile.startAddress < 0 || profile.dataLength <= 0 ||
            profile.dataLength > kDefaultDataLength ||
            profile.dataLength % static_cast<int32_t>(transfer::kSmallPacketBytes) != 0) {
            std::abort();
        }
    }
    return 0;
}
