// What else of the source an output keeps: the command line's spellings,
// the settings file's [STREAMS] section and the queued arguments.
#include <gtest/gtest.h>

#include "shell/JobArguments.h"
#include "shell/JobOptionTable.h"
#include "shell/JobSettings.h"
#include "shell/Settings.h"
#include "support/TestSupport.h"

using JOBARGUMENTS::JobArguments;
using JOBARGUMENTS::ParseJobArguments;
using JOBOPTIONS::StreamKeeping;
using JOBOPTIONS::TrackKeeping;
using Choice = JOBOPTIONS::TrackKeeping::Choice;
using SETTINGS::Settings;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

JOBARGUMENTS::Arguments Job(std::initializer_list<std::string> extra) {
  JOBARGUMENTS::Arguments args = {"--source", "/a.mkv",   "--subtitles",
                                  "/s.srt",   "--output", "/o.mkv"};
  args.insert(args.end(), extra);
  return args;
}

StreamKeeping Parsed(std::initializer_list<std::string> extra, const Settings& settings = {}) {
  JobArguments job;
  EXPECT_EQ(ParseJobArguments(Job(extra), settings, job), "");
  return job.Options.Keeping;
}

TrackKeeping Listed(std::vector<int> tracks) { return {Choice::Listed, std::move(tracks)}; }
const TrackKeeping kNone{Choice::None, {}};

TEST(StreamKeepingTest, OptionsChooseWhatIsKeptAndDefaultToEverything) {
  EXPECT_EQ(Parsed({}), StreamKeeping{});
  EXPECT_EQ(Parsed({}).Sound.Which, Choice::All);
  EXPECT_TRUE(Parsed({}).Chapters);
  EXPECT_TRUE(Parsed({}).Attachments);

  EXPECT_EQ(Parsed({"--keep-audio", "none"}).Sound, kNone);
  EXPECT_EQ(Parsed({"--keep-audio", "none"}).Subtitles, TrackKeeping{});
  EXPECT_EQ(Parsed({"--keep-subtitles", "2,3"}).Subtitles, Listed({2, 3}));
  EXPECT_EQ(Parsed({"--keep-subtitles", "2,3"}).Sound, TrackKeeping{});
  EXPECT_EQ(Parsed({"--keep-audio", "32"}).Sound, Listed({32}));
  // Given in any order, as the user gives them.
  EXPECT_EQ(Parsed({"--keep-audio", "3,1"}).Sound, Listed({3, 1}));
  // The last one given wins, as for the other options.
  EXPECT_EQ(Parsed({"--keep-audio", "none", "--keep-audio", "all"}).Sound, TrackKeeping{});

  const StreamKeeping dropped = Parsed({"--no-chapters", "--no-attachments"});
  EXPECT_FALSE(dropped.Chapters);
  EXPECT_FALSE(dropped.Attachments);
  EXPECT_FALSE(Parsed({"--no-chapters"}).Chapters);
  EXPECT_TRUE(Parsed({"--no-chapters"}).Attachments);
  EXPECT_TRUE(Parsed({"--no-attachments"}).Chapters);
}

TEST(StreamKeepingTest, BadTrackListsAreRefusedWithTheirValue) {
  const std::string choices = "' (all, none or numbers from 1 to 32 joined by commas)";
  for (const std::string bad : {"0", "2,x", "", "2,", ",2", "1,,2", "33", "-1", " 2", "2, 3", "All",
                                "NONE", "1.5", "2;3", "99999999999999999999"}) {
    SCOPED_TRACE(bad);
    JobArguments job;
    EXPECT_EQ(ParseJobArguments(Job({"--keep-audio", bad}), Settings(), job),
              "bad audio tracks to keep '" + bad + choices);
    EXPECT_EQ(ParseJobArguments(Job({"--keep-subtitles", bad}), Settings(), job),
              "bad subtitle tracks to keep '" + bad + choices);
  }
  JobArguments job;
  EXPECT_EQ(ParseJobArguments(Job({"--keep-audio"}), Settings(), job),
            "option '--keep-audio' needs a value");
  // The switches take no value: what follows is the next option.
  EXPECT_EQ(ParseJobArguments(Job({"--no-chapters", "none"}), Settings(), job),
            "unknown option 'none'");
}

TEST(StreamKeepingTest, SettingsGiveWhatTheCommandLineLeavesAndDefaultsKeepThemOut) {
  Settings settings;
  settings.Keeping = {kNone, Listed({2}), false, false};
  EXPECT_EQ(Parsed({}, settings), settings.Keeping);
  EXPECT_EQ(SETTINGS::JobOptionsFromSettings(settings).Keeping, settings.Keeping);
  const StreamKeeping over = Parsed({"--keep-audio", "all", "--keep-subtitles", "none"}, settings);
  EXPECT_EQ(over.Sound, TrackKeeping{});
  EXPECT_EQ(over.Subtitles, kNone);
  EXPECT_FALSE(over.Chapters);
  EXPECT_EQ(Parsed({"--defaults"}, settings), StreamKeeping{});
}

