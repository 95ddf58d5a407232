#pragma once

// Places decoded pictures, by their presentation times, on the output's
// constant frame rate: output picture k shows the source picture due at time
// k / rate. Pictures that come late for their place are dropped, places
// that no picture reaches repeat the picture before. A source of constant
// rate maps picture k to place k.
#include <cstdint>

namespace PICTURECLOCK {

class PictureClock {
 public:
  // rate: output pictures per second.
  void Start(double rate);

  // What to write for a picture of time seconds (from the video's start;
  // untimed pictures take the next place): first the picture before it
  // Repeats times, then this one, unless Drop.
  struct Placement {
    int64_t Repeats = 0;
    bool Drop = false;
  };
  Placement Place(bool timed, double seconds);
  // The repeats of the last picture that make the video last until end.
  int64_t RepeatsUntil(double endSeconds);

  // The place of a picture of that time, as Place would put it on a clock
  // that has not jumped.
  int64_t PlaceOf(double seconds) const;

  int64_t NextPlace() const { return next_; }
  int64_t Repeated() const { return repeated_; }
  int64_t Dropped() const { return dropped_; }

 private:
  double rate_ = 25.0;
  double origin_ = 0.0;  // moved when the source's clock jumps
  int64_t next_ = 0;
  int64_t repeated_ = 0;
  int64_t dropped_ = 0;
};

}  // namespace PICTURECLOCK
