#include "simusb/ListenPath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace harmoload::simusb {

bool ClearStaleSocket(const std::string& path, std::string& error) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return true;
        }
        error = "cannot look at " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISSOCK(info.st_mode)) {
        error = path + " is there and is not a socket; it is left as it is";
        return false;
    }
    if (::unlink(path.c_str()) != 0) {
        error = "cannot remove the old socket " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace harmoload::simusb
