#pragma once

// The keyframes of an H.264 or HEVC video stream, read from its packets
// alone (nothing is decoded): where each one is and whether the pictures
// from it on decode without any before it. A job that copies the stretches
// no subtitle touches cuts the stream at these. Read from a reading of the
// file of its own; errors are values.
#include <cstdint>
#include <string>
#include <vector>

namespace VELAVCODEC {

struct EntryPoints;

struct IndexedKeyframe {
  double Seconds = 0.0;  // presentation time, on the stream's clock
  bool Closed = true;
  // How long before it the pictures decoded after it are shown: its
  // leading pictures.
  double LeadingSeconds = 0.0;
};

struct KeyframeIndex {
  std::string Codec;                       // "h264" or "hevc"
  std::vector<IndexedKeyframe> Keyframes;  // in presentation order
  double EndSeconds = 0.0;                 // the end of the last picture
  // The most a picture is shown before one decoded ahead of it (B-pictures).
  double ReorderSeconds = 0.0;
  // How far ahead of its time a keyframe is decoded (its presentation time
  // less its decoding time), the most of any; 0 where no decoding times are
  // stored.
  double DecodeLeadSeconds = 0.0;
  int64_t Pictures = 0;
  // Times at which the stream divides in two: every picture shown before
  // one is decoded before every picture shown from it on. In ascending
  // order; empty when a packet carries no time.
  std::vector<double> CutSeconds;
};

// The cut times of a stream whose pictures, in decoding order, are shown at
// these times.
std::vector<double> CutsOf(const std::vector<double>& shownInDecodingOrder);

// A time on a stream's clock in seconds, as the index states keyframes: a
// reader that finds the same keyframe by its packet compares equal.
inline double StreamSeconds(int64_t time, int32_t num, int32_t den) {
  return double(time) * num / den;
}

// False with `error` when the file can't be read or the stream is neither
// H.264 nor HEVC.
bool ReadKeyframeIndex(const EntryPoints& api, const std::string& fileName, int streamIndex,
                       KeyframeIndex& index, std::string& error);

}  // namespace VELAVCODEC
