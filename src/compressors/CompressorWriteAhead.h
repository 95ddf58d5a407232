#pragma once

// Runs another compressor on a thread of its own, so that the caller's next
// picture is decoded while this one is compressed. Each picture is staged
// (copied or converted, on the caller's thread) into one of a few slots made
// once per stream, fewer for large pictures; the chunks come back in
// order and go to the sink on the caller's thread, at a later Compress or at
// Finish, so the file is only ever written from the thread that owns it.
// A failure of the inner compressor is answered by the next call.
#include <mutex>
#include <thread>

#include "compressors/Compressor.h"
#include "platform/BoundedQueue.h"

namespace COMPRESSOR {

class WriteAheadCompressor : public Compressor {
 public:
  explicit WriteAheadCompressor(std::unique_ptr<Compressor> inner, size_t slots = 3);
  ~WriteAheadCompressor() override;

  Status Start(const BgrFormat& input, uint32_t scale, uint32_t rate,
               EncodedFormat* output) override;
  Status Compress(const void* pixels, size_t size, const ChunkSink& sink) override;
  Status Finish(const ChunkSink& sink) override;
  bool TakesPlanar() const override;
  Status CompressMixed(const PLANARPICTURE::MixedPicture& picture, const ChunkSink& sink) override;
  bool NotifyPictureEnds(PictureEndHandler handler) override;

 private:
  // Stages a picture into the next slot (waiting for one) and queues it.
  Status Queue(const std::function<Status(StagedPicture&)>& stage, const ChunkSink& sink);
  // A chunk kept until the caller's thread writes it: the encoder's packet,
  // taken over, or else a copy of the bytes. Both are reused.
  struct PacketFree {
    void operator()(AVPacket* packet) const;
  };
  struct HeldChunk {
    std::unique_ptr<AVPacket, PacketFree> packet;
    bool shared = false;  // the bytes are the packet's
    std::vector<uint8_t> bytes;
    bool key = false;
    bool pictureEnd = false;  // no frame: the end of a picture's
  };

  void Work();
  Status Collect(const Chunk& chunk);
  void MarkPictureEnd();
  Status WriteReady(const ChunkSink& sink);
  Status Failure();
  void StopWorker();

  std::unique_ptr<Compressor> inner_;
  // The slots' numbers go round: empty ones to the caller, staged ones to
  // the worker, in the order they were staged.
  std::vector<std::unique_ptr<StagedPicture>> slots_;
  BOUNDEDQUEUE::BoundedQueue<size_t> empty_, staged_;
  size_t pictureBytes_ = 0;
  ChunkSink collect_;
  std::vector<HeldChunk> writing_;  // the caller's thread only
  PictureEndHandler pictureEnd_;    // the caller's thread only

  std::mutex mutex_;
  std::vector<HeldChunk> ready_, spare_;
  Status failure_ = Status::Ok;  // the inner compressor's first failure
  std::thread worker_;
};

}  // namespace COMPRESSOR
