#!/usr/bin/env bash
# Times a job that crops a letterboxed film and scales it down against the
# ffmpeg tool doing the same work: 60 s (SECONDS_OF_CLIP) of 1920x1080
# H.264/AAC with the picture 1920x800 between black bars, a two-line
# subtitle each second, `--crop auto --height 720` with each of XVID and H264
# against ffmpeg's cropdetect pass over the film followed by
# `-vf crop=...,scale=-2:720,subtitles=...` with the same encoder (mpeg4 at
# -q:v 3; libx264 -crf 23 -bf 0 -preset medium, as job_benchmark.sh pairs
# them). Prints the median of ROUNDS rounds of the wall-time ratio
# (Tolvane / ffmpeg; goal at most 0.9) and the share of Tolvane's job that
# finding the bars takes (goal at most 3%): a still with --crop auto against
# the same still with the crop given, whose difference is the measuring
# alone, over the job's time.
# Usage: [SECONDS_OF_CLIP=N] [CODECS="XVID H264"] bench/shape_benchmark.sh [PROGRAM] [ROUNDS]
#   PROGRAM  the built tolvane (default: build/src/tolvane)
#   ROUNDS   runs of each (default: 3)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-$root/build/src/tolvane}"
rounds="${2:-3}"
seconds="${SECONDS_OF_CLIP:-60}"
codecs="${CODECS:-XVID H264}"
[ -x "$program" ] || { echo "no program at $program (build it first)" >&2; exit 1; }
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (package time)" >&2; exit 1; }
case "$seconds$rounds" in '' | *[!0-9]*) echo "SECONDS_OF_CLIP and ROUNDS must be whole numbers" >&2; exit 1 ;; esac

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
clip="$work/film.mp4"
subs="$work/subs.srt"
echo "making a $seconds s letterboxed film..." >&2
ffmpeg -nostdin -v error -y \
  -f lavfi -i "testsrc2=size=1920x800:rate=25:duration=$seconds" \
  -f lavfi -i "sine=frequency=330:sample_rate=48000:duration=$seconds" \
  -vf "pad=1920:1080:0:140:black" -c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p \
  -c:a aac -b:a 128k "$clip"
for i in $(seq 0 $((seconds - 1))); do
  printf '%d\r\n%02d:%02d:%02d,000 --> %02d:%02d:%02d,900\r\nSubtitle number %d, first line\r\nand its second line\r\n\r\n' \
    "$((i + 1))" $((i / 3600)) $((i / 60 % 60)) $((i % 60)) \
    $((i / 3600)) $((i / 60 % 60)) $((i % 60)) "$((i + 1))"
done >"$subs"
: >"$work/none.ini"

# Wall seconds of a command.
measure() {
  /usr/bin/time -f "%e" -o "$work/time" "$@" >/dev/null 2>&1
  cat "$work/time"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

ffmpeg_codec() {
  case "$1" in
    XVID) echo "-c:v mpeg4 -vtag XVID -q:v 3" ;;
    H264) echo "-c:v libx264 -crf 23 -bf 0 -preset medium" ;;
    *) echo "no ffmpeg counterpart for $1" >&2; exit 1 ;;
  esac
}

# ffmpeg's way: a cropdetect pass, then crop, scale and subtitles.
ffmpeg_job() {
  local output="$1" crop
  shift
  crop=$(ffmpeg -nostdin -i "$clip" -vf cropdetect=24:2:0 -an -f null - 2>&1 |
    grep -o 'crop=[0-9:]*' | tail -1)
  ffmpeg -nostdin -y -v error -i "$clip" -vf "$crop,scale=-2:720,subtitles=$subs" "$@" \
    -c:a copy "$output"
}
export -f ffmpeg_job
export clip subs

for codec in $codecs; do
  read -r -a encoder <<<"$(ffmpeg_codec "$codec")"
  : >"$work/results"
  for round in $(seq 1 "$rounds"); do
    t=$(measure "$program" --settings "$work/none.ini" --source "$clip" --subtitles "$subs" \
      --output "$work/tolvane.avi" --compressor "$codec" --crop auto --height 720)
    a=$(measure "$program" --settings "$work/none.ini" --source "$clip" --subtitles "$subs" \
      --snapshot 30 --output "$work/auto.png" --crop auto --height 720)
    g=$(measure "$program" --settings "$work/none.ini" --source "$clip" --subtitles "$subs" \
      --snapshot 30 --output "$work/given.png" --crop 1920:800:0:140 --height 720)
    f=$(measure bash -c 'ffmpeg_job "$0" "$@"' "$work/ffmpeg.avi" "${encoder[@]}")
    size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0:s=x \
      "$work/tolvane.avi")
    echo "$t $f $a $g" >>"$work/results"
    printf '%s round %d: tolvane %6.2f s (%s) | ffmpeg %6.2f s | still %5.2f s, crop given %5.2f s\n' \
      "$codec" "$round" "$t" "$size" "$f" "$a" "$g"
  done
  ratio=$(awk '{ print $1 / $2 }' "$work/results" | median)
  share=$(awk '{ print ($3 - $4) / $1 * 100 }' "$work/results" | median)
  echo "$codec: wall time ratio $ratio (goal <= 0.9); finding the bars ${share}% of the job (goal <= 3%)"
done
