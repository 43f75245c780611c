#!/usr/bin/env bash
# Builds the packages of one build folder and checks them as a user would meet them.
#   test-packages.sh deb BUILD_DIR      the .deb: contents, udev rule, copyright and changelog,
#                                       lintian, and both programs from a dpkg -x copy (never
#                                       installed into this machine)
#   test-packages.sh windows BUILD_DIR  the installer and the zip: a silent install into the Wine
#                                       prefix, the installed program opened through the .DAT
#                                       association, then the uninstaller takes everything back
# Both check that every Debian package the shipped programs are made from (headers, linked
# archives, shared libraries: scripts/list-build-inputs.sh) has its notice, and that the programs
# and packages carry the license.
# Run by ctest (native and windows presets) after the build.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
kind="$1"
build="$(cd "$2" && pwd)"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
notices="$here/../THIRD-PARTY-NOTICES.txt"
license="$here/../LICENSE"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...
    local description="$1"
    shift
    if "$@" >"$work/check.log" 2>&1; then
        passed=$((passed + 1))
        echo "ok      $description"
    else
        failed=$((failed + 1))
        echo "FAILED  $description"
        sed 's/^/        /' "$work/check.log" | tail -20
    fi
}
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}

build_packages() {
    rm -rf "$build/packages"
    cpack --config "$build/CPackConfig.cmake" -B "$build/packages" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log"; return 1; }
}

contains() {  # contains FILE PATTERN
    grep -qE -- "$2" "$1" || { echo "no \"$2\" in:"; cat "$1"; return 1; }
}

# The packages named on the notices' "Packages:" lines (and the lines that continue them).
noticed_packages() {
    awk '/^Packages:/ { on = 1; sub(/^Packages:/, "") } /^[^ ]/ { on = 0 } on' "$notices" |
        tr -s ' ' '\n' | sed '/^$/d' | sort -u
}
every_input_has_a_notice() {  # every_input_has_a_notice PACKAGE-THAT-MUST-BE-FOUND...
    bash "$here/list-build-inputs.sh" "$build" >"$work/inputs" || return 1
    for expected in "$@"; do
        grep -qx -- "$expected" "$work/inputs" ||
            { echo "the build's inputs miss $expected:"; cat "$work/inputs"; return 1; }
    done
    noticed_packages >"$work/noticed"
    comm -23 "$work/inputs" "$work/noticed" >"$work/unnoticed"
    [ ! -s "$work/unnoticed" ] ||
        { echo "without a notice in THIRD-PARTY-NOTICES.txt:"; cat "$work/unnoticed"; return 1; }
}
# "harmoload-cli 2.1.0" then the copyright and the license, as GNU programs print them.
version_names_license() {  # version_names_license FILE PROGRAM
    tr -d '\r' <"$1" >"$1.lf"
    contains "$1.lf" "^$2 ${version//./\\.}$" &&
        contains "$1.lf" '^Copyright \(C\) 2026 The Harmoload developers\.$' &&
        contains "$1.lf" '^License MIT: <https://opensource\.org/licenses/MIT>\.$'
}

