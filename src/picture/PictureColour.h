#pragma once

// How a source's pictures are coded: their depth and their colour
// description in the codes of ITU-T H.273 (libavutil's AVColor* values), with
// the HDR metadata that travels beside a PQ or HLG picture. The decoder reads
// it off the source; the job decides from it what the output keeps.
#include <cstdint>

namespace PICTURECOLOUR {

constexpr int kUnspecified = 2;
constexpr int kPrimariesBt2020 = 9;
constexpr int kTransferPq = 16;   // SMPTE ST 2084
constexpr int kTransferHlg = 18;  // ARIB STD-B67
constexpr int kMatrixBt2020 = 9;  // non-constant luminance

inline bool IsHdrTransfer(int transfer) {
  return transfer == kTransferPq || transfer == kTransferHlg;
}

// The display a PQ picture was graded on (SMPTE ST 2086): chromaticities in
// units of 1/50000, luminance in units of 1/10000 cd/m2; primaries in the
// order red, green, blue.
struct MasteringDisplay {
  bool Present = false;
  int32_t PrimaryX[3] = {0, 0, 0}, PrimaryY[3] = {0, 0, 0};
  int32_t WhiteX = 0, WhiteY = 0;
  int64_t MaxLuminance = 0, MinLuminance = 0;

  friend bool operator==(const MasteringDisplay&, const MasteringDisplay&) = default;
};

// CTA-861.3's content light levels, in cd/m2.
struct ContentLight {
  bool Present = false;
  uint32_t MaxCll = 0, MaxFall = 0;

  friend bool operator==(const ContentLight&, const ContentLight&) = default;
};

struct HdrMetadata {
  MasteringDisplay Mastering;
  ContentLight Light;

  friend bool operator==(const HdrMetadata&, const HdrMetadata&) = default;
};

struct PictureForm {
  int BitDepth = 8;
  // A YUV form the planar path can keep (not RGB, not paletted), and
  // whether its chroma has half the rows and columns.
  bool Yuv = true;
  bool Subsampled420 = true;
  int Primaries = kUnspecified, Transfer = kUnspecified, Matrix = kUnspecified;
  bool FullRange = false;
  HdrMetadata Hdr;

  bool IsHdr() const { return IsHdrTransfer(Transfer); }
};

}  // namespace PICTURECOLOUR
