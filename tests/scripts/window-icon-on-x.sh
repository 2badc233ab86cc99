#!/usr/bin/env bash
# Shows the window on a private X server and reads its icon back from the X window: its
# _NET_WM_ICON must carry the 24 x 24 picture the program paints.
set -uo pipefail
program=$1
if [ -z "${BOOT_ON_PRIVATE_X:-}" ]; then
    exec env -u QT_QPA_PLATFORM BOOT_ON_PRIVATE_X=1 xvfb-run -a bash "$0" "$@"
fi

"$program" &
app=$!
trap 'kill "$app" 2>/dev/null; wait "$app" 2>/dev/null' EXIT
window=
for _ in $(seq 300); do
    window=$(xdotool search --name '^BOOT DEVICE' 2>/dev/null | head -n1)
    [ -n "$window" ] && break
    kill -0 "$app" 2>/dev/null || { echo "the window program ended early" >&2; exit 1; }
    sleep 0.1
done
[ -n "$window" ] || { echo "the window did not appear within 30 s" >&2; exit 1; }
icon=$(xprop -id "$window" _NET_WM_ICON)
if ! grep -q 'Icon (24 x 24)' <<<"$icon"; then
    echo "the X window carries no 24 x 24 icon: $(head -n1 <<<"$icon")" >&2
    exit 1
fi
echo "the X window carries the 24 x 24 icon"
