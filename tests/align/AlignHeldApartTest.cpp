// The alignment's goal on films its tuning never saw: varied films (voices
// of two engines, music sung and played, quiet, noise) of seeds kept apart
// from those the method was tuned on, and for each kind of timing 24
// subtitle files made for them. Each kind must keep its cues' median start
// error within 40 ms, the 95th percentile within 200 ms and 90% of cues
// within 200 ms; a file that fits stays as it is, and another film's
// subtitles are refused.
#include <gtest/gtest.h>

#include "align/AlignCases.h"
#include "support/TestSupport.h"

TEST(AlignHeldApartTest, EveryKindOfTimingMeetsTheGoal) {
  const testsupport::TempDir dir;
  std::vector<variedfilms::BaseFilm> films;
  for (uint32_t seed = 301; seed <= 306; ++seed)
    films.push_back(variedfilms::MakeBaseFilm(dir.path(), seed));
  for (const aligncases::Kind kind : aligncases::kKinds) {
    std::vector<aligncases::Outcome> outcomes;
    std::string misses;
    for (uint32_t i = 0; i < 24; ++i) {
      const auto& film = films[i % films.size()];
      const aligncases::Case made =
          aligncases::MakeCase(film, films[(i + 1) % films.size()], kind, 300000 + i);
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
