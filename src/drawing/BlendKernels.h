#pragma once

// The byte arithmetic both blend pictures share: colours kept premultiplied,
// beside each byte how much of the frame's byte stays under it (255 - alpha).
// Loops run in blocks of a fixed length, which the compiler turns into vector
// code.
#include <cstddef>
#include <cstdint>

namespace BLENDKERNELS {

constexpr size_t kBlock = 16;

// x / 255 rounded, for x up to 255 * 255; stays within 16 bits so that the
// loops vectorise.
inline uint16_t Div255(uint16_t x) {
  const uint16_t t = uint16_t(x + 128);
  return uint16_t((t + (t >> 8)) >> 8);
}

inline void BlendByte(uint8_t& frame, uint8_t colour, uint8_t rest) {
  frame = uint8_t(colour + Div255(uint16_t(frame * rest)));
}

// frame = colour + frame * rest / 255, byte by byte.
inline void BlendBytes(uint8_t* __restrict frame, const uint8_t* __restrict colour,
                       const uint8_t* __restrict rest, size_t n) {
  size_t i = 0;
  for (; i + kBlock <= n; i += kBlock)
    for (size_t k = 0; k < kBlock; ++k) BlendByte(frame[i + k], colour[i + k], rest[i + k]);
  for (; i < n; ++i) BlendByte(frame[i], colour[i], rest[i]);
}

// colour = pattern * a + colour * (255 - a), rest = rest * (255 - a), all
// / 255. Written out in each loop (not through a helper taking references),
// which keeps the pointers unaliased for the vectoriser.
inline void CompositeBytes(uint8_t* __restrict colour, uint8_t* __restrict rest,
                           const uint8_t* __restrict pattern, const uint8_t* __restrict alpha,
                           size_t n) {
  size_t i = 0;
  for (; i + kBlock <= n; i += kBlock)
    for (size_t k = i; k < i + kBlock; ++k) {
      const uint16_t keep = uint16_t(255 - alpha[k]);
      colour[k] =
          uint8_t(Div255(uint16_t(pattern[k] * alpha[k])) + Div255(uint16_t(colour[k] * keep)));
      rest[k] = uint8_t(Div255(uint16_t(rest[k] * keep)));
    }
  for (; i < n; ++i) {
    const uint16_t keep = uint16_t(255 - alpha[i]);
    colour[i] =
        uint8_t(Div255(uint16_t(pattern[i] * alpha[i])) + Div255(uint16_t(colour[i] * keep)));
    rest[i] = uint8_t(Div255(uint16_t(rest[i] * keep)));
  }
}

// The same with one value for every byte.
inline void CompositeValue(uint8_t* __restrict colour, uint8_t* __restrict rest, uint8_t value,
                           const uint8_t* __restrict alpha, size_t n) {
  size_t i = 0;
  for (; i + kBlock <= n; i += kBlock)
    for (size_t k = i; k < i + kBlock; ++k) {
      const uint16_t keep = uint16_t(255 - alpha[k]);
      colour[k] = uint8_t(Div255(uint16_t(value * alpha[k])) + Div255(uint16_t(colour[k] * keep)));
      rest[k] = uint8_t(Div255(uint16_t(rest[k] * keep)));
    }
  for (; i < n; ++i) {
    const uint16_t keep = uint16_t(255 - alpha[i]);
    colour[i] = uint8_t(Div255(uint16_t(value * alpha[i])) + Div255(uint16_t(colour[i] * keep)));
    rest[i] = uint8_t(Div255(uint16_t(rest[i] * keep)));
  }
}

// alpha = coverage * opacity / 255.
inline void ScaleCoverage(const uint8_t* __restrict coverage, uint8_t opacity,
                          uint8_t* __restrict alpha, size_t n) {
  size_t i = 0;
  for (; i + kBlock <= n; i += kBlock)
    for (size_t k = i; k < i + kBlock; ++k)
      alpha[k] = uint8_t(Div255(uint16_t(coverage[k] * opacity)));
  for (; i < n; ++i) alpha[i] = uint8_t(Div255(uint16_t(coverage[i] * opacity)));
}

}  // namespace BLENDKERNELS
