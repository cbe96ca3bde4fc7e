#include "platform/wait.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "platform/thread.h"
#include "platform/ticks.h"

namespace {

// A clock that only moves when the wait asks for input, by the time the wait
// would block, and a queue that is fed from a script.
class FakePump final : public MessagePump {
 public:
  explicit FakePump(uint32_t start) : now(start) {}
  uint32_t Ticks() override { return now; }
  bool WaitForInput(uint32_t ms) override {
    waits.push_back(ms);
    if (pending > 0) return true;
    now += ms;
    return false;
  }
  void DispatchQueued() override {
    dispatched += pending;
    pending = 0;
    now += dispatchCost;
  }

  uint32_t now;
  int pending = 0;
  int dispatched = 0;
  uint32_t dispatchCost = 0;
  std::vector<uint32_t> waits;
};

TEST(WaitTest, WaitsTheWholeTimeAcrossTickWrap) {
  FakePump pump(0xFFFFFFF0u);
  WaitWithMessagePump(100, pump);
  EXPECT_EQ(pump.now, 0xFFFFFFF0u + 100u);  // wrapped to 84
  EXPECT_EQ(pump.waits, std::vector<uint32_t>{100});
}

TEST(WaitTest, ZeroPollsOnceAndDispatches) {
  FakePump pump(5);
  pump.pending = 3;
  WaitWithMessagePump(0, pump);
  EXPECT_EQ(pump.dispatched, 3);
  EXPECT_EQ(pump.waits, std::vector<uint32_t>{0});
}

TEST(WaitTest, InputShortensOnlyTheCurrentSlice) {
  FakePump pump(0xFFFFFFFAu);  // deadline wraps past zero
  pump.pending = 1;
  pump.dispatchCost = 30;
  WaitWithMessagePump(100, pump);
  // 30 ms went to dispatching, the rest is waited for.
  EXPECT_EQ(pump.waits, (std::vector<uint32_t>{100, 70}));
  EXPECT_EQ(pump.now, 0xFFFFFFFAu + 100u);
}

TEST(WaitTest, DeadlineAcrossWrapIsMeasuredFromTheStart) {
  // The first slice ends before the tick count wraps: a wait that compared
  // tick values instead of elapsed time would take 0xFFFFFFF5 as later than
  // the wrapped deadline 84 and return 95 ms early.
  FakePump pump(0xFFFFFFF0u);
  pump.pending = 1;
  pump.dispatchCost = 5;
  WaitWithMessagePump(100, pump);
  EXPECT_EQ(pump.waits, (std::vector<uint32_t>{100, 95}));
  EXPECT_EQ(pump.now, 0xFFFFFFF0u + 100u);
}

TEST(WaitTest, DeadlinePassedDuringDispatchReturnsAtOnce) {
  FakePump pump(0xFFFFFFFFu);
  pump.pending = 1;
  pump.dispatchCost = 500;
  WaitWithMessagePump(25, pump);
  EXPECT_EQ(pump.waits.size(), 1u);
  EXPECT_EQ(pump.dispatched, 1);
}

TEST(WaitTest, RealWaitTakesAtLeastTheTime) {
  const uint32_t start = TickCount();
  WaitWithMessagePump(60);
  EXPECT_GE(TickCount() - start, 60u);
}

TEST(WaitTest, StartSignalAlreadySetReturnsAtOnceAndClears) {
  StartSignal = true;
  const uint32_t start = TickCount();
  WaitForStartSignal();
  EXPECT_FALSE(StartSignal.load());
  EXPECT_LT(TickCount() - start, 20u);
}

TEST(WaitTest, StartSignalSetByAnotherThreadEndsTheWait) {
  StartSignal = false;
  std::thread setter([] {
    SleepMs(80);
    StartSignal = true;
  });
  const uint32_t start = TickCount();
  WaitForStartSignal();
  const uint32_t waited = TickCount() - start;
  setter.join();
  EXPECT_FALSE(StartSignal.load());
  EXPECT_GE(waited, 70u);
  EXPECT_LT(waited, 2000u);
}

TEST(ThreadTest, RefusedStartRunsNothing) {
  static std::atomic<int> runs{0};
  SetThreadStartRefusedForTesting(true);
  const bool started = StartThread(
      [](void*) -> uint32_t {
        ++runs;
        return 0;
      },
      nullptr, nullptr);
  SetThreadStartRefusedForTesting(false);
  EXPECT_FALSE(started);
  SleepMs(20);
  EXPECT_EQ(runs.load(), 0);
}

}  // namespace
