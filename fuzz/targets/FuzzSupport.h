#pragma once

// What every fuzz target needs: checks that end the process where libFuzzer
// and the replay test both see them, an input read as control bytes and a
// payload, and files of the run's own for the units that only read files.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace FUZZTARGETS {

// Prints the failed condition with its place, then traps.
[[noreturn]] void FailCheck(const char* condition, const char* file, int line);

#define FUZZ_REQUIRE(condition) \
  ((condition) ? void(0) : FUZZTARGETS::FailCheck(#condition, __FILE__, __LINE__))

// Control bytes from the front of an input, the payload after them. Bytes
// past the end read as zero, so every input is a valid one.
class Input {
 public:
  Input(const uint8_t* data, std::size_t size)
      : bytes_(reinterpret_cast<const char*>(data), size) {}
  uint8_t Byte();
  uint16_t Word();
  uint32_t Long();
  uint64_t Wide();
  std::string_view Rest() const { return bytes_.substr(at_); }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

// The payload split at each 0xFF byte, a byte that well-formed UTF-8 never
// holds, so the pieces can carry any text.
std::vector<std::string_view> Records(std::string_view payload);

// Up to `count` bytes from the front of a record as a number, big end first;
// the record keeps what follows.
uint32_t TakeNumber(std::string_view& record, int count);

// A file of this process under TOLVANE_FUZZ_DIR (else /tmp), one per tag.
std::string TempPath(const char* tag);
bool WriteWholeFile(const std::string& path, std::string_view bytes);
// Empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

}  // namespace FUZZTARGETS
