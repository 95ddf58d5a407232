#include <gtest/gtest.h>
#include <unistd.h>

#include "compressors/CompressorCatalog.h"
#include "platform/IniFile.h"
#include "shell/ColorValue.h"
#include "shell/JobSettings.h"
#include "shell/Settings.h"
#include "shell/SettingsLocation.h"
#include "support/TestSupport.h"

using SETTINGS::LoadSettings;
using SETTINGS::SaveSettings;
using SETTINGS::Settings;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = (dir / "Tolvane.ini").string();

  void Save(const Settings& settings) {
    std::string error;
    ASSERT_TRUE(SaveSettings(path, settings, error)) << error;
  }
};

TEST_F(SettingsTest, MissingFileGivesEveryDefault) {
  const Settings settings = LoadSettings(path);
  EXPECT_EQ(settings.AvCodec, "libavcodec.so.59");
  EXPECT_EQ(settings.AvFormat, "libavformat.so.59");
  EXPECT_EQ(settings.AvUtil, "libavutil.so.57");
  EXPECT_EQ(settings.SwScale, "libswscale.so.6");
  EXPECT_EQ(settings.SourceVideo, "");
  EXPECT_EQ(settings.Font, SUBTITLEFONT::SubtitleFont{});
  EXPECT_EQ(settings.Font.Name, "Arial");
  EXPECT_EQ(settings.Font.Size, 10);
  EXPECT_TRUE(settings.AutoSize);
  EXPECT_TRUE(settings.UseFrames);
  EXPECT_EQ(settings.FramesDelay, 0);
  EXPECT_TRUE(settings.ShowStatistics);
  EXPECT_TRUE(settings.SaveOnExit);
  EXPECT_FALSE(settings.FixAudioVBR);
  EXPECT_FALSE(settings.TranscodeVideo);
}

TEST_F(SettingsTest, RoundTripsEveryWrittenKey) {
  Settings settings;
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
  Save(settings);
  const Settings read = LoadSettings(path);
  EXPECT_EQ(read.SourceVideo, settings.SourceVideo);
  EXPECT_EQ(read.Subtitle, settings.Subtitle);
  EXPECT_EQ(read.DestinationVideo, settings.DestinationVideo);
  EXPECT_EQ(read.Font, settings.Font);
  EXPECT_FALSE(read.AutoSize);
  EXPECT_FALSE(read.UseFrames);
  EXPECT_EQ(read.FramesDelay, -25);
  EXPECT_EQ(read.TimeDelay, 30);
  EXPECT_FALSE(read.ShowStatistics);
  EXPECT_TRUE(read.FixAudioVBR);
  EXPECT_TRUE(read.TranscodeVideo);
  // The library names are only ever read.
  EXPECT_EQ(ReadFile(path).find("[DLL]"), std::string::npos);
}

TEST_F(SettingsTest, ColoursAreWrittenAsUpperCaseHexOfAtLeastSixDigits) {
  EXPECT_EQ(SETTINGS::FormatColor(0x0000FF), "0x0000FF");
  EXPECT_EQ(SETTINGS::FormatColor(0xFF0000), "0xFF0000");
  EXPECT_EQ(SETTINGS::FormatColor(0x1ABCDEF), "0x1ABCDEF");
  Settings settings;
  settings.Font.Color = 0x0000FF;  // pure red
  Save(settings);
  EXPECT_NE(ReadFile(path).find("Color=0x0000FF\r\n"), std::string::npos);
  EXPECT_EQ(LoadSettings(path).Font.Color, 0x0000FFu);
}

TEST_F(SettingsTest, BadValuesFallBackAndTheRestIsStillRead) {
  WriteFile(path,
            "[FONT]\nName=Verdana\nSize=big\nColor=red\nCharset=0x1CC\n"
            "[SUBTITLE]\nFramesDelay=99999\nTimeDelay=-40000\n[OTHER]\nShowStatistics=no\n"
            "TranscodeVideo=1\n");
  const Settings settings = LoadSettings(path);
  EXPECT_EQ(settings.Font.Name, "Verdana");
  EXPECT_EQ(settings.Font.Size, 10);
  EXPECT_EQ(settings.Font.Color, 0u);     // a colour that is no number is black
  EXPECT_EQ(settings.Font.Charset, 204);  // low 8 bits
  EXPECT_EQ(settings.FramesDelay, 32767);
  EXPECT_EQ(settings.TimeDelay, -32768);
  EXPECT_TRUE(settings.ShowStatistics);
  EXPECT_TRUE(settings.TranscodeVideo);
  EXPECT_EQ(SETTINGS::ParseColor(" $FF"), 0xFFu);
  EXPECT_EQ(SETTINGS::ParseColor("255"), 0xFFu);
}

