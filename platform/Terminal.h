#pragma once
// Whether a standard stream is a terminal: the command line draws a live progress bar and asks
// questions only there.

namespace harmoload {

enum class StandardStream { Input, Output, Error };

bool IsTerminal(StandardStream stream);

// Lets the standard output, a terminal, move its cursor by the common escape sequences (a
// Windows console is switched to them); false when it is no terminal or cannot.
bool EnableCursorMovement();

}  // namespace harmoload
