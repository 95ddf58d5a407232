#pragma once

// Subtitles from the source's own tracks, read with the job's pass over the
// source: a text track drawn styled, a track of disc pictures, and a file
// of disc pictures (.sup, .idx), read whole before the first picture.
#include "job/SubtitleSource.h"
#include "job/sources/DisplaySetFeed.h"
#include "job/sources/TextTrackFeed.h"

namespace TRACKSOURCES {

// aheadTrack (from 0): that track of the source, read whole before the
// first picture, instead of the chosen one with the reading.
class TextTrackSource : public SUBTITLESOURCE::SubtitleSource {
 public:
  TextTrackSource(const JOBOPTIONS::JobOptions& options, SUBTITLESOURCE::Materials materials,
                  std::function<void()> pulse, int aheadTrack = -1);
  SUBTITLESOURCE::Opened Open(VELAVCODEC::VelAvCodec&) override { return TrackOpened(); }
  std::string ShownTimes(const VELAVCODEC::VelAvCodec& decoder,
                         std::vector<SMARTPLAN::Shown>& shown) const override;
  bool ComesWithReading() const override { return aheadTrack_ < 0; }

 protected:
  std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> NewDrawer(VELAVCODEC::VelAvCodec& decoder,
                                                            std::string& error) override;

 private:
  TEXTTRACKFEED::TextTrackFeed feed_;
  const int aheadTrack_;
};

// Disc pictures, from a file of their own or from the track.
class PictureSource : public SUBTITLESOURCE::SubtitleSource {
 public:
  PictureSource(const JOBOPTIONS::JobOptions& options, SUBTITLESOURCE::Materials materials,
                std::function<void()> pulse, bool fromFile, int aheadTrack = -1);
  // The feed lets the decoder go before its libraries do.
  ~PictureSource() override { feed_.Release(); }
  SUBTITLESOURCE::Opened Open(VELAVCODEC::VelAvCodec& decoder) override;
  std::string ShownTimes(const VELAVCODEC::VelAvCodec& decoder,
                         std::vector<SMARTPLAN::Shown>& shown) const override;
  bool ComesWithReading() const override { return !fromFile_ && aheadTrack_ < 0; }
  std::vector<std::string> TakeNotes() override { return feed_.TakeNotes(); }
  std::string UnopenedReason() const override { return feed_.Unopened(); }

 protected:
  std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> NewDrawer(VELAVCODEC::VelAvCodec& decoder,
                                                            std::string& error) override;

 private:
  DISPLAYSETFEED::DisplaySetFeed feed_;
  const bool fromFile_;
  const int aheadTrack_;
};

// The source's k-th subtitle track (from 0) read whole ahead of the job,
// beside the track the reading collects; null when the source has none
// such of a kind this program draws.
std::unique_ptr<SUBTITLESOURCE::SubtitleSource> AheadTrackSource(
    const JOBOPTIONS::JobOptions& options, const VELAVCODEC::VelAvCodec& decoder,
    SUBTITLESOURCE::Materials materials, std::function<void()> pulse, int k);

}  // namespace TRACKSOURCES
