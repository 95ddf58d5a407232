#include "job/PictureClock.h"

#include <cmath>

namespace PICTURECLOCK {
namespace {

// A clock that jumps further than this is a discontinuity of the source
// (a broadcast's restarted counter, a damaged stretch), not a long picture.
constexpr double kLongestGapSeconds = 30.0;
constexpr double kLongestStepBackSeconds = 1.0;

}  // namespace

// The nearest place; a picture half-way between two takes the earlier one,
// where the one before it is still due.
int64_t PictureClock::PlaceOf(double seconds) const {
  return int64_t(std::ceil((seconds - origin_) * rate_ - 0.5 - 1e-6));
}

void PictureClock::Start(double rate) {
  *this = PictureClock();
  if (rate > 0 && std::isfinite(rate)) rate_ = rate;
}

PictureClock::Placement PictureClock::Place(bool timed, double seconds) {
  Placement placement;
  int64_t place = next_;
  if (timed && std::isfinite(seconds)) {
    place = PlaceOf(seconds);
    const bool jumped = place > next_ + int64_t(kLongestGapSeconds * rate_) ||
                        place < next_ - int64_t(kLongestStepBackSeconds * rate_) - 1;
    if (jumped) {
      origin_ = seconds - double(next_) / rate_;
      place = next_;
    }
  }
  if (place < next_) {
    // Its place is taken (or lies before the first picture).
    if (next_ == 0)
      place = 0;
    else {
      ++dropped_;
      placement.Drop = true;
      return placement;
    }
  }
  placement.Repeats = place - next_;
  repeated_ += placement.Repeats;
  next_ = place + 1;
  return placement;
}

int64_t PictureClock::RepeatsUntil(double endSeconds) {
  if (next_ == 0 || !std::isfinite(endSeconds)) return 0;
  const int64_t end = PlaceOf(endSeconds);
  if (end <= next_ || end > next_ + int64_t(kLongestGapSeconds * rate_)) return 0;
  const int64_t repeats = end - next_;
  repeated_ += repeats;
  next_ = end;
  return repeats;
}

}  // namespace PICTURECLOCK
