#!/usr/bin/env bash
# make bench: builds Ticora for release in a directory of its own, installs GNOME Clocks and
# Alarm Clock to compare with, and runs the benchmark on a headless desktop.
#   run.sh           the full run; writes bench/RESULTS.md
#   run.sh --quick   short runs for development; writes $BENCH_BUILD/RESULTS-quick.md
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BENCH_BUILD:-build-bench}
quick=()
out=bench/RESULTS.md
if [[ ${1:-} == --quick ]]; then
    quick=(--quick)
    out=$build/RESULTS-quick.md
fi

scripts/install-deps.sh test
# The peers, and what the X watcher is built with. A peer that cannot be installed is
# reported as such in the results rather than stopping the run.
missing=()
for package in gnome-clocks alarm-clock-applet libx11-dev libxdamage-dev; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ $status == "install ok installed" ]] || missing+=("$package")
done
if [[ ${#missing[@]} -gt 0 ]]; then
    echo "Installing missing Debian packages: ${missing[*]}"
    sudo=()
    [[ $(id -u) -eq 0 ]] || sudo=(sudo)
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends \
        "${missing[@]}" || echo "warning: could not install all of ${missing[*]}" >&2
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build "$build" -j 2
cc -O2 -Wall -Wextra -std=c11 -o "$build/xwatch" bench/xwatch.c -lX11 -lXdamage

TICORA_ARTIFACTS=$build/bench-artifacts python3 bench/bench.py --binary "$build/ticora" --xwatch "$build/xwatch" --out "$out" "${quick[@]}"
