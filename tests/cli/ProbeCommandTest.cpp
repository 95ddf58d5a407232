#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/CommandLine.h"
#include "media/MediaFixtures.h"

namespace {

struct CommandRun {
  int status;
  std::string out, err;
};

CommandRun Probe(const COMMANDLINE::Arguments& args) {
  std::ostringstream out, err;
  const int status = COMMANDLINE::RunCommandLine(args, out, err);
  return {status, out.str(), err.str()};
}

TEST(ProbeCommand, PrintsTheReportOneLinePerLine) {
  const std::string path =
      mediatest::MakeMedia("probe.mp4", mediatest::QuadrantInput(64, 48, 1) + " -c:v libx264");
  auto decoder = mediatest::NewDecoder();
  ASSERT_TRUE(decoder->PreOpen(path));
  std::string expected = decoder->Info + "\n";
  for (size_t at; (at = expected.find("\r\n")) != std::string::npos;) expected.replace(at, 2, "\n");

  const CommandRun run = Probe({"--probe", path});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.err, "");
}

TEST(ProbeCommand, FailuresGoToStandardErrorWithStatusOne) {
  const std::string audio =
      mediatest::MakeMedia("probe.m4a", "-f lavfi -i sine=duration=1 -c:a aac");
  CommandRun run = Probe({"--probe", audio});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "[VelAvCodec::PreOpen] No video stream found...\n");

  run = Probe({"--probe", (mediatest::MediaDir() / "none.avi").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "[VelAvCodec::PreOpen] Can't open input file...\n");

  EXPECT_EQ(Probe({"--probe"}).status, 2);

  // FFmpeg's reason comes first, once, in the same style.
  const std::string whole =
      mediatest::MakeMedia("whole.mp4", mediatest::QuadrantInput(64, 48, 1) + " -c:v libx264");
  std::ifstream in(whole, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string cut = (mediatest::MediaDir() / "cut.mp4").string();
  std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  for (const char* verbose : {"--probe", "--verbose"}) {
    COMMANDLINE::Arguments args = {"--probe", cut};
    if (std::string(verbose) == "--verbose") args.push_back(verbose);
    run = Probe(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(
        run.err,
        "[FFmpeg::mov] moov atom not found...\n[VelAvCodec::PreOpen] Can't open input file...\n");
  }
}

}  // namespace
