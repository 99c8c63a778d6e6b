#!/usr/bin/env bash
# Builds every target, the fuzzers included, with clang under the address and
# undefined-behaviour sanitizers, in a folder of its own (default build-asan). Optimised
# lightly and without debug information: the sanitizers need no more, and the build stays
# short. Usage: sanitized-build.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-asan}"
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE=-O1 -DLUMORA_SANITIZE=ON -DLUMORA_FUZZ=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
