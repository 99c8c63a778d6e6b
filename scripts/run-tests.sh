#!/usr/bin/env bash
# Runs every test: the unit and handler tests under the offscreen platform and the tests of the
# real program and its neighbours, each of which starts what it needs (Xvfb, D-Bus, CUPS), while
# clang builds the sanitized suite beside them; then a short run of each picture reader's fuzzer
# and the whole suite again under the address and undefined-behaviour sanitizers. The sanitized
# build also holds the fuzzers, so they cost no build of their own.
# Usage: run-tests.sh [build] [sanitized build]
set -euo pipefail
build="${1:-build}"
sanitized="${2:-build-asan}"
cd "$(dirname "$0")/.."
export QT_QPA_FONTDIR=/usr/share/fonts/truetype/dejavu
# The sanitized build goes on beside the first test run, at the lowest priority: most tests wait
# on an X server, a printer or a timer, and the build takes only the time they leave idle.
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
nice -n 19 ./scripts/sanitized-build.sh "$sanitized" >"$log" 2>&1 &
builder=$!
status=0
# A test of the real program that fails once is run again: a loaded X server can lose a race
# that a user never sees; one that fails twice fails the run.
ctest --test-dir "$build" --output-on-failure -j2 --timeout 600 --repeat until-pass:2 || status=1
if ! wait "$builder"; then
    cat "$log"
    echo "The sanitized build failed" >&2
    exit 1
fi
./scripts/fuzz.sh "${FUZZ_SECONDS:-20}" "$sanitized" || status=1
./scripts/sanitized-tests.sh "$sanitized" || status=1
exit $status
