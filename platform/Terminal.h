#pragma once
// Whether a standard stream is a terminal, and how wide it is: the command line draws a live
// progress bar, as wide as the terminal, and asks questions only there.

namespace harmoload {

enum class StandardStream { Input, Output, Error };

bool IsTerminal(StandardStream stream);

// The terminal's width in columns now (it follows a resize); 0 when the stream is not a
// terminal or its width cannot be told.
int TerminalColumns(StandardStream stream);

}  // namespace harmoload
