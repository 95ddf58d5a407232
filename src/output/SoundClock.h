#pragma once

// Copied sound timed as its codec counts it. A container that stores times
// coarser than the sound's samples (Matroska counts milliseconds) gives the
// 1024-sample frames of 44.1 kHz AAC at 23 and 24 ms; written as they are
// into a container that counts samples, the frames would come out of uneven
// length, and a first packet without a length would look like a pause. Where
// a packet's stored time lies within the source clock's rounding of where the
// samples before it end, it takes the samples' time; anything further off is
// where the source itself moves on, and stays.
#include <cstdint>

extern "C" {
#include <libavutil/rational.h>
}

struct AVCodecParameters;
struct AVPacket;

namespace SOUNDCLOCK {

constexpr int64_t kNoTime = INT64_MIN;

class SoundClock {
 public:
  // sourceBase: the clock the packets were stored on; outBase: the output
  // stream's; sampleRate: the sound's (0 when not known: nothing is moved).
  void Start(AVRational sourceBase, AVRational outBase, int sampleRate);
  bool Started() const { return started_; }

  struct Times {
    int64_t Pts = kNoTime, Dts = kNoTime, Duration = 0;
  };
  // One packet's times in the output's ticks, and its length in samples (0
  // when the codec does not tell). Returns the step to the next packet, in
  // ticks, for the checks of rising times (at least 1).
  int64_t Place(Times& times, int64_t samples);
  // A packet of the output's stream placed so (AV_NOPTS_VALUE: no time), its
  // length in samples as its codec counts them.
  int64_t PlacePacket(AVPacket& packet, const AVCodecParameters& parameters);
  // Packets moved onto the samples' clock.
  int64_t Moved() const { return moved_; }

 private:
  int64_t Ticks(int64_t samples) const;

  AVRational outBase_{1, 1};
  int sampleRate_ = 0;
  // One tick of the source's clock in the output's, rounded up; 0 when the
  // source's clock is not coarser than the output's.
  int64_t rounding_ = 0;
  int64_t next_ = kNoTime;
  int64_t moved_ = 0;
  bool started_ = false;
};

}  // namespace SOUNDCLOCK
