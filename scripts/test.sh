#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: a bounded
# fuzzing run of the subtitle reader, the unit and end-to-end tests and the
# format check under ctest, then the same tests again in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
scripts/fuzz.sh 60
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j 2
scripts/sanitize.sh
