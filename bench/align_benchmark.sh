#!/usr/bin/env bash
# Cost of aligning subtitles to a film's speech against decoding its audio:
# `tolvane --align-subtitles` on a film against
# `ffmpeg -i FILE -map 0:a:0 -f null -` on the same file. Prints both wall
# times, their ratio (goal: 1.5 or less) and the aligner's peak memory (goal:
# under 300 MB).
#
# The film is made here: sentences spoken by espeak-ng in four voices, put in
# an order and with pauses that never repeat for MINUTES (default 10; 120 for
# a two-hour film), over noise, as 48 kHz 5.1 AAC with the dialogue in the
# centre, and black pictures; its subtitles are where the sentences are, two
# seconds late.
# SOURCE=film SUBTITLES=file measures your own film instead.
#
# usage: bench/align_benchmark.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build="${1:-build}"
runs="${2:-1}"
program="$build/src/tolvane"
[ -x "$program" ] || { echo "build the tolvane target in $build first" >&2; exit 2; }
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (package time)" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
minutes="${MINUTES:-10}"
source="${SOURCE:-}"
subtitles="${SUBTITLES:-}"

make_film() {
  local sentences=("The train leaves at seven, so we must hurry."
    "I never said that I would come back tonight." "Can you hear the rain on the roof?"
    "Nobody in this town remembers the old mill." "Put the letter on the table and sit down."
    "We found the key under the stone by the gate." "Tomorrow the river will be too high to cross."
    "Where were you when the lights went out?" "She told me the story twice, and it changed."
    "Keep the dog inside until the storm is over." "That is the last boat to the island."
    "My brother builds clocks in a shed behind the house.")
  local voices=("en+m3 165" "en+f2 150" "en-us+m1 180" "en+f4 160")
  local i v
  for i in "${!sentences[@]}"; do
    for v in "${!voices[@]}"; do
      set -- ${voices[$v]}
      espeak-ng -v "$1" -s "$2" -w "$work/s${i}_$v.wav" "${sentences[$i]}"
    done
  done
  for i in 1 2 3 4 5 6 7 8 9 10; do
    ffmpeg -nostdin -v error -f lavfi -i "anullsrc=r=22050:cl=mono" -t "0.$i" -c:a pcm_s16le \
      "$work/p$i.wav"
  done
  # A sequence of sentences and pauses that never repeats, so that no other
  # offset fits as well; the cues are where the sentences are, two seconds late.
  for f in "$work"/s*.wav "$work"/p*.wav; do
    echo "$(basename "$f") $(ffprobe -v error -show_entries stream=duration_ts -of csv=p=0 "$f")"
  done >"$work/lengths.txt"
  awk -v total=$((minutes * 60 * 22050)) -v dir="$work" '
    function t(samples,  ms) { ms = int(samples / 22.05 + 2000.5);
      return sprintf("%02d:%02d:%02d,%03d", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                     ms % 1000) }
    { length_of[$1] = $2 }
    END { srand(1); at = 0; cue = 0
      while (at < total) {
        s = sprintf("s%d_%d.wav", int(rand() * 12), int(rand() * 4))
        printf "file %s/%s\n", dir, s > dir "/list.txt"
        printf "%d\n%s --> %s\nline %d\n\n", ++cue, t(at), t(at + length_of[s]), cue > dir "/film.srt"
        at += length_of[s]
        for (k = int(rand() * 4) + 1; k > 0; k--) {
          p = sprintf("p%d.wav", int(rand() * 10) + 1)
          printf "file %s/%s\n", dir, p > dir "/list.txt"
          at += length_of[p]
        }
      } }' "$work/lengths.txt"
  ffmpeg -nostdin -v error -f lavfi -i "color=c=black:s=64x48:r=25:d=$((minutes * 60))" \
    -f concat -safe 0 -i "$work/list.txt" \
    -f lavfi -i "anoisesrc=color=pink:amplitude=0.05:sample_rate=22050:d=$((minutes * 60))" \
    -filter_complex "[1:a]atrim=0:$((minutes * 60))[c];
      [2:a][c]amerge=inputs=2,aresample=48000,pan=5.1|FL=c0|FR=c0|FC=c1|LFE=c0|BL=c0|BR=c0[a]" \
    -map 0:v -map "[a]" -t $((minutes * 60)) -c:v mpeg4 -q:v 31 -c:a aac -b:a 384k \
    "$work/film.mkv"
  source="$work/film.mkv"
  subtitles="$work/film.srt"
}

if [ -z "$source" ]; then
  echo "making a $minutes-minute film..." >&2
  make_film
fi

best() { sort -n | head -1; }
ours=(); theirs=(); memory=()
for _ in $(seq "$runs"); do
  /usr/bin/time -q -f "%e %M" -o "$work/time.txt" "$program" --align-subtitles --source "$source" \
    --subtitles "$subtitles" --output "$work/aligned.srt" >"$work/found.txt" 2>&1 || true
  read -r wall kilobytes <"$work/time.txt"
  ours+=("$wall"); memory+=("$kilobytes")
  /usr/bin/time -q -f "%e %M" -o "$work/time.txt" ffmpeg -nostdin -v error -i "$source" \
    -map 0:a:0 -f null - >/dev/null 2>&1
  read -r wall _ <"$work/time.txt"
  theirs+=("$wall")
done
grep -v "^QStandardPaths" "$work/found.txt" || true
echo "align runs:  ${ours[*]}"
echo "ffmpeg runs: ${theirs[*]}"
o=$(printf '%s\n' "${ours[@]}" | best)
t=$(printf '%s\n' "${theirs[@]}" | best)
m=$(printf '%s\n' "${memory[@]}" | sort -n | tail -1)
awk -v o="$o" -v t="$t" -v m="$m" 'BEGIN {
  printf "align %.2f s, ffmpeg %.2f s, ratio %.3f (goal 1.5); peak memory %.0f MB (goal 300)\n",
         o, t, o / t, m / 1024 }'
