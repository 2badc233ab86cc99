#!/usr/bin/env bash
# Times the command-line flasher against the emulator paced as a real line, at 115200, 19200 and
# 9600 baud, and sets each figure beside the line's own limit:
#   - a download and verify with replies read on arrival (the default), and the same against a
#     device that takes 2 ms to answer each record (--reply-delay-ms 2);
#   - at the first speed also the receive polls of before, 20 ms and --poll-ms 1;
#   - the median time of one record, from the time stamps of --trace, which a wake-up delayed by
#     other programs on the machine does not move;
#   - the host CPU the flasher spends during the transfer: user + system time over wall time, after
#     taking off what a start, a connection (with its one wait for the probe's answer window, as
#     every operation has before it sends anything) and an exit alone cost (a "version" run);
#   - a scan of addresses 1 to 127 on a bus of three devices, with and without a reply delay as long
#     as the probe margin;
#   - a connection wait at a silent address ended by --connect-timeout 1.
# Each figure is set beside the line's limit (request and reply bytes at the speed) and, after "gap",
# beside that limit with the silence kept before every frame (3.5 characters, at least 1.75 ms).
# Prints figures and asserts nothing.
# Usage: bench/cli-bench.sh BUILD_DIR [--lines N] [--speeds "115200 19200 9600"] [--repeat R] [--no-polls]
#   --lines N   HEX lines in the file (default 200; 9000 is the largest file the flasher takes)
#   --repeat R  runs of each measurement; the best is shown, and the worst beside it (default 1)
#   --no-polls  leave out the runs with the receive polls of before
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR [--lines N] [--speeds LIST] [--repeat R]}
shift
lines=200
speeds="115200 19200 9600"
repeat=1
polls=yes
while [ $# -gt 0 ]; do
    case $1 in
    --lines) lines=$2; shift 2 ;;
    --speeds) speeds=$2; shift 2 ;;
    --repeat) repeat=$2; shift 2 ;;
    --no-polls) polls=no; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done

flasher="$build/src/app/bootflash"
emulator="$build/tools/bootdev-sim/bootdev-sim"
source "$(dirname "$0")/lib.sh"
need_built "$flasher" "$emulator"

# The file and what a download of it puts on the line: bytes for both passes and records sent.
python3 "$(dirname "$0")/make-bench-hex.py" "$work/bench.hex" "$lines" > "$work/line-bytes"
read -r line_bytes records < "$work/line-bytes"

# Runs the flasher once; prints wall and host CPU time (user + system) in milliseconds. "No
# device" (exit code 4) is a result here: a scan that missed every device, a connection deadline.
timed() {
    local TIMEFORMAT='%R %U %S' timing real user sys code=0
    timing=$({ time "$flasher" "$@" --json > "$work/result.json" 2>/dev/null; } 2>&1) || code=$?
    [ "$code" = 0 ] || [ "$code" = 4 ] || { echo "bootflash $1 failed: $(cat "$work/result.json")" >&2; exit 1; }
    read -r real user sys <<< "$timing"
    awk -v r="$real" -v u="$user" -v s="$sys" 'BEGIN { printf "%d %d\n", r * 1000, (u + s) * 1000 }'
}

# Runs a measurement $repeat times; prints the best wall time, the CPU of that run and the worst
# wall time. The caller checks $work/result.json of the last run.
best_of() {
    local best="" best_cpu="" worst="" wall cpu
    for _ in $(seq "$repeat"); do
        read -r wall cpu < <(timed "$@")
        if [ -z "$best" ] || [ "$wall" -lt "$best" ]; then best=$wall; best_cpu=$cpu; fi
        if [ -z "$worst" ] || [ "$wall" -gt "$worst" ]; then worst=$wall; fi
    done
    echo "$best $best_cpu $worst"
}

download() {
    best_of download "$work/bench.hex" --port "$port" --address 1 "$@"
    grep -Eq '"records":'"$records"'[,}]' "$work/result.json" ||
        { echo "unexpected result: $(cat "$work/result.json")" >&2; exit 1; }
}

echo "flasher against the emulator paced as a line (10 bits a byte); $lines HEX lines, $records records"
echo "sent over both passes; best of $repeat run(s), the worst beside it; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo
printf "%-8s %-28s %10s %10s %12s %8s %10s %10s\n" baud mode "ms/record" "limit ms" "x limit" "CPU %" "worst ms/r" \
    "x gap"

