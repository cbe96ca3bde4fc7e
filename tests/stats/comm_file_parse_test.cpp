#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "stats/comm_file.h"
#include "stats/download_records.h"
#include "support/log_capture.h"
#include "support/sandbox.h"

namespace {

class CommFileParseTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetDownloadRecordsForTesting();
    TheStatsSettings.commFilePath = sandbox_.Path("comm290.tmp");
  }
  void TearDown() override { ResetDownloadRecordsForTesting(); }

  bool Parse(const std::string& json, bool resume = false, const std::string& resumeFile = "") {
    sandbox_.Write("comm290.tmp", json);
    return ParseCommFile(sandbox_.Dir(), resumeFile, resume);
  }

  Sandbox sandbox_;
};

// One part whose size_0 holds the given JSON value.
std::string OnePartWithSize(const std::string& sizeValue) {
  return R"({"parts": 1, "url_0": "http://h/p0", "size_0": )" + sizeValue + "}";
}

TEST(SizeText, ReadsWholeBase10TextOnly) {
  struct Case {
    const char* text;
    int64_t size;
  } cases[] = {
      {"12", 12},
      {" \t12", 12},
      {"+5", 5},
      {"-5", -5},
      {"", 0},
      {"0", 0},
      {"-0", 0},
      {"007", 7},
      {"9223372036854775807", INT64_MAX},
      {"-9223372036854775808", INT64_MIN},
      {"9223372036854775808", -1},
      {"-9223372036854775809", -1},
      {"99999999999999999999", -1},
      {"12 ", -1},
      {"1.5", -1},
      {"0x10", -1},
      {"1e3", -1},
      {" ", -1},
      {"+", -1},
      {"+-5", -1},
      {"- 5", -1},
      {"-1", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseSizeText(c.text), c.size) << '"' << c.text << '"';
}

TEST_F(CommFileParseTest, SizeValuesInTheFile) {
  struct Case {
    const char* value;
    bool accepted;
    int64_t size;
  } cases[] = {
      {R"(" 12")", true, 12},  {R"("+5")", true, 5},   {R"("")", true, 0},
      {R"("-5")", true, -5},   {R"("12 ")", false, 0}, {R"("1.5")", false, 0},
      {R"("0x10")", false, 0}, {R"("-1")", false, 0},  {"12", false, 0},
      {"null", false, 0},
  };
  for (const Case& c : cases) {
    ResetDownloadRecordsForTesting();
    TheStatsSettings.commFilePath = sandbox_.Path("comm290.tmp");
    LogCapture log;
    EXPECT_EQ(Parse(OnePartWithSize(c.value)), c.accepted) << c.value;
    if (c.accepted) {
      EXPECT_EQ(TheDownloadPlan.partSizes, std::vector<int64_t>{c.size}) << c.value;
      EXPECT_TRUE(log.Bodies().empty()) << c.value;
    } else {
      // The URL key names the failing part, and nothing reaches the lists.
      EXPECT_EQ(log.Bodies(), std::vector<std::string>{"url_0 gave no size"}) << c.value;
      EXPECT_TRUE(TheDownloadPlan.partSizes.empty()) << c.value;
      EXPECT_TRUE(TheDownloadPlan.partialPaths.empty()) << c.value;
      EXPECT_EQ(TheDownloadPlan.partCount, 1) << c.value;
    }
  }
}

TEST_F(CommFileParseTest, PartCounts) {
  struct Case {
    const char* json;
    int32_t partCount;
    int32_t currentPart;
    size_t urls;
  } cases[] = {
      {R"({"parts": 0, "url_0": "http://h/p0", "size_0": "1"})", 0, 0, 0},
      {R"({"parts": -2, "current_part": 1})", -2, 1, 0},
      {R"({"current_part": 2})", 0, 2, 0},
      {R"({"parts": "2"})", 0, 0, 0},                       // not an integer
      {R"({"Parts": 2})", 0, 0, 0},                         // keys are case-sensitive
      {R"([{"parts": 2}, {"current_part": 1}])", 0, 0, 0},  // no object at the top
      {R"({"parts": 4294967297, "url_0": "u", "size_0": "1"})", 1, 0, 1},  // low 32 bits
      {"{} ", 0, 0, 0},
      {R"({"parts": 3, "current_part": 1,
           "url_0": "http://h/a", "size_0": "1", "url_1": "http://h/b", "size_1": "2",
           "url_2": "http://h/c", "size_2": "3", "url_3": "http://h/d", "size_3": "x"})",
       3, 1, 3},
  };
  for (const Case& c : cases) {
    ResetDownloadRecordsForTesting();
    TheStatsSettings.commFilePath = sandbox_.Path("comm290.tmp");
    LogCapture log;
    EXPECT_TRUE(Parse(c.json)) << c.json;
    EXPECT_EQ(TheDownloadPlan.partCount, c.partCount) << c.json;
    EXPECT_EQ(TheDownloadPlan.currentPart, c.currentPart) << c.json;
    EXPECT_EQ(TheDownloadPlan.partUrls.size(), c.urls) << c.json;
    EXPECT_EQ(TheDownloadPlan.partialPaths.size(), c.urls) << c.json;
    EXPECT_EQ(TheDownloadPlan.resumeOffset, 0) << c.json;
    EXPECT_TRUE(log.Bodies().empty()) << c.json;
  }
  // The last case, three parts: url_3 was ignored.
  ASSERT_EQ(TheDownloadPlan.partialPaths.size(), 3u);
  EXPECT_EQ(TheDownloadPlan.partUrls.back(), "http://h/c");
  EXPECT_EQ(TheDownloadPlan.partSizes, (std::vector<int64_t>{1, 2, 3}));
  EXPECT_EQ(TheDownloadPlan.partialPaths.back(), sandbox_.Path("c.q9tovi"));
}

