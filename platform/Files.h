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

// Creates a folder named prefix and a few unpredictable characters in base (which ends with a
// separator), that only the current user may open, list or change: the protection is given
// as the folder is created, never added afterwards, and a folder that does not have it is
// removed and refused. Its path, or an empty string with the reason in error.
std::string CreatePrivateFolder(const std::string& base, const std::string& prefix,
                                std::string& error);

// Puts the file at from in place of the one at to, in one step where the system allows:
// a reader of to sees the old file or the new one, never a part of either.
bool MoveFileOver(const std::string& from, const std::string& to);

// Full path of the running program's file, as the system reports it for the program's own module.
std::string ModuleFileName();

}  // namespace harmoload
