#!/usr/bin/env bash
# Builds everything, the Windows window and its tests too (scripts/build-windows.sh), and runs every
# test: CTest (GUI tests on Qt's offscreen platform, the Windows tests under Wine), then the
# Debian packages built once (scripts/package.sh) and checked, then the Qt-free logic's and the
# emulator's tests once more under AddressSanitizer and UndefinedBehaviorSanitizer, then each
# fuzzer for FUZZ_SECONDS (default 30).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
windows=${WINDOWS_BUILD_DIR:-$root/build-windows}
WINDOWS_BUILD_DIR=$windows bash "$root/scripts/build-windows.sh"
cmake -S "$root" -B "$build" -DBOOT_WINDOWS_BUILD_DIR="$windows" >/dev/null
(
    # The Windows tests were just built: missing, they fail instead of being skipped.
    export QT_QPA_PLATFORM=offscreen BOOT_REQUIRE_WINDOWS=1
    cd "$build"
    ctest --output-on-failure --timeout 300 -j"$(nproc)"
)
# With ccache the package build takes the objects it compiled last time (half a minute instead of four).
launcher=${CMAKE_CXX_COMPILER_LAUNCHER:-}
if [ -z "$launcher" ] && command -v ccache >/dev/null; then
    launcher=ccache
fi
CMAKE_CXX_COMPILER_LAUNCHER=$launcher bash "$root/scripts/package.sh" "$build/package" >/dev/null
bash "$root/scripts/sanitize.sh"
bash "$root/scripts/fuzz.sh" all "${FUZZ_SECONDS:-30}"
