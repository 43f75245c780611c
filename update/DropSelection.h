#pragma once
// Which of the items dropped on the dialog (or named on its command line) is opened as a package.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace harmoload {

// True when the text after the last "." of the path is "DAT" in any letter case.
bool HasPackageExtension(std::string_view path);

// The first item, in drop order, that is not a folder, if it is a package (.DAT); nothing when
// it is not, or when every item is a folder. The items after it are never looked at.
std::optional<std::string> DroppedPackage(const std::vector<std::string>& paths);

}  // namespace harmoload
