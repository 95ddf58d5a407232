// Loads a generated 20 MB subtitle file (SubRip, then MicroDVD, then a file of
// three lines of a third of that each) and walks all its entries the way the
// job does, with the reading options off and then all on; prints the best of
// several runs.
//   subtitle_benchmark [megabytes]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "subtitles/SubtitleUnit.h"

namespace {

namespace fs = std::filesystem;

// Entries with two lines of text and some markup, as real files have.
std::string MakeSubRip(std::size_t bytes) {
  std::string text;
  text.reserve(bytes + 256);
  char line[256];
  for (int n = 1; text.size() < bytes; ++n) {
    const int ms = n * 2500;
    std::snprintf(line, sizeof line,
                  "%d\r\n%02d:%02d:%02d,%03d --> %02d:%02d:%02d,%03d\r\n"
                  "<i>Entry number %d says something</i>\r\nand a second line of text.\r\n\r\n",
                  n, ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000,
                  (ms + 2000) / 3600000, (ms + 2000) / 60000 % 60, (ms + 2000) / 1000 % 60,
                  (ms + 2000) % 1000, n);
    text += line;
  }
  return text;
}

std::string MakeMicroDvd(std::size_t bytes) {
  std::string text;
  text.reserve(bytes + 256);
  char line[256];
  for (int n = 1; text.size() < bytes; ++n) {
    std::snprintf(line, sizeof line,
                  "{%d}{%d}{y:i}Entry number %d says something|and a second line of text.\n",
                  n * 60, n * 60 + 50, n);
    text += line;
  }
  return text;
}

// Three SubRip entries whose text lines hold a third of the bytes each.
std::string MakeHugeLines(std::size_t bytes) {
  std::string line;
  line.reserve(bytes / 3 + 64);
  while (line.size() < bytes / 3) line += "<i>word</i> and {\\an8}more &amp; ";
  std::string text;
  for (int n = 1; n <= 3; ++n)
    text += std::to_string(n) + "\n00:00:0" + std::to_string(n) + ",000 --> 00:00:0" +
            std::to_string(n) + ",900\n" + line + "\n\n";
  return text;
}

struct Result {
  double seconds;
  long entries;
};

Result LoadAndWalk(const std::string& path, const SUBTITLEFILE::ReadingOptions& options) {
  const auto begin = std::chrono::steady_clock::now();
  SUBTITLEFILE::SubtitleFile file;
  file.Reading = options;
  if (!file.Open(path)) {
    std::fprintf(stderr, "%s\n", file.ErrorText.c_str());
    std::exit(1);
  }
  file.SetFrameRate(24000.0 / 1001.0);
  file.SetDelayMilliseconds(-500);
  long entries = 0;
  file.ForEachEntry(
      [&](const SUBTITLEFILE::SubtitleEntry& entry) { entries += entry.Start != -1; });
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - begin;
  return {elapsed.count(), entries};
}

void Measure(const char* name, const std::string& text, const fs::path& path) {
  std::ofstream(path, std::ios::binary).write(text.data(), std::streamsize(text.size()));
  for (const bool every : {false, true}) {
    const SUBTITLEFILE::ReadingOptions options{every, every, every, every};
    Result best{1e9, 0};
    for (int run = 0; run < 5; ++run) {
      const Result result = LoadAndWalk(path.string(), options);
      if (result.seconds < best.seconds) best = result;
    }
    std::printf("%-9s %-13s %6.1f MB  %8ld entries  best of 5: %7.1f ms  (%.0f MB/s)\n", name,
                every ? "every option" : "no option", text.size() / 1e6, best.entries,
                best.seconds * 1e3, text.size() / 1e6 / best.seconds);
  }
  fs::remove(path);
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20;
  const std::size_t bytes = megabytes * 1000 * 1000;
  const fs::path dir = fs::temp_directory_path();
  const std::string tag =
      std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  Measure("SubRip", MakeSubRip(bytes), dir / ("tolvane-bench-" + tag + ".srt"));
  Measure("MicroDVD", MakeMicroDvd(bytes), dir / ("tolvane-bench-" + tag + ".sub"));
  Measure("3 lines", MakeHugeLines(bytes), dir / ("tolvane-bench-" + tag + "-lines.srt"));
  return 0;
}
