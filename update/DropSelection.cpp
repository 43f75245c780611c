#include "update/DropSelection.h"

#include "platform/Files.h"
#include "text/AsciiCase.h"

namespace harmoload {

bool HasPackageExtension(std::string_view path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) {
        return false;
    }
    const std::string_view extension = path.substr(dot + 1);
    constexpr std::string_view kPackageExtension = "DAT";
    if (extension.size() != kPackageExtension.size()) {
        return false;
    }
    for (size_t i = 0; i < extension.size(); ++i) {
        if (AsciiUpper(extension[i]) != kPackageExtension[i]) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> DroppedPackage(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (IsDirectory(path)) {
            continue;
        }
        if (HasPackageExtension(path)) {
            return path;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace harmoload
