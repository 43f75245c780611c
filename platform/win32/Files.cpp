#include "platform/Files.h"

#include <windows.h>

#include <sddl.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/Unicode.h"

namespace harmoload {
namespace {

std::wstring Wide(const std::string& utf8) {
    const std::u16string wide = Utf8ToUtf16(utf8);
    return std::wstring(wide.begin(), wide.end());
}

}  // namespace

bool FileExists(const std::string& path) {
    return !path.empty() && GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool DeleteFileAt(const std::string& path) {
    return DeleteFileW(Wide(path).c_str()) != 0;
}

namespace {

// The current user's SID as text, for the folder's access list.
std::wstring CurrentUserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<uint8_t> buffer(size);
    std::wstring text;
    LPWSTR sid = nullptr;
    if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
        text = sid;
        LocalFree(sid);
    }
    CloseHandle(token);
    return text;
}

}  // namespace

std::string CreatePrivateFolder(const std::string& base, const std::string& prefix,
                                std::string& error) {
    // A protected access list that lets in the user alone, given to the folder as it is made.
    const std::wstring user = CurrentUserSid();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (user.empty() ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(
            (L"D:P(A;OICI;FA;;;" + user + L")").c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        error = "the current user's access list cannot be made";
        return {};
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    std::random_device random;
    std::string path;
    for (int attempt = 0; attempt < 100 && path.empty(); ++attempt) {
        const std::string candidate = base + prefix + std::to_string(random());
        if (CreateDirectoryW(Wide(candidate).c_str(), &attributes)) {
            path = candidate;
        } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
            error = "error " + std::to_string(GetLastError());
            break;
        }
    }
    LocalFree(descriptor);
    return path;
}

bool MoveFileOver(const std::string& from, const std::string& to) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::string ModuleFileName() {
    // MAX_PATH first, as the system usually needs; a longer path gets a larger buffer rather
    // than a truncated name that would point into the wrong folder.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return Utf16ToUtf8(
                std::u16string_view(reinterpret_cast<const char16_t*>(buffer.data()), length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace harmoload
