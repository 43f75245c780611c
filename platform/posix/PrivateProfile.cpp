#include "platform/PrivateProfile.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <mutex>

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

// What tells one version of a file from another.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t modifiedSeconds = 0;
    int64_t modifiedNanoseconds = 0;

    bool operator==(const FileStamp&) const = default;
};

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return FileStamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec,
                     info.st_mtim.tv_nsec};
}

// The last file parsed, kept for as long as the file stays as it was: a long value read with
// a growing buffer then costs one parse of the file, not one for every try, as with the
// Windows service's own cache. A changed file is read again at the next lookup.
struct ParsedFile {
    std::string path;
    FileStamp stamp;
    ProfileDocument document;
};

std::mutex parsedFileMutex;
std::optional<ParsedFile> parsedFile;

std::optional<ProfileDocument> ParseFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        return std::nullopt;
    }
    std::string bytes(static_cast<size_t>(std::max<std::streamoff>(file.tellg(), 0)), '\0');
    file.seekg(0);
    if (!file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
        return std::nullopt;
    }
    return ParsePrivateProfile(DecodeProfileText(bytes));
}

}  // namespace

uint32_t ReadPrivateProfileString(const std::u16string& section, const std::u16string& key,
                                  const std::u16string& defaultText, char16_t* buffer,
                                  uint32_t size, const std::string& path) {
    // A missing file in an existing folder reads as an empty profile; a file that cannot be
    // opened at all (folder missing, a folder, no read access) gives the default as it is.
    const std::lock_guard lock(parsedFileMutex);
    const ProfileDocument* document = nullptr;
    std::optional<ProfileDocument> uncached;
    if (!path.empty() && !IsDirectory(path)) {
        const std::optional<FileStamp> stamp = StampOf(path);
        if (stamp && parsedFile && parsedFile->path == path && parsedFile->stamp == *stamp) {
            document = &parsedFile->document;
        } else if (std::optional<ProfileDocument> parsed = ParseFile(path); parsed && stamp) {
            parsedFile = ParsedFile{path, *stamp, std::move(*parsed)};
            document = &parsedFile->document;
        } else if (parsed) {
            uncached = std::move(parsed);  // not a regular file: nothing tells its versions apart
            document = &*uncached;
        } else if (!FileExists(path) && IsDirectory(ParentFolder(path))) {
            uncached.emplace();
            document = &*uncached;
        }
    }
    return CopyProfileString(document, section, key, defaultText, buffer, size);
}

}  // namespace harmoload
