#include "platform/BinaryFile.h"

#include <windows.h>

#include <algorithm>

#include "platform/Unicode.h"

namespace harmoload {
namespace {

HANDLE AsHandle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// One ReadFile or WriteFile moves at most this much, well inside a DWORD.
constexpr size_t kMaxTransferBytes = 1u << 30;

OVERLAPPED At(uint64_t offset) {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return position;
}

}  // namespace

bool BinaryFile::open(const std::string& path, FileAccess access) {
    close();
    if (path.empty()) {
        return false;
    }
    const std::u16string wide = Utf8ToUtf16(path);
    DWORD desired = GENERIC_READ;
    DWORD share = FILE_SHARE_READ;
    DWORD disposition = OPEN_EXISTING;
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    switch (access) {
        case FileAccess::ReadWriteExclusive:
            // CreateFileW refuses write access to a read-only file by itself; asking first keeps
            // the refusal where a file system or emulation would not make it.
            if (const DWORD attributes =
                    GetFileAttributesW(reinterpret_cast<const wchar_t*>(wide.c_str()));
                attributes != INVALID_FILE_ATTRIBUTES &&
                (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
                return false;
            }
            desired = GENERIC_READ | GENERIC_WRITE;
            share = 0;
            break;
        case FileAccess::Read:
            flags |= FILE_FLAG_SEQUENTIAL_SCAN;
            break;
        case FileAccess::CreateWrite:
            desired = GENERIC_WRITE;
            disposition = CREATE_ALWAYS;
            break;
        case FileAccess::CreateNew:
            // CREATE_NEW fails on anything at the path, a reparse point included; opening the
            // reparse point itself keeps one planted in a race from being followed.
            desired = GENERIC_WRITE;
            disposition = CREATE_NEW;
            flags |= FILE_FLAG_OPEN_REPARSE_POINT;
            break;
    }
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t*>(wide.c_str()), desired,
                                      share, nullptr, disposition, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    handle_ = reinterpret_cast<intptr_t>(handle);
    return true;
}

void BinaryFile::close() {
    if (handle_ != kClosed) {
        CloseHandle(AsHandle(handle_));
        handle_ = kClosed;
    }
}

std::optional<uint64_t> BinaryFile::size() const {
    LARGE_INTEGER length{};
    if (handle_ == kClosed || !GetFileSizeEx(AsHandle(handle_), &length) || length.QuadPart < 0) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(length.QuadPart);
}

bool BinaryFile::readAt(uint64_t offset, void* buffer, size_t count) const {
    if (handle_ == kClosed) {
        return false;
    }
    auto* bytes = static_cast<char*>(buffer);
    while (count > 0) {
        OVERLAPPED position = At(offset);
        DWORD got = 0;
        const DWORD wanted = static_cast<DWORD>(std::min(count, kMaxTransferBytes));
        if (!ReadFile(AsHandle(handle_), bytes, wanted, &got, &position) || got == 0) {
            return false;
        }
        bytes += got;
        offset += got;
        count -= got;
    }
    return true;
}

bool BinaryFile::writeAt(uint64_t offset, const void* data, size_t count) {
    if (handle_ == kClosed) {
        return false;
    }
    const auto* bytes = static_cast<const char*>(data);
    while (count > 0) {
        OVERLAPPED position = At(offset);
        DWORD put = 0;
        const DWORD wanted = static_cast<DWORD>(std::min(count, kMaxTransferBytes));
        if (!WriteFile(AsHandle(handle_), bytes, wanted, &put, &position) || put == 0) {
            return false;
        }
        bytes += put;
        offset += put;
        count -= put;
    }
    return true;
}

}  // namespace harmoload
