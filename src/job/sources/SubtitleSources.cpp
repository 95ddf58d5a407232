#include "job/SubtitleSource.h"

#include "job/sources/FileSources.h"
#include "job/sources/PairSource.h"
#include "job/sources/RestyledSource.h"
#include "job/sources/TrackSources.h"
#include "media/DisplaySetDecoder.h"
#include "styled/StyledScript.h"

namespace SUBTITLESOURCE {
namespace {

// A copy without subtitles draws nothing.
class NoSubtitles : public SubtitleSource {
 public:
  using SubtitleSource::SubtitleSource;
  std::string ShownTimes(const VELAVCODEC::VelAvCodec&,
                         std::vector<SMARTPLAN::Shown>& shown) const override {
    shown.clear();
    return {};
  }

 protected:
  std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> NewDrawer(VELAVCODEC::VelAvCodec&,
                                                            std::string&) override {
    return std::make_unique<SUBTITLEDRAWER::NoDrawer>();
  }
};

}  // namespace

SubtitleSource::SubtitleSource(const JOBOPTIONS::JobOptions& options, Materials materials,
                               std::function<void()> pulse)
    : options_(options), materials_(materials), pulse_(std::move(pulse)) {}

Opened SubtitleSource::Open(VELAVCODEC::VelAvCodec&) { return {}; }

Opened SubtitleSource::TrackOpened() const {
  Opened opened;
  if (options_.AlignToSpeech)
    opened.Log.push_back("The source's own subtitle track is burned as it is timed, not aligned");
  return opened;
}

// Every kind sets the overlay up, as the job always has: a plain drawing's
// band is sized by it.
std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> SubtitleSource::MakeDrawer(
    VELAVCODEC::VelAvCodec& decoder, std::string& error) {
  error.clear();
  materials_.Overlay.Setup(options_.Font, decoder.Width, options_.Look);
  materials_.Overlay.AutoSizeLine = options_.AutoSize;
  return NewDrawer(decoder, error);
}

bool SelectTrack(const JOBOPTIONS::JobOptions& options, VELAVCODEC::VelAvCodec& decoder,
                 std::string& error) {
  if (options.SubtitleTrack <= 0 || decoder.SelectSubtitleTrack(options.SubtitleTrack - 1))
    return true;
  error = kNoSuchTrack;
  return false;
}

std::unique_ptr<SubtitleSource> MakeSubtitleSource(const JOBOPTIONS::JobOptions& options,
                                                   const VELAVCODEC::VelAvCodec& decoder,
                                                   Materials materials,
                                                   std::function<void()> pulse) {
  const bool track = options.SubtitleTrack > 0;
  if (options.TranscodeVideo) return std::make_unique<NoSubtitles>(options, materials, pulse);
  if (!options.SecondSubtitle.empty() || options.SecondSubtitleTrack > 0) {
    JOBOPTIONS::JobOptions first = options;
    first.SecondSubtitle.clear();
    first.SecondSubtitleTrack = 0;
    return std::make_unique<PAIRSOURCE::PairSource>(
        options, materials, pulse, MakeSubtitleSource(first, decoder, materials, pulse), decoder);
  }
  if (options.Restyle) {
    const bool pictureFile = !track && DISPLAYSETDECODER::IsPictureFileName(options.Subtitle);
    if (pictureFile || (track && SUBTITLETRACK::IsPicture(decoder.SubtitleTrackInfo().Codec)))
      return std::make_unique<RESTYLEDSOURCE::RestyledSource>(options, materials, pulse,
                                                              pictureFile);
  }
  if (!track && DISPLAYSETDECODER::IsPictureFileName(options.Subtitle))
    return std::make_unique<TRACKSOURCES::PictureSource>(options, materials, pulse, true);
  if (track && SUBTITLETRACK::IsPicture(decoder.SubtitleTrackInfo().Codec))
    return std::make_unique<TRACKSOURCES::PictureSource>(options, materials, pulse, false);
  if (track) return std::make_unique<TRACKSOURCES::TextTrackSource>(options, materials, pulse);
  if (options.Styled.On)
    return std::make_unique<FILESOURCES::StyledFileSource>(options, materials, pulse);
  return std::make_unique<FILESOURCES::PlainFileSource>(options, materials, pulse);
}

int64_t PictureTime(double framesPerSecond, int32_t frame) {
  return STYLEDSCRIPT::FrameTimeMs(frame, framesPerSecond);
}

}  // namespace SUBTITLESOURCE
