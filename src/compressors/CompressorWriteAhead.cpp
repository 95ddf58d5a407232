#include "compressors/CompressorWriteAhead.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "picture/BmpFrame.h"

namespace COMPRESSOR {
namespace {

// Staged pictures beyond this many bytes cost memory without keeping the
// encoder any busier: at 3840x2160 one slot encodes as fast as three, and
// takes two pictures less, while at 1280x720 three are faster than one.
constexpr size_t kStagedBytes = size_t(32) << 20;

}  // namespace

void WriteAheadCompressor::PacketFree::operator()(AVPacket* packet) const {
  av_packet_free(&packet);
}

WriteAheadCompressor::WriteAheadCompressor(std::unique_ptr<Compressor> inner, size_t slots)
    : inner_(std::move(inner)),
      slots_(slots < 1 ? 1 : slots),
      empty_(slots_.size()),
      staged_(slots_.size()) {
  collect_ = [this](const Chunk& chunk) { return Collect(chunk); };
}

WriteAheadCompressor::~WriteAheadCompressor() { StopWorker(); }

Status WriteAheadCompressor::Start(const BgrFormat& input, uint32_t scale, uint32_t rate,
                                   EncodedFormat* output) {
  if (worker_.joinable()) return Status::Unsupported;
  const Status result = inner_->Start(input, scale, rate, output);
  if (result != Status::Ok) return result;
  pictureBytes_ = BMPFRAME::ImageBytes(input.Width, input.Height);
  empty_.Reopen();
  staged_.Reopen();
  const size_t used =
      std::clamp<size_t>(kStagedBytes / std::max<size_t>(pictureBytes_, 1), 1, slots_.size());
  try {
    for (size_t slot = 0; slot < used; ++slot) {
      slots_[slot] = inner_->NewStagedPicture();
      if (slots_[slot] == nullptr) return Status::Memory;
      empty_.Push(slot);
    }
    worker_ = std::thread([this] { Work(); });
  } catch (const std::exception&) {
    return Status::Memory;
  }
  return Status::Ok;
}

Status WriteAheadCompressor::Compress(const void* pixels, size_t size, const ChunkSink& sink) {
  if (!worker_.joinable()) return Status::BadFormat;
  if (pixels == nullptr || size < pictureBytes_) return Status::BadSize;
  // Only the picture's rows: the caller's buffer may be larger.
  return Queue([&](StagedPicture& slot) { return inner_->Stage(pixels, pictureBytes_, slot); },
               sink);
}

bool WriteAheadCompressor::TakesPlanar() const {
  return worker_.joinable() && inner_->TakesPlanar();
}

Status WriteAheadCompressor::CompressMixed(const PLANARPICTURE::MixedPicture& picture,
                                           const ChunkSink& sink) {
  if (!worker_.joinable()) return Status::BadFormat;
  return Queue([&](StagedPicture& slot) { return inner_->StageMixed(picture, slot); }, sink);
}

Status WriteAheadCompressor::Failure() {
  std::lock_guard lock(mutex_);
  return failure_;
}

Status WriteAheadCompressor::Queue(const std::function<Status(StagedPicture&)>& stage,
                                   const ChunkSink& sink) {
  if (const Status failed = Failure(); failed != Status::Ok) return failed;
  // The worker gives every slot back, also those it skips after a failure.
  const std::optional<size_t> slot = empty_.Pop();
  if (!slot) return Status::BadFormat;
  Status staged = Failure();
  if (staged == Status::Ok) staged = stage(*slots_[*slot]);
  if (staged != Status::Ok) {
    empty_.Push(*slot);
    return staged;
  }
  staged_.Push(*slot);
  return WriteReady(sink);
}

Status WriteAheadCompressor::Finish(const ChunkSink& sink) {
  if (!worker_.joinable()) return inner_->Finish(sink);
  StopWorker();
  Status result = failure_;
  // The worker is gone: the inner compressor is ours alone now.
  if (result == Status::Ok) result = inner_->Finish(collect_);
  const Status written = WriteReady(sink);
  return result != Status::Ok ? result : written;
}

// Lets the worker finish the pictures queued, then ends it.
void WriteAheadCompressor::StopWorker() {
  if (!worker_.joinable()) return;
  staged_.Close();
  worker_.join();
}

void WriteAheadCompressor::Work() {
  while (const std::optional<size_t> slot = staged_.Pop()) {
    // After a failure the pictures still queued are only given back.
    const Status result =
        Failure() == Status::Ok ? inner_->CompressStaged(*slots_[*slot], collect_) : Status::Ok;
    if (result != Status::Ok) {
      std::lock_guard lock(mutex_);
      if (failure_ == Status::Ok) failure_ = result;
    }
    MarkPictureEnd();
    empty_.Push(*slot);
  }
}

// Keeps a chunk until the caller's thread writes it: an encoder's packet by
// its reference, other bytes by a copy. The packets and buffers are reused.
Status WriteAheadCompressor::Collect(const Chunk& chunk) {
  HeldChunk held;
  {
    std::lock_guard lock(mutex_);
    if (!spare_.empty()) {
      held = std::move(spare_.back());
      spare_.pop_back();
    }
  }
  try {
    held.pictureEnd = false;
    held.key = chunk.key;
    held.shared = chunk.packet != nullptr;
    if (held.shared) {
      if (held.packet == nullptr) held.packet.reset(av_packet_alloc());
      if (held.packet == nullptr) return Status::Memory;
      av_packet_move_ref(held.packet.get(), chunk.packet);
      // An encoder's packet normally owns its buffer; one that points into
      // the encoder's memory is copied before the encoder moves on.
      if (av_packet_make_refcounted(held.packet.get()) < 0) return Status::Memory;
    } else {
      const uint8_t* bytes = static_cast<const uint8_t*>(chunk.data);
      held.bytes.assign(bytes, bytes + chunk.size);
    }
    std::lock_guard lock(mutex_);
    ready_.push_back(std::move(held));
  } catch (const std::bad_alloc&) {
    return Status::Memory;
  }
  return Status::Ok;
}

bool WriteAheadCompressor::NotifyPictureEnds(PictureEndHandler handler) {
  pictureEnd_ = std::move(handler);
  return true;
}

// After all the chunks of a picture, so that the caller can put what it
// writes between pictures where it belongs.
void WriteAheadCompressor::MarkPictureEnd() {
  HeldChunk mark;
  mark.pictureEnd = true;
  try {
    std::lock_guard lock(mutex_);
    ready_.push_back(std::move(mark));
  } catch (const std::bad_alloc&) {
    std::lock_guard lock(mutex_);
    if (failure_ == Status::Ok) failure_ = Status::Memory;
  }
}

// Writes the chunks ready so far, in order. After a failed write the rest
// are dropped: the stream has ended for the caller.
Status WriteAheadCompressor::WriteReady(const ChunkSink& sink) {
  {
    std::lock_guard lock(mutex_);
    writing_.swap(ready_);
  }
  Status result = Status::Ok;
  for (HeldChunk& held : writing_) {
    if (result == Status::Ok) {
      AVPacket* packet = held.shared ? held.packet.get() : nullptr;
      if (held.pictureEnd) {
        if (pictureEnd_) result = pictureEnd_();
      } else {
        result = packet ? sink({packet->data, uint32_t(packet->size), held.key, packet})
                        : sink({held.bytes.data(), uint32_t(held.bytes.size()), held.key});
      }
    }
    // What the sink did not take over goes now; the packet stays for reuse.
    if (held.shared) av_packet_unref(held.packet.get());
  }
  try {
    std::lock_guard lock(mutex_);
    for (HeldChunk& held : writing_) spare_.push_back(std::move(held));
  } catch (const std::bad_alloc&) {
    // The buffers are simply not reused.
  }
  writing_.clear();
  return result;
}

}  // namespace COMPRESSOR
