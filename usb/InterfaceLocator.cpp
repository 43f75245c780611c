#include "usb/InterfaceLocator.h"

#include "platform/CodePage.h"
#include "platform/Unicode.h"
#include "usb/DriverPipeIdentity.h"

namespace harmoload {
namespace {

// The set of present interfaces of the driver's class, destroyed when it goes.
class ClassSet {
  public:
    explicit ClassSet(DriverPipeApi& api)
        : api_(api), set_(api.classDevices(usb::kDriverInterfaceClass)) {}
    ~ClassSet() {
        if (set_ != kNoDeviceSet) {
            api_.destroySet(set_);
        }
    }
    ClassSet(const ClassSet&) = delete;
    ClassSet& operator=(const ClassSet&) = delete;

    DeviceSet get() const { return set_; }
    explicit operator bool() const { return set_ != kNoDeviceSet; }

  private:
    DriverPipeApi& api_;
    DeviceSet set_;
};

}  // namespace

int InterfaceLocator::count() {
    ClassSet set(*api_);
    if (!set) {
        return 0;
    }
    int members = 0;
    for (uint32_t index = 0; index <= usb::kHighestMemberIndex; ++index) {
        const MemberLookup lookup =
            api_->enumInterface(set.get(), usb::kDriverInterfaceClass, index);
        if (lookup == MemberLookup::NoMoreItems) {
            break;
        }
        if (lookup == MemberLookup::Found) {
            ++members;
        }
    }
    return members;
}

std::string InterfaceLocator::devicePath(uint32_t memberIndex) {
    ClassSet set(*api_);
    if (!set || api_->enumInterface(set.get(), usb::kDriverInterfaceClass, memberIndex) !=
                    MemberLookup::Found) {
        return {};
    }
    return Utf8ToAnsi(
        Utf16ToUtf8(api_->interfacePath(set.get(), usb::kDriverInterfaceClass, memberIndex)));
}

PipeHandle InterfaceLocator::openDevice(uint32_t memberIndex) {
    keptPath_ = devicePath(memberIndex);
    if (keptPath_.empty()) {
        return kInvalidPipeHandle;
    }
    return api_->createFile(AnsiToUtf16(keptPath_));
}

PipeHandle InterfaceLocator::openPipe(std::string_view pipeName) {
    std::string path = keptPath_;
    path += '\\';
    path += pipeName;
    return api_->createFile(AnsiToUtf16(path));
}

InterfaceLocator& SystemInterfaceLocator() {
    static InterfaceLocator locator(SystemDriverPipes());
    return locator;
}

}  // namespace harmoload
