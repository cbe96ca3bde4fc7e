#include <gtest/gtest.h>

#include <cstdint>

#include "transfer/download_job.h"
#include "transfer/transfer_state.h"

namespace {

// Which of 16 calls in a row let the listener through at a given speed.
std::vector<bool> Pattern16(double bytesPerSecond) {
  TheTransferState.downloadSpeed = bytesPerSecond;
  std::vector<bool> calls;
  for (int i = 0; i < 16; ++i) calls.push_back(ShouldReportProgress());
  return calls;
}

TEST(ShouldReportProgressTest, EveryCallUpTo100kBThenEveryEighth) {
  const std::vector<bool> all(16, true);
  EXPECT_EQ(Pattern16(0.0), all);
  EXPECT_EQ(Pattern16(500.0), all);
  EXPECT_EQ(Pattern16(102400.0), all);  // exactly 100 kB/s
  EXPECT_EQ(Pattern16(103423.0), all);  // still 100 once rounded down

  const auto fast = Pattern16(204800.0);
  EXPECT_EQ(std::count(fast.begin(), fast.end(), true), 2);
  const auto first = std::find(fast.begin(), fast.end(), true) - fast.begin();
  ASSERT_LT(first, 8);
  EXPECT_TRUE(fast[static_cast<size_t>(first) + 8]);
  // The count carries on across speed changes and transfers.
  EXPECT_EQ(Pattern16(103424.0)[static_cast<size_t>(first)], true);
}

TEST(ProgressPercentTest, OverallShare) {
  EXPECT_EQ(ProgressPercent(0, 1000), 0);
  EXPECT_EQ(ProgressPercent(250, 1000), 25);
  EXPECT_EQ(ProgressPercent(999, 1000), 99);
  EXPECT_EQ(ProgressPercent(1000, 1000), 100);
  EXPECT_EQ(ProgressPercent(int64_t{3} << 32, int64_t{6} << 32), 50);  // beyond 32 bits
  EXPECT_EQ(ProgressPercent(500, 0), 0);                               // no total: no division
  // More bytes than announced: held at 100, never outside the int range.
  EXPECT_EQ(ProgressPercent(2000, 1000), 100);
  EXPECT_EQ(ProgressPercent(INT64_MAX, 1), 100);
}

}  // namespace
