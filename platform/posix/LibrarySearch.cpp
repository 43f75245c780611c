#include "platform/LibrarySearch.h"

namespace harmoload {

void RestrictLibrarySearch() {
    // Shared libraries are found through the loader's own paths, never the current directory.
}

}  // namespace harmoload
