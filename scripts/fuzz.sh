#!/usr/bin/env bash
# Builds every fuzz target with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each for a bounded
# time. Any finding fails the script and names the input that caused it.
#
#   scripts/fuzz.sh [SECONDS]           all targets, SECONDS (60) shared among
#                                       them, at least 5 each
#   scripts/fuzz.sh SECONDS TARGET...   the named targets, SECONDS each
#
# Each target keeps its corpus in build-fuzz/corpus/<target>, started from
# fuzz/seeds/<target> (and, for the targets that read subtitle text, the
# shared subtitle fixtures); what it finds goes to build-fuzz/artifacts/<target>/.
# A finding worth keeping is copied to fuzz/findings/<target>/, where the
# replay test runs it in every build.
set -euo pipefail
cd "$(dirname "$0")/.."

all=(subtitle subrip microdvd ass webvtt markup limits queue settings mp4_boxes pictures nal_units forced_sets)
seconds="${1:-60}"
shift || true
if [ $# -gt 0 ]; then
  targets=("$@")
  each="$seconds"
else
  targets=("${all[@]}")
  each=$((seconds / ${#targets[@]}))
  [ "$each" -ge 5 ] || each=5
fi
for target in "${targets[@]}"; do
  [[ " ${all[*]} " == *" $target "* ]] || {
    echo "fuzz: no target '$target' (targets: ${all[*]})" >&2
    exit 2
  }
done

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DTOLVANE_FUZZ=ON -DTOLVANE_BUILD_TESTS=OFF -DTOLVANE_BENCH=OFF >/dev/null
cmake --build build-fuzz --target "${targets[@]/%/_fuzzer}"

# The dictionaries of the words each target's formats are made of.
dictionaries() {
  case "$1" in
    subtitle) echo "markup overrides webvtt" ;;
    subrip | microdvd | markup) echo "markup" ;;
    ass | limits) echo "overrides" ;;
    webvtt) echo "webvtt markup" ;;
    *) echo "$1" ;;
  esac
}

reads_subtitles() { [[ "$1" =~ ^(subtitle|subrip|microdvd|ass|webvtt|markup|limits)$ ]]; }

fixtures=()
for folder in ../shared/fixtures/subtitles ../shared/fixtures/subtitles-styled; do
  [ -d "$folder" ] && fixtures+=("$folder")
done

export QT_QPA_PLATFORM=offscreen
mkdir -p build-fuzz/tmp build-fuzz/dictionaries
export TOLVANE_FUZZ_DIR=build-fuzz/tmp
failed=()
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  artifacts=build-fuzz/artifacts/$target
  mkdir -p "$corpus" "$artifacts"
  cp fuzz/seeds/"$target"/* "$corpus"/
  dictionary=build-fuzz/dictionaries/$target.dict
  : >"$dictionary"
  for words in $(dictionaries "$target"); do
    [ -f "fuzz/dictionaries/$words.dict" ] && cat "fuzz/dictionaries/$words.dict" >>"$dictionary"
  done
  # libFuzzer refuses an empty dictionary; a target with no words runs without.
  dictionary_option=()
  [ -s "$dictionary" ] && dictionary_option=(-dict="$dictionary")
  seeds=()
  reads_subtitles "$target" && seeds=("${fixtures[@]}")
  before=$(find "$artifacts" -type f | wc -l)
  echo "fuzz: $target for $each s"
  status=0
  build-fuzz/fuzz/"$target"_fuzzer -max_total_time="$each" -max_len=8192 -timeout=10 \
    -rss_limit_mb=2048 "${dictionary_option[@]}" -artifact_prefix="$artifacts/" -print_final_stats=1 \
    "$corpus" "${seeds[@]}" 2>"build-fuzz/$target.log" || status=$?
  grep -E '^(stat::number_of_executed_units|stat::new_units_added)' "build-fuzz/$target.log" |
    sed "s/^/fuzz: $target: /" || true
  if [ "$status" -ne 0 ] || [ "$(find "$artifacts" -type f | wc -l)" -ne "$before" ]; then
    grep -E 'ERROR: |runtime error|fuzz check failed|Assertion|what\(\)|Test unit written to' "build-fuzz/$target.log" |
      head -5 | sed "s/^/fuzz: $target: /" >&2 || true
    echo "fuzz: $target found a fault (log: build-fuzz/$target.log)" >&2
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in: ${failed[*]}" >&2
  exit 1
fi