if [ "$kind" = deb ]; then
    check "the .deb is built" build_packages
    deb="$build/packages/harmoload_${version}_amd64.deb"
    check "it is named for the version ($version)" test -f "$deb"
    [ -f "$deb" ] || finish
    dpkg-deb -c "$deb" | awk '{print $6 ($7 ? " " $7 " " $8 : "")}' >"$work/contents"
    for path in ./usr/lib/harmoload/harmoload-cli ./usr/lib/harmoload/Language/Eng.ini \
        ./usr/lib/harmoload/Language/Chin.ini ./usr/share/man/man1/harmoload-cli.1.gz \
        ./usr/lib/udev/rules.d/70-harmoload.rules ./usr/bin/harmoload-sim-usb \
        ./usr/share/man/man1/harmoload-sim-usb.1.gz ./usr/share/doc/harmoload/copyright \
        ./usr/share/doc/harmoload/changelog.gz ./usr/share/doc/harmoload/THIRD-PARTY-NOTICES.txt; do
        check "it holds $path" contains "$work/contents" "^${path//./\\.}$"
    done
    check "harmoload-cli is on the PATH as a link to the program beside its languages" \
        contains "$work/contents" '^\./usr/bin/harmoload-cli -> \.\./lib/harmoload/harmoload-cli$'
    dpkg-deb -f "$deb" Depends >"$work/depends"
    check "it depends on libusb 0.1" contains "$work/depends" 'libusb-0\.1-4'
    check "it depends on usbredirparser (harmoload-sim-usb)" contains "$work/depends" \
        'libusbredirparser1'
    dpkg-deb -f "$deb" Maintainer >"$work/maintainer"
    check "its maintainer has an address that is not a placeholder" \
        bash -c "grep -qE '^[^<]+ <[^@ ]+@[^@ ]+\.[a-z]+>$' '$work/maintainer' &&
                 ! grep -qiE '@(localhost|example\.)' '$work/maintainer'"
    # Debian's default profile and display level (errors and warnings); no tag is overridden.
    check "lintian reports no error and no warning" lintian --fail-on error,warning "$deb"
    check "every package the programs are made from has its notice" \
        every_input_has_a_notice libcli11-dev nlohmann-json3-dev libusb-0.1-4 libusbredirparser1
    dpkg-deb -x "$deb" "$work/root"
    doc="$work/root/usr/share/doc/harmoload"
    check "it carries the notices of the tree" cmp "$notices" "$doc/THIRD-PARTY-NOTICES.txt"
    check "its copyright file is machine-readable and gives our code the MIT (Expat) license" \
        bash -c "head -1 '$doc/copyright' |
                     grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' &&
                 grep -qx 'Copyright: 2026 The Harmoload developers' '$doc/copyright' &&
                 grep -qx 'License: Expat' '$doc/copyright'"
    # Each piece the notices say is compiled in.
    awk '/^== .* ==$/ { title = substr($0, 4, length($0) - 6) } /^In: .*compiled in/ { print title }' \
        "$notices" >"$work/compiled-in"
    check "the notices name pieces compiled in" test -s "$work/compiled-in"
    while read -r piece; do
        check "its copyright file covers $piece" contains "$doc/copyright" "$piece"
    done <"$work/compiled-in"
    zcat "$doc/changelog.gz" >"$work/changelog"
    check "its changelog's latest entry is $version" \
        bash -c "[ \"\$(dpkg-parsechangelog -l '$work/changelog' -S Version)\" = '$version' ]"
    rules="$work/root/usr/lib/udev/rules.d/70-harmoload.rules"
    check "the udev rule gives the logged-in user the instrument 0a67:8e30" contains "$rules" \
        '^SUBSYSTEM=="usb", .*ATTR\{idVendor\}=="0a67", ATTR\{idProduct\}=="8e30", TAG\+="uaccess"$'
    if command -v udevadm >/dev/null && udevadm verify --help >/dev/null 2>&1; then
        check "udevadm accepts the rule" udevadm verify "$rules"
    fi
    zcat "$work/root/usr/share/man/man1/harmoload-cli.1.gz" >"$work/man"
    check "the manual page names the program, its version and every command" \
        bash -c "grep -q 'harmoload-cli $version' '$work/man' &&
                 grep -q '^.SS update' '$work/man' && grep -q '^.SS probe' '$work/man'"
    cli="$work/root/usr/bin/harmoload-cli"
    "$cli" --version >"$work/version" 2>&1
    check "the unpacked harmoload-cli --version prints $version, the copyright and the license" \
        version_names_license "$work/version" harmoload-cli
    "$work/root/usr/bin/harmoload-sim-usb" --version >"$work/sim-version" 2>&1
    check "the unpacked harmoload-sim-usb --version prints $version, the copyright and the license" \
        version_names_license "$work/sim-version" harmoload-sim-usb
    zcat "$work/root/usr/share/man/man1/harmoload-sim-usb.1.gz" >"$work/sim-man"
    check "the manual page of harmoload-sim-usb names it, its version and its options" \
        bash -c "grep -q 'harmoload-sim-usb $version' '$work/sim-man' &&
                 grep -q 'listen' '$work/sim-man' && grep -q '^.SH COPYRIGHT' '$work/sim-man'"
    "$cli" probe --simulate >"$work/probe" 2>&1
    check "the unpacked harmoload-cli probe --simulate finds the simulated instrument" \
        contains "$work/probe" '^Instrument found through libusb$'
    LC_ALL=C "$cli" info "$build/examples/Sample.DAT" >"$work/info" 2>&1
    check "the unpacked harmoload-cli reads its language file" \
        contains "$work/info" 'Please hold PATTERN, KIT and TEMPO keys down'
    finish
fi

[ "$kind" = windows ] || { echo "usage: $0 deb|windows BUILD_DIR" >&2; exit 2; }
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
harmoload_wine_prefix
wine() { "$HARMOLOAD_WINE" "$@" </dev/null; }
check "the installer and the zip are built" build_packages
installer="$build/packages/harmoload-${version}-win64.exe"
zip="$build/packages/harmoload-${version}-win64.zip"
check "the installer is named for the version ($version)" test -f "$installer"
check "the zip is named for the version ($version)" test -f "$zip"
[ -f "$installer" ] || finish
unzip -Z1 "$zip" >"$work/zip"
shipped_files=(Harmoload.exe harmoload-cli.exe Language/Eng.ini Language/Chin.ini LICENSE
    THIRD-PARTY-NOTICES.txt)
