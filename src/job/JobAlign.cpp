#include "job/JobAlign.h"

#include <algorithm>

#include "align/SpeechAlignment.h"

namespace JOBALIGN {

bool ApplyAlignment(const JOBOPTIONS::JobOptions& options, SUBTITLEFILE::SubtitleFile& subtitles,
                    std::vector<std::string>& log, std::string& error,
                    const std::function<void()>& pulse) {
  subtitles.SetTimeMap(nullptr);
  if (!options.AlignToSpeech) return true;
  SPEECHALIGNMENT::Alignment alignment;
  if (!SPEECHALIGNMENT::FindTiming(options.SourceVideo, std::max(options.AudioStream, 0),
                                   options.AlignLibraries, subtitles.Document(),
                                   subtitles.FrameRate(), alignment, error, pulse))
    return false;
  log.push_back(
      std::string("Subtitles aligned to the speech of ") +
      (alignment.AudioChannels == "centre" ? "the centre channel:" : "all channels mixed:"));
  for (const std::string& line : SPEECHALIGNMENT::ReportLines(alignment.Finding))
    log.push_back(line);
  if (!alignment.Finding.Trusted) {
    error = "[Align] No trustworthy timing found: " + alignment.Finding.Reason + "...";
    return false;
  }
  const TIMEMAP::TimeMap map = alignment.Finding.Map;
  subtitles.SetTimeMap([map](double seconds) { return map.Apply(seconds); });
  return true;
}

}  // namespace JOBALIGN
