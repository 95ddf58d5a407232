#include "job/SmartCopy.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "job/ClipRange.h"
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

// A clip's edges on the stream's clock: the stretch the start falls inside
// is encoded from its keyframe (the pictures before the start are decoded
// and let go), and so is the one the end falls inside; a clip that starts
// or ends on a keyframe copies what lies beside it.
void AddClipEdges(const CLIPRANGE::Range& clip, double videoStart,
                  std::vector<SMARTPLAN::Shown>& onClock) {
  if (!clip.Asked) return;
  constexpr double kEdge = 1.0e-3;
  if (clip.FromSeconds > 0.0)
    onClock.push_back({videoStart + clip.FromSeconds - kEdge, videoStart + clip.FromSeconds});
  if (std::isfinite(clip.ToSeconds))
    onClock.push_back({videoStart + clip.ToSeconds, videoStart + clip.ToSeconds + kEdge});
}

// The stretches as far as they lie inside the clip, for the counts.
std::vector<SMARTPLAN::Stretch> WithinClip(const std::vector<SMARTPLAN::Stretch>& plan,
                                           const CLIPRANGE::Range& clip, double videoStart) {
  if (!clip.Asked) return plan;
  const double from = videoStart + clip.FromSeconds, to = videoStart + clip.ToSeconds;
  std::vector<SMARTPLAN::Stretch> inside;
  for (SMARTPLAN::Stretch stretch : plan) {
    if (stretch.ToSeconds <= from || stretch.FromSeconds >= to) continue;
    // Leading pictures encoded before the start are not the clip's.
    if (stretch.FromSeconds < from) stretch.EncodesLeading = false;
    stretch.FromSeconds = std::max(stretch.FromSeconds, from);
    stretch.ToSeconds = std::min(stretch.ToSeconds, to);
    stretch.EncodeFromSeconds =
        std::clamp(stretch.EncodeFromSeconds, stretch.FromSeconds, stretch.ToSeconds);
    inside.push_back(stretch);
  }
  return inside;
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
  std::vector<SMARTPLAN::Shown> onClock = OnStreamClock(shown, decoder);
  CLIPRANGE::Range clip;
  CLIPRANGE::ParseRange(options.ClipStart, options.ClipEnd, options.ClipDuration, clip);
  const double videoStart = decoder.VideoValues().VideoStartSeconds;
  AddClipEdges(clip, videoStart, onClock);
  // HEVC's leading pictures that refer back are referred to by none after
  // them; H.264's may be.
  const SMARTPLAN::OpenKeyframes open =
      index.Codec == "hevc" ? SMARTPLAN::OpenKeyframes::Part : SMARTPLAN::OpenKeyframes::Tie;
  const std::vector<SMARTPLAN::Stretch> plan =
      SMARTPLAN::Plan(keyframes, index.EndSeconds, onClock, index.CutSeconds, open);
  for (const SMARTPLAN::Stretch& stretch : plan)
    prepared.Fates.push_back({keyframes[stretch.FirstKeyframe].Seconds, !stretch.Encode,
                              stretch.EncodeFromSeconds, stretch.EncodesLeading});
  // What is written: a clip counts its own part alone.
  const std::vector<SMARTPLAN::Stretch> written = WithinClip(plan, clip, videoStart);
  for (const SMARTPLAN::Stretch& stretch : written) {
    prepared.TotalSeconds += stretch.ToSeconds - stretch.FromSeconds;
    if (stretch.Encode) ++prepared.EncodedStretches;
  }
  prepared.Stretches = written.size();
  prepared.EncodedSeconds = SMARTPLAN::EncodedSeconds(written, keyframes);
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
