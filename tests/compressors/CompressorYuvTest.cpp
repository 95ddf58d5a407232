// The hand-written BGR to YUV 4:2:0 conversion against the BT.601 formulas in
// floating point, on random pictures wide enough for the vector path and with
// a tail the scalar path takes.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "compressors/CompressorYuv.h"

namespace {

using COMPRESSOR::YuvRange;

struct Reference {
  double y, u, v;
};

Reference Expected(double r, double g, double b, YuvRange range) {
  if (range == YuvRange::Full)
    return {0.299 * r + 0.587 * g + 0.114 * b, -0.168736 * r - 0.331264 * g + 0.5 * b + 128,
            0.5 * r - 0.418688 * g - 0.081312 * b + 128};
  return {16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255,
          128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255,
          128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255};
}

double Clamped(double value) { return std::min(255.0, std::max(0.0, value)); }

// A picture stored bottom-up, as the frame buffer holds it.
struct Picture {
  int width, height, stride;
  std::vector<uint8_t> bytes;
  const uint8_t* Pixel(int x, int y) const {
    return &bytes[size_t(height - 1 - y) * stride + 3 * x];
  }
};

Picture RandomPicture(int width, int height, unsigned seed) {
  Picture picture{width, height, (width * 3 + 3) & ~3, {}};
  picture.bytes.resize(size_t(picture.stride) * height);
  std::mt19937 random(seed);
  for (uint8_t& byte : picture.bytes) byte = uint8_t(random());
  return picture;
}

struct Planes {
  std::vector<uint8_t> y, u, v;
};

Planes Convert(const Picture& picture, YuvRange range) {
  const int w = picture.width, h = picture.height;
  Planes out{std::vector<uint8_t>(size_t(w) * h), std::vector<uint8_t>(size_t(w / 2) * (h / 2)),
             std::vector<uint8_t>(size_t(w / 2) * (h / 2))};
  const COMPRESSOR::YuvPlanes planes{{out.y.data(), out.u.data(), out.v.data()}, {w, w / 2, w / 2}};
  const uint8_t* top = picture.bytes.data() + size_t(h - 1) * picture.stride;
  // In two calls, as a caller splitting the rows would make them.
  COMPRESSOR::BgrToYuv420(top, -picture.stride, w, 0, 4, range, planes);
  COMPRESSOR::BgrToYuv420(top, -picture.stride, w, 4, h - 4, range, planes);
  return out;
}

void ExpectMatchesFormulas(const Picture& picture, YuvRange range) {
  const Planes planes = Convert(picture, range);
  const int w = picture.width;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = picture.Pixel(x, y);
      const double luma = Expected(p[2], p[1], p[0], range).y;
      ASSERT_NEAR(planes.y[size_t(y) * w + x], luma, 1.0) << "luma " << x << "," << y;
    }
  }
  for (int y = 0; y < picture.height / 2; ++y) {
    for (int x = 0; x < w / 2; ++x) {
      double r = 0, g = 0, b = 0;
      for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
          const uint8_t* p = picture.Pixel(2 * x + dx, 2 * y + dy);
          b += p[0] / 4.0;
          g += p[1] / 4.0;
          r += p[2] / 4.0;
        }
      }
      const Reference expected = Expected(r, g, b, range);
      ASSERT_NEAR(planes.u[size_t(y) * (w / 2) + x], Clamped(expected.u), 1.0)
          << "u " << x << "," << y;
      ASSERT_NEAR(planes.v[size_t(y) * (w / 2) + x], Clamped(expected.v), 1.0)
          << "v " << x << "," << y;
    }
  }
}

TEST(CompressorYuv, RandomPicturesMatchTheFormulasOnVideoLevels) {
  ExpectMatchesFormulas(RandomPicture(50, 8, 1), YuvRange::Limited);
  ExpectMatchesFormulas(RandomPicture(1280, 6, 2), YuvRange::Limited);
}

TEST(CompressorYuv, RandomPicturesMatchTheFormulasOnFullRange) {
  ExpectMatchesFormulas(RandomPicture(50, 8, 3), YuvRange::Full);
  ExpectMatchesFormulas(RandomPicture(46, 6, 4), YuvRange::Full);
}

// The extremes: pure colours reach the ends of each scale without wrapping.
TEST(CompressorYuv, PureColoursLandOnTheEndsOfTheScale) {
  struct Case {
    uint8_t b, g, r;
    YuvRange range;
    int y, u, v;
  } const cases[] = {
      {0, 0, 0, YuvRange::Limited, 16, 128, 128},
      {255, 255, 255, YuvRange::Limited, 235, 128, 128},
      {255, 0, 0, YuvRange::Limited, 41, 240, 110},
      {0, 0, 255, YuvRange::Limited, 81, 90, 240},
      {255, 255, 255, YuvRange::Full, 255, 128, 128},
      {255, 0, 0, YuvRange::Full, 29, 255, 107},
      {0, 0, 255, YuvRange::Full, 76, 85, 255},
  };
  for (const Case& c : cases) {
    Picture picture{36, 4, 108, std::vector<uint8_t>(108 * 4)};
    for (size_t at = 0; at < picture.bytes.size(); at += 3) {
      picture.bytes[at] = c.b;
      picture.bytes[at + 1] = c.g;
      picture.bytes[at + 2] = c.r;
    }
    const Planes planes = Convert(picture, c.range);
    SCOPED_TRACE(testing::Message() << int(c.r) << "," << int(c.g) << "," << int(c.b));
    for (uint8_t y : planes.y) ASSERT_EQ(y, c.y);
    for (uint8_t u : planes.u) ASSERT_EQ(u, c.u);
    for (uint8_t v : planes.v) ASSERT_EQ(v, c.v);
  }
}

}  // namespace
