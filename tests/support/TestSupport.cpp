#include "support/TestSupport.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace testsupport {

fs::path SubtitleFixturesDir() {
  fs::path dir = fs::path(TOLVANE_SHARED_FIXTURES) / "subtitles";
  std::error_code error;
  return fs::is_directory(dir, error) ? dir : fs::path();
}

TempDir::TempDir() {
  std::random_device random;
  for (;;) {
    path_ = fs::temp_directory_path() / ("tolvane-test-" + std::to_string(random()));
    if (fs::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code error;
  fs::remove_all(path_, error);
}

int RunShell(const std::string& command, std::string* output) {
  std::string full = command + (output ? " 2>&1" : " >/dev/null 2>&1");
  FILE* pipe = popen(full.c_str(), "r");
  if (pipe == nullptr) return -1;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    if (output) output->append(buffer.data(), n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Ffmpeg(const std::string& arguments) {
  std::string output;
  int status = RunShell("ffmpeg -nostdin -y -v error " + arguments, &output);
  ASSERT_EQ(status, 0) << "ffmpeg " << arguments << "\n" << output;
}

void MakeLongSource(const fs::path& file) {
  Ffmpeg(
      "-f lavfi -i testsrc2=size=640x360:rate=25:duration=60 -f lavfi -i sine=duration=60 "
      "-c:v mpeg4 -q:v 10 -c:a pcm_s16le " +
      file.string());
}

std::string Ffprobe(const std::string& arguments) {
  std::string output;
  // Only what it prints on standard output: a damaged file's warnings would
  // spoil the numbers.
  RunShell("(ffprobe -v error " + arguments + " 2>/dev/null)", &output);
  return output;
}

int CountedPictures(const fs::path& file) {
  return std::atoi(Ffprobe("-count_frames -select_streams v -show_entries "
                           "stream=nb_read_frames -of csv=p=0 " +
                           file.string())
                       .c_str());
}

std::string PictureRgb(const fs::path& file, int number) {
  std::string raw;
  RunShell("ffmpeg -v error -i " + file.string() + " -vf \"select=eq(n\\," +
               std::to_string(number) + ")\" -frames:v 1 -f rawvideo -pix_fmt rgb24 -",
           &raw);
  return raw;
}

std::string DecodeErrors(const fs::path& file) {
  std::string errors;
  if (RunShell("ffmpeg -nostdin -v error -i " + file.string() + " -f null -", &errors) != 0)
    errors += "(ffmpeg failed)";
  return errors;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string ProgramPath() { return TOLVANE_PROGRAM; }

ProgramRun RunProgram(const std::string& arguments) {
  TempDir dir;
  const fs::path err = dir / "stderr";
  ProgramRun run;
  run.status = RunShell("(" + ProgramPath() + " " + arguments + " --settings /nonexistent.ini 2>" +
                            err.string() + ")",
                        &run.out);
  run.err = ReadFile(err);
  return run;
}

int WholeAviChunks(const std::string& file, int stream) {
  return WholeAviChunksIn(ReadFile(file), stream);
}

int WholeAviChunksIn(const std::string& bytes, int stream) {
  const std::string prefix = {char('0' + stream / 10), char('0' + stream % 10)};
  auto u32 = [&](size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | uint8_t(bytes[at + size_t(i)]);
    return value;
  };
  int chunks = 0;
  for (size_t movi = bytes.find("movi"); movi != std::string::npos;
       movi = bytes.find("movi", movi + 4)) {
    if (movi < 8 || bytes.compare(movi - 8, 4, "LIST") != 0) continue;
    size_t at = movi + 4;
    while (at + 8 <= bytes.size()) {
      const uint32_t size = u32(at + 4);
      if (at + 8 + size > bytes.size()) break;
      const std::string id = bytes.substr(at, 4);
      if (id.compare(0, 2, prefix) == 0 && (id[2] == 'd' || id[2] == 'w')) ++chunks;
      if (id == "LIST" || id == "RIFF" || id == "idx1") break;
      at += 8 + size + size % 2;
    }
  }
  return chunks;
}
fs::path SourceDir() { return TOLVANE_SOURCE_DIR; }

}  // namespace testsupport
