#include "job/sources/TrackSources.h"

#include "drawing/DisplaySetDrawer.h"
#include "drawing/StyledDrawer.h"

namespace TRACKSOURCES {

TextTrackSource::TextTrackSource(const JOBOPTIONS::JobOptions& options,
                                 SUBTITLESOURCE::Materials materials, std::function<void()> pulse,
                                 int aheadTrack)
    : SubtitleSource(options, materials, std::move(pulse)), aheadTrack_(aheadTrack) {}

std::string TextTrackSource::ShownTimes(const VELAVCODEC::VelAvCodec&,
                                        std::vector<SMARTPLAN::Shown>& shown) const {
  return feed_.ShownTimes(shown);
}

std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> TextTrackSource::NewDrawer(
    VELAVCODEC::VelAvCodec& decoder, std::string& error) {
  error = feed_.SetUp(materials_.Styled, decoder, options_, aheadTrack_);
  if (!error.empty()) return nullptr;
  return std::make_unique<STYLEDDRAWER::StyledDrawer>(materials_.Styled, &feed_);
}

PictureSource::PictureSource(const JOBOPTIONS::JobOptions& options,
                             SUBTITLESOURCE::Materials materials, std::function<void()> pulse,
                             bool fromFile, int aheadTrack)
    : SubtitleSource(options, materials, std::move(pulse)),
      fromFile_(fromFile),
      aheadTrack_(aheadTrack) {}

// A file is aligned as its pictures are read, with the drawing's set-up.
SUBTITLESOURCE::Opened PictureSource::Open(VELAVCODEC::VelAvCodec&) {
  return fromFile_ ? SUBTITLESOURCE::Opened{} : TrackOpened();
}

std::string PictureSource::ShownTimes(const VELAVCODEC::VelAvCodec&,
                                      std::vector<SMARTPLAN::Shown>& shown) const {
  return feed_.ShownTimes(shown);
}

std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> PictureSource::NewDrawer(
    VELAVCODEC::VelAvCodec& decoder, std::string& error) {
  error = feed_.SetUp(decoder, options_, fromFile_, pulse_, aheadTrack_);
  if (!error.empty()) return nullptr;
  return std::make_unique<DISPLAYSETDRAWER::DisplaySetDrawer>(feed_, decoder.Width, decoder.Height,
                                                              decoder.FramesPerSecond);
}

std::unique_ptr<SUBTITLESOURCE::SubtitleSource> AheadTrackSource(
    const JOBOPTIONS::JobOptions& options, const VELAVCODEC::VelAvCodec& decoder,
    SUBTITLESOURCE::Materials materials, std::function<void()> pulse, int k) {
  const SUBTITLETRACK::TrackCodec codec = decoder.SubtitleTrackInfoOf(k).Codec;
  if (codec == SUBTITLETRACK::TrackCodec::None || codec == SUBTITLETRACK::TrackCodec::Unsupported)
    return nullptr;
  if (SUBTITLETRACK::IsPicture(codec))
    return std::make_unique<PictureSource>(options, materials, std::move(pulse), false, k);
  return std::make_unique<TextTrackSource>(options, materials, std::move(pulse), k);
}

}  // namespace TRACKSOURCES
