#include "job/JobAlign.h"

#include <algorithm>

#include "align/SpeechAlignment.h"

namespace JOBALIGN {
namespace {

std::string ChannelsHeard(const std::string& channels) {
  if (channels == "centre") return "the centre channel";
  if (channels == "mono") return "the one channel";
  return "all channels mixed";
}

// The finding's lines into the log; false with `error` unless it is
// trusted. The job takes what --align-subtitles writes: cues no timing fits
// stay at their neighbours' offset, and the log names them.
bool Trusted(const SPEECHALIGNMENT::Alignment& alignment, std::vector<std::string>& log,
             std::string& error) {
  log.push_back("Speech alignment, on " + ChannelsHeard(alignment.AudioChannels) + ":");
  for (const std::string& line : SPEECHALIGNMENT::ReportLines(alignment.Finding))
    log.push_back(line);
  if (!alignment.Finding.Trusted) {
    error = "[Align] No trustworthy timing found: " + alignment.Finding.Reason + "...";
    return false;
  }
  if (!alignment.Finding.NotPlaced.empty())
    log.push_back("[Align] No timing fits " + SPEECHALIGNMENT::NotPlacedText(alignment.Finding) +
                  " (the film may lack their scene); left at their neighbours' offset");
  return true;
}

}  // namespace

bool FindAlignment(const JOBOPTIONS::JobOptions& options, const std::vector<ALIGNER::CueTime>& cues,
                   TIMEMAP::TimeMap& map, std::vector<std::string>& log, std::string& error,
                   const std::function<void()>& pulse) {
  map = TIMEMAP::TimeMap{};
  if (!options.AlignToSpeech) return true;
  SPEECHALIGNMENT::Alignment alignment;
  if (!SPEECHALIGNMENT::FindTiming(options.SourceVideo, std::max(options.AudioStream, 0),
                                   options.AlignLibraries, cues, alignment, error, pulse) ||
      !Trusted(alignment, log, error))
    return false;
  map = alignment.Finding.Map;
  return true;
}

bool ApplyAlignment(const JOBOPTIONS::JobOptions& options, SUBTITLEFILE::SubtitleFile& subtitles,
                    std::vector<std::string>& log, std::string& error,
                    const std::function<void()>& pulse) {
  subtitles.SetTimeMap(nullptr);
  if (!options.AlignToSpeech) return true;
  SPEECHALIGNMENT::Alignment alignment;
  if (!SPEECHALIGNMENT::FindTiming(options.SourceVideo, std::max(options.AudioStream, 0),
                                   options.AlignLibraries, subtitles.Document(),
                                   subtitles.FrameRate(), alignment, error, pulse) ||
      !Trusted(alignment, log, error))
    return false;
  const TIMEMAP::TimeMap map = alignment.Finding.Map;
  subtitles.SetTimeMap(
      [map](double seconds, double cueStart) { return map.Apply(seconds, cueStart); });
  return true;
}

}  // namespace JOBALIGN
