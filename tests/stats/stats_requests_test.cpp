#include "stats/stats_requests.h"

#include <gtest/gtest.h>

#include "stats/download_records.h"
#include "stats/update_milestone.h"

namespace {

class StatsUrlTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetDownloadRecordsForTesting();
    TheStatsSettings =
        StatsSettings{"http://10.1.2.3:8101", "WD-WCAV12345::00-1A-2B-3C-4D-5E", "29", "0", ""};
  }
  void TearDown() override { ResetDownloadRecordsForTesting(); }
};

TEST_F(StatsUrlTest, FiveEvents) {
  const std::string query = "?mid=WD-WCAV12345::00-1A-2B-3C-4D-5E&game=29&distributor=0";
  const std::string base = "http://10.1.2.3:8101/";
  TheDownloadPlan.currentPart = 1;
  EXPECT_EQ(BuildStatsUrlForStart(), base + "start" + query);
  EXPECT_EQ(BuildStatsUrlForResume(), base + "resume" + query);
  EXPECT_EQ(BuildStatsUrlForPause(123456), base + "pause" + query + "&bytes=123456&current_part=1");
  EXPECT_EQ(BuildStatsUrlForUpdate(-42), base + "update" + query + "&bytes=-42&current_part=1");
  // The finish report carries no part.
  EXPECT_EQ(BuildStatsUrlForFinish(7), base + "finish" + query + "&bytes=7");
  TheDownloadPlan.currentPart = 0;
  EXPECT_EQ(BuildStatsUrlForPause(0), base + "pause" + query + "&bytes=0&current_part=0");
}

TEST_F(StatsUrlTest, MidThatWouldBreakTheQueryIsEncoded) {
  TheStatsSettings.mid = "A&B#C%D+E F=G;H::00-1A";
  EXPECT_EQ(BuildStatsUrlForStart(),
            "http://10.1.2.3:8101/start?mid=A%26B%23C%25D%2BE%20F%3DG%3BH::00-1A"
            "&game=29&distributor=0");
}

TEST(QueryValue, EncodesOnlyWhatTheQuerySyntaxNeeds) {
  struct Case {
    std::string value;
    std::string encoded;
  } cases[] = {
      {"::", "::"},
      {"AZaz09-._~:@/?!$'()*,", "AZaz09-._~:@/?!$'()*,"},
      {"a b\tc", "a%20b%09c"},
      {"\"<>\\^`{|}[]", "%22%3C%3E%5C%5E%60%7B%7C%7D%5B%5D"},
      {std::string("\x7F\x80\xFF", 3), "%7F%80%FF"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeQueryValue(c.value), c.encoded) << c.value;
}

TEST(FormatInt64, DecimalText) {
  EXPECT_EQ(FormatInt64(0), "0");
  EXPECT_EQ(FormatInt64(7340032), "7340032");
  EXPECT_EQ(FormatInt64(-5), "-5");
  EXPECT_EQ(FormatInt64(INT64_MAX), "9223372036854775807");
  EXPECT_EQ(FormatInt64(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(FormatInt64(int64_t{1} << 40), "1099511627776");
}

// Feeds a run of percentages through the rule; returns the ones reported.
std::vector<int> Milestones(std::initializer_list<int> percents) {
  int last = 0;
  std::vector<int> reported;
  for (int percent : percents) {
    if (TakeUpdateMilestone(percent, &last)) reported.push_back(percent);
  }
  return reported;
}

TEST(UpdateMilestone, OnePerNewMultipleOfTenBelowOneHundred) {
  EXPECT_EQ(Milestones({0, 0, 3, 10, 10, 11, 20, 30, 40, 50, 60, 70, 80, 90, 99, 100, 100}),
            (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90}));
  // A resumed run starting at 43 % reports first at 50 %.
  EXPECT_EQ(Milestones({43, 44, 50, 55}), std::vector<int>{50});
  // A jump over 20 sends nothing for it.
  EXPECT_EQ(Milestones({19, 21, 29, 30}), std::vector<int>{30});
  // 100 is remembered: a later 100 does not count as new, a later 90 does.
  int last = 0;
  EXPECT_FALSE(TakeUpdateMilestone(100, &last));
  EXPECT_EQ(last, 100);
  EXPECT_TRUE(TakeUpdateMilestone(90, &last));
}

}  // namespace
