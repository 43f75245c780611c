#!/usr/bin/env bash
# End-to-end through a real kernel USB stack: QEMU (TCG) boots a Debian kernel with an xhci
# controller, harmoload-sim-usb plugs the simulated instrument into it over usbredir, and the
# native harmoload-cli runs inside the guest on Debian's libusb 0.1, usbfs and xhci driver.
#   bash tests/kernel/kernel-usb-test.sh [BUILD_DIR [CASE...]]   (default build/native, all cases)
# The kernel comes from Debian's linux-image package (downloaded, never installed) and is kept
# in ~/.cache/harmoload/kernel (HARMOLOAD_KERNEL_CACHE chooses another place).
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$(cd "${1:-$root/build/native}" && pwd)"
shift
only=" $* "
cache="${HARMOLOAD_KERNEL_CACHE:-${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/harmoload/kernel}"
work="$build/kernel-test"
cli="$build/bin/harmoload-cli"
simulator="$build/bin/harmoload-sim-usb"
package="$build/examples/Sample.DAT"
sound="$build/examples/SampleSound.bin"
firmware="$build/examples/SampleFirmware.bin"
# Where the sample's pairs land: R1.ini's start address and its data; R2.ini's file offset 0.
sound_start=0x100000
modules=(usb-common usbcore xhci-hcd xhci-pci)

say() { echo "kernel-usb-test: $*"; }
fail() {
    say "FAILED: $*"
    exit 1
}

for program in "$cli" "$simulator" "$package"; do
    [ -e "$program" ] || fail "$program is missing; build the native preset first"
done
if ! command -v qemu-system-x86_64 >/dev/null; then
    say "SKIPPED: qemu-system-x86_64 is not installed (scripts/setup.sh installs it)"
    exit 0
fi
# A machine with the xhci controller, started and stopped at once through its monitor.
if ! printf '{"execute":"qmp_capabilities"}\n{"execute":"quit"}\n' |
    timeout 30 qemu-system-x86_64 -machine q35,accel=tcg -display none -nodefaults \
        -no-user-config -device qemu-xhci -S -qmp stdio >/dev/null 2>&1; then
    say "SKIPPED: qemu-system-x86_64 cannot start a TCG machine with an xhci controller here"
    exit 0
fi
for tool in busybox cpio xz dpkg-deb apt-get gzip; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup.sh installs it)"
done

# --- The kernel: Debian's current generic amd64 image, its vmlinux and the USB modules. -------
kernel_package() {
    apt-cache depends linux-image-amd64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*\)$/\1/p' | head -n 1
}
image="$(kernel_package)"
if [ -z "$image" ]; then
    apt-get update -qq >/dev/null 2>&1
    image="$(kernel_package)"
