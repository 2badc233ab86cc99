#!/usr/bin/env bash
# Times a download and verify through the command-line flasher against the emulator paced as a
# 115200 baud line behind a USB adapter whose latency timer holds every reply for 1, 4 or 16 ms
# (and without one), and prints each time per record beside the line's own limit.
# Usage: bench/latency-bench.sh BUILD_DIR [RECORDS]   (builds nothing; build first)
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR [RECORDS]}
records=${2:-500}
root=$(cd "$(dirname "$0")/.." && pwd)
flasher="$build/src/app/bootflash"
emulator="$build/tools/bootdev-sim/bootdev-sim"
source "$root/bench/lib.sh"
need_built "$flasher" "$emulator"

python3 "$root/scripts/make-sample-hex.py" --out "$work/bench.hex" --records "$records" >/dev/null
lines=$(wc -l < "$work/bench.hex")
# The line's limit: each record's request (address, "BOOT", the line, CR LF, CRC) and its reply
# "OK" (address, "B", "OK", CR LF, CRC) cross the line at 10 bits a byte, nothing else waits.
limit=$(awk '{ sub(/\r$/, ""); bytes += length($0) + 9 + 8 } END { printf "%.2f", bytes * 10 / 115200 * 1000 / NR }' \
    "$work/bench.hex")

# One download and verify; prints the milliseconds per record.
run() {
    local TIMEFORMAT='%R' real
    real=$({ time "$flasher" download "$work/bench.hex" -p "$port" -a 1 -q --json \
        > "$work/result.json" 2>/dev/null; } 2>&1) ||
        { echo "bootflash failed: $(cat "$work/result.json")" >&2; exit 1; }
    awk -v r="$real" -v n="$((2 * lines))" 'BEGIN { printf "%.2f", r * 1000 / n }'
}

echo "115200 baud, $lines lines downloaded and verified; the line allows $limit ms a record"
printf '%-22s %s\n' "latency timer" "ms a record"
for latency in 0 1 4 16; do
    start_emulator --line-rate 115200 --address 1 --flash-size 256K --latency-ms "$latency"
    label=$([ "$latency" = 0 ] && echo "none (a plain line)" || echo "$latency ms")
    printf '%-22s %s\n' "$label" "$(run)"
done
