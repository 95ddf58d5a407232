#pragma once

// What an output is told of the opened source's chosen streams: their
// values and codec parameters, not the decoder that read them.
#include <climits>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "media/StreamValues.h"

struct AVCodecParameters;

namespace VELAVCODEC {

// A packet's time that the source does not give.
constexpr int64_t kNoTime = INT64_MIN;

// A file's or stream's tags (name, value), in the order the file gives them.
using Tags = std::vector<std::pair<std::string, std::string>>;

// A stream of the source as it is stored, which an output may keep.
struct StoredStream {
  enum class Kind { Sound, Subtitles, Attachment, Other };
  int32_t Index = -1;  // in the source, as a delivered packet's Stream names it
  Kind What = Kind::Other;
  // Its number among the source's sound or subtitle streams, from 1, as the
  // stream choices count them; 0 for other kinds.
  int32_t Track = 0;
  const AVCodecParameters* Parameters = nullptr;  // valid while the source is open
  // Its clock, and its first time on it (kNoTime when not known).
  int32_t TimeBaseNum = 1, TimeBaseDen = 1;
  int64_t StartTime = kNoTime;
  // AV_DISPOSITION_* marks (default, forced, commentary, ...).
  int32_t Disposition = 0;
  std::string Language, Title;
  Tags AllTags;  // Language and Title among them
  // A picture attached to the source as a stream of one picture (a cover):
  // its bytes, valid while the source is open.
  const uint8_t* Picture = nullptr;
  int32_t PictureSize = 0;
};
using OtherStream = StoredStream;

struct SourceChapter {
  int64_t Id = 0;
  int32_t TimeBaseNum = 1, TimeBaseDen = 1;
  int64_t Start = 0, End = 0;  // on its own clock
  Tags AllTags;                // its title, in the language it states
};

struct SourceStreams {
  VideoStreamValues Video;
  AudioStreamValues Audio;
  // The source has a sound stream and one is chosen.
  bool HasAudio = false;
  // The streams' clocks: packet times count in these units.
  int32_t VideoTimeBaseNum = 1, VideoTimeBaseDen = 1;
  int32_t AudioTimeBaseNum = 1, AudioTimeBaseDen = 1;
  // The video stream's average frame rate, for a container's header.
  double AverageFramesPerSecond = 0.0;
  // For a container that copies them; valid while the source is open, null
  // where there is no such stream.
  const AVCodecParameters* VideoParameters = nullptr;
  const AVCodecParameters* AudioParameters = nullptr;
  // The chosen streams as stored (Parameters as above).
  StoredStream VideoRecord, AudioRecord;
  // The source's other streams, in file order.
  std::vector<OtherStream> Others;
  std::vector<SourceChapter> Chapters;
  Tags FileTags;  // the container's own: its title, ...
};

}  // namespace VELAVCODEC
