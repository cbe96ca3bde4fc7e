// Whole runs of the workflow driver in this process, with a stand-in window
// playing the user, against the real tovi-server of the tovi_workflow_server
// fixture (whose part 0 is a small setup program) or against in-process
// servers where a test must see the exact request or a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/files.h"
#include "platform/narrow_text.h"
#include "platform/paths.h"
#include "platform/process_command_line.h"
#include "platform/ticks.h"
#include "stats/download_records.h"
#include "stats/retry_budget.h"
#include "support/bounded_run.h"
#include "support/file_size_limit.h"
#include "support/fixture_server_url.h"
#include "support/http_fixture.h"
#include "support/log_capture.h"
#include "support/sandbox.h"
#include "support/scoped_env.h"
#include "support/stand_in_window.h"
#include "support/test_socket.h"
#include "transfer/transfer_pause.h"
#include "ui/ui_commands.h"
#include "ui/ui_state.h"
#include "workflow/command_line.h"
#include "workflow/desktop_shortcut.h"
#include "workflow/stats_settings.h"
#include "workflow/text_file.h"
#include "workflow/workflow_driver.h"

namespace fs = std::filesystem;

namespace {

const char* const kPartNames[] = {"ToviSetup.exe", "ToviSetup-1.bin", "ToviSetup-2.bin"};
// A whole run here takes a few seconds; one that waits longer waits for
// something that will not come.
constexpr uint32_t kRunLimitMs = 60000;
const char kEndBanner[] = "************* Polvex Download Manager Sytem End *******************";

std::string ServerDir() {
  const char* dir = std::getenv("TOVI_TEST_SERVER_DIR");
  return dir != nullptr ? dir : "";
}

std::string ClosedPortUrl() {
  uint16_t port = 0;
  CloseTestSocket(ListenOnLoopback(&port));
  return "http://127.0.0.1:" + std::to_string(port);
}

bool WaitForFile(const std::string& path, uint32_t timeoutMs) {
  const uint32_t start = TickCount();
  while (!FileExists(path)) {
    if (TickCount() - start >= timeoutMs) return false;
    SleepMs(20);
  }
  SleepMs(100);  // let the writer finish
  return true;
}

// A communication file naming the given parts.
std::string CommFile(const std::vector<std::pair<std::string, int64_t>>& parts) {
  std::string json = "{\"parts\": " + std::to_string(parts.size()) + ", \"current_part\": 0";
  for (size_t i = 0; i < parts.size(); ++i) {
    json += ", \"url_" + std::to_string(i) + "\": \"" + parts[i].first + "\", \"size_" +
            std::to_string(i) + "\": \"" + std::to_string(parts[i].second) + "\"";
  }
  return json + "}";
}

class WorkflowRunTest : public testing::Test {
 protected:
  WorkflowRunTest() : env_(Environment(sandbox_)) {}

  // The sandbox's home (its desktop, natively) and temporary directory (the
  // communication file's place).
  static std::map<std::string, std::string> Environment(const Sandbox& sandbox) {
    fs::create_directories(sandbox.Path("home") + "/Desktop");
    fs::create_directories(sandbox.Path("tmp"));
    return {{"HOME", sandbox.Path("home")},
            {"XDG_CONFIG_HOME", sandbox.Path("home") + "/.config"},
            {"TMPDIR", sandbox.Path("tmp")},
            {"TMP", sandbox.Path("tmp")},
            {"TEMP", sandbox.Path("tmp")}};
  }

  void SetUp() override {
    downloadDir_ = sandbox_.Path("Mis juegos");
    fs::create_directories(downloadDir_);
    downloadDir_ = EnsureTrailingSeparator(downloadDir_);
    TheUiState.ResetForTesting();
    TheUiState.SetDownloadFolder(downloadDir_);
    ResetDownloadRecordsForTesting();
    // Servers that cannot be reached fail in milliseconds, not minutes.
    SetRetryBudget({3, 10, 20, 2000});
    // The window reads what it draws as the real one does, while the run
    // writes it.
    window_.OnCommand([](const SeenCommand&) {
      (void)TheUiState.StatusText();
      (void)TheUiState.DetailText();
      (void)TheUiState.ProgressPercent();
    });
    shortcut_ = GetShortcutPath();
    // Under Wine the desktop is the prefix's, shared by every test.
    (void)RemoveFile(shortcut_);
  }
  void TearDown() override {
    (void)RemoveFile(shortcut_);
    SetStatsBaseUrlForTesting("");
    SetProcessCommandLine("");
    SetRetryBudget(RetryBudget{});
    TheUiState.ResetForTesting();
    ResetDownloadRecordsForTesting();
  }

