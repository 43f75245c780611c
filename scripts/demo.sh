#!/usr/bin/env bash
# The main job, end to end: builds harmoload-cli and the sample update package (nothing else:
# no tests, no Windows programs), shows what the package holds, and writes every pair of it into
# the simulated instrument.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/setup.sh
# A build folder of its own, without the tests, so that the full builds keep their settings;
# optimised lightly and without debug information, which saves a third of the compile time.
build=build/demo
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake --preset native -B "$build" -DHARMOLOAD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release \
    "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -DNDEBUG" "${launcher[@]}" >/dev/null
cmake --build "$build" --target harmoload-cli language_files sample_package
cli="$build/bin/harmoload-cli"
package="$build/examples/Sample.DAT"
echo
echo "== harmoload-cli info $package =="
"$cli" info "$package"
echo
echo "== harmoload-cli update $package --simulate =="
"$cli" update "$package" --simulate --yes
