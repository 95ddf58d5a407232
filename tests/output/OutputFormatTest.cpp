#include "output/OutputFormat.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/ProgramInfo.h"

using namespace OUTPUTFORMAT;

namespace {

DWORD DwordAt(const std::vector<uint8_t>& block, size_t offset) {
  DWORD value = 0;
  std::memcpy(&value, block.data() + offset, 4);
  return value;
}

}  // namespace

TEST(OutputFormatTest, VideoHeaderCarriesTheSourceValuesAndTheName) {
  VELAVCODEC::VideoStreamValues video;
  video.Width = 320;
  video.Height = 240;
  video.VideoScale = 1001;
  video.VideoRate = 30000;
  video.FrameImageSize = 230400;
  const AVISTREAMINFOA subtitled = VideoStreamInfo(video, false);
  EXPECT_EQ(subtitled.fccType, streamtypeVIDEO);
  EXPECT_EQ(subtitled.dwScale, 1001u);
  EXPECT_EQ(subtitled.dwRate, 30000u);
  EXPECT_EQ(subtitled.dwSuggestedBufferSize, 230400u);
  EXPECT_EQ(subtitled.rcFrame.right, 320);
  EXPECT_EQ(subtitled.rcFrame.bottom, 240);
  EXPECT_EQ(subtitled.dwLength, 0u);
  EXPECT_EQ(subtitled.dwQuality, 0u);
  EXPECT_STREQ(subtitled.szName, "Video Stream [Subtitled]");

  AVISTREAMINFOA transcoded = VideoStreamInfo(video, true);
  EXPECT_STREQ(transcoded.szName, "Video Stream [Transcoded]");
  // Only the name tells the two apart.
  std::memset(transcoded.szName, 0, sizeof transcoded.szName);
  AVISTREAMINFOA unnamed = subtitled;
  std::memset(unnamed.szName, 0, sizeof unnamed.szName);
  EXPECT_EQ(std::memcmp(&transcoded, &unnamed, sizeof unnamed), 0);
}

TEST(OutputFormatTest, AudioHeaderAndFixAudioVbr) {
  VELAVCODEC::AudioStreamValues audio;
  audio.AudioScale = 1152;
  audio.AudioRate = 44100;
  audio.AudioStart = 3;
  audio.AudioLength = 500;
  audio.AudioSampleSize = 4;
  const AVISTREAMINFOA info = AudioStreamInfo(audio, false);
  EXPECT_EQ(info.fccType, streamtypeAUDIO);
  EXPECT_EQ(info.dwScale, 1152u);
  EXPECT_EQ(info.dwRate, 44100u);
  EXPECT_EQ(info.dwStart, 3u);
  EXPECT_EQ(info.dwLength, 500u);
  EXPECT_EQ(info.dwInitialFrames, 1u);
  EXPECT_EQ(info.dwQuality, 0xFFFFFFFFu);
  EXPECT_EQ(info.dwSampleSize, 4u);
  EXPECT_STREQ(info.szName, "Audio Stream [Unchanged]");
  EXPECT_EQ(AudioStreamInfo(audio, true).dwSampleSize, 0u);
}

TEST(OutputFormatTest, AudioFormatBlockIsWaveFormatFollowedByExtraData) {
  const uint8_t extra[2] = {0x12, 0x10};
  VELAVCODEC::AudioStreamValues audio;
  audio.AudioFormatTag = 0xFF;
  audio.AudioChannels = 2;
  audio.AudioSampleRate = 44100;
  audio.AudioBytesPerSecond = 16000;
  audio.AudioBlockAlign = 0;  // raised to 1
  audio.AudioBitsPerSample = 16;
  audio.AudioExtraData = extra;
  audio.AudioExtraSize = 2;
  const std::vector<uint8_t> block = AudioFormatBlock(audio);
  ASSERT_EQ(block.size(), 20u);
  WAVEFORMATEX format;
  std::memcpy(&format, block.data(), sizeof format);
  EXPECT_EQ(format.wFormatTag, 0xFF);
  EXPECT_EQ(format.nChannels, 2);
  EXPECT_EQ(format.nSamplesPerSec, 44100u);
  EXPECT_EQ(format.nAvgBytesPerSec, 16000u);
  EXPECT_EQ(format.nBlockAlign, 1);
  EXPECT_EQ(format.wBitsPerSample, 16);
  EXPECT_EQ(format.cbSize, 2);
  EXPECT_EQ(block[18], 0x12);
  EXPECT_EQ(block[19], 0x10);
}

TEST(OutputFormatTest, SoftwareBlockIsAnInfoListWithTheProgramText) {
  const std::vector<uint8_t> block = SoftwareInfoBlock();
  ASSERT_EQ(block.size(), 96u);
  EXPECT_EQ(DwordAt(block, 0), MakeFourCC('I', 'N', 'F', 'O'));
  EXPECT_EQ(DwordAt(block, 4), MakeFourCC('I', 'S', 'F', 'T'));
  EXPECT_EQ(DwordAt(block, 8), 84u);
  const std::string text(reinterpret_cast<const char*>(block.data() + 12));
  EXPECT_EQ(text, std::string("Tolvane v2.02 | ") + PROGRAMINFO::kWebSite + " | " +
                      PROGRAMINFO::kContactAddress1 + " & " + PROGRAMINFO::kContactAddress2);
  EXPECT_EQ(block[95], 0);
}

TEST(OutputFormatTest, ErrorTextsAddTheSentenceOfKnownCodes) {
  EXPECT_EQ(OutputFileErrorText(AVIERR_FILEOPEN),
            "Can't create output video file...\r\nA disk error occurred while opening the file.");
  EXPECT_EQ(OutputFileErrorText(AVIERR_FILEWRITE), "Can't create output video file...");
  EXPECT_EQ(CompressedStreamErrorText(AVIERR_NOCOMPRESSOR),
            "Can't create compressed video stream...\r\nA suitable compressor cannot be found.");
  EXPECT_EQ(CompressedStreamErrorText(AVIERR_MEMORY),
            "Can't create compressed video stream...\r\nThere is not enough memory to complete "
            "the operation.");
  EXPECT_EQ(CompressedStreamErrorText(AVIERR_ERROR), "Can't create compressed video stream...");
}
