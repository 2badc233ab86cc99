#!/usr/bin/env bash
# Builds everything, starts the device emulator on a pseudo-terminal and then the window; the
# emulator stops when the window closes. Without a display, the same job runs in the
# command-line flasher instead: the sample firmware downloaded and verified on the emulator.
# BUILD_DIR names the build folder; BOOT_SKIP_BUILD=1 uses it as it is, without building.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
link=${BOOTDEV_SIM_LINK:-/tmp/bootdevice-sim}
[ "${BOOT_SKIP_BUILD:-0}" = 1 ] || bash "$root/scripts/build.sh"

sim="$build/tools/bootdev-sim/bootdev-sim"
window="$build/src/app/bootdevice"
flasher="$build/src/app/bootflash"
firmware="$root/samples/firmware.hex"

# A window needs an X or Wayland display that answers, unless Qt was told to draw elsewhere.
have_display() {
    [ -n "${QT_QPA_PLATFORM:-}" ] && return 0
    [ -n "${WAYLAND_DISPLAY:-}" ] && return 0
    [ -n "${DISPLAY:-}" ] || return 1
    command -v xdpyinfo >/dev/null 2>&1 || return 0
    xdpyinfo >/dev/null 2>&1
}

sim_pid=""
stop_sim() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
}
trap stop_sim EXIT
trap 'exit 130' INT TERM

start_sim() {
    coproc SIM { exec "$sim" --link "$link"; }
    sim_pid=$SIM_PID
    # The emulator prints its pseudo-terminal's path once the link is in place.
    if ! read -r -t 10 _ <&"${SIM[0]}"; then
        echo "The device emulator did not start." >&2
        exit 1
    fi
}

if ! have_display; then
    echo "No display to show the window on (use a desktop session, ssh -X, or xvfb-run bash scripts/run.sh); running the same job in the command-line flasher instead." >&2
    [ -x "$sim" ] && [ -x "$flasher" ] || { echo "The emulator or the flasher was not built." >&2; exit 1; }
    start_sim
    status=0
    "$flasher" download "$firmware" --port "$link" --address 1 || status=$?
    exit "$status"
fi

if [ -x "$sim" ]; then
    start_sim
    echo "Emulated board ready: type $link into the port box and press \"Open\"; the sample firmware is $firmware"
else
    echo "The device emulator was not built ($sim); starting the window alone." >&2
fi

if [ -x "$window" ]; then
    "$window"
elif [ -n "$sim_pid" ]; then
    echo "The window was not built ($window); the emulator keeps running until Ctrl+C." >&2
    wait "$sim_pid"
else
    echo "The window was not built ($window)." >&2
    exit 1
fi
