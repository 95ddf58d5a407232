#include "media/ReadAheadQueue.h"

#include <system_error>

namespace VELAVCODEC {

bool ReadAheadQueue::Start(size_t depth, Producer produce) {
  Stop();
  if (depth == 0) return false;
  produce_ = std::move(produce);
  depth_ = depth;
  produced_ = taken_ = released_ = 0;
  finished_ = stopping_ = false;
  try {
    worker_ = std::thread(&ReadAheadQueue::Work, this);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void ReadAheadQueue::Work() {
  for (;;) {
    uint64_t item = 0;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || produced_ - released_ < depth_; });
      if (stopping_) break;
      item = produced_;
    }
    // Filled outside the lock: the slot belongs to no one else until it is
    // counted as produced.
    const bool more = produce_(size_t(item % depth_));
    std::lock_guard lock(mutex_);
    ++produced_;
    changed_.notify_all();
    if (!more) break;
  }
  std::lock_guard lock(mutex_);
  finished_ = true;
  changed_.notify_all();
}

std::optional<size_t> ReadAheadQueue::Take() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return taken_ < produced_ || finished_; });
  if (taken_ == produced_) return std::nullopt;
  return size_t(taken_++ % depth_);
}

void ReadAheadQueue::Release() {
  std::lock_guard lock(mutex_);
  if (released_ < taken_) ++released_;
  changed_.notify_all();
}

void ReadAheadQueue::Stop() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
  }
  worker_.join();
}

}  // namespace VELAVCODEC
