// The write-ahead compressor over a scripted inner compressor: chunks keep
// their order and flags, byte counts add up, failures come back, and Finish
// drains what is queued and held back; an encoder's packets pass by
// reference, not copied.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <thread>
#include <tuple>

#include "compressors/CompressorWriteAhead.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

using COMPRESSOR::ChunkSink;
using COMPRESSOR::WriteAheadCompressor;

constexpr int kWidth = 8, kHeight = 4;
constexpr size_t kPictureBytes = 24 * kHeight;

// Gives each picture back as a chunk of its first four bytes (the picture's
// number), holding `delay` pictures back until Finish; every fifth is a key.
class ScriptedCompressor : public COMPRESSOR::Compressor {
 public:
  ScriptedCompressor(size_t delay, int failAt) : delay_(delay), failAt_(failAt) {}

  COMPRESSOR::Status Start(const COMPRESSOR::BgrFormat&, uint32_t, uint32_t,
                           COMPRESSOR::EncodedFormat* format) override {
    format->ExtraData = {1, 2, 3};
    return COMPRESSOR::Status::Ok;
  }
  COMPRESSOR::Status Compress(const void* pixels, size_t size, const ChunkSink& sink) override {
    if (size != kPictureBytes) return COMPRESSOR::Status::BadSize;
    // Slower than the caller, so pictures queue up in the slots.
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    int32_t number;
    std::memcpy(&number, pixels, sizeof number);
    if (number == failAt_) return COMPRESSOR::Status::CompressorFailed;
    held_.push_back(number);
    return Release(sink, delay_);
  }
  COMPRESSOR::Status Finish(const ChunkSink& sink) override { return Release(sink, 0); }

 private:
  COMPRESSOR::Status Release(const ChunkSink& sink, size_t keep) {
    while (held_.size() > keep) {
      const int32_t number = held_.front();
      held_.pop_front();
      const COMPRESSOR::Status result = sink({&number, sizeof number, number % 5 == 0});
      if (result != COMPRESSOR::Status::Ok) return result;
    }
    return COMPRESSOR::Status::Ok;
  }

  size_t delay_;
  int failAt_;
  std::deque<int32_t> held_;
};

struct Written {
  std::vector<int32_t> numbers;
  std::vector<bool> keys;
  int64_t bytes = 0;
};

struct FedRun {
  Written written;
  std::vector<COMPRESSOR::Status> results;  // of each Compress, then of Finish
  int64_t reportedBytes = 0;                // summed over the calls, as the job does
};

// Feeds `pictures` pictures through one buffer that is overwritten after
// every call, as the decoder's frame buffer is.
FedRun Feed(WriteAheadCompressor& compressor, int pictures, int failWriteAt = -1) {
  FedRun run;
  const COMPRESSOR::BgrFormat input{kWidth, kHeight, false};
  COMPRESSOR::EncodedFormat format;
  EXPECT_EQ(compressor.Start(input, 1, 25, &format), COMPRESSOR::Status::Ok);
  EXPECT_EQ(format.ExtraData, (std::vector<uint8_t>{1, 2, 3}));
  int64_t callBytes = 0;
  const ChunkSink sink = [&](const COMPRESSOR::Chunk& chunk) {
    if (int(run.written.numbers.size()) == failWriteAt) return COMPRESSOR::Status::WriteFailed;
    int32_t number;
    std::memcpy(&number, chunk.data, sizeof number);
    run.written.numbers.push_back(number);
    run.written.keys.push_back(chunk.key);
    run.written.bytes += chunk.size;
    callBytes += chunk.size;
    return COMPRESSOR::Status::Ok;
  };
  std::vector<uint8_t> buffer(kPictureBytes);
  for (int32_t i = 0; i < pictures; ++i) {
    std::memcpy(buffer.data(), &i, sizeof i);
    callBytes = 0;
    run.results.push_back(compressor.Compress(buffer.data(), buffer.size(), sink));
    if (run.results.back() == COMPRESSOR::Status::Ok) run.reportedBytes += callBytes;
    std::memset(buffer.data(), 0xEE, buffer.size());
    if (run.results.back() != COMPRESSOR::Status::Ok) break;
  }
  callBytes = 0;
  run.results.push_back(compressor.Finish(sink));
  run.reportedBytes += callBytes;
  return run;
}

std::vector<int32_t> Numbers(int count) {
  std::vector<int32_t> numbers(size_t(count), 0);
  for (int i = 0; i < count; ++i) numbers[size_t(i)] = i;
  return numbers;
}