  void Run(const std::string& statsUrl, const std::vector<std::string>& arguments) {
    SetStatsBaseUrlForTesting(statsUrl);
    std::vector<std::string> line{"tovi-downloader"};
    line.insert(line.end(), arguments.begin(), arguments.end());
    SetProcessCommandLine(JoinCommandLine(line));
    RunWithin(kRunLimitMs, "the run", RunWorkflow, [this] { return Screen(); });
  }

  // What the run logged and showed, for a run that did not end.
  std::string Screen() const {
    std::string text = "log:\n";
    text += log_.Raw();
    text += "commands:";
    for (const auto& command : window_.Seen()) {
      text += ' ';
      text += std::to_string(command.code);
      text += '/';
      text += std::to_string(command.parameter);
    }
    text += "\nstatus: ";
    text += NarrowText(TheUiState.StatusText());
    text += "\ndetail: ";
    text += NarrowText(TheUiState.DetailText());
    return text;
  }

  bool Seen(uint32_t code) const {
    for (const auto& command : window_.Seen()) {
      if (command.code == code) return true;
    }
    return false;
  }

  std::string CommFilePath() const { return sandbox_.Path("tmp") + kPathSeparator + "comm290.tmp"; }
  bool EndsWithEndBanner() const {
    const auto bodies = log_.Bodies();
    return bodies.size() >= 2 && bodies[bodies.size() - 2] == kEndBanner;
  }

