#pragma once
// The Unix socket path harmoload-sim-usb listens on: a socket an earlier run left there is
// removed, anything else at the path is left alone and refused.

#include <string>

namespace harmoload::simusb {

// True when the path is free to bind (nothing there, or a socket that was removed); false with
// the reason in error when something else is there.
bool ClearStaleSocket(const std::string& path, std::string& error);

}  // namespace harmoload::simusb
