#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: the unit
# and end-to-end tests, the format check and a bounded fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j 2
scripts/fuzz.sh 60
