#!/usr/bin/env bash
# Times a 10-second clip from the middle of a two-hour film (MINUTES says
# how long, 120 unless told): the film is one generated minute of 640x360
# H.264/AAC (a keyframe every 2 seconds, B-pictures) copied end to end, with
# a subtitle line across the clip's start. Prints the wall time of the clip
# job (goal: seconds, however far into the film it starts) next to the
# same clip from the film's first minute, and the pictures written.
# Usage: [MINUTES=N] bench/clip_benchmark.sh [PROGRAM] [ROUNDS]
#   PROGRAM  the built tolvane (default: build/src/tolvane)
#   ROUNDS   runs of each (default: 3)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-$root/build/src/tolvane}"
rounds="${2:-3}"
minutes="${MINUTES:-120}"
[ -x "$program" ] || { echo "no program at $program (build it first)" >&2; exit 1; }
case "$minutes$rounds" in '' | *[!0-9]*) echo "MINUTES and ROUNDS must be whole numbers" >&2; exit 1 ;; esac
[ "$minutes" -gt 1 ] && [ "$rounds" -gt 0 ] || { echo "MINUTES must be above 1, ROUNDS above 0" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
echo "making a $minutes-minute film..." >&2
ffmpeg -nostdin -v error -y \
  -f lavfi -i "testsrc2=size=640x360:rate=25:duration=60" \
  -f lavfi -i "sine=frequency=330:sample_rate=48000:duration=60" \
  -c:v libx264 -preset ultrafast -g 50 -keyint_min 50 -sc_threshold 0 -bf 2 \
  -pix_fmt yuv420p -c:a aac "$work/minute.mkv"
for ((i = 0; i < minutes; i++)); do echo "file 'minute.mkv'"; done >"$work/list.txt"
ffmpeg -nostdin -v error -y -f concat -safe 0 -i "$work/list.txt" -c copy "$work/film.mkv"

middle=$((minutes * 30))
clock() { printf '%d:%02d:%02d' $(($1 / 3600)) $(($1 / 60 % 60)) $(($1 % 60)); }
printf '1\n0:00:29,000 --> 0:00:32,000\nAcross the start\n\n2\n%s,000 --> %s,000\nAcross the start\n' \
  "$(clock $((middle - 1)))" "$(clock $((middle + 2)))" >"$work/subs.srt"

# The median of the rounds' wall times, in seconds.
run() {
  local start=$1 times=()
  for ((r = 0; r < rounds; r++)); do
    local begin end
    begin=$(date +%s.%N)
    "$program" --defaults --source "$work/film.mkv" --subtitles "$work/subs.srt" \
      --output "$work/clip.mkv" --compressor H264 --start "$start" --duration 10 >/dev/null
    end=$(date +%s.%N)
    times+=("$(echo "$end - $begin" | bc)")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((rounds + 1) / 2))p"
}
early=$(run 30)
late=$(run "$(clock "$middle")")
pictures=$(ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames \
  -of csv=p=0 "$work/clip.mkv")
echo "10 s from 0:00:30: ${early} s; 10 s from $(clock "$middle") of $minutes minutes: ${late} s; $pictures pictures"
