// Runs the real program twice: the second copy must end at once, silently.
#include <gtest/gtest.h>

#include <regex>

#include "app/ticks.h"
#include "support/child_process.h"
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

bool WaitForLogText(const Sandbox& sandbox, const std::string& text, uint32_t timeoutMs) {
  const uint32_t start = TickCount();
  while (TickCount() - start < timeoutMs) {
    if (sandbox.Read("log.txt").find(text) != std::string::npos) return true;
    SleepMs(50);
  }
  return false;
}

TEST(SingleInstanceTest, SecondInstanceEndsAtOnceAndWritesNothing) {
  Sandbox sandbox;
  const std::string program = NativeProgramPath(TOVI_PROGRAM_PATH);
  ChildProcess first;
  ASSERT_TRUE(first.Start(program, {}, TempDirEnvironment(sandbox)));
  // The first run waits for INICIAR after this line.
  ASSERT_TRUE(WaitForLogText(sandbox, "UI = presiona INICIAR!", 30000))
      << "first instance never logged";
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
    ASSERT_EQ(banners, static_cast<size_t>(run)) << "run " << run << " never logged";
    // What earlier runs wrote stays at the front.
    EXPECT_EQ(sandbox.Read("log.txt").rfind(log, 0), 0u);
    child.Kill();
  }
  EXPECT_EQ(sandbox.Read("log.txt").rfind("earlier run\n", 0), 0u);
}

}  // namespace
