#!/usr/bin/env bash
# Times a whole download and verify of a HEX file through the real main window, offscreen, against
# the device emulator: once with the emulator at full speed, once paced as a line at the speed
# chosen. The window takes each reply as the port announces it, so a paced run takes about what the
# line needs (7.5 ms a record at 115200 baud with the gap before each frame, 66 ms at 9600): with
# the full 9000-line file (18000 records over both passes) about 3 minutes at 115200 baud. The
# bar's stage and record are shown every 10 s.
# Usage: bench/window-bench.sh BUILD_DIR [--lines N] [--baud B]
#   --lines N   HEX lines in the file (default 9000, the most the window takes); --lines 1000 makes
#               a short run
#   --baud B    the paced run's speed: 115200 (default), 19200 or 9600
# Builds nothing: build window-bench and bootdev-sim first.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: $0 BUILD_DIR [--lines N] [--baud B]}
shift
lines=9000
baud=115200
while [ $# -gt 0 ]; do
    case $1 in
    --lines) lines=$2; shift 2 ;;
    --baud) baud=$2; shift 2 ;;
    *) echo "unknown option $1; usage: $0 BUILD_DIR [--lines N] [--baud B]" >&2; exit 2 ;;
    esac
done
bench="$build/bench/window-bench"
emulator="$build/tools/bootdev-sim/bootdev-sim"
source "$root/bench/lib.sh"
need_built "$bench" "$emulator"
echo "$lines lines, $((2 * lines)) records a run: about $((2 * lines * (3 + 600000 / baud) / 1000 / 60 + 1)) min for both runs"

# The generator adds address records and two closing records to the data records; find the count
# of data records that gives exactly the wanted number of lines.
hex="$work/bench.hex"
records=$((lines - 6))
for _ in 1 2 3; do
    python3 "$root/scripts/make-sample-hex.py" --records "$records" --out "$hex"
    made=$(wc -l < "$hex")
    [ "$made" -eq "$lines" ] && break
    records=$((records + lines - made))
done
[ "$(wc -l < "$hex")" -eq "$lines" ] || { echo "could not make a $lines-line HEX file" >&2; exit 1; }

echo "== emulator at full speed"
start_emulator --address 1
QT_QPA_PLATFORM=offscreen "$bench" --port "$port" --hex "$hex" --address 1
stop_emulators

echo "== emulator paced as a $baud baud line (--line-rate $baud)"
start_emulator --address 1 --line-rate "$baud"
QT_QPA_PLATFORM=offscreen "$bench" --port "$port" --hex "$hex" --address 1 --line-rate "$baud"
stop_emulators
