#pragma once

// Which stretches of a source's pictures a job may copy as they are and
// which it must decode, draw on and encode again: only those a subtitle is
// shown in are encoded. Every stretch runs from a keyframe to the next one
// (or to the stream's end), since a copied stretch has to decode on its own
// and an encoded one starts afresh with a keyframe of its own.
//
// A keyframe whose leading pictures refer back past it (an open group of
// pictures) ties the groups on both sides of it: its leading pictures are
// shown before it but decoded after it, so neither group can be copied
// while the other is encoded. Encoding runs on, both ways, to keyframes
// that need nothing before them.
#include <cstddef>
#include <vector>

namespace SMARTPLAN {

struct Keyframe {
  double Seconds = 0.0;  // its presentation time
  bool Closed = true;    // no picture from it on refers to one before it
};

// A subtitle is on the pictures whose times lie in [From, To).
struct Shown {
  double From = 0.0, To = 0.0;
};

struct Stretch {
  std::size_t FirstKeyframe = 0, EndKeyframe = 0;  // keyframes [first, end)
  double FromSeconds = 0.0, ToSeconds = 0.0;       // to the next keyframe, or the end
  bool Encode = false;
  // An encoded stretch's pictures before this are copied all the same (see
  // CopyHeads); FromSeconds unless so.
  double EncodeFromSeconds = 0.0;
};

// keyframes: in presentation order; streamEnd: the end of the last picture.
// Pictures before the first keyframe belong to no stretch (nothing decodes
// them). No keyframes: no stretches.
std::vector<Stretch> Plan(const std::vector<Keyframe>& keyframes, double streamEnd,
                          const std::vector<Shown>& shown);

// An encoded stretch that starts on a closed keyframe after a copied one
// (or first) need not be encoded from its keyframe: where the stream can be
// cut before the first subtitle in it (cuts: the stream's cut times,
// ascending), the pictures before the cut are copied with the stretch
// before and decoded only for the pictures after them to refer to.
void CopyHeads(std::vector<Stretch>& plan, const std::vector<Keyframe>& keyframes,
               const std::vector<double>& cuts, const std::vector<Shown>& shown);

// Seconds of the plan's pictures that are encoded.
double EncodedSeconds(const std::vector<Stretch>& plan);

}  // namespace SMARTPLAN
