// The look options, as the job's arguments take them.
#include <gtest/gtest.h>

#include "shell/JobArguments.h"

using JOBARGUMENTS::JobArguments;
using JOBARGUMENTS::ParseJobArguments;

namespace {

const JOBARGUMENTS::Arguments kFiles = {"--source", "a.mp4",    "--subtitles",
                                        "a.srt",    "--output", "a.avi"};

std::string Parse(JOBARGUMENTS::Arguments more, JobArguments& result,
                  const SETTINGS::Settings& settings = {}) {
  JOBARGUMENTS::Arguments args = kFiles;
  args.insert(args.end(), more.begin(), more.end());
  return ParseJobArguments(args, settings, result);
}

}  // namespace

TEST(LookArgumentsTest, EveryOptionReachesTheJobsLook) {
  JobArguments result;
  ASSERT_EQ(Parse({"--outline", "8", "--outline-color", "0x0000FF", "--shadow", "0",
                   "--shadow-color", "FF00", "--box-opacity", "100", "--box-color", "0xFFFFFF",
                   "--antialias", "--margin", "1000", "--bold"},
                  result),
            "");
  const SUBTITLELOOK::SubtitleLook& look = result.Options.Look;
  EXPECT_EQ(look, (SUBTITLELOOK::SubtitleLook{8, 0x0000FF, 0, 0xFF00, 100, 0xFFFFFF, true, 1000}));
  EXPECT_TRUE(result.Options.Font.Bold);  // the other options still count
}

TEST(LookArgumentsTest, WhatIsNotGivenComesFromTheSettings) {
  SETTINGS::Settings settings;
  settings.Look = {2, 0x123456, 3, 0x654321, 40, 0x111111, true, 12};
  JobArguments result;
  ASSERT_EQ(Parse({"--shadow", "5"}, result, settings), "");
  SUBTITLELOOK::SubtitleLook expected = settings.Look;
  expected.Shadow = 5;
  EXPECT_EQ(result.Options.Look, expected);
  ASSERT_EQ(Parse({}, result, SETTINGS::Settings{}), "");
  EXPECT_FALSE(result.Options.Look.AnyOn());
}

TEST(LookArgumentsTest, ValuesOutsideTheirRangesAreRefused) {
  const struct {
    JOBARGUMENTS::Arguments args;
    std::string error;
  } cases[] = {
      {{"--outline", "9"}, "bad outline '9'"},
      {{"--outline", "-1"}, "bad outline '-1'"},
      {{"--shadow", "two"}, "bad shadow 'two'"},
      {{"--box-opacity", "101"}, "bad box opacity '101'"},
      {{"--margin", "1001"}, "bad margin '1001'"},
      {{"--margin", ""}, "bad margin ''"},
      {{"--box-color", "0x1000000"}, "bad box colour '0x1000000'"},
      {{"--outline-color", "black"}, "bad outline colour 'black'"},
      {{"--shadow-color", "0x"}, "bad shadow colour '0x'"},
      {{"--margin"}, "option '--margin' needs a value"},
  };
  for (const auto& c : cases) {
    JobArguments result;
    EXPECT_EQ(Parse(c.args, result), c.error) << c.args[0];
  }
}
