#pragma once

// What a job is asked to do: the three files, the streams and the subtitle
// options, as the window's controls or the command line give them.
#include <algorithm>
#include <cstdint>
#include <string>

#include "job/ShapeOptions.h"
#include "media/AudioSamples.h"
#include "output/StreamKeeping.h"
#include "subtitles/ReadingOptions.h"
#include "subtitles/StyledOptions.h"
#include "subtitles/SubtitleFont.h"
#include "subtitles/SubtitleLook.h"
#include "subtitles/SubtitleUnit.h"

namespace JOBOPTIONS {

using MEDIAOUTPUT::StreamKeeping;
using MEDIAOUTPUT::TrackKeeping;

// The source's forced subtitle track, found by its mark or its length.
constexpr int kForcedTrack = -1;

// Where HDR pictures put graphics' white (ITU-R BT.2408), in cd/m2.
constexpr double kReferenceWhiteNits = 203.0;

struct JobOptions {
  // Used as given; only the emptiness test ignores surrounding blanks.
  std::string SourceVideo;
  std::string Subtitle;
  std::string DestinationVideo;
  int VideoStream = -1;  // item index of the stream list; below 0 for none chosen
  int AudioStream = -1;
  bool UseFrames = true;  // delay in frames, else in milliseconds
  int32_t DelayFrames = 0;
  int32_t DelayMilliseconds = 0;
  bool TranscodeVideo = false;
  bool FixAudioVBR = false;
  bool AutoSize = true;
  SUBTITLEFONT::SubtitleFont Font;
  SUBTITLELOOK::SubtitleLook Look;
  SUBTITLEFILE::ReadingOptions Reading;  // how the subtitle file is read
  STYLEDSCRIPT::StyledOptions Styled;
  // The source's own subtitle track (from 1) in place of the subtitle file,
  // drawn styled; 0 for none; kForcedTrack: the forced one, found.
  int SubtitleTrack = 0;
  // Languages ("fre,eng", in the order they win): with no subtitle file or
  // track named, the subtitle file beside the source or the source's track
  // in the first of them that has one.
  std::string SubtitleLanguages;
  // A second subtitle file drawn with the first, for two languages at once;
  // empty for none. It goes to the top of the picture, or with "above" just
  // above the first.
  std::string SecondSubtitle;
  std::string SecondPlace;
  // The source's own subtitle track (from 1) as the second, when no second
  // file is named; 0 for none.
  int SecondSubtitleTrack = 0;
  // Re-time the subtitles to the source's speech before drawing them, with
  // the audio read through these libraries.
  bool AlignToSpeech = false;
  // Of picture subtitles, only the forced ones are drawn (a track marked
  // forced is forced whole).
  bool ForcedOnly = false;
  // Picture subtitles are read as text (in these Tesseract languages; empty:
  // the track's, else English) and drawn as text with the font and look.
  bool Restyle = false;
  std::string OcrLanguage;
  // A source found damaged fails the job instead of being reported only.
  bool Strict = false;
  // Bits a sample of the output's pictures: 0 keeps a 10- or 12-bit
  // source deep where the compressor writes 10 bits, 8 or 10 chooses.
  int BitDepth = 0;
  // An HDR source is tone-mapped to SDR even where it could stay HDR.
  bool Sdr = false;
  // An HDR output's subtitle white, in cd/m2.
  double SubtitleNits = kReferenceWhiteNits;
  // Sound the output's container cannot hold (WebM takes Opus and Vorbis
  // alone, MP4 no PCM) is converted instead of refused: to AAC for MP4, to
  // Opus for WebM and Matroska.
  bool ConvertAudio = false;
  // Pictures no subtitle touches are copied from the source as they are
  // where its codec allows; only the others are encoded.
  bool CopyUntouched = false;
  // What else of the source a Matroska, MP4 or WebM output carries.
  StreamKeeping Keeping;
  // Only this part of the film is written (CLIPRANGE::ParseRange reads
  // them): times as given, empty for the film's start and end.
  std::string ClipStart, ClipEnd, ClipDuration;
  // The output picture's crop, size and the subtitle's place on it.
  PICTURESHAPE::ShapeOptions Shape;
  AUDIOSAMPLES::AudioLibraryNames AlignLibraries = AUDIOSAMPLES::AudioLibraryNames::Defaults();
};

// How the options' subtitle file is read: styled drawing reads more formats,
// and the Unicode forms those formats are written in.
inline SUBTITLEFILE::ReadingOptions ReadingOf(const JobOptions& options) {
  SUBTITLEFILE::ReadingOptions reading = options.Reading;
  reading.Styled = options.Styled.On;
  reading.Unicode = reading.Unicode || options.Styled.On;
  return reading;
}

inline bool SecondAbove(const JobOptions& options) { return options.SecondPlace == "above"; }

// Blanks and control characters count as empty around a file name.
inline bool IsBlankName(const std::string& name) {
  return std::all_of(name.begin(), name.end(), [](char c) { return uint8_t(c) <= ' '; });
}

enum class MissingFile { None, Source, Subtitle, Destination };

// The first file the options leave blank that a job needs (a still needs no
// destination); a copy without subtitles needs no subtitle file.
inline MissingFile FirstMissingFile(const JobOptions& options, bool needsDestination = true) {
  if (IsBlankName(options.SourceVideo)) return MissingFile::Source;
  if (IsBlankName(options.Subtitle) && !options.TranscodeVideo && options.SubtitleTrack == 0 &&
      options.SubtitleLanguages.empty())
    return MissingFile::Subtitle;
  if (needsDestination && IsBlankName(options.DestinationVideo)) return MissingFile::Destination;
  return MissingFile::None;
}

// What the window asks for when a file is missing; null when none is.
inline const char* MissingFileRequest(MissingFile missing) {
  switch (missing) {
    case MissingFile::Source:
      return "Please choose a source video file!";
    case MissingFile::Subtitle:
      return "Please choose a subtitle file!";
    case MissingFile::Destination:
      return "Please choose a destination video file!";
    case MissingFile::None:
      break;
  }
  return nullptr;
}

// The delay correction in frames at the video's rate: a delay in
// milliseconds is turned into whole frames. Every subtitle source (a file,
// plain or styled, and a source's track) is moved by this many frames.
inline int32_t SubtitleDelayFrames(const JobOptions& options, double framesPerSecond) {
  return options.UseFrames
             ? options.DelayFrames
             : SUBTITLEFILE::MillisecondsToFrames(options.DelayMilliseconds, framesPerSecond);
}

// The frame rate and the delay correction the options give an opened subtitle
// file.
inline void SetSubtitleTiming(SUBTITLEFILE::SubtitleFile& file, const JobOptions& options,
                              double framesPerSecond) {
  file.SetFrameRate(framesPerSecond);
  file.SetDelayFrames(SubtitleDelayFrames(options, framesPerSecond));
}

}  // namespace JOBOPTIONS
