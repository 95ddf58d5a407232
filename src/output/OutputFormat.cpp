#include "output/OutputFormat.h"

#include <algorithm>
#include <cstring>

#include "platform/ProgramInfo.h"

namespace OUTPUTFORMAT {
namespace {

void SetName(AVISTREAMINFOA& info, const char* name) {
  std::strncpy(info.szName, name, sizeof info.szName - 1);
}

void PutDword(std::vector<uint8_t>& block, size_t offset, DWORD value) {
  for (int i = 0; i < 4; ++i) block[offset + i] = uint8_t(value >> (8 * i));
}

std::string WithSentence(const char* text, const char* sentence) {
  std::string result = text;
  if (sentence != nullptr) result += std::string("\r\n") + sentence;
  return result;
}

}  // namespace

AVISTREAMINFOA VideoStreamInfo(const VELAVCODEC::VideoStreamValues& video, bool transcode) {
  AVISTREAMINFOA info{};
  info.fccType = streamtypeVIDEO;
  info.dwScale = DWORD(video.VideoScale);
  info.dwRate = DWORD(video.VideoRate);
  info.dwStart = DWORD(std::max(video.VideoStartFrames, 0));
  info.dwSuggestedBufferSize = DWORD(video.FrameImageSize);
  info.rcFrame = RECT{0, 0, video.Width, video.Height};
  SetName(info, transcode ? "Video Stream [Transcoded]" : "Video Stream [Subtitled]");
  return info;
}

AVISTREAMINFOA AudioStreamInfo(const VELAVCODEC::AudioStreamValues& audio, bool fixAudioVbr) {
  AVISTREAMINFOA info{};
  info.fccType = streamtypeAUDIO;
  info.dwScale = DWORD(audio.AudioScale);
  info.dwRate = DWORD(audio.AudioRate);
  info.dwStart = DWORD(audio.AudioStart);
  info.dwLength = DWORD(audio.AudioLength);
  info.dwInitialFrames = 1;
  info.dwQuality = 0xFFFFFFFF;
  // PCM is counted in blocks; packets of variable size as samples would
  // shrink it to a few milliseconds.
  info.dwSampleSize = fixAudioVbr && !audio.AudioIsPcm ? 0 : DWORD(audio.AudioSampleSize);
  SetName(info, "Audio Stream [Unchanged]");
  return info;
}

std::vector<uint8_t> AudioFormatBlock(const VELAVCODEC::AudioStreamValues& audio) {
  const size_t extraSize = audio.AudioExtraData ? size_t(std::max(audio.AudioExtraSize, 0)) : 0;
  WAVEFORMATEX format{};
  format.wFormatTag = WORD(audio.AudioFormatTag);
  format.nChannels = WORD(audio.AudioChannels);
  format.nSamplesPerSec = DWORD(audio.AudioSampleRate);
  format.nAvgBytesPerSec = DWORD(audio.AudioBytesPerSecond);
  format.nBlockAlign = WORD(std::max(audio.AudioBlockAlign, 1));
  format.wBitsPerSample = WORD(audio.AudioBitsPerSample);
  format.cbSize = WORD(extraSize);
  std::vector<uint8_t> block(sizeof format + extraSize);
  std::memcpy(block.data(), &format, sizeof format);
  if (extraSize > 0) std::memcpy(block.data() + sizeof format, audio.AudioExtraData, extraSize);
  return block;
}

std::vector<uint8_t> SoftwareInfoBlock() {
  constexpr size_t kTextOffset = 12;
  constexpr size_t kTextSize = kSoftwareInfoSize - kTextOffset;
  const std::string text = PROGRAMINFO::SoftwareText();
  std::vector<uint8_t> block(kSoftwareInfoSize, 0);
  PutDword(block, 0, listtypeAVIINFO);
  PutDword(block, 4, MakeFourCC('I', 'S', 'F', 'T'));
  PutDword(block, 8, DWORD(kTextSize));
  // The last byte always stays 0, even for a text that would not fit.
  std::memcpy(block.data() + kTextOffset, text.data(), std::min(text.size(), kTextSize - 1));
  return block;
}

std::string OutputFileErrorText(HRESULT code) {
  const char* sentence = nullptr;
  switch (code) {
    case AVIERR_BADFORMAT:
      sentence = "The file couldn't be read, indicating a corrupt file or an unrecognized format.";
      break;
    case AVIERR_MEMORY:
      sentence = "The file could not be opened because of insufficient memory.";
      break;
    case AVIERR_FILEREAD:
      sentence = "A disk error occurred while reading the file.";
      break;
    case AVIERR_FILEOPEN:
      sentence = "A disk error occurred while opening the file.";
      break;
    case REGDB_E_CLASSNOTREG:
      sentence =
          "According to the registry, the type of file specified does not have a handler to "
          "process it.";
      break;
  }
  return WithSentence("Can't create output video file...", sentence);
}

std::string CompressedStreamErrorText(HRESULT code) {
  const char* sentence = nullptr;
  switch (code) {
    case AVIERR_NOCOMPRESSOR:
      sentence = "A suitable compressor cannot be found.";
      break;
    case AVIERR_MEMORY:
      sentence = "There is not enough memory to complete the operation.";
      break;
    case AVIERR_UNSUPPORTED:
      sentence = "Compression is not supported for this type of data.";
      break;
  }
  return WithSentence("Can't create compressed video stream...", sentence);
}

}  // namespace OUTPUTFORMAT
