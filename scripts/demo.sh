#!/usr/bin/env bash
# The main job, end to end: builds harmoload-cli, shows what it reads from the sample update
# package, and writes every pair of it into the simulated instrument.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native
cli=build/native/bin/harmoload-cli
package=build/native/examples/Sample.DAT
echo
echo "== harmoload-cli info $package =="
"$cli" info "$package"
echo
echo "== harmoload-cli update $package --simulate =="
"$cli" update "$package" --simulate --yes
