#pragma once
// The application object: GDI+ around the one modal dialog, and nothing after it.

#include <string>
#include <vector>

namespace harmoload {

class Application {
  public:
    // Runs the dialog with the items named on the command line; returns the exit code.
    int run(std::vector<std::string> startupItems);
};

}  // namespace harmoload
