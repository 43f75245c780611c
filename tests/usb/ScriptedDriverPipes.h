#pragma once
// A driver-pipe table that plays back a scripted interface class and scripted transfers, counts
// the handles it hands out and logs every call, so that a test can pin the back end's calls.

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Unicode.h"
#include "usb/DriverPipeApi.h"

namespace harmoload::testing {

class ScriptedDriverPipes final : public DriverPipeApi {
  public:
    struct Member {
        std::string path;        // empty: the detail query fails
        bool enumerates = true;  // false: the enumeration fails with an error other than
                                 // "no more items", and the index is skipped
    };
    struct Result {
        bool ok = true;
        std::vector<uint8_t> bytes;  // what a read delivers
        uint32_t error = 0;
        size_t moved = SIZE_MAX;  // for writes: bytes written (all when SIZE_MAX)
    };

    // The class set in member-index order; classSetFails stands for a set that cannot be had.
    std::vector<Member> members;
    bool classSetFails = false;
    // Paths that do not open.
    std::set<std::string> refused;
    // Results of the next reads and writes; past the script a read times out and a write
    // moves all its bytes.
    std::deque<Result> reads;
    std::deque<Result> writes;
    // Called with each path just before it is opened.
    std::function<void(const std::string&)> beforeOpen;

    std::vector<std::string> log;
    std::vector<std::vector<uint8_t>> written;

    // Handles handed out and not yet closed.
    size_t openHandles() const { return handles_.size(); }
    // The path each handle was opened with.
    std::string pathOf(PipeHandle handle) const {
        const auto found = handles_.find(handle);
        return found == handles_.end() ? "closed handle" : found->second;
    }

    DeviceSet classDevices(const InterfaceClass&) override {
        note("class_devices");
        return classSetFails ? kNoDeviceSet : static_cast<DeviceSet>(&members);
    }
    MemberLookup enumInterface(DeviceSet, const InterfaceClass&, uint32_t index) override {
        note("enum " + std::to_string(index));
        if (index >= members.size()) {
            return MemberLookup::NoMoreItems;
        }
        return members[index].enumerates ? MemberLookup::Found : MemberLookup::Failed;
    }
    std::u16string interfacePath(DeviceSet, const InterfaceClass&, uint32_t index) override {
        note("detail " + std::to_string(index));
        return index < members.size() ? Utf8ToUtf16(members[index].path) : std::u16string();
    }
    void destroySet(DeviceSet) override { note("destroy"); }

    PipeHandle createFile(const std::u16string& widePath) override {
        const std::string path = Utf16ToUtf8(widePath);
        note("create " + path);
        if (beforeOpen) {
            beforeOpen(path);
        }
        if (refused.count(path) != 0) {
            return kInvalidPipeHandle;
        }
        handles_[++lastHandle_] = path;
        return lastHandle_;
    }
    PipeTransfer readFile(PipeHandle handle, uint8_t* buffer, size_t count,
                          std::chrono::milliseconds limit) override {
        note("read " + pathOf(handle) + " " + std::to_string(count) + " " +
             std::to_string(limit.count()) + "ms");
        if (reads.empty()) {
            return {false, 0, kPipeTimeoutError};
        }
        const Result next = reads.front();
        reads.pop_front();
        const size_t moved = std::min(next.bytes.size(), count);
        std::copy(next.bytes.begin(), next.bytes.begin() + static_cast<ptrdiff_t>(moved), buffer);
        return {next.ok, next.ok ? moved : 0, next.error};
    }
    PipeTransfer writeFile(PipeHandle handle, const uint8_t* buffer, size_t count,
                           std::chrono::milliseconds limit) override {
        note("write " + pathOf(handle) + " " + std::to_string(count) + " " +
             std::to_string(limit.count()) + "ms");
        written.emplace_back(buffer, buffer + count);
        if (writes.empty()) {
            return {true, count, 0};
        }
        const Result next = writes.front();
        writes.pop_front();
        return {next.ok, next.ok ? std::min(next.moved, count) : 0, next.error};
    }
    void closeHandle(PipeHandle handle) override {
        note("close " + pathOf(handle));
        handles_.erase(handle);
    }

  private:
    void note(const std::string& call) { log.push_back(call); }

    std::map<PipeHandle, std::string> handles_;
    PipeHandle lastHandle_ = 0x100;
};

}  // namespace harmoload::testing