// A queued job keeps its choices whatever the settings file says when it
// runs, and a job that keeps everything adds no argument.
TEST(StreamKeepingTest, QueuedArgumentsGiveBackTheChoices) {
  Settings other;
  other.Keeping = {kNone, kNone, false, false};
  for (const StreamKeeping& keeping :
       {StreamKeeping{}, StreamKeeping{kNone, Listed({1, 4}), true, false},
        StreamKeeping{Listed({2}), TrackKeeping{}, false, true}}) {
    JobArguments job;
    job.Options.SourceVideo = "/a.mkv";
    job.Options.Subtitle = "/s.srt";
    job.Options.DestinationVideo = "/o.mkv";
    job.Options.Keeping = keeping;
    JobArguments again;
    ASSERT_EQ(ParseJobArguments(JOBARGUMENTS::FormatJobArguments(job), other, again), "");
    EXPECT_EQ(again.Options.Keeping, keeping);
  }
  JobArguments plain;
  plain.Options.SourceVideo = "/a.mkv";
  for (const std::string& arg : JOBARGUMENTS::FormatJobArguments(plain))
    EXPECT_EQ(arg.find("keep"), std::string::npos) << arg;
}

class StreamSettingsTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = (dir / "Tolvane.ini").string();

  std::string Saved(const Settings& settings) {
    std::string error;
    EXPECT_TRUE(SETTINGS::SaveSettings(path, settings, error)) << error;
    return ReadFile(path);
  }
};

TEST_F(StreamSettingsTest, SectionIsWrittenWholeOnceUsedAndReadsBackAsWritten) {
  Settings settings;
  EXPECT_EQ(Saved(settings).find("[STREAMS]"), std::string::npos);
  EXPECT_EQ(SETTINGS::LoadSettings(path).Keeping, StreamKeeping{});

  settings.Keeping.Subtitles = Listed({2, 3});
  EXPECT_NE(Saved(settings).find("[STREAMS]\r\nKeepAudio=all\r\nKeepSubtitles=2,3\r\n"
                                 "KeepChapters=1\r\nKeepAttachments=1\r\n"),
            std::string::npos)
      << ReadFile(path);
  EXPECT_EQ(SETTINGS::LoadSettings(path).Keeping, settings.Keeping);

  settings.Keeping = {kNone, kNone, false, false};
  EXPECT_NE(Saved(settings).find("[STREAMS]\r\nKeepAudio=none\r\nKeepSubtitles=none\r\n"
                                 "KeepChapters=0\r\nKeepAttachments=0\r\n"),
            std::string::npos)
      << ReadFile(path);
  EXPECT_EQ(SETTINGS::LoadSettings(path).Keeping, settings.Keeping);

  // Back at the defaults, a file that had the section keeps it.
  settings.Keeping = {};
  EXPECT_NE(Saved(settings).find("[STREAMS]\r\nKeepAudio=all\r\n"), std::string::npos);
  EXPECT_EQ(SETTINGS::LoadSettings(path).Keeping, StreamKeeping{});
}

TEST_F(StreamSettingsTest, BadValuesFallBackToTheDefaults) {
  for (const std::string bad : {"0", "2,x", "", "2,", "All", "33", "-3"}) {
    SCOPED_TRACE(bad);
    WriteFile(path, "[STREAMS]\nKeepAudio=" + bad + "\nKeepSubtitles=" + bad +
                        "\nKeepChapters=maybe\n[FONT]\nName=Verdana\n");
    const Settings settings = SETTINGS::LoadSettings(path);
    EXPECT_EQ(settings.Keeping, StreamKeeping{});
    EXPECT_EQ(settings.Font.Name, "Verdana");
  }
  // Hand-written forms the file reads as it reads other values.
  WriteFile(path, "[STREAMS]\nKeepAudio = 4,2 \nKeepSubtitles=\"none\"\nKeepAttachments=0\n");
  const Settings settings = SETTINGS::LoadSettings(path);
  EXPECT_EQ(settings.Keeping.Sound, Listed({4, 2}));
  EXPECT_EQ(settings.Keeping.Subtitles, kNone);
  EXPECT_TRUE(settings.Keeping.Chapters);
  EXPECT_FALSE(settings.Keeping.Attachments);
}

TEST(TrackTextTest, TextsReadBackAsTheyWereWritten) {
  for (const char* text : {"all", "none", "1", "2,3", "3,2,3", "32"}) {
    const auto tracks = JOBOPTIONTABLE::ParseTracks(text, 32);
    ASSERT_TRUE(tracks.has_value()) << text;
    EXPECT_EQ(JOBOPTIONTABLE::TracksText(*tracks), text);
  }
  EXPECT_FALSE(JOBOPTIONTABLE::ParseTracks("33", 32).has_value());
  // A list left empty keeps nothing and is written so.
  EXPECT_EQ(JOBOPTIONTABLE::TracksText(Listed({})), "none");
}

}  // namespace
