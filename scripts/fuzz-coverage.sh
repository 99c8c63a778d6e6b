#!/usr/bin/env bash
# Measures which lines of the picture readers the fuzz corpora reach: builds the fuzz targets
# with clang's source-based coverage (no sanitizers), runs every target once over each file of
# its corpus, and prints the line coverage of each file of picture/.
#
# Corpora: the committed seeds (fuzz/seeds/<format>), the test data each target is seeded from
# in scripts/fuzz.sh, the conformance set, and what fuzz runs grew in build-fuzz/corpus/ when
# that folder exists. Extra folders may be given after the build folder.
#
# Usage: fuzz-coverage.sh [build folder, default build-fuzz-coverage] [extra corpus folder...]
# With LUMORA_COVERAGE_TARGETS="fuzz_wmf" only the named targets run; with
# LUMORA_COVERAGE_ONLY_EXTRA=1 only the extra folders are read (to compare two grown corpora).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-fuzz-coverage}"
shift || true
extra=("$@")
read -r -a targets <<<"${LUMORA_COVERAGE_TARGETS:-fuzz_bmp fuzz_gif fuzz_jpeg fuzz_wmf}"

if ! grep -qs '^LUMORA_FUZZ_COVERAGE:BOOL=ON' "$build/CMakeCache.txt"; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMORA_FUZZ=ON \
        -DLUMORA_FUZZ_COVERAGE=ON -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$build" -j"${JOBS:-2}" --target "${targets[@]}" >/dev/null

corpus_for() {
    if [[ "${LUMORA_COVERAGE_ONLY_EXTRA:-0}" == 1 ]]; then
        return
    fi
    local format="${1#fuzz_}"
    echo "fuzz/seeds/$format" tests/data/fuzz-regressions tests/data/conformance \
        "build-fuzz/corpus/$1"
    case "$1" in
    fuzz_bmp) echo tests/data/bmpsuite ;;
    fuzz_gif | fuzz_jpeg) echo tests/data/pictures ;;
    fuzz_wmf) echo tests/data/wmf ;;
    esac
}

profiles="$build/profiles"
rm -rf "$profiles"
mkdir -p "$profiles"
objects=()
for target in "${targets[@]}"; do
    folders=()
    for dir in $(corpus_for "$target") "${extra[@]}"; do
        [[ -d "$dir" ]] && folders+=("$dir")
    done
    count=$(find "${folders[@]}" -type f | wc -l)
    echo "== $target: $count inputs from ${folders[*]}"
    # Each file is run once, as libFuzzer runs a crash reproducer; a crash ends the batch.
    find "${folders[@]}" -type f -print0 |
        LLVM_PROFILE_FILE="$PWD/$profiles/$target-%p.profraw" QT_QPA_PLATFORM=offscreen \
            xargs -0 -n 200 "$build/fuzz/$target" -timeout=30 -rss_limit_mb=4096 \
            >"$build/$target-coverage.log" 2>&1 ||
        { echo "$target stopped on an input: see $build/$target-coverage.log"; exit 1; }
    objects+=(-object "$build/fuzz/$target")
done

llvm-profdata-14 merge -sparse "$profiles"/*.profraw -o "$build/fuzz.profdata"
# Columns of the report: file, regions (3), functions (3), lines (3), branches (3).
llvm-cov-14 report "${objects[@]:1}" -instr-profile="$build/fuzz.profdata" \
    -ignore-filename-regex='(fuzz|base)/' "$PWD/picture" |
    awk 'BEGIN { print "file lines missed cover" } NR > 2 && NF >= 13 { print $1, $8, $9, $10 }' |
    column -t
echo "Uncovered lines: llvm-cov-14 show ${objects[*]:1} -instr-profile=$build/fuzz.profdata" \
    "-show-line-counts-or-regions FILE"