for file in "${shipped_files[@]}"; do
    check "the zip holds $file" contains "$work/zip" "^harmoload-${version}-win64/$file$"
done
check "the zip holds nothing else" test "$(grep -vc '/$' "$work/zip")" -eq "${#shipped_files[@]}"
check "every package the programs are made from has its notice" \
    every_input_has_a_notice libcli11-dev nlohmann-json3-dev mingw-w64-x86-64-dev
# What the installer does is in the script CPack wrote for makensis.
script="$build/packages/_CPack_Packages/win64/NSIS/project.nsi"
line_of() { grep -n -m1 -- "$1" "$script" | cut -d: -f1; }
check "the installer shows the license on a page before installing" \
    bash -c "grep -qF 'MUI_PAGE_LICENSE \"$(cd "$here/.." && pwd)/LICENSE\"' '$script' &&
             [ $(line_of 'MUI_PAGE_LICENSE') -lt $(line_of 'MUI_PAGE_INSTFILES') ]"
check "it gives the program folder its protection before it copies a file into it" \
    test "$(line_of '^ *!insertmacro HarmoloadProtectFolder')" -lt "$(line_of '^ *File /r')"
check "its Finish page starts the program through Explorer, not elevated" \
    bash -c "grep -q '^!define MUI_FINISHPAGE_RUN_FUNCTION HarmoloadStartUnelevated' '$script' &&
             ! grep -q 'MUI_FINISHPAGE_RUN \"' '$script'"

drive="$WINEPREFIX/drive_c"
target="$drive/Program Files/Harmoload"
uninstaller="$target/Uninstall.exe"
start_menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Harmoload"
# A leftover of an interrupted earlier run would hide what this install does.
if [ -f "$uninstaller" ]; then
    wine "$uninstaller" /S >/dev/null 2>&1
    for _ in $(seq 60); do [ -e "$target" ] || break; sleep 1; done
fi

wine "$installer" /S >/dev/null 2>&1
check "the silent installer puts the programs, languages, license and notices in Program Files" \
    bash -c "cd '$target' && ls ${shipped_files[*]} Uninstall.exe"
check "the installed license and notices are the tree's" \
    bash -c "cmp '$license' '$target/LICENSE' && cmp '$notices' '$target/THIRD-PARTY-NOTICES.txt'"
check "it adds the Start-menu entry" test -f "$start_menu/Harmoload.lnk"
wine "$target/harmoload-cli.exe" --version >"$work/version" 2>&1
check "the installed harmoload-cli.exe --version prints $version, the copyright and the license" \
    version_names_license "$work/version" harmoload-cli
for program in Harmoload.exe harmoload-cli.exe; do
    strings -el "$target/$program" | grep -A1 -x -e FileVersion -e LegalCopyright >"$work/resource"
    check "the version resource of $program says $version and the copyright" \
        bash -c "grep -qx '${version}' '$work/resource' &&
                 grep -qx 'Copyright (C) 2026 The Harmoload developers' '$work/resource'"
done
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Harmoload' \
    /v DisplayVersion >"$work/registered" 2>&1
check "Windows lists it with its version" contains "$work/registered" "$version"
wine "$build/bin/app_installed_tests.exe" --gtest_brief=1 >"$work/opened" 2>&1
check "the installed Harmoload.exe opens a package passed as the .DAT association passes it" \
    contains "$work/opened" 'PASSED.*1 test'

# The uninstaller copies itself away and returns at once; it is done when the folder is gone.
wine "$uninstaller" /S >/dev/null 2>&1
for _ in $(seq 60); do [ -e "$target" ] || break; sleep 1; done
check "the uninstaller removes the program folder" test ! -e "$target"
check "it removes the Start-menu entry" test ! -e "$start_menu"
absent_key() { ! wine reg query "$1" >/dev/null 2>&1; }
check "it removes the program id of update packages" absent_key 'HKCR\Harmoload.UpdatePackage'
check "it removes the Open with entry" absent_key 'HKCR\Applications\Harmoload.exe'
wine reg query 'HKCR\.DAT' /s >"$work/dat" 2>&1
check "it takes Harmoload off .DAT" bash -c "! grep -q Harmoload '$work/dat'"
check "it removes its uninstall entry" \
    absent_key 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Harmoload'
finish
