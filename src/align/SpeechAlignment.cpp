#include "align/SpeechAlignment.h"

#include <cmath>
#include <cstdio>
#include <new>

#include "align/SpeechTrack.h"

namespace SPEECHALIGNMENT {
namespace {

std::string Seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.3f s", value);
  return text;
}

std::string RatioName(double ratio) {
  struct Named {
    double value;
    const char* name;
  };
  static const Named names[] = {{25.0 / 23.976, " (23.976 to 25 pictures a second)"},
                                {24.0 / 23.976, " (23.976 to 24)"},
                                {25.0 / 24.0, " (24 to 25)"},
                                {23.976 / 25.0, " (25 to 23.976)"},
                                {23.976 / 24.0, " (24 to 23.976)"},
                                {24.0 / 25.0, " (25 to 24)"}};
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", ratio);
  std::string line = text;
  for (const Named& named : names)
    if (std::fabs(ratio - named.value) < 1e-9) line += named.name;
  if (ratio == 1.0) line += " (unchanged)";
  return line;
}

}  // namespace

std::string ClockText(double seconds, char beforeFraction) {
  const long long ms = std::llround(std::max(seconds, 0.0) * 1000.0);
  char text[40];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld%c%03lld", ms / 3600000, ms / 60000 % 60,
                ms / 1000 % 60, beforeFraction, ms % 1000);
  return text;
}

std::vector<ALIGNER::CueTime> CueTimes(const SUBTITLEFILE::SubtitleDocument& document,
                                       double videoFramesPerSecond) {
  std::vector<ALIGNER::CueTime> cues;
  for (const SUBTITLEFILE::SubtitleCue& cue : document.Cues)
    if (cue.Usable)
      cues.push_back({document.Seconds(cue.Start, videoFramesPerSecond),
                      document.Seconds(cue.End, videoFramesPerSecond)});
  return cues;
}

namespace {

// Samples between two pulses: ten seconds of audio.
constexpr int64_t kPulseSamples = 10 * AUDIOSAMPLES::kSampleRate;

// The detector and the decoder are gone before the aligner starts, so that
// what they keep per frame of a long film is not held beside its work.
bool ReadSpeech(const std::string& source, int audioStream,
                const AUDIOSAMPLES::AudioLibraryNames& libraries, double videoFramesPerSecond,
                SPEECHTRACK::SpeechTrack& track, Alignment& alignment, std::string& error,
                const std::function<void()>& pulse) {
  SPEECHTRACK::SpeechDetector detector;
  if (!detector.Ready()) {
    error = detector.ErrorText;
    return false;
  }
  AUDIOSAMPLES::AudioSampleReader reader(libraries);
  int64_t sincePulse = 0;
  const bool read = reader.Read(source, audioStream,
                                [&](const float* samples, std::size_t count, int64_t position) {
                                  detector.Add(samples, count, position);
                                  sincePulse += int64_t(count);
                                  if (pulse && sincePulse >= kPulseSamples) {
                                    sincePulse = 0;
                                    pulse();
                                  }
                                });
  if (!read) {
    error = "can't read the audio for alignment: " + reader.ErrorText;
    return false;
  }
  alignment.AudioChannels = reader.Channels;
  alignment.VideoFramesPerSecond =
      videoFramesPerSecond > 0.0 ? videoFramesPerSecond : reader.VideoFramesPerSecond;
  track = detector.Finish();
  return true;
}

bool ReadAndAlign(const std::string& source, int audioStream,
                  const AUDIOSAMPLES::AudioLibraryNames& libraries, const CuesAtRate& cuesAt,
                  double videoFramesPerSecond, Alignment& alignment, std::string& error,
                  const std::function<void()>& pulse) {
  SPEECHTRACK::SpeechTrack track;
  if (!ReadSpeech(source, audioStream, libraries, videoFramesPerSecond, track, alignment, error,
                  pulse))
    return false;
  alignment.Finding = ALIGNER::Align(track, cuesAt(alignment.VideoFramesPerSecond));
  return true;
}

}  // namespace

