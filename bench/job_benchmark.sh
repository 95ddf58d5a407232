#!/usr/bin/env bash
# Times a whole subtitling job against the ffmpeg tool doing the same work:
# a generated 1280x720 H.264/AAC clip (60 seconds unless SECONDS_OF_CLIP says
# otherwise), a two-line subtitle each second, with each of two codecs:
#   XVID against ffmpeg -c:v mpeg4 -q:v 3 (the default quality's quantiser)
#   H264 against ffmpeg -c:v libx264 -crf 23 -bf 0 -preset medium (the
#        default quality's rate factor and x264's own preset, as ours)
#   HEVC, AV01, VP90 (in Matroska) against ffmpeg's x265 medium at 28,
#        SVT-AV1 preset 8 at 35, libvpx-vp9 good, cpu-used 4 at 32 (CODECS
#        names them; not run unless named)
# The two programs run in turn, ROUNDS times each per codec; prints for each
# codec the median ratios (Tolvane / ffmpeg) of wall time, CPU time (user +
# system), output size and peak memory, beside the goals.
# Then two rows of styled drawing (STYLED=0 leaves them out), with XVID:
#   styled SRT   the same job with --styled, against itself without it
#   busy ASS     two lines a second with rims, karaoke and fades, with
#                --styled, against ffmpeg -vf subtitles=busy.ass
# Then a row of picture subtitles (PICTURES=0 leaves it out), with XVID:
#   PGS track    a PGS track on the clip's own canvas, one set a second,
#                --subtitle-track 1, against ffmpeg's overlay of it
#
# SOURCE picks the generated clip:
#   720p    1280x720 H.264 8-bit (the default; 60 s)
#   4k      3840x2160 H.264 8-bit (8 s)
#   hevc10  1920x1080 HEVC 10-bit 4:2:0 (10 s)
#   hdr10   the same in PQ with HDR10 metadata (10 s); adds the tone-mapping
#           row: the H264 job on it against the same job on a copy whose
#           stream says SDR (goal: at most 1.1)
#
# The newer codecs write a deep source in 10 bits, and so does ffmpeg here.
# Usage: [SOURCE=720p|4k|hevc10|hdr10] [SECONDS_OF_CLIP=N] [CODECS="XVID H264"] [STYLED=0|1]
#        [PICTURES=0|1]
#        bench/job_benchmark.sh [PROGRAM] [ROUNDS]
#   PROGRAM  the built tolvane (default: build/src/tolvane)
#   ROUNDS   runs of each (default: 5)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-$root/build/src/tolvane}"
rounds="${2:-5}"
source_kind="${SOURCE:-720p}"
case "$source_kind" in
  720p) default_seconds=60 size=1280x720 video=(-c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p) ;;
  4k) default_seconds=8 size=3840x2160 video=(-c:v libx264 -preset ultrafast -crf 23 -pix_fmt yuv420p) ;;
  hevc10) default_seconds=10 size=1920x1080 video=(-c:v libx265 -preset ultrafast -crf 26 -pix_fmt yuv420p10le -x265-params log-level=error) ;;
  hdr10) default_seconds=10 size=1920x1080 video=(-vf "zscale=tin=bt709:t=smpte2084:pin=bt709:p=bt2020:min=bt709:m=bt2020nc:npl=100,format=yuv420p10le" -c:v libx265 -preset ultrafast -crf 26 -x265-params "log-level=error:colorprim=bt2020:transfer=smpte2084:colormatrix=bt2020nc:master-display=G(13250,34500)B(7500,3000)R(34000,16000)WP(15635,16450)L(10000000,50):max-cll=1000,400:hdr10=1") ;;
  *) echo "SOURCE must be 720p, 4k, hevc10 or hdr10" >&2; exit 1 ;;
esac
seconds="${SECONDS_OF_CLIP:-$default_seconds}"
codecs="${CODECS:-XVID H264}"
[ -x "$program" ] || { echo "no program at $program (build it first)" >&2; exit 1; }
case "$seconds" in '' | *[!0-9]* | 0) echo "SECONDS_OF_CLIP must be a whole number of seconds above 0" >&2; exit 1 ;; esac

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
clip="$work/clip.mp4"
subs="$work/subs.srt"

ffmpeg -nostdin -v error -y \
  -f lavfi -i "testsrc2=size=$size:rate=25:duration=$seconds" \
  -f lavfi -i "sine=frequency=330:sample_rate=48000:duration=$seconds" \
  "${video[@]}" -c:a aac -b:a 128k "$clip"

# One entry a second, each within the clip.
for i in $(seq 0 $((seconds - 1))); do
  printf '%d\r\n%02d:%02d:%02d,000 --> %02d:%02d:%02d,900\r\nSubtitle number %d, first line\r\nand its second line\r\n\r\n' \
    "$((i + 1))" $((i / 3600)) $((i / 60 % 60)) $((i % 60)) \
    $((i / 3600)) $((i / 60 % 60)) $((i % 60)) "$((i + 1))"
