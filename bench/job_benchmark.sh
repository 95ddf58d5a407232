#!/usr/bin/env bash
# Times a whole subtitling job against the ffmpeg tool doing the same work:
# a generated 60-second 1280x720 H.264/AAC clip, a two-line subtitle each
# second, MPEG-4 Part 2 at the default quality (ffmpeg: -q:v 3). The two run
# in turn, ROUNDS times each; prints the median ratios (Tolvane / ffmpeg) of
# wall time and output size, and the peak memory of both.
#
# Usage: bench/job_benchmark.sh [PROGRAM] [ROUNDS]
#   PROGRAM  the built tolvane (default: build/src/tolvane)
#   ROUNDS   runs of each (default: 5)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-$root/build/src/tolvane}"
rounds="${2:-5}"
[ -x "$program" ] || { echo "no program at $program (build it first)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
clip="$work/clip.mp4"
subs="$work/subs.srt"

ffmpeg -nostdin -v error -y \
  -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=60" \
  -f lavfi -i "sine=frequency=330:sample_rate=48000:duration=60" \
  -c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p -c:a aac -b:a 128k "$clip"

for i in $(seq 0 59); do
  printf '%d\r\n00:00:%02d,000 --> 00:00:%02d,900\r\nSubtitle number %d, first line\r\nand its second line\r\n\r\n' \
    "$((i + 1))" "$i" "$i" "$((i + 1))"
done > "$subs"
# Hour 00 counts up to 59 seconds; the last line is within the clip.

# Runs a command under GNU time; prints "wall-seconds kilobytes cpu-seconds".
measure() {
  /usr/bin/time -f "%e %M %U %S" -o "$work/time" "$@" >/dev/null 2>&1
  awk '{ print $1, $2, $3 + $4 }' "$work/time"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: > "$work/results"
for round in $(seq 1 "$rounds"); do
  read -r t_time t_mem t_cpu < <(measure "$program" --source "$clip" --subtitles "$subs" \
    --output "$work/tolvane.avi" --compressor XVID --settings "$work/none.ini")
  read -r f_time f_mem f_cpu < <(measure ffmpeg -nostdin -y -v error -i "$clip" \
    -vf "subtitles=$subs" -c:v mpeg4 -q:v 3 -c:a copy "$work/ffmpeg.avi")
  t_size=$(stat -c %s "$work/tolvane.avi")
  f_size=$(stat -c %s "$work/ffmpeg.avi")
  echo "$t_time $f_time $t_size $f_size $t_mem $f_mem $t_cpu $f_cpu" >> "$work/results"
  printf 'round %d: tolvane %6.2f s (cpu %6.2f s) %9d B %7d KB | ffmpeg %6.2f s (cpu %6.2f s) %9d B %7d KB\n' \
    "$round" "$t_time" "$t_cpu" "$t_size" "$t_mem" "$f_time" "$f_cpu" "$f_size" "$f_mem"
done

time_ratio=$(awk '{ print $1 / $2 }' "$work/results" | median)
size_ratio=$(awk '{ print $3 / $4 }' "$work/results" | median)
memory_ratio=$(awk '{ print $5 / $6 }' "$work/results" | median)
cpu_ratio=$(awk '{ print $7 / $8 }' "$work/results" | median)
echo "median time ratio (tolvane/ffmpeg):   $time_ratio   (goal <= 1.0)"
echo "median size ratio (tolvane/ffmpeg):   $size_ratio   (goal 0.7 to 1.4)"
echo "median memory ratio (tolvane/ffmpeg): $memory_ratio   (goal <= 1.5)"
echo "median cpu time ratio (tolvane/ffmpeg): $cpu_ratio   (wall time depends on the load)"
