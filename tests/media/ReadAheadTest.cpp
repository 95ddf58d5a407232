// Reading ahead on a thread, and pictures handed out planar: both must give
// what plain reading gives, in the same order.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

#include "media/MediaFixtures.h"
#include "media/private/ReadAheadQueue.h"

namespace {

using mediatest::MakeMedia;
using mediatest::NewDecoder;
using mediatest::OpenSource;
using READAHEADQUEUE::ReadAheadQueue;
using VELAVCODEC::VelAvCodec;

// One item as the reading handed it out, with the values that came with it.
struct Item {
  int32_t kind = 0, size = 0;
  std::vector<uint8_t> bytes;
  bool timed = false;
  double seconds = 0, duration = 0;
  int64_t pts = 0, dts = 0, audioDuration = 0;
  bool key = false;
  bool operator==(const Item&) const = default;
};

struct Reading {
  std::vector<Item> items;
  int32_t endSize = 0;
  std::string endText;
};

enum class Mode { Plain, Ahead, AheadPlanar };

Reading ReadRun(const std::string& path, Mode mode) {
  auto decoder = NewDecoder();
  OpenSource(*decoder, path);
  Reading run;
  decoder->SetReading({.Planar = mode == Mode::AheadPlanar});
  if (mode != Mode::Plain) EXPECT_TRUE(decoder->StartReadingAhead(3));
  for (;;) {
    Item item;
    const VelAvCodec::Delivery delivery = decoder->Deliver();
    item.size = delivery.Size;
    if (item.size <= 0) {
      run.endSize = item.size;
      run.endText = decoder->ErrorText;
      break;
    }
    const uint8_t* data = delivery.Data;
    if (delivery.What == VelAvCodec::Delivery::Kind::Picture) {
      item.kind = VelAvCodec::KindVideo;
      if (decoder->DeliveredPlanar() != nullptr) EXPECT_TRUE(decoder->ConvertPicture());
      EXPECT_EQ(decoder->DeliveredPlanar(), nullptr);
      // The picture's time is the same whether asked of the delivery or after it.
      const VelAvCodec::PictureTime time = decoder->DeliveredPictureTime();
      EXPECT_EQ(time.Timed, delivery.Timed);
      EXPECT_EQ(time.Seconds, delivery.Seconds);
      item.timed = time.Timed;
      item.seconds = time.Seconds;
      item.duration = time.DurationSeconds;
    } else {
      item.kind = VelAvCodec::KindAudio;
      EXPECT_EQ(delivery.What, VelAvCodec::Delivery::Kind::Audio);
      item.pts = delivery.Pts;
      item.dts = delivery.Dts;
      item.audioDuration = delivery.Duration;
      item.key = delivery.Key;
    }
    item.bytes.assign(data, data + item.size);
    run.items.push_back(std::move(item));
  }
  return run;
}

TEST(ReadAheadQueue, HandsOutEveryItemInOrderAndNeverRunsMoreThanItsDepthAhead) {
  constexpr size_t kDepth = 3;
  constexpr int kItems = 200;
  std::vector<int> slots(kDepth, -1);
  std::atomic<int> produced{0}, taken{0}, mostAhead{0};
  READAHEADQUEUE::ReadAheadQueue queue;
  ASSERT_TRUE(queue.Start(kDepth, [&](size_t slot) {
    const int n = produced++;
    mostAhead = std::max(mostAhead.load(), n - taken.load());
    slots[slot] = n;
    return n + 1 < kItems;
  }));
  for (int expected = 0; expected < kItems; ++expected) {
    const std::optional<size_t> slot = queue.Take();
    ASSERT_TRUE(slot.has_value());
    EXPECT_EQ(slots[*slot], expected);
    ++taken;
    queue.Release();
  }
  EXPECT_FALSE(queue.Take().has_value());  // the last item was taken
  EXPECT_FALSE(queue.Take().has_value());
  EXPECT_LE(mostAhead.load(), int(kDepth));
}

TEST(ReadAheadQueue, StopsAProducerWaitingForRoomAndAnsweredStopping) {
  std::mutex lock;
  std::condition_variable changed;
  int produced = 0;
  READAHEADQUEUE::ReadAheadQueue queue;
  ASSERT_TRUE(queue.Start(2, [&](size_t) {
    const std::lock_guard<std::mutex> hold(lock);
    ++produced;
    changed.notify_all();
    return true;  // endless
  }));
  {
    std::unique_lock<std::mutex> hold(lock);
    ASSERT_TRUE(changed.wait_for(hold, std::chrono::seconds(30), [&] { return produced >= 2; }))
        << "the producer filled " << produced << " of 2 slots";
  }
  EXPECT_FALSE(queue.Stopping());
  queue.Stop();  // returns: the producer was waiting for a free slot
  EXPECT_TRUE(queue.Stopping());
  EXPECT_FALSE(queue.Running());
  const std::lock_guard<std::mutex> hold(lock);
  EXPECT_EQ(produced, 2);
}

TEST(ReadAhead, GivesThePicturesPacketsAndValuesOfPlainReadingInTheSameOrder) {
  const std::string path =
      MakeMedia("ahead.mp4",
                "-f lavfi -i testsrc=s=96x64:r=25:d=2 -f lavfi -i sine=r=44100:d=2 "
                "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p -c:a aac -shortest");
  const Reading plain = ReadRun(path, Mode::Plain);
  ASSERT_GT(plain.items.size(), 100u);
  for (Mode mode : {Mode::Ahead, Mode::AheadPlanar}) {
    const Reading other = ReadRun(path, mode);
    ASSERT_EQ(other.items.size(), plain.items.size());
    for (size_t i = 0; i < plain.items.size(); ++i)
      ASSERT_TRUE(other.items[i] == plain.items[i]) << "item " << i;
    EXPECT_EQ(other.endSize, 0);
    EXPECT_EQ(other.endText, plain.endText);
  }
}

TEST(ReadAhead, ADamagedSourceEndsWithTheSameErrorAndNothingIsReadAfterIt) {
  // A stream cut short in the middle of a packet: the demuxer's error comes
  // through the thread as it comes without it.
  const std::string whole =
      MakeMedia("cut_source.ts", "-f lavfi -i testsrc=s=96x64:r=25:d=2 -c:v libx264 -g 10");
  const std::string cut = (mediatest::MediaDir() / "cut.ts").string();
  {
    std::ifstream in(whole, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    bytes.resize(bytes.size() / 2 + 77);
    std::ofstream(cut, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
  }
  const Reading plain = ReadRun(cut, Mode::Plain);
  ASSERT_GT(plain.items.size(), 0u);
  const Reading ahead = ReadRun(cut, Mode::Ahead);
  EXPECT_EQ(ahead.items.size(), plain.items.size());
  EXPECT_EQ(ahead.endSize, plain.endSize);
  EXPECT_EQ(ahead.endText, plain.endText);
}

TEST(ReadAhead, CloseInTheMiddleStopsTheThreadAndTheDecoderOpensAgain) {
  const std::string path =
      MakeMedia("ahead_long.mp4", "-f lavfi -i testsrc=s=96x64:r=25:d=8 -c:v libx264 -g 25");
  auto decoder = NewDecoder();
  for (int round = 0; round < 2; ++round) {
    OpenSource(*decoder, path);
    ASSERT_TRUE(decoder->StartReadingAhead());
    EXPECT_FALSE(decoder->StartReadingAhead());  // once per opening
    int32_t kind = 0, size = 0;
    for (int i = 0; i < 5; ++i) ASSERT_NE(decoder->GetNextData(kind, size), nullptr);
    decoder->Close();
  }
}

// The BGR frame buffer after a picture was delivered and converted.
std::vector<uint8_t> FrameBytes(const uint8_t* data, int32_t size) {
  return std::vector<uint8_t>(data, data + size);
}

TEST(PlanarPictures, AreTheDecodedPlanesAndConvertLikeTheScalerDoesRowsAlike) {
  const int width = 96, height = 64;
  const std::string path = MakeMedia("planar.mp4", mediatest::QuadrantInput(width, height, 0.2) +
                                                       " -c:v libx264 -pix_fmt yuv420p");
  auto decoder = NewDecoder();
  OpenSource(*decoder, path);
  int32_t kind = 0, size = 0;
  uint8_t* data = decoder->GetNextData(kind, size);
  ASSERT_NE(data, nullptr);
  const std::vector<uint8_t> converted = FrameBytes(data, size);
  EXPECT_EQ(decoder->DeliveredPlanar(), nullptr);  // not asked for

  OpenSource(*decoder, path);
  decoder->SetReading({.Planar = true});
  data = decoder->GetNextData(kind, size);
  ASSERT_NE(data, nullptr);
  const PLANARPICTURE::PlanarPicture* planar = decoder->DeliveredPlanar();
  ASSERT_NE(planar, nullptr);
  EXPECT_EQ(planar->Width, width);
  EXPECT_EQ(planar->Height, height);
  // Top left is red: on video levels, luma near 81 and V near 240.
  EXPECT_NEAR(planar->Data[0][0], 81, 6);
  EXPECT_NEAR(planar->Data[2][0], 240, 6);
  // A band: exactly those rows of the whole conversion, nothing else.
  std::memset(data + 54, 0x5A, size_t(size) - 54);
  const PLANARPICTURE::RowBand band{10, 20};
  ASSERT_TRUE(decoder->ConvertRows(band));
  const BMPFRAME::BmpView frame(data);
  const BMPFRAME::BmpView whole(const_cast<uint8_t*>(converted.data()));
  for (int top = 0; top < height; ++top) {
    const int row = height - 1 - top;
    const bool inBand = top >= band.Top && top < band.Top + band.Count;
    if (inBand)
      EXPECT_EQ(std::memcmp(frame.Row(row), whole.Row(row), size_t(width) * 3), 0) << top;
    else
      EXPECT_EQ(frame.Row(row)[0], 0x5A) << top;
  }
  ASSERT_TRUE(decoder->ConvertPicture());
  EXPECT_EQ(decoder->DeliveredPlanar(), nullptr);
  EXPECT_EQ(FrameBytes(data, size), converted);
}

// The first picture's planes, as GetNextData handed them out planar.
std::vector<uint8_t> FirstPlanes(const std::string& path) {
  auto decoder = NewDecoder();
  OpenSource(*decoder, path);
  decoder->SetReading({.Planar = true});
  int32_t kind = 0, size = 0;
  if (decoder->GetNextData(kind, size) == nullptr) return {};
  const PLANARPICTURE::PlanarPicture* planar = decoder->DeliveredPlanar();
  if (planar == nullptr) return {};
  std::vector<uint8_t> planes;
  for (int plane = 0; plane < 3; ++plane) {
    const int shift = plane == 0 ? 0 : 1;
    for (int row = 0; row < planar->Height >> shift; ++row) {
      const uint8_t* at = planar->Data[plane] + ptrdiff_t(row) * planar->Stride[plane];
      planes.insert(planes.end(), at, at + (planar->Width >> shift));
    }
  }
  return planes;
}

// ffmpeg's own 8-bit 4:2:0 of the first picture.
std::vector<uint8_t> FfmpegFirstPlanes(const std::string& path) {
  const testsupport::fs::path raw =
      mediatest::MediaDir() / (path.substr(path.rfind('/') + 1) + ".yuv");
  testsupport::Ffmpeg("-i '" + path + "' -map 0:v:0 -frames:v 1 -f rawvideo -pix_fmt yuv420p '" +
                      raw.string() + "'");
  const std::string bytes = testsupport::ReadFile(raw);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// Deep, 4:2:2, 4:4:4 and full-range pictures come out in 8-bit 4:2:0 on
// video levels as ffmpeg converts them (it dithers deep samples: one step).
// The chroma rows, 56 wide, are no multiple of the kernel's step.
TEST(PlanarPictures, OtherYuvFormsAreConvertedAsFfmpegConvertsThem) {
  const std::string gradient = "-f lavfi -i testsrc2=s=112x64:d=0.2";
  for (const std::string& arguments :
       {gradient + " -c:v ffv1 -pix_fmt yuv420p10le", gradient + " -c:v ffv1 -pix_fmt yuv420p12le",
        gradient + " -c:v ffv1 -pix_fmt yuv422p", gradient + " -c:v ffv1 -pix_fmt yuv444p10le",
        gradient + " -c:v mjpeg -pix_fmt yuvj420p"}) {
    const std::string path = MakeMedia(
        "converted" + std::to_string(std::hash<std::string>{}(arguments)) + ".mkv", arguments);
    const std::vector<uint8_t> ours = FirstPlanes(path), theirs = FfmpegFirstPlanes(path);
    ASSERT_EQ(ours.size(), theirs.size()) << arguments;
    int worst = 0;
    for (size_t i = 0; i < ours.size(); ++i) worst = std::max(worst, std::abs(ours[i] - theirs[i]));
    EXPECT_LE(worst, 1) << arguments;
  }
}

TEST(PlanarPictures, AreNotKeptForBlueGreenRedSourcesOrOddSizes) {
  for (const std::string& arguments :
       {std::string("-f lavfi -i testsrc=s=96x64:d=0.2 -c:v ffv1 -pix_fmt bgr0"),
        std::string("-f lavfi -i testsrc=s=95x63:d=0.2 -c:v ffv1 -pix_fmt yuv420p"),
        std::string("-f lavfi -i testsrc=s=95x63:d=0.2 -c:v ffv1 -pix_fmt yuv420p10le")}) {
    const std::string path = MakeMedia(
        "not_planar" + std::to_string(std::hash<std::string>{}(arguments)) + ".mkv", arguments);
    auto decoder = NewDecoder();
    OpenSource(*decoder, path);
    decoder->SetReading({.Planar = true});
    int32_t kind = 0, size = 0;
    ASSERT_NE(decoder->GetNextData(kind, size), nullptr) << arguments;
    EXPECT_EQ(decoder->DeliveredPlanar(), nullptr) << arguments;
  }
}

}  // namespace
