#!/usr/bin/env bash
# Checks the Debian packages that scripts/package.sh built into DIR: each holds its program's
# files, the flasher needs no Qt Widgets, Qt Gui or X, lintian --pedantic finds no error or
# warning, the AppStream metadata is valid, and no file names the folder the build ran in.
# Usage: package-checks.sh DIR [BUILD_SOURCE_DIR]
set -uo pipefail
dir=$1
built_in=${2:-}
failed=0
fail() {
    echo "$1" >&2
    failed=1
}
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

declare -A files=(
    [bootflash]="usr/bin/bootflash usr/share/man/man1/bootflash.1.gz
        usr/share/bash-completion/completions/bootflash usr/share/doc/bootflash/dialout.txt
        usr/share/doc/bootflash/examples/70-bootloader-no-modemmanager.rules"
    [bootdevice]="usr/bin/bootdevice usr/share/man/man1/bootdevice.1.gz
        usr/share/applications/bootdevice.desktop usr/share/icons/hicolor/scalable/apps/bootdevice.svg
        usr/share/metainfo/org.example.bootdevice.metainfo.xml usr/share/doc/bootdevice/dialout.txt
        usr/share/doc/bootdevice/examples/70-bootloader-no-modemmanager.rules"
    [bootdev-sim]="usr/bin/bootdev-sim usr/share/man/man1/bootdev-sim.1.gz"
)
# The libraries each program may link, by soname; anything else is a dependency the program
# does not need (the flasher must run on a machine without a display).
declare -A libraries=(
    [bootflash]="libQt6Core libQt6Network libQt6SerialPort libelf libstdc++ libm libgcc_s libc"
    [bootdevice]="libQt6Core libQt6Gui libQt6Widgets libQt6Network libQt6SerialPort libelf libstdc++ libm libgcc_s libc"
    [bootdev-sim]="libelf libstdc++ libm libgcc_s libc"
)

for package in "${!files[@]}"; do
    deb=$(ls "$dir/${package}_"*.deb 2>/dev/null | head -n1)
    [ -n "$deb" ] || { fail "no package $package in $dir"; continue; }
    dpkg-deb -x "$deb" "$tree/$package"
    for path in ${files[$package]} usr/share/doc/$package/copyright usr/share/doc/$package/changelog.gz; do
        [ -f "$tree/$package/$path" ] || fail "$package lacks /$path"
    done
    # debhelper compresses a long document.
    compgen -G "$tree/$package/usr/share/doc/$package/README.md*" >/dev/null || fail "$package lacks its README"
    program="$tree/$package/usr/bin/$package"
    [ -f "$program" ] || continue
    file -b "$program" | grep -q ', stripped' || fail "$package: /usr/bin/$package is not stripped"
    while read -r needed; do
        # The dynamic loader itself: named where a thread's own variables are reached through it.
        [[ $needed == ld-linux* ]] && continue
        [[ " ${libraries[$package]} " == *" ${needed%%.so*} "* ]] || fail "$package: $package links $needed"
    done < <(objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }')
done

depends=$(dpkg-deb -f "$dir"/bootflash_*.deb Depends 2>/dev/null)
for unwanted in libqt6widgets libqt6gui libx11 libxcb libgl libegl; do
    [[ $depends != *"$unwanted"* ]] || fail "bootflash depends on $unwanted: $depends"
done

# lintian's own note about running as root is no finding about the packages.
findings=$(lintian --pedantic --tag-display-limit 0 "$dir"/*.deb 2>&1 | grep -v '^N: ')
grep -E '^[EW]: ' <<<"$findings" >&2 && fail "lintian finds fault with the packages"
grep -E '^[IP]: ' <<<"$findings" >&2

if ! validation=$(appstreamcli validate-tree --no-net --pedantic "$tree/bootdevice" 2>&1); then
    fail "the AppStream metadata is not valid: $validation"
fi

# A build folder named in an installed file (a debug path, a generated page) makes the package
# depend on where it was built.
if [ -n "$built_in" ]; then
    for deb in "$dir"/*-dbgsym_*.deb; do
        [ -f "$deb" ] && dpkg-deb -x "$deb" "$tree/dbgsym"
    done
    while IFS= read -r -d '' path; do
        if { [[ $path == *.gz ]] && zcat "$path" || cat "$path"; } | grep -qaF "$built_in"; then
            fail "${path#"$tree"/} names the build folder $built_in"
        fi
    done < <(find "$tree" -type f -print0)
fi

[ "$failed" -eq 0 ] && echo "packages in $dir: complete, lintian-clean, no build path"
exit "$failed"
