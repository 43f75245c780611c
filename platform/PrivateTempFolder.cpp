#include "platform/PrivateTempFolder.h"

#include "platform/Files.h"

namespace harmoload {
namespace {

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

PrivateTempFolder::PrivateTempFolder() {
    // Every failure is reported through error_, never thrown: an unusable TMPDIR or TEMP must
    // fail the run with a message, not end the program.
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) {
        error_ = "the temporary folder is not usable: " + error.message();
        return;
    }
    std::string why;
    const std::string created = CreatePrivateFolder(Utf8(base / ""), "harmoload-update-", why);
    if (created.empty()) {
        error_ = "cannot create a folder in " + Utf8(base) + ": " + why;
        return;
    }
    path_ = std::filesystem::path(std::u8string(created.begin(), created.end()));
}

PrivateTempFolder::~PrivateTempFolder() {
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}

std::string PrivateTempFolder::path() const {
    return Utf8(path_) + kPathSeparator;
}

}  // namespace harmoload
