#!/bin/sh
# update --all of four simulated instruments against update of one, with the sample package and
# the simulator's real waits (erases of 400 ms, the engines' own pauses): the wall time of the
# four should stay within 1.15 x the one's. Prints both wall times and the peak memory (maximum
# resident set, KiB) of each process.
#   bench/update-all.sh [harmoload-cli] [package]
set -eu
cli=${1:-build/native/bin/harmoload-cli}
package=${2:-build/native/examples/Sample.DAT}
times=$(mktemp)
trap 'rm -f "$times"' EXIT

# measure SIM ARGS...: "seconds KiB" of one update run, which must succeed.
measure() {
    sim=$1
    shift
    HARMOLOAD_SIM=$sim /usr/bin/time -f "%e %M" -o "$times" \
        "$cli" update "$package" --simulate --yes --json "$@" >/dev/null
    cat "$times"
}

one=$(measure "erase-ms=400")
four=$(measure "erase-ms=400 | erase-ms=400 | erase-ms=400 | erase-ms=400" --all)
echo "one instrument:   ${one% *} s wall, ${one#* } KiB peak"
echo "four (--all):     ${four% *} s wall, ${four#* } KiB peak"
awk -v one="${one% *}" -v four="${four% *}" 'BEGIN {
    ratio = four / one
    printf "ratio:            %.3f (at most 1.15)\n", ratio
    exit ratio <= 1.15 ? 0 : 1
}'