TEST_F(SettingsTest, ValuesGetTheRangesOfTheCommandLine) {
  WriteFile(path, "[FONT]\nSize=2147483647\nColor=0x12345678\n");
  Settings settings = LoadSettings(path);
  EXPECT_EQ(settings.Font.Size, 1000);
  EXPECT_EQ(settings.Font.Color, 0x345678u);
  WriteFile(path, "[FONT]\nSize=-5\n");
  settings = LoadSettings(path);
  EXPECT_EQ(settings.Font.Size, 1);
}

TEST_F(SettingsTest, EmptyLibraryKeyIsHandedOnEmpty) {
  WriteFile(path, "[DLL]\nAvCodec=\nAvFormat=custom.so\n");
  const Settings settings = LoadSettings(path);
  EXPECT_EQ(settings.AvCodec, "");
  EXPECT_EQ(settings.AvFormat, "custom.so");
  EXPECT_EQ(settings.AvUtil, "libavutil.so.57");
}

TEST_F(SettingsTest, WithoutAutosaveOnlySaveOnExitIsWritten) {
  const std::string before = "[FILES]\r\nSourceVideo=/old.avi\r\n[OTHER]\r\nSaveOnExit=1\r\n";
  WriteFile(path, before);
  Settings settings;
  settings.SaveOnExit = false;
  settings.SourceVideo = "/new.avi";
  Save(settings);
  EXPECT_EQ(ReadFile(path), "[FILES]\r\nSourceVideo=/old.avi\r\n[OTHER]\r\nSaveOnExit=0\r\n");
}

TEST_F(SettingsTest, FileNamesAreWrittenWithoutSurroundingBlanks) {
  Settings settings;
  settings.SourceVideo = "  /v/in put.avi \t";
  settings.Subtitle = "\x01 /v/a.srt\r\n";
  Save(settings);
  const Settings read = LoadSettings(path);
  EXPECT_EQ(read.SourceVideo, "/v/in put.avi");
  EXPECT_EQ(read.Subtitle, "/v/a.srt");
  // Quotes around a name are what a read takes away: a name in quotes
  // with a blank inside them is saved as it will read, and stays so.
  settings.DestinationVideo = "\x01\"/v/out.avi \"";
  Save(settings);
  const Settings once = LoadSettings(path);
  EXPECT_EQ(once.DestinationVideo, "/v/out.avi");
  Save(once);
  EXPECT_EQ(LoadSettings(path).DestinationVideo, "/v/out.avi");
}

TEST_F(SettingsTest, ReadingSectionIsWrittenOnceUsedAndReachesTheJob) {
  Settings settings;
  Save(settings);
  EXPECT_EQ(ReadFile(path).find("[READING]"), std::string::npos);
  EXPECT_EQ(LoadSettings(path).Reading, SUBTITLEFILE::ReadingOptions{});

  settings.Reading = {.Unicode = true, .Tolerant = true};
  Save(settings);
  const std::string text = ReadFile(path);
  EXPECT_NE(text.find("\r\n[READING]\r\nUnicode=1\r\nDetectCodePage=0\r\nCleanMarkup=0\r\n"
                      "Tolerant=1\r\n"),
            std::string::npos)
      << text;
  const Settings read = LoadSettings(path);
  EXPECT_EQ(read.Reading, settings.Reading);
  EXPECT_EQ(SETTINGS::JobOptionsFromSettings(read).Reading, settings.Reading);

  // Switched off again, the section says so.
  settings.Reading = {};
  Save(settings);
  EXPECT_NE(ReadFile(path).find("[READING]\r\nUnicode=0\r\nDetectCodePage=0\r\nCleanMarkup=0"
                                "\r\nTolerant=0\r\n"),
            std::string::npos);
}

TEST_F(SettingsTest, ReadingSectionFollowsAutosaveAndReadsLikeTheOtherBools) {
  WriteFile(path, "[READING]\nUnicode=yes\nDetectCodePage=2\nCleanMarkup=0x1\nTolerant=0\n");
  const Settings read = LoadSettings(path);
  EXPECT_EQ(read.Reading, (SUBTITLEFILE::ReadingOptions{false, true, true, false}));
  Settings settings;
  settings.SaveOnExit = false;
  settings.Reading = {true, true, true, true};
  Save(settings);
  EXPECT_EQ(LoadSettings(path).Reading, read.Reading);
}

