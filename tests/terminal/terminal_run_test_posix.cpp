// Whole runs of the real tovi-downloader in a pseudo-terminal against the
// real tovi-server on 127.0.0.1:8101 (the program's built-in address), driven
// by keys as a user would. The screen is checked on the terminal output with
// escape sequences and blanks taken out, since curses redraws only what
// changed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/sandbox.h"

namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Terminal output without escape sequences, blanks and line ends.
std::string Plain(const std::string& raw) {
  std::string text;
  for (size_t i = 0; i < raw.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(raw[i]);
    if (c == 0x1b) {
      if (i + 1 < raw.size() && raw[i + 1] == ']') {
        // A title: up to its BEL.
        while (i < raw.size() && raw[i] != '\a') ++i;
      } else if (i + 1 < raw.size() && raw[i + 1] == '[') {
        i += 2;
        while (i < raw.size() && !(raw[i] >= 0x40 && raw[i] <= 0x7e)) ++i;
      } else if (i + 1 < raw.size() && (raw[i + 1] == '(' || raw[i + 1] == ')')) {
        i += 2;
      } else {
        ++i;
      }
      continue;
    }
    if (c > ' ') text += static_cast<char>(c);
  }
  return text;
}

// What the program did to the terminal's title, in order: "save" and
// "restore" for the push and pop of the title stack, else the title set.
std::vector<std::string> Titles(const std::string& raw) {
  const std::string save = "\033[22;0t", restore = "\033[23;0t", set = "\033]2;";
  std::vector<std::string> titles;
  for (size_t i = raw.find('\033'); i != std::string::npos; i = raw.find('\033', i + 1)) {
    if (raw.compare(i, save.size(), save) == 0) {
      titles.push_back("save");
    } else if (raw.compare(i, restore.size(), restore) == 0) {
      titles.push_back("restore");
    } else if (raw.compare(i, set.size(), set) == 0) {
      const size_t end = raw.find('\a', i);
      if (end == std::string::npos) break;
      titles.push_back(raw.substr(i + set.size(), end - i - set.size()));
    }
  }
  return titles;
}

// The percentages of the running titles ("Tovi 42 %"), in order.
std::vector<int> TitlePercents(const std::vector<std::string>& titles) {
  std::vector<int> percents;
  for (const auto& title : titles) {
    int percent = -1;
    if (std::sscanf(title.c_str(), "Tovi %d %%", &percent) == 1) percents.push_back(percent);
  }
  return percents;
}

std::string Joined(const std::vector<std::string>& titles) {
  std::string text;
  for (const auto& title : titles) text += "[" + title + "]";
  return text;
}

std::string NoBlanks(std::string text) {
  std::erase(text, ' ');
  return text;
}

class PtyProgram {
 public:
  ~PtyProgram() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) ::close(master_);
  }
  bool Start(const std::vector<std::string>& env, const std::string& dir, int columns, int rows) {
    winsize size{static_cast<unsigned short>(rows), static_cast<unsigned short>(columns), 0, 0};
    pid_ = ::forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      if (::chdir(dir.c_str()) != 0) _exit(126);
      for (const auto& entry : env) ::putenv(const_cast<char*>(entry.c_str()));
      ::execl(TOVI_PROGRAM_PATH, TOVI_PROGRAM_PATH, static_cast<char*>(nullptr));
      _exit(127);
    }
    ::fcntl(master_, F_SETFL, O_NONBLOCK);
    return true;
  }
  // The workflow clears the start signal just after it shows INICIAR, so a
  // key faster than any person is let through only after a short pause.
  void SendAsAPerson(const std::string& keys) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Send(keys);
  }
  void Send(const std::string& keys) { (void)!::write(master_, keys.data(), keys.size()); }
  void Resize(int columns, int rows) {
    winsize size{static_cast<unsigned short>(rows), static_cast<unsigned short>(columns), 0, 0};
    ::ioctl(master_, TIOCSWINSZ, &size);
  }
  // Reads output until the plain text after offset contains what (blanks
  // ignored) or ms pass. The search starts at offset in the plain text.
  bool WaitFor(const std::string& what, int ms, size_t offset = 0) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    const std::string wanted = NoBlanks(what);
    for (;;) {
      if (Plain(raw_).find(wanted, offset) != std::string::npos) return true;
      if (Clock::now() > deadline || !Pump(50)) {
        return Plain(raw_).find(wanted, offset) != std::string::npos;
      }
    }
  }
  // True with the exit code once the program has ended within ms.
  bool WaitExit(int ms, int* code) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < deadline) {
      Pump(20);
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        *code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
      }
    }
    return false;
  }
  size_t PlainSize() { return Plain(raw_).size(); }
  const std::string& Raw() const { return raw_; }

 private:
  bool Pump(int ms) {
    pollfd fd{master_, POLLIN, 0};
    if (::poll(&fd, 1, ms) > 0) {
      char buffer[4096];
      const ssize_t got = ::read(master_, buffer, sizeof buffer);
      if (got > 0) raw_.append(buffer, static_cast<size_t>(got));
      if (got == 0 || (got < 0 && errno == EIO)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      }
    }
    return true;
  }
  pid_t pid_ = -1;
  int master_ = -1;
  std::string raw_;
};

