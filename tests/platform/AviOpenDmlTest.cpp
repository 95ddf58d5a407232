// Files that outgrow one RIFF go on in OpenDML AVIX RIFFs. A small RIFF limit
// makes many of them from a few pictures.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/AviTestSupport.h"
#include "platform/AviWriter.h"

namespace {

using testsupport::TempDir;

constexpr int kFrames = 60;
constexpr uint64_t kRiffLimit = 100000;  // about ten 64x48 pictures

class AviOpenDmlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    video_ = avitest::MakeTestVideo(dir_, 64, 48, kFrames);
    path_ = (dir_ / "odml.avi").string();
    AVIWRITER::AviWriter writer(kRiffLimit);
    ASSERT_EQ(writer.Create(path_), AVIERR_OK);
    AVISTREAMINFOA info{};
    info.fccType = streamtypeVIDEO;
    info.fccHandler = MakeFourCC('D', 'I', 'B', ' ');
    info.dwScale = 1;
    info.dwRate = 25;
    info.rcFrame = {0, 0, 64, 48};
    std::strcpy(info.szName, "Video Stream [Subtitled]");
    int video = -1, audio = -1;
    ASSERT_EQ(writer.AddStream(info, &video), AVIERR_OK);
    AVISTREAMINFOA audioInfo{};
    audioInfo.fccType = streamtypeAUDIO;
    audioInfo.dwScale = 1;
    audioInfo.dwRate = 44100;
    audioInfo.dwSampleSize = 4;
    ASSERT_EQ(writer.AddStream(audioInfo, &audio), AVIERR_OK);
    const WAVEFORMATEX pcm{1, 2, 44100, 44100 * 4, 4, 16, 0};
    ASSERT_EQ(writer.SetFormat(audio, &pcm, sizeof pcm), AVIERR_OK);
    const std::vector<uint8_t> silence(7056, 0);  // 1764 samples: one picture long
    // Audio first, before the video format is known, as a source may deliver it.
    ASSERT_EQ(writer.WriteChunk(audio, silence.data(), 7056, true, nullptr), AVIERR_OK);
    const BITMAPINFOHEADER format = avitest::FrameFormat(video_);
    ASSERT_EQ(writer.SetFormat(video, &format, sizeof format), AVIERR_OK);
    for (int frame = 0; frame < kFrames; ++frame) {
      const std::vector<uint8_t> pixels = avitest::BottomUp(video_, frame);
      ASSERT_EQ(writer.WriteChunk(video, pixels.data(), uint32_t(pixels.size()), true, nullptr),
                AVIERR_OK);
      if (frame + 1 < kFrames)
        ASSERT_EQ(writer.WriteChunk(audio, silence.data(), 7056, true, nullptr), AVIERR_OK);
    }
    ASSERT_EQ(writer.Finish(), AVIERR_OK);
  }

  TempDir dir_;
  avitest::TestVideo video_;
  std::string path_;
};

TEST_F(AviOpenDmlTest, ReadersSeeEveryPictureAndAllTheAudio) {
  avitest::ExpectDecodesCleanly(path_, kFrames);
  const auto decoded = avitest::DecodeBgr(path_, 64, 48);
  ASSERT_EQ(decoded.size(), size_t(kFrames));
  for (int i = 0; i < kFrames; ++i) EXPECT_TRUE(decoded[i] == video_.frames[i]) << "frame " << i;
  // Readers may cut PCM chunks into smaller packets; the bytes all arrive.
  const auto audio = avitest::Packets(path_, "a");
  int64_t audioBytes = 0;
  for (const avitest::Packet& packet : audio) audioBytes += packet.size;
  EXPECT_EQ(audioBytes, int64_t(kFrames) * 7056);
  EXPECT_NEAR(audio.back().end, kFrames * 1764 / 44100.0, 0.001);
  const auto values = avitest::Probe(path_, "stream=nb_frames");
  EXPECT_EQ(values.at("streams.stream.0.nb_frames"), std::to_string(kFrames));
  EXPECT_EQ(values.at("streams.stream.1.nb_frames"), std::to_string(kFrames * 1764));
}

TEST_F(AviOpenDmlTest, LaidOutAsAviThenAvixRiffs) {
  const auto chunks = avitest::TopLevelChunks(path_);
  ASSERT_GE(chunks.size(), 5u);
  EXPECT_EQ(chunks[0].type, "AVI ");
  uint64_t end = 0;
  for (size_t i = 0; i < chunks.size(); ++i) {
    EXPECT_EQ(chunks[i].id, "RIFF");
    if (i > 0) EXPECT_EQ(chunks[i].type, "AVIX");
    // Each RIFF stays near the limit: its movi data plus indexes (and the
    // header in the first).
    EXPECT_LT(chunks[i].size, (i == 0 ? 2 : 1) * kRiffLimit + 20000);
    end = chunks[i].offset + 8 + chunks[i].size;
  }
  EXPECT_EQ(end, std::filesystem::file_size(path_));

  const std::string bytes = testsupport::ReadFile(path_);
  const std::string first = bytes.substr(0, chunks[0].size + 8);
  EXPECT_NE(first.find("idx1"), std::string::npos);
  EXPECT_EQ(bytes.find("idx1", chunks[1].offset), std::string::npos);
  const uint32_t firstRiffFrames = avitest::ChunkValue(bytes, "avih", 16);
  EXPECT_GT(firstRiffFrames, 0u);
  EXPECT_LT(firstRiffFrames, uint32_t(kFrames));
  EXPECT_EQ(avitest::ChunkValue(bytes, "dmlh", 0), uint32_t(kFrames));
  // One super index entry per RIFF, for each stream.
  EXPECT_EQ(avitest::ChunkValue(bytes, "indx", 4), chunks.size());
  EXPECT_EQ(avitest::ChunkValue(bytes, "indx", 8), MakeFourCC('0', '0', 'd', 'b'));

  // A reader of AVI 1.0 files sees the first RIFF through its idx1, even
  // when that RIFF is all it has.
  const size_t idx1 = first.find("idx1");
  uint32_t idx1Size = 0;
  std::memcpy(&idx1Size, &first[idx1 + 4], 4);
  size_t videoEntries = 0;
  for (size_t at = idx1 + 8; at < idx1 + 8 + idx1Size; at += 16)
    videoEntries += first.compare(at, 4, "00db") == 0;
  EXPECT_EQ(videoEntries, firstRiffFrames);
  const std::string firstOnly = (dir_ / "first.avi").string();
  testsupport::WriteFile(firstOnly, first);
  const std::string counted = testsupport::Ffprobe(
      "-use_odml 0 -count_frames -select_streams v -show_entries "
      "stream=nb_read_frames -of csv=p=0 '" +
      firstOnly + "'");
  EXPECT_EQ(std::stoul(counted), firstRiffFrames) << counted;
}

}  // namespace
