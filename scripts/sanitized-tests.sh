#!/usr/bin/env bash
# Runs the test suite of a sanitized build (see sanitized-build.sh). Every process that our
# code runs in, a test or the program a test starts, writes what a sanitizer finds to a report
# file; any report fails the run, even from a process whose exit status a test does not see.
# Leaks are checked at every exit; tests/lsan.supp names the libraries whose own leaks are not
# ours. Usage: sanitized-tests.sh [build folder] [more ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-asan}"
shift || true
reports="$PWD/$build/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"
export ASAN_OPTIONS="detect_leaks=1:log_path=$reports/asan"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan"
export QT_QPA_FONTDIR=/usr/share/fonts/truetype/dejavu
status=0
ctest --test-dir "$build" --output-on-failure -j2 --timeout 900 --repeat until-pass:2 "$@" ||
    status=$?
if compgen -G "$reports/*" >/dev/null; then
    for report in "$reports"/*; do
        echo "== sanitizer report $report"
        cat "$report"
    done
    status=1
fi
exit $status
