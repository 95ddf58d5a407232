// What the command line shows of a job: the log on standard output, the
// progress line and the remaining messages on standard error.
#include "cli/CliJobHost.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/JsonEvents.h"
#include "job/JobStatistics.h"

namespace {

using SUBTITLEJOB::JobEnd;

// A refresh 2 s into a job of 200 frames at frame 50: 6 s to go.
JOBSTATISTICS::Progress RefreshedFigures() {
  JOBSTATISTICS::Progress figures;
  figures.MsSinceStart = 2000;
  figures.FrameIndex = 50;
  figures.TotalFrames = 200;
  return figures;
}

JOBSTATISTICS::StatisticsTexts Refreshed() {
  JOBSTATISTICS::StatisticsTexts texts = JOBSTATISTICS::ComputeStatistics(RefreshedFigures());
  texts.CurrentFramerate = "24.5";
  return texts;
}

}  // namespace

TEST(CliJobHostTest, LogGoesToStandardOutputWithPlainLineFeeds) {
  std::ostringstream out, err;
  CLIJOBHOST::CliJobHost host(out, err, false);
  host.AppendLog("[ BEGIN MOVIE INFO ]\r\nline\r\n[ END MOVIE INFO ]");
  host.AppendLog("-=[ END ]=-");
  // Errors go to standard error as well; the job's end adds nothing.
  host.ErrorReported("Can't write audio output...", "");
  host.JobEnded(JobEnd::SourceEnded);
  host.InputMissing("Please choose a subtitle file!");
  EXPECT_EQ(out.str(), "[ BEGIN MOVIE INFO ]\nline\n[ END MOVIE INFO ]\n-=[ END ]=-\n");
  EXPECT_EQ(err.str(),
            "tolvane: Can't write audio output...\ntolvane: Please choose a subtitle file!\n");
}

TEST(CliJobHostTest, ProgressLineOnlyOnceTheLoopRunsAndOnlyForATerminal) {
  std::ostringstream out, err;
  CLIJOBHOST::CliJobHost host(out, err, true);
  host.ShowStatistics(JOBSTATISTICS::ResetTexts(), JOBSTATISTICS::Progress{});
  EXPECT_EQ(err.str(), "");

  host.SetProgressMaximum(200);
  host.SetProgressPosition(50);
  host.ShowStatistics(Refreshed(), RefreshedFigures());
  EXPECT_EQ(err.str().rfind("\r50/200 frames (25%), 24.5 F/S, remaining 00:00:06", 0), 0u)
      << err.str();
  // A copying job counts its encoded pictures and says what it copied.
  JOBSTATISTICS::Progress copying = RefreshedFigures();
  copying.CopiedFrames = 1234;
  host.ShowStatistics(JOBSTATISTICS::ComputeStatistics(copying), copying);
  EXPECT_NE(err.str().find("\r50/200 frames (25%) encoded, 1234 copied, "), std::string::npos)
      << err.str();
  // A log entry starts on a line of its own.
  host.AppendLog("Closing all...");
  EXPECT_EQ(err.str().back(), '\n');
  EXPECT_EQ(out.str(), "Closing all...\n");

  std::ostringstream quietErr;
  CLIJOBHOST::CliJobHost piped(out, quietErr, false);
  piped.SetProgressMaximum(200);
  piped.ShowStatistics(Refreshed(), RefreshedFigures());
  EXPECT_EQ(quietErr.str(), "");
}

namespace {

// The loop as the job drives the host: the timer runs while it loops and
// stops once it has ended.
void BeginLoop(CLIJOBHOST::CliJobHost& host, int estimate) {
  host.SetProgressMaximum(estimate);
  host.SetRefreshTimer(true);
  host.SetProgressPosition(50);
  host.ShowStatistics(Refreshed(), RefreshedFigures());
}

}  // namespace

TEST(CliJobHostTest, ProgressEndsWithTheFinalCountAndALineBreak) {
  std::ostringstream out, err;
  CLIJOBHOST::CliJobHost host(out, err, true);
  BeginLoop(host, 200);
  // The container's estimate was too high: the source ended at 150.
  host.SetProgressPosition(150);
  host.SetRefreshTimer(false);
  host.LoopEnded(JobEnd::SourceEnded);
  const std::string refreshed = "\r50/200 frames (25%), 24.5 F/S, remaining 00:00:06";
  const std::string final = "150/150 frames (100%)";
  EXPECT_EQ(err.str(), refreshed + '\r' + final +
                           std::string(refreshed.size() - 1 - final.size(), ' ') + '\n');
  host.AppendLog("Closing all...");
  host.SetRefreshTimer(false);
  EXPECT_EQ(err.str().find('\n'), err.str().size() - 1) << "one line break only";

  // A count past a low estimate shows no more than 99% until the end.
  std::ostringstream lowErr;
  CLIJOBHOST::CliJobHost low(out, lowErr, true);
  low.SetProgressMaximum(40);
  low.SetProgressPosition(50);
  low.ShowStatistics(Refreshed(), RefreshedFigures());
  EXPECT_NE(lowErr.str().find("50/40 frames (99%)"), std::string::npos) << lowErr.str();
}

