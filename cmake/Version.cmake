# The project's version and copyright as headers, so that every program prints the same ones as
# its version resource and its packages carry.
set(HARMOLOAD_COPYRIGHT "Copyright (C) 2026 The Harmoload developers")
configure_file(${CMAKE_CURRENT_LIST_DIR}/Version.h.in
               ${CMAKE_BINARY_DIR}/generated/version/HarmoloadVersion.h @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/Copyright.h.in
               ${CMAKE_BINARY_DIR}/generated/version/HarmoloadCopyright.h @ONLY)
add_library(harmoload_version INTERFACE)
target_include_directories(harmoload_version INTERFACE ${CMAKE_BINARY_DIR}/generated/version)
