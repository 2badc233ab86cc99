#!/usr/bin/env bash
# Builds everything and starts the window.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
exec "$build/src/app/bootdevice"
