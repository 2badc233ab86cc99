#!/usr/bin/env bash
# Builds the Debian package from a finished build and checks that it holds what an installation
# needs, and that lintian, where installed, finds nothing to warn about.
# Usage: scripts/package.sh [BUILD_DIR [OUT_DIR]]; prints the package's path.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="${2:-$build/package}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

rm -f "$out"/*.deb
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || {
    cat "$out/cpack.log" >&2
    exit 1
}
deb="$(ls "$out"/*.deb)"

contents="$(dpkg-deb -c "$deb")"
missing=0
for path in \
    ./usr/bin/bootdevice ./usr/bin/bootflash ./usr/bin/bootdev-sim \
    ./usr/share/man/man1/bootdevice.1.gz ./usr/share/man/man1/bootflash.1.gz \
    ./usr/share/man/man1/bootdev-sim.1.gz \
    ./usr/share/bash-completion/completions/bootflash \
    ./usr/share/applications/bootdevice.desktop \
    ./usr/share/icons/hicolor/scalable/apps/bootdevice.svg \
    ./usr/share/doc/bootdevice/dialout.txt ./usr/share/doc/bootdevice/README.md \
    ./usr/share/doc/bootdevice/copyright ./usr/share/doc/bootdevice/changelog.gz; do
    if ! grep -q " $path\$" <<<"$contents"; then
        echo "package lacks $path" >&2
        missing=1
    fi
done
depends="$(dpkg-deb -f "$deb" Depends)"
for library in libqt6core6 libqt6serialport6 libqt6network6 libqt6widgets6; do
    if ! grep -q "$library" <<<"$depends"; then
        echo "package does not depend on $library: $depends" >&2
        missing=1
    fi
done
[ "$missing" -eq 0 ] || exit 1

if command -v lintian >/dev/null; then
    # Only errors and warnings count; lintian's own notes (such as one about running as root) do not.
    lintian "$deb" >"$out/lintian.log" 2>&1 || true
    if grep -E '^[EW]: ' "$out/lintian.log" >&2; then
        echo "lintian finds fault with $deb" >&2
        exit 1
    fi
else
    echo "lintian is not installed: the package was not checked by it" >&2
fi
echo "$deb"
