#include "cli/JobArguments.h"

#include <gtest/gtest.h>

#include "compressors/CompressorCatalog.h"

using JOBARGUMENTS::JobArguments;
using JOBARGUMENTS::ParseJobArguments;

namespace {

SETTINGS::Settings StoredSettings() {
  SETTINGS::Settings settings;
  settings.SourceVideo = "stored.mp4";
  settings.Subtitle = "stored.srt";
  settings.DestinationVideo = "stored.avi";
  settings.UseFrames = false;
  settings.TimeDelay = -15;
  settings.FixAudioVBR = true;
  settings.AutoSize = false;
  settings.Font.Name = "Stored Sans";
  settings.Font.Size = 22;
  return settings;
}

}  // namespace

TEST(JobArgumentsTest, WhatIsNotGivenComesFromTheSettings) {
  JobArguments arguments;
  ASSERT_EQ(ParseJobArguments({"--source", "in.mkv"}, StoredSettings(), arguments), "");
  const JOBOPTIONS::JobOptions& o = arguments.Options;
  EXPECT_EQ(o.SourceVideo, "in.mkv");
  EXPECT_EQ(o.Subtitle, "stored.srt");
  EXPECT_EQ(o.DestinationVideo, "stored.avi");
  EXPECT_FALSE(o.UseFrames);
  EXPECT_EQ(o.DelayMilliseconds, -1500);  // stored in tenths of a second
  EXPECT_TRUE(o.FixAudioVBR);
  EXPECT_FALSE(o.AutoSize);
  EXPECT_EQ(o.Font.Name, "Stored Sans");
  EXPECT_EQ(o.VideoStream, -1);
  EXPECT_EQ(arguments.Compressor, "XVID");
  EXPECT_FALSE(arguments.Quality.has_value());
}

TEST(JobArgumentsTest, ArgumentsOverrideTheSettings) {
  JobArguments arguments;
  const COMMANDLINE::Arguments args = {"--source",
                                       "a.mp4",
                                       "--subtitles",
                                       "a.sub",
                                       "--output",
                                       "a.avi",
                                       "--video-stream",
                                       "2",
                                       "--audio-stream",
                                       "3",
                                       "--delay-frames",
                                       "-32768",
                                       "--font",
                                       "Mono",
                                       "--font-size",
                                       "30",
                                       "--font-color",
                                       "0x00FFFF",
                                       "--bold",
                                       "--italic",
                                       "--underline",
                                       "--strike-out",
                                       "--script",
                                       "204",
                                       "--transcode",
                                       "--quality",
                                       "10000",
                                       "--keyframes",
                                       "12",
                                       "--data-rate",
                                       "500",
                                       "--compressor",
                                       "dib"};
  ASSERT_EQ(ParseJobArguments(args, StoredSettings(), arguments), "");
  const JOBOPTIONS::JobOptions& o = arguments.Options;
  EXPECT_EQ(o.VideoStream, 1);
  EXPECT_EQ(o.AudioStream, 2);
  EXPECT_TRUE(o.UseFrames);
  EXPECT_EQ(o.DelayFrames, -32768);
  EXPECT_EQ(o.Font.Name, "Mono");
  EXPECT_EQ(o.Font.Size, 30);
  EXPECT_EQ(o.Font.Color, 0x00FFFFu);
  EXPECT_TRUE(o.Font.Bold && o.Font.Italic && o.Font.Underline && o.Font.StrikeOut);
  EXPECT_EQ(o.Font.Charset, 204);
  EXPECT_TRUE(o.TranscodeVideo);

  AVICOMPRESSOPTIONS options{};
  ASSERT_TRUE(JOBARGUMENTS::FillCompressOptions(arguments, options));
  EXPECT_EQ(options.fccHandler, COMPRESSORCATALOG::kFullFrames);
  EXPECT_EQ(options.dwQuality, 10000u);
  EXPECT_EQ(options.dwKeyFrameEvery, 12u);
  EXPECT_EQ(options.dwBytesPerSecond, 500u * 1024);
  EXPECT_EQ(options.dwFlags, AVICOMPRESSF_VALID | AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_DATARATE);
}

