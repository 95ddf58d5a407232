#include "platform/CompressorYuv.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TOLVANE_YUV_SSSE3 1
#endif

namespace COMPRESSOR {
namespace {

// Luma weights are unsigned 16-bit fractions applied to the sample times 256,
// so that the vector code can use a high-half multiply; chroma weights are
// signed 15-bit fractions applied to the sum of a 2x2 block. The scalar code
// below does the same arithmetic, so both give the same bytes.
struct Matrix {
  uint16_t yr, yg, yb;
  uint16_t yBias;  // offset << 8 plus rounding
  int16_t ur, ug, ub, vr, vg, vb;
};

// BT.601: Y = 0.257 R + 0.504 G + 0.098 B + 16 on video levels.
constexpr Matrix kLimited{16829, 33039, 6416,  (16 << 8) + 128, -4857,
                          -9535, 14392, 14392, -12052,          -2340};
constexpr Matrix kFull{19595, 38470, 7471, 128, -5529, -10855, 16384, 16384, -13720, -2664};
constexpr int kChromaShift = 17;  // 15 bits of weight, 2 bits of block sum
constexpr int32_t kChromaBias = (128 << kChromaShift) + (1 << (kChromaShift - 1));

inline uint32_t WeighLuma(uint32_t sample, uint16_t weight) { return (sample << 8) * weight >> 16; }

inline uint8_t Luma(const uint8_t* bgr, const Matrix& m) {
  const uint32_t sum =
      WeighLuma(bgr[2], m.yr) + WeighLuma(bgr[1], m.yg) + WeighLuma(bgr[0], m.yb) + m.yBias;
  return uint8_t(sum >> 8);
}

inline uint8_t Chroma(int32_t red, int32_t green, int32_t blue, int16_t wr, int16_t wg,
                      int16_t wb) {
  const int32_t value = (wr * red + wg * green + wb * blue + kChromaBias) >> kChromaShift;
  return uint8_t(value > 255 ? 255 : value < 0 ? 0 : value);
}

// Pixels from..to of a pair of rows.
void ConvertScalar(const uint8_t* upper, const uint8_t* lower, uint8_t* lumaUpper,
                   uint8_t* lumaLower, uint8_t* u, uint8_t* v, int from, int to, const Matrix& m) {
  for (int x = from; x < to; x += 2) {
    const uint8_t* a = upper + 3 * x;
    const uint8_t* b = lower + 3 * x;
    lumaUpper[x] = Luma(a, m);
    lumaUpper[x + 1] = Luma(a + 3, m);
    lumaLower[x] = Luma(b, m);
    lumaLower[x + 1] = Luma(b + 3, m);
    const int32_t blue = a[0] + a[3] + b[0] + b[3];
    const int32_t green = a[1] + a[4] + b[1] + b[4];
    const int32_t red = a[2] + a[5] + b[2] + b[5];
    u[x / 2] = Chroma(red, green, blue, m.ur, m.ug, m.ub);
    v[x / 2] = Chroma(red, green, blue, m.vr, m.vg, m.vb);
  }
}

#ifdef TOLVANE_YUV_SSSE3

// 16 pixels of one row as 16-bit blue, green and red: [0] pixels 0-7,
// [1] pixels 8-15.
struct Channels {
  __m128i b[2], g[2], r[2];
};

#define YUV_TARGET __attribute__((target("ssse3")))
#define YUV_INLINE __attribute__((target("ssse3"), always_inline)) inline

YUV_INLINE __m128i Pick(__m128i from, int8_t a, int8_t b, int8_t c, int8_t d, int8_t e, int8_t f,
                        int8_t g, int8_t h) {
  // Bytes a..h of `from` (-1: none) zero-extended into eight 16-bit lanes.
  return _mm_shuffle_epi8(from,
                          _mm_setr_epi8(a, -1, b, -1, c, -1, d, -1, e, -1, f, -1, g, -1, h, -1));
}

YUV_INLINE Channels Load16(const uint8_t* bgr) {
  const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr));
  const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 16));
  const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 32));
  Channels c;
  c.b[0] =
      _mm_or_si128(Pick(v0, 0, 3, 6, 9, 12, 15, -1, -1), Pick(v1, -1, -1, -1, -1, -1, -1, 2, 5));
  c.g[0] =
      _mm_or_si128(Pick(v0, 1, 4, 7, 10, 13, -1, -1, -1), Pick(v1, -1, -1, -1, -1, -1, 0, 3, 6));
  c.r[0] =
      _mm_or_si128(Pick(v0, 2, 5, 8, 11, 14, -1, -1, -1), Pick(v1, -1, -1, -1, -1, -1, 1, 4, 7));
  c.b[1] =
      _mm_or_si128(Pick(v1, 8, 11, 14, -1, -1, -1, -1, -1), Pick(v2, -1, -1, -1, 1, 4, 7, 10, 13));
  c.g[1] =
      _mm_or_si128(Pick(v1, 9, 12, 15, -1, -1, -1, -1, -1), Pick(v2, -1, -1, -1, 2, 5, 8, 11, 14));
  c.r[1] =
      _mm_or_si128(Pick(v1, 10, 13, -1, -1, -1, -1, -1, -1), Pick(v2, -1, -1, 0, 3, 6, 9, 12, 15));
  return c;
}

