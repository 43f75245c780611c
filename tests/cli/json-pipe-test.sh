#!/usr/bin/env bash
# harmoload-cli update --json read through a real pipe, as a wrapper program reads it:
#  - each progress event reaches the reader while the run is still writing: the reader stops
#    the run after the first event, which stops it early only if that event arrived as posted;
#  - a reader that goes away (a closed pipe) or a lost terminal (SIGHUP) does not end the run
#    halfway: it goes on to its last packet and its result frame.
# Usage: json-pipe-test.sh HARMOLOAD_CLI
set -uo pipefail
cli="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# 4 KiB packets: the run waits 400 ms after each header, so 50 of them take 20 s unless stopped.
printf '[Chip Info]\nChip Size=1M\n[Transmission Info]\nData Length=4096\n' >"$work/R1.ini"
head -c $((50 * 4096)) /dev/zero | tr '\0' 'Z' >"$work/long.bin"
head -c $((3 * 4096)) /dev/zero | tr '\0' 'Z' >"$work/short.bin"
for name in long short; do
    "$cli" pack -o "$work/$name.DAT" --model HM --version V1 --pair "R1:$work/R1.ini:$work/$name.bin" ||
        fail "pack $name"
done

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
exec {events}<&"${RUN[0]}"  # bash forgets RUN when the program ends; this stays open
IFS= read -r -t 120 first <&"$events" || fail "no first line"
[[ "$first" == '{"event":"progress","engine":"transfer","done":1,"total":50,'* ]] ||
    fail "first line: $first"
kill -INT "$pid"
await_text "$work/live.err" "Press Ctrl-C again"
kill -INT "$pid"
rest="$(cat <&"$events")"
wait "$pid"
code=$?
[ "$code" -eq 1 ] || fail "stopped run exited $code"
# Buffered output would have reached the reader a pipe buffer (some 20 events) at a time.
packets=$(grep -c '"event":"progress"' <<<"$rest")
[ "$packets" -lt 10 ] || fail "the first event came late: $packets more packets before the stop"
grep -q '"event":"result","ok":false' <<<"$rest" || fail "no failed result: $rest"

# A reader that leaves after the first line: the run goes on to its end and its result frame.
"$cli" update "$work/short.DAT" --json --simulate --trace "$work/closed.trace" 2>/dev/null |
    head -n 1 >/dev/null
code=${PIPESTATUS[0]}
[ "$code" -eq 0 ] || fail "run with a closed output exited $code"
grep -q 'OUT ep 0x02 len 4 result 4: 09 00 00 00' "$work/closed.trace" ||
    fail "no success result frame after the output closed"

# A lost terminal is a termination request: it warns once and the run goes on.
coproc RUN { exec "$cli" update "$work/short.DAT" --json --simulate 2>"$work/hangup.err"; }
pid=$RUN_PID
exec {events}<&"${RUN[0]}"  # bash forgets RUN when the program ends; this stays open
IFS= read -r -t 120 first <&"$events" || fail "no first line"
kill -HUP "$pid"
cat <&"$events" >/dev/null
wait "$pid"
code=$?
[ "$code" -eq 0 ] || fail "run after SIGHUP exited $code"
grep -q "stopping it now can leave the instrument unusable" "$work/hangup.err" ||
    fail "no warning after SIGHUP: $(cat "$work/hangup.err")"
echo "pass"
