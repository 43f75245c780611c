#include "platform/CommandLine.h"

namespace harmoload {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

}  // namespace harmoload