TEST_F(SettingsTest, TheCompressorChoiceHasItsOwnSection) {
  EXPECT_FALSE(SETTINGS::LoadCompressorChoice(path));
  Settings settings;
  settings.SourceVideo = "/v/in.mp4";
  Save(settings);
  const std::string before = ReadFile(path);
  ENCODERCHOICE::EncoderChoice choice;
  choice.Codec = ENCODERCHOICE::FourCC('D', 'I', 'B', ' ');
  choice.Quality = 6500;
  choice.KeyFrameEvery = 12;
  choice.BytesPerSecond = 700 * 1024;
  choice.DataRateOn = true;
  std::string error;
  ASSERT_TRUE(SETTINGS::SaveCompressorChoice(path, choice, error)) << error;
  EXPECT_EQ(ReadFile(path), before +
                                "\r\n[COMPRESSOR]\r\nCode=DIB\r\nQuality=6500\r\nKeyFrames=12\r\n"
                                "KeyFramesOn=0\r\nDataRate=700\r\nDataRateOn=1\r\n");
  const auto loaded = SETTINGS::LoadCompressorChoice(path);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(*loaded, choice);
  EXPECT_EQ(LoadSettings(path).SourceVideo, "/v/in.mp4");
}

TEST_F(SettingsTest, ACompressorChoiceOutOfRangeGetsTheDialogsLimits) {
  WriteFile(path,
            "[COMPRESSOR]\nCode=TOO LONG\nQuality=20000\nKeyFrames=0\nDataRate=x\n"
            "KeyFramesOn=1\n");
  auto loaded = SETTINGS::LoadCompressorChoice(path);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->Codec, ENCODERCHOICE::FourCC('X', 'V', 'I', 'D'));
  EXPECT_EQ(loaded->Quality, 10000u);
  EXPECT_EQ(loaded->KeyFrameEvery, 1u);
  EXPECT_EQ(loaded->BytesPerSecond, 300u * 1024);
  EXPECT_TRUE(loaded->KeyFramesOn);
  EXPECT_FALSE(loaded->DataRateOn);
  WriteFile(path, "[COMPRESSOR]\nCode=H264\nQuality=-3\n");
  loaded = SETTINGS::LoadCompressorChoice(path);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->Codec, ENCODERCHOICE::FourCC('H', '2', '6', '4'));
  EXPECT_EQ(loaded->Quality, 0u);
  EXPECT_FALSE(loaded->KeyFramesOn || loaded->DataRateOn);
}

// The two keys appear once there is something to keep, and go back to empty
// rather than keep a value the dialog dropped.
TEST_F(SettingsTest, ACompressorsPresetAndOptionsAreKeptWithIt) {
  if (!COMPRESSORCATALOG::FindCompressorByCode("H264")) GTEST_SKIP() << "no x264";
  ENCODERCHOICE::EncoderChoice choice;
  choice.Codec = ENCODERCHOICE::FourCC('H', '2', '6', '4');
  choice.Preset = "slower";
  choice.EncoderOptions = "tune=film:x264-params=ref=2";
  std::string error;
  ASSERT_TRUE(SETTINGS::SaveCompressorChoice(path, choice, error)) << error;
  auto loaded = SETTINGS::LoadCompressorChoice(path);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->Preset, "slower");
  EXPECT_EQ(loaded->EncoderOptions, "tune=film:x264-params=ref=2");
  choice.Preset.clear();
  choice.EncoderOptions.clear();
  ASSERT_TRUE(SETTINGS::SaveCompressorChoice(path, choice, error)) << error;
  loaded = SETTINGS::LoadCompressorChoice(path);
  EXPECT_EQ(loaded->Preset, "");
  EXPECT_EQ(loaded->EncoderOptions, "");
  // A preset another compressor's, or none at all, is the compressor's own.
  WriteFile(path, "[COMPRESSOR]\nCode=H264\nPreset=8\n");
  EXPECT_EQ(SETTINGS::LoadCompressorChoice(path)->Preset, "");
  WriteFile(path, "[COMPRESSOR]\nCode=DIB\nPreset=fast\n");
  EXPECT_EQ(SETTINGS::LoadCompressorChoice(path)->Preset, "");
}

