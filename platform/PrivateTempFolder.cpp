#include "platform/PrivateTempFolder.h"

#include <random>

#include "platform/Files.h"

namespace harmoload {
namespace {

constexpr int kNameAttempts = 100;

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
    std::random_device random;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::filesystem::path candidate =
            base / ("harmoload-update-" + std::to_string(random()));
        // Creation fails when the name is taken, so the folder is never someone else's.
        if (std::filesystem::create_directory(candidate, error)) {
            std::filesystem::permissions(candidate, std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::replace, error);
            path_ = candidate;
            return;
        }
        if (error && error != std::errc::file_exists) {
            break;
        }
    }
    error_ = "cannot create a folder in " + Utf8(base) +
             (error ? ": " + error.message() : std::string());
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
