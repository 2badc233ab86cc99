#!/usr/bin/env bash
# Starts the window on a private X server and saves two pictures of it: docs/window.png as it
# opens, and docs/window-end.png at "END" after a download of samples/firmware.hex from the
# device emulator, driven with xdotool. They show that every caption fits the fixed design sizes
# and reads well in both looks.
# Usage: scripts/screenshot.sh [START_PNG [END_PNG]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
start_png=${1:-$root/docs/window.png}
end_png=${2:-$root/docs/window-end.png}
program="$build/src/app/bootdevice"
sim="$build/tools/bootdev-sim/bootdev-sim"
firmware="$root/samples/firmware.hex"
[ -x "$program" ] && [ -x "$sim" ] || bash "$root/scripts/build.sh"

work=$(mktemp -d /tmp/bd.XXXX)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp &
xvfb=$!
app=
sim_pid=
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=$display
unset QT_QPA_PLATFORM

# Waits up to 20 s for the command to succeed.
wait_for() {
    for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done
    echo "gave up waiting for: $*" >&2
    return 1
}
viewable_window() {
    for id in $(xwininfo -root -tree 2>/dev/null | awk -v title="\"$1\"" 'index($0, title) { print $1 }'); do
        xwininfo -id "$id" | grep -q 'IsViewable' && { echo "$id"; return 0; }
    done
    return 1
}
# The colour of one pixel of the screen, as ImageMagick names it ("#00FF00").
pixel() {
    import -window root -crop "1x1+$1+$2" +repage -depth 8 txt:- | awk 'NR == 2 { print $3 }'
}
snap() {
    # Cut the window's client area out of the whole screen: there is no window manager to frame it.
    local geometry
    geometry=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
        /Width:/ { w = $NF } /Height:/ { h = $NF } END { printf "%dx%d+%d+%d", w, h, x, y }')
    mkdir -p "$(dirname "$1")"
    import -window root -crop "$geometry" +repage "$1"
    echo "$1"
}

wait_for xdpyinfo >/dev/null 2>&1
"$sim" --link "$work/line" --verbose >"$work/sim.out" 2>"$work/sim.log" &
sim_pid=$!
wait_for test -e "$work/line"

"$program" &
app=$!
wait_for viewable_window "BOOT DEVICE Ventrik V 1.6" >/dev/null
window=$(viewable_window "BOOT DEVICE Ventrik V 1.6")
read -r left top < <(xwininfo -id "$window" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }')
sleep 1
snap "$start_png"

# The port box has the focus; Open, then "Open File and  Download" (centres, in window pixels).
xdotool windowfocus --sync "$window" key ctrl+a type "$work/line"
xdotool mousemove --window "$window" 84 21 click 1
# The address box is empty: the scan goes on until the emulated board at address 1 has answered.
wait_for grep -q 'VER=' "$work/sim.log"
xdotool mousemove --window "$window" 176 40 click 1
wait_for viewable_window "Open" >/dev/null
dialog=$(viewable_window "Open")
xdotool windowfocus --sync "$dialog" type "$firmware"
xdotool key --window "$dialog" Return
# The bar turns pure green only at "END".
end_is_shown() { [ "$(pixel $((left + 12)) $((top + 80)))" = "#00FF00" ]; }
wait_for end_is_shown
xdotool mousemove --window "$window" 396 0
sleep 1
snap "$end_png"