  Sandbox sandbox_;
  ScopedEnv env_;
  std::string downloadDir_;
  std::string shortcut_;
  StandInWindow window_{{UI_AWAIT_START, StandInWindow::kErrorDisplay}};
  LogCapture log_;
};

TEST_F(WorkflowRunTest, FreshStartEndsInTheStartedSetupProgram) {
  const std::string baseUrl = FixtureBaseUrl();
  ASSERT_FALSE(baseUrl.empty()) << "no tovi_workflow_server fixture";
  std::atomic<int> progressWithShortcut{0};
  std::atomic<int> progress{0};
  window_.OnCommand([&](const SeenCommand& command) {
    if (command.code != UI_PROGRESS) return;
    ++progress;
    if (FileExists(shortcut_)) ++progressWithShortcut;
  });

  Run(baseUrl, {});

  EXPECT_TRUE(Seen(UI_AWAIT_START));
  EXPECT_TRUE(log_.Contains("UI = presiona INICIAR!"));
  EXPECT_GT(progress.load(), 0);
  EXPECT_EQ(progressWithShortcut.load(), progress.load()) << "shortcut missing during download";
  for (const char* name : kPartNames) {
    const std::string served = ReadFileBytes(ServerDir() + "/parts/" + name);
    ASSERT_FALSE(served.empty()) << name;
    EXPECT_TRUE(ReadFileBytes(downloadDir_ + name) == served) << name << " differs";
    EXPECT_FALSE(FileExists(downloadDir_ + name + ".q9tovi")) << name;
  }
  EXPECT_FALSE(FileExists(shortcut_));
  EXPECT_FALSE(FileExists(CommFilePath()));
  EXPECT_TRUE(log_.Contains("installer downloaded"));
  EXPECT_TRUE(log_.Contains("launching installer..."));
  EXPECT_TRUE(EndsWithEndBanner());
  // Started as its bare file name with no arguments, in our directory.
  const std::string marker = downloadDir_ + "ToviSetup.exe.ran";
  ASSERT_TRUE(WaitForFile(marker, 15000)) << "the setup program did not run";
  EXPECT_EQ(ReadFileBytes(marker), "cwd " + fs::current_path().string() + "\n");
}

// A user's profile folder whose name the ANSI code page cannot hold ("José
// Łukasz Юрий" on a Western Windows): the communication file in its
// temporary directory, the parts in a folder below it and the setup program
// started from there.
TEST_F(WorkflowRunTest, FreshStartInAProfileFolderOutsideTheCodePage) {
  const std::string baseUrl = FixtureBaseUrl();
  ASSERT_FALSE(baseUrl.empty()) << "no tovi_workflow_server fixture";
  const std::string profile =
      sandbox_.Path("Jos\xC3\xA9 \xC5\x81ukasz \xD0\xAE\xD1\x80\xD0\xB8\xD0\xB9");
  const std::string tmp = profile + kPathSeparator + "Temp";
  fs::create_directories(Utf8Path(tmp));
  fs::permissions(Utf8Path(tmp), fs::perms::owner_all);  // a private TMPDIR, as Linux wants it
  ScopedEnv profileEnv({{"TMPDIR", tmp}, {"TMP", tmp}, {"TEMP", tmp}});
  downloadDir_ = EnsureTrailingSeparator(profile + kPathSeparator + "Mis juegos");
  fs::create_directories(Utf8Path(downloadDir_));
  TheUiState.SetDownloadFolder(downloadDir_);

  Run(baseUrl, {});

  EXPECT_TRUE(log_.Contains("installer downloaded")) << Screen();
  for (const char* name : kPartNames) {
    const std::string served = ReadFileBytes(ServerDir() + "/parts/" + name);
    ASSERT_FALSE(served.empty()) << name;
    EXPECT_TRUE(ReadFileBytes(downloadDir_ + name) == served) << name << " differs";
  }
  EXPECT_FALSE(FileExists(tmp + kPathSeparator + "comm290.tmp"));
  EXPECT_FALSE(FileExists(shortcut_));
  EXPECT_TRUE(WaitForFile(downloadDir_ + "ToviSetup.exe.ran", 15000))
      << "the setup program did not run";
}

TEST_F(WorkflowRunTest, ResumeContinuesFromTheBytesOnDisk) {
  constexpr int64_t kSize = 300000;
  constexpr int64_t kOnDisk = 123457;
  HttpFixture part(HttpReply{200, "", kSize});
  HttpFixture stats(HttpReply{200, CommFile({{part.Url("/ToviSetup.exe"), kSize}})});
  const std::string partial = downloadDir_ + "ToviSetup.exe.q9tovi";
  sandbox_.Write("Mis juegos/ToviSetup.exe.q9tovi", PatternBytes(0, kOnDisk));

  Run(stats.Url(""), {partial});

  EXPECT_FALSE(Seen(UI_AWAIT_START));
  ASSERT_GE(window_.Seen().size(), 2u);
  EXPECT_EQ(window_.Seen()[1].code, UI_START);
  ASSERT_GE(stats.RequestCount(), 1u);
  EXPECT_EQ(stats.RequestLine(0).rfind("GET /resume?mid=", 0), 0u) << stats.RequestLine(0);
  ASSERT_EQ(part.RequestCount(), 1u);
  EXPECT_EQ(part.Header(0, "Range"), "bytes=" + std::to_string(kOnDisk) + "-");
  EXPECT_TRUE(ReadFileBytes(downloadDir_ + "ToviSetup.exe") == PatternBytes(0, kSize));
  // The finish report counts the whole download, read before the rename.
  const std::string last = stats.RequestLine(stats.RequestCount() - 1);
  EXPECT_EQ(last.rfind("GET /finish?mid=", 0), 0u) << last;
  EXPECT_NE(last.find("&bytes=" + std::to_string(kSize) + " "), std::string::npos) << last;
  EXPECT_TRUE(log_.Contains("RESUME FROM: " + std::to_string(kOnDisk)));
  EXPECT_TRUE(log_.Contains("launching installer..."));
  EXPECT_TRUE(EndsWithEndBanner());
}

// The user paused while no transfer ran (between two parts): the next part
// never starts and no setup program is started, however long the run waits.
TEST_F(WorkflowRunTest, PauseBeforeAPartStartsNothing) {
  constexpr int64_t kSize = 300000;
  HttpFixture part(HttpReply{200, "", kSize});
  HttpFixture stats(HttpReply{200, CommFile({{part.Url("/ToviSetup.exe"), kSize}})});
  const std::string partial = downloadDir_ + "ToviSetup.exe.q9tovi";
  sandbox_.Write("Mis juegos/ToviSetup.exe.q9tovi", PatternBytes(0, 1000));
  EXPECT_FALSE(RequestTransferPause());
  // Ends the held wait once it has lasted a while, as the end of the
  // process would.
  std::thread ender([this] {
    const uint32_t start = TickCount();
    while (!log_.Contains("download paused before the next part") && TickCount() - start < 10000) {
      SleepMs(10);
    }
    SleepMs(300);
    CancelTransferForTesting();
  });

  Run(stats.Url(""), {partial});
  ender.join();
  ReleaseTransferPauseForTesting();

  EXPECT_TRUE(log_.Contains("download paused before the next part"))
      << testing::PrintToString(log_.Bodies());
  EXPECT_EQ(part.RequestCount(), 0u);
  EXPECT_EQ(ReadFileBytes(partial), PatternBytes(0, 1000));
  EXPECT_FALSE(FileExists(downloadDir_ + "ToviSetup.exe"));
  EXPECT_FALSE(log_.Contains("launching installer..."));
}

// The server resumes at part 1, but part 0 is no longer on disk as it was
// announced: nothing is reported finished, renamed or started, the shortcut
// stays for another try, and the user sees the failure.
TEST_F(WorkflowRunTest, APartNotOnDiskAsAnnouncedStopsTheHandOff) {
  constexpr int64_t kSize = 3000;
  HttpFixture part(HttpReply{200, "", kSize});
  std::string comm =
      CommFile({{part.Url("/ToviSetup.exe"), kSize}, {part.Url("/ToviSetup-1.bin"), kSize}});
  comm.replace(comm.find("\"current_part\": 0"), 17, "\"current_part\": 1");
  HttpFixture stats(HttpReply{200, comm});
  const std::string partial = downloadDir_ + "ToviSetup.exe.q9tovi";
  sandbox_.Write("Mis juegos/ToviSetup.exe.q9tovi", PatternBytes(0, 1000));  // short
  WriteTextFile(shortcut_, "launcher");

  Run(stats.Url(""), {partial});

  EXPECT_TRUE(log_.Contains("part 0 not ready: " + partial + ": 1000 bytes, expected 3000"));
  EXPECT_TRUE(log_.Contains("could not download the installer [PWI-003]"));
  EXPECT_EQ(TheUiState.StatusText(), ResumeFailureText());
  EXPECT_FALSE(log_.Contains("launching installer..."));
  EXPECT_TRUE(FileExists(shortcut_));
  EXPECT_TRUE(FileExists(partial));
  EXPECT_TRUE(FileExists(downloadDir_ + "ToviSetup-1.bin.q9tovi"));
  EXPECT_FALSE(FileExists(downloadDir_ + "ToviSetup.exe"));
  for (size_t i = 0; i < stats.RequestCount(); ++i) {
    EXPECT_EQ(stats.RequestLine(i).find("/finish?"), std::string::npos) << stats.RequestLine(i);
  }
  EXPECT_TRUE(EndsWithEndBanner());
}

TEST_F(WorkflowRunTest, StartedByHandWhileTheShortcutExistsOpensIt) {
  // The shortcut of an interrupted download, pointing at a stand-in program.
  const std::string appDir = sandbox_.Path("app dir");
  fs::create_directories(appDir);
  const std::string program = appDir + kPathSeparator + "ToviDownloader.exe";
  fs::copy_file(TOVI_FAKE_SETUP_PATH, program);
  const std::string partial = downloadDir_ + "ToviSetup.exe.q9tovi";
  sandbox_.Write("Mis juegos/ToviSetup.exe.q9tovi", "");
  ASSERT_EQ(CreateShellLink(L"\"" + WidenText(program) + L"\"", L"\"" + WidenText(partial) + L"\"",
                            L"Continuar descargando", WidenText(appDir), shortcut_,
                            WidenText(program), 0),
            0);
  HttpFixture stats(HttpReply{200, "{}"});
#ifndef _WIN32
  SetLauncherProgramForTesting(program);
#endif

  Run(stats.Url(""), {});
#ifndef _WIN32
  SetLauncherProgramForTesting("");
#endif

  const std::string marker = program + ".ran";
  ASSERT_TRUE(WaitForFile(marker, 20000)) << "the shortcut's program did not start";
  EXPECT_EQ(ReadFileBytes(marker), "arg " + partial + "\ncwd " + appDir + "\n");
  EXPECT_EQ(stats.RequestCount(), 0u);
  bool shellLine = false;
  for (const auto& body : log_.Bodies()) {
    if (body.rfind(" res Shell ", 0) == 0) {
      shellLine = true;
      EXPECT_GT(std::atoi(body.c_str() + 11), 32) << body;
    }
  }
  EXPECT_TRUE(shellLine);
  EXPECT_FALSE(log_.Contains(kEndBanner));
  EXPECT_TRUE(FileExists(shortcut_));
  // Windows keeps a running program's file and the directory a process
  // works in (the shell's, for a moment); the sandbox goes once they ended.
  const uint32_t start = TickCount();
  std::error_code error;
  while (fs::remove_all(appDir, error) == static_cast<std::uintmax_t>(-1) &&
         TickCount() - start < 10000) {
    SleepMs(50);
  }
}

// Every failure: its log line, its text, then the end banner once the user
// closes the display.
TEST_F(WorkflowRunTest, FailuresShowTheirTexts) {
  const std::string closed = ClosedPortUrl();
  const std::string deadPart = CommFile({{closed + "/ToviSetup.exe", 1000}});
  const std::wstring noInformation =
      L"Error: Al intentar inicializar la descarga. Verifique que su equipo pueda acceder a "
      L"internet. ";
  const std::wstring noServer =
      L"Error: Sin acceso al servidor. Verifique su conexion a internet o permisos del "
      L"cortafuegos (firewall).";
  const std::wstring resumeFailed =
      L"Se ha producido un error en la descarga. Verifica el estado de tu conexión a internet y "
      L"el espacio en disco. Cierra el downloader y reinicia desde el icono en el escritorio. "
      L"Soporte: http://127.0.0.1:8101/";
  const struct {
    const char* name;
    std::string reply;  // empty: the statistics server cannot be reached
    bool resume;
    const char* logLine;
    std::wstring text;
  } cases[] = {
      {"PWI-001", deadPart, false, "could not download the installer [PWI-001]", noServer},
      {"PWI-001 no part", "{\"parts\": 0} ", false, "could not download the installer [PWI-001]",
       noServer},
      {"PWI-002", "", false, "could not retrieve download information [PWI-002]", noInformation},
      {"PWI-003", deadPart, true, "could not download the installer [PWI-003]", resumeFailed},
      {"PWI-004", "", true, "could not retrieve download information [PWI-004]", noInformation},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TheUiState.ResetForTesting();
    TheUiState.SetDownloadFolder(downloadDir_);
    // Words of an earlier progress line, which the failure must clear.
    TheUiState.SetDetailText(L"1.2 MB de 3.4 MB");
    ResetDownloadRecordsForTesting();
    const std::string partial = downloadDir_ + "ToviSetup.exe.q9tovi";
    (void)RemoveFile(partial);
    if (c.resume) sandbox_.Write("Mis juegos/ToviSetup.exe.q9tovi", "abc");
    HttpFixture stats(HttpReply{200, c.reply});
    const size_t linesBefore = log_.Bodies().size();

    Run(c.reply.empty() ? closed : stats.Url(""), {partial});

    const auto bodies = log_.Bodies();
    EXPECT_EQ(std::count(bodies.begin() + static_cast<long>(linesBefore), bodies.end(), c.logLine),
              1);
    EXPECT_EQ(TheUiState.StatusText(), c.text);
    EXPECT_EQ(TheUiState.DetailText(), L"");
    EXPECT_EQ(TheUiState.LastCommand(), UI_STATUS);
    EXPECT_EQ(TheUiState.LastParameter(), 1);
    EXPECT_TRUE(EndsWithEndBanner());
    // A start path with a part names its partial file and leaves the
    // shortcut; without a part there is neither.
    if (!c.resume && !c.reply.empty()) {
      const bool withPart = c.reply == deadPart;
      EXPECT_EQ(FileExists(partial), withPart);
      EXPECT_EQ(FileExists(shortcut_), withPart);
    }
    (void)RemoveFile(shortcut_);
  }
}

// Too little room for what is left fails before a byte is asked for, with
// the free-space failure and both figures.
TEST_F(WorkflowRunTest, TooLittleSpaceFailsBeforeAnyDownload) {
  constexpr int64_t kHuge = 900000000000000000;  // 900 000 000 000 MB
  HttpFixture part(HttpReply{200, "", 1000});
  HttpFixture stats(HttpReply{200, CommFile({{part.Url("/ToviSetup.exe"), kHuge}})});

  Run(stats.Url(""), {});

  EXPECT_EQ(part.RequestCount(), 0u);
  EXPECT_EQ(log_.Count("not enough free space for the installer"), 1u);
  EXPECT_EQ(TheUiState.StatusText(),
            L"ha ocurrido un fallo, por favor, intenta nuevamente más tarde");
  const std::wstring detail = TheUiState.DetailText();
  EXPECT_EQ(
      detail.rfind(L"error: se requiere un mínimo de 900000000000 MB libres en disco (hay ", 0), 0u)
      << NarrowText(detail);
  EXPECT_EQ(TheUiState.LastParameter(), 1);
  EXPECT_TRUE(EndsWithEndBanner());
}

// A part file that cannot be written (here past a cap on file sizes, as on a
// full disk) is a disk failure, not a network one: no retry, the disk's
// texts, the file left as it is.
TEST_F(WorkflowRunTest, DiskWriteFailureShowsTheDiskTexts) {
  constexpr int64_t kSize = 300000;
  constexpr int64_t kRoom = 100000;  // more than the log and the communication file need
  HttpFixture part(HttpReply{200, "", kSize});
  HttpFixture stats(HttpReply{200, CommFile({{part.Url("/ToviSetup.exe"), kSize}})});
  const std::string partial = downloadDir_ + "ToviSetup.exe.q9tovi";
  {
    ScopedFileSizeLimit full(kRoom);
    if (!full.Active()) GTEST_SKIP() << "no cap on file sizes here to fill the disk with";
    Run(stats.Url(""), {});
  }

  EXPECT_EQ(part.RequestCount(), 1u);
  EXPECT_EQ(log_.Count("could not write the installer to disk [PWI-001]"), 1u);
  EXPECT_FALSE(log_.Contains("could not download the installer [PWI-001]"));
  EXPECT_EQ(TheUiState.StatusText(),
            L"ha ocurrido un fallo, por favor, intenta nuevamente más tarde");
  const std::wstring detail = TheUiState.DetailText();
  EXPECT_EQ(detail.rfind(L"error: no se pudo escribir en el disco, se requiere un mínimo de 1 MB "
                         L"libres en disco (hay ",
                         0),
            0u)
      << NarrowText(detail);
  // What was written stays for a later run.
  EXPECT_TRUE(FileExists(partial));
  EXPECT_LE(static_cast<int64_t>(fs::file_size(partial)), kRoom);
  EXPECT_TRUE(FileExists(shortcut_));
  EXPECT_TRUE(EndsWithEndBanner());
}

TEST_F(WorkflowRunTest, ArgumentThatDoesNotExistStartsAfreshDespiteTheShortcut) {
  {
    std::FILE* file = std::fopen(shortcut_.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
  }
  HttpFixture stats(HttpReply{200, "not json at all"});

  Run(stats.Url(""), {downloadDir_ + "deleted.q9tovi"});

  EXPECT_TRUE(Seen(UI_AWAIT_START));
  ASSERT_GE(stats.RequestCount(), 1u);
  EXPECT_EQ(stats.RequestLine(0).rfind("GET /start?mid=", 0), 0u);
  EXPECT_TRUE(log_.Contains("could not retrieve download information [PWI-002]"));
  EXPECT_FALSE(log_.Contains(" res Shell "));
}

}  // namespace
