#pragma once

// A few slots that a thread of its own fills in order while the caller takes
// them in the same order, so that reading the next item overlaps with the
// work on this one. What a slot holds is the caller's: the queue only hands
// out slot numbers. The slots go round: item n is in slot n % depth.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "platform/BoundedQueue.h"

namespace READAHEADQUEUE {

class ReadAheadQueue {
 public:
  // Fills the slot with the next item, on the queue's thread; false when it
  // was the last one (the end or a failure), after which nothing more is read.
  using Producer = std::function<bool(size_t slot)>;

  ReadAheadQueue() = default;
  ~ReadAheadQueue() { Stop(); }
  ReadAheadQueue(const ReadAheadQueue&) = delete;
  ReadAheadQueue& operator=(const ReadAheadQueue&) = delete;

  // False when the thread could not be started (the caller reads by itself).
  bool Start(size_t depth, Producer produce);
  bool Running() const { return worker_.joinable(); }
  // The next filled slot, waiting for it; nothing once the last item was
  // taken. The slot is the caller's until it is released.
  std::optional<size_t> Take();
  // Gives back the oldest slot taken.
  void Release();
  // Asks the thread to stop after the item in hand and waits for it. Read
  // by the producer's own blocking calls (Stopping) to give up early.
  void Stop();
  bool Stopping() const { return stopping_; }

 private:
  void Work();

  Producer produce_;
  size_t depth_ = 0;
  // Slot numbers: those the thread may fill, and those filled for the
  // caller, in the order they were filled. Made once per run.
  std::unique_ptr<BOUNDEDQUEUE::BoundedQueue<size_t>> empty_, filled_;
  uint64_t taken_ = 0, released_ = 0;  // the caller's thread only
  std::atomic<bool> stopping_ = false;
  std::thread worker_;
};

}  // namespace READAHEADQUEUE
