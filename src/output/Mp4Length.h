#pragma once

// The length of a finished fragmented MP4, written into its movie header.
// The muxer writes the moov with the first fragment, before the length is
// known, and states 0; an mehd would need room that the file does not have.
// Readers that do not walk every fragment then take the start of the last
// fragment, from the random-access table at the end, for the end. The
// header's duration field is already there, so overwriting it moves nothing:
// a process killed while it happens leaves a file that plays as before.
#include <cstdint>
#include <string>

namespace MP4LENGTH {

// ticks * num / den seconds.
struct Length {
  int64_t ticks = 0;
  int64_t num = 1, den = 1;
};

enum class Outcome {
  Stated,     // the movie header holds the length
  NoLength,   // the length is not a positive time
  Unopened,   // no regular file that can be read and written
  NotFound,   // no moov ahead of the first fragment, or no mvhd in it
  Malformed,  // box sizes or header fields that do not hold together
  TooLong,    // the length does not fit the header's field
  Unwritten,  // reading or writing the file failed
};

// Anything but Stated leaves the file as it was; nothing is thrown.
Outcome StateLength(const std::string& path, const Length& length);

// Why the length was not stated, for the log; empty for Stated and for
// NoLength (a file without pictures has no length to state).
std::string UnstatedReason(Outcome outcome);

}  // namespace MP4LENGTH
