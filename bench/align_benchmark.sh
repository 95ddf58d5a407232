#!/usr/bin/env bash
# Cost of aligning subtitles to a film's speech against decoding its audio:
# `tolvane --align-subtitles` on a film against
# `ffmpeg -i FILE -map 0:a:0 -f null -` on the same file. Prints both wall
# times, their ratio (goal: 1.5 or less) and the aligner's peak memory (goal:
# under 300 MB).
#
# The film is made here: sentences spoken by espeak-ng with pauses, looped to
# MINUTES (default 10; 120 for a two-hour film), over noise, as 48 kHz 5.1 AAC
# with the dialogue in the centre, and black pictures; its subtitles are the
# sentences' times found by ffmpeg's silencedetect, two seconds late.
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
  local text="The train leaves at seven, so we must hurry. [[ ]] I never said that I would come
back tonight. Can you hear the rain on the roof? Nobody in this town remembers the old mill.
Put the letter on the table and sit down. We found the key under the stone by the gate.
Tomorrow the river will be too high to cross. Where were you when the lights went out?
She told me the story twice, and it changed each time. Keep the dog inside until the storm is
over. That is the last boat to the island. My brother builds clocks in a shed behind the house."
  # A pause after each sentence, of a length that varies.
  espeak-ng -g 40 -w "$work/talk.wav" "$text"
  local loop_seconds
  loop_seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/talk.wav")
  local loops
  loops=$(awk -v m="$minutes" -v l="$loop_seconds" 'BEGIN { print int(m * 60 / l) + 1 }')
  ffmpeg -nostdin -v info -stream_loop "$loops" -i "$work/talk.wav" -t $((minutes * 60)) \
    -af "silencedetect=n=-40dB:d=0.25" -f null - 2>&1 |
    awk '/silence_end/ { for (i = 1; i <= NF; i++) if ($i == "silence_end:") start = $(i + 1) }
         /silence_start/ { for (i = 1; i <= NF; i++) if ($i == "silence_start:") {
           if (start != "") printf "%s %s\n", start, $(i + 1); } }' >"$work/cues.txt"
  awk 'function t(s,  ms) { ms = int((s + 2.0) * 1000 + 0.5);
         return sprintf("%02d:%02d:%02d,%03d", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                        ms % 1000) }
       { printf "%d\n%s --> %s\nline %d\n\n", NR, t($1), t($2), NR }' \
    "$work/cues.txt" >"$work/film.srt"
  ffmpeg -nostdin -v error -f lavfi -i "color=c=black:s=64x48:r=25:d=$((minutes * 60))" \
    -stream_loop "$loops" -i "$work/talk.wav" \
    -f lavfi -i "anoisesrc=color=pink:amplitude=0.05:sample_rate=22050:d=$((minutes * 60))" \
    -filter_complex "[1:a]aresample=48000,atrim=0:$((minutes * 60))[c];
                     [2:a]aresample=48000,asplit=5[fl][fr][lfe][bl][br];
                     [fl][fr][c][lfe][bl][br]join=inputs=6:channel_layout=5.1:map=0.0-FL|1.0-FR|2.0-FC|3.0-LFE|4.0-BL|5.0-BR[a]" \
    -map 0:v -map "[a]" -c:v mpeg4 -q:v 31 -c:a aac -b:a 384k "$work/film.mkv"
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
