#!/usr/bin/env bash
# Starts the window on a private X server and saves a picture of it to docs/window.png,
# to check that every caption fits the fixed design sizes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=${1:-$root/docs/window.png}
program="$build/src/app/bootdevice"
[ -x "$program" ] || bash "$root/scripts/build.sh"

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp &
xvfb=$!
app=
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display
unset QT_QPA_PLATFORM

for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
"$program" &
app=$!

window=
for _ in $(seq 100); do
    for id in $(xwininfo -root -tree 2>/dev/null | awk '/"BOOT DEVICE Ventrik V 1.6"/ { print $1 }'); do
        xwininfo -id "$id" | grep -q 'IsViewable' && window=$id
    done
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the window did not appear" >&2; exit 1; }
sleep 1
mkdir -p "$(dirname "$out")"
# Cut the window's client area out of the whole screen: there is no window manager to frame it.
geometry=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /Width:/ { w = $NF } /Height:/ { h = $NF } END { printf "%dx%d+%d+%d", w, h, x, y }')
import -window root -crop "$geometry" +repage "$out"
echo "$out"