class Server {
 public:
  ~Server() { Stop(); }
  // Starts tovi-server on 127.0.0.1:8101, waiting out a port still held by
  // an earlier run.
  bool Start(const std::string& parts, const std::string& db, long rateLimit) {
    const auto deadline = Clock::now() + std::chrono::seconds(90);
    while (Clock::now() < deadline) {
      const std::string log = db + ".out";
      pid_ = ::fork();
      if (pid_ == 0) {
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(out, 2);
        const std::string rate = std::to_string(rateLimit);
        if (rateLimit > 0) {
          ::execl(TOVI_SERVER_PATH, TOVI_SERVER_PATH, "--bind", "127.0.0.1", "--port", "8101",
                  "--parts", parts.c_str(), "--db", db.c_str(), "--rate-limit", rate.c_str(),
                  static_cast<char*>(nullptr));
        } else {
          ::execl(TOVI_SERVER_PATH, TOVI_SERVER_PATH, "--bind", "127.0.0.1", "--port", "8101",
                  "--parts", parts.c_str(), "--db", db.c_str(), static_cast<char*>(nullptr));
        }
        _exit(127);
      }
      for (int i = 0; i < 100; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (ReadFileBytes(log).find("listening on") != std::string::npos) return true;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
          pid_ = -1;
          break;
        }
      }
      Stop();
      std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    return false;
  }
  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

class TerminalRunTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(sandbox_.Path("parts"));
    fs::create_directories(sandbox_.Path("home/Desktop"));
    fs::create_directories(sandbox_.Path("tmp"));
    fs::create_directories(sandbox_.Path("cwd"));
    // The setup program leaves a marker when it runs.
    sandbox_.Write("parts/ToviSetup.exe",
                   "#!/bin/sh\necho started > \"$(dirname \"$0\")/marker\"\n");
  }
  void MakePart(const std::string& name, size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + size) >> 3);
    sandbox_.Write("parts/" + name, bytes);
  }
  std::vector<std::string> Env() const {
    return {"HOME=" + sandbox_.Path("home"), "TMPDIR=" + sandbox_.Path("tmp"), "TERM=xterm",
            "XDG_CONFIG_HOME=" + sandbox_.Path("home/.config"), "DISPLAY="};
  }
  std::string Downloaded(const std::string& name) const {
    return sandbox_.Path("home/Desktop/ToviSetup/" + name);
  }
  void ExpectIdenticalParts(const std::vector<std::string>& names) {
    for (const auto& name : names) {
      EXPECT_EQ(ReadFileBytes(Downloaded(name)), sandbox_.Read("parts/" + name)) << name;
    }
  }

  // The screen and the log of a run, for a step that did not come.
  std::string Seen(const PtyProgram& program) const {
    return "screen:\n" + Plain(program.Raw()) + "\nlog:\n" + sandbox_.Read("tmp/log.txt");
  }

  Sandbox sandbox_;
  Server server_;
};