# One row: the speed, the mode, best wall, its CPU, worst wall, the start-up run's wall and CPU,
# and the delay the device adds to each record.
row() {
    awk -v baud="$1" -v mode="$2" -v wall="$3" -v cpu="$4" -v worst="$5" -v w0="$6" -v c0="$7" \
        -v delay="$8" -v bytes="$line_bytes" -v records="$records" 'BEGIN {
        limit = bytes * 10 / baud * 1000 / records + delay
        gap = 35000 / baud < 1.75 ? 1.75 : 35000 / baud
        busy = wall - w0 > 0 ? (cpu - c0) / (wall - w0) * 100 : 0
        if (busy < 0) busy = 0
        printf "%-8d %-28s %10.3f %10.3f %12.3f %8.2f %10.3f %10.3f\n", baud, mode, wall / records, limit,
            wall / records / limit, busy, worst / records, wall / records / (limit + gap)
    }'
}

# The median time from one record's request to the next, from the time stamps of --trace: the
# pace of a record when no other program on the machine delays a wake-up.
median_record() {
    "$flasher" download "$work/bench.hex" --port "$port" --address 1 "$@" --trace 2> "$work/trace" > /dev/null ||
        { echo "bootflash failed with --trace" >&2; exit 1; }
    awk '/ TX / { if (seen) print $1 - last; last = $1; seen = 1 }' "$work/trace" | sort -g |
        awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

for baud in $speeds; do
    start_emulator --flash-size 256K --line-rate "$baud" --address 1
    read -r w0 c0 _ < <(best_of version --port "$port" --address 1 --baud "$baud")
    read -r wall cpu worst < <(download --baud "$baud")
    row "$baud" "on arrival" "$wall" "$cpu" "$worst" "$w0" "$c0" 0
    median=$(median_record --baud "$baud")
    awk -v baud="$baud" -v m="$median" -v bytes="$line_bytes" -v records="$records" 'BEGIN {
        limit = bytes * 10 / baud * 1000 / records
        gap = 35000 / baud < 1.75 ? 1.75 : 35000 / baud
        printf "%-8d %-28s %10.3f %10.3f %12.3f %8s %10s %10.3f\n", baud, "on arrival, median record", m, limit,
            m / limit, "", "", m / (limit + gap)
    }'
    if [ "$polls" = yes ] && [ "$baud" = "$(echo "$speeds" | cut -d' ' -f1)" ]; then
        read -r wall cpu worst < <(download --baud "$baud" --poll-ms 20)
        row "$baud" "--poll-ms 20 (old default)" "$wall" "$cpu" "$worst" "$w0" "$c0" 0
        read -r wall cpu worst < <(download --baud "$baud" --poll-ms 1)
        row "$baud" "--poll-ms 1" "$wall" "$cpu" "$worst" "$w0" "$c0" 0
    fi
    start_emulator --flash-size 256K --line-rate "$baud" --address 1 --reply-delay-ms 2
    read -r wall cpu worst < <(download --baud "$baud")
    row "$baud" "on arrival, reply delay 2 ms" "$wall" "$cpu" "$worst" "$w0" "$c0" 2
done

echo
echo "scan of addresses 1 to 127, devices at 3, 5 and 9, default probe margin (10 ms)"
printf "%-8s %-28s %10s %8s %10s\n" baud "reply delay" "seconds" found "worst s"
for baud in $speeds; do
    for delay in 0 10; do
        start_emulator --flash-size 256K --line-rate "$baud" --address 3,5,9 --reply-delay-ms "$delay"
        read -r wall _ worst < <(best_of scan --port "$port" --baud "$baud")
        found=$(grep -oE '"address":[0-9]+' "$work/result.json" | wc -l)
        awk -v b="$baud" -v d="$delay ms" -v w="$wall" -v f="$found" -v x="$worst" \
            'BEGIN { printf "%-8d %-28s %10.2f %8d %10.2f\n", b, d, w / 1000, f, x / 1000 }'
    done
done

echo
start_emulator --flash-size 256K --line-rate 115200 --address 1
read -r wall _ worst < <(best_of version --port "$port" --address 7 --connect-timeout 1)
awk -v w="$wall" -v x="$worst" 'BEGIN { printf "silent address, --connect-timeout 1: %.2f s to \"no device\" (worst %.2f s)\n", w / 1000, x / 1000 }'
