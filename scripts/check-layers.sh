#!/usr/bin/env bash
# The layers hold in the includes, not only in the links: every library includes from the tree
# root, so a PRIVATE link limits what a folder links but not what it includes. Fails, naming
# each place,
#  - when a folder includes from a folder that its row of the table below does not name (the
#    README's layout picture: each folder on the ones beneath it), and
#  - when the portable core includes an operating-system header: what it needs from the system
#    comes through platform/ and through the win32/ and posix/ subfolders.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

# Which folders each folder may include from, besides itself. tests/, fuzz/ and bench/ may
# include anything.
declare -A may_include=(
    [bytes]=""
    [platform]="bytes"
    [text]="platform"
    [ini]="platform"
    [lang]="ini platform"
    [package]="bytes ini lang platform"
    [usb]="bytes platform text"
    [transfer]="bytes ini platform text usb"
    [flash]="bytes platform text usb"
    [sim]="bytes platform usb"
    [update]="bytes flash ini lang package platform text transfer usb"
    [ui]="platform"
    [controls]="platform text ui"
    [app]="bytes controls flash ini lang package platform res text transfer ui update usb"
    [cli]="bytes flash ini lang package platform sim text transfer update usb"
    [simusb]="bytes platform sim usb"
    [tools]="bytes ini platform"
    [examples]=""
)

status=0
misplaced=""
for folder in "${!may_include[@]}"; do
    [ -d "$folder" ] || continue
    allowed=" $folder ${may_include[$folder]} "
    while IFS= read -r line; do
        [ -n "$line" ] || continue
        included="$(sed -E 's/^[^:]*:[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$line")"
        # Only the tree's own folders: "HarmoloadVersion.h" and the like have no folder.
        [ -d "$included" ] || continue
        if [[ "$allowed" != *" $included "* ]]; then
            misplaced+="$line"$'\n'
        fi
    done < <(grep -rnE --include='*.h' --include='*.cpp' \
        '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "$folder")
done
if [ -n "$misplaced" ]; then
    echo "Includes against the layers (see the table in scripts/check-layers.sh):"
    printf '%s' "$misplaced" | sort
    status=1
fi

core_folders=(bytes text ini lang package usb transfer flash sim update)
os_headers='windows\.h|winbase\.h|winuser\.h|wingdi\.h|winusb\.h|setupapi\.h|shellapi\.h|shlobj\.h|commctrl\.h|commdlg\.h|gdiplus\.h|objbase\.h|io\.h|direct\.h|unistd\.h|fcntl\.h|dirent\.h|dlfcn\.h|pthread\.h|termios\.h|poll\.h|signal\.h|sys/[^>"]*|linux/[^>"]*|usb\.h|libusb\.h|libusb-1\.0/[^>"]*'

violations="$(grep -rnE --include='*.h' --include='*.cpp' \
    "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"](${os_headers})[>\"]" "${core_folders[@]}" |
    grep -vE '^[^:]*/(win32|posix)/')"
if [ -n "$violations" ]; then
    echo "Operating-system headers in the portable core (move them behind platform/):"
    echo "$violations"
    status=1
fi
if [ "$status" -eq 0 ]; then
    echo "Every include follows the layers; no core folder includes an operating-system header."
fi
exit "$status"
