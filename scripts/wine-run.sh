#!/usr/bin/env bash
# Runs a Windows program of the build under wine64 in the project's own Wine prefix, creating
# the prefix on first use. Used as CMake's cross-compiling emulator.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
harmoload_wine_prefix
exec "$HARMOLOAD_WINE" "$@"
