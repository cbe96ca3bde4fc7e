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

TEST(UpdateMilestone, OnePerNewBandOfTenBelowOneHundred) {
  struct Case {
    std::vector<int> percents;
    std::vector<int> reported;
  };
  const Case cases[] = {
      // Exact multiples report as they always did.
      {{0, 0, 3, 10, 10, 11, 20, 30, 40, 50, 60, 70, 80, 90, 99, 100, 100},
       {10, 20, 30, 40, 50, 60, 70, 80, 90}},
      // Listener calls that cover several per cent each: bands 2, 3 and 9.
      {{9, 21, 22, 35, 99, 100}, {21, 35, 99}},
      // Jumping over a multiple still reports the band it lands in.
      {{8, 12}, {12}},
      {{19, 21, 29, 30}, {19, 21, 30}},
      // A resumed run reports the band it starts in, then each new one.
      {{43, 44, 50, 55}, {43, 50}},
      // Straight from the first band to the end: nothing at 100.
      {{5, 100, 100}, {}},
      // Beyond 100 counts as 100; a negative figure counts as nothing.
      {{-3, 250}, {}},
  };
  for (const Case& c : cases) {
    int last = 0;
    std::vector<int> reported;
    for (int percent : c.percents) {
      if (TakeUpdateMilestone(percent, &last)) reported.push_back(percent);
    }
    EXPECT_EQ(reported, c.reported) << ::testing::PrintToString(c.percents);
  }
  // The band is what is kept: 100 is remembered, a later 90 is new.
  int last = 0;
  EXPECT_TRUE(TakeUpdateMilestone(37, &last));
  EXPECT_EQ(last, 30);
  EXPECT_FALSE(TakeUpdateMilestone(100, &last));
  EXPECT_EQ(last, 100);
  EXPECT_TRUE(TakeUpdateMilestone(90, &last));
}

}  // namespace
