#!/usr/bin/env bash
# Builds the Debian packages twice from clean clones of one commit (HEAD, or the one given) and
# checks that the two builds give the same bytes: folders of different names and lengths, another
# time zone, locale and umask, no compiler cache. Each build is also checked as scripts/package.sh
# checks it (no file names the folder it was built in). Two full builds: about 8 minutes on 2 cores.
# Usage: scripts/check-reproducible.sh [COMMIT]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
commit="$(git -C "$root" rev-parse --verify "${1:-HEAD}^{commit}")"
bash "$root/scripts/deps.sh"
work="$(mktemp -d "${TMPDIR:-/tmp}/bootdevice-reproducible.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# Usage: build_once NAME TZ LC_ALL UMASK
build_once() {
    local dir="$work/$1"
    git clone -q --no-checkout "$root" "$dir/bootdevice"
    git -C "$dir/bootdevice" checkout -q "$commit"
    echo "building $commit in $dir/bootdevice" >&2
    if ! (cd "$dir/bootdevice" && umask "$4" &&
        env -u CMAKE_CXX_COMPILER_LAUNCHER TZ="$2" LC_ALL="$3" \
            dpkg-buildpackage -us -uc -b -J"${JOBS:-$(nproc)}") >"$dir/build.log" 2>&1; then
        tail -n 40 "$dir/build.log" >&2
        echo "dpkg-buildpackage failed: see above" >&2
        exit 1
    fi
    bash "$root/tests/scripts/package-checks.sh" "$dir" "$dir/bootdevice" >&2
}
build_once a UTC C.UTF-8 0022
build_once second-build Pacific/Auckland C 0002

differ=0
for first in "$work"/a/*.deb; do
    second="$work/second-build/$(basename "$first")"
    if [ ! -f "$second" ]; then
        echo "only the first build made $(basename "$first")" >&2
        differ=1
    elif ! cmp -s "$first" "$second"; then
        echo "$(basename "$first") differs between the two builds" >&2
        if command -v diffoscope >/dev/null; then
            diffoscope "$first" "$second" >&2 || true
        else
            # Which files differ; the control files' listing too.
            mkdir -p "$work/diff/1" "$work/diff/2"
            dpkg-deb -R "$first" "$work/diff/1/${first##*/}"
            dpkg-deb -R "$second" "$work/diff/2/${first##*/}"
            diff -rq "$work/diff/1/${first##*/}" "$work/diff/2/${first##*/}" >&2 || true
            diff <(dpkg-deb -c "$first") <(dpkg-deb -c "$second") >&2 || true
        fi
        differ=1
    fi
done
[ "$differ" -eq 0 ] || exit 1
echo "reproducible: $(cd "$work/a" && ls ./*.deb | wc -l) packages of $commit are byte for byte the same in both builds"
