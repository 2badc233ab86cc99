#!/usr/bin/env bash
# Builds everything and runs every test through CTest (GUI tests on Qt's offscreen platform).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure --timeout 300 -j"$(nproc)"
