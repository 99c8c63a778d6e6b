#!/usr/bin/env bash
# Runs every test: a short run of each picture reader's fuzzer, then the unit and handler tests
# under the offscreen platform and the tests of the real program and its neighbours, each of
# which starts what it needs (Xvfb, D-Bus, CUPS); then the whole suite again, built by clang
# under the address and undefined-behaviour sanitizers. The sanitized build also holds the
# fuzzers, so they cost no build of their own. Usage: run-tests.sh [build] [sanitized build]
set -euo pipefail
build="${1:-build}"
sanitized="${2:-build-asan}"
cd "$(dirname "$0")/.."
export QT_QPA_FONTDIR=/usr/share/fonts/truetype/dejavu
./scripts/sanitized-build.sh "$sanitized"
status=0
./scripts/fuzz.sh "${FUZZ_SECONDS:-20}" "$sanitized" || status=1
# A test of the real program that fails once is run again: a loaded X server can lose a race
# that a user never sees; one that fails twice fails the run.
ctest --test-dir "$build" --output-on-failure -j2 --timeout 600 --repeat until-pass:2 || status=1
./scripts/sanitized-tests.sh "$sanitized" || status=1
exit $status
