#pragma once

// The media of the window's job tests: two seconds of 96x64 pictures (50 at
// 25 a second) with sound, and a subtitle file with one entry.
#include "support/TestSupport.h"

namespace testsupport {

inline void MakeJobMedia(const TempDir& dir) {
  Ffmpeg(
      "-f lavfi -i testsrc2=size=96x64:rate=25:duration=2 -f lavfi -i sine=duration=2 "
      "-c:v ffv1 -c:a pcm_s16le " +
      (dir / "source.mkv").string());
  WriteFile(dir / "subs.srt", "1\r\n00:00:00,200 --> 00:00:01,000\r\nHello\r\n\r\n");
}

}  // namespace testsupport
