// The speech track of made films: dialogue found where the sentences are,
// with their starts to the frame or two, and a sung melody or noise alone
// taken for no dialogue at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "align/SpeechAlignment.h"
#include "align/SpeechMedia.h"
#include "align/SpeechTrack.h"
#include "media/AudioSamples.h"
#include "subtitles/SubtitleUnit.h"
#include "support/TestSupport.h"

using speechmedia::Film;
using SPEECHTRACK::SpeechTrack;

namespace {

SpeechTrack TrackOf(const Film& film) {
  SPEECHTRACK::SpeechDetector detector;
  EXPECT_TRUE(detector.Ready()) << detector.ErrorText;
  AUDIOSAMPLES::AudioSampleReader reader;
  EXPECT_TRUE(reader.Read(film.File.string(), 0,
                          [&](const float* samples, std::size_t count, int64_t position) {
                            detector.Add(samples, count, position);
                          }))
      << reader.ErrorText;
  return detector.Finish();
}

// Share of the cues' time that is speech, and of the rest.
std::pair<double, double> Shares(const SpeechTrack& track,
                                 const std::vector<speechmedia::Cue>& cues) {
  std::vector<uint8_t> inCue(track.Speech.size(), 0);
  for (const auto& cue : cues)
    for (auto t = std::size_t(cue.Start * 100);
         t < std::min(inCue.size(), std::size_t(cue.End * 100)); ++t)
      inCue[t] = 1;
  double speechIn = 0, in = 0, speechOut = 0, out = 0;
  for (std::size_t t = 0; t < inCue.size(); ++t) {
    (inCue[t] ? in : out) += 1;
    (inCue[t] ? speechIn : speechOut) += track.Speech[t];
  }
  return {speechIn / std::max(in, 1.0), speechOut / std::max(out, 1.0)};
}

// How far the first dialogue frame after a pause is from each cue's start.
std::vector<double> OnsetErrors(const SpeechTrack& track,
                                const std::vector<speechmedia::Cue>& cues) {
  std::vector<double> errors;
  for (const auto& cue : cues) {
    double nearest = 1e9;
    for (std::size_t t = 0; t < track.Onset.size(); ++t)
      if (track.Onset[t] && std::fabs(t * 0.01 - cue.Start) < std::fabs(nearest))
        nearest = t * 0.01 - cue.Start;
    errors.push_back(nearest);
  }
  return errors;
}

}  // namespace

TEST(SpeechTrackTest, DialogueIsFoundWithItsStarts) {
  testsupport::TempDir dir;
  // Nine starts in ten found to 30 ms over noise, to 60 ms under a melody.
  for (const auto& [music, precision] : {std::pair{0.0, 0.03}, std::pair{0.1, 0.06}}) {
    SCOPED_TRACE(music);
    const Film film = speechmedia::MakeFilm(dir.path(), "talk",
                                            {.Seed = 5, .Seconds = 60.0, .MusicLevel = music});
    const SpeechTrack track = TrackOf(film);
    const auto [inside, outside] = Shares(track, film.Cues);
    EXPECT_GT(inside, 0.8);
    EXPECT_LT(outside, 0.1);
    std::vector<double> errors = OnsetErrors(track, film.Cues);
    std::string all;
    for (double e : errors) all += std::to_string(e) + " ";
    std::sort(errors.begin(), errors.end(),
              [](double a, double b) { return std::fabs(a) < std::fabs(b); });
    EXPECT_LE(std::fabs(errors[errors.size() * 9 / 10]), precision) << all;
  }
}

TEST(SpeechTrackTest, MelodyAndNoiseAreNotDialogue) {
  testsupport::TempDir dir;
  const Film film = speechmedia::MakeFilm(
      dir.path(), "music", {.Seed = 6, .Seconds = 60.0, .Speech = false, .MusicLevel = 1.0});
  EXPECT_LT(TrackOf(film).SpeechSeconds(), 1.0);
  const Film noise =
      speechmedia::MakeFilm(dir.path(), "noise", {.Seed = 6, .Seconds = 30.0, .Speech = false});
  EXPECT_LT(TrackOf(noise).SpeechSeconds(), 1.0);
}

