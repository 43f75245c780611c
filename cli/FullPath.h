#pragma once
// The path made absolute: the "full path" that the commands' messages name.

#include <string>

namespace harmoload {

// The path as given when it cannot be made absolute.
std::string FullPath(const std::string& path);

}  // namespace harmoload