TEST(CompressorWriteAhead, ChunksComeInOrderWithTheirFlagsAndTruthfulByteCounts) {
  for (size_t slots : {size_t(1), size_t(3)}) {
    for (size_t delay : {size_t(0), size_t(2)}) {
      SCOPED_TRACE(testing::Message() << slots << " slots, delay " << delay);
      WriteAheadCompressor compressor(std::make_unique<ScriptedCompressor>(delay, -1), slots);
      const FedRun run = Feed(compressor, 30);
      for (COMPRESSOR::Status result : run.results) ASSERT_EQ(result, COMPRESSOR::Status::Ok);
      ASSERT_EQ(run.written.numbers, Numbers(30));
      for (size_t i = 0; i < run.written.keys.size(); ++i)
        EXPECT_EQ(run.written.keys[i], i % 5 == 0) << i;
      EXPECT_EQ(run.reportedBytes, run.written.bytes);
      EXPECT_EQ(run.written.bytes, 30 * 4);
    }
  }
}

TEST(CompressorWriteAhead, AFailureOfTheInnerCompressorAnswersALaterCall) {
  WriteAheadCompressor compressor(std::make_unique<ScriptedCompressor>(0, 4), 2);
  const FedRun run = Feed(compressor, 30);
  // Some call after the fourth picture's answers the failure, and so does
  // the release; what was compressed before it is still written.
  ASSERT_GT(run.results.size(), 2u);
  EXPECT_EQ(run.results[run.results.size() - 2], COMPRESSOR::Status::CompressorFailed);
  EXPECT_EQ(run.results.back(), COMPRESSOR::Status::CompressorFailed);
  EXPECT_LT(run.results.size(), 30u);
  EXPECT_EQ(run.written.numbers, Numbers(4));
  EXPECT_EQ(run.reportedBytes, run.written.bytes);
}

TEST(CompressorWriteAhead, AFailedWriteIsAnsweredAndNothingFollowsIt) {
  WriteAheadCompressor compressor(std::make_unique<ScriptedCompressor>(0, -1), 2);
  const FedRun run = Feed(compressor, 30, 3);
  bool answered = false;
  for (COMPRESSOR::Status result : run.results)
    answered = answered || result == COMPRESSOR::Status::WriteFailed;
  EXPECT_TRUE(answered);
  EXPECT_EQ(run.written.numbers, Numbers(3));
}

// Gives each picture back as a packet of its own buffer, as an encoder does,
// keeping a reference to every buffer to see where it went.
class PacketCompressor : public COMPRESSOR::Compressor {
 public:
  ~PacketCompressor() override {
    for (AVBufferRef* buffer : buffers) av_buffer_unref(&buffer);
  }
  COMPRESSOR::Status Start(const COMPRESSOR::BgrFormat&, uint32_t, uint32_t,
                           COMPRESSOR::EncodedFormat*) override {
    return COMPRESSOR::Status::Ok;
  }
  COMPRESSOR::Status Compress(const void* pixels, size_t, const ChunkSink& sink) override {
    AVPacket* packet = av_packet_alloc();
    if (packet == nullptr || av_new_packet(packet, 4) < 0) return COMPRESSOR::Status::Memory;
    std::memcpy(packet->data, pixels, 4);
    buffers.push_back(av_buffer_ref(packet->buf));
    const COMPRESSOR::Status result = sink({packet->data, 4, true, packet});
    av_packet_free(&packet);
    return result;
  }
  COMPRESSOR::Status Finish(const ChunkSink&) override { return COMPRESSOR::Status::Ok; }

  std::vector<AVBufferRef*> buffers;  // made on the worker, read after Finish
};

TEST(CompressorWriteAhead, AnEncodersPacketsReachTheSinkUncopiedAndAreReleasedOrTakenOver) {
  for (const bool takeOver : {false, true}) {
    SCOPED_TRACE(takeOver ? "taken over" : "only read");
    auto inner = std::make_unique<PacketCompressor>();
    const PacketCompressor& packets = *inner;
    WriteAheadCompressor compressor(std::move(inner), 2);
    const COMPRESSOR::BgrFormat input{kWidth, kHeight, false};
    COMPRESSOR::EncodedFormat format;
    ASSERT_EQ(compressor.Start(input, 1, 25, &format), COMPRESSOR::Status::Ok);
    std::vector<const void*> seen;
    std::vector<int32_t> numbers;
    std::vector<AVPacket*> taken;
    const ChunkSink sink = [&](const COMPRESSOR::Chunk& chunk) {
      if (chunk.packet == nullptr || chunk.data != chunk.packet->data)
        return COMPRESSOR::Status::CompressorFailed;
      seen.push_back(chunk.data);
      int32_t number;
      std::memcpy(&number, chunk.data, sizeof number);
      numbers.push_back(number);
      if (takeOver) {
        taken.push_back(av_packet_alloc());
        av_packet_move_ref(taken.back(), chunk.packet);
      }
      return COMPRESSOR::Status::Ok;
    };
    std::vector<uint8_t> buffer(kPictureBytes);
    for (int32_t i = 0; i < 20; ++i) {
      std::memcpy(buffer.data(), &i, sizeof i);
      ASSERT_EQ(compressor.Compress(buffer.data(), buffer.size(), sink), COMPRESSOR::Status::Ok);
    }
    ASSERT_EQ(compressor.Finish(sink), COMPRESSOR::Status::Ok);
    ASSERT_EQ(numbers, Numbers(20));
    ASSERT_EQ(packets.buffers.size(), 20u);
    for (size_t i = 0; i < 20; ++i) {
      EXPECT_EQ(seen[i], packets.buffers[i]->data) << i;  // the encoder's own bytes
      // Besides the test's reference, only the sink's, when it took the packet.
      EXPECT_EQ(av_buffer_get_ref_count(packets.buffers[i]), takeOver ? 2 : 1) << i;
    }
    for (AVPacket* packet : taken) av_packet_free(&packet);
  }
}

