#include "support/TestSupport.h"

#include <array>
#include <cstdio>
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

std::string Ffprobe(const std::string& arguments) {
  std::string output;
  RunShell("ffprobe -v error " + arguments, &output);
  return output;
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
fs::path SourceDir() { return TOLVANE_SOURCE_DIR; }

}  // namespace testsupport
