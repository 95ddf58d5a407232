#include "shell/JobArguments.h"

#include <gtest/gtest.h>

#include "avi/Vfw.h"
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
  const JOBARGUMENTS::Arguments args = {"--source",
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

  ENCODERCHOICE::EncoderChoice choice;
  ASSERT_TRUE(JOBARGUMENTS::ChoiceOf(arguments, choice));
  EXPECT_EQ(choice.Codec, COMPRESSORCATALOG::kFullFrames);
  EXPECT_EQ(choice.Quality, 10000u);
  EXPECT_EQ(choice.KeyFrameEvery, 12u);
  EXPECT_EQ(choice.BytesPerSecond, 500u * 1024);
  EXPECT_TRUE(choice.KeyFramesOn && choice.DataRateOn);
}

TEST(JobArgumentsTest, DefaultCompressorIsMpeg4AtItsDefaultQuality) {
  JobArguments arguments;
  ASSERT_EQ(ParseJobArguments({"--source", "a", "--subtitles", "b", "--output", "c"},
                              SETTINGS::Settings(), arguments),
            "");
  ENCODERCHOICE::EncoderChoice choice;
  ASSERT_TRUE(JOBARGUMENTS::ChoiceOf(arguments, choice));
  EXPECT_EQ(choice.Codec, ENCODERCHOICE::FourCC('X', 'V', 'I', 'D'));
  EXPECT_EQ(choice.Quality, ENCODERCHOICE::kDefaultQuality);
  EXPECT_FALSE(choice.KeyFramesOn || choice.DataRateOn);
}

