#pragma once

// A second way of making films for the alignment, kept apart from
// VariedFilms so that the method is not measured only on the films it was
// tuned on. The dialogue keeps the rhythm of a real subtitle file read in
// place (its cue starts, lengths and gaps; never its words): each line is
// spoken in made-up words by one of several characters (espeak-ng in many
// languages and variants, flite), starting a little after the cue or, now
// and then, before it, and stopping before the cue ends; some lines carry a
// speech on without a pause, some are spoken over by a second person, some
// come through a telephone. Under it: white, pink or brown noise, a crowd of
// quiet voices, a rumble, bangs, a room's echo, music played or sung, and
// passages of music alone. Some films are 5.1 with the dialogue in the
// centre below the music in the fronts. Everything is mixed by ffmpeg's
// filters and drawn from the seed.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "align/SpeechTrack.h"

namespace otherfilms {

namespace fs = std::filesystem;

struct Line {
  double Start;  // the cue, on the film's clock: where a right file puts it
  double End;
};

struct Passage {
  double Start;
  double Length;
};

struct Film {
  uint32_t Seed = 0;
  std::string Description;
  fs::path File;  // Matroska, with a few black pictures
  double Seconds = 0.0;
  std::vector<Line> Lines;
  std::vector<Line> Voices;       // where someone speaks
  std::vector<Passage> Passages;  // music with no dialogue
  SPEECHTRACK::SpeechTrack Track;
};

// A film's recipe beyond what the seed draws, for the cases that went wrong.
struct Shape {
  double DialogueSeconds = 200.0;
  // Music passages at these film times (0: drawn), of these lengths.
  std::vector<Passage> Passages;
};

// The real subtitle files whose rhythm the films take, as lists of cue
// times; empty when the shared fixtures are absent.
std::vector<std::vector<Line>> Rhythms();

// Made once per seed and shape in a run; the spoken lines are kept in `dir`.
// Throws std::runtime_error when a tool fails.
const Film& MakeFilm(const fs::path& dir, uint32_t seed, const Shape& shape = {});

}  // namespace otherfilms
