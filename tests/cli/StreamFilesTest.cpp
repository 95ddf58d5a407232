// Sources and outputs that are not files: what is refused, and what a pipe
// delivers in full.
#include "cli/StreamFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "support/TestSupport.h"

using namespace testsupport;
using STREAMFILES::Layout;
using STREAMFILES::LayoutOf;

namespace {

// A top-level box: 32-bit size, type and contents.
std::string Box(const std::string& type, size_t contents) {
  const size_t size = 8 + contents;
  std::string box = {char(size >> 24), char(size >> 16), char(size >> 8), char(size)};
  return box + type + std::string(contents, '\0');
}

// The program reading a file through a pipe on its standard input.
ProgramRun Piped(const fs::path& file, const std::string& arguments) {
  TempDir dir;
  ProgramRun run;
  run.status = RunShell("(cat " + file.string() + " | " + ProgramPath() + " " + arguments +
                            " --settings /nonexistent.ini 2>" + (dir / "err").string() + ")",
                        &run.out);
  run.err = ReadFile(dir / "err");
  return run;
}

std::string Frames(const fs::path& file) {
  return Ffprobe(
      "-count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 " +
      file.string());
}

TEST(StreamFilesTest, TheLeadingBoxesTellWhereTheIndexIs) {
  EXPECT_EQ(LayoutOf(Box("ftyp", 16) + Box("moov", 100)), Layout::Readable);
  EXPECT_EQ(LayoutOf(Box("ftyp", 16) + Box("free", 4) + Box("mdat", 1000)),
            Layout::IndexAfterMedia);
  EXPECT_EQ(LayoutOf(Box("ftyp", 16) + Box("moof", 10)), Layout::Readable);
  // Only part of the file so far, or a box reaching past it.
  EXPECT_EQ(LayoutOf(Box("ftyp", 16).substr(0, 6)), Layout::NeedMoreBytes);
  EXPECT_EQ(LayoutOf(Box("ftyp", 16)), Layout::NeedMoreBytes);
  EXPECT_EQ(LayoutOf(Box("ftyp", 4000).substr(0, 100)), Layout::NeedMoreBytes);
  // A 64-bit size after a size of 1.
  const std::string large =
      std::string("\0\0\0\1", 4) + "wide" + std::string("\0\0\0\0\0\0\0\x18", 8) + "12345678";
  EXPECT_EQ(LayoutOf(large + Box("mdat", 8)), Layout::IndexAfterMedia);
  // Anything else is left to the decoder.
  EXPECT_EQ(LayoutOf(std::string("\x47\x40\x00\x10", 4) + std::string(200, '\xff')),
            Layout::Readable);
  EXPECT_EQ(LayoutOf(std::string("RIFF\0\0\0\0AVI LIST", 16)), Layout::Readable);
  EXPECT_EQ(LayoutOf(std::string("\0\0\0\0ftyp", 8)), Layout::Readable);
}

TEST(StreamFilesTest, OutputsThatCannotSeekAreRefused) {
  TempDir dir;
  EXPECT_NE(STREAMFILES::OutputProblem("-").find("standard output ('-')"), std::string::npos);
  const fs::path fifo = dir / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_NE(STREAMFILES::OutputProblem(fifo.string()).find("is a pipe"), std::string::npos);
  EXPECT_EQ(STREAMFILES::OutputProblem((dir / "new.avi").string()), "");
  EXPECT_EQ(STREAMFILES::OutputProblem("/dev/null"), "");
  EXPECT_EQ(STREAMFILES::SourcePath("-"), "/dev/stdin");
  EXPECT_EQ(STREAMFILES::SourcePath("./-"), "./-");
  EXPECT_TRUE(STREAMFILES::IsStream(fifo.string()));
  EXPECT_FALSE(STREAMFILES::IsStream((dir / "new.avi").string()));
}

// A file named "-" is neither written nor read in place of the streams.
TEST(StreamFilesTest, TheProgramRefusesADashOutputAndReadsWhatAPipeCanCarry) {
  TempDir dir;
  const fs::path subtitles = dir / "film.srt";
  WriteFile(subtitles, "1\n00:00:00,200 --> 00:00:00,600\nHello\n");
  const fs::path film = dir / "film.mp4";
  Ffmpeg("-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 -c:v libx264 " + film.string());
  const std::string job = " --subtitles " + subtitles.string() + " --output ";

  ProgramRun run = RunProgram("--source " + film.string() + job + "-");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err,
            "tolvane: the output can't be standard output ('-'): a video file is completed by "
            "seeking back to its headers; name the output file\n");
  EXPECT_FALSE(fs::exists("-"));

  // An MP4 file's index after its pictures: the pipe cannot give it.
  const fs::path out = dir / "out.avi";
  run = Piped(film, "--source -" + job + out.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("tolvane: the source is an MP4 or MOV file whose index follows its "
                         "pictures, which can't be read from a pipe"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(out));

  // With the index first, and as MPEG-TS, every picture arrives.
  const fs::path fast = dir / "fast.mp4", stream = dir / "film.ts";
  Ffmpeg("-i " + film.string() + " -c copy -movflags +faststart " + fast.string());
  Ffmpeg("-i " + film.string() + " -c copy " + stream.string());
  for (const char* source : {"-", "/dev/stdin"}) {
    for (const fs::path& piped : {fast, stream}) {
      run = Piped(piped, std::string("--source ") + source + job + out.string());
      EXPECT_EQ(run.status, 0) << piped << run.err;
      EXPECT_EQ(Frames(out), "25\n") << piped;
      fs::remove(out);
    }
  }
}

}  // namespace
