#pragma once

// A picture subtitle stream (PGS, VobSub, DVB) read as text and written as
// SubRip in UTF-8: the stream of a .sup or .idx file, or a source's track.
// Each set that shows letters is a cue, timed as the set shows; the sets are
// read on both cores, one reader a thread. A restyled burn reads its
// pictures here too, and draws the cues as text.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "media/SubtitleTrack.h"

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

// A set that showed letters, on the stream's clock.
struct Cue {
  int64_t StartMs = 0, EndMs = 0;
  std::string Text;  // as SubRip writes it: lines apart, <i>, {\an8}
};

// Empty when the SubRip file is written, else why not (nothing is written).
// pulse: as for ReadCues.
std::string WriteText(VELAVCODEC::VelAvCodec& decoder, const Request& request, Result& result,
                      const std::function<void()>& pulse = nullptr);

// The languages to read in: the asked ones, else the track's where this
// machine reads it, else English.
std::string LanguagesFor(const std::string& asked, const std::string& trackLanguage);

// The stream's sets decoded and read as text in result.Languages, on both
// cores; with forcedOnly, only the forced pictures (a track marked forced is
// forced whole). Sets with no letters give no cue; damaged packets give one
// line of result.Log. pulse, when given, is called now and then while the
// readers work, so that a window keeps answering. Empty on success, else
// the error.
std::string ReadCues(const VELAVCODEC::VelAvCodec& libraries, const SUBTITLETRACK::TrackInfo& info,
                     const std::vector<SUBTITLETRACK::TrackPacket>& packets, bool forcedOnly,
                     std::vector<Cue>& cues, Result& result,
                     const std::function<void()>& pulse = nullptr);

// The cues as a SubRip file's text.
std::string SubRipOf(const std::vector<Cue>& cues);

}  // namespace PICTURESTOTEXT
