#include "compressors/CompressorYuv.h"

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

// The vector kernel is written once over a handful of operations and
// compiled twice: 16 pixels a step with SSSE3, 32 with AVX2.
#if defined(__clang__)
#define YUV_BEGIN_SSSE3 \
  _Pragma("clang attribute push(__attribute__((target(\"ssse3\"))), apply_to = function)")
#define YUV_BEGIN_AVX2 \
  _Pragma("clang attribute push(__attribute__((target(\"avx2\"))), apply_to = function)")
#define YUV_END_TARGET _Pragma("clang attribute pop")
#else
#define YUV_BEGIN_SSSE3 _Pragma("GCC push_options") _Pragma("GCC target(\"ssse3\")")
#define YUV_BEGIN_AVX2 _Pragma("GCC push_options") _Pragma("GCC target(\"avx2\")")
#define YUV_END_TARGET _Pragma("GCC pop_options")
#endif
#define YUV_INLINE __attribute__((always_inline)) inline

YUV_BEGIN_SSSE3
namespace ssse3 {

using Vec = __m128i;
constexpr int kStep = 16;  // pixels

// Bytes 16 * i .. 16 * i + 15 of the step's pixels.
YUV_INLINE Vec Load(const uint8_t* bgr, int i) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 16 * i));
}
YUV_INLINE Vec Mask(__m128i mask) { return mask; }
YUV_INLINE Vec Or(Vec a, Vec b) { return _mm_or_si128(a, b); }
YUV_INLINE Vec Zero() { return _mm_setzero_si128(); }
YUV_INLINE void StoreLuma(uint8_t* out, Vec bytes) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
}
// The low eight bytes hold the step's chroma samples.
YUV_INLINE void StoreChroma(uint8_t* out, Vec bytes) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
}
#define YUV_OP(name) _mm_##name
#include "compressors/CompressorYuvKernel.h"
#undef YUV_OP

}  // namespace ssse3
YUV_END_TARGET

YUV_BEGIN_AVX2
namespace avx2 {

using Vec = __m256i;
constexpr int kStep = 32;  // two 16-pixel halves, one in each 128-bit lane

YUV_INLINE Vec Load(const uint8_t* bgr, int i) {
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 16 * i));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 48 + 16 * i));
  return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}
YUV_INLINE Vec Mask(__m128i mask) { return _mm256_broadcastsi128_si256(mask); }
YUV_INLINE Vec Or(Vec a, Vec b) { return _mm256_or_si256(a, b); }
YUV_INLINE Vec Zero() { return _mm256_setzero_si256(); }
YUV_INLINE void StoreLuma(uint8_t* out, Vec bytes) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
}
// The low eight bytes of each lane hold the step's chroma samples.
YUV_INLINE void StoreChroma(uint8_t* out, Vec bytes) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                   _mm256_castsi256_si128(_mm256_permute4x64_epi64(bytes, 0x08)));
}
#define YUV_OP(name) _mm256_##name
#include "compressors/CompressorYuvKernel.h"
#undef YUV_OP

}  // namespace avx2
YUV_END_TARGET

// Asked at static initialisation, so the feature table is filled first.
const bool kHasSsse3 = (__builtin_cpu_init(), __builtin_cpu_supports("ssse3"));
const bool kHasAvx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));

#endif

void ConvertRowPair(const uint8_t* upper, const uint8_t* lower, uint8_t* lumaUpper,
                    uint8_t* lumaLower, uint8_t* u, uint8_t* v, int width, const Matrix& m) {
  int done = 0;
#ifdef TOLVANE_YUV_SSSE3
  if (kHasAvx2) done = avx2::ConvertVector(upper, lower, lumaUpper, lumaLower, u, v, 0, width, m);
  if (kHasSsse3)
    done = ssse3::ConvertVector(upper, lower, lumaUpper, lumaLower, u, v, done, width, m);
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
