// The desktop directory and the desktop launcher of the Linux program.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/desktop_path.h"
#include "platform/module_path.h"
#include "stats/download_records.h"
#include "support/log_capture.h"
#include "support/sandbox.h"
#include "support/scoped_env.h"
#include "workflow/command_line.h"
#include "workflow/desktop_entry.h"
#include "workflow/desktop_shortcut.h"
#include "workflow/shortcut_reader.h"

namespace {

TEST(DesktopPath, FromTheUserDirsFileElseHomeDesktop) {
  Sandbox sandbox;
  const std::string home = sandbox.Path("home");
  const std::string config = sandbox.Path("config");
  std::filesystem::create_directories(config);
  const struct {
    const char* dirs;  // nullptr: no file
    std::string expected;
  } cases[] = {
      {nullptr, home + "/Desktop"},
      {"XDG_DESKTOP_DIR=\"$HOME/Escritorio\"\n", home + "/Escritorio"},
      {"# comment\nXDG_DOWNLOAD_DIR=\"$HOME/x\"\n  XDG_DESKTOP_DIR=\"/srv/Mesa \\\"1\\\"\"\n",
       "/srv/Mesa \"1\""},
      {"XDG_DESKTOP_DIR=\"$HOME\"\n", home},
      {"XDG_DESKTOP_DIR=relative\n", home + "/Desktop"},
      {"XDG_DESKTOP_DIR=\"$HOMEX/a\"\n", home + "/Desktop"},
  };
  ScopedEnv env({{"HOME", home}, {"XDG_CONFIG_HOME", config}});
  for (const auto& c : cases) {
    std::filesystem::remove(config + "/user-dirs.dirs");
    if (c.dirs != nullptr) sandbox.Write("config/user-dirs.dirs", c.dirs);
    EXPECT_EQ(GetDesktopPath(), c.expected) << (c.dirs ? c.dirs : "no file");
  }
  // Without a home the last desktop found stands.
  ScopedEnv noHome(std::map<std::string, std::string>{{"HOME", ""}});
  EXPECT_EQ(GetDesktopPath(), home + "/Desktop");
}

TEST(DesktopLauncher, ExecutableWhateverTheUmask) {
  Sandbox sandbox;
  std::filesystem::create_directories(sandbox.Path("Desktop"));
  ScopedEnv env({{"HOME", sandbox.Dir()}, {"XDG_CONFIG_HOME", sandbox.Path("none")}});
  ResetDownloadRecordsForTesting();
  TheDownloadPlan.partialPaths = {sandbox.Path("p.q9tovi")};
  const mode_t old = umask(077);
  const int result = CreateDesktopShortcut();
  umask(old);
  ASSERT_EQ(result, 0);
  struct stat info;
  ASSERT_EQ(stat(GetShortcutPath().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0755u);
  ResetDownloadRecordsForTesting();
}

// The launcher names the partial file exactly, whatever a Linux file name
// holds, read back by the launcher's own Exec rules.
TEST(DesktopLauncher, NamesThePartialFileWhateverItsName) {
  Sandbox sandbox;
  std::filesystem::create_directories(sandbox.Path("Desktop"));
  ScopedEnv env({{"HOME", sandbox.Dir()}, {"XDG_CONFIG_HOME", sandbox.Path("none")}});
  const char* names[] = {
      "ToviSetup.exe.q9tovi",
      "Tovi \"beta\".q9tovi",
      "a\"",
      "\"",
      "dollar $HOME `x`.q9tovi",
      "back\\slash\\",
      "50% 'done'.q9tovi",
      "tab\there",
      "  blanks  ",
  };
  for (const char* name : names) {
    ResetDownloadRecordsForTesting();
    TheDownloadPlan.partialPaths = {sandbox.Path(name)};
    ASSERT_EQ(CreateDesktopShortcut(), 0) << name;
    ShortcutCommand command;
    ASSERT_TRUE(ReadShortcut(GetShortcutPath(), &command)) << name;
    ASSERT_EQ(command.arguments.size(), 2u) << name;
    EXPECT_EQ(command.arguments[1], sandbox.Path(name));
  }
  ResetDownloadRecordsForTesting();
}

TEST(DesktopLauncher, OneThatCannotBeParsedStartsNothing) {
  Sandbox sandbox;
  const struct {
    const char* name;
    const char* content;
  } cases[] = {
      {"open-quote.desktop", "[Desktop Entry]\nType=Application\nExec=\"/bin/true\n"},
      {"link.desktop", "[Desktop Entry]\nType=Link\nURL=http://127.0.0.1/\n"},
      {"empty.desktop", ""},
  };
  for (const auto& c : cases) {
    sandbox.Write(c.name, c.content);
    LogCapture log;
    EXPECT_EQ(OpenShortcut(sandbox.Path(c.name)), 2) << c.name;
    EXPECT_TRUE(log.Contains("could not read the desktop launcher " + sandbox.Path(c.name)));
  }
  LogCapture log;
  EXPECT_EQ(OpenShortcut(sandbox.Path("missing.desktop")), 2);
  EXPECT_EQ(log.Bodies().size(), 1u);
}

// A launcher runs this program with the partial file and nothing else: a
// file of that name that says otherwise is logged and not run, and a link
// or a FIFO there is not even read.
TEST(DesktopLauncher, RunsOnlyThisProgramWithAPartialFile) {
  Sandbox sandbox;
  const std::string marker = sandbox.Path("ran.q9tovi");
  auto launcher = [](const std::vector<std::string>& arguments) {
    DesktopEntry entry;
    entry.name = "Continuar descargando Tovi";
    entry.exec = BuildExecLine(arguments);
    return FormatDesktopEntry(entry);
  };
  const struct {
    const char* name;
    std::vector<std::string> arguments;
  } cases[] = {
      {"other-program.desktop", {"/usr/bin/touch", marker}},
      {"no-argument.desktop", {ModuleFileName()}},
      {"other-argument.desktop", {ModuleFileName(), sandbox.Path("ran.txt")}},
      {"bare-suffix.desktop", {ModuleFileName(), ".q9tovi"}},
      {"two-arguments.desktop", {ModuleFileName(), marker, marker}},
  };
  for (const auto& c : cases) {
    sandbox.Write(c.name, launcher(c.arguments));
    LogCapture log;
    EXPECT_EQ(OpenShortcut(sandbox.Path(c.name)), 0) << c.name;
    ASSERT_EQ(log.Bodies().size(), 1u) << c.name;
    EXPECT_EQ(log.Bodies()[0].rfind("the desktop launcher " + sandbox.Path(c.name) +
                                        " runs something else, not started: ",
                                    0),
              0u)
        << log.Bodies()[0];
  }
  EXPECT_FALSE(std::filesystem::exists(marker));

  std::filesystem::create_symlink(sandbox.Path("other-program.desktop"), sandbox.Path("link"));
  // A FIFO holding a launcher: a reader that took it would wait for its end,
  // which a helper thread brings half a second later at the latest.
  ASSERT_EQ(mkfifo(sandbox.Path("fifo").c_str(), 0600), 0);
  const int holder = ::open(sandbox.Path("fifo").c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(holder, 0);
  const std::string content = launcher({ModuleFileName(), marker});
  ASSERT_EQ(::write(holder, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  std::thread closer([holder] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ::close(holder);
  });
  for (const char* name : {"link", "fifo"}) {
    LogCapture log;
    EXPECT_EQ(OpenShortcut(sandbox.Path(name)), 2) << name;
    EXPECT_TRUE(log.Contains("could not read the desktop launcher " + sandbox.Path(name)));
  }
  closer.join();
}

// The launcher is written under a name beside it that is made new: a link
// planted there is replaced, never written through.
TEST(DesktopLauncher, WritingFollowsNoPlantedLink) {
  Sandbox sandbox;
  std::filesystem::create_directories(sandbox.Path("Desktop"));
  ScopedEnv env({{"HOME", sandbox.Dir()}, {"XDG_CONFIG_HOME", sandbox.Path("none")}});
  sandbox.Write("victim", "untouched");
  std::filesystem::create_symlink(sandbox.Path("victim"), GetShortcutPath() + ".new");
  ResetDownloadRecordsForTesting();
  TheDownloadPlan.partialPaths = {sandbox.Path("p.q9tovi")};
  EXPECT_EQ(CreateDesktopShortcut(), 0);
  EXPECT_EQ(sandbox.Read("victim"), "untouched");
  EXPECT_NE(ReadFileBytes(GetShortcutPath()).find("p.q9tovi"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(GetShortcutPath() + ".new"));
  ResetDownloadRecordsForTesting();
}

}  // namespace
