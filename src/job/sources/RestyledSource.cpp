#include "job/sources/RestyledSource.h"

#include "job/PicturesToText.h"
#include "media/DisplaySetDecoder.h"

namespace RESTYLEDSOURCE {
namespace {

using SUBTITLESOURCE::Opened;

// The log so far goes with the failure.
Opened Failed(std::string error, std::vector<std::string> log = {}, std::string unopened = {}) {
  Opened opened;
  opened.Done = false;
  opened.Error = std::move(error);
  opened.Log = std::move(log);
  opened.Unopened = std::move(unopened);
  return opened;
}

}  // namespace

RestyledSource::RestyledSource(const JOBOPTIONS::JobOptions& options,
                               SUBTITLESOURCE::Materials materials, std::function<void()> pulse,
                               bool fromFile)
    : StyledFileSource(options, materials, std::move(pulse)), fromFile_(fromFile) {}

Opened RestyledSource::Open(VELAVCODEC::VelAvCodec& decoder) {
  SUBTITLETRACK::TrackInfo info;
  std::vector<SUBTITLETRACK::TrackPacket> packets;
  std::string trackLanguage, error, unopened;
  if (fromFile_) {
    error =
        DISPLAYSETDECODER::ReadPictureFile(decoder, options_.Subtitle, info, packets, &unopened);
  } else {
    info = decoder.SubtitleTrackInfo();
    error = decoder.ReadWholeSubtitleTrack(packets);
    const std::vector<VELAVCODEC::StoredStream> tracks = decoder.SubtitleTrackRecords();
    if (options_.SubtitleTrack >= 1 && size_t(options_.SubtitleTrack) <= tracks.size())
      trackLanguage = tracks[size_t(options_.SubtitleTrack - 1)].Language;
  }
  if (!error.empty()) return Failed("[PictureSubtitles] " + error, {}, unopened);

  PICTURESTOTEXT::Result result;
  result.Languages = PICTURESTOTEXT::LanguagesFor(options_.OcrLanguage, trackLanguage);
  std::vector<PICTURESTOTEXT::Cue> cues;
  error =
      PICTURESTOTEXT::ReadCues(decoder, info, packets, options_.ForcedOnly, cues, result, pulse_);
  if (!error.empty()) return Failed("[PictureSubtitles] " + error);
  Opened opened;
  opened.Log = std::move(result.Log);
  opened.Log.push_back("Read " + std::to_string(result.Sets) + " picture sets in " +
                       result.Languages + ": " + std::to_string(result.Cues) +
                       " cues drawn as text");
  if (cues.empty())
    return Failed("[PictureSubtitles] No text could be read from the subtitle pictures...",
                  std::move(opened.Log));
  SUBTITLEFILE::SubtitleFile& subtitles = materials_.Subtitles;
  subtitles.Reading = JOBOPTIONS::ReadingOf(options_);
  subtitles.Reading.Unicode = true;
  // The plain drawing has one place and one style: the read italics and
  // top marks are the styled drawing's.
  subtitles.Reading.CleanMarkup = subtitles.Reading.CleanMarkup || !options_.Styled.On;
  const std::string name = fromFile_ ? options_.Subtitle : options_.SourceVideo;
  if (!subtitles.OpenContents(name, PICTURESTOTEXT::SubRipOf(cues)))
    return Failed(subtitles.ErrorText, std::move(opened.Log));
  TimeAndAlign(decoder, opened);
  return opened;
}

std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> RestyledSource::NewDrawer(
    VELAVCODEC::VelAvCodec& decoder, std::string& error) {
  if (options_.Styled.On) return StyledFileSource::NewDrawer(decoder, error);
  return PlainFileSource::NewDrawer(decoder, error);
}

}  // namespace RESTYLEDSOURCE
