#include "media/private/ReadAheadQueue.h"

#include <new>
#include <system_error>

namespace READAHEADQUEUE {

bool ReadAheadQueue::Start(size_t depth, Producer produce) {
  Stop();
  if (depth == 0) return false;
  produce_ = std::move(produce);
  depth_ = depth;
  taken_ = released_ = 0;
  stopping_ = false;
  try {
    empty_ = std::make_unique<BOUNDEDQUEUE::BoundedQueue<size_t>>(depth);
    filled_ = std::make_unique<BOUNDEDQUEUE::BoundedQueue<size_t>>(depth);
    for (size_t slot = 0; slot < depth; ++slot) empty_->Push(slot);
    worker_ = std::thread(&ReadAheadQueue::Work, this);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void ReadAheadQueue::Work() {
  for (;;) {
    const std::optional<size_t> slot = empty_->Pop();
    if (!slot || stopping_) break;
    // Filled outside any lock: the slot belongs to no one else until it is
    // queued as filled.
    const bool more = produce_(*slot);
    filled_->Push(*slot);  // never waits: there are only depth slots
    if (!more) break;
  }
  filled_->Close();
}

std::optional<size_t> ReadAheadQueue::Take() {
  if (filled_ == nullptr) return std::nullopt;
  const std::optional<size_t> slot = filled_->Pop();
  if (slot) ++taken_;
  return slot;
}

void ReadAheadQueue::Release() {
  if (empty_ == nullptr || released_ == taken_) return;
  empty_->Push(size_t(released_++ % depth_));
}

void ReadAheadQueue::Stop() {
  if (!worker_.joinable()) return;
  stopping_ = true;
  empty_->Close();  // wakes the thread waiting for a slot
  worker_.join();
}

}  // namespace READAHEADQUEUE
