// The dashboard in a real browser: headless Chromium loads the page of a
// tovi-server on 127.0.0.1 holding a known event set. The DOM carries the
// figures worked out by hand below, and a screenshot (kept in the build's
// artefacts) shows the charts drawn. Skipped, saying why, only where
// Chromium cannot start.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "server/event_rows.h"
#include "server/event_store.h"
#include "server/server_process.h"
#include "server/server_test_support.h"
#include "server/summary_period.h"
#include "support/sandbox.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kToken = "browser-test-token-0123456789";
constexpr const char* kConvert = "/usr/bin/convert";

// Runs argv with HOME in the sandbox, standard output to outPath, for at
// most timeoutSeconds: the exit code, or -1 when it had to be killed.
int RunProgram(const std::vector<std::string>& argv, const std::string& home,
               const std::string& outPath, int timeoutSeconds) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open((outPath + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) dup2(out, STDOUT_FILENO);
    if (err >= 0) dup2(err, STDERR_FILENO);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    setpgid(0, 0);
    std::vector<std::string> copy = argv;
    std::vector<char*> args;
    for (auto& arg : copy) args.push_back(arg.data());
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  if (pid < 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      kill(-pid, SIGKILL);  // helpers the browser left behind
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (done < 0) return -1;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(-pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string FindChromium() {
  for (const char* path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"}) {
    if (access(path, X_OK) == 0) return path;
  }
  return "";
}

class DashboardBrowserTest : public testing::Test {
 protected:
  void SetUp() override {
    chromium_ = FindChromium();
    if (chromium_.empty()) {
      GTEST_SKIP() << "Chromium cannot start: it is not installed (scripts/setup-packages "
                      "installs the chromium package)";
    }
    const int version = RunProgram({chromium_, "--version"}, box_.Dir(), box_.Path("version"), 30);
    if (version != 0) {
      GTEST_SKIP() << "Chromium cannot start (chromium --version: exit " << version
                   << "): " << ReadFileBytes(box_.Path("version.err"));
    }
  }

  // The browser kept to loopback: anything else goes to a proxy address
  // where nothing listens (loopback itself bypasses it).
  std::vector<std::string> Browser(const std::vector<std::string>& extra) const {
    std::vector<std::string> argv = {chromium_,
                                     "--headless",
                                     "--no-sandbox",
                                     "--disable-gpu",
                                     "--no-first-run",
                                     "--disable-background-networking",
                                     "--disable-component-update",
                                     "--disable-sync",
                                     "--disable-default-apps",
                                     "--proxy-server=http://127.0.0.1:9",
                                     "--user-data-dir=" + box_.Path("profile")};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return argv;
  }

  Sandbox box_;
  std::string chromium_;
};

std::string MinutesAgo(std::time_t now, int minutes) { return TimeText(now - minutes * 60); }

TEST_F(DashboardBrowserTest, ThePageCarriesTheFiguresAndDrawsItsCharts) {
  // Known events, relative to now:
  //   A: start 300 min ago, pause at part 1, resume, finish 180 min ago:
  //      7200 s, one pause, one resume.
  //   B: start 240 min ago, finish 230 min ago: 600 s.
  //   C: start 100 min ago, last update at part 2 90 min ago: stopped there.
  //   D: start 3 min ago: active now.
  // So: 4 started, 2 finished, 50.0 %; finish times 600 and 7200 s, median
  // 3900 s = 1 h 05 min, 90th percentile 7200 s = 2 h 00 min (bars 5-15 min
  // and 2-6 h, whose lower ends count in); pauses 0 and
  // 1, median 0.5; one of two resumed, 50.0 %; one stop, at part 2; one
  // machine active.
  const std::time_t now = std::time(nullptr);
  const std::string db = box_.Path("events.sqlite3");
  {
    std::string error;
    auto store = OpenEventStore(db, 1, 5000, error);
    ASSERT_TRUE(store) << error;
    store->Close();
  }
  ASSERT_TRUE(InsertEventRows(db, {
                                      {MinutesAgo(now, 300), "A", "start", {}},
                                      {MinutesAgo(now, 290), "A", "update", 0},
                                      {MinutesAgo(now, 280), "A", "pause", 1},
                                      {MinutesAgo(now, 240), "B", "start", {}},
                                      {MinutesAgo(now, 230), "B", "finish", {}},
                                      {MinutesAgo(now, 200), "A", "resume", 1},
                                      {MinutesAgo(now, 180), "A", "finish", {}},
                                      {MinutesAgo(now, 100), "C", "start", {}},
                                      {MinutesAgo(now, 90), "C", "update", 2},
                                      {MinutesAgo(now, 3), "D", "start", {}},
                                  }));
  fs::create_directories(box_.Path("parts"));
  box_.Write("parts/ToviSetup.exe", Pattern(100, 0));
  box_.Write("token", std::string(kToken) + "\n");
  ServerProcess server;
  ASSERT_TRUE(server.Start({"--port", "0", "--parts", box_.Path("parts"), "--db", db,
                            "--dashboard-token-file", box_.Path("token")},
                           box_.Path("server.log")));
  // Basic credentials in the address, as a bookmark of the staff would hold.
  const std::string url =
      "http://staff:" + std::string(kToken) + "@" + server.Address() + "/dashboard";

  ASSERT_EQ(RunProgram(Browser({"--dump-dom", url}), box_.Dir(), box_.Path("dom.html"), 90), 0)
      << ReadFileBytes(box_.Path("dom.html.err"));
  const std::string dom = ReadFileBytes(box_.Path("dom.html"));
  for (const char* expected : {
           "id=\"active-machines\">1<",
           "<th>all days</th><th>4</th><th>2</th><th>50.0 %</th>",
           "id=\"median-finish\">1 h 05 min<",
           "id=\"p90-finish\">2 h 00 min<",
           "id=\"median-pauses\">0.5<",
           "id=\"median-resumes\">0.5<",
           "id=\"resumed-share\">50.0 %<",
           "id=\"unfinished-count\">1<",
           "<td>part 2</td><td>1</td>",
           "<td>5-15 min</td><td>1</td>",
           "<td>2-6 h</td><td>1</td>",
       }) {
    EXPECT_NE(dom.find(expected), std::string::npos) << expected;
  }
  EXPECT_EQ(dom.find("<script"), std::string::npos);

  const std::string shot = box_.Path("dashboard.png");
  ASSERT_EQ(RunProgram(Browser({"--hide-scrollbars", "--window-size=1280,2200",
                                "--screenshot=" + shot, url}),
                       box_.Dir(), box_.Path("shot.log"), 90),
            0)
      << ReadFileBytes(box_.Path("shot.log.err"));
  ASSERT_TRUE(fs::exists(shot));
  const fs::path artefacts = TOVI_ARTIFACTS_DIR;
  fs::create_directories(artefacts);
  fs::copy_file(shot, artefacts / "dashboard.png", fs::copy_options::overwrite_existing);

  // The share of the screenshot in the finish-time bars' own colour: two
  // full-height bars of the histogram, so well above nothing.
  ASSERT_EQ(access(kConvert, X_OK), 0) << kConvert << " is missing (package imagemagick)";
  ASSERT_EQ(RunProgram({kConvert, shot, "-alpha", "off", "-fill", "black", "+opaque", "#8250df",
                        "-fill", "white", "-opaque", "#8250df", "-format", "%[fx:mean]", "info:"},
                       box_.Dir(), box_.Path("bars"), 60),
            0)
      << ReadFileBytes(box_.Path("bars.err"));
  const double share = std::atof(ReadFileBytes(box_.Path("bars")).c_str());
  EXPECT_GT(share, 0.001) << "no finish-time bar drawn in " << artefacts / "dashboard.png";
  server.Stop();
}

}  // namespace
