# Sourced by the benchmark scripts: the check that their programs are built, a work folder
# removed on exit, and the device emulators they start, stopped on exit.

# Exits unless each program given is built.
need_built() {
    local program
    for program in "$@"; do
        [ -x "$program" ] || { echo "missing $program: build it first" >&2; exit 1; }
    done
}

work=$(mktemp -d)
emulator_pids=()

# Stops every emulator started so far.
stop_emulators() {
    local pid
    for pid in "${emulator_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    emulator_pids=()
}

# Extra clean-up a script adds, run on exit before the emulators stop.
on_exit() { :; }

bench_cleanup() {
    on_exit
    stop_emulators
    rm -rf "$work"
}
trap bench_cleanup EXIT

# Starts $emulator with the given options beside those already running and waits for the terminal
# path it prints; sets $port. Its output stays in $work/emulatorN.out and .err.
launch_emulator() {
    local n=${#emulator_pids[@]}
    "$emulator" "$@" > "$work/emulator$n.out" 2> "$work/emulator$n.err" &
    emulator_pids+=($!)
    port=""
    for _ in $(seq 200); do
        port=$(head -n1 "$work/emulator$n.out" 2>/dev/null || true)
        [ -n "$port" ] && return 0
        sleep 0.05
    done
    echo "the emulator printed no port: $(cat "$work/emulator$n.err")" >&2
    exit 1
}

# The same, once the emulators before it have stopped.
start_emulator() {
    stop_emulators
    launch_emulator "$@"
}
