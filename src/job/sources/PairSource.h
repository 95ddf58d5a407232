#pragma once

// A second subtitle source drawn with the first, each with its own file,
// format and timing, both with the job's look: the pair of them behind the
// one interface of a source, so that the job and the still draw two as
// they draw one.
#include <memory>

#include "drawing/StyledRenderer.h"
#include "drawing/SubtitleOverlay.h"
#include "job/SubtitleSource.h"
#include "subtitles/SubtitleUnit.h"

namespace PAIRSOURCE {

// The options the second source is made from: the first's, with the second's
// file in place of the first's subtitles.
JOBOPTIONS::JobOptions SecondOptions(const JOBOPTIONS::JobOptions& options);

class PairSource : public SUBTITLESOURCE::SubtitleSource {
 public:
  PairSource(const JOBOPTIONS::JobOptions& options, SUBTITLESOURCE::Materials materials,
             std::function<void()> pulse, std::unique_ptr<SubtitleSource> first,
             const VELAVCODEC::VelAvCodec& decoder);

  SUBTITLESOURCE::Opened Open(VELAVCODEC::VelAvCodec& decoder) override;
  std::string ShownTimes(const VELAVCODEC::VelAvCodec& decoder,
                         std::vector<SMARTPLAN::Shown>& shown) const override;
  bool ComesWithReading() const override;
  std::vector<std::string> TakeNotes() override;
  std::string UnopenedReason() const override;
  std::string UnopenedFile() const override;

 protected:
  std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> NewDrawer(VELAVCODEC::VelAvCodec& decoder,
                                                            std::string& error) override;

 private:
  // The second's own materials, made before it and gone after it.
  SUBTITLEFILE::SubtitleFile secondFile_;
  SUBTITLEOVERLAY::SubtitleOverlay secondOverlay_;
  STYLEDRENDERER::StyledRenderer secondStyled_;
  std::unique_ptr<SubtitleSource> first_, second_;
  // Which of the two failed last.
  bool secondFailed_ = false;
};

}  // namespace PAIRSOURCE
