#!/usr/bin/env bash
# Prints the Debian packages the shipped programs of one build are made from, one a line: the
# headers their objects were compiled with (ninja's dependency log), the archives and start-up
# objects the linker took in (each program's link map), and the shared libraries they need
# (NEEDED). A file from outside the tree that no package owns is printed as "unowned: PATH".
# cmake/Packaging.cmake lists the programs, their object folders and their link maps.
#   list-build-inputs.sh BUILD_DIR
set -euo pipefail
build="$(cd "$1" && pwd -P)"
source_dir="$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")"
source_dir="$(cd "$source_dir" && pwd -P)"
shipped="$build/packaging/shipped-programs.txt"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Headers: every dependency ninja recorded for an object of a shipped program or its libraries.
sed -n 's/^objects //p' "$shipped" >"$work/object-dirs"
ninja -C "$build" -t deps | awk -v list="$work/object-dirs" '
    BEGIN { while ((getline dir < list) > 0) dirs[++n] = dir }
    /^[^ ]/ { keep = 0; for (i = 1; i <= n; i++) if (index($0, dirs[i]) == 1) keep = 1; next }
    keep && NF { print $1 }' >"$work/inputs"

# Linked files: archive members and objects each link map names.
while read -r map; do
    sed -nE 's/^(\/[^ (]+\.a)\(.*/\1/p; s/^LOAD (\/[^ ]+\.o)$/\1/p' "$map"
done < <(sed -n 's/^map //p' "$shipped") >>"$work/inputs"

# Shared libraries: the NEEDED entries of the ELF programs, found as the loader finds them.
while read -r program; do
    [ "$(head -c4 "$program" | od -An -c | tr -d ' ')" = '177ELF' ] || continue
    readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' | while read -r soname; do
        # awk reads to the end: leaving early would end ldconfig by SIGPIPE, which pipefail and
        # set -e would take for a failure of this script.
        path="$(/sbin/ldconfig -p | awk -v s="$soname" '!found && $1 == s && /x86-64/ { print $NF; found = 1 }')"
        echo "${path:-unresolved-$soname}"
    done
done < <(sed -n 's/^program //p' "$shipped") >>"$work/inputs"

[ -s "$work/inputs" ] || { echo "list-build-inputs.sh: nothing found in $build" >&2; exit 1; }

# Each file's owning package, asked of dpkg in batches: first the path as the build named it,
# then through its links, then without /usr (packages of the merged /usr name /lib).
cd "$build"
touch "$work/owners" "$work/resolved"
grep '^unresolved-' "$work/inputs" | sed 's/^unresolved-/unowned: /' >>"$work/owners" || true
grep -v '^unresolved-' "$work/inputs" | sort -u >"$work/files"
xargs -d '\n' -r realpath -ms <"$work/files" >"$work/logical"
xargs -d '\n' -r realpath -m <"$work/files" >"$work/physical"
sed 's|^/usr/|/|' "$work/physical" >"$work/unmerged"
# Rows "logical<TAB>physical<TAB>unmerged" of the files from outside the tree.
paste "$work/logical" "$work/physical" "$work/unmerged" |
    awk -F '\t' -v tree="$source_dir/" -v build="$build/" \
        'index($2 "/", tree) != 1 && index($2 "/", build) != 1' >"$work/table"
for column in 1 2 3; do
    awk -F '\t' -v c="$column" 'FILENAME == ARGV[1] { done[$0] = 1; next } !($1 in done) { print $c }' \
        "$work/resolved" "$work/table" >"$work/ask"
    [ -s "$work/ask" ] || break
    xargs -d '\n' dpkg -S <"$work/ask" 2>/dev/null | grep -v '^diversion' >"$work/answers" || true
    # "pkg1:arch, pkg2: /path": the row is resolved, its packages are owners.
    awk -F '\t' -v c="$column" -v resolved="$work/resolved" -v owners="$work/owners" '
        FILENAME == ARGV[1] { at = index($0, ": /"); found[substr($0, at + 2)] = substr($0, 1, at - 1); next }
        ($c in found) { print $1 >>resolved
                        n = split(found[$c], names, ", ")
                        for (i = 1; i <= n; i++) { sub(/:.*/, "", names[i]); print names[i] >>owners } }' \
        "$work/answers" "$work/table"
done
awk -F '\t' 'FILENAME == ARGV[1] { done[$0] = 1; next } !($1 in done) { print "unowned: " $2 }' \
    "$work/resolved" "$work/table" >>"$work/owners"
sort -u "$work/owners"
