#!/usr/bin/env bash
# Builds everything but the benchmarks with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ and runs the test suite there
# (the large-file test is left to the plain build). Any finding fails a test.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
  -DTOLVANE_SANITIZE=ON -DTOLVANE_BENCH=OFF >/dev/null
cmake --build build-asan
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build-asan --output-on-failure -j 2 -LE large -E format_check