TEST_F(CommFileParseTest, Failures) {
  struct Case {
    const char* json;
    const char* line;
  } cases[] = {
      {"", "could not load the communication file"},
      {"{} x", "could not load the communication file"},
      {R"({"parts": 2, "url_0": "http://h/a", "size_0": "1", "size_1": "1"})", "url_1 gave no url"},
      {R"({"parts": 2, "url_0": "http://h/a", "size_0": "1", "url_1": "", "size_1": "1"})",
       "url_1 gave no url"},
      {R"({"parts": 1, "url_0": 5, "size_0": "1"})", "url_0 gave no url"},
      {R"({"parts": 2, "url_0": "http://h/a", "size_0": "1", "url_1": "http://h/b"})",
       "url_1 gave no size"},
      // Two parts that would share one partial file.
      {R"({"parts": 3, "url_0": "http://h/x/a", "size_0": "1", "url_1": "http://h/x/b",
           "size_1": "1", "url_2": "http://other/y/a", "size_2": "1"})",
       "url_2 names the file of an earlier part"},
      {R"({"parts": 10001})", "the communication file announces too many parts: 10001"},
      {R"({"parts": 2, "url_0": "a", "size_0": "9223372036854775807", "url_1": "b",
           "size_1": "1"})",
       "the sizes of the communication file add up to more than 64 bits hold"},
      {R"({"parts": 3, "url_0": "a", "size_0": "-9223372036854775808", "url_1": "b",
           "size_1": "-5", "url_2": "c", "size_2": "9223372036854775807"})",
       "the sizes of the communication file add up to more than 64 bits hold"},
  };
  for (const Case& c : cases) {
    ResetDownloadRecordsForTesting();
    TheStatsSettings.commFilePath = sandbox_.Path("comm290.tmp");
    LogCapture log;
    EXPECT_FALSE(Parse(c.json)) << c.json;
    EXPECT_EQ(log.Bodies(), std::vector<std::string>{c.line}) << c.json;
    EXPECT_TRUE(TheDownloadPlan.partUrls.empty()) << c.json;
    EXPECT_TRUE(TheDownloadPlan.partialPaths.empty()) << c.json;
  }
}

TEST_F(CommFileParseTest, SizesThatJustAddUp) {
  ASSERT_TRUE(Parse(R"({"parts": 3, "url_0": "a", "size_0": "9223372036854775800",
      "url_1": "b", "size_1": "-5", "url_2": "c", "size_2": "12"})"));
  EXPECT_EQ(PlanTotalBytes(), INT64_MAX);
}

std::string Quoted(const std::string& text) {
  std::string json = "\"";
  json += text;
  json += '"';
  return json;
}

TEST_F(CommFileParseTest, Digests) {
  const std::string lower = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
  const std::string upper = "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF";
  struct Case {
    std::string value;  // JSON value of sha256_1, or empty for no key
    bool accepted;
    std::string digest;
  } cases[] = {
      {"", true, ""},
      {Quoted(lower), true, lower},
      {Quoted(upper), true, lower},
      {Quoted(upper.substr(0, 32) + lower.substr(32)), true, lower},
      {Quoted(lower.substr(1)), false, ""},        // 63 characters
      {Quoted(lower + "0"), false, ""},            // 65
      {Quoted(lower.substr(1) + "g"), false, ""},  // not hexadecimal
      {Quoted(lower.substr(1) + " "), false, ""},  // a blank
      {"\"\"", false, ""},
      {"null", false, ""},
      {"12345", false, ""},
  };
  for (const Case& c : cases) {
    ResetDownloadRecordsForTesting();
    TheStatsSettings.commFilePath = sandbox_.Path("comm290.tmp");
    LogCapture log;
    std::string json = R"({"parts": 2, "url_0": "http://h/a", "size_0": "1",
        "url_1": "http://h/b", "size_1": "2")";
    if (!c.value.empty()) json += ", \"sha256_1\": " + c.value;
    json += "}";
    EXPECT_EQ(Parse(json), c.accepted) << c.value;
    if (c.accepted) {
      EXPECT_EQ(TheDownloadPlan.partDigests, (std::vector<std::string>{"", c.digest})) << c.value;
      EXPECT_TRUE(log.Bodies().empty()) << c.value;
    } else {
      EXPECT_EQ(log.Bodies(), std::vector<std::string>{"sha256_1 is no SHA-256 digest"}) << c.value;
      EXPECT_TRUE(TheDownloadPlan.partUrls.empty()) << c.value;
      EXPECT_TRUE(TheDownloadPlan.partDigests.empty()) << c.value;
    }
  }
}

