#!/usr/bin/env bash
# Shows the window on a private X server and reads its icon back from the X window: its
# _NET_WM_ICON must carry the 24 x 24 picture the program paints. Before that, --help and
# --version must end at once there, as they do without a display.
set -uo pipefail
program=$1
if [ -z "${BOOT_ON_PRIVATE_X:-}" ]; then
    exec env -u QT_QPA_PLATFORM BOOT_ON_PRIVATE_X=1 xvfb-run -a bash "$0" "$@"
fi

# With a display as without one, --help and --version print and end: they open no window.
for argument in --help --version; do
    timeout 30 "$program" "$argument" >/dev/null || { echo "bootdevice $argument did not end with 0" >&2; exit 1; }
done

"$program" &
app=$!
trap 'kill "$app" 2>/dev/null; wait "$app" 2>/dev/null' EXIT
# The X window is named before all its properties are set: wait for the icon, not only the window.
window=
icon=
for _ in $(seq 300); do
    window=$(xdotool search --name '^BOOT DEVICE' 2>/dev/null | head -n1)
    if [ -n "$window" ]; then
        icon=$(xprop -id "$window" _NET_WM_ICON 2>&1)
        grep -q 'Icon (24 x 24)' <<<"$icon" && { echo "the X window carries the 24 x 24 icon"; exit 0; }
    fi
    kill -0 "$app" 2>/dev/null || { echo "the window program ended early" >&2; exit 1; }
    sleep 0.1
done
if [ -z "$window" ]; then
    echo "the window did not appear within 30 s" >&2
else
    echo "the X window carries no 24 x 24 icon: $(head -n1 <<<"$icon")" >&2
fi
exit 1
