#include "output/SoundClock.h"

#include <cstdlib>
#include <limits>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/mathematics.h>
}

namespace SOUNDCLOCK {
namespace {

constexpr int64_t kMost = std::numeric_limits<int64_t>::max() / 4;

bool Valid(AVRational base) { return base.num > 0 && base.den > 0; }

}  // namespace

void SoundClock::Start(AVRational sourceBase, AVRational outBase, int sampleRate) {
  started_ = true;
  outBase_ = outBase;
  sampleRate_ = Valid(outBase) && sampleRate > 0 ? sampleRate : 0;
  rounding_ = 0;
  next_ = kNoTime;
  if (sampleRate_ == 0 || !Valid(sourceBase)) return;
  const int64_t tick =
      av_rescale_q_rnd(1, sourceBase, outBase, AVRounding(AV_ROUND_UP | AV_ROUND_PASS_MINMAX));
  if (tick > 1 && tick < kMost) rounding_ = tick;
}

int64_t SoundClock::Ticks(int64_t samples) const {
  if (sampleRate_ == 0 || samples <= 0 || samples > kMost) return 0;
  return av_rescale_q(samples, AVRational{1, sampleRate_}, outBase_);
}

int64_t SoundClock::Place(Times& times, int64_t samples) {
  const int64_t length = Ticks(samples);
  int64_t& anchor = times.Dts != kNoTime ? times.Dts : times.Pts;
  if (rounding_ > 0 && length > 0) {
    if (anchor != kNoTime && next_ != kNoTime && std::abs(anchor) < kMost &&
        std::abs(next_) < kMost) {
      const int64_t off = next_ - anchor;
      if (off != 0 && std::abs(off) <= rounding_) {
        if (times.Pts != kNoTime && &anchor != &times.Pts && std::abs(times.Pts) < kMost)
          times.Pts += off;
        anchor = next_;
        ++moved_;
      }
    }
    times.Duration = length;
  }
  const int64_t step = times.Duration > 0 ? times.Duration : length;
  if (anchor != kNoTime && std::abs(anchor) < kMost && step > 0 && step < kMost)
    next_ = anchor + step;
  else
    next_ = kNoTime;
  return step > 0 ? step : 1;
}

int64_t SoundClock::PlacePacket(AVPacket& packet, const AVCodecParameters& parameters) {
  Times times{packet.pts == AV_NOPTS_VALUE ? kNoTime : packet.pts,
              packet.dts == AV_NOPTS_VALUE ? kNoTime : packet.dts, packet.duration};
  const int64_t step = Place(times, av_get_audio_frame_duration2(
                                        const_cast<AVCodecParameters*>(&parameters), packet.size));
  packet.pts = times.Pts == kNoTime ? AV_NOPTS_VALUE : times.Pts;
  packet.dts = times.Dts == kNoTime ? AV_NOPTS_VALUE : times.Dts;
  packet.duration = times.Duration;
  return step;
}

}  // namespace SOUNDCLOCK
