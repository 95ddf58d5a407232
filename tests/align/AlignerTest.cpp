// The search on speech tracks made directly (no audio): a two-hour film's
// drift and frame-rate conversion, splits, a file that already fits, and
// cues that belong to no speech at all.
#include "align/Aligner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

using ALIGNER::CueTime;
using SPEECHTRACK::SpeechTrack;

namespace {

struct Made {
  SpeechTrack Track;
  std::vector<CueTime> Said;  // where the speech is, on the film's clock
};

// Sentences of 1.2 to 4 s with pauses of 0.4 to 3 s, each a cue.
Made MakeTrack(double seconds, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> sentence(1.2, 4.0), pause(0.4, 3.0);
  Made made;
  const std::size_t frames = std::size_t(seconds * 100);
  made.Track.Speech.assign(frames, 0);
  made.Track.Onset.assign(frames, 0);
  for (double at = 2.0 + pause(random);; at += pause(random)) {
    const double end = at + sentence(random);
    if (end * 100 >= double(frames)) break;
    made.Track.Onset[std::size_t(std::lround(at * 100))] = 1;
    for (auto t = std::size_t(std::lround(at * 100)); t < std::size_t(std::lround(end * 100)); ++t)
      made.Track.Speech[t] = 1;
    made.Said.push_back({at, end});
    at = end;
  }
  return made;
}

// The cues as a file timed another way has them: `toFile` from the film's
// clock to the file's.
std::vector<CueTime> Retimed(const std::vector<CueTime>& said,
                             const std::function<double(double)>& toFile) {
  std::vector<CueTime> cues;
  for (const CueTime& cue : said) cues.push_back({toFile(cue.Start), toFile(cue.End)});
  return cues;
}

// The largest of the 95 smallest errors in a hundred.
double P95Error(const ALIGNER::Finding& finding, const std::vector<CueTime>& cues,
                const std::vector<CueTime>& said) {
  std::vector<double> errors;
  for (std::size_t i = 0; i < cues.size(); ++i)
    errors.push_back(std::fabs(finding.Map.Apply(cues[i].Start) - said[i].Start));
  std::sort(errors.begin(), errors.end());
  return errors[errors.size() * 95 / 100];
}

}  // namespace

TEST(AlignerTest, TwoHourDriftAndFrameRateConversionAreFoundToTheFrame) {
  const Made film = MakeTrack(7200.0, 11);
  const struct {
    double ratio, offset;  // film = ratio * file + offset
  } cases[] = {{1001.0 / 1000.0, 3.0}, {25.0 / 23.976, -20.0}, {23.976 / 24.0, 310.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ratio);
    const auto cues = Retimed(film.Said, [&](double t) { return (t - c.offset) / c.ratio; });
    const ALIGNER::Finding finding = ALIGNER::Align(film.Track, cues);
    ASSERT_TRUE(finding.Trusted) << finding.Reason;
    EXPECT_EQ(finding.Map.Stretches.size(), 1u);
    EXPECT_NEAR(finding.Map.Ratio, c.ratio, 1e-5);
    EXPECT_LE(P95Error(finding, cues, film.Said), 0.02);
  }
}

TEST(AlignerTest, SplitsAreFoundInGapsAndOnlyWhereTheyPay) {
  const Made film = MakeTrack(1200.0, 12);
  const std::size_t n = film.Said.size();
  // The file's release had an advert of 45 s after a fifth of the cues, lacked
  // a scene of 30 s (whose lines it has not) after two fifths, and had 12 s
  // more after four fifths.
  const double advert = film.Said[n / 5].Start - 0.2, scene = film.Said[2 * n / 5].Start - 0.2,
               more = film.Said[4 * n / 5].Start - 0.2;
  std::vector<CueTime> said, cues;
  std::vector<std::size_t> firsts = {0};
  double before = 2.0;
  for (const CueTime& cue : film.Said) {
    if (cue.Start > scene - 30.0 && cue.Start < scene) continue;
    const double shift = 2.0 + (cue.Start > advert ? 45.0 : 0.0) +
                         (cue.Start > scene ? -30.0 : 0.0) + (cue.Start > more ? 12.0 : 0.0);
    if (shift != before) firsts.push_back(cues.size());
    before = shift;
    said.push_back(cue);
    cues.push_back({cue.Start + shift, cue.End + shift});
  }
  ASSERT_EQ(firsts.size(), 4u);
  const ALIGNER::Finding finding = ALIGNER::Align(film.Track, cues);
  ASSERT_TRUE(finding.Trusted) << finding.Reason;
  ASSERT_EQ(finding.Map.Stretches.size(), 4u);
  for (std::size_t k = 1; k < 4; ++k) {
    const auto& stretch = finding.Map.Stretches[k];
    EXPECT_EQ(stretch.FirstCue, firsts[k]) << k;
    // In the gap before its first cue.
    EXPECT_GT(stretch.FromSeconds, cues[stretch.FirstCue - 1].End) << k;
    EXPECT_LT(stretch.FromSeconds, cues[stretch.FirstCue].Start) << k;
  }
  EXPECT_LE(P95Error(finding, cues, said), 0.02);
  // Each stretch is as sure of itself as the whole file.
  ASSERT_EQ(finding.StretchConfidence.size(), 4u);
  for (const double confidence : finding.StretchConfidence)
    EXPECT_NEAR(confidence, finding.Confidence, 0.1);
}

