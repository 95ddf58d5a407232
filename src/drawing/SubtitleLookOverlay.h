#pragma once

// Drawing an entry with a look (rim, shadow, box, smooth edges, raised band)
// once, into a band with an alpha channel, and blending that band onto every
// picture of the entry. The plain look never comes here.
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <cstdint>
#include <vector>

#include "drawing/SubtitleBlend.h"
#include "subtitles/SubtitleFont.h"
#include "subtitles/SubtitleLook.h"

namespace SUBTITLELOOKOVERLAY {

// Where things go in the band. A line slot holds a text cell with the rim
// above and below it, the shadow below, and the box's padding round them;
// the band holds two slots with one row above, two between and one below,
// as the plain band does.
struct BandGeometry {
  int TextHeight = 0;
  int Outline = 0;
  int Shadow = 0;
  int PadX = 0;  // the box's reach beyond the rim, left and right
  int PadY = 0;

  int SlotHeight() const { return TextHeight + 2 * Outline + Shadow + 2 * PadY; }
  int Height() const { return 2 * SlotHeight() + 4; }
  int SlotTop(int slot) const { return slot == 0 ? 1 : SlotHeight() + 3; }
  // Top row of the text cell in a slot.
  int CellTop(int slot) const { return SlotTop(slot) + PadY + Outline; }
  // Pixels a line needs beside its text's width.
  int ExtraWidth() const { return 2 * Outline + Shadow + 2 * PadX; }
};

class LookOverlay {
 public:
  // Once per job. The look's values are held to their ranges.
  void Setup(const SUBTITLEFONT::SubtitleFont& font, int32_t width,
             const SUBTITLELOOK::SubtitleLook& look);
  // Draws the lines (already decoded) and stores the band for blending.
  void Draw(const std::vector<QString>& texts, bool autoSize);
  // Blends the stored band onto the frame buffer; nothing before a drawing.
  void Overlay(uint8_t* frameBuffer) const;
  void Clear();

  int32_t Width() const { return band_.width(); }
  int32_t Height() const { return band_.height(); }
  const BandGeometry& Geometry() const { return geometry_; }
  const SUBTITLELOOK::SubtitleLook& Look() const { return look_; }
  // The last band drawn, top-down, premultiplied.
  const QImage& Band() const { return band_; }
  const SUBTITLEBLEND::BlendPicture& Picture() const { return picture_; }

 private:
  void DrawText(const std::vector<QString>& texts, bool autoSize);
  void TakeCoverage();
  void GrowRim();
  void Compose();

  SUBTITLEFONT::SubtitleFont font_;
  SUBTITLELOOK::SubtitleLook look_;
  BandGeometry geometry_;
  QFont textFont_;
  // Glyph coverage, drawn in white on transparent.
  QImage mask_;
  QImage band_;
  // Planes of width x height bytes: the glyphs' coverage, the rim's, and the
  // horizontal spreads the rim is made of.
  std::vector<uint8_t> glyphs_;
  std::vector<uint8_t> rim_;
  std::vector<std::vector<uint8_t>> spreads_;
  std::vector<QRect> boxes_;
  SUBTITLEBLEND::BlendPicture picture_;
};

}  // namespace SUBTITLELOOKOVERLAY
