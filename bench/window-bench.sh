#!/usr/bin/env bash
# Times a whole download and verify of a 9000-line HEX file through the real main window, offscreen,
# against the device emulator: once with the emulator at full speed, once paced as a 115200 baud line.
# Usage: bench/window-bench.sh BUILD_DIR   (builds nothing; build window-bench and bootdev-sim first)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: $0 BUILD_DIR}
bench="$build/bench/window-bench"
emulator="$build/tools/bootdev-sim/bootdev-sim"
source "$root/bench/lib.sh"
need_built "$bench" "$emulator"
lines=${BENCH_LINES:-9000}
baud=115200

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