TEST(AlignerTest, AFileThatFitsIsLeftAsItIs) {
  const Made film = MakeTrack(600.0, 13);
  // Exact, or a tenth of a second early as people often time lines; a third
  // of a second is a file to move.
  for (const double early : {0.0, 0.1, 0.3}) {
    SCOPED_TRACE(early);
    const ALIGNER::Finding finding =
        ALIGNER::Align(film.Track, Retimed(film.Said, [=](double t) { return t - early; }));
    EXPECT_TRUE(finding.Trusted) << finding.Reason;
    EXPECT_EQ(finding.Map.IsIdentity(), early < 0.15);
    EXPECT_NEAR(finding.Map.Apply(100.0) - 100.0, early < 0.15 ? 0.0 : early, 0.015);
    EXPECT_GT(finding.Confidence, 0.8);
  }
}

TEST(AlignerTest, AStrayCueDaysLateNeitherCostsNorMisleads) {
  const Made film = MakeTrack(600.0, 16);
  std::vector<CueTime> cues = Retimed(film.Said, [](double t) { return t + 7.0; });
  cues.push_back({400000.0, 400002.0});
  const ALIGNER::Finding finding = ALIGNER::Align(film.Track, cues);
  ASSERT_TRUE(finding.Trusted) << finding.Reason;
  EXPECT_EQ(finding.Map.Ratio, 1.0);
  ASSERT_EQ(finding.Map.Stretches.size(), 1u);
  EXPECT_NEAR(finding.Map.Stretches[0].Offset, -7.0, 0.015);
}

TEST(AlignerTest, CuesOfNoSpeechAreRefusedWithAReason) {
  const Made film = MakeTrack(600.0, 14);
  const Made other = MakeTrack(600.0, 15);
  ALIGNER::Finding finding = ALIGNER::Align(film.Track, other.Said);
  EXPECT_FALSE(finding.Trusted);
  EXPECT_EQ(finding.Reason, "the subtitles don't match the speech");
  EXPECT_LT(finding.Confidence, 0.35);

  SpeechTrack silent;
  silent.Speech.assign(60000, 0);
  silent.Onset.assign(60000, 0);
  finding = ALIGNER::Align(silent, film.Said);
  EXPECT_FALSE(finding.Trusted);
  EXPECT_EQ(finding.Reason, "no speech was found in the audio");
  EXPECT_EQ(ALIGNER::Align(film.Track, {film.Said[0]}).Reason,
            "the subtitle file has too few cues");
}

TEST(AlignerTest, LinesOfASceneTheFilmLacksAreSetAsideAndNamed) {
  const Made film = MakeTrack(1200.0, 17);
  const std::size_t n = film.Said.size();
  // The file's release had a scene of 90 s after the first third, with lines
  // this film has no speech for; everything after it is 90 s later.
  const double scene = film.Said[n / 3].Start - 0.2;
  std::mt19937 random(5);
  std::uniform_real_distribution<double> line(1.2, 3.5), pause(0.5, 2.5);
  std::vector<CueTime> cues, said;
  std::size_t sceneFirst = 0, sceneEnd = 0;
  for (const CueTime& cue : film.Said) {
    if (cue.Start > scene && sceneEnd == 0) {
      sceneFirst = cues.size();
      for (double at = scene + 2.0 + pause(random); at < scene + 86.0; at += pause(random)) {
        const double end = at + line(random);
        cues.push_back({at, end});
        said.push_back({-1.0, -1.0});
        at = end;
      }
      sceneEnd = cues.size();
    }
    const double shift = 2.0 + (cue.Start > scene ? 90.0 : 0.0);
    cues.push_back({cue.Start + shift, cue.End + shift});
    said.push_back(cue);
  }
  const ALIGNER::Finding finding = ALIGNER::Align(film.Track, cues);
  ASSERT_TRUE(finding.Trusted) << finding.Reason;
  // Every line the film has is where its speech is.
  for (std::size_t i = 0; i < cues.size(); ++i) {
    if (said[i].Start < 0.0) continue;
    EXPECT_NEAR(finding.Map.Apply(cues[i].Start), said[i].Start, 0.02) << i;
  }
  // The scene's lines, and only those, are named; most of them.
  std::size_t named = 0;
  for (const auto& unplaced : finding.NotPlaced) {
    EXPECT_GE(unplaced.FirstCue, sceneFirst);
    EXPECT_LE(unplaced.EndCue, sceneEnd);
    EXPECT_DOUBLE_EQ(unplaced.FromSeconds, cues[unplaced.FirstCue].Start);
    named += unplaced.EndCue - unplaced.FirstCue;
  }
  EXPECT_GE(named, (sceneEnd - sceneFirst) / 2) << sceneEnd - sceneFirst;
}

// Another timing kind's small steps are no splits: a drift of 1 in 600 over
// twenty minutes is a ratio, not a staircase of offsets a second apart.
TEST(AlignerTest, ADriftIsARatioNotAStaircaseOfSplits) {
  const Made film = MakeTrack(1200.0, 18);
  const auto cues = Retimed(film.Said, [](double t) { return (t - 4.0) / (1.0 + 1.0 / 600.0); });
  const ALIGNER::Finding finding = ALIGNER::Align(film.Track, cues);
  ASSERT_TRUE(finding.Trusted) << finding.Reason;
  EXPECT_EQ(finding.Map.Stretches.size(), 1u);
  EXPECT_NEAR(finding.Map.Ratio, 1.0 + 1.0 / 600.0, 2e-5);
  EXPECT_LE(P95Error(finding, cues, film.Said), 0.02);
}
