#include "platform/Terminal.h"

#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace harmoload {

bool IsTerminal(StandardStream stream) {
    const int descriptor = stream == StandardStream::Input    ? STDIN_FILENO
                           : stream == StandardStream::Output ? STDOUT_FILENO
                                                              : STDERR_FILENO;
    return isatty(descriptor) != 0;
}

bool EnableCursorMovement() {
    const char* terminal = std::getenv("TERM");
    return IsTerminal(StandardStream::Output) && terminal != nullptr &&
           std::string_view(terminal) != "dumb";
}

}  // namespace harmoload
