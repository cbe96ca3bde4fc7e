#include "stats/download_records.h"

#include <gtest/gtest.h>

namespace {

class DownloadRecordsTest : public testing::Test {
 protected:
  void SetUp() override { ResetDownloadRecordsForTesting(); }
  void TearDown() override { ResetDownloadRecordsForTesting(); }
};

TEST_F(DownloadRecordsTest, FileNameFromUrlEdgeCases) {
  struct Case {
    const char* url;
    const char* name;
  } cases[] = {
      {"http://host/tovi/parte1", "parte1"},
      {"parte1", "parte1"},  // no separator: the whole text
      {"http://host/dir/", ""},
      {"http://host/parte1?x=1", "parte1?x=1"},  // query kept
      {"http://host/a%20b", "a%20b"},            // not decoded
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FileNameFromUrl(c.url, '/'), c.name) << c.url;
}

TEST_F(DownloadRecordsTest, SetDownloadPlanDerivesPaths) {
  SetDownloadPlan({"http://h/x/parte1", "http://h/x/", "noslash"}, {10, 20, 30}, 7, "D/");
  const DownloadPlan& plan = TheDownloadPlan;
  EXPECT_EQ(plan.downloadDir, "D/");
  EXPECT_EQ(plan.targetPaths, (std::vector<std::string>{"D/parte1", "D/", "D/noslash"}));
  EXPECT_EQ(plan.partialPaths,
            (std::vector<std::string>{"D/parte1.q9tovi", "D/.q9tovi", "D/noslash.q9tovi"}));
  EXPECT_EQ(plan.resumeOffset, 7);
  EXPECT_EQ(PlanTotalBytes(), 60);
}

TEST_F(DownloadRecordsTest, TotalOfNoPartsIsZeroAndSizesAre64Bit) {
  EXPECT_EQ(PlanTotalBytes(), 0);
  SetDownloadPlan({"a", "b"}, {int64_t{3} << 31, int64_t{5} << 30}, 0, "");
  EXPECT_EQ(PlanTotalBytes(), (int64_t{3} << 31) + (int64_t{5} << 30));
}

TEST_F(DownloadRecordsTest, SizesBeyond64BitsAreNotAddedUp) {
  int64_t total = 7;
  EXPECT_FALSE(AddUpSizes({INT64_MAX, 1}, &total));
  EXPECT_FALSE(AddUpSizes({INT64_MIN, -1, 5}, &total));
  // In order: the first two parts alone leave the range.
  EXPECT_FALSE(AddUpSizes({INT64_MAX - 1, 2, -5}, &total));
  EXPECT_EQ(total, 7);
  EXPECT_TRUE(AddUpSizes({INT64_MAX - 1, -5, 6}, &total));
  EXPECT_EQ(total, INT64_MAX);
  SetDownloadPlan({"a", "b"}, {INT64_MAX, 1}, 0, "");
  EXPECT_EQ(PlanTotalBytes(), -1);
}

}  // namespace