bool FindTiming(const std::string& source, int audioStream,
                const AUDIOSAMPLES::AudioLibraryNames& libraries,
                const SUBTITLEFILE::SubtitleDocument& document, double videoFramesPerSecond,
                Alignment& alignment, std::string& error, const std::function<void()>& pulse) {
  return FindTiming(
      source, audioStream, libraries,
      [&document](double framesPerSecond) { return CueTimes(document, framesPerSecond); },
      videoFramesPerSecond, alignment, error, pulse);
}

bool FindTiming(const std::string& source, int audioStream,
                const AUDIOSAMPLES::AudioLibraryNames& libraries,
                const std::vector<ALIGNER::CueTime>& cues, Alignment& alignment, std::string& error,
                const std::function<void()>& pulse) {
  return FindTiming(
      source, audioStream, libraries, [&cues](double) { return cues; }, 0.0, alignment, error,
      pulse);
}

bool FindTiming(const std::string& source, int audioStream,
                const AUDIOSAMPLES::AudioLibraryNames& libraries, const CuesAtRate& cuesAt,
                double videoFramesPerSecond, Alignment& alignment, std::string& error,
                const std::function<void()>& pulse) {
  try {
    return ReadAndAlign(source, audioStream, libraries, cuesAt, videoFramesPerSecond, alignment,
                        error, pulse);
  } catch (const std::bad_alloc&) {
    error = "not enough memory to align the subtitles";
    return false;
  }
}

std::string CueRangeText(const ALIGNER::Finding::Unplaced& unplaced) {
  if (unplaced.EndCue == unplaced.FirstCue + 1) return "cue " + std::to_string(unplaced.EndCue);
  return "cues " + std::to_string(unplaced.FirstCue + 1) + " to " + std::to_string(unplaced.EndCue);
}

std::string NotPlacedText(const ALIGNER::Finding& finding) {
  std::string text;
  for (const ALIGNER::Finding::Unplaced& unplaced : finding.NotPlaced)
    text += (text.empty() ? "" : ", ") + CueRangeText(unplaced);
  return text;
}

std::vector<std::string> ReportLines(const ALIGNER::Finding& finding) {
  std::vector<std::string> lines;
  const TIMEMAP::TimeMap& map = finding.Map;
  // With splits, each stretch says how sure it is.
  const auto sureness = [&](std::size_t k) -> std::string {
    if (map.Stretches.size() < 2 || k >= finding.StretchConfidence.size()) return {};
    char text[32];
    std::snprintf(text, sizeof text, ", confidence %.2f", finding.StretchConfidence[k]);
    return text;
  };
  lines.push_back("Offset: " + Seconds(map.Stretches[0].Offset) + sureness(0));
  lines.push_back("Ratio: " + RatioName(map.Ratio));
  for (std::size_t k = 1; k < map.Stretches.size(); ++k)
    lines.push_back("Split " + std::to_string(k) + ": before cue " +
                    std::to_string(map.Stretches[k].FirstCue + 1) + " (" +
                    ClockText(map.Stretches[k].FromSeconds, '.') + " in the file), offset " +
                    Seconds(map.Stretches[k].Offset) + sureness(k));
  for (const ALIGNER::Finding::Unplaced& unplaced : finding.NotPlaced)
    lines.push_back("Not placed: " + CueRangeText(unplaced) + " (" +
                    ClockText(unplaced.FromSeconds, '.') + " to " +
                    ClockText(unplaced.ToSeconds, '.') +
                    " in the file) fit no timing; left at their neighbours' offset");
  char confidence[96];
  std::snprintf(confidence, sizeof confidence,
                "Confidence: %.2f (cues on speech %.0f%%, film %.0f%%; peak %.1f x chance)",
                finding.Confidence, 100.0 * finding.CueSpeechShare, 100.0 * finding.FilmSpeechShare,
                finding.PeakOverChance);
  lines.push_back(confidence);
  return lines;
}

}  // namespace SPEECHALIGNMENT
