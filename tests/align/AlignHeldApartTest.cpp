// The alignment's goal on films its tuning never saw: varied films (voices
// of two engines, music sung and played, quiet, noise) of seeds kept apart
// from those the method was tuned on, and for each kind of timing 24
// subtitle files made for them. Each kind must keep its cues' median start
// error within 40 ms, the 95th percentile within 200 ms and 90% of cues
// within 200 ms; a file that fits stays as it is, and another film's
// subtitles are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "align/AlignCases.h"
#include "support/TestSupport.h"

TEST(AlignHeldApartTest, EveryKindOfTimingMeetsTheGoal) {
  const testsupport::TempDir dir;
  std::vector<variedfilms::BaseFilm> films;
  for (uint32_t seed = 901; seed <= 906; ++seed)
    films.push_back(variedfilms::MakeBaseFilm(dir.path(), seed));
  for (const aligncases::Kind kind : aligncases::kKinds) {
    std::vector<aligncases::Outcome> outcomes;
    std::string misses;
    for (uint32_t i = 0; i < 24; ++i) {
      const auto& film = films[i % films.size()];
      const aligncases::Case made =
          aligncases::MakeCase(film, films[(i + 1) % films.size()], kind, 901000 + i);
      outcomes.push_back(aligncases::Run(film, made));
      if (!aligncases::MeetsGoal(kind, aligncases::Summarise({outcomes.back()})))
        misses += "\n  " + film.Description + "\n  " + made.Description + "\n  found" +
                  outcomes.back().Found;
    }
    const aligncases::Figures figures = aligncases::Summarise(outcomes);
    EXPECT_TRUE(aligncases::MeetsGoal(kind, figures))
        << aligncases::FiguresLine(kind, figures) << misses;
  }
}

// Files that went wrong while the method was tuned, each replayed alone.
// A stretch that mixed a missing scene's lines with the lines after it was
// set aside whole (film 414, loud drums under the dialogue); the cues set
// aside pulled their neighbours' offset 0.2 s off (film 415); under a sung
// bed with quiet passages elsewhere, every speech start was found 0.25 s
// early and the files with it (film 616); under loud drums and plucked
// chords, taken for a voice between the lines, few lines started on an
// onset and files with splits were refused (film 802); files that fit but
// run a few hundredths of a second late throughout, under a sung bed, were
// judged where they were left rather than at the timing found, and refused
// (film 1303).
TEST(AlignHeldApartTest, CasesThatOnceWentWrongMeetTheGoal) {
  const testsupport::TempDir dir;
  const struct {
    uint32_t Film;
    aligncases::Kind Kind;
    uint32_t Case;
  } replays[] = {{414, aligncases::Kind::Cut, 411023},    {415, aligncases::Kind::Cut, 411014},
                 {616, aligncases::Kind::Offset, 601015}, {616, aligncases::Kind::Splits, 601015},
                 {802, aligncases::Kind::Splits, 801001}, {802, aligncases::Kind::Splits, 801021},
                 {1303, aligncases::Kind::Fits, 1303004}, {1303, aligncases::Kind::Fits, 1303008}};
  std::map<uint32_t, variedfilms::BaseFilm> films;
  for (const auto& replay : replays) {
    if (!films.count(replay.Film))
      films.emplace(replay.Film, variedfilms::MakeBaseFilm(dir.path(), replay.Film));
    const variedfilms::BaseFilm& film = films.at(replay.Film);
    const aligncases::Case made = aligncases::MakeCase(film, film, replay.Kind, replay.Case);
    const aligncases::Outcome outcome = aligncases::Run(film, made);
    const aligncases::Figures figures = aligncases::Summarise({outcome});
    EXPECT_TRUE(aligncases::MeetsGoal(replay.Kind, figures))
        << film.Description << "\n"
        << made.Description << "\nfound" << outcome.Found << "\n"
        << aligncases::FiguresLine(replay.Kind, figures);
  }
  // Under the drums, most lines after a pause start on an onset, and most
  // onsets are at such a start, not on a beat.
  const variedfilms::BaseFilm& drums = films.at(802);
  const auto onsetNear = [&](double seconds) {
    const auto frame = int64_t(std::lround(seconds / 0.01));
    for (int64_t t = std::max<int64_t>(frame - 8, 0);
         t <= frame + 8 && t < int64_t(drums.Track.Onset.size()); ++t)
      if (drums.Track.Onset[std::size_t(t)]) return true;
    return false;
  };
  std::vector<double> starts;
  for (std::size_t i = 0; i < drums.Cues.size(); ++i)
    if (i == 0 || drums.Cues[i].Start - drums.Cues[i - 1].End >= 0.3)
      starts.push_back(drums.Cues[i].Start);
  const auto onStart = std::count_if(starts.begin(), starts.end(), onsetNear);
  const auto onsets = std::count(drums.Track.Onset.begin(), drums.Track.Onset.end(), 1);
  EXPECT_GE(double(onStart), 0.45 * double(starts.size())) << onStart << " of " << starts.size();
  EXPECT_GE(double(onStart), 0.45 * double(onsets)) << onStart << " of " << onsets << " onsets";

  // The speech starts themselves, under the sung bed.
  const variedfilms::BaseFilm& sung = films.at(616);
  std::vector<double> errors;
  for (const speechmedia::Cue& line : sung.Cues) {
    double nearest = 1e9;
    for (std::size_t t = 0; t < sung.Track.Onset.size(); ++t)
      if (sung.Track.Onset[t] && std::fabs(double(t) * 0.01 - line.Start) < std::fabs(nearest))
        nearest = double(t) * 0.01 - line.Start;
    errors.push_back(nearest);
  }
  std::sort(errors.begin(), errors.end());
  // A start is found at the voice or a little after it, never long before.
  EXPECT_GE(errors[errors.size() / 10], -0.03);
  EXPECT_LE(std::fabs(errors[errors.size() / 2]), 0.03);
}
