#pragma once

// Runs another compressor on a thread of its own, so that the caller's next
// picture is decoded while this one is compressed. Each picture is staged
// (copied or converted, on the caller's thread) into one of a few slots made
// once per stream; the chunks come back in
// order and go to the sink on the caller's thread, at a later Compress or at
// Finish, so the file is only ever written from the thread that owns it.
// A failure of the inner compressor is answered by the next call.
#include <condition_variable>
#include <mutex>
#include <thread>

#include "compressors/Compressor.h"

namespace COMPRESSOR {

class WriteAheadCompressor : public Compressor {
 public:
  explicit WriteAheadCompressor(std::unique_ptr<Compressor> inner, size_t slots = 3);
  ~WriteAheadCompressor() override;

  HRESULT Start(const BITMAPINFOHEADER& input, DWORD scale, DWORD rate,
                std::vector<uint8_t>* outputFormat) override;
  HRESULT Compress(const void* pixels, size_t size, const ChunkSink& sink) override;
  HRESULT Finish(const ChunkSink& sink) override;
  bool TakesPlanar() const override;
  HRESULT CompressMixed(const PLANARPICTURE::MixedPicture& picture, const ChunkSink& sink) override;

 private:
  // Stages a picture into the next slot (waiting for one) and queues it.
  HRESULT Queue(const std::function<HRESULT(StagedPicture&)>& stage, const ChunkSink& sink);
  struct Chunk {
    std::vector<uint8_t> data;
    bool key = false;
  };

  void Work();
  HRESULT Collect(const void* data, uint32_t size, bool key);
  HRESULT WriteReady(const ChunkSink& sink);
  void StopWorker();

  std::unique_ptr<Compressor> inner_;
  // Pictures go round the slots in turn: picture n in slot n % size.
  std::vector<std::unique_ptr<StagedPicture>> slots_;
  size_t pictureBytes_ = 0;
  ChunkSink collect_;
  std::vector<Chunk> writing_;  // the caller's thread only

  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t queued_ = 0, compressed_ = 0;  // pictures handed in, and done
  std::vector<Chunk> ready_, spare_;
  bool stopping_ = false;
  HRESULT failure_ = AVIERR_OK;  // the inner compressor's first failure
  std::thread worker_;
};

}  // namespace COMPRESSOR
