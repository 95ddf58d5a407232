#!/usr/bin/env bash
# Runs one set of jobs (AVI, Matroska and MP4; plain, styled, a text track,
# disc pictures, --smart, a copy without subtitles, failures, stills) with
# two builds of tolvane and says which outputs or logs differ. For changes
# that must leave every output as it was.
#
#   bench/same-outputs.sh OLD_TOLVANE NEW_TOLVANE [WORK_DIR]
#
# The media is made with ffmpeg and bench/pgs_stream (from NEW's build
# folder). Logs are compared without their times, rates and sizes.
set -euo pipefail
old=$(realpath "$1")
new=$(realpath "$2")
work=${3:-$(mktemp -d)}
pgs=$(dirname "$new")/../bench/pgs_stream
mkdir -p "$work"
cd "$work"

ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25 \
  -f lavfi -i sine=frequency=440:sample_rate=44100 -t 6 -c:v libx264 -g 25 -bf 2 -c:a aac src.mp4
printf '1\n00:00:00,500 --> 00:00:02,000\nHello <i>there</i>\n\n2\n00:00:02,500 --> 00:00:04,000\nSecond line\nand more\n' >subs.srt
ffmpeg -loglevel error -y -i src.mp4 -i subs.srt -map 0 -map 1 -c copy -c:s srt track.mkv
ffmpeg -loglevel error -y -i src.mp4 -i subs.srt -map 0 -map 1 -c copy -c:s ass asstrack.mkv
"$pgs" subs.sup 6 320 240 2

jobs() {
  local bin=$1 out=$2
  mkdir -p "$out"
  job() {
    local name=$1
    shift
    status=0
    "$bin" "$@" >"$out/$name.log" 2>&1 || status=$?
    echo "status $status" >>"$out/$name.log"
  }
  job avi_xvid --defaults --source src.mp4 --subtitles subs.srt --output "$out/a.avi" --compressor XVID
  job avi_dib --defaults --source src.mp4 --subtitles subs.srt --output "$out/b.avi" --compressor DIB
  job mkv_h264 --defaults --source src.mp4 --subtitles subs.srt --output "$out/c.mkv" --compressor H264
  job mp4_styled --defaults --source src.mp4 --subtitles subs.srt --output "$out/d.mp4" --compressor H264 --styled --outline 2
  job mkv_track --defaults --source track.mkv --subtitle-track 1 --output "$out/e.mkv" --compressor H264
  job mkv_asstrack --defaults --source asstrack.mkv --subtitle-track 1 --output "$out/f.mkv" --compressor XVID
  job avi_pgs --defaults --source src.mp4 --subtitles subs.sup --output "$out/g.avi" --compressor XVID
  job mkv_smart --defaults --source src.mp4 --subtitles subs.srt --output "$out/h.mkv" --compressor H264 --smart
  job mkv_smart_pgs --defaults --source src.mp4 --subtitles subs.sup --output "$out/i.mkv" --compressor H264 --smart
  job mkv_smart_track --defaults --source track.mkv --subtitle-track 1 --output "$out/j.mkv" --compressor H264 --smart
  job transcode --defaults --source src.mp4 --subtitles subs.srt --output "$out/k.avi" --compressor XVID --transcode
  job no_track --defaults --source src.mp4 --subtitle-track 3 --output "$out/l.mkv" --compressor H264
  job missing --defaults --source src.mp4 --subtitles nothere.srt --output "$out/m.mkv" --compressor H264
  job webm_vp9 --defaults --source src.mp4 --subtitles subs.srt --output "$out/n.webm" --compressor VP90 --convert-audio
  job still_plain --snapshot 1 --source src.mp4 --subtitles subs.srt --output "$out/s1.png"
  job still_pictures --snapshot 1 --source src.mp4 --subtitles subs.sup --output "$out/s2.png"
  job still_styled --snapshot 3 --source src.mp4 --subtitles subs.srt --styled --output "$out/s3.png"
}

jobs "$old" old
jobs "$new" new
differ=0
timeless() { sed -E 's/[0-9]+([.,][0-9]+)? ?(s|fps|ms|KB|MB|kB|bytes)\b//g; s#'"$work"'/(old|new)##g' "$1"; }
for first in old/*; do
  second=new/${first#old/}
  if [[ $first == *.log ]]; then
    cmp -s <(timeless "$first") <(timeless "$second") && continue
  else
    cmp -s "$first" "$second" && continue
  fi
  echo "differs: ${first#old/}"
  differ=1
done
[ $differ -eq 0 ] && echo "same-outputs: every output and log is the same ($work)"
exit $differ
