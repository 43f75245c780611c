#pragma once
// The Windows calls that the driver-pipe back end makes, as one table the platform fills: the
// SetupAPI enumeration of the driver's interface class and the file calls on its device paths
// (real Win32 on Windows; nothing found elsewhere, or a test's scripted fake). Transfers carry
// a time limit, so that a driver that never completes a request cannot hang an update.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace harmoload {

// A device-interface class GUID, laid out as Windows declares one.
struct InterfaceClass {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};
};

// A SetupAPI device-information set (HDEVINFO); kNoDeviceSet when none could be had.
using DeviceSet = void*;
inline constexpr DeviceSet kNoDeviceSet = nullptr;

// A file handle (HANDLE), kept as an integer so that the invalid handle, -1, is a constant.
using PipeHandle = std::intptr_t;
inline constexpr PipeHandle kInvalidPipeHandle = -1;

// What SetupDiEnumDeviceInterfaces says about one member index.
enum class MemberLookup {
    Found,
    NoMoreItems,  // ERROR_NO_MORE_ITEMS: past the last member
    Failed,       // any other error: the index is skipped
};

// A read or write: whether the call succeeded, the bytes it moved, and GetLastError when not.
struct PipeTransfer {
    bool ok = false;
    size_t moved = 0;
    uint32_t error = 0;
};

// Windows' ERROR_TIMEOUT: what a transfer reports when its time limit cancelled it.
inline constexpr uint32_t kPipeTimeoutError = 1460;

class DriverPipeApi {
  public:
    virtual ~DriverPipeApi() = default;

    // SetupDiGetClassDevsW(class, no enumerator, no window, DIGCF_PRESENT |
    // DIGCF_DEVICEINTERFACE).
    virtual DeviceSet classDevices(const InterfaceClass& interfaceClass) = 0;
    // SetupDiEnumDeviceInterfaces(set, no device, class, member index).
    virtual MemberLookup enumInterface(DeviceSet set, const InterfaceClass& interfaceClass,
                                       uint32_t memberIndex) = 0;
    // The member's device path from SetupDiGetDeviceInterfaceDetailW (asked twice: its size,
    // then the path); empty on any failure.
    virtual std::u16string interfacePath(DeviceSet set, const InterfaceClass& interfaceClass,
                                         uint32_t memberIndex) = 0;
    // SetupDiDestroyDeviceInfoList.
    virtual void destroySet(DeviceSet set) = 0;

    // CreateFileW for reading and writing, shared for both, of an existing path;
    // kInvalidPipeHandle on failure.
    virtual PipeHandle createFile(const std::u16string& path) = 0;
    // ReadFile and WriteFile, abandoned and reported as failed with kPipeTimeoutError when the
    // limit passes first; a finished transfer never touches the buffer again.
    virtual PipeTransfer readFile(PipeHandle handle, uint8_t* buffer, size_t count,
                                  std::chrono::milliseconds limit) = 0;
    virtual PipeTransfer writeFile(PipeHandle handle, const uint8_t* buffer, size_t count,
                                   std::chrono::milliseconds limit) = 0;
    // CloseHandle.
    virtual void closeHandle(PipeHandle handle) = 0;
};

// The platform's calls: SetupAPI and the file API on Windows; elsewhere a table that finds
// nothing. One per process.
DriverPipeApi& SystemDriverPipes();

}  // namespace harmoload