done > "$subs"

# Runs a command under GNU time; prints "wall-seconds kilobytes cpu-seconds".
measure() {
  /usr/bin/time -f "%e %M %U %S" -o "$work/time" "$@" >/dev/null 2>&1
  awk '{ print $1, $2, $3 + $4 }' "$work/time"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# The ffmpeg encoder options that match a compressor code at its default quality.
ffmpeg_codec() {
  local deep=""
  case "$source_kind" in hevc10 | hdr10) deep="-pix_fmt yuv420p10le" ;; esac
  case "$1" in
    XVID) echo "-c:v mpeg4 -q:v 3" ;;
    H264) echo "-c:v libx264 -crf 23 -bf 0 -preset medium" ;;
    HEVC) echo "-c:v libx265 -preset medium -crf 28 -x265-params log-level=error $deep" ;;
    AV01) echo "-c:v libsvtav1 -preset 8 -crf 35 $deep" ;;
    VP90) echo "-c:v libvpx-vp9 -crf 32 -b:v 0 -deadline good -cpu-used 4 -row-mt 1 $deep" ;;
    *) echo "no ffmpeg counterpart for $1" >&2; exit 1 ;;
  esac
}

# The time goal of a codec (the other goals are the same for all).
time_goal() { case "$1" in XVID) echo 0.75 ;; H264) echo 0.85 ;; *) echo 0.9 ;; esac; }

# The output's container: AVI for the codecs it carries, else Matroska.
extension() { case "$1" in XVID | H264) echo avi ;; *) echo mkv ;; esac; }

run_codec() {
  local codec="$1" results="$work/results.$1" ext
  ext="$(extension "$1")"
  local -a encoder
  read -r -a encoder <<< "$(ffmpeg_codec "$codec")"
  : > "$results"
  for round in $(seq 1 "$rounds"); do
    read -r t_time t_mem t_cpu < <(measure "$program" --source "$clip" --subtitles "$subs" \
      --output "$work/tolvane.$ext" --compressor "$codec" --settings "$work/none.ini")
    read -r f_time f_mem f_cpu < <(measure ffmpeg -nostdin -y -v error -i "$clip" \
      -vf "subtitles=$subs" "${encoder[@]}" -c:a copy "$work/ffmpeg.$ext")
    t_size=$(stat -c %s "$work/tolvane.$ext")
    f_size=$(stat -c %s "$work/ffmpeg.$ext")
    echo "$t_time $f_time $t_size $f_size $t_mem $f_mem $t_cpu $f_cpu" >> "$results"
    printf '%s round %d: tolvane %6.2f s (cpu %6.2f s) %9d B %7d KB | ffmpeg %6.2f s (cpu %6.2f s) %9d B %7d KB\n' \
      "$codec" "$round" "$t_time" "$t_cpu" "$t_size" "$t_mem" "$f_time" "$f_cpu" "$f_size" "$f_mem"
  done
}

report_codec() {
  local codec="$1" results="$work/results.$1"
  ratio() { awk "{ print \$$1 / \$$2 }" "$results" | median; }
  echo "$codec, median ratios (tolvane/ffmpeg) of $rounds rounds on a $seconds s $source_kind clip:"
  echo "  wall time: $(ratio 1 2)   (goal <= $(time_goal "$codec"); depends on the load)"
  echo "  cpu time:  $(ratio 7 8)   (goal <= 0.9)"
  echo "  size:      $(ratio 3 4)   (goal 0.7 to 1.4)"
  echo "  memory:    $(ratio 5 6)   (goal <= 1.0)"
}

# Two lines a second, each with a rim, a shadow, karaoke timing and a fade.
write_busy_script() {
  printf '[Script Info]\nScriptType: v4.00+\nPlayResX: 1280\nPlayResY: 720\n\n[V4+ Styles]\n'
  printf 'Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n'
  printf 'Style: Default,DejaVu Sans,48,&H00FFFFFF,&H0000FFFF,&H00000000,&H80000000,0,0,0,0,100,100,0,0,1,3,2,2,20,20,30,1\n\n'
  printf '[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n'
  for i in $(seq 0 $((seconds - 1))); do
    for half in 0 5; do
      printf 'Dialogue: 0,%d:%02d:%02d.%d0,%d:%02d:%02d.%d0,Default,,0,0,0,,{\\fad(150,150)\\k20}Line {\\k25}%d {\\k30}sung {\\k20}word {\\k25}by word\n' \
        $((i / 3600)) $((i / 60 % 60)) $((i % 60)) "$half" \
        $(((i + 1) / 3600)) $(((i + 1) / 60 % 60)) $(((i + 1) % 60)) "$half" "$((2 * i + half / 5))"
    done
  done
}