TEST_F(TerminalRunTest, FreshRunToTheStartedSetupProgramWithAResize) {
  MakePart("ToviSetup-1.bin", 12 * 1000 * 1000);
  MakePart("ToviSetup-2.bin", 12 * 1000 * 1000);
  ASSERT_TRUE(server_.Start(sandbox_.Path("parts"), sandbox_.Path("db.sqlite3"), 8000000));
  PtyProgram program;
  ASSERT_TRUE(program.Start(Env(), sandbox_.Path("cwd"), 90, 26));
  ASSERT_TRUE(program.WaitFor("presiona INICIAR!", 20000)) << Seen(program);
  ASSERT_TRUE(program.WaitFor("[Enter/i] INICIAR", 5000)) << Seen(program);
  program.SendAsAPerson("i");
  ASSERT_TRUE(program.WaitFor("kB/seg]... Estimado:", 20000)) << Seen(program);
  // A narrower window mid-download gets the whole screen drawn again.
  const size_t before = program.PlainSize();
  program.Resize(64, 20);
  EXPECT_TRUE(program.WaitFor("Tovi Downloader 2.1", 5000, before)) << Seen(program);
  EXPECT_TRUE(program.WaitFor("[Enter/p] PAUSAR", 5000, before)) << Seen(program);
  int code = -1;
  ASSERT_TRUE(program.WaitExit(60000, &code)) << Seen(program);
  EXPECT_EQ(code, 0);
  ExpectIdenticalParts({"ToviSetup.exe", "ToviSetup-1.bin", "ToviSetup-2.bin"});
  EXPECT_EQ(ReadFileBytes(Downloaded("marker")), "started\n");
  EXPECT_FALSE(fs::exists(sandbox_.Path("home/Desktop/Continuar descargando Tovi.desktop")));
  // The title: saved, "Tovi" while INICIAR waits, the percentage rising as
  // reported, "Tovi" again once the setup program starts, and given back.
  const auto titles = Titles(program.Raw());
  ASSERT_GE(titles.size(), 5u) << Joined(titles);
  EXPECT_EQ(titles[0], "save") << Joined(titles);
  EXPECT_EQ(titles[1], "Tovi") << Joined(titles);
  EXPECT_EQ(titles[titles.size() - 2], "Tovi") << Joined(titles);
  EXPECT_EQ(titles.back(), "restore") << Joined(titles);
  const auto percents = TitlePercents(titles);
  ASSERT_FALSE(percents.empty()) << Joined(titles);
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end())) << Joined(titles);
  EXPECT_EQ(percents.size() + 4, titles.size()) << Joined(titles);
}

