// Where the program keeps its temporary files, its log and its lock outside
// Windows: places no other local user can write, under names no planted link
// can redirect.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/file_open.h"
#include "platform/files.h"
#include "platform/instance_mutex.h"
#include "platform/log.h"
#include "platform/private_directory.h"
#include "support/sandbox.h"
#include "support/scoped_env.h"

namespace fs = std::filesystem;

namespace {

std::string MakeDir(const Sandbox& sandbox, const std::string& name, mode_t mode) {
  const std::string path = sandbox.Path(name);
  fs::create_directories(path);
  ::chmod(path.c_str(), mode);
  return path;
}

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info.st_mode & 07777;
}

TEST(PrivateFiles, TemporaryDirectoryIsOnlyEverAPrivateOne) {
  Sandbox sandbox;
  const std::string own = MakeDir(sandbox, "own", 0700);
  const std::string run = MakeDir(sandbox, "run", 0700);
  const std::string shared = MakeDir(sandbox, "shared", 01777);
  const std::string others = MakeDir(sandbox, "others", 0700);
  const bool chowned = ::chown(others.c_str(), ::geteuid() + 4242, ::getegid()) == 0;
  fs::create_directory_symlink(own, sandbox.Path("link"));
  const std::string fallback = "/tmp/tovi-" + std::to_string(::geteuid());
  const struct {
    const char* name;
    std::string tmpdir;
    std::string runtime;
    std::string expected;
  } cases[] = {
      {"private TMPDIR", own, run, own},
      {"private TMPDIR with a separator", own + "/", "", own + "/"},
      {"world-writable TMPDIR", shared, run, run},
      {"TMPDIR is a link", sandbox.Path("link"), run, run},
      {"no TMPDIR", "", run, run},
      {"world-writable runtime directory", "", shared, fallback},
      {"relative runtime directory", "", "run", fallback},
      {"another user's TMPDIR", chowned ? others : shared, run, run},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedEnv env({{"TMPDIR", c.tmpdir}, {"XDG_RUNTIME_DIR", c.runtime}});
    EXPECT_EQ(TemporaryDirectory(), c.expected);
  }
  EXPECT_TRUE(IsPrivateDirectory(fallback));
  EXPECT_EQ(ModeOf(fallback) & 077, 0u);
}

// The log holds the machine identifier: it is the user's alone, and a link
// planted under its name is not written through.
TEST(PrivateFiles, LogIsTheUsersAloneAndFollowsNoLink) {
  Sandbox sandbox;
  const int savedStderr = ::dup(STDERR_FILENO);
  ASSERT_GE(savedStderr, 0);
  VerboseLogging = true;

  SetLogPath(sandbox.Path("log.txt"));
  OpenLog();
  LogLine("into the log");
  EXPECT_EQ(ModeOf(sandbox.Path("log.txt")), 0600u);
  EXPECT_NE(sandbox.Read("log.txt").find("into the log"), std::string::npos);

  sandbox.Write("victim", "untouched");
  fs::create_symlink(sandbox.Path("victim"), sandbox.Path("linked.txt"));
  SetLogPath(sandbox.Path("linked.txt"));
  OpenLog();
  LogLine("must go nowhere");

  VerboseLogging = false;
  RedirectLogForTesting(stderr);
  ::dup2(savedStderr, STDERR_FILENO);
  ::close(savedStderr);
  EXPECT_EQ(sandbox.Read("victim"), "untouched");
}

TEST(PrivateFiles, LockFileIsTheUsersAloneAndFollowsNoLink) {
  Sandbox sandbox;
  const std::string run = MakeDir(sandbox, "run", 0700);
  ScopedEnv env({{"XDG_RUNTIME_DIR", run}});
  bool alreadyExists = true;
  InstanceMutexHandle handle = CreateInstanceMutex("Global\\x/y", &alreadyExists);
  ASSERT_NE(handle, nullptr);
  EXPECT_FALSE(alreadyExists);
  EXPECT_EQ(ModeOf(run + "/tovi-Global_x_y.lock"), 0600u);
  CloseInstanceMutex(handle);

  sandbox.Write("victim", "untouched");
  fs::create_symlink(sandbox.Path("victim"), run + "/tovi-planted.lock");
  EXPECT_EQ(CreateInstanceMutex("planted", &alreadyExists), nullptr);
  EXPECT_EQ(sandbox.Read("victim"), "untouched");
}

// A download never writes through a link, and a file it creates is new.
TEST(PrivateFiles, DownloadTargetsFollowNoLink) {
  Sandbox sandbox;
  sandbox.Write("victim", "untouched");
  fs::create_symlink(sandbox.Path("victim"), sandbox.Path("link"));
  fs::create_symlink(sandbox.Path("nowhere"), sandbox.Path("dangling"));
  sandbox.Write("existing", "old");
  const struct {
    const char* name;
    FileOpen how;
    bool opens;
  } cases[] = {
      {"link", FileOpen::Truncate, false}, {"link", FileOpen::Append, false},
      {"link", FileOpen::New, false},      {"dangling", FileOpen::New, false},
      {"existing", FileOpen::New, false},  {"existing", FileOpen::Append, true},
      {"fresh", FileOpen::New, true},
  };
  for (const auto& c : cases) {
    std::FILE* file = OpenFileForWriting(sandbox.Path(c.name), c.how);
    EXPECT_EQ(file != nullptr, c.opens) << c.name << " " << static_cast<int>(c.how);
    if (file != nullptr) {
      std::fputs("+", file);
      std::fclose(file);
    }
  }
  EXPECT_EQ(sandbox.Read("victim"), "untouched");
  EXPECT_FALSE(fs::exists(sandbox.Path("nowhere")));
  EXPECT_EQ(sandbox.Read("existing"), "old+");
  EXPECT_EQ(sandbox.Read("fresh"), "+");
}

}  // namespace
