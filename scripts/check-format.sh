#!/usr/bin/env bash
# Fails when a tracked C++ file is not formatted by the project's .clang-format.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
files="$(git ls-files '*.cpp' '*.h')"
[ -z "$files" ] && exit 0
# shellcheck disable=SC2086
if ! clang-format --dry-run --Werror $files; then
    echo "Run: clang-format -i \$(git ls-files '*.cpp' '*.h')"
    exit 1
fi
echo "formatting: all $(wc -w <<<"$files") files clean"
