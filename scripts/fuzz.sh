#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, address and undefined-behaviour sanitizers) and runs each
# picture reader's fuzzer for the given number of seconds, seeded from the committed corpora.
# A crash, leak or sanitizer finding fails the run; the input that caused it is kept in
# build-fuzz/findings/. Usage: fuzz.sh [seconds per target, default 600] [build folder]
set -euo pipefail
seconds="${1:-600}"
cd "$(dirname "$0")/.."
build="${2:-build-fuzz}"
# A folder already set up for fuzzing (the sanitized test build is one) is built as it is.
if ! grep -qs '^LUMORA_FUZZ:BOOL=ON' "$build/CMakeCache.txt"; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMORA_FUZZ=ON \
        -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
targets=(fuzz_bmp fuzz_gif fuzz_jpeg fuzz_wmf)
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

# Seeds: each reader's own small files (fuzz/seeds, made to reach what the others miss), the
# test data of its format and the conformance set of real files.
seeds_for() {
    echo "fuzz/seeds/${1#fuzz_}" tests/data/conformance
    case "$1" in
    fuzz_bmp) echo tests/data/bmpsuite tests/data/fuzz-regressions ;;
    fuzz_gif | fuzz_jpeg) echo tests/data/pictures tests/data/fuzz-regressions ;;
    fuzz_wmf) echo tests/data/wmf ;;
    esac
}

mkdir -p "$build/findings"
# Leaks of the libraries we draw text with are not ours (see the file for each reason).
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
# One fuzzer a core: each is a single process, so running them one after another would leave
# the other cores idle for the whole run.
fuzz_one() {
    local target="$1" corpus="$build/corpus/$1" seeds=() dir
    mkdir -p "$corpus"
    for dir in $(seeds_for "$target"); do
        [[ -d "$dir" ]] && seeds+=("$dir")
    done
    "$build/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=10 \
        -artifact_prefix="$build/findings/$target-" -print_final_stats=1 \
        "$corpus" "${seeds[@]}" >"$build/$target.log" 2>&1
}
report() {
    local target="$1" outcome="$2"
    echo "== $target for ${seconds}s"
    if ((outcome != 0)); then
        echo "$target FOUND A PROBLEM:"
        tail -n 60 "$build/$target.log"
        return 1
    fi
    grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$build/$target.log" || true
}
declare -A running=()
status=0
finish_one() {
    local pid outcome=0 target
    wait -n -p pid "${!running[@]}" || outcome=$?
    target="${running[$pid]}"
    unset "running[$pid]"
    report "$target" "$outcome" || status=1
}
for target in "${targets[@]}"; do
    while ((${#running[@]} >= $(nproc))); do
        finish_one
    done
    fuzz_one "$target" &
    running[$!]="$target"
done
while ((${#running[@]})); do
    finish_one
done
exit $status
