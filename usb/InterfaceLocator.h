#pragma once
// Finds the driver's device interfaces and opens them: counts the members of the interface
// class, gives a member's device path, and opens a member or one of its pipes. The path of the
// interface opened last is kept for its pipes; both engines' links share that path, so a link
// holds the locator from its device's open to its last pipe's.

#include <mutex>
#include <string>
#include <string_view>

#include "usb/DriverPipeApi.h"

namespace harmoload {

class InterfaceLocator {
  public:
    explicit InterfaceLocator(DriverPipeApi& api) : api_(&api) {}
    virtual ~InterfaceLocator() = default;
    InterfaceLocator(const InterfaceLocator&) = delete;
    InterfaceLocator& operator=(const InterfaceLocator&) = delete;

    // The calls the locator makes; rebinding while a link opens is not allowed.
    void bind(DriverPipeApi& api) { api_ = &api; }
    DriverPipeApi& api() const { return *api_; }

    // Members of the class that enumerate, from index 0 up to the highest examined, ending at
    // the first "no more items"; any other failure skips its index. 0 when there is no set.
    int count();
    // The member's device path as 8-bit text in the ANSI code page; empty on any failure.
    std::string devicePath(uint32_t memberIndex);

    // Keeps another link from replacing the kept path until the returned lock goes.
    std::unique_lock<std::mutex> hold() { return std::unique_lock(mutex_); }
    // Keeps the member's device path and opens it. Hold the locator around this and the
    // openPipe calls that follow.
    PipeHandle openDevice(uint32_t memberIndex);
    // Opens the kept path + "\" + pipe name. The path is kept whole, however long.
    PipeHandle openPipe(std::string_view pipeName);
    const std::string& keptPath() const { return keptPath_; }

  private:
    DriverPipeApi* api_;
    std::mutex mutex_;
    std::string keptPath_;  // ANSI
};

// The process's locator, over the platform's calls unless a test binds it elsewhere.
InterfaceLocator& SystemInterfaceLocator();

}  // namespace harmoload
