#!/usr/bin/env bash
# Builds everything and runs every test: CTest (GUI tests on Qt's offscreen platform), then the
# Debian packages built once (scripts/package.sh) and checked, then the Qt-free logic's and the
# emulator's tests once more under AddressSanitizer and UndefinedBehaviorSanitizer, then each
# fuzzer for FUZZ_SECONDS (default 30).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
(
    export QT_QPA_PLATFORM=offscreen
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
