#include "platform/PrivateProfile.h"

#include <fstream>
#include <iterator>

#include "platform/Files.h"
#include "platform/PrivateProfileReader.h"

namespace harmoload {
namespace {

std::string ParentFolder(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

uint32_t ReadPrivateProfileString(const std::u16string& section, const std::u16string& key,
                                  const std::u16string& defaultText, char16_t* buffer,
                                  uint32_t size, const std::string& path) {
    // A missing file in an existing folder reads as an empty profile; a file that cannot be
    // opened at all (folder missing, a folder, no read access) gives the default as it is.
    std::optional<ProfileDocument> document;
    if (!path.empty() && !IsDirectory(path)) {
        std::ifstream file(path, std::ios::binary);
        if (file) {
            const std::string bytes{std::istreambuf_iterator<char>(file),
                                    std::istreambuf_iterator<char>()};
            document = ParsePrivateProfile(DecodeProfileText(bytes));
        } else if (!FileExists(path) && IsDirectory(ParentFolder(path))) {
            document = ProfileDocument{};
        }
    }
    return CopyProfileString(document ? &*document : nullptr, section, key, defaultText, buffer,
                             size);
}

}  // namespace harmoload
