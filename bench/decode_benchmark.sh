#!/usr/bin/env bash
# Wall time of delivering every picture of a 60-second 1280x720 H.264 clip
# through the decoder front end, against ffmpeg converting the same clip to
# BGR24 and throwing it away. Prints both times and their ratio (goal: 1.2 or
# less).
#
# usage: bench/decode_benchmark.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build="${1:-build}"
runs="${2:-3}"
program="$build/bench/decode_benchmark"
[ -x "$program" ] || { echo "build the decode_benchmark target in $build first" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
clip="${CLIP:-$work/clip.mp4}"  # CLIP=file reuses a clip made before
[ -f "$clip" ] || ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=1280x720:rate=25:duration=60 \
  -f lavfi -i sine=sample_rate=48000:duration=60 -c:v libx264 -preset veryfast -crf 23 \
  -c:a aac "$clip"

"$program" "$clip"  # fails here when the clip can't be read

# Best of several runs each, taken alternately so both see the same load.
best() { sort -n | head -1; }
seconds() {
  local t0 t1
  t0=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f\n", b - a }'
}
ours=(); theirs=()
for _ in $(seq "$runs"); do
  ours+=("$(seconds "$program" "$clip")")
  theirs+=("$(seconds ffmpeg -nostdin -i "$clip" -pix_fmt bgr24 -f null -)")
done
echo "decode_benchmark runs: ${ours[*]}"
echo "ffmpeg runs:           ${theirs[*]}"
o=$(printf '%s\n' "${ours[@]}" | best)
t=$(printf '%s\n' "${theirs[@]}" | best)
awk -v o="$o" -v t="$t" \
  'BEGIN { printf "decode_benchmark %.2f s, ffmpeg %.2f s, ratio %.3f\n", o, t, o / t }'
