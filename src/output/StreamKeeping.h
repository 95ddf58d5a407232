#pragma once

// Which of the source's other streams a Matroska, MP4 or WebM output keeps
// beside the burned picture and the chosen sound (AVI keeps none).
#include <algorithm>
#include <cstdint>
#include <vector>

namespace MEDIAOUTPUT {

struct TrackKeeping {
  enum class Choice { All, None, Listed };
  Choice Which = Choice::All;
  // With Listed: the tracks kept, counted from 1 among the source's tracks of
  // the kind, as the stream choices count them.
  std::vector<int> Listed;
  bool Keeps(int track) const {
    return Which == Choice::All || (Which == Choice::Listed &&
                                    std::find(Listed.begin(), Listed.end(), track) != Listed.end());
  }
  bool operator==(const TrackKeeping&) const = default;
};

struct StreamKeeping {
  TrackKeeping Sound, Subtitles;
  // The source's chapters and the container's tags (its title, ...).
  bool Chapters = true;
  // Fonts and pictures attached to the source (Matroska holds them).
  bool Attachments = true;
  bool operator==(const StreamKeeping&) const = default;
};

// The source's subtitle track the job draws, from 1 among its subtitle
// tracks (0: the subtitles come from elsewhere), and whether only its forced
// pictures are drawn: the rest of such a track stays a soft track.
struct DrawnTrack {
  int32_t Track = 0;
  bool ForcedOnly = false;
};

}  // namespace MEDIAOUTPUT
