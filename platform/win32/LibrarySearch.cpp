#include "platform/LibrarySearch.h"

#include <windows.h>

namespace harmoload {

void RestrictLibrarySearch() {
    // Looked up rather than imported: a Windows 7 without the update that brought it must
    // still start the program.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDllDirectories =
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories != nullptr) {
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    }
}

}  // namespace harmoload
