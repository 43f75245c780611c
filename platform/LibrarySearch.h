#pragma once
// Where the program's DLLs may come from: its own folder and the system's, never the current
// directory, where anyone who can drop a file could plant a library (libusb0.dll above all).

namespace harmoload {

// Called first thing in each Windows program; nothing to do on other systems.
void RestrictLibrarySearch();

}  // namespace harmoload
