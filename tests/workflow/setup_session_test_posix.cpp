// The setup program outlives a downloader that leads the session of a
// terminal: a terminal that ran it directly, a launcher with Terminal=true,
// the relaunch that replaced the process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/files.h"
#include "platform/ticks.h"
#include "support/sandbox.h"
#include "workflow/installer_handoff.h"

namespace {

// Running, and not merely a zombie nobody reaped yet.
bool Alive(pid_t pid) {
  const std::string stat = ReadFileBytes("/proc/" + std::to_string(pid) + "/stat");
  const size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

TEST(SetupSessionTest, SetupOutlivesTheSessionLeaderThatStartedIt) {
  Sandbox sandbox;
  const std::string setup = sandbox.Path("ToviSetup.exe");
  std::filesystem::copy_file(TOVI_FAKE_SETUP_PATH, setup);
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string terminal = ptsname(master);

  const pid_t leader = fork();
  ASSERT_GE(leader, 0);
  if (leader == 0) {
    // The downloader as the session leader of the terminal, which ends as
    // soon as the setup has started.
    if (setsid() < 0) _exit(2);
    const int slave = open(terminal.c_str(), O_RDWR);
    if (slave < 0 || ioctl(slave, TIOCSCTTY, 0) != 0) _exit(3);
    dup2(slave, STDIN_FILENO);
    dup2(slave, STDOUT_FILENO);
    dup2(slave, STDERR_FILENO);
    _exit(RunProgram(setup, "--linger", 0) == 0 ? 0 : 4);
  }
  int status = 0;
  ASSERT_EQ(waitpid(leader, &status, 0), leader);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);

  const std::string marker = setup + ".ran";
  const uint32_t start = TickCount();
  while (ReadFileBytes(marker).find("pid ") == std::string::npos && TickCount() - start < 10000) {
    SleepMs(20);
  }
  const std::string text = ReadFileBytes(marker);
  const size_t at = text.find("pid ");
  ASSERT_NE(at, std::string::npos) << "the setup program did not start";
  const pid_t pid = static_cast<pid_t>(std::atoi(text.c_str() + at + 4));
  ASSERT_GT(pid, 0);
  // The hang-up goes out the moment the leader ends; give it time to land.
  SleepMs(500);
  EXPECT_TRUE(Alive(pid)) << "the setup program died with the downloader";
  kill(pid, SIGKILL);
  close(master);
}

}  // namespace
