// Feeds arbitrary text to the flash profile reader, then to the profile's checks and the sector
// map the run lays over the data. Besides the sanitizers' findings, it stops on a profile that
// the run would accept while its cycle lists are shorter than the cycles it sends, or whose
// sectors do not all have a positive size.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "flash/FlashFrames.h"
#include "flash/FlashProfile.h"
#include "flash/FlashProfileCheck.h"
#include "platform/Notifier.h"

namespace {

class SilentNotifier final : public harmoload::Notifier {
  public:
    harmoload::MessageAnswer showMessage(const harmoload::Message&) override {
        return harmoload::MessageAnswer::Yes;
    }
    void postProgress(const harmoload::ProgressEvent&) override {}
};

bool Shorter(const std::vector<int32_t>& list, int32_t count) {
    return count < 0 || static_cast<int64_t>(list.size()) < count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace harmoload;
    SilentNotifier notifier;
    FlashProfile profile;
    ReadFlashProfileText(std::string_view(reinterpret_cast<const char*>(data), size), profile,
                         notifier);
    const ProfileFinding finding = CheckFlashProfile(profile);
    if ((finding.verdict == ProfileVerdict::Passed) != finding.text.empty()) {
        std::abort();
    }
    EngineMessage(finding.text, finding.kind);
    // Whatever the user answered to a warning, the run goes on only without a run fault.
    if (FindRunFault(profile)) {
        return 0;
    }
    if (Shorter(profile.eraseAddresses, profile.eraseCycleCount) ||
        Shorter(profile.eraseData, profile.eraseCycleCount) || profile.blockSize <= 0 ||
        profile.fileOffset < 0) {
        std::abort();
    }
    for (size_t i = 0; i < profile.sectorAddresses.size(); ++i) {
        if (flash::SectorSize(profile, i) <= 0) {
            std::abort();
        }
        flash::IsReservedSector(profile, i);
    }
    const flash::Frame frame = profile.bufferedWrite ? flash::WriteBufferTemplateFrame(profile)
                                                     : flash::ProgramTemplateFrame(profile);
    if (frame.empty()) {
        std::abort();
    }
    return 0;
}
