#pragma once

// Subtitles from the source's own tracks, read with the job's pass over the
// source: a text track drawn styled, a track of disc pictures, and a file
// of disc pictures (.sup, .idx), read whole before the first picture.
#include "job/SubtitleSource.h"
#include "job/sources/DisplaySetFeed.h"
#include "job/sources/TextTrackFeed.h"

namespace TRACKSOURCES {

class TextTrackSource : public SUBTITLESOURCE::SubtitleSource {
 public:
  using SubtitleSource::SubtitleSource;
  SUBTITLESOURCE::Opened Open(VELAVCODEC::VelAvCodec&) override { return TrackOpened(); }
  std::string ShownTimes(const VELAVCODEC::VelAvCodec& decoder,
                         std::vector<SMARTPLAN::Shown>& shown) const override;
  bool ComesWithReading() const override { return true; }

 protected:
  std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> NewDrawer(VELAVCODEC::VelAvCodec& decoder,
                                                            std::string& error) override;

 private:
  TEXTTRACKFEED::TextTrackFeed feed_;
};

// Disc pictures, from a file of their own or from the track.
class PictureSource : public SUBTITLESOURCE::SubtitleSource {
 public:
  PictureSource(const JOBOPTIONS::JobOptions& options, SUBTITLESOURCE::Materials materials,
                std::function<void()> pulse, bool fromFile);
  // The feed lets the decoder go before its libraries do.
  ~PictureSource() override { feed_.Release(); }
  SUBTITLESOURCE::Opened Open(VELAVCODEC::VelAvCodec& decoder) override;
  std::string ShownTimes(const VELAVCODEC::VelAvCodec& decoder,
                         std::vector<SMARTPLAN::Shown>& shown) const override;
  bool ComesWithReading() const override { return !fromFile_; }
  std::vector<std::string> TakeNotes() override { return feed_.TakeNotes(); }
  std::string UnopenedReason() const override { return feed_.Unopened(); }

 protected:
  std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> NewDrawer(VELAVCODEC::VelAvCodec& decoder,
                                                            std::string& error) override;

 private:
  DISPLAYSETFEED::DisplaySetFeed feed_;
  const bool fromFile_;
};

}  // namespace TRACKSOURCES