fi
[ -n "$image" ] || fail "cannot tell which linux-image package to fetch"
release="${image#linux-image-}"
kernel_dir="$cache/$release"
# One run at a time fills the cache; the others wait for it.
mkdir -p "$cache"
exec {cache_lock}>"$cache/.lock"
flock "$cache_lock"
if [ ! -s "$kernel_dir/vmlinux" ]; then
    say "fetching $image"
    rm -rf "$kernel_dir.partial"
    mkdir -p "$kernel_dir.partial"
    (cd "$kernel_dir.partial" && apt-get download -q "$image" >download.log 2>&1) ||
        fail "apt-get download $image failed: $(cat "$kernel_dir.partial/download.log")"
    deb="$(ls "$kernel_dir.partial"/*.deb)"
    members=("./boot/vmlinuz-$release")
    for module in "${modules[@]}"; do
        members+=("./lib/modules/$release/kernel/drivers/usb/*/$module.ko")
    done
    dpkg-deb --fsys-tarfile "$deb" |
        tar -x -C "$kernel_dir.partial" --wildcards "${members[@]}" ||
        fail "cannot unpack $deb"
    mkdir -p "$kernel_dir.partial/modules"
    for module in "${modules[@]}"; do
        mv "$kernel_dir.partial"/lib/modules/"$release"/kernel/drivers/usb/*/"$module.ko" \
            "$kernel_dir.partial/modules/"
    done
    # The uncompressed kernel boots straight into its PVH entry, seconds faster under TCG than
    # the compressed one. It is the xz stream inside vmlinuz.
    compressed="$kernel_dir.partial/boot/vmlinuz-$release"
    for offset in $(LC_ALL=C grep -obUaP '\xFD7zXZ\x00' "$compressed" | cut -d: -f1); do
        tail -c +$((offset + 1)) "$compressed" | xz -dc >"$kernel_dir.partial/vmlinux" 2>/dev/null
        [ "$(head -c 4 "$kernel_dir.partial/vmlinux" | od -An -c | tr -d ' ')" = '177ELF' ] && break
        rm -f "$kernel_dir.partial/vmlinux"
    done
    [ -s "$kernel_dir.partial/vmlinux" ] || fail "no xz-compressed kernel inside $compressed"
    rm -rf "$kernel_dir.partial/boot" "$kernel_dir.partial/lib" "$deb" "$kernel_dir.partial/download.log"
    rm -rf "$kernel_dir"
    mv "$kernel_dir.partial" "$kernel_dir"
    # Kernels of earlier releases are not used again.
    find "$cache" -mindepth 1 -maxdepth 1 ! -name "$release" ! -name .lock -exec rm -rf {} +
fi

# --- The initramfs: a cached compressed part (busybox, modules), then the build's programs. ----
rm -rf "$work"
mkdir -p "$work/base" "$work/app"
base_archive="$kernel_dir/base.cpio.gz"
if [ ! -s "$base_archive" ]; then
    (
        cd "$work/base" || exit 1
        mkdir -p bin proc sys dev tmp modules
        cp "$(command -v busybox)" bin/busybox
        for applet in $(bin/busybox --list); do
            [ "$applet" = busybox ] || ln -s busybox "bin/$applet"
        done
        cp "$kernel_dir"/modules/*.ko modules/
        find . | cpio -o -H newc --quiet | gzip -1 >"$base_archive.partial"
    ) && mv "$base_archive.partial" "$base_archive" || fail "cannot build the base initramfs"
fi
flock -u "$cache_lock"
(
    cd "$work/app" || exit 1
    mkdir -p app
    cp "$cli" "$package" app/
    cp -r "$build/bin/Language" app/
    cp "$here/guest-init.sh" init
    # The CLI's shared libraries and the loader, where the loader looks for them.
    for library in $(ldd "$cli" | grep -oE '/[^ ]+'); do
        mkdir -p ".$(dirname "$library")"
        cp -L "$library" ".$library"
    done
    find . | cpio -o -H newc --quiet >"$work/app.cpio"
) || fail "cannot build the initramfs"
# An uncompressed archive after a compressed one must start on a 4-byte boundary.
cp "$base_archive" "$work/initramfs"
padding=$(((4 - $(stat -c %s "$work/initramfs") % 4) % 4))
head -c "$padding" /dev/zero >>"$work/initramfs"
cat "$work/app.cpio" >>"$work/initramfs"
rm -rf "$work/base" "$work/app" "$work/app.cpio"

# --- One guest boot per case. -----------------------------------------------------------------
# Socket paths are short (108 bytes at most), wherever the build is.
sockets="$(mktemp -d /tmp/harmoload-usb.XXXXXX)"
trap 'rm -rf "$sockets"' EXIT
passed=0
failed=0
check() {
    local what="$1"
    shift
    if "$@"; then
        say "  ok: $what"
    else
        say "  NOT OK: $what"
        case_ok=false
    fi
}

# serve CASE NAME SIM_DESCRIPTION: starts one simulated instrument for CASE, its files under
# CASE/NAME, and prints the QEMU arguments that plug it into the guest's controller.
serve() {
    local name="$1" instrument="$2" description="$3"
    local dir="$work/$name/$instrument"
    mkdir -p "$dir"
    local socket="$sockets/$name-$instrument.sock"
    "$simulator" --listen "$socket" --sim "$description" --report "$dir/report" \
        --save-target "$sound_start:$(stat -c %s "$sound"):$dir/target.bin" \
        --save-flash "0:$(($(stat -c %s "$firmware") / 2)):$dir/flash.bin" \
        >"$dir/simulator.log" 2>&1 &
    echo $! >"$dir/pid"
    # The simulator must listen before QEMU connects.
    for _ in $(seq 100); do
        grep -qs listening "$dir/simulator.log" && break
        sleep 0.05
    done
    echo "-chardev socket,id=$instrument,path=$socket -device usb-redir,chardev=$instrument,bus=xhci.0"
}

# boot CASE SIM_DESCRIPTION...: serves one instrument per description (the first's files in
# CASE/, the others' in CASE/2, CASE/3, ...), boots the guest for CASE and waits for all.
boot() {
    local name="$1"
    shift
    local dir="$work/$name"
    local plugs=() number=1 description
    for description in "$@"; do
        local instrument=instrument$number
        # shellcheck disable=SC2207
        plugs+=($(serve "$name" "$instrument" "$description"))
        number=$((number + 1))
    done
    # The first instrument's files where a case of one looks for them.
    ln -sfn instrument1/report "$dir/report"
    ln -sfn instrument1/target.bin "$dir/target.bin"
    ln -sfn instrument1/flash.bin "$dir/flash.bin"
    local start=$SECONDS
    timeout $((150 + 250 * ($# - 1))) qemu-system-x86_64 -machine q35 -m 384 -smp 1 -display none -nodefaults \
        -no-user-config -no-reboot -serial stdio \
        -kernel "$kernel_dir/vmlinux" -initrd "$work/initramfs" \
        -append "console=ttyS0 quiet panic=-1 no_timer_check harmoload.case=$name harmoload.instruments=$#" \
        -device qemu-xhci,id=xhci "${plugs[@]}" \
        </dev/null >"$dir/guest.log" 2>&1
    local qemu_status=$?
    # The guest is gone, so are the connections; the simulators report and end.
    local pid
    for pid in $(cat "$dir"/instrument*/pid); do
        for _ in $(seq 100); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        kill "$pid" 2>/dev/null
        for _ in $(seq 100); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
    done
    say "case $name: guest ran $((SECONDS - start)) s (QEMU exit $qemu_status)"
}

