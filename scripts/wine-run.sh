#!/usr/bin/env bash
# Runs a Windows program of the build under wine64 in the project's own Wine prefix, creating
# the prefix on first use. Used as CMake's cross-compiling emulator.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
harmoload_wine_prefix

# Wine starts helper processes (the desktop, services) that outlive the program and inherit
# its standard handles; were those the caller's pipes, the caller (ctest) would wait for them
# to close. So the program writes to a file, which is passed on when it ends.
output="$(mktemp)"
errors="$(mktemp)"
trap 'rm -f "$output" "$errors"' EXIT
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    # Windows programs may open windows: without a display they get a private Xvfb.
    xvfb-run -a -s "-screen 0 1280x1024x24" "$HARMOLOAD_WINE" "$@" >"$output" 2>"$errors" </dev/null
else
    "$HARMOLOAD_WINE" "$@" >"$output" 2>"$errors" </dev/null
fi
status=$?
cat "$output"
cat "$errors" >&2
exit "$status"
