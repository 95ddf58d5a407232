#include "job/sources/FileSources.h"

#include <cstring>

#include "drawing/PlainDrawer.h"
#include "drawing/StyledDrawer.h"
#include "job/JobAlign.h"
#include "job/SmartCopy.h"
#include "job/sources/TextTrackFeed.h"

namespace FILESOURCES {

using SUBTITLESOURCE::Opened;

Opened PlainFileSource::Open(VELAVCODEC::VelAvCodec& decoder) {
  SUBTITLEFILE::SubtitleFile& subtitles = materials_.Subtitles;
  Opened opened;
  subtitles.Reading = JOBOPTIONS::ReadingOf(options_);
  if (!subtitles.Open(options_.Subtitle)) {
    opened.Done = false;
    opened.Error = subtitles.ErrorText;
    opened.Cause = subtitles.ErrorCause;
    if (subtitles.OpenErrno != 0) opened.Unopened = std::strerror(subtitles.OpenErrno);
    return opened;
  }
  opened.Log.push_back(subtitles.Info);
  TimeAndAlign(decoder, opened);
  return opened;
}

void PlainFileSource::TimeAndAlign(VELAVCODEC::VelAvCodec& decoder, Opened& opened) {
  SUBTITLEFILE::SubtitleFile& subtitles = materials_.Subtitles;
  JOBOPTIONS::SetSubtitleTiming(subtitles, options_, decoder.FramesPerSecond);
  opened.Done = JOBALIGN::ApplyAlignment(options_, subtitles, opened.Found, opened.Error, pulse_);
}

std::string PlainFileSource::ShownTimes(const VELAVCODEC::VelAvCodec& decoder,
                                        std::vector<SMARTPLAN::Shown>& shown) const {
  shown = SMARTCOPY::FileShownTimes(materials_.Subtitles, decoder.FramesPerSecond);
  return {};
}

std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> PlainFileSource::NewDrawer(VELAVCODEC::VelAvCodec&,
                                                                           std::string&) {
  return std::make_unique<PLAINDRAWER::PlainDrawer>(materials_.Subtitles, materials_.Overlay);
}

std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> StyledFileSource::NewDrawer(
    VELAVCODEC::VelAvCodec& decoder, std::string& error) {
  const int32_t width = decoder.Width, height = decoder.Height;
  error = materials_.Styled.Setup(
      STYLEDSCRIPT::BuildScript(materials_.Subtitles, TEXTTRACKFEED::BaseOf(options_), width,
                                height),
      width, height);
  if (!error.empty()) return nullptr;
  return std::make_unique<STYLEDDRAWER::StyledDrawer>(materials_.Styled);
}

}  // namespace FILESOURCES
