#!/usr/bin/env bash
# The main job, end to end: builds harmoload-cli and shows what it reads from the sample
# update package.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native
echo
echo "== harmoload-cli info examples/Sample.DAT =="
build/native/bin/harmoload-cli info build/native/examples/Sample.DAT
