// The settings file as it is written, key for key: the window's users keep
// these files, so a change in what or where a key is written is a fault
// even when it reads back the same.
#include <gtest/gtest.h>

#include "shell/Settings.h"
#include "support/TestSupport.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

std::string Written(const SETTINGS::Settings& settings, const std::string& before = "") {
  TempDir dir;
  const std::string path = (dir / "Tolvane.ini").string();
  if (!before.empty()) WriteFile(path, before);
  std::string error;
  EXPECT_TRUE(SETTINGS::SaveSettings(path, settings, error)) << error;
  return ReadFile(path);
}

// The five sections the window has always written, with their defaults.
const std::string kWindowSections =
    "[OTHER]\r\n"
    "SaveOnExit=1\r\n"
    "ShowStatistics=1\r\n"
    "FixAudioVBR=0\r\n"
    "TranscodeVideo=0\r\n"
    "\r\n"
    "[FILES]\r\n"
    "SourceVideo=\r\n"
    "Subtitle=\r\n"
    "DestinationVideo=\r\n"
    "\r\n"
    "[FONT]\r\n"
    "Name=Arial\r\n"
    "Size=10\r\n"
    "Color=0x000000\r\n"
    "Charset=0\r\n"
    "Bold=0\r\n"
    "Italic=0\r\n"
    "Underline=0\r\n"
    "StrikeOut=0\r\n"
    "\r\n"
    "[SUBTITLE]\r\n"
    "AutoSize=1\r\n"
    "UseFrames=1\r\n"
    "FramesDelay=0\r\n"
    "TimeDelay=0\r\n";

// Every key of the sections of their own off its default.
SETTINGS::Settings AllOn() {
  SETTINGS::Settings settings;
  settings.SourceVideo = "/v/in.mkv";
  settings.Subtitle = "/v/in.srt";
  settings.DestinationVideo = "/v/out.avi";
  settings.Font = {"DejaVu Sans", 14, 0xFF0000, 204, true, false, true, true};
  settings.AutoSize = false;
  settings.UseFrames = false;
  settings.FramesDelay = -25;
  settings.TimeDelay = 30;
  settings.ShowStatistics = false;
  settings.FixAudioVBR = true;
  settings.TranscodeVideo = true;
  settings.Look.Outline = 2;
  settings.Look.Shadow = 1;
  settings.Look.BoxOpacity = 40;
  settings.Look.Antialias = true;
  settings.Look.Margin = 6;
  settings.Reading = {true, true, true, true, true};
  settings.Styled.On = true;
  settings.Styled.LeftToRight = true;
  settings.AlignToSpeech = true;
  settings.ForcedOnly = true;
  settings.Restyle = true;
  settings.OcrLanguage = "fra+deu";
  settings.BitDepth = 10;
  settings.SubtitleNits = 300;
  settings.Sdr = true;
  settings.ConvertAudio = true;
  settings.CopyUntouched = true;
  settings.Keeping = {{JOBOPTIONS::TrackKeeping::Choice::None, {}},
                      {JOBOPTIONS::TrackKeeping::Choice::Listed, {2, 3}},
                      false,
                      false};
  return settings;
}

}  // namespace

