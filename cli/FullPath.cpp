#include "cli/FullPath.h"

#include <filesystem>

namespace harmoload {

std::string FullPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(
        std::filesystem::path(std::u8string(path.begin(), path.end())), error);
    if (error) {
        return path;
    }
    const std::u8string text = full.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace harmoload
