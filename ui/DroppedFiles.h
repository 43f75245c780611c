#pragma once
// The items of a drop (WM_DROPFILES), in drop order.

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <string>
#include <vector>

namespace harmoload::ui {

// The full path of every dropped item, however long; the drop is finished (freed) afterwards.
std::vector<std::string> TakeDroppedFiles(HDROP drop);

}  // namespace harmoload::ui
