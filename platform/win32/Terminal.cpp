#include "platform/Terminal.h"

#include <windows.h>

#include <io.h>

#include <cstdio>

namespace harmoload {

bool IsTerminal(StandardStream stream) {
    FILE* file = stream == StandardStream::Input    ? stdin
                 : stream == StandardStream::Output ? stdout
                                                    : stderr;
    return _isatty(_fileno(file)) != 0;
}

int TerminalColumns(StandardStream stream) {
    if (stream == StandardStream::Input) {
        return 0;
    }
    CONSOLE_SCREEN_BUFFER_INFO info{};
    const HANDLE console =
        GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (!GetConsoleScreenBufferInfo(console, &info)) {
        return 0;
    }
    // The window's width, not the buffer's: a line as wide as the buffer but wider than the
    // window would still be cut off.
    return info.srWindow.Right - info.srWindow.Left + 1;
}

}  // namespace harmoload
