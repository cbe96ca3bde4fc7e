// Runs the real program twice: the second copy must end at once, silently.
#include <gtest/gtest.h>

#include <regex>

#include "platform/instance_mutex.h"
#include "platform/ticks.h"
#include "support/child_process.h"
#include "support/other_copy.h"
#include "support/sandbox.h"

namespace {

std::map<std::string, std::string> TempDirEnvironment(const Sandbox& sandbox) {
  // GetTempPath reads TMP first; POSIX reads TMPDIR. The home (and with it
  // the desktop, natively) is the sandbox's too, so no shortcut of the
  // user's is found.
  return {{"TMPDIR", sandbox.Dir()},
          {"TMP", sandbox.Dir()},
          {"TEMP", sandbox.Dir()},
          {"HOME", sandbox.Dir()},
          {"XDG_CONFIG_HOME", sandbox.Path(".config")}};
}

size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1)) {
    ++count;
  }
  return count;
}

bool WaitForLogText(const Sandbox& sandbox, const std::string& text, uint32_t timeoutMs) {
  const uint32_t start = TickCount();
  while (TickCount() - start < timeoutMs) {
    if (sandbox.Read("log.txt").find(text) != std::string::npos) return true;
    SleepMs(50);
  }
  return false;
}

enum class StartResult { kLogged, kOtherCopyRuns, kNotLogged };

// Starts the program and waits until the log holds `banners` start banners.
// A copy that ends without a word found the lock taken: when another copy
// still holds it, the test cannot go on, but nothing failed; when the lock
// is free again by then, the copy is started once more.
StartResult StartCopy(ChildProcess& child, const Sandbox& sandbox, size_t banners) {
  const std::string program = NativeProgramPath(TOVI_PROGRAM_PATH);
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (!child.Start(program, {}, TempDirEnvironment(sandbox))) return StartResult::kNotLogged;
    const uint32_t start = TickCount();
    bool ended = false;
    while (!ended && TickCount() - start < 30000) {
      if (CountOf(sandbox.Read("log.txt"), "Sytem Start") >= banners) return StartResult::kLogged;
      int exitCode = 0;
      ended = child.Wait(0, &exitCode);
      if (!ended) SleepMs(50);
    }
    if (!ended) return StartResult::kNotLogged;
    if (AnotherCopyRuns()) return StartResult::kOtherCopyRuns;
  }
  return StartResult::kNotLogged;
}

TEST(SingleInstanceTest, SecondInstanceEndsAtOnceAndWritesNothing) {
  if (AnotherCopyRuns()) GTEST_SKIP() << kOtherCopy;
  Sandbox sandbox;
  ChildProcess first;
  const StartResult started = StartCopy(first, sandbox, 1);
  if (started == StartResult::kOtherCopyRuns) GTEST_SKIP() << kOtherCopy;
  ASSERT_EQ(started, StartResult::kLogged) << "first instance never logged";
  // The first run waits for INICIAR after this line.
  ASSERT_TRUE(WaitForLogText(sandbox, "UI = presiona INICIAR!", 30000))
      << "first instance never asked for INICIAR";
  const std::string program = NativeProgramPath(TOVI_PROGRAM_PATH);
  const std::string logBefore = sandbox.Read("log.txt");

  ChildProcess second;
  ASSERT_TRUE(second.Start(program, {}, TempDirEnvironment(sandbox)));
  int exitCode = -1;
  const uint32_t start = TickCount();
  ASSERT_TRUE(second.Wait(20000, &exitCode)) << "second instance kept running";
  EXPECT_EQ(exitCode, 0);
  EXPECT_LT(TickCount() - start, 15000u);
  int firstCode = 0;
  EXPECT_FALSE(first.Wait(0, &firstCode)) << "the first instance must still run";
  EXPECT_EQ(sandbox.Read("log.txt"), logBefore);

  const std::regex line(R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\] .*\r?)");
  const std::string log = sandbox.Read("log.txt");
  size_t lines = 0;
  for (size_t pos = 0; pos < log.size();) {
    const size_t end = log.find('\n', pos);
    ASSERT_NE(end, std::string::npos) << "last line not terminated";
    EXPECT_TRUE(std::regex_match(log.substr(pos, end - pos), line)) << log.substr(pos, end - pos);
    ++lines;
    pos = end + 1;
  }
  // Status lines, the free-space figure and the start banner.
  EXPECT_EQ(lines, 9u);
  first.Kill();
}

TEST(SingleInstanceTest, EachRunAppendsToTheLog) {
  if (AnotherCopyRuns()) GTEST_SKIP() << kOtherCopy;
  Sandbox sandbox;
  sandbox.Write("log.txt", "earlier run\n");
  for (size_t run = 1; run <= 2; ++run) {
    const std::string log = sandbox.Read("log.txt");
    ChildProcess child;
    const StartResult started = StartCopy(child, sandbox, run);
    if (started == StartResult::kOtherCopyRuns) GTEST_SKIP() << kOtherCopy;
    ASSERT_EQ(started, StartResult::kLogged) << "run " << run << " never logged";
    EXPECT_EQ(CountOf(sandbox.Read("log.txt"), "Sytem Start"), run);
    // What earlier runs wrote stays at the front.
    EXPECT_EQ(sandbox.Read("log.txt").rfind(log, 0), 0u);
    child.Kill();
  }
  EXPECT_EQ(sandbox.Read("log.txt").rfind("earlier run\n", 0), 0u);
}

}  // namespace
