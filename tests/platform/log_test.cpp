#include "platform/log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <thread>
#include <vector>

#include "support/log_capture.h"
#include "support/sandbox.h"

namespace {

TEST(LogTest, TimestampFieldsAreTwoDigitsYearAsIs) {
  EXPECT_EQ(FormatLogTimestamp({2026, 10, 3, 7, 5, 9}), "2026-10-03 07:05:09");
  EXPECT_EQ(FormatLogTimestamp({2026, 1, 31, 23, 59, 0}), "2026-01-31 23:59:00");
  EXPECT_EQ(FormatLogTimestamp({999, 12, 1, 0, 0, 0}), "999-12-01 00:00:00");
}

TEST(LogTest, LineIsTimestampInBracketsBlankAndBody) {
  LogCapture capture;
  LogLine("hello");
  LogFormat("     Size %lu\n", 42ul);
  LogLine("--> No download performed!!!\n");
  const std::string raw = capture.Raw();
  const std::regex shape(
      R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\] hello\r?\n)"
      R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\]      Size 42\r?\n)"
      R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\] --> No download performed!!!\r?\n\r?\n)");
  EXPECT_TRUE(std::regex_match(raw, shape)) << raw;
}

// A URL or a path with a line end or a terminal control in it stays on its
// own line; only the line ends that close the body are written as such.
TEST(LogTest, ControlCharactersCannotForgeLines) {
  LogCapture capture;
  LogFormat("downloading: %s\n", "http://h/a\n[2026-01-01 00:00:00] forged\r\x1b[2J\x7f\tend");
  LogLine(std::string("path C:\\x\ny\n", 12));
  LogLine(std::string("nul\0byte", 8));
  LogFormatW(L"UI = %ls\n", L"a\nb");
  EXPECT_EQ(capture.Bodies(),
            (std::vector<std::string>{
                "downloading: http://h/a\\x0a[2026-01-01 00:00:00] forged\\x0d\\x1b[2J\\x7f\tend",
                "path C:\\x\\x0ay", "", "nul\\x00byte", "UI = a\\x0ab"}));
}

TEST(LogTest, NothingIsWrittenWhileOff) {
  LogCapture capture;
  VerboseLogging = false;
  LogLine("hidden");
  LogFormat("%s\n", "hidden");
  LogFormatW(L"%ls\n", L"hidden");
  EXPECT_EQ(capture.Raw(), "");
}

TEST(LogTest, BannersAreExact) {
  LogCapture capture;
  LogStartBanner();
  LogEndBanner();
  const std::string stars(67, '*');
  const std::vector<std::string> expected = {
      "-",   stars, "************* Polvex Download Manager Sytem Start *****************",
      stars, stars, "************* Polvex Download Manager Sytem End *******************",
      stars};
  EXPECT_EQ(capture.Bodies(), expected);
  for (size_t i = 1; i < expected.size(); ++i) EXPECT_EQ(expected[i].size(), 67u);
}

TEST(LogTest, WideBodyEncoding) {
#ifdef _WIN32
  EXPECT_EQ(EncodeWideLogText(L"m\u00e1s \u00bfya?"), "m\xe1s \xbfya?");
  EXPECT_EQ(EncodeWideLogText(L"ab\u20acc"), "ab");  // cut at the first non-Latin-1
#else
  EXPECT_EQ(EncodeWideLogText(L"m\u00e1s \u00bfya?"), "m\xc3\xa1s \xc2\xbfya?");
  EXPECT_EQ(EncodeWideLogText(L"ab\u20acc"),
            "ab\xe2\x82\xac"
            "c");
#endif
}

TEST(LogTest, WideFormatWritesOneLine) {
  LogCapture capture;
  LogFormatW(L"UI = %ls\n", L"presiona INICIAR!");
  EXPECT_EQ(capture.Bodies(), std::vector<std::string>{"UI = presiona INICIAR!"});
}

TEST(LogTest, ConcurrentLinesNeverMix) {
  // The log stream is standard error, which is unbuffered: each stream call
  // is a write of its own. So is this one, and with enough lines started
  // together a line written in more than one call is split by another
  // thread's line on every run.
  constexpr int kThreads = 4;
  constexpr int kLines = 2000;
  Sandbox box;
  std::FILE* stream = std::fopen(box.Path("log.txt").c_str(), "wb");
  ASSERT_NE(stream, nullptr);
  std::setvbuf(stream, nullptr, _IONBF, 0);
  RedirectLogForTesting(stream);
  VerboseLogging = true;
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &go] {
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < kLines; ++i) LogFormat("thread %d line %d\n", t, i);
    });
  }
  go = true;
  for (auto& thread : threads) thread.join();
  VerboseLogging = false;
  RedirectLogForTesting(stderr);
  std::fclose(stream);

  const std::string raw = box.Read("log.txt");
  const std::regex shape(R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\] thread [0-3] line \d+\r?)");
  size_t lines = 0;
  size_t mixed = 0;
  for (size_t start = 0; start < raw.size(); ++lines) {
    size_t end = raw.find('\n', start);
    if (end == std::string::npos) end = raw.size();
    if (!std::regex_match(raw.begin() + start, raw.begin() + end, shape)) ++mixed;
    start = end + 1;
  }
  EXPECT_EQ(lines, size_t{kThreads * kLines});
  EXPECT_EQ(mixed, 0u);
}

}  // namespace
