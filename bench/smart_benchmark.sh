#!/usr/bin/env bash
# Times --smart against the whole H264 job on the same source: a generated
# 1280x720 H.264/AAC clip (60 seconds unless SECONDS_OF_CLIP says otherwise)
# with a keyframe every 2 seconds and B-pictures, as films come, and three
# cues of a second each (CUES says how many, spread evenly). Both jobs write
# Matroska; prints the median wall time of each, their ratio (goal: at most
# 0.1 for the 60-second clip), the pictures copied and encoded, and checks
# that the copied pictures decode as the source's do.
# Usage: [SECONDS_OF_CLIP=N] [CUES=N] [SIZE=WxH] bench/smart_benchmark.sh [PROGRAM] [ROUNDS]
#   PROGRAM  the built tolvane (default: build/src/tolvane)
#   ROUNDS   runs of each (default: 3)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-$root/build/src/tolvane}"
rounds="${2:-3}"
seconds="${SECONDS_OF_CLIP:-60}"
cues="${CUES:-3}"
size="${SIZE:-1280x720}"
[ -x "$program" ] || { echo "no program at $program (build it first)" >&2; exit 1; }
case "$seconds$cues" in '' | *[!0-9]*) echo "SECONDS_OF_CLIP and CUES must be whole numbers" >&2; exit 1 ;; esac
[ "$seconds" -gt 0 ] && [ "$cues" -gt 0 ] || { echo "SECONDS_OF_CLIP and CUES must be above 0" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
clip="$work/clip.mkv"
subs="$work/subs.srt"

echo "making a $seconds-second $size clip..." >&2
ffmpeg -nostdin -v error -y \
  -f lavfi -i "testsrc2=size=$size:rate=25:duration=$seconds" \
  -f lavfi -i "sine=frequency=330:sample_rate=48000:duration=$seconds" \
  -c:v libx264 -preset ultrafast -crf 23 -g 50 -keyint_min 50 -sc_threshold 0 -bf 3 \
  -pix_fmt yuv420p -c:a aac "$clip"

# Cues a second long, halfway between two keyframes.
clock() { printf '%02d:%02d:%02d' $(($1 / 3600)) $(($1 / 60 % 60)) $(($1 % 60)); }
: > "$subs"
for ((i = 0; i < cues; i++)); do
  start=$(( (seconds * (2 * i + 1) / (2 * cues)) / 2 * 2 ))
  printf '%d\n%s,500 --> %s,500\nA forced line\n\n' $((i + 1)) "$(clock "$start")" \
    "$(clock $((start + 1)))" >> "$subs"
done

run() {  # prints the wall time of one job
  local out="$1"; shift
  local start end
  start=$(date +%s.%N)
  "$program" --defaults --source "$clip" --subtitles "$subs" --output "$out" --compressor H264 "$@" \
    > "$work/log.txt"
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

full=$(for ((r = 0; r < rounds; r++)); do run "$work/full.mkv"; done | median)
smart=$(for ((r = 0; r < rounds; r++)); do run "$work/smart.mkv" --smart; done | median)
grep -E "copied|encoded" "$work/log.txt" || true
printf 'whole H264 job   %8.2f s\n--smart          %8.2f s\nratio            %8.3f (goal: at most 0.1)\n' \
  "$full" "$smart" "$(echo "$smart / $full" | bc -l)"

# The copied pictures decode as the source's: count the pictures whose
# digests agree.
ffmpeg -nostdin -v fatal -i "$clip" -map 0:v -fps_mode passthrough -f framemd5 - 2>/dev/null |
  grep -v '^#' | awk -F, '{print $6}' > "$work/a.txt"
ffmpeg -nostdin -v fatal -i "$work/smart.mkv" -map 0:v -fps_mode passthrough -f framemd5 - 2>/dev/null |
  grep -v '^#' | awk -F, '{print $6}' > "$work/b.txt"
echo "pictures: $(wc -l < "$work/a.txt") in the source, $(wc -l < "$work/b.txt") written," \
  "$(paste -d' ' "$work/a.txt" "$work/b.txt" | awk '$1 == $2' | wc -l) identical"
