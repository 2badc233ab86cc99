#!/usr/bin/env bash
# Cross-builds the Windows window and its tests into build-windows/ (or $WINDOWS_BUILD_DIR) with
# MinGW-w64, statically linked, and packs build-windows/bootdevice-VERSION-win64.zip with the
# program, README.md and LICENSE. The tests run under Wine from the Linux build's CTest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${WINDOWS_BUILD_DIR:-$root/build-windows}
bash "$root/scripts/deps.sh"

if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)"

exe=$build/bin/bootdevice.exe
if [ ! -f "$exe" ]; then
    echo "build-windows.sh: no bootdevice.exe was built (the tree has no Windows window target), nothing packed" >&2
    exit 1
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=bootdevice-$version-win64
stage=$build/package/$name
rm -rf "$build/package" "$build/$name.zip"
mkdir -p "$stage"
cp "$exe" "$root/README.md" "$root/LICENSE" "$stage/"
# The commit's time on every entry, no other attributes, the entries in one order: two packings of
# one build give the same bytes.
stamp=$(git -C "$root" log -1 --format=@%ct 2>/dev/null || date +@%s)
touch -d "$stamp" "$stage"/*
(cd "$build/package" && TZ=UTC zip -q -X -D "$build/$name.zip" "$name/bootdevice.exe" "$name/README.md" "$name/LICENSE")
echo "$build/$name.zip"
