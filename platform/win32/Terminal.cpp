#include "platform/Terminal.h"

#include <io.h>

#include <cstdio>

namespace harmoload {

bool IsTerminal(StandardStream stream) {
    FILE* file = stream == StandardStream::Input    ? stdin
                 : stream == StandardStream::Output ? stdout
                                                    : stderr;
    return _isatty(_fileno(file)) != 0;
}

}  // namespace harmoload
