#!/usr/bin/env bash
# Makes the bundled sample: six seconds of a moving test picture with a tone,
# and the same three subtitles as SubRip and as MicroDVD (25 frames a second).
set -euo pipefail
cd "$(dirname "$0")"
ffmpeg -nostdin -y -v error \
  -f lavfi -i "testsrc2=size=320x240:rate=25:duration=6" \
  -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=6" \
  -c:v libx264 -preset veryslow -crf 30 -pix_fmt yuv420p -g 50 \
  -c:a aac -b:a 48k -ac 1 -map_metadata -1 -fflags +bitexact -flags:v +bitexact -flags:a +bitexact \
  sample.mp4

printf '%s\r\n' \
  "1" "00:00:00,500 --> 00:00:02,000" "Tolvane burns subtitles" "into the picture." "" \
  "2" "00:00:02,000 --> 00:00:03,960" "<i>Second entry</i>, right after the first." "" \
  "3" "00:00:04,400 --> 00:00:05,800" "The last one." "" > sample.srt

printf '%s\r\n' \
  "{12}{49}Tolvane burns subtitles|into the picture." \
  "{50}{98}{y:i}Second entry, right after the first." \
  "{110}{144}The last one." > sample.sub
