// Files that outgrow one RIFF go on in OpenDML AVIX RIFFs. A small RIFF limit
// makes many of them from a few pictures.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "avi/AviTestSupport.h"
#include "avi/AviWriter.h"

namespace {

using testsupport::TempDir;

constexpr int kFrames = 60;
constexpr uint64_t kRiffLimit = 100000;  // about ten 64x48 pictures

// Failed writes while the file was being written.
struct Failures {
  int video = 0;
  int audio = 0;
};

// The pictures with a picture's worth of audio before each; audio comes
// first, before the video format is known, as a source may deliver it. With
// fullAt the disk is full at that file size until the first write fails.
Failures WriteFile(const std::string& path, const avitest::TestVideo& pictures, rlim_t fullAt) {
  Failures failures;
  AVIWRITER::AviWriter writer(kRiffLimit);
  EXPECT_EQ(writer.Create(path), AVIERR_OK);
  AVISTREAMINFOA info{};
  info.fccType = streamtypeVIDEO;
  info.fccHandler = MakeFourCC('D', 'I', 'B', ' ');
  info.dwScale = 1;
  info.dwRate = 25;
  info.rcFrame = {0, 0, 64, 48};
  std::strcpy(info.szName, "Video Stream [Subtitled]");
  int video = -1, audio = -1;
  EXPECT_EQ(writer.AddStream(info, &video), AVIERR_OK);
  AVISTREAMINFOA audioInfo{};
  audioInfo.fccType = streamtypeAUDIO;
  audioInfo.dwScale = 1;
  audioInfo.dwRate = 44100;
  audioInfo.dwSampleSize = 4;
  EXPECT_EQ(writer.AddStream(audioInfo, &audio), AVIERR_OK);
  const WAVEFORMATEX pcm{1, 2, 44100, 44100 * 4, 4, 16, 0};
  EXPECT_EQ(writer.SetFormat(audio, &pcm, sizeof pcm), AVIERR_OK);
  std::optional<avitest::FileSizeLimit> full;
  if (fullAt) full.emplace(fullAt);
  const std::vector<uint8_t> silence(7056, 0);  // 1764 samples: one picture long
  const BITMAPINFOHEADER format = avitest::FrameFormat(pictures);
  for (int frame = 0; frame < kFrames; ++frame) {
    if (writer.WriteChunk(audio, silence.data(), 7056, true, nullptr) != AVIERR_OK) {
      ++failures.audio;
      full.reset();
    }
    if (frame == 0) EXPECT_EQ(writer.SetFormat(video, &format, sizeof format), AVIERR_OK);
    const std::vector<uint8_t> pixels = avitest::BottomUp(pictures, frame);
    if (writer.WriteChunk(video, pixels.data(), uint32_t(pixels.size()), true, nullptr) !=
        AVIERR_OK) {
      ++failures.video;
      full.reset();
    }
  }
  EXPECT_EQ(writer.Finish(), AVIERR_OK);
  return failures;
}

class AviOpenDmlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    video_ = avitest::MakeTestVideo(dir_, 64, 48, kFrames);
    path_ = (dir_ / "odml.avi").string();
    const Failures failures = WriteFile(path_, video_, 0);
    ASSERT_EQ(failures.video + failures.audio, 0);
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

TEST_F(AviOpenDmlTest, DiskFullWhereTheNextRiffStartsLosesOnlyTheFailedChunk) {
  // The same writes, with the disk full just after the second RIFF's start.
  const auto chunks = avitest::TopLevelChunks(path_);
  ASSERT_GE(chunks.size(), 2u);
  const std::string path = (dir_ / "full.avi").string();
  const Failures failures = WriteFile(path, video_, chunks[1].offset + 10);
  EXPECT_EQ(failures.video + failures.audio, 1);
  avitest::ExpectDecodesCleanly(path, kFrames - failures.video);
  uint64_t end = 0;
  for (const avitest::RiffChunk& chunk : avitest::TopLevelChunks(path)) {
    EXPECT_EQ(chunk.id, "RIFF");
    end = chunk.offset + 8 + chunk.size;
  }
  EXPECT_EQ(end, std::filesystem::file_size(path));
  // The first RIFF was closed once: one idx1.
  const std::string bytes = testsupport::ReadFile(path);
  EXPECT_NE(bytes.find("idx1"), std::string::npos);
  EXPECT_EQ(bytes.find("idx1", bytes.find("idx1") + 4), std::string::npos);
}

}  // namespace
