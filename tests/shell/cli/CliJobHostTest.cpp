// What the command line shows of a job: the log on standard output, the
// progress line and the remaining messages on standard error.
#include "shell/cli/CliJobHost.h"

#include <gtest/gtest.h>

#include <sstream>

#include "job/JobStatistics.h"

namespace {

JOBSTATISTICS::StatisticsTexts Refreshed() {
  JOBSTATISTICS::StatisticsTexts texts = JOBSTATISTICS::ResetTexts();
  texts.CurrentFramerate = "24.5";
  texts.EstimatedTime = JOBSTATISTICS::TimeText(6000);
  return texts;
}

}  // namespace

TEST(CliJobHostTest, LogGoesToStandardOutputWithPlainLineFeeds) {
  std::ostringstream out, err;
  CLIJOBHOST::CliJobHost host(out, err, false);
  host.AppendLog("[ BEGIN MOVIE INFO ]\r\nline\r\n[ END MOVIE INFO ]");
  host.AppendLog("-=[ END ]=-");
  // Errors go to standard error as well; the closing box adds nothing.
  host.ShowMessageBox(MessageKind::Error, "", "Can't write audio output...");
  host.ShowMessageBox(MessageKind::Information, "", "OK");
  host.ShowMessageBox(MessageKind::Information, "", "Please choose a subtitle file!");
  EXPECT_EQ(out.str(), "[ BEGIN MOVIE INFO ]\nline\n[ END MOVIE INFO ]\n-=[ END ]=-\n");
  EXPECT_EQ(err.str(),
            "tolvane: Can't write audio output...\ntolvane: Please choose a subtitle file!\n");
}

TEST(CliJobHostTest, ProgressLineOnlyOnceTheLoopRunsAndOnlyForATerminal) {
  std::ostringstream out, err;
  CLIJOBHOST::CliJobHost host(out, err, true);
  host.ShowStatistics(JOBSTATISTICS::ResetTexts());
  EXPECT_EQ(err.str(), "");

  host.SetProgressMaximum(200);
  host.SetProgressPosition(50);
  host.ShowStatistics(Refreshed());
  EXPECT_EQ(err.str().rfind("\r50/200 frames (25%), 24.5 F/S, remaining 00:00:06", 0), 0u)
      << err.str();
  // A log entry starts on a line of its own.
  host.AppendLog("Closing all...");
  EXPECT_EQ(err.str().back(), '\n');
  EXPECT_EQ(out.str(), "Closing all...\n");

  std::ostringstream quietErr;
  CLIJOBHOST::CliJobHost piped(out, quietErr, false);
  piped.SetProgressMaximum(200);
  piped.ShowStatistics(Refreshed());
  EXPECT_EQ(quietErr.str(), "");
}
