// The alignment on the second maker's films (OtherFilms), whose rhythm comes
// from real subtitle files and whose cues start up to half a second before
// the voice: a file that is only late is placed whole, none of its cues
// named as fitting no timing and the file not refused; another film's
// subtitles are refused. Films 9001 to 9004 were kept out of the tuning;
// film 104's files replay what went wrong while tuning.
// The full goal, kind by kind, is measured by bench/align_unseen
// (AlignUnseen.OtherKinds); it is not met on these films yet (README).
// Skipped without the shared subtitle files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

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

// Trusted, no cue named as fitting no timing, and the cues where they belong.
void ExpectPlacedWhole(const otherfilms::Film& film, const aligncases::Case& made) {
  const othercases::Result result = othercases::Run(film, made);
  EXPECT_TRUE(result.Outcome.Trusted) << Explained(film, made, result);
  EXPECT_EQ(result.NotPlaced, 0u) << Explained(film, made, result);
  EXPECT_GE(aligncases::Summarise({result.Outcome}).Within200, 0.95)
      << Explained(film, made, result);
}

}  // namespace

// As it was reported: a file 4.2 s late was re-timed right, yet its first
// cues were named as fitting no timing and a job with it was stopped.
TEST(AlignOtherFilmsTest, ALateFileIsPlacedWhole) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  const testsupport::TempDir dir;
  for (const uint32_t seed : {9001u, 9002u}) {
    const otherfilms::Film& film = otherfilms::MakeFilm(dir.path(), seed);
    const aligncases::Case made = othercases::MakeCase(
        film, film, Kind::Offset, othercases::Timing{.Offset = -4.2, .Edits = {}});
    ExpectPlacedWhole(film, made);
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

// As it was reported: a 45 s music passage at 5:00 that the file's release
// lacks, and the whole file 2 s early besides. The cues before the passage
// need +2 s, those after it +47 s. Read a stretch at a time, the cues before
// it are placed; those after it are not placed in full yet (README), but
// none may be left 45 s out unless named as fitting no timing.
TEST(AlignOtherFilmsTest, AMusicPassageWithTheFileOffIsNotTimedWrong) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  const testsupport::TempDir dir;
  const otherfilms::Film& film = otherfilms::MakeFilm(
      dir.path(), 9004, {.DialogueSeconds = 420.0, .Passages = {{300.0, 45.0}}});
  ASSERT_EQ(film.Passages.size(), 1u);
  const otherfilms::Passage& passage = film.Passages[0];
  // Its sung tune changes like speech, but goes on without a breath: it
  // was taken for 45 s of talk.
  double heard = 0.0;
  const auto first = std::size_t(passage.Start / SPEECHTRACK::kFrameSeconds);
  const auto end = std::size_t((passage.Start + passage.Length) / SPEECHTRACK::kFrameSeconds);
  for (std::size_t t = first; t < end && t < film.Track.Speech.size(); ++t)
    heard += film.Track.Speech[t];
  EXPECT_LT(heard, 0.1 * double(end - first));
  const aligncases::Case made = othercases::MakeCase(
      film, film, Kind::Insert,
      othercases::Timing{.Offset = 2.0, .Edits = {{true, passage.Start, passage.Length}}});
  const othercases::Result result = othercases::Run(film, made);
  ASSERT_TRUE(result.Outcome.Trusted) << Explained(film, made, result);
  ASSERT_EQ(result.Outcome.Errors.size(), made.FileCues.size());
  std::vector<bool> named(made.FileCues.size());
  const std::string& found = result.Outcome.Found;
  for (std::size_t at = found.find("not placed "); at != std::string::npos;
       at = found.find("not placed ", at + 1)) {
    std::size_t first = 0, end = 0;
    if (std::sscanf(found.c_str() + at, "not placed %zu-%zu", &first, &end) == 2)
      for (std::size_t i = first; i < end && i < named.size(); ++i) named[i] = true;
  }
  std::size_t before = 0, beforeRight = 0, wrongUnnamed = 0;
  for (std::size_t i = 0; i < made.FileCues.size(); ++i) {
    const bool right = result.Outcome.Errors[i] <= 0.2;
    wrongUnnamed += !right && !named[i];
    if (made.FileCues[i].Start + 2.0 < passage.Start) ++before, beforeRight += right;
  }
  EXPECT_EQ(wrongUnnamed, 0u) << Explained(film, made, result);
  EXPECT_GE(double(beforeRight), 0.95 * double(before)) << Explained(film, made, result);
}

