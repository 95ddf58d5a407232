#pragma once

// The records and codes of the AVI file service and its compressor choice,
// laid out as the original platform publishes them. The AVI writer and the
// compressors both build on these, and on nothing of each other.
#include "platform/WinTypes.h"

// A block referred to from a record that must keep its 32-bit layout: 0 is
// none, other values are handles that the AVI service gives out and resolves.
using BLOCKHANDLE = DWORD;

struct AVISTREAMINFOA {
  DWORD fccType;
  DWORD fccHandler;
  DWORD dwFlags;
  DWORD dwCaps;
  WORD wPriority;
  WORD wLanguage;
  DWORD dwScale;
  DWORD dwRate;
  DWORD dwStart;
  DWORD dwLength;
  DWORD dwInitialFrames;
  DWORD dwSuggestedBufferSize;
  DWORD dwQuality;
  DWORD dwSampleSize;
  RECT rcFrame;
  DWORD dwEditCount;
  DWORD dwFormatChangeCount;
  char szName[64];
};
static_assert(sizeof(AVISTREAMINFOA) == 140);

struct AVICOMPRESSOPTIONS {
  DWORD fccType;
  DWORD fccHandler;        // the compressor's four-character code
  DWORD dwKeyFrameEvery;   // with AVICOMPRESSF_KEYFRAMES
  DWORD dwQuality;         // 0 to 10000
  DWORD dwBytesPerSecond;  // with AVICOMPRESSF_DATARATE
  DWORD dwFlags;
  BLOCKHANDLE lpFormat;  // compressor state, released with AVISaveOptionsFree
  DWORD cbFormat;
  BLOCKHANDLE lpParms;
  DWORD cbParms;
  DWORD dwInterleaveEvery;
};
static_assert(sizeof(AVICOMPRESSOPTIONS) == 44);

constexpr FOURCC streamtypeVIDEO = MakeFourCC('v', 'i', 'd', 's');
constexpr FOURCC streamtypeAUDIO = MakeFourCC('a', 'u', 'd', 's');
constexpr FOURCC listtypeAVIINFO = MakeFourCC('I', 'N', 'F', 'O');
constexpr FOURCC ckidLIST = MakeFourCC('L', 'I', 'S', 'T');

// AVIFileOpenA modes.
constexpr UINT OF_READ = 0x0000;
constexpr UINT OF_WRITE = 0x0001;
constexpr UINT OF_READWRITE = 0x0002;
constexpr UINT OF_SHARE_DENY_NONE = 0x0040;
constexpr UINT OF_CREATE = 0x1000;

// AVICOMPRESSOPTIONS flags.
constexpr DWORD AVICOMPRESSF_INTERLEAVE = 0x01;
constexpr DWORD AVICOMPRESSF_DATARATE = 0x02;
constexpr DWORD AVICOMPRESSF_KEYFRAMES = 0x04;
constexpr DWORD AVICOMPRESSF_VALID = 0x08;

// AVISaveOptions flags.
constexpr UINT ICMF_CHOOSE_KEYFRAME = 0x0001;
constexpr UINT ICMF_CHOOSE_DATARATE = 0x0002;

// AVICOMPRESSOPTIONS quality: 0 to ICQUALITY_HIGH, or the compressor's default.
constexpr DWORD ICQUALITY_LOW = 0;
constexpr DWORD ICQUALITY_HIGH = 10000;
constexpr DWORD ICQUALITY_DEFAULT = 0xFFFFFFFF;

// AVIStreamWrite flags.
constexpr DWORD AVIIF_KEYFRAME = 0x00000010;

constexpr HRESULT AVIERR_OK = 0;
constexpr HRESULT AVIERR_UNSUPPORTED = HRESULT(0x80044065);
constexpr HRESULT AVIERR_BADFORMAT = HRESULT(0x80044066);
constexpr HRESULT AVIERR_MEMORY = HRESULT(0x80044067);
constexpr HRESULT AVIERR_INTERNAL = HRESULT(0x80044068);
constexpr HRESULT AVIERR_BADFLAGS = HRESULT(0x80044069);
constexpr HRESULT AVIERR_BADPARAM = HRESULT(0x8004406A);
constexpr HRESULT AVIERR_BADSIZE = HRESULT(0x8004406B);
constexpr HRESULT AVIERR_BADHANDLE = HRESULT(0x8004406C);
constexpr HRESULT AVIERR_FILEREAD = HRESULT(0x8004406D);
constexpr HRESULT AVIERR_FILEWRITE = HRESULT(0x8004406E);
constexpr HRESULT AVIERR_FILEOPEN = HRESULT(0x8004406F);
constexpr HRESULT AVIERR_COMPRESSOR = HRESULT(0x80044070);
constexpr HRESULT AVIERR_NOCOMPRESSOR = HRESULT(0x80044071);
constexpr HRESULT AVIERR_READONLY = HRESULT(0x80044072);
constexpr HRESULT AVIERR_NODATA = HRESULT(0x80044073);
constexpr HRESULT AVIERR_BUFFERTOOSMALL = HRESULT(0x80044074);
constexpr HRESULT AVIERR_CANTCOMPRESS = HRESULT(0x80044075);
constexpr HRESULT AVIERR_USERABORT = HRESULT(0x800440C6);
constexpr HRESULT AVIERR_ERROR = HRESULT(0x800440C7);
constexpr HRESULT REGDB_E_CLASSNOTREG = HRESULT(0x80040154);
