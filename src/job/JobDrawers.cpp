#include "job/JobDrawers.h"

#include "drawing/PlainDrawer.h"
#include "drawing/StyledDrawer.h"

namespace JOBDRAWERS {

std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> MakeDrawer(const JOBOPTIONS::JobOptions& options,
                                                           VELAVCODEC::VelAvCodec& decoder,
                                                           DrawingTools tools, std::string& error) {
  error.clear();
  tools.Overlay.Setup(options.Font, decoder.Width, options.Look);
  tools.Overlay.AutoSizeLine = options.AutoSize;
  if (options.TranscodeVideo) return std::make_unique<SUBTITLEDRAWER::NoDrawer>();
  if (PICTUREDRAWING::FromPictureFile(options) ||
      PICTUREDRAWING::FromPictureTrack(options, decoder)) {
    error = tools.Pictures.SetUp(decoder, options, tools.Pulse);
    if (!error.empty()) return nullptr;
    return std::make_unique<PICTUREDRAWER::PictureDrawer>(tools.Pictures, decoder.Width,
                                                          decoder.Height, decoder.FramesPerSecond);
  }
  if (options.SubtitleTrack > 0) {
    error = tools.Feed.SetUp(tools.Styled, decoder, options);
    if (!error.empty()) return nullptr;
    return std::make_unique<STYLEDDRAWER::StyledDrawer>(tools.Styled, &tools.Feed);
  }
  if (options.Styled.On) {
    error =
        STYLEDDRAWING::SetUp(tools.Styled, tools.Subtitles, options, decoder.Width, decoder.Height);
    if (!error.empty()) return nullptr;
    return std::make_unique<STYLEDDRAWER::StyledDrawer>(tools.Styled);
  }
  return std::make_unique<PLAINDRAWER::PlainDrawer>(tools.Subtitles, tools.Overlay);
}

}  // namespace JOBDRAWERS
