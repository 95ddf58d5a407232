// The queue between two threads: order kept over the ring's wrap, no more
// than its capacity held, and closing wakes both sides.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/BoundedQueue.h"

namespace {

using BOUNDEDQUEUE::BoundedQueue;
using namespace std::chrono_literals;

TEST(BoundedQueue, PassesEveryItemInOrderFromThreadToThread) {
  BoundedQueue<int> queue(3);
  std::thread producer([&] {
    for (int n = 0; n < 1000; ++n)
      if (!queue.Push(n)) break;
    queue.Close();
  });
  std::vector<int> popped;
  while (const std::optional<int> item = queue.Pop()) popped.push_back(*item);
  producer.join();
  ASSERT_EQ(popped.size(), 1000u);
  for (int n = 0; n < 1000; ++n) ASSERT_EQ(popped[size_t(n)], n);
}

TEST(BoundedQueue, APushWaitsForRoomAndAPopForAnItem) {
  BoundedQueue<int> queue(2);
  ASSERT_TRUE(queue.Push(1));
  ASSERT_TRUE(queue.Push(2));
  std::atomic<bool> pushed = false;
  std::thread third([&] { pushed = queue.Push(3); });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(pushed);  // full: still waiting
  EXPECT_EQ(queue.Pop(), 1);
  third.join();
  EXPECT_TRUE(pushed);
  EXPECT_EQ(queue.Pop(), 2);
  EXPECT_EQ(queue.Pop(), 3);

  std::atomic<int> got = 0;
  std::thread consumer([&] { got = queue.Pop().value_or(-1); });
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(got, 0);  // empty: still waiting
  ASSERT_TRUE(queue.Push(4));
  consumer.join();
  EXPECT_EQ(got, 4);
}

TEST(BoundedQueue, ClosingWakesBothSidesAndLeavesWhatIsQueuedToBeTaken) {
  BoundedQueue<int> empty(1);
  std::thread waitingPop([&] { EXPECT_FALSE(empty.Pop().has_value()); });
  BoundedQueue<int> full(1);
  ASSERT_TRUE(full.Push(7));
  std::thread waitingPush([&] { EXPECT_FALSE(full.Push(8)); });
  std::this_thread::sleep_for(20ms);
  empty.Close();
  full.Close();
  waitingPop.join();  // both return: a hang here is the fault
  waitingPush.join();
  EXPECT_FALSE(full.Push(9));
  EXPECT_EQ(full.Pop(), 7);
  EXPECT_FALSE(full.Pop().has_value());

  full.Reopen();
  EXPECT_TRUE(full.Push(10));
  EXPECT_EQ(full.Pop(), 10);
}

}  // namespace
