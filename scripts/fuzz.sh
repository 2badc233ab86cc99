#!/usr/bin/env bash
# Builds the libFuzzer harnesses of tests/fuzz with clang and runs one, or all, for a given time on
# a scratch copy of its seed corpus (the corpus in the tree is left as it is). Exits non-zero on
# any finding; the input that caused it is kept in build-fuzz/findings/.
#   bash scripts/fuzz.sh NAME [SECONDS]     # NAME: a folder of tests/fuzz/corpus, or "all"
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
name=${1:?usage: fuzz.sh NAME|all [SECONDS]}
seconds=${2:-60}
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
corpora=$root/tests/fuzz/corpus
bash "$root/scripts/deps.sh"

clang=""
for candidate in clang++ clang++-14; do
    command -v "$candidate" >/dev/null && clang=$(command -v "$candidate") && break
done
[ -n "$clang" ] || { echo "fuzz.sh: clang++ is needed (scripts/deps.sh installs it)" >&2; exit 1; }

if [ "$name" = all ]; then
    names=$(ls "$corpora")
else
    [ -d "$corpora/$name" ] || { echo "fuzz.sh: no harness '$name'; there are: $(ls "$corpora" | tr '\n' ' ')" >&2; exit 2; }
    names=$name
fi

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER="$clang" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBOOT_FUZZ=ON -DBOOT_WITH_QT=ON -DBOOT_BUILD_TESTS=OFF >/dev/null
targets=()
for n in $names; do targets+=("fuzz_$n"); done
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null

mkdir -p "$build/findings"
for n in $names; do
    work=$(mktemp -d)
    log=$(mktemp)
    cp "$corpora/$n"/* "$work"/
    echo "== fuzz_$n for ${seconds} s"
    set +e
    "$build/tests/fuzz/fuzz_$n" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/findings/$n-" "$work" >"$log" 2>&1
    status=$?
    set -e
    grep -E '^(Done|stat::number_of_executed_units)' "$log" || true
    rm -rf "$work"
    if [ "$status" -ne 0 ]; then
        tail -n 40 "$log" >&2
        rm -f "$log"
        echo "fuzz_$n found a failure (exit $status); the input is in $build/findings/" >&2
        exit 1
    fi
    rm -f "$log"
done
