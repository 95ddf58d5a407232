#include "job/SmartCopy.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "job/SmartPlan.h"
#include "media/KeyframeIndex.h"
#include "output/MediaOutput.h"

namespace SMARTCOPY {
namespace {

// A picture is drawn by its frame number at the video's rate: the times a
// cue covers are widened by this many frames each way, so that rounding
// never leaves a drawn picture in a copied stretch.
constexpr int kMarginFrames = 2;

// On the video stream's clock, widened by the margin.
std::vector<SMARTPLAN::Shown> OnStreamClock(const std::vector<SMARTPLAN::Shown>& shown,
                                            const VELAVCODEC::VelAvCodec& decoder) {
  std::vector<SMARTPLAN::Shown> onClock;
  onClock.reserve(shown.size());
  const double margin = kMarginFrames / decoder.FramesPerSecond;
  for (const SMARTPLAN::Shown& cue : shown)
    if (std::isfinite(cue.From) && std::isfinite(cue.To))
      onClock.push_back(
          {decoder.VideoValues().VideoStartSeconds + cue.From - margin,
           decoder.VideoValues().VideoStartSeconds + std::max(cue.To, cue.From) + margin});
  return onClock;
}

}  // namespace

std::vector<SMARTPLAN::Shown> FileShownTimes(const SUBTITLEFILE::SubtitleFile& subtitles,
                                             double framesPerSecond) {
  std::vector<SMARTPLAN::Shown> shown;
  if (!(framesPerSecond > 0)) return shown;
  subtitles.ForEachEntry([&](const SUBTITLEFILE::SubtitleEntry& entry) {
    if (entry.Start < 0 && entry.End < 0) return;
    shown.push_back({entry.Start / framesPerSecond,
                     (double(std::max(entry.End, entry.Start)) + 1) / framesPerSecond});
  });
  return shown;
}

Prepared Prepare(const JOBOPTIONS::JobOptions& options, const VELAVCODEC::VelAvCodec& decoder,
                 const std::vector<SMARTPLAN::Shown>& shown) {
  Prepared prepared;
  const MEDIAOUTPUT::Container container = MEDIAOUTPUT::ContainerOf(options.DestinationVideo);
  if (container != MEDIAOUTPUT::Container::Matroska && container != MEDIAOUTPUT::Container::Mp4) {
    prepared.Refusal = "only Matroska and MP4 files take copied pictures";
    return prepared;
  }
  if (!(decoder.FramesPerSecond > 0)) {
    prepared.Refusal = "the source's frame rate is unknown";
    return prepared;
  }
  VELAVCODEC::KeyframeIndex index;
  std::string error;
  if (!VELAVCODEC::ReadKeyframeIndex(decoder.Libraries(), decoder.FileName, decoder.VideoStream,
                                     index, error)) {
    prepared.Refusal = error;
    return prepared;
  }
  if (index.Keyframes.empty()) {
    prepared.Refusal = "the source's video has no keyframes";
    return prepared;
  }
  std::vector<SMARTPLAN::Keyframe> keyframes;
  keyframes.reserve(index.Keyframes.size());
  for (const VELAVCODEC::IndexedKeyframe& keyframe : index.Keyframes)
    keyframes.push_back({keyframe.Seconds, keyframe.Closed, keyframe.LeadingSeconds});
  const std::vector<SMARTPLAN::Shown> onClock = OnStreamClock(shown, decoder);
  // HEVC's leading pictures that refer back are referred to by none after
  // them; H.264's may be.
  const SMARTPLAN::OpenKeyframes open =
      index.Codec == "hevc" ? SMARTPLAN::OpenKeyframes::Part : SMARTPLAN::OpenKeyframes::Tie;
  const std::vector<SMARTPLAN::Stretch> plan =
      SMARTPLAN::Plan(keyframes, index.EndSeconds, onClock, index.CutSeconds, open);
  for (const SMARTPLAN::Stretch& stretch : plan) {
    prepared.Fates.push_back({keyframes[stretch.FirstKeyframe].Seconds, !stretch.Encode,
                              stretch.EncodeFromSeconds, stretch.EncodesLeading});
    prepared.TotalSeconds += stretch.ToSeconds - stretch.FromSeconds;
    if (stretch.Encode) ++prepared.EncodedStretches;
  }
  prepared.Stretches = plan.size();
  prepared.EncodedSeconds = SMARTPLAN::EncodedSeconds(plan, keyframes);
  prepared.DecodeLeadSeconds = index.DecodeLeadSeconds;
  return prepared;
}

std::string RefusalLine(const std::string& refusal) {
  return "Every picture is encoded: " + refusal;
}

std::string PlanLine(const Prepared& prepared) {
  char text[160];
  std::snprintf(text, sizeof text,
                "Pictures no subtitle touches are copied: %zu of %zu stretches (%.1f of %.1f "
                "seconds) are encoded",
                prepared.EncodedStretches, prepared.Stretches, prepared.EncodedSeconds,
                prepared.TotalSeconds);
  return text;
}

}  // namespace SMARTCOPY
