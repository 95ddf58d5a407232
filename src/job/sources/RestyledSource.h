#pragma once

// Disc subtitle pictures read as text before the first picture and drawn as
// a text file is, with the options' font and look (styled when asked), so
// that the delay correction and the speech alignment time them as any text.
#include "job/sources/FileSources.h"

namespace RESTYLEDSOURCE {

class RestyledSource : public FILESOURCES::StyledFileSource {
 public:
  // fromFile: the options' .sup or .idx, else the source's chosen track.
  RestyledSource(const JOBOPTIONS::JobOptions& options, SUBTITLESOURCE::Materials materials,
                 std::function<void()> pulse, bool fromFile);
  SUBTITLESOURCE::Opened Open(VELAVCODEC::VelAvCodec& decoder) override;

 protected:
  std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> NewDrawer(VELAVCODEC::VelAvCodec& decoder,
                                                            std::string& error) override;

 private:
  const bool fromFile_;
};

}  // namespace RESTYLEDSOURCE