TEST(SettingsLocationTest, UsesTheProgramFolderWhileItCanBeWritten) {
  TempDir program, user;
  SETTINGS::SettingsLocation location(program.path().string(), user.path().string());
  EXPECT_EQ(location.ReadPath(), (program / "Tolvane.ini").string());
  std::string error;
  ASSERT_TRUE(location.Save(Settings(), error));
  EXPECT_TRUE(std::filesystem::exists(program / "Tolvane.ini"));
  EXPECT_FALSE(std::filesystem::exists(user / "Tolvane.ini"));
}

TEST(SettingsLocationTest, FallsBackToTheUserFolderAndReadsItFirst) {
  TempDir program, user;
  // A program folder that cannot be written: a plain file stands where its
  // settings file would be created.
  std::filesystem::create_directory(program / "Tolvane.ini");
  const std::string userFolder = (user / "config" / "Tolvane").string();
  SETTINGS::SettingsLocation location(program.path().string(), userFolder);
  Settings settings;
  settings.SourceVideo = "/v/in.avi";
  std::string error;
  ASSERT_TRUE(location.Save(settings, error)) << error;
  EXPECT_EQ(location.ReadPath(), userFolder + "/Tolvane.ini");
  EXPECT_EQ(LoadSettings(location.ReadPath()).SourceVideo, "/v/in.avi");
}

// The queue goes where the settings are: beside the program until the
// settings have moved to the user's folder.
TEST(SettingsLocationTest, TheQueueFileStandsBesideTheSettingsFile) {
  TempDir program, user;
  SETTINGS::SettingsLocation location(program.path().string(), user.path().string());
  EXPECT_EQ(location.QueuePath(), (program / "Tolvane.queue").string());
  WriteFile(user / "Tolvane.ini", "");
  EXPECT_EQ(location.QueuePath(), (user / "Tolvane.queue").string());
}

TEST(SettingsLocationTest, SeedsTheUserFileWithTheProgramFoldersValues) {
  if (geteuid() == 0) GTEST_SKIP() << "a read-only folder does not stop the superuser";
  TempDir program, user;
  WriteFile(program / "Tolvane.ini", "[DLL]\r\nAvCodec=mine.so\r\n[FILES]\r\nSubtitle=/a.srt\r\n");
  std::filesystem::permissions(program / "Tolvane.ini", std::filesystem::perms::owner_read);
  std::filesystem::permissions(
      program.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  SETTINGS::SettingsLocation location(program.path().string(), user.path().string());
  Settings settings;
  settings.SaveOnExit = false;
  std::string error;
  const bool saved = location.Save(settings, error);
  std::filesystem::permissions(program.path(), std::filesystem::perms::owner_all);
  ASSERT_TRUE(saved) << error;
  const Settings read = LoadSettings(location.ReadPath());
  EXPECT_EQ(location.ReadPath(), (user / "Tolvane.ini").string());
  EXPECT_EQ(read.AvCodec, "mine.so");
  EXPECT_EQ(read.Subtitle, "/a.srt");
  EXPECT_FALSE(read.SaveOnExit);
}

TEST(SettingsLocationTest, FailsOnlyWhenNeitherFolderCanBeWritten) {
  TempDir program, user;
  testsupport::WriteFile(user / "blocker", "");
  SETTINGS::SettingsLocation location((program / "absent").string(),
                                      (user / "blocker" / "Tolvane").string());
  std::string error;
  EXPECT_FALSE(location.Save(Settings(), error));
  EXPECT_EQ(error, "Unable to write to " + (user / "blocker" / "Tolvane" / "Tolvane.ini").string());
}

}  // namespace

TEST(AlignSettingsTest, AlignSectionIsWrittenOnceTickedAndReachesTheJob) {
  TempDir dir;
  const std::string path = (dir / "Tolvane.ini").string();
  std::string error;
  Settings settings;
  settings.AlignToSpeech = true;
  settings.AvUtil = "libavutil-own.so";
  ASSERT_TRUE(SaveSettings(path, settings, error)) << error;
  const JOBOPTIONS::JobOptions options = SETTINGS::JobOptionsFromSettings(settings);
  EXPECT_EQ(options.AlignLibraries.Decoder.AvUtil, "libavutil-own.so");
}

