#pragma once

// The boxes of an MP4 or MOV file (ISO base media): each starts with its
// size and its type and may hold further boxes. How a box's header reads and
// whether a box stays within what holds it are decided here alone, without
// a sum that can wrap, whatever sizes the file states.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace MP4BOXES {

// A 32-bit size and the type; with a 32-bit size of 1, the 64-bit size
// follows the type.
constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kLargeHeaderBytes = 16;

// `count` bytes, most significant first.
uint64_t BigEndian(const uint8_t* bytes, std::size_t count);

struct Box {
  uint64_t At = 0;  // where its header starts
  // Its header included, as the file states it; 0 (to the end of what holds
  // it) until FitWithin knows that end.
  uint64_t Size = 0;
  uint64_t Header = kHeaderBytes;  // kLargeHeaderBytes when a 64-bit size follows the type
  std::array<char, 4> Type{};

  std::string_view TypeName() const { return std::string_view(Type.data(), Type.size()); }
  bool Is(std::string_view type) const { return TypeName() == type; }
  uint64_t End() const { return At + Size; }
};

// The box at `at` whose first kHeaderBytes bytes are `bytes`: its type, its
// 32-bit size and its header's length.
Box BoxAt(uint64_t at, const uint8_t* bytes);

// The 64-bit size, from the kHeaderBytes bytes after the type, of a box
// whose Header says it has one.
void TakeLargeSize(Box& box, const uint8_t* bytes);

// Whether the box lies within what holds it, which ends at `end`: a 32-bit
// size of 0 first becomes the rest of it; a size below the box's own header,
// or one that reaches past `end`, does not fit.
bool FitWithin(Box& box, uint64_t end);

}  // namespace MP4BOXES
