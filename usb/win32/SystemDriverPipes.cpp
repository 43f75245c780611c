#include "usb/win32/SystemDriverPipes.h"

#include <windows.h>
// After windows.h, which it needs.
#include <setupapi.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace harmoload {
namespace {

GUID Guid(const InterfaceClass& interfaceClass) {
    GUID guid;
    guid.Data1 = interfaceClass.data1;
    guid.Data2 = interfaceClass.data2;
    guid.Data3 = interfaceClass.data3;
    std::memcpy(guid.Data4, interfaceClass.data4, sizeof guid.Data4);
    return guid;
}

HANDLE Handle(PipeHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// The interface data of one member, its size field set for this build: 64-bit SetupAPI
// rejects the 32-bit program's 28 bytes.
bool EnumInterface(DeviceSet set, const GUID& guid, uint32_t memberIndex,
                   SP_DEVICE_INTERFACE_DATA& data) {
    data = {};
    data.cbSize = sizeof data;
    return SetupDiEnumDeviceInterfaces(static_cast<HDEVINFO>(set), nullptr, &guid, memberIndex,
                                       &data) != FALSE;
}

// One transfer started overlapped, waited for up to the limit and cancelled past it. The
// cancelled request is waited for too, so the buffer is the caller's again on return.
template <typename Start>
PipeTransfer Transfer(PipeHandle pipe, std::chrono::milliseconds limit, Start start) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr) {
        return {false, 0, GetLastError()};
    }
    PipeTransfer result;
    DWORD moved = 0;
    if (start(&overlapped) || GetLastError() == ERROR_IO_PENDING) {
        const DWORD waitMs = static_cast<DWORD>(std::min<long long>(limit.count(), INFINITE - 1));
        if (WaitForSingleObject(overlapped.hEvent, waitMs) == WAIT_OBJECT_0) {
            result.ok = GetOverlappedResult(Handle(pipe), &overlapped, &moved, FALSE) != FALSE;
            result.error = result.ok ? 0 : GetLastError();
        } else {
            CancelIoEx(Handle(pipe), &overlapped);
            // Completed after all when the cancel came too late: the bytes count.
            result.ok = GetOverlappedResult(Handle(pipe), &overlapped, &moved, TRUE) != FALSE;
            result.error = result.ok ? 0 : kPipeTimeoutError;
        }
        result.moved = result.ok ? moved : 0;
    } else {
        result.error = GetLastError();
    }
    CloseHandle(overlapped.hEvent);
    return result;
}

}  // namespace

DeviceSet Win32DriverPipes::classDevices(const InterfaceClass& interfaceClass) {
    const GUID guid = Guid(interfaceClass);
    HDEVINFO set =
        SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    return set == INVALID_HANDLE_VALUE ? kNoDeviceSet : static_cast<DeviceSet>(set);
}

MemberLookup Win32DriverPipes::enumInterface(DeviceSet set, const InterfaceClass& interfaceClass,
                                             uint32_t memberIndex) {
    SP_DEVICE_INTERFACE_DATA data;
    if (EnumInterface(set, Guid(interfaceClass), memberIndex, data)) {
        return MemberLookup::Found;
    }
    return GetLastError() == ERROR_NO_MORE_ITEMS ? MemberLookup::NoMoreItems : MemberLookup::Failed;
}

std::u16string Win32DriverPipes::interfacePath(DeviceSet set, const InterfaceClass& interfaceClass,
                                               uint32_t memberIndex) {
    SP_DEVICE_INTERFACE_DATA data;
    if (!EnumInterface(set, Guid(interfaceClass), memberIndex, data)) {
        return {};
    }
    auto* devices = static_cast<HDEVINFO>(set);
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailW(devices, &data, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
        return {};
    }
    // The header's size field is that of the fixed part for this build (8 in a 64-bit one,
    // where the 32-bit program's 6 is refused); the buffer holds the whole path after it.
    std::vector<unsigned char> buffer(required);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!SetupDiGetDeviceInterfaceDetailW(devices, &data, detail, required, nullptr, &device)) {
        return {};
    }
    return reinterpret_cast<const char16_t*>(detail->DevicePath);
}

void Win32DriverPipes::destroySet(DeviceSet set) {
    SetupDiDestroyDeviceInfoList(static_cast<HDEVINFO>(set));
}

PipeHandle Win32DriverPipes::createFile(const std::u16string& path) {
    HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()),
                                GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    return handle == INVALID_HANDLE_VALUE ? kInvalidPipeHandle
                                          : reinterpret_cast<PipeHandle>(handle);
}

PipeTransfer Win32DriverPipes::readFile(PipeHandle handle, uint8_t* buffer, size_t count,
                                        std::chrono::milliseconds limit) {
    if (count > MAXDWORD) {
        return {false, 0, ERROR_INVALID_PARAMETER};
    }
    return Transfer(handle, limit, [&](OVERLAPPED* overlapped) {
        return ReadFile(Handle(handle), buffer, static_cast<DWORD>(count), nullptr, overlapped) !=
               FALSE;
    });
}

PipeTransfer Win32DriverPipes::writeFile(PipeHandle handle, const uint8_t* buffer, size_t count,
                                         std::chrono::milliseconds limit) {
    if (count > MAXDWORD) {
        return {false, 0, ERROR_INVALID_PARAMETER};
    }
    return Transfer(handle, limit, [&](OVERLAPPED* overlapped) {
        return WriteFile(Handle(handle), buffer, static_cast<DWORD>(count), nullptr, overlapped) !=
               FALSE;
    });
}

void Win32DriverPipes::closeHandle(PipeHandle handle) {
    CloseHandle(Handle(handle));
}

DriverPipeApi& SystemDriverPipes() {
    static Win32DriverPipes pipes;
    return pipes;
}

}  // namespace harmoload