// Files that went wrong while tuning, on a film under a loud played score
// whose speech onsets are blurred: the search set the right offset aside
// for stretches of chance and refused. The whole file at its best coarse
// offset holds, and is taken.
TEST(AlignOtherFilmsTest, ALateFileUnderAScoreIsPlacedWhole) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  const testsupport::TempDir dir;
  const otherfilms::Film& film = otherfilms::MakeFilm(dir.path(), 104);
  for (const othercases::Timing& timing :
       {othercases::Timing{.Offset = 8.66, .Edits = {}},
        othercases::Timing{.Offset = 4.15, .Edits = {}},
        othercases::Timing{.Offset = -6.54, .Ratio = 0.999298, .Edits = {}},
        othercases::Timing{.Offset = -2.40, .Ratio = 1.000984, .Edits = {}}}) {
    ExpectPlacedWhole(film, othercases::MakeCase(film, film, Kind::Offset, timing));
  }
}

// Files refused while tuning: a third of their lines start 0.2 to 0.6 s
// before the voice, beyond what a start on time may miss it by, and under
// the noise the lines cover speech little more than the film does. The
// onsets a little after their starts tell: of files that already fit, of
// late files whose last third shows its timing by those onsets alone, and
// of a file with a scene put in, whose lines after it took a chance offset
// for their cover and are given the one their starts show; of a drifting
// file, whose coarse peak the drift smears, by its starts ahead of the
// onsets met far beyond chance; and of a file with 12 s put in at 132 s,
// whose lines' cover barely stands out of chance under the rumble and whose
// whole file fits no one offset: read a stretch at a time, by the offsets
// at which its starts meet onsets.
TEST(AlignOtherFilmsTest, FilesWithLinesAheadOfTheVoiceArePlaced) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  const testsupport::TempDir dir;
  const otherfilms::Film& white = otherfilms::MakeFilm(dir.path(), 201);
  const otherfilms::Film& rumble = otherfilms::MakeFilm(dir.path(), 205);
  const struct {
    const otherfilms::Film* Film;
    Kind Of;
    uint32_t Seed;
  } cases[] = {{&white, Kind::Fits, 201000},   {&white, Kind::Fits, 201006},
               {&rumble, Kind::Fits, 201010},  {&white, Kind::Offset, 201000},
               {&white, Kind::Offset, 201002}, {&white, Kind::Insert, 201008},
               {&rumble, Kind::Drift, 201010}, {&rumble, Kind::Insert, 201004}};
  for (const auto& one : cases) {
    ExpectPlacedWhole(*one.Film, othercases::MakeCase(*one.Film, *one.Film, one.Of, one.Seed));
  }
}

// A file 12 s early: the search split its first 32 cues off onto two
// offsets of chance, which their cover paid for, the lines leading the voice.
// The stretch beside the right one fits at its offset, but a run of onsets
// within it at its own offset had set the rest of its cues aside, and then
// the stretch before it. Both go back to the right offset whole.
TEST(AlignOtherFilmsTest, StretchesOfChanceBesideARightOneGoBackToItWhole) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  const testsupport::TempDir dir;
  const otherfilms::Film& film = otherfilms::MakeFilm(dir.path(), 303);
  ExpectPlacedWhole(film, othercases::MakeCase(film, film, Kind::Offset, 301002));
}

// Over a crowd the detector hears as talk, every pause is filled: the lines'
// cover finds the offset only to a second or so, and their starts meet no
// more onsets than chance. Late files were taken a second wrong while
// tuning; they are refused, and a file that fits is still left as it is.
TEST(AlignOtherFilmsTest, AFileOverACrowdIsNotMovedOnItsCoverAlone) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  const testsupport::TempDir dir;
  const otherfilms::Film& film = otherfilms::MakeFilm(dir.path(), 202);
  for (const uint32_t seed : {201001u, 201007u}) {
    const aligncases::Case late = othercases::MakeCase(film, film, Kind::Offset, seed);
    const othercases::Result result = othercases::Run(film, late);
    EXPECT_FALSE(result.Outcome.Trusted) << Explained(film, late, result);
    ExpectPlacedWhole(film, othercases::MakeCase(film, film, Kind::Fits, seed));
  }
}
