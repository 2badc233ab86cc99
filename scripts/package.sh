#!/usr/bin/env bash
# Builds the Debian packages bootflash, bootdevice and bootdev-sim as a distribution builds them:
# dpkg-buildpackage on a copy of this tree (the files git tracks or would track, so no build
# folder goes in), then checks them with tests/scripts/package-checks.sh.
# Usage: scripts/package.sh [OUT_DIR]   (default build/package); prints the packages' paths.
# A compiler launcher in CMAKE_CXX_COMPILER_LAUNCHER (ccache) is used, as CMake takes it.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/package}"
bash "$root/scripts/deps.sh"
rm -rf "$out"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

version="$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)"
source="$out/source/bootdevice-$version"
mkdir -p "$source"
(cd "$root" && git ls-files -z --cached --others --exclude-standard |
    tar --null --files-from=- --ignore-failed-read -cf - 2>/dev/null) | tar -xf - -C "$source"

# debhelper gives the build a HOME of its own: a launcher's cache must be named to be found.
if [[ ${CMAKE_CXX_COMPILER_LAUNCHER:-} == *ccache* && -z ${CCACHE_DIR:-} ]]; then
    CCACHE_DIR="$(ccache -k cache_dir)"
    export CCACHE_DIR
fi
if ! (cd "$source" && dpkg-buildpackage -us -uc -b -J"${JOBS:-$(nproc)}") >"$out/build.log" 2>&1; then
    tail -n 40 "$out/build.log" >&2
    echo "dpkg-buildpackage failed: $out/build.log" >&2
    exit 1
fi
mv "$out/source"/*.deb "$out/"
bash "$root/tests/scripts/package-checks.sh" "$out" "$source" >&2
ls "$out"/*.deb
