#pragma once
// Files and paths as the platform sees them. Paths are UTF-8.

#include <string>

namespace harmoload {

// The separator the platform writes between folders ('\' on Windows, '/' elsewhere).
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// True when a file or a folder exists at the path.
bool FileExists(const std::string& path);

bool IsDirectory(const std::string& path);

// Deletes a file; false when it could not be deleted (or was not there).
bool DeleteFileAt(const std::string& path);

// Full path of the running program's file, as the system reports it for the program's own module.
std::string ModuleFileName();

}  // namespace harmoload