TEST(JobArgumentsTest, BadArgumentsAreRefusedWithAReason) {
  const JOBARGUMENTS::Arguments files = {"--source", "a", "--subtitles", "b", "--output", "c"};
  const std::vector<JOBARGUMENTS::Arguments> extras = {
      {"--quality", "-1"},
      {"--quality", "10001"},
      {"--video-stream", "0"},
      {"--delay-frames", "1x"},
      {"--delay-frames", "40000"},
      {"--font-color", "0x1000000"},
      {"--script", "256"},
      {"--font-size"},
      {"--compressor", "NONE"},
      {"--preset", "fast"},  // MPEG-4 has none
      {"--compressor", "H264", "--preset", ""},
      {"--preset", "medium2", "--compressor", "H264"},
      {"--delay-frames", "1", "--delay-ms", "100"},
      {"--unknown"}};
  for (const auto& extra : extras) {
    JOBARGUMENTS::Arguments args = files;
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
  EXPECT_FALSE(arguments.Options.ForcedOnly);
  ASSERT_EQ(ParseJobArguments({"--forced-only"}, settings, arguments), "");
  EXPECT_TRUE(arguments.Options.ForcedOnly);
  EXPECT_FALSE(arguments.Options.Restyle);
  ASSERT_EQ(ParseJobArguments({"--restyle", "--ocr-language", "fra+deu"}, settings, arguments), "");
  EXPECT_TRUE(arguments.Options.Restyle);
  EXPECT_EQ(arguments.Options.OcrLanguage, "fra+deu");
  EXPECT_NE(ParseJobArguments({"--ocr-language", ""}, settings, arguments), "");
  EXPECT_EQ(arguments.Options.BitDepth, 0);
  ASSERT_EQ(ParseJobArguments({"--bit-depth", "10", "--subtitle-nits", "120"}, settings, arguments),
            "");
  EXPECT_EQ(arguments.Options.BitDepth, 10);
  EXPECT_EQ(arguments.Options.SubtitleNits, 120.0);
  EXPECT_EQ(ParseJobArguments({"--bit-depth", "9"}, settings, arguments),
            "bad bit depth '9' (8 or 10)");
  EXPECT_EQ(ParseJobArguments({"--subtitle-nits", "9"}, settings, arguments),
            "bad subtitle level '9'");
  // Only --list-entries shows lines as drawn.
  EXPECT_EQ(ParseJobArguments({"--as-drawn"}, settings, arguments), "unknown option '--as-drawn'");
}

namespace {

void ExpectSameJob(const JobArguments& got, const JobArguments& want) {
  const JOBOPTIONS::JobOptions &g = got.Options, &w = want.Options;
  EXPECT_EQ(g.SourceVideo, w.SourceVideo);
  EXPECT_EQ(g.Subtitle, w.Subtitle);
  EXPECT_EQ(g.DestinationVideo, w.DestinationVideo);
  EXPECT_EQ(g.VideoStream, w.VideoStream);
  EXPECT_EQ(g.AudioStream, w.AudioStream);
  EXPECT_EQ(g.UseFrames, w.UseFrames);
  EXPECT_EQ(g.UseFrames ? g.DelayFrames : g.DelayMilliseconds,
            w.UseFrames ? w.DelayFrames : w.DelayMilliseconds);
  EXPECT_EQ(g.TranscodeVideo, w.TranscodeVideo);
  EXPECT_EQ(g.FixAudioVBR, w.FixAudioVBR);
  EXPECT_EQ(g.AutoSize, w.AutoSize);
  EXPECT_EQ(g.Font, w.Font);
  EXPECT_EQ(g.Look, w.Look);
  EXPECT_EQ(g.Reading, w.Reading);
  EXPECT_EQ(g.Styled, w.Styled);
  EXPECT_EQ(g.SubtitleTrack, w.SubtitleTrack);
  EXPECT_EQ(g.AlignToSpeech, w.AlignToSpeech);
  EXPECT_EQ(g.Strict, w.Strict);
  EXPECT_EQ(g.ForcedOnly, w.ForcedOnly);
  EXPECT_EQ(g.Restyle, w.Restyle);
  EXPECT_EQ(g.OcrLanguage, w.OcrLanguage);
  EXPECT_EQ(g.BitDepth, w.BitDepth);
  EXPECT_EQ(g.SubtitleNits, w.SubtitleNits);
  EXPECT_EQ(g.Sdr, w.Sdr);
  EXPECT_EQ(g.ConvertAudio, w.ConvertAudio);
  EXPECT_EQ(g.CopyUntouched, w.CopyUntouched);
  EXPECT_EQ(got.Compressor, want.Compressor);
  EXPECT_EQ(got.Quality, want.Quality);
  EXPECT_EQ(got.KeyFrames, want.KeyFrames);
  EXPECT_EQ(got.DataRate, want.DataRate);
  EXPECT_EQ(got.EncoderOptions, want.EncoderOptions);
  EXPECT_EQ(got.Preset, want.Preset);
}

// Everything switched on that a job can switch on.
SETTINGS::Settings EverythingOn() {
  SETTINGS::Settings settings = StoredSettings();
  settings.Font = {"Stored Serif", 31, 0x00FF00, 204, true, true, true, true};
  settings.TranscodeVideo = true;
  settings.Look = {3, 0x0000FF, 2, 0x00FF00, 50, 0xFF0000, true, 20};
  settings.Reading = {true, true, true, true};
  settings.Styled = {true, true};
  settings.AlignToSpeech = settings.ForcedOnly = true;
  settings.BitDepth = 10;
  settings.SubtitleNits = 150;
  settings.Sdr = settings.ConvertAudio = settings.CopyUntouched = true;
  return settings;
}

JobArguments ParsedBack(const JobArguments& job, const SETTINGS::Settings& settings) {
  JobArguments back;
  const std::string error =
      ParseJobArguments(JOBARGUMENTS::FormatJobArguments(job), settings, back);
  EXPECT_EQ(error, "");
  return back;
}

}  // namespace

// A queued job is stored as its arguments: read back later over whatever the
// settings file then holds, it must be the same job.
TEST(JobArgumentsTest, FormattedArgumentsGiveBackTheJobWhateverTheSettingsHold) {
  JobArguments plain;
  plain.Options.SourceVideo = "/films/a b.mkv";
  plain.Options.Subtitle = "/films/--a.srt";
  plain.Options.DestinationVideo = "/out/a.mp4";
  ExpectSameJob(ParsedBack(plain, EverythingOn()), plain);

  JobArguments full = plain;
  JOBOPTIONS::JobOptions& o = full.Options;
  o.VideoStream = 1;
  o.AudioStream = 0;
  o.UseFrames = false;
  o.DelayMilliseconds = -2500;
  o.FixAudioVBR = o.TranscodeVideo = true;
  o.AutoSize = false;
  o.Font = {"--defaults", 1000, 0xABCDEF, 238, true, false, true, false};
  o.Look = {8, 0x010203, 0, 0, 100, 0xFFFFFF, true, 1000};
  o.Reading = {false, true, false, true};
  o.Styled.On = true;
  o.SubtitleTrack = 2;
  o.AlignToSpeech = o.Strict = o.ForcedOnly = o.Restyle = true;
  o.OcrLanguage = "fra+deu";
  o.BitDepth = 8;
  o.SubtitleNits = 300;
  o.Sdr = o.ConvertAudio = o.CopyUntouched = true;
  full.Compressor = "DIB";
  full.Quality = 0;
  full.KeyFrames = 12;
  full.DataRate = 800;
  full.EncoderOptions = "preset=fast:tune=film";
  ExpectSameJob(ParsedBack(full, SETTINGS::Settings()), full);
  ExpectSameJob(ParsedBack(full, EverythingOn()), full);
  full.Options.Styled.LeftToRight = true;
  ExpectSameJob(ParsedBack(full, SETTINGS::Settings()), full);
}

TEST(JobArgumentsTest, DefaultsKeepTheSettingsOutOnlyAsAnOption) {
  JobArguments arguments;
  ASSERT_EQ(ParseJobArguments(
                {"--defaults", "--source", "in.mkv", "--subtitles", "s.srt", "--output", "o.avi"},
                EverythingOn(), arguments),
            "");
  EXPECT_EQ(arguments.Options.Font, SUBTITLEFONT::SubtitleFont());
  EXPECT_FALSE(arguments.Options.Look.AnyOn());
  EXPECT_FALSE(arguments.Options.TranscodeVideo);
  // The value of an option that happens to read "--defaults" is no option.
  ASSERT_EQ(
      ParseJobArguments({"--source", "in.mkv", "--font", "--defaults"}, EverythingOn(), arguments),
      "");
  EXPECT_EQ(arguments.Options.Font.Name, "--defaults");
  EXPECT_TRUE(arguments.Options.Font.Bold);
  EXPECT_EQ(arguments.Options.DestinationVideo, "stored.avi");
}

// What the window's compressor dialog (or any chooser) fills in comes back
// from the arguments, the encoder's own options included.
TEST(JobArgumentsTest, ACompressorChoiceSurvivesItsArguments) {
  ENCODERCHOICE::EncoderChoice chosen;
  chosen.Codec = COMPRESSORCATALOG::kFullFrames;
  chosen.Quality = 6500;
  chosen.KeyFrameEvery = 48;
  chosen.BytesPerSecond = 900 * 1024;
  chosen.KeyFramesOn = chosen.DataRateOn = true;
  chosen.EncoderOptions = "crf=30:preset=veryfast";
  JobArguments job;
  job.Options.SourceVideo = "a.mkv";
  job.Options.Subtitle = "a.srt";
  job.Options.DestinationVideo = "b.avi";
  JOBARGUMENTS::TakeChoice(chosen, job);
  EXPECT_EQ(job.Compressor, "DIB");

  ENCODERCHOICE::EncoderChoice back;
  ASSERT_TRUE(JOBARGUMENTS::ChoiceOf(ParsedBack(job, SETTINGS::Settings()), back));
  EXPECT_EQ(back, chosen);

  // Switched off, key frames and data rate stay off; a default quality stays
  // the compressor's own.
  chosen.KeyFramesOn = chosen.DataRateOn = false;
  chosen.Quality = ENCODERCHOICE::kDefaultQuality;
  chosen.EncoderOptions.clear();
  JOBARGUMENTS::TakeChoice(chosen, job);
  ASSERT_TRUE(JOBARGUMENTS::ChoiceOf(ParsedBack(job, EverythingOn()), back));
  EXPECT_FALSE(back.KeyFramesOn || back.DataRateOn);
  EXPECT_EQ(back.Quality, ENCODERCHOICE::kDefaultQuality);
  EXPECT_EQ(back.EncoderOptions, "");
}

// The preset is checked against the compressor, whichever comes first, and
// the dialog's colour fields become the queued job's options.
TEST(JobArgumentsTest, APresetAndTheColourAskedTravelWithTheChoice) {
  if (!COMPRESSORCATALOG::FindCompressorByCode("H264")) GTEST_SKIP() << "no x264";
  JobArguments parsed;
  ASSERT_EQ(ParseJobArguments({"--preset", "veryslow", "--compressor", "h264", "--source", "a",
                               "--subtitles", "b", "--output", "c"},
                              SETTINGS::Settings(), parsed),
            "");
  EXPECT_EQ(parsed.Preset, "veryslow");
  const std::string refused = [] {
    JobArguments arguments;
    return ParseJobArguments({"--compressor", "H264", "--preset", "8", "--source", "a",
                              "--subtitles", "b", "--output", "c"},
                             SETTINGS::Settings(), arguments);
  }();
  EXPECT_NE(refused.find("ultrafast to placebo"), std::string::npos) << refused;

  ENCODERCHOICE::EncoderChoice chosen;
  chosen.Codec = ENCODERCHOICE::FourCC('H', '2', '6', '4');
  chosen.Preset = "superfast";
  chosen.Asked = {10, true, 300};
  JobArguments job;
  job.Options.SourceVideo = "a.mkv";
  job.Options.Subtitle = "a.srt";
  job.Options.DestinationVideo = "b.mkv";
  JOBARGUMENTS::TakeChoice(chosen, job);
  EXPECT_EQ(job.Options.BitDepth, 10);
  EXPECT_TRUE(job.Options.Sdr);
  EXPECT_EQ(job.Options.SubtitleNits, 300);
  const JobArguments back = ParsedBack(job, SETTINGS::Settings());
  ExpectSameJob(back, job);
  ENCODERCHOICE::EncoderChoice backChoice;
  ASSERT_TRUE(JOBARGUMENTS::ChoiceOf(back, backChoice));
  EXPECT_EQ(backChoice.Preset, "superfast");

  // Fields the chooser left unset leave the job's options as they were.
  chosen.Asked = {};
  JOBARGUMENTS::TakeChoice(chosen, job);
  EXPECT_EQ(job.Options.BitDepth, 10);
  EXPECT_EQ(job.Options.SubtitleNits, 300);
}

// The queue file keeps a job as these arguments, in this order: a queue
// written before must read back the same, and a queue written now must read
// the same in the program that wrote the older ones.
TEST(JobArgumentsTest, QueuedArgumentsKeepTheirSpellingsAndOrder) {
  JobArguments job;
  JOBOPTIONS::JobOptions& o = job.Options;
  o.SourceVideo = "/films/a b.mkv";
  o.Subtitle = "/films/a.srt";
  o.DestinationVideo = "/out/a.mp4";
  o.VideoStream = 1;
  o.AudioStream = 2;
  o.SubtitleTrack = 3;
  o.UseFrames = false;
  o.DelayMilliseconds = -2550;
  o.FixAudioVBR = o.TranscodeVideo = true;
  o.AutoSize = false;
  o.Font = {"Noto Sans", 28, 0x00ABCDEF, 204, true, true, true, true};
  o.Look = {2, 0x010203, 1, 0x0A0B0C, 40, 0xFFFFFF, true, 12};
  o.Reading = {true, true, true, true};
  o.Styled = {true, true};
  o.AlignToSpeech = o.Strict = o.ForcedOnly = true;
  o.BitDepth = 10;
  o.SubtitleNits = 300;
  o.Sdr = o.ConvertAudio = o.CopyUntouched = true;
  job.Compressor = "DIB";
  job.Quality = 9000;
  job.KeyFrames = 24;
  job.DataRate = 800;
  job.EncoderOptions = "tune=film";
  job.Preset = "slow";
  EXPECT_EQ(JOBARGUMENTS::FormatJobArguments(job),
            (JOBARGUMENTS::Arguments{"--defaults",
                                     "--source",
                                     "/films/a b.mkv",
                                     "--subtitles",
                                     "/films/a.srt",
                                     "--output",
                                     "/out/a.mp4",
                                     "--compressor",
                                     "DIB",
                                     "--quality",
                                     "9000",
                                     "--keyframes",
                                     "24",
                                     "--data-rate",
                                     "800",
                                     "--encoder-options",
                                     "tune=film",
                                     "--preset",
                                     "slow",
                                     "--video-stream",
                                     "2",
                                     "--audio-stream",
                                     "3",
                                     "--subtitle-track",
                                     "3",
                                     "--delay-ms",
                                     "-2550",
                                     "--align",
                                     "--convert-audio",
                                     "--fix-audio-vbr",
                                     "--forced-only",
                                     "--sdr",
                                     "--smart",
                                     "--strict",
                                     "--transcode",
                                     "--no-autosize",
                                     "--bit-depth",
                                     "10",
                                     "--subtitle-nits",
                                     "300",
                                     "--font",
                                     "Noto Sans",
                                     "--font-size",
                                     "28",
                                     "--font-color",
                                     "0xABCDEF",
                                     "--script",
                                     "204",
                                     "--bold",
                                     "--italic",
                                     "--strike-out",
                                     "--underline",
                                     "--outline",
                                     "2",
                                     "--outline-color",
                                     "0x010203",
                                     "--shadow",
                                     "1",
                                     "--shadow-color",
                                     "0x0A0B0C",
                                     "--box-opacity",
                                     "40",
                                     "--box-color",
                                     "0xFFFFFF",
                                     "--margin",
                                     "12",
                                     "--antialias",
                                     "--unicode",
                                     "--detect-codepage",
                                     "--clean-markup",
                                     "--tolerant",
                                     "--styled-left-to-right"}));
  // A job of defaults still names its delay, font and look: a later settings
  // file must not give it others. An empty subtitle file is left out.
  JobArguments plain;
  plain.Options.SourceVideo = "a.mkv";
  plain.Options.DestinationVideo = "b.avi";
  EXPECT_EQ(
      JOBARGUMENTS::FormatJobArguments(plain),
      (JOBARGUMENTS::Arguments{
          "--defaults", "--source",        "a.mkv",    "--output",    "b.avi",    "--compressor",
          "XVID",       "--delay-frames",  "0",        "--font",      "Arial",    "--font-size",
          "10",         "--font-color",    "0x000000", "--script",    "0",        "--outline",
          "0",          "--outline-color", "0x000000", "--shadow",    "0",        "--shadow-color",
          "0x000000",   "--box-opacity",   "0",        "--box-color", "0x000000", "--margin",
          "0"}));
  // What else of the source is kept: named only when something is left out,
  // after the delay, the track lists before the switches.
  JobArguments kept = plain;
  kept.Options.Keeping = {{JOBOPTIONS::TrackKeeping::Choice::Listed, {2, 3}},
                          {JOBOPTIONS::TrackKeeping::Choice::None, {}},
                          false,
                          false};
  EXPECT_EQ(JOBARGUMENTS::FormatJobArguments(kept), (JOBARGUMENTS::Arguments{"--defaults",
                                                                             "--source",
                                                                             "a.mkv",
                                                                             "--output",
                                                                             "b.avi",
                                                                             "--compressor",
                                                                             "XVID",
                                                                             "--delay-frames",
                                                                             "0",
                                                                             "--keep-audio",
                                                                             "2,3",
                                                                             "--keep-subtitles",
                                                                             "none",
                                                                             "--no-chapters",
                                                                             "--no-attachments",
                                                                             "--font",
                                                                             "Arial",
                                                                             "--font-size",
                                                                             "10",
                                                                             "--font-color",
                                                                             "0x000000",
                                                                             "--script",
                                                                             "0",
                                                                             "--outline",
                                                                             "0",
                                                                             "--outline-color",
                                                                             "0x000000",
                                                                             "--shadow",
                                                                             "0",
                                                                             "--shadow-color",
                                                                             "0x000000",
                                                                             "--box-opacity",
                                                                             "0",
                                                                             "--box-color",
                                                                             "0x000000",
                                                                             "--margin",
                                                                             "0"}));
}

// Scripts and the window's log match these texts; each is the first fault
// of its arguments.
TEST(JobArgumentsTest, RefusalsKeepTheirTexts) {
  const struct {
    JOBARGUMENTS::Arguments extra;
    std::string error;
  } cases[] = {
      {{"--delay-frames", "1", "--delay-ms", "100"},
       "give either --delay-frames or --delay-ms, not both"},
      {{"--compressor", "NONE"}, "unknown compressor 'NONE' (see --list-compressors)"},
      {{"--font", ""}, "bad font name ''"},
      {{"--preset", ""}, "bad preset ''"},
      {{"--preset", "fast"}, "compressor XVID has no presets"},
      {{"--font-color", "0x1000000"}, "bad font colour '0x1000000'"},
      {{"--script", "256"}, "bad script '256'"},
      {{"--video-stream", "0"}, "bad video stream '0'"},
      {{"--delay-ms", "3276800"}, "bad delay '3276800'"},
      {{"--quality", "10001"}, "bad quality '10001'"},
      {{"--settings"}, "option '--settings' needs a value"},
      {{"--bold", "--unknown"}, "unknown option '--unknown'"},
      {{"--keep-audio", "0"},
       "bad audio tracks to keep '0' (all, none or numbers from 1 to 32 joined by commas)"},
      {{"--keep-subtitles", "2,x"},
       "bad subtitle tracks to keep '2,x' (all, none or numbers from 1 to 32 joined by commas)"},
  };
  for (const auto& c : cases) {
    JOBARGUMENTS::Arguments args = {"--source", "a", "--subtitles", "b", "--output", "c"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    JobArguments arguments;
    EXPECT_EQ(ParseJobArguments(args, SETTINGS::Settings(), arguments), c.error) << c.extra[0];
  }
}
