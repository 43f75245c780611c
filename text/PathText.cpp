#include "text/PathText.h"

#include "platform/Files.h"

namespace harmoload {

std::string ModuleFilePath() {
    return ModuleFileName();
}

void TruncateToDirectory(std::string& path) {
    const size_t separator = path.rfind(kPathSeparator);
    if (separator == std::string::npos) {
        path.clear();
    } else {
        path.erase(separator + 1);
    }
}

void AssignDirectory(std::string_view source, std::string& target) {
    target = source;
    TruncateToDirectory(target);
}

std::string ProgramDirectory() {
    static const std::string directory = [] {
        std::string folder;
        AssignDirectory(ModuleFilePath(), folder);
        return folder;
    }();
    return directory;
}

}  // namespace harmoload
