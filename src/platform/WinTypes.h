#pragma once

// The fixed-width types of the records the AVI file service and the
// bitmap and wave formats are built from, as the original platform defines
// them (all little-endian, 32-bit LONG and DWORD on every build).
#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using UINT = uint32_t;
using ULONG = uint32_t;
using HRESULT = int32_t;
using FOURCC = uint32_t;

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
static_assert(sizeof(RECT) == 16);

constexpr FOURCC MakeFourCC(char a, char b, char c, char d) {
  return DWORD(BYTE(a)) | (DWORD(BYTE(b)) << 8) | (DWORD(BYTE(c)) << 16) | (DWORD(BYTE(d)) << 24);
}

#pragma pack(push, 2)
struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPINFOHEADER) == 40);

#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;  // extra bytes that follow the record
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

constexpr DWORD BI_RGB = 0;