# wanted CASE: the case was asked for (all are when none is named).
wanted() { [ "$only" = "  " ] || [[ "$only" == *" $1 "* ]]; }

result() { sed -n "s/^harmoload-result $2 exit=\([0-9]*\).*/\1/p" "$work/$1/guest.log" | tail -n 1; }
report() { sed -n "s/^$2=//p" "$work/$1/report" | head -n 1; }
no_success_flag() { [[ " $(report "$1" result-flags) " != *" 00 "* ]]; }

finish_case() {
    local name="$1"
    if $case_ok; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        say "case $name: guest console"
        sed 's/^/    /' "$work/$name/guest.log"
        local log
        for log in "$work/$name"/instrument*/simulator.log; do
            say "case $name: simulator ${log#"$work/$name/"}"
            sed 's/^/    /' "$log"
        done
    fi
}

# A whole update of both pairs.
if wanted update; then
    case_ok=true
    boot update ""
    check "probe finds the instrument (exit 0)" [ "$(result update probe)" = 0 ]
    check "update succeeds (exit 0)" [ "$(result update update)" = 0 ]
    check "the sound data is in the instrument's memory" cmp -s "$sound" "$work/update/target.bin"
    check "the firmware is in the instrument's flash" cmp -s "$firmware" "$work/update/flash.bin"
    check "the instrument received the success flag" [ "$(report update result-flags)" = 00 ]
    check "the instrument saw no protocol error" [ "$(report update errors)" = 0 ]
    finish_case update
fi

# The instrument is unplugged while the sound data is on its way.
if wanted unplug; then
    case_ok=true
    boot unplug "unplug=30"
    check "update fails (exit 1)" [ "$(result unplug unplug)" = 1 ]
    check "the instrument was unplugged" [ "$(report unplug plugged)" = 0 ]
    check "no success flag reached the instrument" no_success_flag unplug
    finish_case unplug
fi

# The instrument stalls its IN endpoint at the header echo of the first packet, and then every
# read until the halt is cleared. Debian's libusb 0.1 reports a stalled read as 0 bytes done,
# not as an error, so no recovery runs; the update must still fail, and in bounded time.
if wanted stall-read; then
    case_ok=true
    boot stall-read "read-error=2:-32"
    check "update fails (exit 1)" [ "$(result stall-read stall-read)" = 1 ]
    check "the instrument stalled its IN endpoint" [ "$(report stall-read halts)" -ge 1 ]
    check "no success flag reached the instrument" no_success_flag stall-read
    finish_case stall-read
fi

# The same on the OUT endpoint: a stalled write is reported as 0 bytes written.
if wanted stall-write; then
    case_ok=true
    boot stall-write "write-error=3:-32"
    check "update fails (exit 1)" [ "$(result stall-write stall-write)" = 1 ]
    check "the instrument stalled its OUT endpoint" [ "$(report stall-write halts)" -ge 1 ]
    check "no success flag reached the instrument" no_success_flag stall-write
    finish_case stall-write
fi

# A service bench: three instruments on one controller. probe --all lists them; update --all
# writes all three in parallel while the second is unplugged halfway (the others verify, exit
# 1); then update --device writes the instrument it names and no other.
if wanted bench; then
    case_ok=true
    boot bench "" "unplug=30" ""
    bench_report() { sed -n "s/^$2=//p" "$work/bench/$1/report" | head -n 1; }
    check "probe --all finds three instruments (exit 0)" [ "$(result bench probe-all)" = 0 ]
    check "probe --all lists three ids" \
        [ "$(grep -c '^harmoload-guest: listed ' "$work/bench/guest.log")" = 3 ]
    check "update --all fails for the unplugged one (exit 1)" [ "$(result bench update-all)" = 1 ]
    for instrument in instrument1 instrument3; do
        check "$instrument holds the sound data" \
            cmp -s "$sound" "$work/bench/$instrument/target.bin"
        check "$instrument holds the firmware" cmp -s "$firmware" "$work/bench/$instrument/flash.bin"
        check "$instrument saw no protocol error" [ "$(bench_report $instrument errors)" = 0 ]
    done
    check "the second instrument was unplugged" [ "$(bench_report instrument2 plugged)" = 0 ]
    check "no success flag reached the second instrument" no_success_flag bench/instrument2
    check "the summary names the failed one alone" \
        grep -qE '"event":"summary","succeeded":\["[^"]+","[^"]+"\],"failed":\["[^"]+"\]' \
        "$work/bench/guest.log"
    check "update --device succeeds (exit 0)" [ "$(result bench update-device)" = 0 ]
    flags="$(bench_report instrument1 result-flags)|$(bench_report instrument3 result-flags)"
    one_more() { [ "$flags" = "00 00|00" ] || [ "$flags" = "00|00 00" ]; }
    check "update --device wrote exactly one of the two left ($flags)" one_more
    finish_case bench
fi

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
