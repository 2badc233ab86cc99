#!/usr/bin/env bash
# Saves docs/window-win32.png: the Windows window as it opens, under Wine on a private X server,
# to set beside docs/window.png of the Qt window (scripts/screenshot.sh). Builds what is missing:
# the Windows build (scripts/build-windows.sh) and the Linux one for the device emulator.
# Usage: scripts/screenshot-windows.sh [PNG]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
windows_build=${WINDOWS_BUILD_DIR:-$root/build-windows}
out=$(realpath -m "${1:-$root/docs/window-win32.png}")
sim="$build/tools/bootdev-sim/bootdev-sim"
[ -x "$sim" ] || bash "$root/scripts/build.sh"
[ -f "$windows_build/bin/bootdevice.exe" ] && [ -f "$windows_build/bin/control-reader.exe" ] ||
    bash "$root/scripts/build-windows.sh"

work=$(mktemp -d /tmp/bd-win.XXXX)
trap 'rm -rf "$work"' EXIT
driver="$root/tests/wine/e2e/window_under_wine.py"
desk=(--windows-dir "$windows_build/bin" --template "$work/prefix")
python3 "$driver" prefix "${desk[@]}"
python3 "$driver" screenshot "${desk[@]}" --work "$work/desk" --sim "$sim" --out "$out"
