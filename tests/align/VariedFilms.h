#pragma once

// Films made many ways for measuring alignment: two or three characters
// spoken by espeak-ng and flite voices at their own rates, over noise of a
// drawn level and, under the dialogue or in passages of their own, a sung
// melody or an instrumental with drums; passages with no dialogue at all
// (music, or quiet). Everything is drawn from the seed, so a seed names a
// film. The speech track is found by the program's own detector.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "align/SpeechMedia.h"
#include "align/SpeechTrack.h"

namespace variedfilms {

namespace fs = std::filesystem;

struct Passage {
  double Start;
  double Length;
};

struct BaseFilm {
  uint32_t Seed = 0;
  std::string Description;
  double Seconds = 0.0;
  std::vector<speechmedia::Cue> Cues;  // where each line really is
  std::vector<Passage> Passages;       // stretches with no dialogue
  SPEECHTRACK::SpeechTrack Track;
};

// Spoken lines are kept in `dir` and reused by later films.
BaseFilm MakeBaseFilm(const fs::path& dir, uint32_t seed);

}  // namespace variedfilms
