#include "workflow/installer_handoff.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/ticks.h"
#include "stats/download_records.h"
#include "support/log_capture.h"
#include "support/sandbox.h"
#include "support/scoped_env.h"
#include "workflow/desktop_shortcut.h"
#include "workflow/part_check.h"
#include "workflow/text_file.h"

namespace {

// A home of the sandbox's own, so that the desktop shortcut lands there.
std::map<std::string, std::string> HomeIn(const Sandbox& sandbox) {
  return {{"HOME", sandbox.Path("home")}, {"XDG_CONFIG_HOME", sandbox.Path("home") + "/.config"}};
}

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
  std::string setup;
  ASSERT_TRUE(RenamePartialFiles(&setup));
  EXPECT_EQ(setup, sandbox_.Path("ToviSetup (2).exe"));
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

// The same installer downloaded twice into one folder leaves one set: a
// taken name that holds exactly the new bytes is kept and used.
TEST_F(RenameTest, ATakenNameWithTheSameBytesIsUsed) {
  Plan({"ToviSetup.exe", "ToviSetup-1.bin"});
  sandbox_.Write("ToviSetup.exe.q9tovi", "the setup");
  sandbox_.Write("ToviSetup-1.bin.q9tovi", "new part");
  sandbox_.Write("ToviSetup.exe", "the setup");
  sandbox_.Write("ToviSetup-1.bin", "old part");  // same name, other bytes
  std::string setup;
  ASSERT_TRUE(RenamePartialFiles(&setup));
  EXPECT_EQ(setup, sandbox_.Path("ToviSetup.exe"));
  EXPECT_FALSE(FileExists(sandbox_.Path("ToviSetup.exe.q9tovi")));
  EXPECT_FALSE(FileExists(sandbox_.Path("ToviSetup (1).exe")));
  EXPECT_EQ(sandbox_.Read("ToviSetup-1.bin"), "old part");
  EXPECT_EQ(sandbox_.Read("ToviSetup-1 (1).bin"), "new part");
}

TEST_F(RenameTest, FailuresEndTheHandOff) {
  // Ten names taken: part 0 stays, part 1 is not tried, nothing starts and
  // the shortcut stays.
  ScopedEnv env(HomeIn(sandbox_));
  const std::string shortcut = GetShortcutPath();
  std::filesystem::create_directories(DirectoryOf(shortcut));
  WriteTextFile(shortcut, "launcher");
  Plan({"parte1", "parte2"});
  sandbox_.Write("parte1.q9tovi", "x");
  sandbox_.Write("parte2.q9tovi", "y");
  sandbox_.Write("parte1", "");
  for (int n = 1; n <= 9; ++n) sandbox_.Write("parte1 (" + std::to_string(n) + ")", "");
  LogCapture log;
  EXPECT_EQ(LaunchInstaller(), HandOff::RenameFailed);
  EXPECT_TRUE(log.Contains("failed to rename setup"));
  EXPECT_TRUE(log.Contains("part 0: " + sandbox_.Path("parte1.q9tovi") + " could not be renamed"));
  EXPECT_EQ(sandbox_.Read("parte1.q9tovi"), "x");
  EXPECT_EQ(sandbox_.Read("parte2.q9tovi"), "y");
  EXPECT_TRUE(FileExists(shortcut));
  (void)RemoveFile(shortcut);

  // A partial file that is missing: every attempt fails.
  ResetDownloadRecordsForTesting();
  Plan({"missing.bin"});
  EXPECT_FALSE(RenamePartialFiles());
  EXPECT_FALSE(FileExists(sandbox_.Path("missing.bin")));

  // No part at all.
  ResetDownloadRecordsForTesting();
  LogCapture empty;
  EXPECT_EQ(LaunchInstaller(), HandOff::RenameFailed);
  EXPECT_TRUE(empty.Contains("failed to rename setup"));
}

// The name of part 0 is taken by another file: the file started is the one
// just downloaded, under the name it got, and the shortcut is gone before it
// starts. A blank and "(1)" in that name reach it as one word.
TEST_F(RenameTest, TheSetupStartedIsTheDownloadedOne) {
  ScopedEnv env(HomeIn(sandbox_));
  const std::string shortcut = GetShortcutPath();
  std::filesystem::create_directories(DirectoryOf(shortcut));
  WriteTextFile(shortcut, "launcher");
  ScopedEnv watch({{"TOVI_FAKE_SETUP_WATCH", shortcut}});
  Plan({"Tovi setup.exe"});
  std::filesystem::copy_file(TOVI_FAKE_SETUP_PATH, sandbox_.Path("Tovi setup.exe.q9tovi"));
  sandbox_.Write("Tovi setup.exe", "a file some other program left");
  const uint32_t start = TickCount();
  EXPECT_EQ(LaunchInstaller(), HandOff::Started);
  EXPECT_FALSE(FileExists(shortcut));
  const std::string started = sandbox_.Path("Tovi setup (1).exe");
  const std::string marker = started + ".ran";
  while (!FileExists(marker) && TickCount() - start < 20000) SleepMs(20);
  SleepMs(100);
  EXPECT_EQ(ReadFileBytes(marker).rfind("cwd ", 0), 0u) << ReadFileBytes(marker);
  EXPECT_NE(ReadFileBytes(marker).find("\nwatched absent\n"), std::string::npos);
  EXPECT_FALSE(FileExists(sandbox_.Path("Tovi setup.exe.ran")));
  EXPECT_EQ(sandbox_.Read("Tovi setup.exe"), "a file some other program left");
  std::error_code error;
  while (!std::filesystem::remove(started, error) && TickCount() - start < 30000) SleepMs(50);
}

TEST_F(RenameTest, EveryPartIsCheckedBeforeTheHandOff) {
  const std::string abcDigest = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  const struct {
    const char* name;
    std::string content;
    int64_t size;
    std::string digest;
    const char* reason;  // nullptr: the part passes
  } cases[] = {
      {"right size", "abc", 3, "", nullptr},
      {"size unknown", "abc", 0, "", nullptr},
      {"right digest", "abc", 3, abcDigest, nullptr},
      {"digest in capitals", "abc", 3,
       "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", nullptr},
      {"short", "ab", 3, "", ": 2 bytes, expected 3"},
      {"other bytes", "abd", 3, abcDigest,
       ": sha256 a52d159f262b2c6ddb724a61840befc36eb30c88877a4030b65cbe86298449c9, expected ba78"},
      {"missing", "", 3, "", ": missing"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ResetDownloadRecordsForTesting();
    SetDownloadPlan({"http://127.0.0.1/ok.bin", "http://127.0.0.1/part.bin"}, {3, c.size}, 0,
                    sandbox_.Dir(), {"", c.digest});
    sandbox_.Write("ok.bin.q9tovi", "abc");
    (void)RemoveFile(sandbox_.Path("part.bin.q9tovi"));
    if (std::string(c.name) != "missing") sandbox_.Write("part.bin.q9tovi", c.content);
    LogCapture log;
    EXPECT_EQ(VerifyPartialFiles(), c.reason == nullptr);
    if (c.reason != nullptr) {
      const std::string line = "part 1 not ready: " + sandbox_.Path("part.bin.q9tovi") + c.reason;
      const auto bodies = log.Bodies();
      ASSERT_EQ(bodies.size(), 1u);
      EXPECT_EQ(bodies[0].rfind(line, 0), 0u) << bodies[0];
    }
  }
  ResetDownloadRecordsForTesting();
  EXPECT_FALSE(VerifyPartialFiles());
}

TEST_F(RenameTest, ProgramThatCannotStartGivesTheSystemError) {
  EXPECT_NE(RunProgram(sandbox_.Path("no-such-program"), "", 1), 0);
}

TEST_F(RenameTest, ProgramStartsUnderItsBareNameAndIsNotWaitedFor) {
  // A name with a blank is one word of the command line, not split into
  // arguments; the program is found through the full path.
  const std::string program = sandbox_.Path("Tovi setup.exe");
  std::filesystem::copy_file(TOVI_FAKE_SETUP_PATH, program);
  const uint32_t start = TickCount();
  EXPECT_EQ(RunProgram(program, "--linger", 1), 0);
  EXPECT_LT(TickCount() - start, 6000u) << "waited for the program to end";
  const std::string marker = program + ".ran";
  while (!FileExists(marker) && TickCount() - start < 20000) SleepMs(20);
  SleepMs(100);
  EXPECT_EQ(ReadFileBytes(marker).rfind("arg --linger\ncwd ", 0), 0u) << ReadFileBytes(marker);
  // Windows keeps a running program's file: the sandbox goes once it ended.
  std::error_code error;
  while (!std::filesystem::remove(program, error) && TickCount() - start < 30000) SleepMs(50);
}

// A setup program in a folder whose name the ANSI code page cannot hold (a
// user's profile, "José Łukasz Юрий" on a Western system) is started all the
// same.
TEST_F(RenameTest, ProgramInAFolderOutsideTheCodePageStarts) {
  const std::string folder =
      sandbox_.Path("Jos\xC3\xA9 \xC5\x81ukasz \xD0\xAE\xD1\x80\xD0\xB8\xD0\xB9");
  std::filesystem::create_directories(Utf8Path(folder));
  const std::string program = folder + kPathSeparator + "ToviSetup.exe";
  std::filesystem::copy_file(TOVI_FAKE_SETUP_PATH, Utf8Path(program));
  const uint32_t start = TickCount();
  EXPECT_EQ(RunProgram(program, "", 1), 0);
  const std::string marker = program + ".ran";
  while (!FileExists(marker) && TickCount() - start < 20000) SleepMs(20);
  SleepMs(100);
  EXPECT_EQ(ReadFileBytes(marker).rfind("cwd ", 0), 0u) << ReadFileBytes(marker);
  std::error_code error;
  while (!std::filesystem::remove(Utf8Path(program), error) && TickCount() - start < 30000) {
    SleepMs(50);
  }
}

}  // namespace
