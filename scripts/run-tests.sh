#!/usr/bin/env bash
# Runs every test: a short run of each picture reader's fuzzer, then the unit and handler tests
# under the offscreen platform and the tests of the real program and its neighbours, each of
# which starts what it needs (Xvfb, D-Bus, CUPS).
set -euo pipefail
build="${1:-build}"
cd "$(dirname "$0")/.."
export QT_QPA_FONTDIR=/usr/share/fonts/truetype/dejavu
./scripts/fuzz.sh "${FUZZ_SECONDS:-20}"
# A test of the real program that fails once is run again: a loaded X server can lose a race
# that a user never sees; one that fails twice fails the run.
ctest --test-dir "$build" --output-on-failure -j2 --timeout 600 --repeat until-pass:2
