#pragma once

// Drawing an entry's lines into the key-coloured subtitle bitmap, and copying
// its non-key pixels onto the bottom rows of a decoded picture.
#include <QFont>
#include <QImage>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "picture/BmpFrame.h"
#include "subtitles/SubtitleFont.h"
#include "subtitles/SubtitleLook.h"

namespace SUBTITLELOOKOVERLAY {
class LookOverlay;
}

namespace SUBTITLEOVERLAY {

constexpr uint32_t SubtitleKeyColor = 0x00FE00EF;  // 0x00BBGGRR

class SubtitleOverlay {
 public:
  SubtitleOverlay();
  ~SubtitleOverlay();

  // Job set-up: the font of the font options, the picture width; the band is
  // twice the height of "AaAa" in that font plus 4 rows. A look with anything
  // on draws each entry once into a band with coverage and blends it onto the
  // pictures instead; SubtitleImage then stays empty.
  void Setup(const SUBTITLEFONT::SubtitleFont& font, int32_t width,
             const SUBTITLELOOK::SubtitleLook& look = {});
  // Draws the lines (8-bit text as read from the subtitle file) and stores the
  // picture as a BMP image in SubtitleImage.
  void DrawSubtitle(const std::vector<std::string>& lines);
  // Copies the non-key pixels of the stored picture onto the frame buffer (a
  // complete bottom-up 24-bit BMP image). Leaves the frame alone while no
  // picture is stored; never writes past the frame's rows.
  void OverlaySubtitle(uint8_t* frameBuffer) const;
  // The frame rows OverlaySubtitle writes: the first (from the bottom) and
  // how many, perhaps past the frame's top; no rows while nothing is stored.
  std::pair<int32_t, int32_t> InkRows() const;
  // Empties SubtitleImage (teardown).
  void ClearImage();

  bool AutoSizeLine = true;
  int32_t Width() const;
  int32_t Height() const;
  // The stored picture, empty before a drawing.
  const BMPFRAME::BmpFrame& SubtitleImage() const;
  // The drawing with a look; null for the plain look.
  const SUBTITLELOOKOVERLAY::LookOverlay* LookDrawing() const { return look_.get(); }

 private:
  void SetUpLook(const SUBTITLEFONT::SubtitleFont& font, int32_t width,
                 const SUBTITLELOOK::SubtitleLook& look);
  void DrawLines(const std::vector<QString>& texts);
  void SetFontPoints(int points);
  void StoreImage();
  void FindInkRuns();

  // A stretch of non-key pixels in one stored row, as byte offsets in the row.
  // Found once per entry, so that a frame costs only its text pixels.
  struct InkRun {
    int32_t row;
    uint32_t begin;
    uint32_t end;
  };

  SUBTITLEFONT::SubtitleFont font_;
  QFont bitmapFont_;
  // 24-bit, blue-green-red rows: the same byte order as the stored picture.
  QImage subtitleBitmap_;
  BMPFRAME::BmpFrame subtitleImage_;
  std::vector<InkRun> inkRuns_;
  std::unique_ptr<SUBTITLELOOKOVERLAY::LookOverlay> look_;
};

}  // namespace SUBTITLEOVERLAY
