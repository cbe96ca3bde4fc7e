// A delay-loaded DLL or function that cannot be had ends the program with a
// message box and a log line, not with an exception nobody catches.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/ticks.h"
#include "support/child_process.h"
#include "support/sandbox.h"

namespace {

TEST(DelayLoadFailureTest, EndsWithAMessageAndALogLine) {
  const struct {
    const char* which;
    const char* logLine;
  } cases[] = {
      {"dll", "could not load tovi-absent.dll from the system folder (error 126)"},
      {"function",
       "could not load iphlpapi.dll ToviAbsentExport from the system folder (error 127)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.which);
    Sandbox sandbox;
    ChildProcess probe;
    ASSERT_TRUE(probe.Start(NativeProgramPath(TOVI_DELAY_PROBE_PATH),
                            {c.which, sandbox.Path("log.txt")}, {}));
    // Closes the message box when it shows, until the probe ends.
    bool boxShown = false;
    bool ended = false;
    int exitCode = -1;
    const uint32_t start = TickCount();
    while (!ended && TickCount() - start < 30000) {
      if (HWND box = FindWindowW(L"#32770", L"Tovi Downloader")) {
        boxShown = true;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
      }
      ended = probe.Wait(50, &exitCode);
    }
    EXPECT_TRUE(boxShown) << "no message box";
    ASSERT_TRUE(ended) << "the probe kept running";
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(sandbox.Read("log.txt").find(c.logLine), std::string::npos)
        << sandbox.Read("log.txt");
  }
}

}  // namespace
