#pragma once

// The styled drawing's picture in the form of the frames an encoder takes:
// planar YUV 4:2:0 on video levels, premultiplied, with beside each byte how
// much of the frame's byte stays under it. Composed straight from coverage
// bitmaps and blended straight into the planes, so a drawn picture never
// goes through blue-green-red.
#include <cstdint>
#include <memory>
#include <vector>

#include "drawing/SubtitleBlend.h"
#include "picture/PlanarPicture.h"

namespace PLANARBLEND {

struct YuvColour {
  uint8_t Y = 16, U = 128, V = 128;
};

// A colour (0..255 each) on video levels, coded with BT.601, or with BT.709
// for scripts made for pictures coded so.
YuvColour VideoLevelsOf(double red, double green, double blue, bool bt709);

class PlanarBlendPicture : public PLANARPICTURE::PlanarInk {
 public:
  // Once per job; width and height even. False (and empty) when the memory
  // cannot be had.
  bool Allocate(int32_t width, int32_t height);

  // As BlendPicture's: each bitmap laid over the ones before, in its colour
  // (the image's own colour bytes are not read), parts outside the picture
  // cut off. A chroma sample takes the mean coverage of its 2x2 block. No
  // ending is needed: the inked rows and columns are kept as they come.
  void BeginComposite();
  void Composite(const SUBTITLEBLEND::CoverageImage& image, YuvColour colour);

  // In place of what was composed: a premultiplied 32-bit ARGB picture of
  // the allocated size (rows `stride` bytes apart), of which only columns
  // left .. right - 1 of rows top .. bottom - 1 hold ink, coded with
  // BT.601. A chroma sample takes the mean of its 2x2 block.
  void StoreArgb(const uint8_t* pixels, size_t stride, int32_t left, int32_t top, int32_t right,
                 int32_t bottom);

  int32_t Width() const { return planes_[0].Width; }
  bool empty() const { return planes_[0].DirtyTop >= planes_[0].DirtyEnd; }
  // The rows holding ink, widened to even rows (moved and clipped to the
  // picture); empty when there is none.
  PLANARPICTURE::RowBand Band() const;
  void BlendInto(const PLANARPICTURE::PlanarRows& planes,
                 PLANARPICTURE::RowBand band) const override;
  // The ink lands `rows` (even) lower in the picture than it was composed,
  // higher when negative; 0 until set.
  void SetRowShift(int32_t rows) { rowShift_ = rows & ~1; }

 private:
  // One plane's colour and rest; each row's inked columns are kept, so that
  // clearing and blending touch those only.
  struct Plane {
    int32_t Width = 0, Height = 0;
    std::unique_ptr<uint8_t[]> Colour, Rest;
    std::vector<uint8_t> Ready;  // per row: written since Allocate
    std::vector<int32_t> Begin, End;
    int32_t DirtyTop = 0, DirtyEnd = 0;  // rows with ink, end exclusive

    bool Allocate(int32_t width, int32_t height);
    uint8_t* ColourAt(int32_t row, int32_t x) { return Colour.get() + Offset(row, x); }
    uint8_t* RestAt(int32_t row, int32_t x) { return Rest.get() + Offset(row, x); }
    size_t Offset(int32_t row, int32_t x) const { return size_t(row) * size_t(Width) + size_t(x); }
    // Makes columns begin .. end - 1 of the row part of its ink.
    void Touch(int32_t row, int32_t begin, int32_t end);
    void ClearRow(int32_t row);
    void ClearInk();
    void Blend(int32_t row, uint8_t* target) const;
    // The ink's own value at (row, x) before its alpha, and the alpha; 0
    // alpha where nothing is inked.
    uint8_t InkAt(int32_t row, int32_t x, int& alpha) const;
    bool RowInked(int32_t row) const {
      return row >= DirtyTop && row < DirtyEnd && Begin[size_t(row)] < End[size_t(row)];
    }
  };

  // Into planes of 16-bit samples: the ink widened, or mapped by Colours.
  void BlendPlaced(const PLANARPICTURE::PlanarRows& planes, PLANARPICTURE::RowBand band) const;
  void BlendDeep(const PLANARPICTURE::PlanarRows& planes, PLANARPICTURE::RowBand band) const;
  void BlendDeepMapped(const PLANARPICTURE::PlanarRows& planes, PLANARPICTURE::RowBand band) const;
  void MappedLuma(const PLANARPICTURE::PlanarRows& planes, int32_t row) const;
  void MappedChroma(const PLANARPICTURE::PlanarRows& planes, int32_t row) const;

  void StoreLumaRow(const uint8_t* argb, int32_t row, int32_t left, int32_t right);
  void StoreChromaRow(const uint8_t* upper, const uint8_t* lower, int32_t row, int32_t from,
                      int32_t to);
  void CompositeLuma(const SUBTITLEBLEND::CoverageImage& image, uint8_t value, int32_t left,
                     int32_t right, int32_t top, int32_t bottom);
  void CompositeChroma(const SUBTITLEBLEND::CoverageImage& image, YuvColour colour, int32_t left,
                       int32_t right, int32_t top, int32_t bottom);

  Plane planes_[3];  // Y, U, V
  int32_t rowShift_ = 0;
  // Scratch rows the picture's width: alphas, and a chroma row's two luma
  // rows of coverage.
  std::vector<uint8_t> alpha_, upper_, lower_;
};

}  // namespace PLANARBLEND