TEST(CompressorWriteAhead, PicturesTooSmallOrBeforeStartAreRefused) {
  WriteAheadCompressor compressor(std::make_unique<ScriptedCompressor>(0, -1), 2);
  std::vector<uint8_t> buffer(kPictureBytes);
  const ChunkSink sink = [](const COMPRESSOR::Chunk&) { return COMPRESSOR::Status::Ok; };
  EXPECT_EQ(compressor.Compress(buffer.data(), buffer.size(), sink), COMPRESSOR::Status::BadFormat);
  const COMPRESSOR::BgrFormat input{kWidth, kHeight, true};  // top-down is as large
  COMPRESSOR::EncodedFormat format;
  ASSERT_EQ(compressor.Start(input, 1, 25, &format), COMPRESSOR::Status::Ok);
  EXPECT_EQ(compressor.Compress(buffer.data(), buffer.size() - 1, sink),
            COMPRESSOR::Status::BadSize);
  EXPECT_EQ(compressor.Compress(buffer.data(), buffer.size(), sink), COMPRESSOR::Status::Ok);
}

// Numbers each picture by its first four bytes, as the scripted one, at any
// size; counts the slots it was asked to make.
class SlotCountingCompressor : public COMPRESSOR::Compressor {
 public:
  int slotsMade = 0;
  COMPRESSOR::Status Start(const COMPRESSOR::BgrFormat&, uint32_t, uint32_t,
                           COMPRESSOR::EncodedFormat*) override {
    return COMPRESSOR::Status::Ok;
  }
  std::unique_ptr<COMPRESSOR::StagedPicture> NewStagedPicture() override {
    ++slotsMade;
    return Compressor::NewStagedPicture();
  }
  COMPRESSOR::Status Compress(const void* pixels, size_t, const ChunkSink& sink) override {
    int32_t number;
    std::memcpy(&number, pixels, sizeof number);
    return sink({&number, sizeof number, true});
  }
  COMPRESSOR::Status Finish(const ChunkSink&) override { return COMPRESSOR::Status::Ok; }
};

// A 3840x2160 stream is staged in one slot (three would only cost memory),
// a small one in three; both give every picture back in order.
TEST(CompressorWriteAhead, LargePicturesAreStagedInFewerSlotsAndAllComeBack) {
  for (const auto& [width, height, slots] : {std::tuple{3840, 2160, 1}, std::tuple{64, 48, 3}}) {
    auto counting = std::make_unique<SlotCountingCompressor>();
    SlotCountingCompressor* inner = counting.get();
    WriteAheadCompressor compressor(std::move(counting));
    const COMPRESSOR::BgrFormat input{width, height, false};
    COMPRESSOR::EncodedFormat format;
    ASSERT_EQ(compressor.Start(input, 1, 25, &format), COMPRESSOR::Status::Ok);
    EXPECT_EQ(inner->slotsMade, slots) << width;
    std::vector<uint8_t> picture(size_t(width) * height * 3);
    std::vector<int32_t> numbers;
    const ChunkSink sink = [&numbers](const COMPRESSOR::Chunk& chunk) {
      int32_t number;
      std::memcpy(&number, chunk.data, sizeof number);
      numbers.push_back(number);
      return COMPRESSOR::Status::Ok;
    };
    for (int32_t n = 0; n < 5; ++n) {
      std::memcpy(picture.data(), &n, sizeof n);
      ASSERT_EQ(compressor.Compress(picture.data(), picture.size(), sink), COMPRESSOR::Status::Ok);
    }
    ASSERT_EQ(compressor.Finish(sink), COMPRESSOR::Status::Ok);
    EXPECT_EQ(numbers, (std::vector<int32_t>{0, 1, 2, 3, 4})) << width;
  }
}

}  // namespace
