#!/usr/bin/env bash
# The portable core never includes an operating-system header: what it needs from the system
# comes through platform/ and through the win32/ and posix/ subfolders, which are libraries of
# their own. Fails, naming each place, when a core folder includes one.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

core_folders=(bytes text ini lang package usb transfer flash sim update)
os_headers='windows\.h|winbase\.h|winuser\.h|wingdi\.h|winusb\.h|setupapi\.h|shellapi\.h|shlobj\.h|commctrl\.h|commdlg\.h|gdiplus\.h|objbase\.h|io\.h|direct\.h|unistd\.h|fcntl\.h|dirent\.h|dlfcn\.h|pthread\.h|termios\.h|poll\.h|signal\.h|sys/[^>"]*|linux/[^>"]*|usb\.h|libusb\.h|libusb-1\.0/[^>"]*'

violations="$(grep -rnE --include='*.h' --include='*.cpp' \
    "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"](${os_headers})[>\"]" "${core_folders[@]}" |
    grep -vE '^[^:]*/(win32|posix)/')"
if [ -n "$violations" ]; then
    echo "Operating-system headers in the portable core (move them behind platform/):"
    echo "$violations"
    exit 1
fi
echo "No core folder includes an operating-system header."
