#pragma once
// What harmoload-cli's commands exit with: part of the command line's public interface, so each
// code is named here once and documented in the README.

namespace harmoload {

inline constexpr int kExitSuccess = 0;       // done: the package is valid, the update written
inline constexpr int kExitFailed = 1;        // the package, a pair or the run failed
inline constexpr int kExitUsage = 2;         // the command line cannot be carried out as given
inline constexpr int kExitNoInstrument = 3;  // probe and update: no instrument answers

}  // namespace harmoload
