// Runs the real program twice: the second copy must end at once, silently.
#include <gtest/gtest.h>

#include <regex>

#include "app/instance_mutex.h"
#include "app/ticks.h"
#include "support/child_process.h"
#include "support/sandbox.h"

namespace {

std::map<std::string, std::string> TempDirEnvironment(const Sandbox& sandbox) {
  // GetTempPath reads TMP first; POSIX reads TMPDIR.
  return {{"TMPDIR", sandbox.Dir()}, {"TMP", sandbox.Dir()}, {"TEMP", sandbox.Dir()}};
}

constexpr const char* kOtherCopy =
    "a copy of the program that this test did not start is running on this machine and holds "
    "the single-instance lock";

// True when some other process holds the instance lock. Taking it to find
// out gives it back at once.
bool AnotherCopyRuns() {
  bool alreadyExists = false;
  const InstanceMutexHandle handle = CreateInstanceMutex(kInstanceMutexName, &alreadyExists);
  CloseInstanceMutex(handle);
  return handle != nullptr && alreadyExists;
}

// A started copy that ended at once while another copy holds the lock did
// what it should: the test cannot go on, but nothing failed.
bool EndedBecauseOfAnotherCopy(ChildProcess& child) {
  int exitCode = 0;
  return child.Wait(0, &exitCode) && AnotherCopyRuns();
}

bool WaitForLogText(const Sandbox& sandbox, const std::string& text, uint32_t timeoutMs) {
  const uint32_t start = TickCount();
  while (TickCount() - start < timeoutMs) {
    if (sandbox.Read("log.txt").find(text) != std::string::npos) return true;
    SleepMs(50);
  }
  return false;
}

TEST(SingleInstanceTest, SecondInstanceEndsAtOnceAndWritesNothing) {
  if (AnotherCopyRuns()) GTEST_SKIP() << kOtherCopy;
  Sandbox sandbox;
  const std::string program = NativeProgramPath(TOVI_PROGRAM_PATH);
  ChildProcess first;
  ASSERT_TRUE(first.Start(program, {}, TempDirEnvironment(sandbox)));
  if (!WaitForLogText(sandbox, "Sytem Start", 30000)) {
    if (EndedBecauseOfAnotherCopy(first)) GTEST_SKIP() << kOtherCopy;
    FAIL() << "first instance never logged";
  }
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
  EXPECT_EQ(lines, 4u);  // the start banner
  first.Kill();
}

TEST(SingleInstanceTest, EachRunAppendsToTheLog) {
  if (AnotherCopyRuns()) GTEST_SKIP() << kOtherCopy;
  Sandbox sandbox;
  sandbox.Write("log.txt", "earlier run\n");
  const std::string program = NativeProgramPath(TOVI_PROGRAM_PATH);
  for (int run = 1; run <= 2; ++run) {
    ChildProcess child;
    ASSERT_TRUE(child.Start(program, {}, TempDirEnvironment(sandbox)));
    const std::string log = sandbox.Read("log.txt");
    const uint32_t start = TickCount();
    size_t banners = 0;
    while (TickCount() - start < 30000) {
      const std::string now = sandbox.Read("log.txt");
      banners = 0;
      for (size_t pos = now.find("Sytem Start"); pos != std::string::npos;
           pos = now.find("Sytem Start", pos + 1)) {
        ++banners;
      }
      if (banners == static_cast<size_t>(run)) break;
      SleepMs(50);
    }
    if (banners != static_cast<size_t>(run) && EndedBecauseOfAnotherCopy(child)) {
      GTEST_SKIP() << kOtherCopy;
    }
    ASSERT_EQ(banners, static_cast<size_t>(run)) << "run " << run << " never logged";
    // What earlier runs wrote stays at the front.
    EXPECT_EQ(sandbox.Read("log.txt").rfind(log, 0), 0u);
    child.Kill();
  }
  EXPECT_EQ(sandbox.Read("log.txt").rfind("earlier run\n", 0), 0u);
}

}  // namespace
