#!/usr/bin/env bash
# Times a download and verify through the command-line flasher (1 ms poll) against the emulator
# paced as a 115200 baud line: on its pseudo-terminal directly, then through ser2net on the
# loopback address as a raw TCP stream and as Telnet with COM port control. Prints the figures.
# Usage: bench/network-bench.sh BUILD_DIR [RECORDS]   (builds nothing; build first)
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR [RECORDS]}
records=${2:-2000}
root=$(cd "$(dirname "$0")/.." && pwd)
flasher="$build/src/app/bootflash"
emulator="$build/tools/bootdev-sim/bootdev-sim"
source "$root/bench/lib.sh"
need_built "$flasher" "$emulator"
command -v ser2net >/dev/null || { echo "ser2net is missing: bash scripts/deps.sh" >&2; exit 1; }

server_pid=""
stop_server() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
        server_pid=""
    fi
}
on_exit() { stop_server; }

python3 "$root/scripts/make-sample-hex.py" --out "$work/bench.hex" --records "$records" >/dev/null
lines=$(wc -l < "$work/bench.hex")

launch_emulator --line-rate 115200 --address 1 --flash-size 256K
pty=$port

# Starts ser2net with one connection to the pseudo-terminal; sets the address to use.
start_server() { # accepter scheme
    local port
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    printf 'connection: &line\n  accepter: %s,127.0.0.1,%s\n  connector: serialdev,%s,115200n81,local\n' \
        "$1" "$port" "$pty" > "$work/ser2net.yaml"
    ser2net -n -u -P "$work/ser2net.pid" -c "$work/ser2net.yaml" >/dev/null 2>&1 &
    server_pid=$!
    local hexport
    hexport=$(printf '%04X' "$port")
    for _ in $(seq 100); do grep -q "0100007F:$hexport 00000000:0000 0A" /proc/net/tcp && break; sleep 0.1; done
    address="$2://127.0.0.1:$port"
}

# One download and verify; prints the milliseconds per record.
run() {
    local TIMEFORMAT='%R' real
    real=$({ time "$flasher" download "$work/bench.hex" -p "$1" -a 1 --poll-ms 1 -q --json \
        > "$work/result.json" 2>/dev/null; } 2>&1) ||
        { echo "bootflash failed on $1: $(cat "$work/result.json")" >&2; exit 1; }
    awk -v r="$real" -v n="$((2 * lines))" 'BEGIN { printf "%.2f", r * 1000 / n }'
}

direct=$(run "$pty")
start_server tcp tcp
raw=$(run "$address")
stop_server
start_server "telnet(rfc2217),tcp" rfc2217
telnet=$(run "$address")
stop_server

printf 'download and verify of %d lines (%d records), emulator paced at 115200 baud, poll 1 ms\n\n' \
    "$lines" "$((2 * lines))"
printf '%-34s %10s\n' "" "ms/record"
printf '%-34s %10s\n' "pseudo-terminal" "$direct" "ser2net, tcp://" "$raw" "ser2net, rfc2217://" "$telnet"
