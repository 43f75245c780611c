#!/usr/bin/env bash
# harmoload-cli update --json read through a real pipe, as a wrapper program reads it: each
# progress event reaches the reader while the run is still writing. The reader stops the run
# after the first event, which stops it early only if that event arrived as it was posted.
# Usage: json-pipe-test.sh HARMOLOAD_CLI
set -uo pipefail
cli="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# 4 KiB packets: the run waits 400 ms after each header, so 50 of them take 20 s unless stopped.
printf '[Chip Info]\nChip Size=1M\n[Transmission Info]\nData Length=4096\n' >"$work/R1.ini"
head -c $((50 * 4096)) /dev/zero | tr '\0' 'Z' >"$work/long.bin"
"$cli" pack -o "$work/long.DAT" --model HM --version V1 --pair "R1:$work/R1.ini:$work/long.bin" ||
    fail "pack"

# Waits (generously) until the file holds the text.
await_text() {
    for _ in $(seq 1200); do
        grep -q "$2" "$1" && return 0
        sleep 0.05
    done
    fail "never saw '$2' in $1: $(cat "$1")"
}

# Live events: stop the run (two interrupts) as soon as the first progress event is read.
coproc RUN { exec "$cli" update "$work/long.DAT" --json --simulate 2>"$work/live.err"; }
pid=$RUN_PID
IFS= read -r -t 120 first <&"${RUN[0]}" || fail "no first line"
[[ "$first" == '{"event":"progress","engine":"transfer","done":1,"total":50,'* ]] ||
    fail "first line: $first"
kill -INT "$pid"
await_text "$work/live.err" "Press Ctrl-C again"
kill -INT "$pid"
rest="$(cat <&"${RUN[0]}")"
wait "$pid"
code=$?
[ "$code" -eq 1 ] || fail "stopped run exited $code"
# Buffered output would have reached the reader a pipe buffer (some 20 events) at a time.
packets=$(grep -c '"event":"progress"' <<<"$rest")
[ "$packets" -lt 10 ] || fail "the first event came late: $packets more packets before the stop"
grep -q '"event":"result","ok":false' <<<"$rest" || fail "no failed result: $rest"

echo "pass"
