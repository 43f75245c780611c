#pragma once
// The main dialog's title, step captions and labels from the language table.

#include <windows.h>

#include "ini/IniFile.h"

namespace harmoload {

// Sets the five texts in their order; a text missing from the table is set empty.
void ApplyDialogTexts(HWND dialog, const IniFile& languageTable);

}  // namespace harmoload
