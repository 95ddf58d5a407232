#include "shell/JobSettings.h"

namespace SETTINGS {

JOBOPTIONS::JobOptions JobOptionsFromSettings(const Settings& settings) {
  JOBOPTIONS::JobOptions options;
  options.SourceVideo = settings.SourceVideo;
  options.Subtitle = settings.Subtitle;
  options.DestinationVideo = settings.DestinationVideo;
  options.UseFrames = settings.UseFrames;
  options.DelayFrames = settings.FramesDelay;
  options.DelayMilliseconds = 100 * settings.TimeDelay;
  options.TranscodeVideo = settings.TranscodeVideo;
  options.FixAudioVBR = settings.FixAudioVBR;
  options.AutoSize = settings.AutoSize;
  options.Font = settings.Font;
  options.Look = settings.Look;
  options.Reading = settings.Reading;
  options.Styled = settings.Styled;
  options.AlignToSpeech = settings.AlignToSpeech;
  options.ForcedOnly = settings.ForcedOnly;
  options.BitDepth = settings.BitDepth;
  options.SubtitleNits = settings.SubtitleNits;
  options.Sdr = settings.Sdr;
  options.ConvertAudio = settings.ConvertAudio;
  options.CopyUntouched = settings.CopyUntouched;
  options.AlignLibraries.Decoder = {settings.AvCodec, settings.AvFormat, settings.AvUtil,
                                    settings.SwScale};
  return options;
}

}  // namespace SETTINGS
