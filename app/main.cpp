// Harmoload.exe: the update dialog.

#include <windows.h>

#include "app/Application.h"
#include "platform/CommandLine.h"
#include "platform/LibrarySearch.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    harmoload::RestrictLibrarySearch();
    std::vector<std::string> arguments = harmoload::Utf8Arguments(0, nullptr);
    if (!arguments.empty()) {
        arguments.erase(arguments.begin());  // the program's own name
    }
    return harmoload::Application().run(std::move(arguments));
}
