#pragma once
// A file opened for one operation and closed when the object goes: the update package, the
// files unpacked from it and the inputs of a package being built. Paths are UTF-8.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace harmoload {

enum class FileAccess {
    // Reading and writing, shared with nobody: fails when the file is missing, read-only, a
    // folder or open elsewhere. (POSIX has no read-only attribute: a file that nobody may write
    // counts as read-only, and sharing is refused through advisory locks.)
    ReadWriteExclusive,
    // Reading, shared with other readers only.
    Read,
    // Writing a file that is created or emptied.
    CreateWrite,
    // Writing a file that is created here: fails when anything is at the path already, a link
    // included, so that nothing planted there is followed or written through.
    CreateNew,
};

class BinaryFile {
  public:
    BinaryFile() = default;
    ~BinaryFile() { close(); }
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    bool open(const std::string& path, FileAccess access);
    bool isOpen() const { return handle_ != kClosed; }
    void close();

    // The file's length in bytes; nothing when it cannot be told.
    std::optional<uint64_t> size() const;

    // Reads exactly count bytes at offset; false when fewer are there or reading fails.
    bool readAt(uint64_t offset, void* buffer, size_t count) const;

    // Writes all count bytes at offset; false on any failure.
    bool writeAt(uint64_t offset, const void* data, size_t count);

  private:
    static constexpr intptr_t kClosed = -1;
    intptr_t handle_ = kClosed;  // a file descriptor, or a Win32 HANDLE
};

}  // namespace harmoload
