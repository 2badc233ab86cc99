#!/usr/bin/env bash
# Times one download and verify from one flasher on 1, 8, 32, 64 and 128 ports at once, each port a
# line of one emulator process paced at 115200 baud with one board; prints each wall time as a
# ratio to one port, the flasher's CPU per port (user + system over wall time, after taking off
# what a start, a connection and an exit alone cost: a "version" run) and the emulator's CPU per
# line. Prints figures and asserts nothing.
# Usage: bench/batch-bench.sh BUILD_DIR [--lines N] [--repeat R] [--ports "1 8 32 64 128"]
#   --lines N   HEX lines in the file (default 400)
#   --repeat R  runs of each measurement; the fastest is shown (default 1)
#   --ports L   the port counts measured
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR [--lines N] [--repeat R] [--ports LIST]}
shift
lines=400
repeat=1
counts="1 8 32 64 128"
while [ $# -gt 0 ]; do
    case $1 in
    --lines) lines=$2; shift 2 ;;
    --repeat) repeat=$2; shift 2 ;;
    --ports) counts=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done

flasher="$build/src/app/bootflash"
emulator="$build/tools/bootdev-sim/bootdev-sim"
source "$(dirname "$0")/lib.sh"
need_built "$flasher" "$emulator"
python3 "$(dirname "$0")/make-bench-hex.py" "$work/bench.hex" "$lines" > /dev/null
# The emulator paces the replies; the flasher judges their timing against that line.
export BOOTDEVICE_PTY_WIRE=1

most=0
for n in $counts; do [ "$n" -gt "$most" ] && most=$n; done
launch_emulator --lines "$most" --address 1 --line-rate 115200 --flash-size 256K --link "$work/line"
emulator_pid=${emulator_pids[0]}
link() { if [ "$most" = 1 ]; then echo "$work/line"; else echo "$work/line.$1"; fi; }

# Prints the fastest wall time in ms, the flasher's CPU ms and the emulator's CPU ms of that run
# of the flasher with "$@". A failed run is said on standard error and counts only when no run
# succeeded: it did less work in its time.
best_of() {
    local best="" best_failed=1 timing real user sys ns before wall cpu sim status
    for _ in $(seq "$repeat"); do
        read -r before _ < "/proc/$emulator_pid/schedstat"
        timing=$({
            TIMEFORMAT='%R %U %S'
            time {
                status=0
                "$flasher" "$@" -q > /dev/null 2>&1 || status=$?
                echo "$status" > "$work/status"
            }
        } 2>&1)
        read -r ns _ < "/proc/$emulator_pid/schedstat"
        read -r real user sys <<< "$timing"
        read -r status < "$work/status"
        wall=$(awk -v r="$real" 'BEGIN { printf "%d", r * 1000 }')
        cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%d", (u + s) * 1000 }')
        sim=$(( (ns - before) / 1000000 ))
        failed=$(( status != 0 ))
        [ "$failed" = 0 ] || echo "the flasher failed (exit $status): $1 on ${#ports_of_run[@]} ports" >&2
        if [ -z "$best" ] || [ "$failed" -lt "$best_failed" ] ||
            { [ "$failed" = "$best_failed" ] && [ "$wall" -lt "$best" ]; }; then
            best=$wall best_cpu=$cpu best_sim=$sim best_failed=$failed
        fi
    done
    echo "$best $best_cpu $best_sim"
}

echo "$lines HEX lines, download and verify at 115200 baud, best of $repeat; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
ports_of_run=(1)
read -r w0 c0 _ < <(best_of version --port "$(link 1)" --address 1)
echo "start, connection and exit alone (version): $w0 ms, CPU $c0 ms"
printf '%6s %9s %7s %22s %24s\n' ports "wall ms" ratio "flasher CPU per port" "emulator CPU per line"
alone=""
for n in $counts; do
    ports=$(link 1)
    for i in $(seq 2 "$n"); do ports+=",$(link "$i")"; done
    ports_of_run=($(seq "$n"))
    read -r wall cpu sim < <(best_of download "$work/bench.hex" --port "$ports" --address 1)
    [ -n "$alone" ] || alone=$wall
    awk -v n="$n" -v w="$wall" -v a="$alone" -v c="$cpu" -v c0="$c0" -v w0="$w0" -v s="$sim" 'BEGIN {
        printf "%6d %9d %7.3f %20.2f %% %22.2f %%\n", n, w, w / a, (c - c0) / (w - w0) * 100 / n, s / w * 100 / n
    }'
done
