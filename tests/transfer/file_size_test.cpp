#include "transfer/file_size.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/ticks.h"
#include "support/log_capture.h"
#include "support/sandbox.h"

namespace {

TEST(QueryFileSizeTest, MissingFileRetriesForAboutASecond) {
  Sandbox sandbox;
  LogCapture capture;
  const std::string path = sandbox.Path("missing");
  const uint32_t start = TickCount();
  EXPECT_EQ(QueryFileSize(path), -1);
  const uint32_t took = TickCount() - start;
  EXPECT_GE(took, 950u);  // ten 100 ms pauses
  EXPECT_LT(took, 3000u);
  EXPECT_EQ(capture.Bodies(),
            (std::vector<std::string>{"---> fileSize " + path, "     Errcode 002, API fail."}));
}

TEST(QueryFileSizeTest, NoPathGivesErrcode001) {
  LogCapture capture;
  EXPECT_EQ(QueryFileSize(nullptr), -1);
  EXPECT_EQ(QueryFileSize(""), -1);
  EXPECT_EQ(capture.Count("     Errcode 001, no file name."), 2u);
}

TEST(QueryFileSizeTest, EmptyAndSmallFiles) {
  Sandbox sandbox;
  LogCapture capture;
  sandbox.Write("empty", "");
  sandbox.Write("three", "abc");
  EXPECT_EQ(QueryFileSize(sandbox.Path("empty")), 0);
  EXPECT_EQ(QueryFileSize(sandbox.Path("three")), 3);
  EXPECT_TRUE(capture.Contains("     Size 0"));
  EXPECT_TRUE(capture.Contains("     Size 3"));
}

TEST(QueryFileSizeTest, FileOverFourGiBIsExactAndLogsLow32Bits) {
  Sandbox sandbox;
  LogCapture capture;
  const std::string path = sandbox.Path("big");
  const uint64_t size = (uint64_t{5} << 30) + 7;  // 5 GiB and 7 bytes, sparse
  { std::ofstream touch(path, std::ios::binary); }
  std::error_code error;
  std::filesystem::resize_file(path, size, error);
  ASSERT_FALSE(error) << error.message();
  EXPECT_EQ(QueryFileSize(path), static_cast<int64_t>(size));
  EXPECT_TRUE(capture.Contains("     Size " + std::to_string(static_cast<uint32_t>(size))));
}

}  // namespace