TEST_F(TerminalRunTest, PauseCloseThenContinueThroughTheLauncher) {
  MakePart("ToviSetup-1.bin", 20 * 1000 * 1000);
  ASSERT_TRUE(server_.Start(sandbox_.Path("parts"), sandbox_.Path("db.sqlite3"), 4000000));
  const std::string launcher = sandbox_.Path("home/Desktop/Continuar descargando Tovi.desktop");
  {
    PtyProgram program;
    ASSERT_TRUE(program.Start(Env(), sandbox_.Path("cwd"), 80, 24));
    ASSERT_TRUE(program.WaitFor("presiona INICIAR!", 20000)) << Seen(program);
    program.SendAsAPerson("\r");
    ASSERT_TRUE(program.WaitFor("Mbytes transferidos", 20000)) << Seen(program);
    const size_t before = program.PlainSize();
    program.Send("p");
    // Curses rewrites only the cells that change.
    ASSERT_TRUE(program.WaitFor("CONTINUAR", 5000, before)) << Seen(program);
    program.Send("q");
    ASSERT_TRUE(program.WaitFor("¿Estás seguro que deseas cerrar este programa?", 5000))
        << Seen(program);
    program.Send("s");
    ASSERT_TRUE(program.WaitFor("Se ha creado un acceso directo en el escritorio", 5000))
        << Seen(program);
    program.Send("\r");
    int code = -1;
    ASSERT_TRUE(program.WaitExit(5000, &code)) << Seen(program);
    EXPECT_EQ(code, 0);
    // Paused until the close, then the title found is given back.
    const auto titles = Titles(program.Raw());
    ASSERT_GE(titles.size(), 4u) << Joined(titles);
    EXPECT_EQ(titles.front(), "save");
    EXPECT_FALSE(TitlePercents(titles).empty()) << Joined(titles);
    EXPECT_EQ(titles[titles.size() - 2], "Tovi en pausa") << Joined(titles);
    EXPECT_EQ(titles.back(), "restore");
  }
  ASSERT_TRUE(fs::exists(launcher));
  ASSERT_FALSE(fs::exists(Downloaded("ToviSetup-1.bin")));
  // Started by hand while the launcher exists: the program opens it, and
  // the download continues to the end.
  PtyProgram again;
  ASSERT_TRUE(again.Start(Env(), sandbox_.Path("cwd"), 80, 24));
  int code = -1;
  ASSERT_TRUE(again.WaitExit(60000, &code)) << Seen(again);
  EXPECT_EQ(code, 0);
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  while (!fs::exists(Downloaded("marker")) && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ExpectIdenticalParts({"ToviSetup.exe", "ToviSetup-1.bin"});
  EXPECT_TRUE(fs::exists(Downloaded("marker")));
  EXPECT_FALSE(fs::exists(launcher));
  // The copy started by hand gives the terminal and its title back before
  // the launcher's copy takes them; that one ends without progress shown.
  const auto titles = Titles(again.Raw());
  EXPECT_EQ(std::count(titles.begin(), titles.end(), "save"), 2) << Joined(titles);
  EXPECT_EQ(std::count(titles.begin(), titles.end(), "restore"), 2) << Joined(titles);
  ASSERT_GE(titles.size(), 2u);
  EXPECT_EQ(titles[titles.size() - 2], "Tovi") << Joined(titles);
  EXPECT_EQ(titles.back(), "restore");
}

// The server goes away mid-part: the program waits to try again, and
// PAUSAR during that wait holds it as it holds a transfer, even once the
// server is back; closing leaves the launcher for later.
TEST_F(TerminalRunTest, PauseDuringTheRetryWaitHoldsTheDownload) {
  MakePart("ToviSetup-1.bin", 20 * 1000 * 1000);
  ASSERT_TRUE(server_.Start(sandbox_.Path("parts"), sandbox_.Path("db.sqlite3"), 2000000));
  PtyProgram program;
  ASSERT_TRUE(program.Start(Env(), sandbox_.Path("cwd"), 80, 24));
  ASSERT_TRUE(program.WaitFor("presiona INICIAR!", 20000)) << Seen(program);
  program.SendAsAPerson("i");
  ASSERT_TRUE(program.WaitFor("Mbytes transferidos", 20000)) << Plain(program.Raw());
  server_.Stop();
  ASSERT_TRUE(program.WaitFor("Reintentando la conexión en", 20000)) << Plain(program.Raw());
  const size_t before = program.PlainSize();
  program.Send("p");
  ASSERT_TRUE(program.WaitFor("CONTINUAR", 5000, before));
  const std::string partial = Downloaded("ToviSetup-1.bin.q9tovi");
  const auto held = fs::file_size(partial);
  ASSERT_TRUE(server_.Start(sandbox_.Path("parts"), sandbox_.Path("db.sqlite3"), 2000000));
  // Longer than the waits the program was in (1, 2, then 4 s).
  std::this_thread::sleep_for(std::chrono::seconds(6));
  std::error_code error;
  EXPECT_EQ(fs::file_size(partial, error), held) << "the download went on";
  program.Send("q");
  ASSERT_TRUE(program.WaitFor("[s] Sí", 5000, before));
  program.Send("s");
  ASSERT_TRUE(program.WaitFor("Se ha creado un acceso directo en el escritorio", 5000));
  program.Send("\r");
  int code = -1;
  ASSERT_TRUE(program.WaitExit(5000, &code));
  EXPECT_EQ(code, 0);
  const std::string log = sandbox_.Read("tmp/log.txt");
  EXPECT_NE(log.find("download paused while waiting to retry; retries held"), std::string::npos)
      << log;
  EXPECT_TRUE(fs::exists(sandbox_.Path("home/Desktop/Continuar descargando Tovi.desktop")));
}

// With no server the program keeps trying, saying so on the detail line;
// the close question works during the wait as it does mid-transfer.
TEST_F(TerminalRunTest, ServerDownIsRetriedAndTheWaitCanBeClosed) {
  PtyProgram program;
  ASSERT_TRUE(program.Start(Env(), sandbox_.Path("cwd"), 80, 24));
  ASSERT_TRUE(program.WaitFor("presiona INICIAR!", 20000));
  program.SendAsAPerson("i");
  ASSERT_TRUE(program.WaitFor("Reintentando la conexión en", 20000))
      << Plain(program.Raw()) << sandbox_.Read("tmp/log.txt");
  program.Send("q");
  ASSERT_TRUE(program.WaitFor("[s] Sí", 5000));
  program.Send("n");
  // No: the wait goes on and the next try is announced again.
  const size_t before = program.PlainSize();
  ASSERT_TRUE(program.WaitFor("segundo", 10000, before)) << Plain(program.Raw());
  program.Send("q");
  ASSERT_TRUE(program.WaitFor("[s] Sí", 5000, before));
  program.Send("s");
  int code = -1;
  ASSERT_TRUE(program.WaitExit(5000, &code)) << Seen(program);
  EXPECT_EQ(code, 0);
  const std::string log = sandbox_.Read("tmp/log.txt");
  EXPECT_NE(log.find("communication file: try 1 failed (Couldn't connect to server), retrying in "
                     "1000 ms"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("[PWI-002]"), std::string::npos);
  // Nothing failed for good: the title never says error.
  EXPECT_EQ(Titles(program.Raw()), (std::vector<std::string>{"save", "Tovi", "restore"}));
}

TEST_F(TerminalRunTest, CtrlCGivesTheTitleBack) {
  PtyProgram program;
  ASSERT_TRUE(program.Start(Env(), sandbox_.Path("cwd"), 80, 24));
  ASSERT_TRUE(program.WaitFor("presiona INICIAR!", 20000));
  program.Send("\x03");
  int code = -1;
  ASSERT_TRUE(program.WaitExit(5000, &code));
  EXPECT_EQ(code, 128 + SIGINT);
  EXPECT_EQ(Titles(program.Raw()), (std::vector<std::string>{"save", "Tovi", "restore"}));
}

}  // namespace