TEST_F(CommFileParseTest, TenThousandPartsUseTheLongestKeys) {
  std::string json = R"({"parts": 10000)";
  for (int i = 0; i < 10000; ++i) {
    json += ", \"url_" + std::to_string(i) + "\": \"http://h/p" + std::to_string(i) + "\"";
    json += ", \"size_" + std::to_string(i) + "\": \"" + std::to_string(i + 1) + "\"";
  }
  json += ", \"sha256_9999\": \"" + std::string(64, 'A') + "\"";
  json += "}";
  ASSERT_TRUE(Parse(json));
  ASSERT_EQ(TheDownloadPlan.partUrls.size(), 10000u);
  EXPECT_EQ(TheDownloadPlan.partUrls[9999], "http://h/p9999");
  EXPECT_EQ(TheDownloadPlan.partSizes[9999], 10000);
  EXPECT_EQ(TheDownloadPlan.partDigests[9999], std::string(64, 'a'));
}

TEST_F(CommFileParseTest, ResumeMeasuresThePartToContinue) {
  const std::string threeParts = R"("parts": 3,
      "url_0": "http://h/x/first", "size_0": "10", "url_1": "http://h/x/second", "size_1": "20",
      "url_2": "http://h/x/third", "size_2": "30")";
  sandbox_.Write("first.q9tovi", std::string(7, 'a'));
  sandbox_.Write("second.q9tovi", std::string(13, 'b'));
  const std::string given = sandbox_.Path("given.q9tovi");
  sandbox_.Write("given.q9tovi", std::string(5, 'c'));

  struct Case {
    int currentPart;
    std::string file;
    int64_t offset;
  } cases[] = {
      // Part 0 too: the file the transfer writes, not the command-line file
      // (which names another one when the server renamed the part).
      {0, sandbox_.Path("first.q9tovi"), 7},
      {1, sandbox_.Path("second.q9tovi"), 13},
      {2, sandbox_.Path("third.q9tovi"), 0},  // not on disk
  };
  for (const Case& c : cases) {
    ResetDownloadRecordsForTesting();
    TheStatsSettings.commFilePath = sandbox_.Path("comm290.tmp");
    LogCapture log;
    const std::string json =
        "{" + threeParts + ", \"current_part\": " + std::to_string(c.currentPart) + "}";
    ASSERT_TRUE(Parse(json, true, given)) << c.currentPart;
    EXPECT_EQ(TheDownloadPlan.currentPart, c.currentPart);
    EXPECT_EQ(TheDownloadPlan.resumeOffset, c.offset) << c.currentPart;
    const auto bodies = log.Bodies();
    ASSERT_GE(bodies.size(), 2u);
    EXPECT_EQ(bodies[bodies.size() - 2], "RESUME FILE: " + c.file);
    EXPECT_EQ(bodies.back(), "RESUME FROM: " + std::to_string(c.offset));
  }
  // The server renamed part 0 since the last run: its file is not on disk
  // yet, and the bytes of the command-line file count for nothing.
  std::filesystem::remove(sandbox_.Path("first.q9tovi"));
  ResetDownloadRecordsForTesting();
  TheStatsSettings.commFilePath = sandbox_.Path("comm290.tmp");
  ASSERT_TRUE(Parse("{" + threeParts + ", \"current_part\": 0}", true, given));
  EXPECT_EQ(TheDownloadPlan.resumeOffset, 0);
}

TEST_F(CommFileParseTest, ResumeRefusesAPartOutsideTheList) {
  const char* cases[] = {
      R"({"parts": 2, "current_part": 2, "url_0": "http://h/a", "size_0": "1",
          "url_1": "http://h/b", "size_1": "1"})",
      R"({"parts": 0, "current_part": 1})",
      R"({"parts": 1, "current_part": -1, "url_0": "http://h/a", "size_0": "1"})",
  };
  for (const char* json : cases) {
    ResetDownloadRecordsForTesting();
    TheStatsSettings.commFilePath = sandbox_.Path("comm290.tmp");
    LogCapture log;
    EXPECT_FALSE(Parse(json, true, sandbox_.Path("given.q9tovi"))) << json;
    ASSERT_EQ(log.Bodies().size(), 1u) << json;
    EXPECT_EQ(log.Bodies()[0].rfind("the communication file names no part ", 0), 0u) << json;
    EXPECT_TRUE(TheDownloadPlan.partialPaths.empty()) << json;
  }
  // The same files load on the start path: the parts loop refuses them there.
  EXPECT_TRUE(Parse(cases[0]));
}

}  // namespace
