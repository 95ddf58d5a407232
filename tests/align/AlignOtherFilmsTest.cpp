// The alignment on the second maker's films (OtherFilms), whose rhythm comes
// from real subtitle files and whose cues start up to half a second before
// the voice: a file that is only late is placed whole, none of its cues
// named as fitting no timing and the file not refused; another film's
// subtitles are refused. Films 9001 to 9003 were kept out of the tuning.
// The full goal, kind by kind, is measured by bench/align_unseen
// (AlignUnseen.OtherKinds); it is not met on these films yet (README).
// Skipped without the shared subtitle files.
#include <gtest/gtest.h>

#include "align/OtherCases.h"
#include "align/OtherFilms.h"
#include "support/TestSupport.h"

namespace {

using aligncases::Kind;

std::string Explained(const otherfilms::Film& film, const aligncases::Case& made,
                      const othercases::Result& result) {
  return film.Description + "\n" + made.Description + "\nfound" + result.Outcome.Found + "\n" +
         othercases::FiguresLine(made.Of, {result});
}

}  // namespace

// As it was reported: a file 4.2 s late was re-timed right, yet its first
// cues were named as fitting no timing and a job with it was stopped.
TEST(AlignOtherFilmsTest, ALateFileIsPlacedWhole) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  const testsupport::TempDir dir;
  for (const uint32_t seed : {9001u, 9002u}) {
    const otherfilms::Film& film = otherfilms::MakeFilm(dir.path(), seed);
    const aligncases::Case made =
        othercases::MakeCase(film, film, Kind::Offset, othercases::Timing{.Offset = -4.2});
    const othercases::Result result = othercases::Run(film, made);
    const aligncases::Figures figures = aligncases::Summarise({result.Outcome});
    EXPECT_TRUE(result.Outcome.Trusted) << Explained(film, made, result);
    EXPECT_EQ(result.NotPlaced, 0u) << Explained(film, made, result);
    EXPECT_GE(figures.Within200, 0.95) << Explained(film, made, result);
  }
}

TEST(AlignOtherFilmsTest, AnotherFilmsSubtitlesAreRefused) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  const testsupport::TempDir dir;
  std::vector<const otherfilms::Film*> films;
  for (uint32_t seed = 9001; seed <= 9003; ++seed)
    films.push_back(&otherfilms::MakeFilm(dir.path(), seed));
  for (uint32_t i = 0; i < 6; ++i) {
    const otherfilms::Film& film = *films[i % films.size()];
    const aligncases::Case made =
        othercases::MakeCase(film, *films[(i + 1) % films.size()], Kind::OtherFilm, 9001000 + i);
    const othercases::Result result = othercases::Run(film, made);
    EXPECT_FALSE(result.Outcome.Trusted) << Explained(film, made, result);
  }
}
