#include "platform/BinaryFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace harmoload {
namespace {

int OpenFlags(FileAccess access) {
    switch (access) {
        case FileAccess::ReadWriteExclusive:
            return O_RDWR | O_CLOEXEC;
        case FileAccess::Read:
            return O_RDONLY | O_CLOEXEC;
        case FileAccess::CreateWrite:
            return O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
        case FileAccess::CreateNew:
            return O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    }
    return O_RDONLY | O_CLOEXEC;
}

// What Windows refuses, refused here too: folders, files nobody may write (the read-only
// attribute) for read-write access, and files another process holds against this access.
bool AcceptOpenedFile(int fd, FileAccess access) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        return false;
    }
    if (access == FileAccess::ReadWriteExclusive &&
        (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return false;
    }
    if (access == FileAccess::ReadWriteExclusive) {
        return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    }
    if (access == FileAccess::Read) {
        if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
            return false;
        }
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    return true;
}

}  // namespace

bool BinaryFile::open(const std::string& path, FileAccess access) {
    close();
    if (path.empty()) {
        return false;
    }
    int fd;
    do {
        fd = ::open(path.c_str(), OpenFlags(access), 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return false;
    }
    if (!AcceptOpenedFile(fd, access)) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    return true;
}

void BinaryFile::close() {
    if (handle_ != kClosed) {
        ::close(static_cast<int>(handle_));
        handle_ = kClosed;
    }
}

std::optional<uint64_t> BinaryFile::size() const {
    struct stat info {};
    if (handle_ == kClosed || ::fstat(static_cast<int>(handle_), &info) != 0 || info.st_size < 0) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(info.st_size);
}

bool BinaryFile::readAt(uint64_t offset, void* buffer, size_t count) const {
    if (handle_ == kClosed) {
        return false;
    }
    auto* bytes = static_cast<char*>(buffer);
    while (count > 0) {
        const ssize_t got =
            ::pread(static_cast<int>(handle_), bytes, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        bytes += got;
        offset += static_cast<uint64_t>(got);
        count -= static_cast<size_t>(got);
    }
    return true;
}

bool BinaryFile::writeAt(uint64_t offset, const void* data, size_t count) {
    if (handle_ == kClosed) {
        return false;
    }
    const auto* bytes = static_cast<const char*>(data);
    while (count > 0) {
        const ssize_t put =
            ::pwrite(static_cast<int>(handle_), bytes, count, static_cast<off_t>(offset));
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        bytes += put;
        offset += static_cast<uint64_t>(put);
        count -= static_cast<size_t>(put);
    }
    return true;
}

}  // namespace harmoload
