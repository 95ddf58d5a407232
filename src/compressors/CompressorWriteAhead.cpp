#include "compressors/CompressorWriteAhead.h"

#include "picture/BmpFrame.h"

namespace COMPRESSOR {

WriteAheadCompressor::WriteAheadCompressor(std::unique_ptr<Compressor> inner, size_t slots)
    : inner_(std::move(inner)), slots_(slots < 1 ? 1 : slots) {
  collect_ = [this](const void* data, uint32_t size, bool key) { return Collect(data, size, key); };
}

WriteAheadCompressor::~WriteAheadCompressor() { StopWorker(); }

HRESULT WriteAheadCompressor::Start(const BITMAPINFOHEADER& input, DWORD scale, DWORD rate,
                                    std::vector<uint8_t>* outputFormat) {
  if (worker_.joinable()) return AVIERR_UNSUPPORTED;
  const HRESULT result = inner_->Start(input, scale, rate, outputFormat);
  if (result != AVIERR_OK) return result;
  const int32_t height = input.biHeight < 0 ? -input.biHeight : input.biHeight;
  pictureBytes_ = BMPFRAME::ImageBytes(input.biWidth, height);
  try {
    for (std::unique_ptr<StagedPicture>& slot : slots_) {
      slot = inner_->NewStagedPicture();
      if (slot == nullptr) return AVIERR_MEMORY;
    }
    worker_ = std::thread([this] { Work(); });
  } catch (const std::exception&) {
    return AVIERR_MEMORY;
  }
  return AVIERR_OK;
}

HRESULT WriteAheadCompressor::Compress(const void* pixels, size_t size, const ChunkSink& sink) {
  if (!worker_.joinable()) return AVIERR_BADFORMAT;
  if (pixels == nullptr || size < pictureBytes_) return AVIERR_BADSIZE;
  // Only the picture's rows: the caller's buffer may be larger.
  return Queue([&](StagedPicture& slot) { return inner_->Stage(pixels, pictureBytes_, slot); },
               sink);
}

bool WriteAheadCompressor::TakesPlanar() const {
  return worker_.joinable() && inner_->TakesPlanar();
}

HRESULT WriteAheadCompressor::CompressMixed(const PLANARPICTURE::MixedPicture& picture,
                                            const ChunkSink& sink) {
  if (!worker_.joinable()) return AVIERR_BADFORMAT;
  return Queue([&](StagedPicture& slot) { return inner_->StageMixed(picture, slot); }, sink);
}

HRESULT WriteAheadCompressor::Queue(const std::function<HRESULT(StagedPicture&)>& stage,
                                    const ChunkSink& sink) {
  uint64_t picture = 0;
  {
    std::unique_lock lock(mutex_);
    changed_.wait(
        lock, [this] { return queued_ - compressed_ < slots_.size() || failure_ != AVIERR_OK; });
    if (failure_ != AVIERR_OK) return failure_;
    picture = queued_;
  }
  const HRESULT staged = stage(*slots_[picture % slots_.size()]);
  if (staged != AVIERR_OK) return staged;
  {
    std::lock_guard lock(mutex_);
    ++queued_;
  }
  changed_.notify_all();
  return WriteReady(sink);
}

HRESULT WriteAheadCompressor::Finish(const ChunkSink& sink) {
  if (!worker_.joinable()) return inner_->Finish(sink);
  StopWorker();
  HRESULT result = failure_;
  // The worker is gone: the inner compressor is ours alone now.
  if (result == AVIERR_OK) result = inner_->Finish(collect_);
  const HRESULT written = WriteReady(sink);
  return result != AVIERR_OK ? result : written;
}

// Lets the worker finish the pictures queued, then ends it.
void WriteAheadCompressor::StopWorker() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void WriteAheadCompressor::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return compressed_ < queued_ || stopping_; });
    if (compressed_ == queued_) return;
    StagedPicture& slot = *slots_[compressed_ % slots_.size()];
    const bool failed = failure_ != AVIERR_OK;
    lock.unlock();
    const HRESULT result = failed ? AVIERR_OK : inner_->CompressStaged(slot, collect_);
    lock.lock();
    if (result != AVIERR_OK && failure_ == AVIERR_OK) failure_ = result;
    ++compressed_;
    changed_.notify_all();
  }
}

// Keeps a chunk until the caller's thread writes it; the buffers are reused.
HRESULT WriteAheadCompressor::Collect(const void* data, uint32_t size, bool key) {
  Chunk chunk;
  {
    std::lock_guard lock(mutex_);
    if (!spare_.empty()) {
      chunk = std::move(spare_.back());
      spare_.pop_back();
    }
  }
  try {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    chunk.data.assign(bytes, bytes + size);
    chunk.key = key;
    std::lock_guard lock(mutex_);
    ready_.push_back(std::move(chunk));
  } catch (const std::bad_alloc&) {
    return AVIERR_MEMORY;
  }
  return AVIERR_OK;
}

// Writes the chunks ready so far, in order. After a failed write the rest
// are dropped: the stream has ended for the caller.
HRESULT WriteAheadCompressor::WriteReady(const ChunkSink& sink) {
  {
    std::lock_guard lock(mutex_);
    writing_.swap(ready_);
  }
  HRESULT result = AVIERR_OK;
  for (const Chunk& chunk : writing_) {
    if (result == AVIERR_OK)
      result = sink(chunk.data.data(), uint32_t(chunk.data.size()), chunk.key);
  }
  try {
    std::lock_guard lock(mutex_);
    for (Chunk& chunk : writing_) spare_.push_back(std::move(chunk));
  } catch (const std::bad_alloc&) {
    // The buffers are simply not reused.
  }
  writing_.clear();
  return result;
}

}  // namespace COMPRESSOR
