#!/usr/bin/env bash
# Times a whole download and verify of a 9000-line HEX file through the real main window, offscreen,
# against the device emulator: once with the emulator at full speed, once paced as a 115200 baud line.
# Usage: bench/window-bench.sh BUILD_DIR   (builds nothing; build window-bench and bootdev-sim first)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: $0 BUILD_DIR}
bench="$build/bench/window-bench"
emulator="$build/tools/bootdev-sim/bootdev-sim"
for program in "$bench" "$emulator"; do
    [ -x "$program" ] || { echo "missing $program: build it first" >&2; exit 1; }
done
lines=${BENCH_LINES:-9000}
baud=115200

work=$(mktemp -d)
emulator_pid=""
stop_emulator() {
    if [ -n "$emulator_pid" ]; then
        kill "$emulator_pid" 2>/dev/null || true
        wait "$emulator_pid" 2>/dev/null || true
        emulator_pid=""
    fi
}
cleanup() {
    stop_emulator
    rm -rf "$work"
}
trap cleanup EXIT

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

# Starts the emulator with the given options and waits for the terminal path on its first line.
start_emulator() {
    "$emulator" --address 1 "$@" > "$work/emulator.out" &
    emulator_pid=$!
    for _ in $(seq 100); do
        port=$(head -n 1 "$work/emulator.out")
        [ -n "$port" ] && return 0
        sleep 0.1
    done
    echo "the emulator did not start" >&2
    exit 1
}

echo "== emulator at full speed"
start_emulator
QT_QPA_PLATFORM=offscreen "$bench" --port "$port" --hex "$hex" --address 1
stop_emulator

echo "== emulator paced as a $baud baud line (--line-rate $baud)"
start_emulator --line-rate "$baud"
QT_QPA_PLATFORM=offscreen "$bench" --port "$port" --hex "$hex" --address 1 --line-rate "$baud"
stop_emulator
