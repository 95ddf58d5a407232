#pragma once

// The settings file Tolvane.ini: every key with its default, read at start
// and written at close. The window maps these values to its controls; the
// command line takes what its options leave open from here.
#include <cstdint>
#include <optional>
#include <string>

#include "compressors/EncoderChoice.h"
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
  // [COLOUR]: the output pictures' depth (0: as the source, where the
  // compressor can), and an HDR output's subtitle white in cd/m2.
  int BitDepth = 0;
  int SubtitleNits = 203;
  // and an HDR source tone-mapped to SDR even where it could stay HDR.
  bool Sdr = false;
  // [AUDIO]: sound the output's container cannot hold is converted to Opus
  // rather than refused.
  bool ConvertAudio = false;
  // [SMART] CopyUntouched: the pictures no subtitle touches are copied.
  bool CopyUntouched = false;

  Settings();  // every key at its default
};

// Reads every key of the file (a missing file or key gives the default).
Settings LoadSettings(const std::string& path);

// Writes "SaveOnExit" and, when it is set, every other key the window saves.
// Returns false with a message "Unable to write to <path>" when the file
// cannot be written.
bool SaveSettings(const std::string& path, const Settings& settings, std::string& error);

// [COMPRESSOR]: the last compressor the window's dialog confirmed, with its
// quality (0 to 10000), key-frame distance and data rate (kilobytes per
// second in the file) and whether those two are switched on. None while the
// section has no Code; a Code that is no code of four characters is XVID,
// and a value missing or out of the dialog's range is its default.
std::optional<ENCODERCHOICE::EncoderChoice> LoadCompressorChoice(const std::string& path);
// Fails with "Unable to write to <path>".
bool SaveCompressorChoice(const std::string& path, const ENCODERCHOICE::EncoderChoice& choice,
                          std::string& error);

}  // namespace SETTINGS