TEST(SpeechTrackTest, AGapInTheStreamLeavesLaterSpeechInPlace) {
  testsupport::TempDir dir;
  const Film film = speechmedia::MakeFilm(dir.path(), "talk", {.Seed = 7, .Seconds = 60.0});
  // Ten seconds of packets taken out, the rest keeping their timestamps.
  Film gap = film;
  gap.File = dir / "gap.mkv";
  testsupport::Ffmpeg("-i " + film.File.string() +
                      " -map 0:a -af \"aselect='not(between(t,20,30))'\" -c:a pcm_s16le " +
                      gap.File.string());
  const SpeechTrack track = TrackOf(gap);
  EXPECT_NEAR(track.Seconds(), 60.0, 0.1);
  EXPECT_EQ(std::count(track.Speech.begin() + 2010, track.Speech.begin() + 2990, 1), 0);
  std::vector<speechmedia::Cue> after;
  std::copy_if(film.Cues.begin(), film.Cues.end(), std::back_inserter(after),
               [](const speechmedia::Cue& cue) { return cue.Start > 30.5; });
  ASSERT_GE(after.size(), 5u);
  for (const double error : OnsetErrors(track, after)) EXPECT_LE(std::fabs(error), 0.03);
}

TEST(SpeechTrackTest, AMissingResamplerFailsTheReadAlone) {
  AUDIOSAMPLES::AudioLibraryNames names = AUDIOSAMPLES::AudioLibraryNames::Defaults();
  names.SwResample = "libswresample-none.so";
  AUDIOSAMPLES::AudioSampleReader reader(names);
  bool called = false;
  EXPECT_FALSE(
      reader.Read("any.mkv", 0, [&](const float*, std::size_t, int64_t) { called = true; }));
  EXPECT_EQ(reader.ErrorText, "libswresample-none.so not found");
  EXPECT_FALSE(called);
  // The libraries were let go: the next read binds them again.
  AUDIOSAMPLES::AudioSampleReader again;
  EXPECT_FALSE(again.Read("/nonexistent.mkv", 0, [](const float*, std::size_t, int64_t) {}));
  EXPECT_EQ(again.ErrorText, "can't open /nonexistent.mkv");
}

TEST(SpeechTrackTest, FindingTheTimingPulsesWhileItReads) {
  testsupport::TempDir dir;
  const Film film = speechmedia::MakeFilm(dir.path(), "talk", {.Seed = 8, .Seconds = 60.0});
  SUBTITLEFILE::SubtitleFile subtitles;
  ASSERT_TRUE(subtitles.OpenContents(
      "a.srt", speechmedia::SubRip(film.Cues, [](double t) { return t - 1.5; })));
  SPEECHALIGNMENT::Alignment alignment;
  std::string error;
  int pulses = 0;
  ASSERT_TRUE(SPEECHALIGNMENT::FindTiming(
      film.File.string(), 0, AUDIOSAMPLES::AudioLibraryNames::Defaults(), subtitles.Document(), 0.0,
      alignment, error, [&] { ++pulses; }))
      << error;
  EXPECT_GE(pulses, 5);  // every ten seconds of the minute
  EXPECT_LE(pulses, 6);
  std::string report;
  for (const std::string& line : SPEECHALIGNMENT::ReportLines(alignment.Finding))
    report += line + "\n";
  EXPECT_TRUE(alignment.Finding.Trusted) << alignment.Finding.Reason << "\n" << report;
  EXPECT_NEAR(alignment.Finding.Map.Stretches[0].Offset, 1.5, 0.03);
  EXPECT_EQ(alignment.AudioChannels, "mono");
  EXPECT_NEAR(alignment.VideoFramesPerSecond, 25.0, 1e-9);
}

// A hiss as loud in the speech band as the voice: the band's total level
// hardly rises with a line, but the bands the voice lies in do.
TEST(SpeechTrackTest, DialogueIsFoundUnderASteadyHiss) {
  testsupport::TempDir dir;
  for (const auto& [level, least] : {std::pair{0.15, 0.5}, std::pair{0.2, 0.35}}) {
    SCOPED_TRACE(level);
    const Film film = speechmedia::MakeFilm(dir.path(), "hiss",
                                            {.Seed = 9, .Seconds = 60.0, .NoiseLevel = level});
    const auto [inside, outside] = Shares(TrackOf(film), film.Cues);
    EXPECT_GE(inside, least);
    EXPECT_LT(outside, 0.05);
    const Film hiss =
        speechmedia::MakeFilm(dir.path(), "hiss-alone",
                              {.Seed = 9, .Seconds = 30.0, .Speech = false, .NoiseLevel = level});
    EXPECT_LT(TrackOf(hiss).SpeechSeconds(), 1.0);
  }
}
