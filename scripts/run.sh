#!/usr/bin/env bash
# Builds everything, starts the device emulator on a pseudo-terminal and then the window; the
# emulator stops when the window closes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
link=${BOOTDEV_SIM_LINK:-/tmp/bootdevice-sim}
bash "$root/scripts/build.sh"

sim="$build/tools/bootdev-sim/bootdev-sim"
window="$build/src/app/bootdevice"

sim_pid=""
stop_sim() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
}
trap stop_sim EXIT
trap 'exit 130' INT TERM

if [ -x "$sim" ]; then
    coproc SIM { exec "$sim" --link "$link"; }
    sim_pid=$SIM_PID
    # The emulator prints its pseudo-terminal's path once the link is in place.
    if ! read -r -t 10 _ <&"${SIM[0]}"; then
        echo "The device emulator did not start." >&2
        exit 1
    fi
    echo "Emulated board ready: type $link into the port box and press \"Open\"; the sample firmware is $root/samples/firmware.hex"
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
