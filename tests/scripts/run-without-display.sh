#!/usr/bin/env bash
# Runs scripts/run.sh with no display, on the build the tests run from and without building it, and checks that the sample firmware went through both
# passes in the flasher, with the flasher's exit code as the script's.
set -uo pipefail
root=$1
build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM BUILD_DIR="$build" BOOT_SKIP_BUILD=1 BOOTDEV_SIM_LINK="$work/sim" \
    bash "$root/scripts/run.sh" >"$work/out" 2>"$work/err" </dev/null
status=$?
fail() { echo "$1" >&2; echo "--- stdout" >&2; cat "$work/out" >&2; echo "--- stderr" >&2; tail -20 "$work/err" >&2; exit 1; }

[ "$status" -eq 0 ] || fail "run.sh ended with $status"
grep -q '^No display to show the window on (use a desktop session, ssh -X, or xvfb-run' "$work/err" ||
    fail "no word about the missing display"
[ "$(grep -c '^No display' "$work/err")" -eq 1 ] || fail "the display notice is not one line"
grep -q '^END ' "$work/err" || fail "the flasher did not reach END"

echo "run.sh without a display: the flasher downloaded and verified the sample firmware"
