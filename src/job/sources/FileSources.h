#pragma once

// Subtitles from a text file: drawn plain with the overlay, or styled with
// libass.
#include "job/SubtitleSource.h"

namespace FILESOURCES {

class PlainFileSource : public SUBTITLESOURCE::SubtitleSource {
 public:
  using SubtitleSource::SubtitleSource;
  // The file read with the options' reading, timed at the source's rate
  // with the delay correction, and aligned to the speech when asked.
  SUBTITLESOURCE::Opened Open(VELAVCODEC::VelAvCodec& decoder) override;
  std::string ShownTimes(const VELAVCODEC::VelAvCodec& decoder,
                         std::vector<SMARTPLAN::Shown>& shown) const override;

 protected:
  std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> NewDrawer(VELAVCODEC::VelAvCodec& decoder,
                                                            std::string& error) override;
  // The opened file timed at the source's rate with the delay correction,
  // and aligned to the speech when asked.
  void TimeAndAlign(VELAVCODEC::VelAvCodec& decoder, SUBTITLESOURCE::Opened& opened);
};

// The same file made a script: its cues keep the times the plain drawing
// gives them, or their own for the formats that style themselves.
class StyledFileSource : public PlainFileSource {
 public:
  using PlainFileSource::PlainFileSource;

 protected:
  std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> NewDrawer(VELAVCODEC::VelAvCodec& decoder,
                                                            std::string& error) override;
};

}  // namespace FILESOURCES