YUV_INLINE __m128i Luma8(__m128i b, __m128i g, __m128i r, const Matrix& m) {
  const __m128i weighted = _mm_add_epi16(
      _mm_add_epi16(_mm_mulhi_epu16(_mm_slli_epi16(r, 8), _mm_set1_epi16(int16_t(m.yr))),
                    _mm_mulhi_epu16(_mm_slli_epi16(g, 8), _mm_set1_epi16(int16_t(m.yg)))),
      _mm_add_epi16(_mm_mulhi_epu16(_mm_slli_epi16(b, 8), _mm_set1_epi16(int16_t(m.yb))),
                    _mm_set1_epi16(int16_t(m.yBias))));
  return _mm_srli_epi16(weighted, 8);
}

YUV_INLINE void StoreLuma16(const Channels& c, uint8_t* luma, const Matrix& m) {
  const __m128i low = Luma8(c.b[0], c.g[0], c.r[0], m);
  const __m128i high = Luma8(c.b[1], c.g[1], c.r[1], m);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(luma), _mm_packus_epi16(low, high));
}

// Sums of the 2x2 blocks of 16 pixels of two rows: eight 16-bit values.
YUV_INLINE __m128i BlockSums(const __m128i upper[2], const __m128i lower[2]) {
  const __m128i ones = _mm_set1_epi16(1);
  const __m128i low = _mm_madd_epi16(_mm_add_epi16(upper[0], lower[0]), ones);
  const __m128i high = _mm_madd_epi16(_mm_add_epi16(upper[1], lower[1]), ones);
  return _mm_packs_epi32(low, high);
}

YUV_INLINE __m128i Weigh4(__m128i redGreen, __m128i blueOne, __m128i wrg, __m128i wb) {
  const __m128i sum = _mm_add_epi32(_mm_madd_epi16(redGreen, wrg), _mm_madd_epi16(blueOne, wb));
  return _mm_srai_epi32(_mm_add_epi32(sum, _mm_set1_epi32(kChromaBias)), kChromaShift);
}

// Eight chroma samples of one kind from the block sums.
YUV_INLINE void StoreChroma8(__m128i red, __m128i green, __m128i blue, int16_t wr, int16_t wg,
                             int16_t wb, uint8_t* out) {
  const __m128i wrg = _mm_setr_epi16(wr, wg, wr, wg, wr, wg, wr, wg);
  const __m128i wbz = _mm_setr_epi16(wb, 0, wb, 0, wb, 0, wb, 0);
  const __m128i zero = _mm_setzero_si128();
  const __m128i low =
      Weigh4(_mm_unpacklo_epi16(red, green), _mm_unpacklo_epi16(blue, zero), wrg, wbz);
  const __m128i high =
      Weigh4(_mm_unpackhi_epi16(red, green), _mm_unpackhi_epi16(blue, zero), wrg, wbz);
  const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(low, high), zero);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
}

YUV_TARGET int ConvertVector(const uint8_t* upper, const uint8_t* lower, uint8_t* lumaUpper,
                             uint8_t* lumaLower, uint8_t* u, uint8_t* v, int width,
                             const Matrix& m) {
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    const Channels a = Load16(upper + 3 * x);
    const Channels b = Load16(lower + 3 * x);
    StoreLuma16(a, lumaUpper + x, m);
    StoreLuma16(b, lumaLower + x, m);
    const __m128i red = BlockSums(a.r, b.r);
    const __m128i green = BlockSums(a.g, b.g);
    const __m128i blue = BlockSums(a.b, b.b);
    StoreChroma8(red, green, blue, m.ur, m.ug, m.ub, u + x / 2);
    StoreChroma8(red, green, blue, m.vr, m.vg, m.vb, v + x / 2);
  }
  return x;
}

bool HasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

#endif

void ConvertRowPair(const uint8_t* upper, const uint8_t* lower, uint8_t* lumaUpper,
                    uint8_t* lumaLower, uint8_t* u, uint8_t* v, int width, const Matrix& m) {
  int done = 0;
#ifdef TOLVANE_YUV_SSSE3
  if (HasSsse3()) done = ConvertVector(upper, lower, lumaUpper, lumaLower, u, v, width, m);
#endif
  ConvertScalar(upper, lower, lumaUpper, lumaLower, u, v, done, width, m);
}

}  // namespace

void BgrToYuv420(const uint8_t* top, ptrdiff_t stride, int width, int firstRow, int rowCount,
                 YuvRange range, const YuvPlanes& planes) {
  const Matrix& m = range == YuvRange::Full ? kFull : kLimited;
  for (int row = firstRow; row < firstRow + rowCount; row += 2) {
    const uint8_t* upper = top + stride * row;
    uint8_t* luma = planes.data[0] + ptrdiff_t(planes.linesize[0]) * row;
    const ptrdiff_t chromaRow = row / 2;
    ConvertRowPair(upper, upper + stride, luma, luma + planes.linesize[0],
                   planes.data[1] + planes.linesize[1] * chromaRow,
                   planes.data[2] + planes.linesize[2] * chromaRow, width, m);
  }
}

}  // namespace COMPRESSOR
