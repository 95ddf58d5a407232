#pragma once

// Subtitle files timed for another release of a varied film, kind by kind,
// and how far the alignment puts their cues from where the lines are. A file
// is the film's lines passed through a timing: an offset either way; a
// frame-rate conversion or a drift; an insert (the film has a passage the
// file's release lacked: music, or a scene whose lines the file has not);
// a cut (the file's release had a scene this film lacks: its lines have no
// speech here, and the line before may run across the cut); or two to five
// of those. The figures are reckoned over the cues whose lines the film has.
#include <cstdint>
#include <string>
#include <vector>

#include "align/Aligner.h"
#include "align/VariedFilms.h"

namespace aligncases {

enum class Kind { Fits, Offset, FrameRate, Drift, Insert, Cut, Splits, OtherFilm };
constexpr Kind kKinds[] = {Kind::Fits,   Kind::Offset, Kind::FrameRate, Kind::Drift,
                           Kind::Insert, Kind::Cut,    Kind::Splits,    Kind::OtherFilm};
const char* KindName(Kind kind);

struct Case {
  aligncases::Kind Of = aligncases::Kind::Fits;
  std::string Description;
  std::vector<ALIGNER::CueTime> FileCues;
  std::vector<double> Truth;  // where each cue's line starts in the film; NaN if it has none
};

// `other` gives the lines of another film's subtitles.
Case MakeCase(const variedfilms::BaseFilm& film, const variedfilms::BaseFilm& other, Kind kind,
              uint32_t seed);

struct Outcome {
  bool Trusted = false;
  double LargestMove = 0.0;    // of any cue, from the file's time
  std::vector<double> Errors;  // of the cues with a line in the film
  std::string Found;           // the timing found, in a line
};
Outcome Run(const variedfilms::BaseFilm& film, const Case& aCase);

struct Figures {
  std::size_t Files = 0, Refused = 0, Cues = 0;
  double Median = 0.0, P95 = 0.0, Within200 = 0.0;
  double WorstLargestMove = 0.0;
};
Figures Summarise(const std::vector<Outcome>& outcomes);

// The goal for the kind: the cues' spread for the timings, the file left as
// it is when it fits, refusal of another film's subtitles.
bool MeetsGoal(Kind kind, const Figures& figures);
std::string FiguresLine(Kind kind, const Figures& figures);

}  // namespace aligncases
