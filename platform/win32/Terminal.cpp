#include "platform/Terminal.h"

#include <io.h>
#include <windows.h>

#include <cstdio>

namespace harmoload {

bool IsTerminal(StandardStream stream) {
    FILE* file = stream == StandardStream::Input    ? stdin
                 : stream == StandardStream::Output ? stdout
                                                    : stderr;
    return _isatty(_fileno(file)) != 0;
}

bool EnableCursorMovement() {
    if (!IsTerminal(StandardStream::Output)) {
        return false;
    }
    HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return GetConsoleMode(console, &mode) != 0 &&
           SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace harmoload
