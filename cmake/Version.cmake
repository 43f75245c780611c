# The project's version as a header, so that every program prints the same one as its version
# resource and its packages carry.
configure_file(${CMAKE_CURRENT_LIST_DIR}/Version.h.in
               ${CMAKE_BINARY_DIR}/generated/version/HarmoloadVersion.h @ONLY)
add_library(harmoload_version INTERFACE)
target_include_directories(harmoload_version INTERFACE ${CMAKE_BINARY_DIR}/generated/version)
