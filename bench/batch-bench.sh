#!/usr/bin/env bash
# Times one download and verify on one port alone, then on three ports at once, each port an
# emulator paced as a line at 115200 baud with one board; prints the ratio of the two wall times
# and the host CPU the flasher spent per port during the transfer (user + system over wall time,
# after taking off what a start, a connection and an exit alone cost: a "version" run).
# Prints figures and asserts nothing.
# Usage: bench/batch-bench.sh BUILD_DIR [--lines N] [--repeat R]
#   --lines N   HEX lines in the file (default 400)
#   --repeat R  runs of each measurement; the best is shown (default 1)
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR [--lines N] [--repeat R]}
shift
lines=400
repeat=1
while [ $# -gt 0 ]; do
    case $1 in
    --lines) lines=$2; shift 2 ;;
    --repeat) repeat=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done

flasher="$build/src/app/bootflash"
emulator="$build/tools/bootdev-sim/bootdev-sim"
source "$(dirname "$0")/lib.sh"
need_built "$flasher" "$emulator"

python3 "$(dirname "$0")/make-bench-hex.py" "$work/bench.hex" "$lines" > /dev/null

ports=()
for _ in 1 2 3; do
    launch_emulator --address 1 --line-rate 115200 --flash-start 0x08000000 --flash-size 256K
    ports+=("$port")
done

# Prints the best wall time in ms and the CPU ms of that run of the flasher with "$@".
best_of() {
    local best="" best_cpu="" timing real user sys
    for _ in $(seq "$repeat"); do
        timing=$({ TIMEFORMAT='%R %U %S'; time "$flasher" "$@" -q > /dev/null 2>&1; } 2>&1)
        read -r real user sys <<< "$timing"
        local wall cpu
        wall=$(awk -v r="$real" 'BEGIN { printf "%d", r * 1000 }')
        cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%d", (u + s) * 1000 }')
        if [ -z "$best" ] || [ "$wall" -lt "$best" ]; then best=$wall; best_cpu=$cpu; fi
    done
    echo "$best $best_cpu"
}

echo "$lines HEX lines, download and verify at 115200 baud, best of $repeat; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
read -r w0 c0 < <(best_of version --port "${ports[0]}" --address 1)
read -r alone alone_cpu < <(best_of download "$work/bench.hex" --port "${ports[0]}" --address 1)
read -r three three_cpu < <(best_of download "$work/bench.hex" --port "${ports[0]}" --port "${ports[1]}" \
    --port "${ports[2]}" --address 1)
awk -v a="$alone" -v ac="$alone_cpu" -v t="$three" -v tc="$three_cpu" -v w0="$w0" -v c0="$c0" 'BEGIN {
    printf "start, connection and exit alone (version) %6d ms, CPU %d ms\n", w0, c0
    printf "one port alone      %6d ms   CPU %5.2f %% of a core\n", a, (ac - c0) / (a - w0) * 100
    printf "three ports at once %6d ms   CPU %5.2f %% of a core per port\n", t, (tc - c0) / (t - w0) * 100 / 3
    printf "ratio three/one     %6.3f\n", t / a
}'
