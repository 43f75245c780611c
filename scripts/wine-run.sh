#!/usr/bin/env bash
# Runs a Windows program of the build under wine64 in the project's own Wine prefix, creating
# the prefix on first use. Used as CMake's cross-compiling emulator.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
harmoload_wine_prefix
# Windows programs may open windows: without a display they get a private Xvfb.
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$HARMOLOAD_WINE" "$@"
fi
exec "$HARMOLOAD_WINE" "$@"
