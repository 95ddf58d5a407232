#pragma once

// Speech alignment from end to end: the cues' times as the file gives them,
// the film's audio read into a speech track, the timing found, and the
// finding told in the lines the command line prints and the job logs.
#include <functional>
#include <string>
#include <vector>

#include "align/Aligner.h"
#include "media/AudioSamples.h"
#include "subtitles/SubtitleModel.h"

namespace SPEECHALIGNMENT {

// "hh:mm:ss" and the milliseconds after `beforeFraction` (',' in SubRip).
std::string ClockText(double seconds, char beforeFraction);

// The usable cues' times in seconds of the file's clock.
std::vector<ALIGNER::CueTime> CueTimes(const SUBTITLEFILE::SubtitleDocument& document,
                                       double videoFramesPerSecond);

struct Alignment {
  ALIGNER::Finding Finding;
  double VideoFramesPerSecond = 0.0;  // the source's, 0 when it has no video
  std::string AudioChannels;          // "centre", "mono" or "mix"
};

// False with `error` when the audio can't be read; otherwise the finding,
// trusted or not. `pulse`, when given, is called every few seconds of audio
// read, so that a window stays responsive through a long film.
bool FindTiming(const std::string& source, int audioStream,
                const AUDIOSAMPLES::AudioLibraryNames& libraries,
                const SUBTITLEFILE::SubtitleDocument& document, double videoFramesPerSecond,
                Alignment& alignment, std::string& error,
                const std::function<void()>& pulse = nullptr);

// The same for cues whose times are already in seconds (subtitle pictures).
bool FindTiming(const std::string& source, int audioStream,
                const AUDIOSAMPLES::AudioLibraryNames& libraries,
                const std::vector<ALIGNER::CueTime>& cues, Alignment& alignment, std::string& error,
                const std::function<void()>& pulse = nullptr);

// The cues' times once the film's frame rate is known.
using CuesAtRate = std::function<std::vector<ALIGNER::CueTime>(double videoFramesPerSecond)>;
bool FindTiming(const std::string& source, int audioStream,
                const AUDIOSAMPLES::AudioLibraryNames& libraries, const CuesAtRate& cuesAt,
                double videoFramesPerSecond, Alignment& alignment, std::string& error,
                const std::function<void()>& pulse = nullptr);

// "cue 7" or "cues 41 to 52", numbered from 1 as the report numbers them.
std::string CueRangeText(const ALIGNER::Finding::Unplaced& unplaced);
// Every run of cues set aside, joined: "cues 41 to 52, cue 80".
std::string NotPlacedText(const ALIGNER::Finding& finding);

// The finding as lines without line ends: offset, ratio, splits, cues set
// aside, confidence.
std::vector<std::string> ReportLines(const ALIGNER::Finding& finding);

}  // namespace SPEECHALIGNMENT
