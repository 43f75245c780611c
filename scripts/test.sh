#!/usr/bin/env bash
# Builds every target and runs every test: native (g++), Windows (mingw-w64, under wine64),
# sanitizers (clang ASan + UBSan), bounded fuzzing, the format check and the layer check.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/setup.sh || exit 1
# shellcheck source=wine-env.sh
source scripts/wine-env.sh

passed=0
failed=0
failures=()

# step NAME COMMAND...: runs one step, counts the test results it reports (ctest's summary, or a
# script's own "N passed, N failed").
step() {
    local name="$1"
    shift
    echo
    echo "=== $name ==="
    local log
    log="$(mktemp)"
    "$@" 2>&1 | tee "$log"
    local status=${PIPESTATUS[0]}
    local summary
    summary="$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)"
    local plain
    plain="$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | tail -1)"
    if [ -z "$summary" ] && [ -n "$plain" ]; then
        # A script's own count: "N passed, N failed".
        summary="$plain"
        passed=$((passed + ${plain%% *}))
        failed=$((failed + $(sed -E 's/.*passed, ([0-9]+) failed/\1/' <<<"$plain")))
    elif [ -n "$summary" ]; then
        local total fails
        total="$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")"
        fails="$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")"
        passed=$((passed + total - fails))
        failed=$((failed + fails))
    fi
    if [ "$status" -ne 0 ]; then
        failures+=("$name")
        [ -z "$summary" ] && failed=$((failed + 1))
    fi
    rm -f "$log"
}

build() {
    cmake --preset "$1" >/dev/null && cmake --build --preset "$1"
}

step "format" bash scripts/check-format.sh
step "layers" bash scripts/check-layers.sh
step "native build" build native
step "native tests" ctest --preset native
step "real-kernel USB test" bash tests/kernel/kernel-usb-test.sh build/native
step "windows build" build windows
# One X server and one Wine server for the whole Windows run keep each test's start-up short.
display=":$((90 + RANDOM % 400))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1
export DISPLAY="$display"
"$(dirname "$HARMOLOAD_WINE")/wineserver" -p 2>/dev/null || true
step "windows tests" ctest --preset windows
"$(dirname "$HARMOLOAD_WINE")/wineserver" -k 2>/dev/null || true
kill "$xvfb_pid" 2>/dev/null || true
unset DISPLAY
step "sanitizer build" build asan
step "sanitizer tests" ctest --preset asan
if [ -f fuzz/CMakeLists.txt ]; then
    step "fuzz build" build fuzz
    step "fuzz runs" ctest --preset fuzz
fi

echo
if [ "${#failures[@]}" -gt 0 ]; then
    echo "Failed steps: ${failures[*]}"
fi
echo "$passed passed, $failed failed"
[ "${#failures[@]}" -eq 0 ]
