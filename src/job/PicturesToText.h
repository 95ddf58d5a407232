#pragma once

// A picture subtitle stream (PGS, VobSub, DVB) read as text and written as
// SubRip in UTF-8: the stream of a .sup or .idx file, or a source's track.
// Each set that shows letters is a cue, timed as the set shows; the sets are
// read on both cores, one reader a thread.
#include <cstdint>
#include <string>
#include <vector>

namespace VELAVCODEC {
class VelAvCodec;
}

namespace PICTURESTOTEXT {

struct Request {
  std::string Source;     // a film, or the .sup or .idx itself
  std::string Pictures;   // a .sup or .idx in place of the source's track
  int Track = 0;          // the source's subtitle track, from 1 (0: the first picture track)
  std::string Output;     // the SubRip file
  std::string Languages;  // Tesseract's ("eng", "fra+deu"); empty: the track's, else eng
  bool ForcedOnly = false;
};

struct Result {
  int64_t Sets = 0;  // sets that showed something
  int64_t Cues = 0;  // cues written
  std::string Languages;
  std::vector<std::string> Log;
};

// Empty when the SubRip file is written, else why not (nothing is written).
std::string WriteText(VELAVCODEC::VelAvCodec& decoder, const Request& request, Result& result);

}  // namespace PICTURESTOTEXT
