#pragma once
// Text from an update package, made safe to print on a terminal: a crafted model name or key
// must not move the cursor, change colours or retitle the window.

#include <string>
#include <string_view>

namespace harmoload {

enum class LineBreaks { Escape, Keep };

// The UTF-8 text with every control character (C0, DEL and C1) written as \xHH (\u00HH for C1)
// instead; line feeds are kept when asked, for message texts whose lines they break.
std::string TerminalText(std::string_view utf8, LineBreaks lineBreaks = LineBreaks::Escape);

}  // namespace harmoload
