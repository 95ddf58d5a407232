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
// that need nothing before them. Where no picture after the leading ones
// refers to them (HEVC), the keyframe parts the groups instead: after an
// encoded group its leading pictures are encoded with that group and the
// source's are left out; before one, the keyframe and its leading pictures
// are the copied head of the encoded stretch.
#include <cstddef>
#include <vector>

namespace SMARTPLAN {

struct Keyframe {
  double Seconds = 0.0;         // its presentation time
  bool Closed = true;           // no picture from it on refers to one before it
  double LeadingSeconds = 0.0;  // how long its leading pictures are shown
};

enum class OpenKeyframes { Tie, Part };

// A subtitle is on the pictures whose times lie in [From, To).
struct Shown {
  double From = 0.0, To = 0.0;
};

struct Stretch {
  std::size_t FirstKeyframe = 0, EndKeyframe = 0;  // keyframes [first, end)
  double FromSeconds = 0.0, ToSeconds = 0.0;       // to the next keyframe, or the end
  bool Encode = false;
  // An encoded stretch's pictures before this are copied all the same;
  // FromSeconds unless so.
  double EncodeFromSeconds = 0.0;
  // A copied stretch after an encoded one, from an open keyframe that parts
  // them: its leading pictures are encoded with the stretch before.
  bool EncodesLeading = false;
};

// keyframes: in presentation order; streamEnd: the end of the last picture.
// Pictures before the first keyframe belong to no stretch (nothing decodes
// them). No keyframes: no stretches.
//
// An encoded stretch that starts on a keyframe the decoder can start from
// (a closed one, or an open one that parts), after a copied stretch or
// first, need not be encoded from there: where the stream can be cut
// before its first subtitle (cuts: the stream's cut times, ascending), the
// pictures before the cut are copied with the stretch before and decoded
// only for the pictures after them to refer to.
std::vector<Stretch> Plan(const std::vector<Keyframe>& keyframes, double streamEnd,
                          const std::vector<Shown>& shown, const std::vector<double>& cuts = {},
                          OpenKeyframes open = OpenKeyframes::Tie);

// Seconds of the plan's pictures that are encoded, leading pictures
// encoded in place of the source's among them.
double EncodedSeconds(const std::vector<Stretch>& plan, const std::vector<Keyframe>& keyframes);

}  // namespace SMARTPLAN
