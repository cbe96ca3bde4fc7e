#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/exit.h"
#include "platform/instance_mutex.h"
#include "platform/log.h"
#include "platform/module_path.h"
#include "platform/narrow_text.h"
#include "workflow/command_line.h"
#include "workflow/desktop_entry.h"
#include "workflow/desktop_shortcut.h"

extern char** environ;

const char* const kShortcutExtension = ".desktop";

namespace {
// A themed name every icon theme carries; the program file is no image.
constexpr const char* kLauncherIcon = "system-software-install";
// Result codes in the shell's manner: above 32 is success.
constexpr int kStarted = 42;
constexpr int kNotReadable = 2;
constexpr int kNotStarted = 0;

// A launcher is read only when it is a plain file under that name: a link
// is not followed and a FIFO does not block the program.
std::string ReadWholeFile(const std::string& path, bool* ok) {
  std::string content;
  *ok = false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return content;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return content;
  }
  char buffer[4096];
  ssize_t got = 0;
  // A launcher is a few lines; anything huge is not one.
  while (content.size() < (1u << 20) && (got = ::read(fd, buffer, sizeof buffer)) != 0) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    content.append(buffer, static_cast<size_t>(got));
  }
  ::close(fd);
  *ok = got >= 0;
  return content;
}

std::string launcherProgramForTesting;

// The only thing a launcher of ours runs: this program, with the partial
// file of the first part. Whoever can write the desktop must not be able to
// have the program run something else.
bool RunsThisProgramOnly(const std::vector<std::string>& arguments) {
  constexpr std::string_view kPartialSuffix = ".q9tovi";
  const std::string program =
      launcherProgramForTesting.empty() ? ModuleFileName() : launcherProgramForTesting;
  return arguments.size() == 2 && arguments[0] == program &&
         arguments[1].size() > kPartialSuffix.size() &&
         std::string_view(arguments[1]).substr(arguments[1].size() - kPartialSuffix.size()) ==
             kPartialSuffix;
}
}  // namespace

void SetLauncherProgramForTesting(const std::string& program) {
  launcherProgramForTesting = program;
}

int CreateShellLink(const std::wstring& target, const std::wstring& arguments,
                    const std::wstring& description, const std::wstring& workingDirectory,
                    const std::string& shortcutPath, const std::wstring&, int) {
  DesktopEntry entry;
  entry.name = "Continuar descargando Tovi";
  entry.comment = NarrowText(description);
  entry.exec = BuildExecLine(ShellLinkCommand(NarrowText(target), NarrowText(arguments)));
  entry.path = NarrowText(workingDirectory);
  entry.icon = kLauncherIcon;
  // The program talks to its user in a terminal.
  entry.terminal = true;
  const std::string content = FormatDesktopEntry(entry);

  // Written beside and renamed into place, so a reader never sees half a
  // launcher and an existing one is replaced whole. The name beside is made
  // new: whatever stands there (a leftover, a planted link) is removed, not
  // written through.
  const std::string temporary = shortcutPath + ".new";
  ::unlink(temporary.c_str());
  const int fd =
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0755);
  if (fd < 0) return -1;
  bool ok = ::fchmod(fd, 0755) == 0;  // whatever the umask says
  for (size_t done = 0; ok && done < content.size();) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temporary.c_str(), shortcutPath.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return -1;
  }
  return 0;
}

int OpenShortcut(const std::string& shortcutPath) {
  bool readable = false;
  const std::string content = ReadWholeFile(shortcutPath, &readable);
  DesktopEntry entry;
  std::vector<std::string> arguments;
  if (!readable || !ParseDesktopEntry(content, &entry) ||
      !SplitExecLine(entry.exec, entry, shortcutPath, &arguments)) {
    LogLine("could not read the desktop launcher " + shortcutPath);
    return kNotReadable;
  }
  if (!RunsThisProgramOnly(arguments)) {
    LogLine("the desktop launcher " + shortcutPath +
            " runs something else, not started: " + entry.exec);
    return kNotStarted;
  }
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  ReleaseInstanceMutex();
  if (::isatty(STDIN_FILENO)) {
    // The user sees the program in this terminal: the new one takes it over.
    // The shell's answer is logged now, as a successful open gives it, since
    // this image does not come back to log it.
    LogFormat(" res Shell %d\n", kStarted);
    RunBeforeExitHook();
    FlushLog();
    if (!entry.path.empty() && ::chdir(entry.path.c_str()) != 0) {
      LogLine("could not enter " + entry.path);
      return kNotStarted;
    }
    ::execv(argv[0], argv.data());
    const int error = errno;
    LogLine("could not start " + arguments[0] + ": " + std::strerror(error));
    return kNotStarted;
  }

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // A session of its own, so the new program outlives this one.
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!entry.path.empty()) posix_spawn_file_actions_addchdir_np(&actions, entry.path.c_str());
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    LogLine("could not start " + arguments[0]);
    return kNotStarted;
  }
  return kStarted;
}
