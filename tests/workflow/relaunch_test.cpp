// The real program, started by hand while the shortcut of an interrupted
// download is on the desktop: it must give up its single-instance lock and
// have the shortcut opened, so that the new process, started with the
// partial file, is not turned away and takes the resume path.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/narrow_text.h"
#include "platform/paths.h"
#include "platform/ticks.h"
#include "support/child_process.h"
#include "support/other_copy.h"
#include "support/sandbox.h"
#include "support/scoped_env.h"
#include "workflow/desktop_shortcut.h"

namespace fs = std::filesystem;

namespace {

size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1)) {
    ++count;
  }
  return count;
}

TEST(RelaunchTest, ShortcutStartsTheProgramAgainWithThePartialFile) {
  if (AnotherCopyRuns()) GTEST_SKIP() << kOtherCopy;
  Sandbox sandbox;
  const std::string home = sandbox.Path("home");
  const std::string tmp = sandbox.Path("tmp");
  fs::create_directories(home + "/Desktop");
  fs::create_directories(tmp);
  fs::create_directories(sandbox.Path("Mis juegos"));
  const std::map<std::string, std::string> env = {{"HOME", home},
                                                  {"XDG_CONFIG_HOME", home + "/.config"},
                                                  {"TMPDIR", tmp},
                                                  {"TMP", tmp},
                                                  {"TEMP", tmp}};
  ScopedEnv ownEnv(env);  // so GetShortcutPath here sees the child's desktop

  const std::string program = NativeProgramPath(TOVI_PROGRAM_PATH);
  const std::string programFile = fs::path(program).filename().string();
  const std::string partial = sandbox.Path("Mis juegos") + kPathSeparator + "ToviSetup.exe.q9tovi";
  sandbox.Write("Mis juegos/ToviSetup.exe.q9tovi", "");
  const std::string shortcut = GetShortcutPath();
  ASSERT_EQ(CreateShellLink(L"\"" + WidenText(program) + L"\"", L"\"" + WidenText(partial) + L"\"",
                            L"Continuar descargando", WidenText(DirectoryOf(program)), shortcut,
                            WidenText(program), 0),
            0);

  ChildProcess first;
  ASSERT_TRUE(first.Start(program, {}, env));
  int exitCode = -1;
  const bool ended = first.Wait(60000, &exitCode);
  const std::string log = tmp + kPathSeparator + "log.txt";
  std::string text;
  const uint32_t start = TickCount();
  while (TickCount() - start < 60000) {
    text = ReadFileBytes(log);
    if (CountOf(text, "Sytem Start") >= 2 && text.find("/resume?mid=") != std::string::npos) break;
    SleepMs(100);
  }
  // Every copy the shortcut started ends here, also one that went on to
  // start another.
  int killed = 0;
  for (int pass = 0, found = 1; pass < 50 && found > 0; ++pass) {
    found = KillProgramInstances(programFile, partial);
    killed += found;
    if (found > 0) SleepMs(100);
  }
  EXPECT_TRUE(ended) << "the first process did not end";
  EXPECT_EQ(exitCode, 0);

  // The first run: the shell's answer, no server contact, no end banner.
  const size_t second = text.find("Sytem Start", text.find("Sytem Start") + 1);
  ASSERT_NE(second, std::string::npos) << "the new process never started:\n" << text;
  const std::string firstRun = text.substr(0, second);
  EXPECT_NE(firstRun.find(" res Shell "), std::string::npos) << firstRun;
  EXPECT_EQ(firstRun.find("/start?"), std::string::npos);
  EXPECT_EQ(firstRun.find("/resume?"), std::string::npos);
  EXPECT_EQ(firstRun.find("Sytem End"), std::string::npos);
  // The new process took the resume path with the partial file.
  EXPECT_NE(text.find("/resume?mid=", second), std::string::npos) << text;
  EXPECT_EQ(text.find("UI = presiona INICIAR!", second), std::string::npos) << text;
  EXPECT_GE(killed, 0);
  std::error_code ignored;
  fs::remove(shortcut, ignored);
}

}  // namespace
