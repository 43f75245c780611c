#pragma once
// Finding the dialog of a Harmoload.exe that a test started, and reading its controls.

#include <windows.h>

#include <iterator>
#include <string>

#include "ui/WideText.h"

namespace harmoload::testing {

// The visible dialog window of the process, or null while it has none.
inline HWND FindProgramWindow(DWORD processId) {
    struct Search {
        DWORD processId;
        HWND found;
    } search{processId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t className[64] = {};
            GetClassNameW(window, className, 64);
            if (owner == s->processId && std::wstring(className) == L"#32770" &&
                IsWindowVisible(window)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Another process's edit text reads right only through WM_GETTEXT.
inline std::string ControlText(HWND window, int id) {
    wchar_t text[1024] = {};
    SendMessageW(GetDlgItem(window, id), WM_GETTEXT, std::size(text),
                 reinterpret_cast<LPARAM>(text));
    return ui::Utf8(text);
}

}  // namespace harmoload::testing
