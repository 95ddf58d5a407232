#include "job/StyledDrawing.h"

namespace STYLEDDRAWING {

std::string SetUp(STYLEDOVERLAY::StyledOverlay& overlay, const SUBTITLEFILE::SubtitleFile& file,
                  const JOBOPTIONS::JobOptions& options, int32_t width, int32_t height) {
  STYLEDSCRIPT::BaseStyle base;
  base.Font = options.Font;
  base.Look = options.Look;
  base.LeftToRight = options.Styled.LeftToRight;
  const STYLEDSCRIPT::StyledScript script = STYLEDSCRIPT::BuildScript(file, base, width, height);
  return overlay.Setup(script, width, height);
}

int64_t PictureTime(const SUBTITLEFILE::SubtitleFile& file, int32_t frame) {
  return STYLEDSCRIPT::FrameTimeMs(frame, file.FrameRate());
}

}  // namespace STYLEDDRAWING
