#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace FUZZTARGETS {

void FailCheck(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", file, line, condition);
  std::fflush(stderr);
  __builtin_trap();
}

uint8_t Input::Byte() { return at_ < bytes_.size() ? uint8_t(bytes_[at_++]) : 0; }

uint16_t Input::Word() { return uint16_t(Byte() << 8 | Byte()); }

uint32_t Input::Long() { return uint32_t(Word()) << 16 | Word(); }

uint64_t Input::Wide() { return uint64_t(Long()) << 32 | Long(); }

std::vector<std::string_view> Records(std::string_view payload) {
  std::vector<std::string_view> records;
  for (std::size_t begin = 0;;) {
    const std::size_t end = payload.find('\xFF', begin);
    records.push_back(payload.substr(begin, end == std::string_view::npos ? end : end - begin));
    if (end == std::string_view::npos) return records;
    begin = end + 1;
  }
}

uint32_t TakeNumber(std::string_view& record, int count) {
  uint32_t value = 0;
  for (int k = 0; k < count && !record.empty(); ++k) {
    value = value << 8 | uint8_t(record.front());
    record.remove_prefix(1);
  }
  return value;
}

std::string TempPath(const char* tag) {
  // Read every time: the replay test points it at a folder of its own.
  const char* dir = std::getenv("TOLVANE_FUZZ_DIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/tolvane-fuzz-" + std::to_string(getpid()) +
         "-" + tag;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace FUZZTARGETS
