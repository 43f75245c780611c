#pragma once
// Whether a standard stream is a terminal: the command line draws a live progress bar and asks
// questions only there.

namespace harmoload {

enum class StandardStream { Input, Output, Error };

bool IsTerminal(StandardStream stream);

}  // namespace harmoload
