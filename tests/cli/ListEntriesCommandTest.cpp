// tolvane --list-entries: the report, one line per NextEntry call, the exit
// statuses.
#include <QString>
#include <sstream>

#include "cli/CommandLine.h"
#include "support/TestSupport.h"

namespace {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome ListEntries(const COMMANDLINE::Arguments& args) {
  std::ostringstream out, err;
  const int status = COMMANDLINE::RunCommandLine(args, out, err);
  return {status, out.str(), err.str()};
}

const std::string kReportMicroDvd =
    "[ BEGIN SUBTITLE INFO ]\nSubtitle format is MicroDVD\n[ END SUBTITLE INFO ]\n";

class ListEntriesCommand : public testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    testsupport::WriteFile(dir / name, bytes);
    return (dir / name).string();
  }
  testsupport::TempDir dir;
};

}  // namespace

TEST_F(ListEntriesCommand, PrintsEveryCallWithItsLinesBytesUnchanged) {
  const std::string file = Write("a.sub", "{0}{25}<i>Hello</i>|Wor\x80ld\n\n{30}{40}\n");
  const Outcome run = ListEntries({"--list-entries", file, "--frame-rate", "25"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kReportMicroDvd + "0\t25\t Hello \tWor\x80ld\n-1\t-1\n30\t40\t\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(ListEntriesCommand, AppliesFrameRateAndDelayLikeTheJob) {
  const std::string file = Write("a.srt", "1\n00:00:01,000 --> 00:00:02,000\nHi\n\n2\n");
  const std::string head =
      "[ BEGIN SUBTITLE INFO ]\nSubtitle format is SubRip\n[ END SUBTITLE INFO ]\n";
  EXPECT_EQ(ListEntries({"--list-entries", file, "--frame-rate", "24000/1001"}).out,
            head + "23\t47\tHi\n-1\t-1\n");
  EXPECT_EQ(ListEntries({"--list-entries", file, "--frame-rate", "23.976"}).out,
            head + "23\t47\tHi\n-1\t-1\n");
  EXPECT_EQ(ListEntries({"--frame-rate", "25", "--delay-ms", "-150", "--list-entries", file}).out,
            head + "22\t47\tHi\n-1\t-1\n");
  EXPECT_EQ(ListEntries({"--list-entries", file, "--frame-rate", "25", "--delay-frames", "5"}).out,
            head + "30\t55\tHi\n-1\t-1\n");
}

TEST_F(ListEntriesCommand, RefusedFileGoesToStandardErrorWithStatusOne) {
  const std::string file = Write("a.srt",
                                 "\xEF\xBB\xBF"
                                 "1\n00:00:01,000 --> 00:00:02,000\n");
  const Outcome run = ListEntries({"--list-entries", file, "--frame-rate", "25"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "[SubtitleFile::Open] File is UTF8. Please convert file to ASCII format...\n");
  EXPECT_EQ(ListEntries({"--list-entries", (dir / "none").string(), "--frame-rate", "25"}).err,
            "[SubtitleFile::Open] Can't open input file...\n");
}

TEST_F(ListEntriesCommand, BadArgumentsAreRefusedBeforeOpening) {
  const std::string file = Write("a.sub", "{1}{2}a\n{3}{4}b\n");
  const COMMANDLINE::Arguments bad[] = {
      {"--list-entries", file},
      {"--list-entries", file, "--frame-rate"},
      {"--list-entries", file, "--frame-rate", "0"},
      {"--list-entries", file, "--frame-rate", "-25"},
      {"--list-entries", file, "--frame-rate", "25fps"},
      {"--list-entries", file, "--frame-rate", "24000/0"},
      {"--list-entries", file, "--frame-rate", "nan"},
      {"--list-entries", file, "--frame-rate", "25", "--delay-frames", "1", "--delay-ms", "1"},
      {"--list-entries", file, "--frame-rate", "25", "--delay-frames", "2147483648"},
      {"--list-entries", file, "--frame-rate", "25", "--delay-ms", "1.5"},
      {"--list-entries", file, "--frame-rate", "25", "--shift", "1"},
      {"--list-entries", file, "--frame-rate", "25", "--as-drawn", "--script", "256"},
      {"--list-entries", file, "--frame-rate", "25", "--as-drawn", "--script"},
      {"--list-entries", file, "--frame-rate", "25", "--as-drawn", "--script", "cyrillic"},
  };
  for (const auto& args : bad) {
    const Outcome run = ListEntries(args);
    EXPECT_EQ(run.status, 2) << args.back();
    EXPECT_EQ(run.out, "") << args.back();
    EXPECT_NE(run.err.find("Usage: tolvane --list-entries"), std::string::npos) << args.back();
  }
}

TEST_F(ListEntriesCommand, AsDrawnPrintsEachLineInUtf8AsTheOverlayDecodesIt) {
  // "Привет" and "мир" in windows-1251, behind markup.
  const std::string file =
      Write("a.sub", "{0}{25}<i>\xCF\xF0\xE8\xE2\xE5\xF2</i>|&amp; \xEC\xE8\xF0\n{30}{40}x");
  const std::string report = kReportMicroDvd;
  const auto lines = [&](std::initializer_list<std::string> extra) {
    COMMANDLINE::Arguments args = {"--list-entries", file, "--frame-rate", "25"};
    args.insert(args.end(), extra);
    const Outcome run = ListEntries(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out.substr(report.size());
  };
  EXPECT_EQ(lines({}), "0\t25\t \xCF\xF0\xE8\xE2\xE5\xF2 \t&amp; \xEC\xE8\xF0\n30\t40\tx\n");
  EXPECT_EQ(lines({"--as-drawn"}),
            "0\t25\t \u00CF\u00F0\u00E8\u00E2\u00E5\u00F2 \t&amp; \u00EC\u00E8\u00F0\n30\t40\tx\n");
  EXPECT_EQ(lines({"--as-drawn", "--script", "204"}), "0\t25\t Привет \t&amp; мир\n30\t40\tx\n");
  EXPECT_EQ(lines({"--script", "204", "--clean-markup", "--as-drawn"}),
            "0\t25\tПривет\t& мир\n30\t40\tx\n");
}

TEST_F(ListEntriesCommand, ReadingOptionsOpenTheFileAsTheJobWould) {
  const std::string utf8 = "1\n00:00:01.000 --> 00:00:02.000\n\n\u00C9t\u00E9\n";
  std::string wide = "\xFF\xFE";
  for (char16_t c : QString::fromUtf8(utf8.c_str()).toStdU16String()) {
    wide += char(c & 0xFF);
    wide += char(c >> 8);
  }
  const std::string file = Write("wide.srt", wide);
  const Outcome refused = ListEntries({"--list-entries", file, "--frame-rate", "25"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err,
            "[SubtitleFile::Open] File is Unicode. Please convert file to ASCII format...\n");
  const Outcome read = ListEntries({"--unicode", "--tolerant", "--detect-codepage",
                                    "--list-entries", file, "--frame-rate", "25", "--as-drawn"});
  EXPECT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(read.out,
            "[ BEGIN SUBTITLE INFO ]\nSubtitle format is SubRip\nSubtitle encoding is UTF-16LE\n"
            "[ END SUBTITLE INFO ]\n25\t50\t\u00C9t\u00E9\n");
}
