#!/usr/bin/env bash
# Builds the subtitle file fuzzer with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs it for a bounded time
# (60 seconds unless given). Any finding fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DTOLVANE_FUZZ=ON -DTOLVANE_BUILD_TESTS=OFF -DTOLVANE_BENCH=OFF >/dev/null
cmake --build build-fuzz --target subtitle_fuzzer

corpus=build-fuzz/subtitle-corpus
mkdir -p "$corpus"
# A few seeds; the first byte picks frame rate and delay.
printf '\x00{1}{50}Hello|<i>World</i>\n{60}{70}{y:i}x\n' >"$corpus/seed-microdvd"
printf '\x41\n\n1\r\n00:00:01,000 --> 00:00:02,500\r\n<font color="#00ff00">Hi</font>\r\n\r\n2\r\n0:0:3,0 --> 0:0:4,0\rA\n' >"$corpus/seed-subrip"
printf '\x10[Script Info]\nPlayResY: 100\n[V4+ Styles]\nFormat: Name, Fontsize\nStyle: A,20\n[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\nDialogue: 0,0:00:01.00,0:00:02.00,A,,0,0,0,,{\\fs90\\pos(1,2)}<i>x</i>{\\p1}m 0 0 l 9 9{\\p0}\n\x10' >"$corpus/seed-ass"
printf '\x00WEBVTT\n\n00:01.000 --> 00:02.000 line:0 align:start\n<v A><i>Hi</i> &amp; \xe4\xb8\xad\xe6\x96\x87\n\x10' >"$corpus/seed-webvtt"
seeds=()
[ -d ../shared/fixtures/subtitles ] && seeds+=(../shared/fixtures/subtitles)
[ -d ../shared/fixtures/subtitles-styled ] && seeds+=(../shared/fixtures/subtitles-styled)

mkdir -p build-fuzz/tmp
TOLVANE_FUZZ_DIR=build-fuzz/tmp build-fuzz/fuzz/subtitle_fuzzer -max_total_time="$seconds" -max_len=8192 -timeout=10 \
  -rss_limit_mb=2048 -artifact_prefix=build-fuzz/ -print_final_stats=1 \
  "$corpus" "${seeds[@]}"