TEST(SettingsBytesTest, EachSectionAndKeyIsWrittenWhereItAlwaysWas) {
  // The window's five sections alone while nothing else was ever used.
  EXPECT_EQ(Written({}), kWindowSections);
  // Every section of its own written once used, in its place.
  EXPECT_EQ(Written(AllOn()),
            "[OTHER]\r\n"
            "SaveOnExit=1\r\n"
            "ShowStatistics=0\r\n"
            "FixAudioVBR=1\r\n"
            "TranscodeVideo=1\r\n"
            "\r\n"
            "[FILES]\r\n"
            "SourceVideo=/v/in.mkv\r\n"
            "Subtitle=/v/in.srt\r\n"
            "DestinationVideo=/v/out.avi\r\n"
            "\r\n"
            "[FONT]\r\n"
            "Name=DejaVu Sans\r\n"
            "Size=14\r\n"
            "Color=0xFF0000\r\n"
            "Charset=204\r\n"
            "Bold=1\r\n"
            "Italic=0\r\n"
            "Underline=1\r\n"
            "StrikeOut=1\r\n"
            "\r\n"
            "[SUBTITLE]\r\n"
            "AutoSize=0\r\n"
            "UseFrames=0\r\n"
            "FramesDelay=-25\r\n"
            "TimeDelay=30\r\n"
            "\r\n"
            "[LOOK]\r\n"
            "Outline=2\r\n"
            "OutlineColor=0x000000\r\n"
            "Shadow=1\r\n"
            "ShadowColor=0x000000\r\n"
            "BoxOpacity=40\r\n"
            "BoxColor=0x000000\r\n"
            "Antialias=1\r\n"
            "Margin=6\r\n"
            "\r\n"
            "[READING]\r\n"
            "Unicode=1\r\n"
            "DetectCodePage=1\r\n"
            "CleanMarkup=1\r\n"
            "Tolerant=1\r\n"
            "\r\n"
            "[STYLED]\r\n"
            "Styled=1\r\n"
            "LeftToRight=1\r\n"
            "\r\n"
            "[ALIGN]\r\n"
            "AlignToSpeech=1\r\n"
            "\r\n"
            "[PICTURES]\r\n"
            "ForcedOnly=1\r\n"
            "Restyle=1\r\n"
            "OcrLanguage=fra+deu\r\n"
            "\r\n"
            "[COLOUR]\r\n"
            "BitDepth=10\r\n"
            "SubtitleNits=300\r\n"
            "Sdr=1\r\n"
            "\r\n"
            "[AUDIO]\r\n"
            "ConvertToOpus=1\r\n"
            "\r\n"
            "[SMART]\r\n"
            "CopyUntouched=1\r\n"
            "\r\n"
            "[STREAMS]\r\n"
            "KeepAudio=none\r\n"
            "KeepSubtitles=2,3\r\n"
            "KeepChapters=0\r\n"
            "KeepAttachments=0\r\n");
  // A key the file has already is written again, though at its default.
  EXPECT_EQ(Written({},
                    "[READING]\r\nUnicode=0\r\n[SMART]\r\nCopyUntouched=0\r\n[COLOUR]\r\n"
                    "Sdr=0\r\n[ALIGN]\r\nAlignToSpeech=0\r\n"),
            "[READING]\r\n"
            "Unicode=0\r\n"
            "DetectCodePage=0\r\n"
            "CleanMarkup=0\r\n"
            "Tolerant=0\r\n"
            "[SMART]\r\n"
            "CopyUntouched=0\r\n"
            "[COLOUR]\r\n"
            "Sdr=0\r\n"
            "[ALIGN]\r\n"
            "AlignToSpeech=0\r\n"
            "\r\n" +
                kWindowSections);
}

// A file of the old sections alone, its keys in their own order, comes out
// byte for byte as it went in while the streams are kept as by default.
TEST(SettingsBytesTest, KeepingEverythingLeavesAnOlderFileAsItWas) {
  const std::string older =
      "[FILES]\r\nSourceVideo=/v/a.mkv\r\nSubtitle=\r\nDestinationVideo=/v/b.mp4\r\n\r\n" +
      kWindowSections.substr(kWindowSections.find("[FONT]")) +
      "\r\n[OTHER]\r\nSaveOnExit=1\r\n"
      "ShowStatistics=1\r\nFixAudioVBR=0\r\nTranscodeVideo=0\r\n";
  SETTINGS::Settings settings;
  settings.SourceVideo = "/v/a.mkv";
  settings.DestinationVideo = "/v/b.mp4";
  EXPECT_EQ(Written(settings, older), older);
  // Once a track is left out, the section follows the others, whole.
  settings.Keeping.Sound.Which = JOBOPTIONS::TrackKeeping::Choice::None;
  EXPECT_EQ(Written(settings, older), older +
                                          "\r\n[STREAMS]\r\nKeepAudio=none\r\nKeepSubtitles=all\r\n"
                                          "KeepChapters=1\r\nKeepAttachments=1\r\n");
}
