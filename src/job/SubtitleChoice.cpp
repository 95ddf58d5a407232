#include "job/SubtitleChoice.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include "media/SubtitleTrack.h"
#include "media/VelAvCodec.h"
#include "tracks/Languages.h"
#include "tracks/Sidecars.h"
#include "tracks/TrackChoice.h"

namespace SUBTITLECHOICE {
namespace {

std::vector<TRACKCHOICE::TrackFacts> FactsOf(const VELAVCODEC::VelAvCodec& decoder) {
  std::vector<TRACKCHOICE::TrackFacts> facts;
  for (const VELAVCODEC::StoredStream& track : decoder.SubtitleTrackRecords()) {
    const bool readable = track.Parameters != nullptr &&
                          SUBTITLETRACK::CodecOfLibraryId(track.Parameters->codec_id) !=
                              SUBTITLETRACK::TrackCodec::Unsupported;
    facts.push_back({track.Track, track.Language, (track.Disposition & AV_DISPOSITION_FORCED) != 0,
                     readable, -1});
  }
  return facts;
}

void TakeTrack(JOBOPTIONS::JobOptions& options, const TRACKCHOICE::Choice& choice) {
  options.SubtitleTrack = choice.Track;
  options.Styled.On = true;
}

Chosen ForcedTrack(JOBOPTIONS::JobOptions& options, const VELAVCODEC::VelAvCodec& decoder,
                   std::vector<std::string> languages) {
  Chosen chosen;
  std::vector<TRACKCHOICE::TrackFacts> facts = FactsOf(decoder);
  if (languages.empty()) {
    const std::string sound = decoder.StreamRecord(decoder.AudioStream).Language;
    if (!sound.empty()) languages.push_back(sound);
  }
  if (TRACKCHOICE::NeedsEvents(facts) && !languages.empty()) {
    std::vector<int64_t> counts;
    const std::string error = decoder.CountSubtitlePackets(counts);
    if (!error.empty()) {
      chosen.Log.push_back("The subtitle tracks could not be counted (" + error + ")");
    } else {
      for (size_t k = 0; k < facts.size() && k < counts.size(); ++k) facts[k].Events = counts[k];
    }
  }
  const TRACKCHOICE::Choice choice = TRACKCHOICE::ForcedTrack(facts, languages);
  if (choice.Track == 0) {
    chosen.Log.push_back("No forced subtitle track found");
    options.SubtitleTrack = 0;
    options.TranscodeVideo = true;
    return chosen;
  }
  TakeTrack(options, choice);
  chosen.Log.push_back("Forced subtitle track: " + choice.Why);
  return chosen;
}

}  // namespace

Chosen ChooseSubtitles(JOBOPTIONS::JobOptions& options, const VELAVCODEC::VelAvCodec& decoder) {
  Chosen chosen;
  std::vector<std::string> languages;
  if (!options.SubtitleLanguages.empty()) {
    languages = LANGUAGES::ParseLanguages(options.SubtitleLanguages, chosen.Error);
    if (languages.empty()) {
      chosen.Found = false;
      return chosen;
    }
  }
  if (options.SubtitleTrack == JOBOPTIONS::kForcedTrack)
    return ForcedTrack(options, decoder, languages);
  const bool byLanguage = !languages.empty() && JOBOPTIONS::IsBlankName(options.Subtitle) &&
                          options.SubtitleTrack == 0 && !options.TranscodeVideo;
  if (!byLanguage) return chosen;
  if (const auto sidecar = SIDECARS::SidecarInLanguages(SIDECARS::FindSidecars(options.SourceVideo),
                                                        languages, options.ForcedOnly)) {
    options.Subtitle = sidecar->Path;
    chosen.Log.push_back("Subtitles: " + sidecar->Path + ", beside the source, in " +
                         sidecar->Language + (sidecar->Forced ? ", forced" : ""));
    return chosen;
  }
  const TRACKCHOICE::Choice track =
      TRACKCHOICE::TrackInLanguages(FactsOf(decoder), languages, options.ForcedOnly);
  if (track.Track > 0) {
    TakeTrack(options, track);
    chosen.Log.push_back("Subtitles: " + track.Why);
    return chosen;
  }
  chosen.Found = false;
  chosen.Error = "[SubtitleJob::Start] No subtitles in " + options.SubtitleLanguages +
                 " beside or inside the source...";
  return chosen;
}

}  // namespace SUBTITLECHOICE
