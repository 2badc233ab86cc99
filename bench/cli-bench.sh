#!/usr/bin/env bash
# Times a whole download and verify of a 9000-line HEX file through the command-line flasher
# against the emulator at a paced 115200 baud line, once with the default receive poll and once
# with a 1 ms poll, and sets the figures beside the line's own limit.
# Usage: bench/cli-bench.sh BUILD_DIR     (builds nothing; build bootflash and bootdev-sim first)
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR}
flasher="$build/src/app/bootflash"
emulator="$build/tools/bootdev-sim/bootdev-sim"
for program in "$flasher" "$emulator"; do
    [ -x "$program" ] || { echo "missing $program: build it first" >&2; exit 1; }
done

baud=115200
work=$(mktemp -d)
emulator_pid=""
cleanup() {
    [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null && wait "$emulator_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# 9000 lines: an extended linear address record in front of every 64 KiB, 16 data bytes per
# record, the end-of-file record last. Prints the line's byte count for both passes.
python3 - "$work/bench.hex" <<'PY' > "$work/line-bytes"
import random, sys
random.seed(9000)
def record(kind, address, data):
    body = [len(data), address >> 8, address & 0xFF, kind] + list(data)
    return ":" + "".join("%02X" % b for b in body) + "%02X" % (-sum(body) & 0xFF)
lines, offset = [], 0
while len(lines) < 8999:
    if offset % 0x10000 == 0:
        lines.append(record(4, 0, [0x08, offset >> 16]))
    lines.append(record(0, offset & 0xFFFF, [random.randrange(256) for _ in range(16)]))
    offset += 16
lines = lines[:8999] + [record(1, 0, [])]
open(sys.argv[1], "w").write("\n".join(lines) + "\n")
# Per pass: each request is address, "BOOT", the line, CR LF, two CRC bytes; each reply is
# address, "B", its text, two CRC bytes. Every record but the last is answered "OK" CR LF, the last
# "DOWNLOAD" CR LF; the first data record of the download pass is answered "FORMAT" CR LF first.
request = sum(1 + 4 + len(l) + 2 + 2 for l in lines)
replies = (len(lines) - 1) * (2 + 4 + 2) + (2 + 10 + 2)
print(2 * (request + replies) + (2 + 8 + 2), 2 * len(lines))
PY
read -r line_bytes records < "$work/line-bytes"

"$emulator" --line-rate "$baud" --address 1 --flash-size 256K > "$work/emulator.out" 2>/dev/null &
emulator_pid=$!
for _ in $(seq 100); do [ -s "$work/emulator.out" ] && break; sleep 0.1; done
port=$(head -n1 "$work/emulator.out")
[ -n "$port" ] || { echo "the emulator printed no port" >&2; exit 1; }

# Runs one download and verify; prints wall and host CPU time (user + system) in milliseconds.
run() {
    local TIMEFORMAT='%R %U %S' timing real user sys
    timing=$({ time "$flasher" download "$work/bench.hex" --port "$port" --address 1 "$@" --json \
        > "$work/result.json" 2>/dev/null; } 2>&1) ||
        { echo "bootflash failed: $(cat "$work/result.json")" >&2; exit 1; }
    grep -Eq '"records":'"$records"'[,}]' "$work/result.json" ||
        { echo "unexpected result: $(cat "$work/result.json")" >&2; exit 1; }
    read -r real user sys <<< "$timing"
    awk -v r="$real" -v u="$user" -v s="$sys" 'BEGIN { printf "%d %d\n", r * 1000, (u + s) * 1000 }'
}

read -r wall_default cpu_default < <(run) && [ -n "${wall_default:-}" ] || exit 1
read -r wall_fast cpu_fast < <(run --poll-ms 1) && [ -n "${wall_fast:-}" ] || exit 1

awk -v bytes="$line_bytes" -v records="$records" -v baud="$baud" \
    -v wd="$wall_default" -v cd="$cpu_default" -v wf="$wall_fast" -v cf="$cpu_fast" 'BEGIN {
    limit = bytes * 10 / baud * 1000 / records
    printf "download and verify of a 9000-line HEX file, %d records sent, line %d baud (10 bits a byte)\n\n", records, baud
    printf "%-28s %14s %14s %14s\n", "", "poll 20 ms", "poll 1 ms", "line limit"
    printf "%-28s %14.1f %14.1f %14.1f\n", "total time (s)", wd / 1000, wf / 1000, limit * records / 1000
    printf "%-28s %14.1f %14.1f %14.1f\n", "records per second", records * 1000 / wd, records * 1000 / wf, 1000 / limit
    printf "%-28s %14.3f %14.3f %14.3f\n", "time per record (ms)", wd / records, wf / records, limit
    printf "%-28s %14.2f %14.2f %14.2f\n", "ratio to the line limit", wd / records / limit, wf / records / limit, 1
    printf "%-28s %14.3f %14.3f %14s\n", "host CPU per record (ms)", cd / records, cf / records, "-"
    printf "\ntarget with a 1 ms poll: at most 1.20 x the line limit: %s\n", (wf / records / limit <= 1.2) ? "met" : "missed"
}'
