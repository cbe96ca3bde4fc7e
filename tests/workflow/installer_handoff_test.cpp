#include "workflow/installer_handoff.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"
#include "platform/ticks.h"
#include "stats/download_records.h"
#include "support/log_capture.h"
#include "support/sandbox.h"

namespace {

TEST(InstallerHandoff, RenameCandidates) {
  const struct {
    std::string target;
    int attempt;
    std::string expected;
  } cases[] = {
      {"dir/ToviSetup.exe", 0, "dir/ToviSetup.exe"},
      {"dir/ToviSetup.exe", 1, "dir/ToviSetup (1).exe"},
      {"dir/ToviSetup.exe", 9, "dir/ToviSetup (9).exe"},
      {"dir/part.tar.gz", 2, "dir/part.tar (2).gz"},
      {"dir/parte1", 3, "dir/parte1 (3)"},
      // The last dot of the whole path counts, also one in a directory name.
      {"v1.2/parte1", 1, "v1 (1).2/parte1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RenameCandidate(c.target, c.attempt), c.expected) << c.target << " " << c.attempt;
  }
}

class RenameTest : public testing::Test {
 protected:
  void SetUp() override { ResetDownloadRecordsForTesting(); }
  void TearDown() override { ResetDownloadRecordsForTesting(); }
  void Plan(const std::vector<std::string>& names) {
    for (const auto& name : names) {
      TheDownloadPlan.targetPaths.push_back(sandbox_.Path(name));
      TheDownloadPlan.partialPaths.push_back(sandbox_.Path(name) + ".q9tovi");
    }
  }
  Sandbox sandbox_;
};

TEST_F(RenameTest, TakenNamesGetTheNextNumberAndNothingIsOverwritten) {
  Plan({"ToviSetup.exe", "ToviSetup-1.bin"});
  sandbox_.Write("ToviSetup.exe.q9tovi", "new setup");
  sandbox_.Write("ToviSetup-1.bin.q9tovi", "new part");
  sandbox_.Write("ToviSetup.exe", "older setup");
  sandbox_.Write("ToviSetup (1).exe", "older copy");
  ASSERT_TRUE(RenamePartialFiles());
  EXPECT_EQ(sandbox_.Read("ToviSetup.exe"), "older setup");
  EXPECT_EQ(sandbox_.Read("ToviSetup (1).exe"), "older copy");
  EXPECT_EQ(sandbox_.Read("ToviSetup (2).exe"), "new setup");
  EXPECT_EQ(sandbox_.Read("ToviSetup-1.bin"), "new part");
  EXPECT_FALSE(FileExists(sandbox_.Path("ToviSetup.exe.q9tovi")));

  // Nine names taken: the tenth and last attempt is still made.
  ResetDownloadRecordsForTesting();
  Plan({"parte3"});
  sandbox_.Write("parte3.q9tovi", "z");
  sandbox_.Write("parte3", "");
  for (int n = 1; n <= 8; ++n) sandbox_.Write("parte3 (" + std::to_string(n) + ")", "");
  ASSERT_TRUE(RenamePartialFiles());
  EXPECT_EQ(sandbox_.Read("parte3 (9)"), "z");
}

TEST_F(RenameTest, FailuresEndTheHandOff) {
  // Ten names taken: part 0 stays, part 1 is not tried.
  Plan({"parte1", "parte2"});
  sandbox_.Write("parte1.q9tovi", "x");
  sandbox_.Write("parte2.q9tovi", "y");
  sandbox_.Write("parte1", "");
  for (int n = 1; n <= 9; ++n) sandbox_.Write("parte1 (" + std::to_string(n) + ")", "");
  LogCapture log;
  EXPECT_FALSE(LaunchInstaller());
  EXPECT_TRUE(log.Contains("failed to rename setup"));
  EXPECT_EQ(sandbox_.Read("parte1.q9tovi"), "x");
  EXPECT_EQ(sandbox_.Read("parte2.q9tovi"), "y");

  // A partial file that is missing: every attempt fails.
  ResetDownloadRecordsForTesting();
  Plan({"missing.bin"});
  EXPECT_FALSE(RenamePartialFiles());
  EXPECT_FALSE(FileExists(sandbox_.Path("missing.bin")));

  // No part at all.
  ResetDownloadRecordsForTesting();
  LogCapture empty;
  EXPECT_FALSE(LaunchInstaller());
  EXPECT_TRUE(empty.Contains("failed to rename setup"));
}

TEST_F(RenameTest, ProgramThatCannotStartGivesTheSystemError) {
  EXPECT_NE(RunProgram(sandbox_.Path("no-such-program"), "", 1), 0);
}

TEST_F(RenameTest, ProgramStartsUnderItsBareNameAndIsNotWaitedFor) {
  // A name with a blank reaches the program split, as its command line is
  // the bare name unquoted; the program is found through the full path.
  const std::string program = sandbox_.Path("Tovi setup.exe");
  std::filesystem::copy_file(TOVI_FAKE_SETUP_PATH, program);
  const uint32_t start = TickCount();
  EXPECT_EQ(RunProgram(program, "--linger", 1), 0);
  EXPECT_LT(TickCount() - start, 6000u) << "waited for the program to end";
  const std::string marker = program + ".ran";
  while (!FileExists(marker) && TickCount() - start < 20000) SleepMs(20);
  SleepMs(100);
  EXPECT_EQ(ReadFileBytes(marker).rfind("arg setup.exe\narg --linger\ncwd ", 0), 0u);
  // Windows keeps a running program's file: the sandbox goes once it ended.
  std::error_code error;
  while (!std::filesystem::remove(program, error) && TickCount() - start < 30000) SleepMs(50);
}

}  // namespace
