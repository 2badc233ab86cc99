#!/usr/bin/env bash
# Runs the unit tests of the Qt-free logic and of the device emulator once more, built with
# AddressSanitizer and UndefinedBehaviorSanitizer; any finding fails the test that hit it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SANITIZE_BUILD_DIR:-$root/build-sanitize}
bash "$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 \
    -DBOOT_SANITIZE=ON -DBOOT_WITH_QT=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$build"
ctest --output-on-failure --timeout 300 -j"$(nproc)"