// The switches beyond the five first sections: no section until one is
// ticked, then kept, also once unticked again, and handed to the job.
TEST(AlignSettingsTest, SwitchSectionsAreWrittenOnceTickedAndReachTheJob) {
  struct Switch {
    const char* Section;
    const char* Key;
    bool Settings::*Field;
    bool JOBOPTIONS::JobOptions::*Option;
  };
  for (const Switch& toggle :
       {Switch{"ALIGN", "AlignToSpeech", &Settings::AlignToSpeech,
               &JOBOPTIONS::JobOptions::AlignToSpeech},
        Switch{"PICTURES", "ForcedOnly", &Settings::ForcedOnly,
               &JOBOPTIONS::JobOptions::ForcedOnly},
        Switch{"PICTURES", "Restyle", &Settings::Restyle, &JOBOPTIONS::JobOptions::Restyle}}) {
    TempDir dir;
    const std::string path = (dir / "Tolvane.ini").string();
    const std::string section = std::string("[") + toggle.Section + "]";
    std::string error;
    Settings settings;
    ASSERT_TRUE(SaveSettings(path, settings, error)) << error;
    EXPECT_EQ(ReadFile(path).find(section), std::string::npos) << section;
    EXPECT_FALSE(LoadSettings(path).*toggle.Field);
    EXPECT_FALSE(SETTINGS::JobOptionsFromSettings(LoadSettings(path)).*toggle.Option);

    settings.*toggle.Field = true;
    ASSERT_TRUE(SaveSettings(path, settings, error)) << error;
    EXPECT_NE(ReadFile(path).find("\r\n" + section + "\r\n" + toggle.Key + "=1\r\n"),
              std::string::npos)
        << ReadFile(path);
    EXPECT_TRUE(LoadSettings(path).*toggle.Field);
    EXPECT_TRUE(SETTINGS::JobOptionsFromSettings(LoadSettings(path)).*toggle.Option);

    settings.*toggle.Field = false;
    ASSERT_TRUE(SaveSettings(path, settings, error)) << error;
    EXPECT_NE(ReadFile(path).find(section + "\r\n" + toggle.Key + "=0\r\n"), std::string::npos);
    EXPECT_FALSE(LoadSettings(path).*toggle.Field);
  }
}

// The output's depth and an HDR subtitle's level: no section until either
// leaves its default, values out of range read as the default, and both
// reach the job.
TEST(ColourSettingsTest, ColourSectionKeepsDepthAndLevelAndReachesTheJob) {
  TempDir dir;
  const std::string path = (dir / "Tolvane.ini").string();
  std::string error;
  Settings settings;
  ASSERT_TRUE(SaveSettings(path, settings, error)) << error;
  EXPECT_EQ(ReadFile(path).find("[COLOUR]"), std::string::npos);
  EXPECT_EQ(ReadFile(path).find("[AUDIO]"), std::string::npos);
  EXPECT_EQ(ReadFile(path).find("[SMART]"), std::string::npos);

  settings.BitDepth = 10;
  settings.SubtitleNits = 150;
  settings.Sdr = true;
  settings.ConvertAudio = true;
  settings.CopyUntouched = true;
  ASSERT_TRUE(SaveSettings(path, settings, error)) << error;
  EXPECT_NE(ReadFile(path).find("[COLOUR]\r\nBitDepth=10\r\nSubtitleNits=150\r\nSdr=1\r\n"),
            std::string::npos)
      << ReadFile(path);
  EXPECT_NE(ReadFile(path).find("[AUDIO]\r\nConvertToOpus=1\r\n"), std::string::npos)
      << ReadFile(path);
  EXPECT_NE(ReadFile(path).find("[SMART]\r\nCopyUntouched=1\r\n"), std::string::npos)
      << ReadFile(path);
  const JOBOPTIONS::JobOptions options = SETTINGS::JobOptionsFromSettings(LoadSettings(path));
  EXPECT_EQ(options.BitDepth, 10);
  EXPECT_EQ(options.SubtitleNits, 150.0);
  EXPECT_TRUE(options.Sdr);
  EXPECT_TRUE(options.ConvertAudio);
  EXPECT_TRUE(options.CopyUntouched);

  WriteFile(path, "[COLOUR]\r\nBitDepth=12\r\nSubtitleNits=99999\r\n");
  EXPECT_EQ(LoadSettings(path).BitDepth, 0);
  EXPECT_EQ(LoadSettings(path).SubtitleNits, 203);
}
