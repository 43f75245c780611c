#!/usr/bin/env bash
# Installs what building, running and testing Harmoload need on Debian 12 (as root), and
# prepares the project's Wine prefix. Safe to run again: it installs only what is missing.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

packages=(
    # native build and tests
    cmake ninja-build g++ pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
    libusb-dev libcli11-dev nlohmann-json3-dev
    # sanitizer and fuzz builds
    clang-14 clang libclang-rt-14-dev clang-format
    # Windows build, run under Wine (GUI tests under Xvfb)
    g++-mingw-w64-x86-64-posix wine64 xvfb xauth fonts-wqy-microhei imagemagick xdotool
    fonts-liberation2
    # packages: the Windows installer (makensis), the .deb's manual pages, dependencies and
    # Debian's checker
    nsis help2man dpkg-dev unzip lintian
    # the simulated instrument as a USB device (usbredir), and the real-kernel test: QEMU boots
    # a Debian kernel from an initramfs built of busybox and the native programs
    libusbredirparser-dev qemu-system-x86 busybox-static cpio xz-utils
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
harmoload_wine_prefix
