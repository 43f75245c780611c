#pragma once
// Where the program lives: its own file, the folder of a path, and the program directory
// (the running program's folder with its trailing separator) beside which the language files,
// the default profiles and the temporary files live.

#include <string>
#include <string_view>

namespace harmoload {

// Full path of the running program's file.
std::string ModuleFilePath();

// Keeps the text up to and including its last path separator; empty when it has none.
void TruncateToDirectory(std::string& path);

// target = source, then TruncateToDirectory(target).
void AssignDirectory(std::string_view source, std::string& target);

// The running program's folder with its trailing separator; computed once, then copied.
std::string ProgramDirectory();

}  // namespace harmoload