TEST(JobArgumentsTest, DefaultCompressorIsMpeg4AtItsDefaultQuality) {
  JobArguments arguments;
  ASSERT_EQ(ParseJobArguments({"--source", "a", "--subtitles", "b", "--output", "c"},
                              SETTINGS::Settings(), arguments),
            "");
  AVICOMPRESSOPTIONS options{};
  ASSERT_TRUE(JOBARGUMENTS::FillCompressOptions(arguments, options));
  EXPECT_EQ(options.fccHandler, MakeFourCC('X', 'V', 'I', 'D'));
  EXPECT_EQ(options.dwQuality, ICQUALITY_DEFAULT);
  EXPECT_EQ(options.dwFlags, AVICOMPRESSF_VALID);
}

TEST(JobArgumentsTest, BadArgumentsAreRefusedWithAReason) {
  const COMMANDLINE::Arguments files = {"--source", "a", "--subtitles", "b", "--output", "c"};
  const std::vector<COMMANDLINE::Arguments> extras = {{"--quality", "-1"},
                                                      {"--quality", "10001"},
                                                      {"--video-stream", "0"},
                                                      {"--delay-frames", "1x"},
                                                      {"--delay-frames", "40000"},
                                                      {"--font-color", "0x1000000"},
                                                      {"--script", "256"},
                                                      {"--font-size"},
                                                      {"--compressor", "NONE"},
                                                      {"--delay-frames", "1", "--delay-ms", "100"},
                                                      {"--unknown"}};
  for (const auto& extra : extras) {
    COMMANDLINE::Arguments args = files;
    args.insert(args.end(), extra.begin(), extra.end());
    JobArguments arguments;
    EXPECT_NE(ParseJobArguments(args, SETTINGS::Settings(), arguments), "") << extra.front();
  }
  JobArguments arguments;
  EXPECT_NE(ParseJobArguments({"--source", "a", "--output", "c"}, SETTINGS::Settings(), arguments),
            "");
  EXPECT_EQ(ParseJobArguments({"--source", "a", "--output", "c", "--transcode"},
                              SETTINGS::Settings(), arguments),
            "");
  EXPECT_EQ(JOBARGUMENTS::SettingsFileArgument({"--source", "a", "--settings", "x.ini"}), "x.ini");
}

TEST(JobArgumentsTest, ReadingFlagsSwitchOnOverTheSettings) {
  SETTINGS::Settings settings = StoredSettings();
  settings.Reading.CleanMarkup = true;
  JobArguments arguments;
  ASSERT_EQ(ParseJobArguments({"--source", "in.mkv"}, settings, arguments), "");
  EXPECT_EQ(arguments.Options.Reading, (SUBTITLEFILE::ReadingOptions{.CleanMarkup = true}));
  ASSERT_EQ(
      ParseJobArguments({"--unicode", "--source", "in.mkv", "--tolerant"}, settings, arguments),
      "");
  EXPECT_EQ(arguments.Options.Reading, (SUBTITLEFILE::ReadingOptions{true, false, true, true}));
  ASSERT_EQ(ParseJobArguments({"--detect-codepage"}, settings, arguments), "");
  EXPECT_TRUE(arguments.Options.Reading.DetectCodePage);
  EXPECT_FALSE(arguments.Options.AlignToSpeech);
  ASSERT_EQ(ParseJobArguments({"--align"}, settings, arguments), "");
  EXPECT_TRUE(arguments.Options.AlignToSpeech);
  // Only --list-entries shows lines as drawn.
  EXPECT_EQ(ParseJobArguments({"--as-drawn"}, settings, arguments), "unknown option '--as-drawn'");
}
