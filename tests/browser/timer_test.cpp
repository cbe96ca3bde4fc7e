#include "browser/timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

struct Owner {
  std::atomic<int> calls{0};
  void Count() { ++calls; }
};

// Polls until pred holds, at most ms milliseconds.
template <class Pred>
bool WaitFor(Pred pred, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

TEST(TimerTest, TicksReachTheBoundMethodUntilStopped) {
  Owner owner;
  TTimer<Owner> timer;
  timer.Bind(&owner, &Owner::Count);
  ASSERT_TRUE(timer.Start(10, 10));
  EXPECT_TRUE(timer.IsRunning());
  ASSERT_TRUE(WaitFor([&] { return owner.calls >= 3; }, 5000));
  timer.Stop();
  EXPECT_FALSE(timer.IsRunning());
  EXPECT_GE(timer.TickCount(), 3u);
  // A tick already running may still land; after that nothing more comes.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const int settled = owner.calls;
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(owner.calls, settled);
  timer.Stop();  // a second stop is harmless
}

TEST(TimerTest, StartResetsTheTickCountAndUnboundTimersOnlyCount) {
  TTimer<Owner> timer;
  ASSERT_TRUE(timer.Start(5, 5));
  ASSERT_TRUE(WaitFor([&] { return timer.TickCount() >= 2; }, 5000));
  timer.Stop();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let a running tick end
  ASSERT_TRUE(timer.Start(60000, 60000));
  EXPECT_EQ(timer.TickCount(), 0u);
}

}  // namespace
