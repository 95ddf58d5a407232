// The vector kernel of CompressorYuv.cpp, included once for each instruction
// set (no include guard). The including namespace provides Vec, kStep, Load,
// Mask, Or, Zero, StoreLuma, StoreChroma and YUV_OP(name), which names the
// intrinsic of its width. Each 128-bit lane works on 16 pixels.

// 16 pixels of one row per lane as 16-bit blue, green and red: [0] pixels
// 0-7, [1] pixels 8-15.
struct Channels {
  Vec b[2], g[2], r[2];
};

// Bytes a..h of each lane of `from` (-1: none) zero-extended into eight
// 16-bit values.
YUV_INLINE Vec Pick(Vec from, int8_t a, int8_t b, int8_t c, int8_t d, int8_t e, int8_t f, int8_t g,
                    int8_t h) {
  return YUV_OP(shuffle_epi8)(
      from, Mask(_mm_setr_epi8(a, -1, b, -1, c, -1, d, -1, e, -1, f, -1, g, -1, h, -1)));
}

YUV_INLINE Channels LoadStep(const uint8_t* bgr) {
  const Vec v0 = Load(bgr, 0), v1 = Load(bgr, 1), v2 = Load(bgr, 2);
  Channels c;
  c.b[0] = Or(Pick(v0, 0, 3, 6, 9, 12, 15, -1, -1), Pick(v1, -1, -1, -1, -1, -1, -1, 2, 5));
  c.g[0] = Or(Pick(v0, 1, 4, 7, 10, 13, -1, -1, -1), Pick(v1, -1, -1, -1, -1, -1, 0, 3, 6));
  c.r[0] = Or(Pick(v0, 2, 5, 8, 11, 14, -1, -1, -1), Pick(v1, -1, -1, -1, -1, -1, 1, 4, 7));
  c.b[1] = Or(Pick(v1, 8, 11, 14, -1, -1, -1, -1, -1), Pick(v2, -1, -1, -1, 1, 4, 7, 10, 13));
  c.g[1] = Or(Pick(v1, 9, 12, 15, -1, -1, -1, -1, -1), Pick(v2, -1, -1, -1, 2, 5, 8, 11, 14));
  c.r[1] = Or(Pick(v1, 10, 13, -1, -1, -1, -1, -1, -1), Pick(v2, -1, -1, 0, 3, 6, 9, 12, 15));
  return c;
}

YUV_INLINE Vec Weigh(Vec sample, uint16_t weight) {
  return YUV_OP(mulhi_epu16)(YUV_OP(slli_epi16)(sample, 8), YUV_OP(set1_epi16)(int16_t(weight)));
}

YUV_INLINE Vec Luma8(Vec b, Vec g, Vec r, const Matrix& m) {
  const Vec weighted =
      YUV_OP(add_epi16)(YUV_OP(add_epi16)(Weigh(r, m.yr), Weigh(g, m.yg)),
                        YUV_OP(add_epi16)(Weigh(b, m.yb), YUV_OP(set1_epi16)(int16_t(m.yBias))));
  return YUV_OP(srli_epi16)(weighted, 8);
}

YUV_INLINE void StoreLumaStep(const Channels& c, uint8_t* luma, const Matrix& m) {
  StoreLuma(luma, YUV_OP(packus_epi16)(Luma8(c.b[0], c.g[0], c.r[0], m),
                                       Luma8(c.b[1], c.g[1], c.r[1], m)));
}

// Sums of the 2x2 blocks of two rows: eight 16-bit values per lane.
YUV_INLINE Vec BlockSums(const Vec upper[2], const Vec lower[2]) {
  const Vec ones = YUV_OP(set1_epi16)(1);
  const Vec low = YUV_OP(madd_epi16)(YUV_OP(add_epi16)(upper[0], lower[0]), ones);
  const Vec high = YUV_OP(madd_epi16)(YUV_OP(add_epi16)(upper[1], lower[1]), ones);
  return YUV_OP(packs_epi32)(low, high);
}

YUV_INLINE Vec Weigh4(Vec redGreen, Vec blueZero, Vec wrg, Vec wb) {
  const Vec sum =
      YUV_OP(add_epi32)(YUV_OP(madd_epi16)(redGreen, wrg), YUV_OP(madd_epi16)(blueZero, wb));
  return YUV_OP(srai_epi32)(YUV_OP(add_epi32)(sum, YUV_OP(set1_epi32)(kChromaBias)), kChromaShift);
}

// Chroma samples of one kind from the block sums.
YUV_INLINE void StoreChromaStep(Vec red, Vec green, Vec blue, int16_t wr, int16_t wg, int16_t wb,
                                uint8_t* out) {
  const Vec wrg = YUV_OP(set1_epi32)(int32_t(uint32_t(uint16_t(wg)) << 16 | uint16_t(wr)));
  const Vec wbz = YUV_OP(set1_epi32)(uint16_t(wb));
  const Vec low =
      Weigh4(YUV_OP(unpacklo_epi16)(red, green), YUV_OP(unpacklo_epi16)(blue, Zero()), wrg, wbz);
  const Vec high =
      Weigh4(YUV_OP(unpackhi_epi16)(red, green), YUV_OP(unpackhi_epi16)(blue, Zero()), wrg, wbz);
  StoreChroma(out, YUV_OP(packus_epi16)(YUV_OP(packs_epi32)(low, high), Zero()));
}

// Pixels from `x` on, a whole step at a time; returns where it stopped.
int ConvertVector(const uint8_t* upper, const uint8_t* lower, uint8_t* lumaUpper,
                  uint8_t* lumaLower, uint8_t* u, uint8_t* v, int x, int width, const Matrix& m) {
  for (; x + kStep <= width; x += kStep) {
    const Channels a = LoadStep(upper + 3 * x);
    const Channels b = LoadStep(lower + 3 * x);
    StoreLumaStep(a, lumaUpper + x, m);
    StoreLumaStep(b, lumaLower + x, m);
    const Vec red = BlockSums(a.r, b.r);
    const Vec green = BlockSums(a.g, b.g);
    const Vec blue = BlockSums(a.b, b.b);
    StoreChromaStep(red, green, blue, m.ur, m.ug, m.ub, u + x / 2);
    StoreChromaStep(red, green, blue, m.vr, m.vg, m.vb, v + x / 2);
  }
  return x;
}
