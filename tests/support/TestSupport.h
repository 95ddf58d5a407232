#pragma once

// Helpers shared by the test suites: the shared fixtures folder, temporary
// folders, and running the ffmpeg tool to make test media.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

namespace fs = std::filesystem;

// The shared subtitle fixtures; empty when the folder is absent.
fs::path SubtitleFixturesDir();

// Skips the current test when the shared fixtures are absent.
#define SKIP_WITHOUT_SUBTITLE_FIXTURES()                     \
  do {                                                       \
    if (testsupport::SubtitleFixturesDir().empty())          \
      GTEST_SKIP() << "shared subtitle fixtures are absent"; \
  } while (0)

// A fresh folder, removed with its contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

// Runs a command through the shell; returns its exit status. Output is
// captured into *output when given, else discarded.
int RunShell(const std::string& command, std::string* output = nullptr);

// Runs "ffmpeg -y -v error <arguments>"; fails the current test when it fails.
void Ffmpeg(const std::string& arguments);

// Runs ffprobe with the arguments and returns what it printed on standard
// output.
std::string Ffprobe(const std::string& arguments);

// The pictures ffprobe decodes of a file's video (0 when it reads none).
int CountedPictures(const fs::path& file);
// The number-th picture of a file's video (from 0), decoded by ffmpeg into
// 24-bit RGB pixels, top row first; empty when it has none such.
std::string PictureRgb(const fs::path& file, int number);
// What ffmpeg reports decoding the whole file; empty when it decodes clean.
std::string DecodeErrors(const fs::path& file);

// A minute of 640x360 MPEG-4 pictures with PCM sound: a job on it runs long
// enough to be interrupted halfway, even on a fast machine.
void MakeLongSource(const fs::path& file);

// Writes bytes to a file.
void WriteFile(const fs::path& path, const std::string& bytes);
std::string ReadFile(const fs::path& path);

// The built program and the source tree.
std::string ProgramPath();
fs::path SourceDir();

// One run of the program, its standard output and error apart.
struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};
// Runs the program with the arguments (shell syntax) and no settings file.
ProgramRun RunProgram(const std::string& arguments);

// How many whole chunks of the stream (0 for "00dc"/"00db") a possibly cut AVI
// file holds in its movi lists; of the file's bytes, or of as many of its
// first bytes as were read.
int WholeAviChunks(const std::string& file, int stream);
int WholeAviChunksIn(const std::string& bytes, int stream);

}  // namespace testsupport
