#pragma once

// HDR pictures (PQ or HLG, BT.2020) brought to SDR (BT.709, 8 bits) for an
// output that cannot keep HDR: without this they would be written with their
// code values kept, flat and pale. The luminance goes through the EETF of
// ITU-R BT.2390 in the PQ domain, from the source's peak to a target whose
// SDR white the source's reference white (203 cd/m2) lands on; what lies
// above reference white is compressed into the super-white steps (up to 109%)
// rather than clipped. Black stays black, hue is kept (the three channels
// are scaled together), and colours outside BT.709 are clipped.
//
// The mapping is looked up in a table made once per job: every luma code by
// the two chroma values on a grid. A block of four luma samples takes the
// table's answer at its mean luma and chroma (bilinear between chroma
// nodes); each sample then follows the neutral curve from there.
#include <array>
#include <cstdint>
#include <vector>

#include "media/private/EntryPoints.h"
#include "picture/PictureColour.h"

namespace VELAVCODEC {

// The curve alone, for a source peak and transfer; luminance in cd/m2.
class ToneCurve {
 public:
  ToneCurve(int transfer, double sourcePeakNits);
  // Display luminance of 10-bit video-level Y'CbCr (normalised: y 0..1,
  // cb and cr -0.5..0.5) into 8-bit BT.709 video levels.
  void Map(double y, double cb, double cr, double out[3]) const;
  double TargetPeak() const { return targetPeak_; }
  double SdrWhite() const { return sdrWhite_; }
  // The EETF on a luminance, in cd/m2.
  double Eetf(double nits) const;

 private:
  bool pq_;
  double sourcePeak_, targetPeak_ = 0, sdrWhite_ = 0;
  double sourcePq_ = 0, targetPq_ = 0;  // the peaks' PQ signals
};

// The peak a source's metadata states, held to 400 .. 10000 cd/m2; 1000 when
// it states none (and for HLG, whose reference display peaks there).
double SourcePeakNits(const PICTURECOLOUR::PictureForm& form);

class ToneMapper {
 public:
  explicit ToneMapper(const EntryPoints& api) : api_(api) {}
  ~ToneMapper();
  ToneMapper(const ToneMapper&) = delete;
  ToneMapper& operator=(const ToneMapper&) = delete;

  // For pictures of this size (both even) of this source; false when memory
  // is short or the source is not HDR.
  bool Prepare(int width, int height, const PICTURECOLOUR::PictureForm& form);
  bool Prepared() const { return pool_ != nullptr; }
  void Release();
  // 10-bit 4:2:0 of the prepared size, on video levels.
  bool Takes(const AVFrame* picture) const;
  // Into `target` (emptied first): a pooled 8-bit 4:2:0 BT.709 picture with
  // the picture's times.
  bool Map(const AVFrame* picture, AVFrame* target) const;

 private:
  // Where a chroma node's run of luma codes starts in the tables.
  static size_t RunOf(int u, int v) {
    return (size_t(u) * kChromaSteps + size_t(v)) * size_t(kLumaSteps);
  }
  void MapRows(const AVFrame* picture, AVFrame* target, int pair) const;

  static constexpr int kLumaSteps = 1024, kChromaSteps = 33;
  const EntryPoints& api_;
  // For each chroma node, every luma code's output; and the neutral
  // node's luma alone, which the samples of a block follow.
  struct Node {
    float Y, U, V;
  };
  std::vector<Node> table_;
  const Node* neutral_ = nullptr;
  AVBufferPool* pool_ = nullptr;
  int width_ = 0, height_ = 0;
};

}  // namespace VELAVCODEC
