#include "workflow/prerequisites.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/log.h"
#include "platform/narrow_text.h"
#include "platform/wait.h"
#include "support/bounded_run.h"
#include "support/log_capture.h"
#include "support/stand_in_window.h"
#include "ui/ui_commands.h"
#include "ui/ui_state.h"

namespace {

double FreeSpace(long long bytes) { return static_cast<double>(bytes) / 1e9; }
double Exactly500MB() { return FreeSpace(500000000); }
double OneByteShort() { return FreeSpace(499999999); }

TEST(Prerequisites, ExactlyTheLimitPasses) {
  LogCapture log;
  // A refusal would wait for a click that never comes.
  RunWithin(
      10000, "the check of exactly the limit", [] { CheckPrerequisites(Exactly500MB); },
      [&] {
        return "log:\n" + log.Raw() + "shown: " + NarrowText(TheUiState.StatusText()) + " / " +
               NarrowText(TheUiState.DetailText());
      });
  EXPECT_TRUE(log.Contains("UI = detectando prerrequisitos..."));
  EXPECT_EQ(TheUiState.DetailText(), L"");
}

// The failure display ends the process: run it in a child and read what it
// logged on its standard error.
void FailWithTooLittleSpace() {
  RedirectLogForTesting(stderr);
  VerboseLogging = true;
  // The window shows the display and the user closes it.
  StandInWindow window({StandInWindow::kErrorDisplay});
  window.OnCommand([](const SeenCommand& command) {
    if (command.code == UI_STATUS && command.parameter == 1) {
      std::fprintf(stderr, "shown: %s / %s\n", NarrowText(TheUiState.StatusText()).c_str(),
                   NarrowText(TheUiState.DetailText()).c_str());
    }
  });
  CheckPrerequisites(OneByteShort);
  std::fputs("returned\n", stderr);
}

TEST(PrerequisitesDeathTest, OneByteShortShowsTheFailureAndEnds) {
  testing::GTEST_FLAG(death_test_style) = "threadsafe";
  EXPECT_EXIT(FailWithTooLittleSpace(), testing::ExitedWithCode(0),
              "shown: ha ocurrido un fallo, por favor, intenta nuevamente m.*s tarde / "
              "error: se requiere un m.*nimo de 500 MB libres en disco");
}

TEST(Prerequisites, RealDiskFigure) {
  LogCapture log;
  const double gb = GetFreeDiskSpaceGB();
  EXPECT_GT(gb, 0.0);
  CHardDiskManager disk;
  ASSERT_TRUE(disk.QueryCurrentDrive());
  EXPECT_LE(disk.freeBytesAvailable, disk.totalBytes);
  EXPECT_NEAR(gb, static_cast<double>(disk.freeBytesAvailable) / 1e9, 1.0);
  ASSERT_EQ(log.Bodies().size(), 1u);
  EXPECT_EQ(log.Bodies()[0].rfind("free space in disk: ", 0), 0u);
}

}  // namespace
