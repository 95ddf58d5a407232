#pragma once

// Which of the source's subtitle tracks a job burns when the user names
// languages (--subtitle-language) or asks for the forced track
// (--subtitle-track forced), and why, for the log.
#include <cstdint>
#include <string>
#include <vector>

namespace TRACKCHOICE {

struct TrackFacts {
  int Track = 0;  // from 1, as the subtitle tracks are counted
  std::string Language;
  bool Forced = false;  // marked forced by the container
  bool Readable = true;
  int64_t Events = -1;  // its packets, where they were counted
};

struct Choice {
  int Track = 0;  // 0: none
  std::string Why;
};

// A track in one of the languages, the first language first; a forced one
// where forcedOnly asks for it, else a full one.
Choice TrackInLanguages(const std::vector<TrackFacts>& tracks,
                        const std::vector<std::string>& languages, bool forcedOnly);

// The forced track: one marked forced (of the languages' order where it
// holds one); else among the tracks of a language, one with fewer than a
// quarter of the events of the fullest track of that language (films carry
// a short track of signs and songs beside the full one); else none. The
// languages are the user's, or else the chosen sound's.
Choice ForcedTrack(const std::vector<TrackFacts>& tracks,
                   const std::vector<std::string>& languages);

// Whether ForcedTrack needs the tracks' events counted: no track is marked.
bool NeedsEvents(const std::vector<TrackFacts>& tracks);

}  // namespace TRACKCHOICE
