#!/usr/bin/env bash
# Runs every benchmark; each prints its figures next to its reference, timed in the same run.
set -euo pipefail
build="${1:-build}"
cd "$(dirname "$0")/.."
echo "Machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)," \
    "$(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n1), $(uname -sr)"
export QT_QPA_PLATFORM=offscreen
for bench in "$build"/bench/bench_*; do
    [[ -x "$bench" ]] || continue
    echo
    echo "== $(basename "$bench")"
    "$bench"
done