TEST(CliJobHostTest, AFailureEndsTheProgressLineWithoutClaimingTheEnd) {
  std::ostringstream out, err;
  CLIJOBHOST::CliJobHost host(out, err, true);
  BeginLoop(host, 200);
  host.SetProgressPosition(60);
  host.ErrorReported("Can't write video output...", "");
  host.SetRefreshTimer(false);
  host.LoopEnded(JobEnd::WriteFailed);
  EXPECT_TRUE(
      err.str().ends_with("\r60/200 frames (30%), 24.5 F/S, remaining 00:00:06\n"
                          "tolvane: Can't write video output...\n"))
      << err.str();
  EXPECT_EQ(err.str().find("100%"), std::string::npos);

  // Not on a terminal: nothing but the error.
  std::ostringstream pipedErr;
  CLIJOBHOST::CliJobHost piped(out, pipedErr, false);
  BeginLoop(piped, 200);
  piped.SetRefreshTimer(false);
  piped.LoopEnded(JobEnd::WriteFailed);
  EXPECT_EQ(pipedErr.str(), "");
}

// With events, standard output has nothing else, even on a terminal;
// standard error keeps its lines, and the host keeps what the done event
// will say.
TEST(CliJobHostTest, WithEventsTheLogErrorsAndProgressAreEvents) {
  std::ostringstream out, err;
  JSONEVENTS::JsonEvents events(out);
  CLIJOBHOST::CliJobHost host(out, err, true, {}, &events);
  host.AppendLog("[ BEGIN MOVIE INFO ]\r\nline");
  host.ShowStatistics(JOBSTATISTICS::ResetTexts(), JOBSTATISTICS::Progress{});
  EXPECT_EQ(out.str(),
            "{\"event\":\"log\",\"text\":\"[ BEGIN MOVIE INFO ]\"}\n"
            "{\"event\":\"log\",\"text\":\"line\"}\n");
  BeginLoop(host, 200);
  JOBSTATISTICS::Progress copying = RefreshedFigures();
  copying.MsSinceStart = 3000;
  copying.CopiedFrames = 30;
  host.ShowStatistics(JOBSTATISTICS::ComputeStatistics(copying), copying);
  EXPECT_EQ(err.str(), "") << "no progress line beside the events";
  EXPECT_EQ(host.PicturesWritten(), 80);

  host.ErrorReported("Can't write video output...", "No space left on device");
  host.NoteReported(SUBTITLEJOB::JobNote::PartialOutput, "the first 80 pictures were written");
  EXPECT_EQ(host.LastError(), "No space left on device");
  host.FileUnopened("/out/\x01.mkv", "Permission denied");
  EXPECT_EQ(host.LastError(), "cannot open '/out/\x01.mkv': Permission denied");
  EXPECT_EQ(err.str(),
            "tolvane: Can't write video output...\n"
            "tolvane: No space left on device\n"
            "tolvane: the first 80 pictures were written\n"
            "tolvane: cannot open '/out/\x01.mkv': Permission denied\n");
  const std::string said = out.str();
  EXPECT_NE(said.find("{\"event\":\"progress\",\"bytes\":0,\"elapsed_s\":2,\"eta_s\":6,\"fps\":0,"
                      "\"frame\":50,\"frames\":200,\"percent\":25}\n"),
            std::string::npos)
      << said;
  EXPECT_NE(said.find("\"copied\":30,\"elapsed_s\":3,\"encoded\":50,"), std::string::npos) << said;
  EXPECT_NE(said.find("{\"event\":\"error\",\"text\":\"No space left on device\"}\n"),
            std::string::npos);
  EXPECT_NE(said.find("{\"event\":\"error\",\"text\":\"cannot open '/out/\\u0001.mkv': "
                      "Permission denied\"}\n"),
            std::string::npos)
      << said;
  EXPECT_EQ(said.find("the first 80"), std::string::npos) << "a note is no error";
}
