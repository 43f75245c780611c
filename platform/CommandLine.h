#pragma once
// The program's command-line arguments as UTF-8, whatever code page the system hands them in.

#include <string>
#include <vector>

namespace harmoload {

// argv[0] first. On Windows the arguments are read again from the wide command line, so that a
// path the ANSI code page cannot hold arrives whole; elsewhere argv is taken as it is.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

}  // namespace harmoload
