#include "platform/CommandLine.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/Unicode.h"

namespace harmoload {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(Utf16ToUtf8(reinterpret_cast<const char16_t*>(wide[i])));
    }
    LocalFree(wide);
    return arguments;
}

}  // namespace harmoload
