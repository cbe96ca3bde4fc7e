// Started from a terminal, the program that reopens the shortcut becomes the
// new program itself (same process, same terminal), so the user keeps
// seeing it where they started it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "platform/narrow_text.h"
#include "platform/paths.h"
#include "platform/ticks.h"
#include "support/child_process.h"
#include "support/sandbox.h"
#include "support/scoped_env.h"
#include "workflow/desktop_shortcut.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> CommandLineOf(pid_t pid) {
  const std::string text = ReadFileBytes("/proc/" + std::to_string(pid) + "/cmdline");
  std::vector<std::string> args;
  std::string arg;
  for (char c : text) {
    if (c == '\0') {
      args.push_back(arg);
      arg.clear();
    } else {
      arg += c;
    }
  }
  return args;
}

TEST(RelaunchFromTerminalTest, TheProgramBecomesTheNewOneOnTheSameTerminal) {
  Sandbox sandbox;
  const std::string home = sandbox.Path("home");
  fs::create_directories(home + "/Desktop");
  const std::string partial = sandbox.Path("ToviSetup.exe.q9tovi");
  sandbox.Write("ToviSetup.exe.q9tovi", "");
  ScopedEnv env(
      {{"HOME", home}, {"XDG_CONFIG_HOME", home + "/.config"}, {"TMPDIR", sandbox.Dir()}});
  const std::string program = TOVI_PROGRAM_PATH;
  ASSERT_EQ(CreateShellLink(L"\"" + WidenText(program) + L"\"", L"\"" + WidenText(partial) + L"\"",
                            L"Continuar descargando", WidenText(DirectoryOf(program)),
                            GetShortcutPath(), WidenText(program), 0),
            0);

  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string terminal = ptsname(master);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, terminal.c_str(), O_RDWR, 0);
  std::vector<char*> argv{const_cast<char*>(program.c_str()), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);

  // The same process turns into the program started with the partial file.
  std::vector<std::string> args;
  const uint32_t start = TickCount();
  while (TickCount() - start < 30000) {
    args = CommandLineOf(pid);
    const std::string log = sandbox.Read("log.txt");
    if (args.size() == 2 && log.find("/resume?mid=") != std::string::npos) break;
    SleepMs(50);
  }
  EXPECT_EQ(args, (std::vector<std::string>{program, partial}));
  const std::string log = sandbox.Read("log.txt");
  // The old image logged the shell's answer as a successful open gives it
  // (above 32) before it was replaced, and no end banner.
  const size_t second = log.find("Sytem Start", log.find("Sytem Start") + 1);
  ASSERT_NE(second, std::string::npos) << log;
  const size_t shell = log.find(" res Shell 42\n");
  EXPECT_LT(shell, second) << log;
  EXPECT_EQ(log.find(" res Shell ", shell + 1), std::string::npos) << log;
  EXPECT_EQ(log.find("Sytem End"), std::string::npos) << log;
  EXPECT_NE(log.find("/resume?mid="), std::string::npos) << log;
  EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(pid) + "/cwd").string(),
            DirectoryOf(program));
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  // A copy started apart from this process, were the program to do so.
  (void)KillProgramInstances(fs::path(program).filename().string(), partial);
  close(master);
}

}  // namespace
