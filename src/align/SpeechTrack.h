#pragma once

// Where a film's audio holds dialogue, frame by frame (10 ms), and where
// dialogue starts after a pause. The voice detector alone takes a sung theme
// or a held chord for a voice, so a frame counts only when the speech band
// is also above the track's floor and keeps changing the way syllables make
// it change; sustained notes keep their spectrum still. Where dialogue
// starts is taken from the detector at its strictest, which leaves out the
// drums and plucks of a played score that would otherwise fill the pauses.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace SPEECHTRACK {

constexpr double kFrameSeconds = 0.01;

struct SpeechTrack {
  std::vector<uint8_t> Speech;  // 1 where the frame holds dialogue
  std::vector<uint8_t> Onset;   // 1 where dialogue starts after a pause and goes on
  double Seconds() const { return double(Speech.size()) * kFrameSeconds; }
  double SpeechSeconds() const;
};

// Fed the mono samples at AUDIOSAMPLES::kSampleRate as they are decoded;
// only a few numbers per frame are kept, so a long film costs little memory.
class SpeechDetector {
 public:
  SpeechDetector();
  ~SpeechDetector();
  SpeechDetector(const SpeechDetector&) = delete;
  SpeechDetector& operator=(const SpeechDetector&) = delete;

  // False (with ErrorText) when the voice detector can't be made.
  bool Ready() const { return ErrorText.empty(); }
  // `position`: the first sample's place from the track's start; a jump
  // forward is silence, a step back overlaps what was already taken.
  void Add(const float* samples, std::size_t count, int64_t position);
  // Called once, at the end of the track: it lets go of the band levels.
  SpeechTrack Finish();

  std::string ErrorText;

 private:
  struct Analysis;
  void Feed(const float* samples, std::size_t count);
  void AnalyseFrame();
  void AddSilentFrames(int64_t frames);
  std::vector<uint8_t> Dialogue(const std::vector<uint8_t>& voice, float floor,
                                const std::vector<uint8_t>& aboveBands) const;

  std::unique_ptr<Analysis> analysis_;
  int64_t nextPosition_ = 0;
};

}  // namespace SPEECHTRACK
