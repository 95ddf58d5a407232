#pragma once

// Subtitle files timed for another release of the second maker's films,
// kind by kind, and how the alignment does on them. A file is the film's
// own cues passed through a timing: an offset, a frame-rate pair, a drift;
// an insert (the film has a music passage, or a scene, the file's release
// lacked); a cut (the file has a scene's lines the film has no speech
// for, their rhythm taken from another film); or two or three of those, two
// of them 30 s apart. The truth is where the film's own cue starts.
#include <cstdint>
#include <string>
#include <vector>

#include "align/AlignCases.h"
#include "align/OtherFilms.h"

namespace othercases {

struct Edit {
  bool Insert = true;  // the film has [At, At + Length) that the file lacks
  double At = 0.0;     // on the film's clock
  double Length = 0.0;
};

struct Timing {
  double Offset = 0.0;  // film = Ratio * file + Offset, after the edits
  double Ratio = 1.0;
  std::vector<Edit> Edits;
};

// A case of the kind drawn from the seed; `other` lends its lines to a cut
// and to another film's file.
aligncases::Case MakeCase(const otherfilms::Film& film, const otherfilms::Film& other,
                          aligncases::Kind kind, uint32_t seed);
// The file for a timing given in full.
aligncases::Case MakeCase(const otherfilms::Film& film, const otherfilms::Film& other,
                          aligncases::Kind kind, const Timing& timing);

struct Result {
  aligncases::Outcome Outcome;
  std::size_t NotPlaced = 0;  // cues named as fitting no timing
  std::size_t Cues = 0;
};
Result Run(const otherfilms::Film& film, const aligncases::Case& made);

// The kind's figures, with the share of cues not placed.
std::string FiguresLine(aligncases::Kind kind, const std::vector<Result>& results);
// The goal of aligncases::MeetsGoal, and for a true timing also no file
// refused, 95% of cues within 200 ms and at most 1 cue in 200 not placed.
bool MeetsGoal(aligncases::Kind kind, const std::vector<Result>& results);

}  // namespace othercases
