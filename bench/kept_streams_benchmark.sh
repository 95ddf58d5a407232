#!/usr/bin/env bash
# What keeping the source's other tracks costs: the same H264 job into
# Matroska on a generated 1280x720 clip (60 seconds unless SECONDS_OF_CLIP
# says otherwise) with three sound tracks (AAC, AC-3, MP3) and two subtitle
# tracks (SubRip, ASS; one cue every 20 seconds, so that the interleaving
# meets sparse tracks), run keeping everything and keeping the chosen sound
# alone (--keep-audio none --keep-subtitles none), alternating. Prints the
# median wall time and peak memory of each and their ratios (goal: at most
# 1.03 for the time, 1.10 for the memory).
# Usage: [SECONDS_OF_CLIP=N] bench/kept_streams_benchmark.sh [PROGRAM] [ROUNDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-$root/build/src/tolvane}"
rounds="${2:-3}"
seconds="${SECONDS_OF_CLIP:-60}"
[ -x "$program" ] || { echo "no program at $program (build it first)" >&2; exit 1; }
case "$seconds$rounds" in '' | *[!0-9]*) echo "SECONDS_OF_CLIP and ROUNDS must be whole numbers" >&2; exit 1 ;; esac

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
clock() { printf '%02d:%02d:%02d' $(($1 / 3600)) $(($1 / 60 % 60)) $(($1 % 60)); }
: > "$work/burn.srt"
: > "$work/soft.srt"
printf '[Script Info]\nScriptType: v4.00+\n\n[V4+ Styles]\nFormat: Name, Fontname, Fontsize\nStyle: Default,Sans,20\n\n[Events]\nFormat: Layer, Start, End, Style, Text\n' > "$work/soft.ass"
for ((t = 5, i = 1; t < seconds; t += 20, i++)); do
  printf '%d\n%s,000 --> %s,800\nBurned line %d\n\n' "$i" "$(clock $t)" "$(clock $((t + 2)))" "$i" >> "$work/burn.srt"
  printf '%d\n%s,500 --> %s,500\nSoft line %d\n\n' "$i" "$(clock $((t + 3)))" "$(clock $((t + 5)))" "$i" >> "$work/soft.srt"
  printf 'Dialogue: 0,%s.00,%s.00,Default,Sign %d\n' "$(clock $((t + 6)))" "$(clock $((t + 7)))" "$i" >> "$work/soft.ass"
done
echo "making a $seconds-second clip with three sound and two subtitle tracks..." >&2
ffmpeg -nostdin -v error -y \
  -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=$seconds" \
  -f lavfi -i "sine=frequency=330:sample_rate=48000:duration=$seconds" \
  -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" \
  -f lavfi -i "sine=frequency=550:sample_rate=44100:duration=$seconds" \
  -i "$work/soft.srt" -i "$work/soft.ass" \
  -map 0 -map 1 -map 2 -map 3 -map 4 -map 5 \
  -c:v libx264 -preset ultrafast -crf 23 -g 50 -bf 3 -pix_fmt yuv420p \
  -c:a:0 aac -c:a:1 ac3 -c:a:2 libmp3lame -c:s:0 srt -c:s:1 ass "$work/clip.mkv"

run() { # name, extra options; prints seconds and peak kB
  /usr/bin/time -f '%e %M' -o "$work/time" "$program" --source "$work/clip.mkv" \
    --subtitles "$work/burn.srt" --output "$work/$1.mkv" --compressor H264 \
    --settings /nonexistent.ini "${@:2}" > "$work/$1.log"
  cat "$work/time"
}
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
: > "$work/all"
: > "$work/one"
for ((r = 0; r < rounds; r++)); do
  run all >> "$work/all"
  run one --keep-audio none --keep-subtitles none >> "$work/one"
done
grep -h "Output streams" "$work/all.log" "$work/one.log"
all_time=$(cut -d' ' -f1 "$work/all" | median); one_time=$(cut -d' ' -f1 "$work/one" | median)
all_kb=$(cut -d' ' -f2 "$work/all" | median); one_kb=$(cut -d' ' -f2 "$work/one" | median)
echo "keeping everything: ${all_time} s, ${all_kb} kB peak"
echo "the chosen sound alone: ${one_time} s, ${one_kb} kB peak"
awk -v a="$all_time" -v o="$one_time" -v am="$all_kb" -v om="$one_kb" \
  'BEGIN { printf "time ratio %.3f (goal <= 1.03), memory ratio %.3f (goal <= 1.10)\n", a / o, am / om }'
