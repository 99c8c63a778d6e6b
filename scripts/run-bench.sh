#!/usr/bin/env bash
# Runs every benchmark, each timed next to its reference in the same run, and prints one table
# of their figures under a line naming the machine and its load. What each benchmark prints
# besides its rows goes to a log, shown with -v (and always when the benchmark fails).
# Usage: run-bench.sh [-v] [build folder]
set -euo pipefail
verbose=0
if [[ "${1:-}" == -v ]]; then
    verbose=1
    shift
fi
build="$(realpath "${1:-build}")"
cd "$(dirname "$0")/.."
./scripts/setup.sh --each scripts/bench-packages.txt
# The benchmark programs are not part of an ordinary build.
cmake --build "$build" -j"$(nproc)" --target lumora_benchmarks

load() { cut -d' ' -f1-3 /proc/loadavg; }
machine="Machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo),"
machine+=" $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n1), $(uname -sr);"
machine+=" load average $(load) at the start"

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
export LUMORA_BENCH_ROWS="$logs/rows.tsv"
export QT_QPA_PLATFORM=offscreen
: >"$LUMORA_BENCH_ROWS"
failed=0

# A benchmark ends with 0 when it met its targets, 2 when it missed one, else it failed.
run_one() {
    local name="$1"
    shift
    echo -n "running $name... " >&2
    local status=0 started=$SECONDS
    "$@" >"$logs/$name.log" 2>&1 || status=$?
    echo "$((SECONDS - started)) s" >&2
    if ((verbose || (status != 0 && status != 2))); then
        echo "== $name" && cat "$logs/$name.log" && echo
    fi
    if ((status != 0 && status != 2)); then
        echo "$name failed (exit status $status)" >&2
        failed=1
    fi
}

for bench in "$build"/bench/bench_*; do
    [[ -f "$bench" && -x "$bench" ]] || continue
    run_one "$(basename "$bench")" "$bench"
done
# Start-up is timed on a private X server with a window manager, as a user's desktop has one.
run_one bench_startup env LUMORA_XVFB_WM=1 scripts/with-xvfb.sh \
    bench/bench_startup.py "$build/app/lumora" "$build/bench/startup_reference" 11
# What the user waits for, end to end in fresh programs, next to the viewers Debian ships.
run_one bench_switch env LUMORA_XVFB_WM=1 scripts/with-xvfb.sh \
    bench/bench_switch.py "$build/app/lumora" 7
run_one bench_steps env LUMORA_XVFB_WM=1 scripts/with-xvfb.sh \
    bench/bench_steps.py "$build/app/lumora" 7
# A 512-megapixel JPEG end to end, ours and the peers', one such program at a time; the picture
# is made once and kept in the build folder.
run_one bench_giant_screen env LUMORA_XVFB_WM=1 scripts/with-xvfb.sh \
    bench/bench_giant_screen.py "$build/app/lumora" "$build/bench" 3

echo "$machine"
echo "Load average at the end: $(load)"
echo
# Rows of one command (File Open, Show, Zoom...) stand together, in-process before end to end.
{
    printf 'figure\tours\treference\tref. value\tratio\ttarget\tresult\n'
    LC_ALL=C sort -s -k1,1 "$LUMORA_BENCH_ROWS"
} | column -t -s $'\t'
exit "$failed"
