#pragma once

// Hands items from one thread to another, holding at most a fixed number:
// Push waits for room and Pop for an item. Close ends it for both sides at
// once, waking whoever waits: pushes are refused from then on, and pops take
// what is left, then nothing. The items live in a ring made when the queue
// is, so passing them allocates nothing.
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

namespace BOUNDEDQUEUE {

template <typename T>
class BoundedQueue {
 public:
  explicit BoundedQueue(size_t capacity) : ring_(capacity < 1 ? 1 : capacity) {}
  BoundedQueue(const BoundedQueue&) = delete;
  BoundedQueue& operator=(const BoundedQueue&) = delete;

  size_t Capacity() const { return ring_.size(); }

  // False, and the item not kept, once the queue is closed.
  bool Push(T item) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return closed_ || count_ < ring_.size(); });
    if (closed_) return false;
    ring_[(first_ + count_) % ring_.size()] = std::move(item);
    ++count_;
    changed_.notify_all();
    return true;
  }

  // Nothing once the queue is closed and empty.
  std::optional<T> Pop() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return closed_ || count_ > 0; });
    if (count_ == 0) return std::nullopt;
    std::optional<T> item(std::move(ring_[first_]));
    first_ = (first_ + 1) % ring_.size();
    --count_;
    changed_.notify_all();
    return item;
  }

  void Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
  }

  // Empty and open again, for another run; nobody may be waiting on it.
  void Reopen() {
    std::lock_guard lock(mutex_);
    for (T& item : ring_) item = T();
    first_ = count_ = 0;
    closed_ = false;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<T> ring_;
  size_t first_ = 0, count_ = 0;
  bool closed_ = false;
};

}  // namespace BOUNDEDQUEUE
