#pragma once

// The values of the settings file Tolvane.ini, every key with its default.
// How they are read and written is Settings.h's; the job option table names
// the fields of its options here.
#include <cstdint>
#include <optional>
#include <string>

#include "compressors/EncoderChoice.h"
#include "job/JobOptions.h"
#include "shell/ColorValue.h"
#include "subtitles/ReadingOptions.h"
#include "subtitles/StyledOptions.h"
#include "subtitles/SubtitleFont.h"
#include "subtitles/SubtitleLook.h"

namespace SETTINGS {

struct Settings {
  // [DLL], read only.
  std::string AvCodec;  // defaults: the sonames of the FFmpeg the program was built with
  std::string AvFormat;
  std::string AvUtil;
  std::string SwScale;
  // [FILES]
  std::string SourceVideo;
  std::string Subtitle;
  std::string DestinationVideo;
  // [FONT]
  SUBTITLEFONT::SubtitleFont Font;
  // [SUBTITLE]
  bool AutoSize = true;
  bool UseFrames = true;
  int FramesDelay = 0;  // signed 16 bits
  int TimeDelay = 0;    // signed 16 bits, hundreds of milliseconds
  // [OTHER]
  bool ShowStatistics = true;
  bool SaveOnExit = true;
  bool FixAudioVBR = false;
  bool TranscodeVideo = false;
  // [LOOK]
  SUBTITLELOOK::SubtitleLook Look;
  // [READING]
  SUBTITLEFILE::ReadingOptions Reading;
  // [STYLED]
  STYLEDSCRIPT::StyledOptions Styled;
  // [ALIGN]: re-time the subtitles to the source's speech before a job.
  bool AlignToSpeech = false;
  // [PICTURES]: of disc subtitle pictures, only the forced ones are drawn.
  bool ForcedOnly = false;
  // Restyle: they are read as text and drawn with the font and look;
  // OcrLanguage: read in these languages (empty: the track's, else eng).
  bool Restyle = false;
  std::string OcrLanguage;
  // [COLOUR]: the output pictures' depth (0: as the source, where the
  // compressor can), and an HDR output's subtitle white in cd/m2.
  int BitDepth = 0;
  int SubtitleNits = 203;
  // and an HDR source tone-mapped to SDR even where it could stay HDR.
  bool Sdr = false;
  // [AUDIO]: sound the output's container cannot hold is converted (AAC for
  // MP4, Opus for WebM and Matroska) rather than refused. The key keeps the
  // name it had when Opus was the only target, for the files that have it.
  bool ConvertAudio = false;
  // [SMART] CopyUntouched: the pictures no subtitle touches are copied.
  bool CopyUntouched = false;
  // [STREAMS] KeepAudio, KeepSubtitles ("all", "none" or "2,3"),
  // KeepChapters, KeepAttachments: what else of the source a Matroska, MP4
  // or WebM output carries.
  JOBOPTIONS::StreamKeeping Keeping;
  // [SECOND] Place: where a second subtitle file drawn with the first goes:
  // at the top ("top", or empty) or just above the first ("above").
  std::string SecondPlace;
  // [GEOMETRY] Crop, Scale, Width, Height, SubtitlePlace, SubtitleRaise:
  // the output picture's shape and the subtitle's place on it.
  PICTURESHAPE::ShapeOptions Shape;

  Settings();  // every key at its default
};

}  // namespace SETTINGS