# One styled row: "label" then the two commands' argument lists apart by "--".
run_styled_row() {
  local label="$1" results="$work/results.$2"
  shift 2
  local -a first=() second=()
  while [ "$1" != "--" ]; do first+=("$1"); shift; done
  shift
  second=("$@")
  : > "$results"
  for round in $(seq 1 "$rounds"); do
    read -r a_time a_mem a_cpu < <(measure "${first[@]}")
    read -r b_time b_mem b_cpu < <(measure "${second[@]}")
    echo "$a_time $b_time 0 0 $a_mem $b_mem $a_cpu $b_cpu" >> "$results"
    printf '%s round %d: %6.2f s (cpu %6.2f s) %7d KB | %6.2f s (cpu %6.2f s) %7d KB\n' \
      "$label" "$round" "$a_time" "$a_cpu" "$a_mem" "$b_time" "$b_cpu" "$b_mem"
  done
}

report_styled_row() {
  local results="$work/results.$1"
  ratio() { awk "{ print \$$1 / \$$2 }" "$results" | median; }
  echo "$2, median ratios of $rounds rounds on a $seconds s clip:"
  echo "  wall time: $(ratio 1 2)   (goal <= $3)"
  echo "  cpu time:  $(ratio 7 8)"
  echo "  memory:    $(ratio 5 6)"
}

for codec in $codecs; do run_codec "$codec"; done
if [ "${STYLED:-1}" = 1 ]; then
  write_busy_script > "$work/busy.ass"
  run_styled_row "styled SRT" styled \
    "$program" --styled --source "$clip" --subtitles "$subs" --output "$work/styled.avi" \
    --compressor XVID --settings "$work/none.ini" -- \
    "$program" --source "$clip" --subtitles "$subs" --output "$work/plain.avi" \
    --compressor XVID --settings "$work/none.ini"
  run_styled_row "busy ASS" busy \
    "$program" --styled --source "$clip" --subtitles "$work/busy.ass" --output "$work/busy.avi" \
    --compressor XVID --settings "$work/none.ini" -- \
    ffmpeg -nostdin -y -v error -i "$clip" -vf "subtitles=$work/busy.ass" -c:v mpeg4 -q:v 3 \
    -c:a copy "$work/ffmpeg-busy.avi"
fi
if [ "${PICTURES:-1}" = 1 ]; then
  pgs_stream="$(dirname "$program")/../bench/pgs_stream"
  [ -x "$pgs_stream" ] || { echo "no pgs_stream beside the program (build it first)" >&2; exit 1; }
  "$pgs_stream" "$work/subs.sup" "$seconds" "${size%x*}" "${size#*x}"
  ffmpeg -nostdin -v error -y -i "$clip" -copyts -i "$work/subs.sup" -map 0 -map 1 -c copy \
    "$work/clip-pgs.mkv"
  run_styled_row "PGS track" pgs \
    "$program" --source "$work/clip-pgs.mkv" --subtitle-track 1 --output "$work/pgs.avi" \
    --compressor XVID --settings "$work/none.ini" -- \
    ffmpeg -nostdin -y -v error -i "$work/clip-pgs.mkv" -filter_complex "[0:v][0:s]overlay" \
    -c:v mpeg4 -q:v 3 -c:a copy "$work/ffmpeg-pgs.avi"
fi
if [ "$source_kind" = hdr10 ]; then
  # The same pictures, their stream saying BT.709: nothing to tone-map.
  ffmpeg -nostdin -v error -y -i "$clip" -c copy \
    -bsf:v hevc_metadata=colour_primaries=1:transfer_characteristics=1:matrix_coefficients=1 \
    "$work/clip-sdr.mp4"
  run_styled_row "tone mapping" tonemap \
    "$program" --source "$clip" --subtitles "$subs" --output "$work/mapped.mkv" \
    --compressor H264 --settings "$work/none.ini" -- \
    "$program" --source "$work/clip-sdr.mp4" --subtitles "$subs" --output "$work/unmapped.mkv" \
    --compressor H264 --settings "$work/none.ini"
fi
for codec in $codecs; do report_codec "$codec"; done
if [ "$source_kind" = hdr10 ]; then
  report_styled_row tonemap "tone mapping, H264 (HDR10 source / the same tagged SDR)" 1.1
fi
if [ "${STYLED:-1}" = 1 ]; then
  report_styled_row styled "styled SRT (--styled / plain)" 1.05
  report_styled_row busy "busy ASS, XVID (tolvane --styled / ffmpeg)" 0.7
fi
if [ "${PICTURES:-1}" = 1 ]; then
  report_styled_row pgs "PGS track, XVID (tolvane / ffmpeg overlay)" 0.75
fi
