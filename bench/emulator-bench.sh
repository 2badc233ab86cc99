#!/usr/bin/env bash
# The emulator's own cost: one flasher downloads and verifies a file on 1 line, then on 128 lines
# at once, all served by one emulator process paced as lines at 115200 baud; prints the emulator's
# CPU seconds per line-second (its CPU time over the wall time of the download and the lines).
# Prints figures and asserts nothing.
# Usage: bench/emulator-bench.sh BUILD_DIR [--lines N] [--repeat R] [--counts "1 128"]
#                                 [--emulator PATH] [--per-process]
#   --lines N       HEX lines in the file (default 400)
#   --repeat R      runs of each measurement; the lowest cost is shown (default 1)
#   --counts LIST   the line counts measured (default "1 128")
#   --emulator P    another emulator program, to compare
#   --per-process   one emulator process per line, as an emulator without --lines needs
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR [options]}
shift
lines=400
repeat=1
counts="1 128"
per_process=0
emulator="$build/tools/bootdev-sim/bootdev-sim"
while [ $# -gt 0 ]; do
    case $1 in
    --lines) lines=$2; shift 2 ;;
    --repeat) repeat=$2; shift 2 ;;
    --counts) counts=$2; shift 2 ;;
    --emulator) emulator=$2; shift 2 ;;
    --per-process) per_process=1; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done

flasher="$build/src/app/bootflash"
source "$(dirname "$0")/lib.sh"
need_built "$flasher" "$emulator"
python3 "$(dirname "$0")/make-bench-hex.py" "$work/bench.hex" "$lines" > /dev/null
# The emulator paces the replies; the flasher judges their timing against that line.
export BOOTDEVICE_PTY_WIRE=1

# CPU nanoseconds the emulators have run so far, from the scheduler's own count.
emulator_cpu_ns() {
    local pid total=0 ns
    for pid in "${emulator_pids[@]}"; do
        read -r ns _ < "/proc/$pid/schedstat"
        total=$((total + ns))
    done
    echo "$total"
}

# Starts the emulators for N lines; sets $ports to the comma list of their links.
start_lines() {
    local n=$1 i
    stop_emulators
    ports=""
    if [ "$per_process" = 1 ]; then
        for i in $(seq "$n"); do
            launch_emulator --address 1 --line-rate 115200 --link "$work/line.$i"
            ports+="${ports:+,}$work/line.$i"
        done
    else
        launch_emulator --lines "$n" --address 1 --line-rate 115200 --link "$work/line"
        if [ "$n" = 1 ]; then ports="$work/line"; else
            for i in $(seq "$n"); do ports+="${ports:+,}$work/line.$i"; done
        fi
    fi
}

echo "$lines HEX lines, download and verify at 115200 baud, best of $repeat; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%6s %10s %14s %22s\n' lines "wall ms" "emulator CPU" "CPU s per line-second"
for n in $counts; do
    best=""
    best_failed=1
    for _ in $(seq "$repeat"); do
        start_lines "$n"
        before=$(emulator_cpu_ns)
        start=$(date +%s%N)
        failed=0
        "$flasher" download "$work/bench.hex" --port "$ports" --address 1 -q > /dev/null 2>&1 || failed=1
        wall=$(( ($(date +%s%N) - start) / 1000000 ))
        cpu=$(( ($(emulator_cpu_ns) - before) / 1000000 ))
        per=$(awk -v c="$cpu" -v w="$wall" -v n="$n" 'BEGIN { printf "%.5f", c / (w * n) }')
        [ "$failed" = 0 ] || echo "the flasher failed on $n lines" >&2
        # A failed run counts only when none succeeded: it did less work in its time.
        if [ -z "$best" ] || [ "$failed" -lt "$best_failed" ] ||
            { [ "$failed" = "$best_failed" ] && awk -v a="$per" -v b="$best" 'BEGIN { exit !(a < b) }'; }; then
            best=$per best_wall=$wall best_cpu=$cpu best_failed=$failed
        fi
    done
    printf '%6d %10d %11d ms %22s\n' "$n" "$best_wall" "$best_cpu" "$best"
done
