// Fetching the communication file and sending reports, against the
// in-process HTTP server: the exact requests, the size and load checks, and
// servers that are down or never answer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/thread.h"
#include "platform/ticks.h"
#include "stats/comm_file.h"
#include "stats/download_records.h"
#include "stats/parts_loop.h"
#include "stats/retry_budget.h"
#include "stats/stats_requests.h"
#include "stats/update_milestone.h"
#include "support/http_fixture.h"
#include "support/log_capture.h"
#include "support/sandbox.h"
#include "support/test_socket.h"
#include "transfer/sha256.h"
#include "transfer/transfer_pause.h"
#include "transfer/transfer_state.h"

namespace {

class StatsExchangeTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetDownloadRecordsForTesting();
    TheStatsSettings.mid = "SER&IAL#1%2+3 4::00-1A-2B-3C-4D-5E";
    TheStatsSettings.game = "29";
    TheStatsSettings.distributor = "0";
    TheStatsSettings.commFilePath = sandbox_.Path("comm290.tmp");
    // A server that cannot be reached fails in milliseconds, not minutes.
    SetRetryBudget({3, 10, 20, 2000});
  }
  void TearDown() override {
    ReleaseTransferPauseForTesting();
    ResetDownloadRecordsForTesting();
    SetRetryBudget(RetryBudget{});
  }

  void UseServer(const HttpFixture& server) { TheStatsSettings.baseUrl = server.Url(""); }

  Sandbox sandbox_;
};

const char* kEncodedQuery =
    "mid=SER%26IAL%231%252%2B3%204::00-1A-2B-3C-4D-5E&game=29&distributor=0";

// A loopback port nothing listens on.
uint16_t ClosedPort() {
  uint16_t port = 0;
  const TestSocket socket = ListenOnLoopback(&port);
  CloseTestSocket(socket);
  return port;
}

HttpReply SilentReply() {
  HttpReply reply;
  reply.silent = true;
  return reply;
}

HttpReply BodyReply(const std::string& body, int status = 200) {
  HttpReply reply;
  reply.status = status;
  reply.body = body;
  return reply;
}

// Pattern bytes of the given size; paced when bytesPerSecond is not 0.
HttpReply PatternReply(int64_t size, int64_t bytesPerSecond = 0) {
  HttpReply reply;
  reply.patternSize = size;
  reply.bytesPerSecond = bytesPerSecond;
  return reply;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(StatsExchangeTest, LoadPathsAndTheirChecks) {
  struct Case {
    const char* body;
    bool resume;
    bool loaded;
    std::vector<std::string> tail;  // the last log lines
  } cases[] = {
      {R"({"parts": 1, "url_0": "http://h/x/a", "size_0": "5"})", false, true, {}},
      {"{}", false, false, {"the communication file is too small"}},
      {"{} ", false, true, {}},
      {"", true, false, {"the communication file is too small"}},
      {"not json", false, false, {"could not load the communication file"}},
      {"not json", true, false, {"could not load the communication file  [ID-001]"}},
      {R"({"parts": 1, "url_0": "http://h/x/a", "size_0": "5"})",
       true,
       true,
       {"RESUME FILE: " + sandbox_.Path("a.q9tovi"), "RESUME FROM: 0"}},
  };
  for (const Case& c : cases) {
    ResetDownloadRecordsForTesting();
    SetUp();
    HttpFixture server(BodyReply(c.body));
    ASSERT_TRUE(server.Listening());
    UseServer(server);
    sandbox_.Write("comm290.tmp", "an earlier answer");
    LogCapture log;
    const bool loaded = c.resume ? LoadCommFileForResume(sandbox_.Dir(), "given")
                                 : LoadCommFileForStart(sandbox_.Dir());
    EXPECT_EQ(loaded, c.loaded) << c.body;
    // The earlier file is gone; what lies there now is the answer.
    EXPECT_EQ(sandbox_.Read("comm290.tmp"), c.body);
    ASSERT_EQ(server.RequestCount(), 1u) << c.body;
    EXPECT_EQ(server.RequestLine(0), std::string("GET /") + (c.resume ? "resume" : "start") + "?" +
                                         kEncodedQuery + " HTTP/1.1");
    const auto bodies = log.Bodies();
    ASSERT_FALSE(bodies.empty());
    EXPECT_EQ(bodies.front(),
              server.Url("/") + (c.resume ? "resume" : "start") + "?" + kEncodedQuery);
    ASSERT_GE(bodies.size(), c.tail.size());
    EXPECT_EQ(
        std::vector<std::string>(bodies.end() - static_cast<long>(c.tail.size()), bodies.end()),
        c.tail)
        << c.body;
    EXPECT_EQ(TheDownloadPlan.partUrls.size(),
              c.loaded && c.body[0] == '{' && c.body[1] != '}' ? 1u : 0u)
        << c.body;
  }
}

TEST_F(StatsExchangeTest, FetchFailures) {
  {
    // An old communication file that cannot be deleted stops the fetch.
    HttpFixture server(BodyReply("{} "));
    UseServer(server);
    std::filesystem::create_directory(TheStatsSettings.commFilePath);
    LogCapture log;
    EXPECT_FALSE(LoadCommFileForStart(sandbox_.Dir()));
    EXPECT_EQ(log.Bodies().back(), "could not delete old communication file");
    EXPECT_EQ(server.RequestCount(), 0u);
    std::filesystem::remove(TheStatsSettings.commFilePath);
  }
  {
    TheStatsSettings.baseUrl = "http://127.0.0.1:" + std::to_string(ClosedPort());
    LogCapture log;
    EXPECT_FALSE(LoadCommFileForResume(sandbox_.Dir(), "given"));
    EXPECT_EQ(log.Bodies().back(), "could not communicate with the stats server");
    EXPECT_EQ(TheDownloadPlan.partCount, 0);
  }
}

// A communication file is small; one that is not is never read into memory.
TEST_F(StatsExchangeTest, OversizedCommFileIsRefused) {
  HttpReply reply = PatternReply(kMaxCommFileBytes + 1);
  reply.announceLength = false;
  HttpFixture server(reply);
  UseServer(server);
  LogCapture log;
  EXPECT_FALSE(LoadCommFileForStart(sandbox_.Dir()));
  EXPECT_TRUE(log.Contains("server sent more than the expected 1048576 bytes, transfer stopped"));
  EXPECT_EQ(log.Bodies().back(), "could not communicate with the stats server");
  EXPECT_FALSE(std::filesystem::exists(TheStatsSettings.commFilePath));
}

TEST_F(StatsExchangeTest, ReportsCarryTheirFigures) {
  HttpFixture server(BodyReply("OK\n"));
  UseServer(server);
  sandbox_.Write("a.q9tovi", std::string(1000, 'a'));
  sandbox_.Write("b.q9tovi", std::string(234, 'b'));
  SetDownloadPlan({"http://h/a", "http://h/b"}, {1000, 234}, 0, sandbox_.Dir());
  TheDownloadPlan.currentPart = 1;
  TheDownloadPlan.downloading = true;

  sandbox_.Write("comm290.tmp", "{}");
  EXPECT_TRUE(ReportPause(123456));
  EXPECT_FALSE(FileExists(TheStatsSettings.commFilePath));
  EXPECT_FALSE(TheDownloadPlan.downloading);
  EXPECT_TRUE(ReportUpdate(-7));
  sandbox_.Write("comm290.tmp", "{}");
  EXPECT_TRUE(ReportFinish());
  EXPECT_FALSE(FileExists(TheStatsSettings.commFilePath));

  const std::string query = kEncodedQuery;
  ASSERT_EQ(server.RequestCount(), 3u);
  EXPECT_EQ(server.RequestLine(0), "GET /pause?" + query + "&bytes=123456&current_part=1 HTTP/1.1");
  EXPECT_EQ(server.RequestLine(1), "GET /update?" + query + "&bytes=-7&current_part=1 HTTP/1.1");
  EXPECT_EQ(server.RequestLine(2), "GET /finish?" + query + "&bytes=1234 HTTP/1.1");
}

TEST_F(StatsExchangeTest, ReportFailuresChangeNothingElse) {
  HttpFixture server(BodyReply("OK\n"));
  UseServer(server);
  // A communication file that cannot be deleted is logged; the pause still
  // goes out.
  std::filesystem::create_directory(TheStatsSettings.commFilePath);
  TheDownloadPlan.downloading = true;
  {
    LogCapture log;
    EXPECT_TRUE(ReportPause(5));
    EXPECT_EQ(log.Bodies(), std::vector<std::string>{"could not delete last communication file"});
  }
  EXPECT_FALSE(TheDownloadPlan.downloading);
  EXPECT_EQ(server.RequestCount(), 1u);
  // No worker thread: no request, false.
  SetThreadStartRefusedForTesting(true);
  const bool sent = ReportUpdate(5);
  SetThreadStartRefusedForTesting(false);
  EXPECT_FALSE(sent);
  EXPECT_EQ(server.RequestCount(), 1u);
}

TEST_F(StatsExchangeTest, ReportAnswerGoesNowhere) {
  HttpFixture server(BodyReply("STATS-ANSWER-BODY", 404));
  UseServer(server);
  const std::string captured = sandbox_.Path("stdout.txt");
  std::fflush(stdout);
  const int saved = dup(fileno(stdout));
  ASSERT_NE(saved, -1);
  std::FILE* sink = std::fopen(captured.c_str(), "wb");
  ASSERT_NE(sink, nullptr);
  dup2(fileno(sink), fileno(stdout));
  // An HTTP error status still counts as a completed request.
  const bool sent = SendStatsRequest(BuildStatsUrlForUpdate(1));
  std::fflush(stdout);
  dup2(saved, fileno(stdout));
  close(saved);
  std::fclose(sink);
  EXPECT_TRUE(sent);
  EXPECT_EQ(server.RequestCount(), 1u);
  EXPECT_EQ(sandbox_.Read("stdout.txt"), "");
}

TEST_F(StatsExchangeTest, UnreachableAndSilentServersAreBounded) {
  TheStatsSettings.baseUrl = "http://127.0.0.1:" + std::to_string(ClosedPort());
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ReportUpdate(10));
  EXPECT_LT(SecondsSince(start), 2.0);

  HttpFixture silent(SilentReply());
  UseServer(silent);
  sandbox_.Write("comm290.tmp", "{}");
  start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ReportPause(10));
  const double seconds = SecondsSince(start);
  EXPECT_GE(seconds, kStatsRequestTimeLimitMs / 1000.0 - 0.5);
  EXPECT_LT(seconds, kStatsRequestTimeLimitMs / 1000.0 + 3.0);
  EXPECT_EQ(silent.RequestCount(), 1u);
  // The pause still took effect locally.
  EXPECT_FALSE(FileExists(TheStatsSettings.commFilePath));
}

TEST_F(StatsExchangeTest, PartsLoopRefusesAPartOutsideThePlan) {
  struct Case {
    int32_t currentPart;
    bool logged;
  } cases[] = {{2, false}, {5, false}, {-1, true}};
  for (const Case& c : cases) {
    ResetDownloadRecordsForTesting();
    SetDownloadPlan({"http://127.0.0.1:1/a", "http://127.0.0.1:1/b"}, {1, 2}, 0, sandbox_.Dir());
    TheDownloadPlan.partCount = 2;
    TheDownloadPlan.currentPart = c.currentPart;
    LogCapture log;
    EXPECT_FALSE(DownloadAllParts()) << c.currentPart;
    EXPECT_EQ(TheDownloadPlan.currentPart, c.currentPart);
    EXPECT_FALSE(TheDownloadPlan.downloading);
    // No transfer was tried.
    EXPECT_EQ(log.Bodies().size(), c.logged ? 1u : 0u) << c.currentPart;
  }
  // A count larger than the lists (a parse that stopped early) is not indexed
  // past them either.
  ResetDownloadRecordsForTesting();
  TheDownloadPlan.partCount = 3;
  LogCapture log;
  EXPECT_FALSE(DownloadAllParts());
  EXPECT_EQ(log.Bodies(), std::vector<std::string>{"part 0 is not in the download plan"});
}

// Sizes the parse would refuse, set by hand: the progress base of a later
// part must not wrap around.
TEST_F(StatsExchangeTest, PartsLoopRefusesAProgressBaseBeyond64Bits) {
  HttpFixture parts(PatternReply(1000));
  SetDownloadPlan({parts.Url("/a"), parts.Url("/b")}, {INT64_MAX, 1000}, 1, sandbox_.Dir());
  sandbox_.Write("b.q9tovi", "x");
  TheDownloadPlan.partCount = 2;
  TheDownloadPlan.currentPart = 1;
  LogCapture log;
  EXPECT_FALSE(DownloadAllParts());
  EXPECT_EQ(log.Bodies(),
            std::vector<std::string>{"the bytes before part 1 add up to more than 64 bits hold"});
  EXPECT_EQ(parts.RequestCount(), 0u);
}

int lastReportedPercent = 0;

// The statistics duty of the window's progress listener.
void UpdatingListener(int percent, int64_t bytes) {
  if (TakeUpdateMilestone(percent, &lastReportedPercent)) (void)ReportUpdate(bytes);
}

TEST_F(StatsExchangeTest, PartsLoopSendsOneUpdatePerTenPerCent) {
  // Three parts of 20000 bytes, paced so that progress moves in steps below
  // one per cent and the listener sees every percentage.
  constexpr int64_t kPart = 20000;
  HttpFixture parts(PatternReply(kPart, 25000));
  HttpFixture stats(BodyReply("OK\n"));
  UseServer(stats);
  SetDownloadPlan({parts.Url("/a"), parts.Url("/b"), parts.Url("/c")}, {kPart, kPart, kPart}, 0,
                  sandbox_.Dir());
  TheDownloadPlan.partCount = 3;
  lastReportedPercent = 0;
  TheTransferState.progressListener = UpdatingListener;
  const bool loaded = DownloadAllParts();
  TheTransferState.progressListener = nullptr;
  ASSERT_TRUE(loaded);
  EXPECT_EQ(TheDownloadPlan.currentPart, 3);
  EXPECT_EQ(TheDownloadPlan.baseBytes, 2 * kPart);
  EXPECT_EQ(TheDownloadPlan.totalBytes, 3 * kPart);

  ASSERT_EQ(stats.RequestCount(), 9u);
  const std::string prefix = std::string("GET /update?") + kEncodedQuery + "&bytes=";
  for (size_t i = 0; i < 9; ++i) {
    const int percent = static_cast<int>(i + 1) * 10;
    const std::string line = stats.RequestLine(i);
    ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
    const int64_t bytes = std::stoll(line.substr(prefix.size()));
    EXPECT_GE(bytes, 3 * kPart * percent / 100) << line;
    EXPECT_LT(bytes, 3 * kPart * (percent + 1) / 100) << line;
    const std::string part = "&current_part=" + std::to_string(bytes / kPart) + " HTTP/1.1";
    EXPECT_EQ(line.substr(line.size() - part.size()), part) << line;
  }
  EXPECT_EQ(parts.RequestCount(), 3u);
}

TEST_F(StatsExchangeTest, PartsLoopStopsAtAFailedPart) {
  // Resumed at part 1 with 500 bytes on disk; the host of part 1 is down.
  HttpFixture parts(PatternReply(1000));
  const std::string down = "http://127.0.0.1:" + std::to_string(ClosedPort());
  SetDownloadPlan({parts.Url("/a"), down + "/b", parts.Url("/c")}, {1000, 1000, 1000}, 500,
                  sandbox_.Dir());
  sandbox_.Write("b.q9tovi", PatternBytes(0, 500));
  TheDownloadPlan.partCount = 3;
  TheDownloadPlan.currentPart = 1;
  EXPECT_FALSE(DownloadAllParts());
  EXPECT_EQ(TheDownloadPlan.currentPart, 1);
  EXPECT_EQ(TheDownloadPlan.resumeOffset, 500);
  EXPECT_EQ(TheDownloadPlan.baseBytes, 1000 + 500);
  EXPECT_EQ(TheDownloadPlan.totalBytes, 3000);
  EXPECT_FALSE(TheDownloadPlan.downloading);
  EXPECT_EQ(parts.RequestCount(), 0u);  // neither part 0 nor part 2
  EXPECT_FALSE(FileExists(sandbox_.Path("c.q9tovi")));
  EXPECT_EQ(sandbox_.Read("b.q9tovi"), PatternBytes(0, 500));
}

// A pause that falls between two parts, when no transfer runs to take it,
// holds the next part back: it waits, unstarted, until the process ends
// (here, until the test ends the wait).
TEST_F(StatsExchangeTest, PauseBetweenPartsHoldsTheNextPart) {
  HttpFixture parts(PatternReply(1000));
  SetDownloadPlan({parts.Url("/a"), parts.Url("/b")}, {1000, 1000}, 0, sandbox_.Dir());
  sandbox_.Write("a.q9tovi", PatternBytes(0, 1000));
  TheDownloadPlan.partCount = 2;
  TheDownloadPlan.currentPart = 1;
  LogCapture log;
  EXPECT_FALSE(RequestTransferPause());

  auto result = std::make_shared<std::atomic<int>>(-1);
  std::thread program([result] { result->store(DownloadAllParts() ? 1 : 0); });
  const uint32_t start = TickCount();
  while (!log.Contains("download paused before the next part") && result->load() == -1 &&
         TickCount() - start < 5000) {
    SleepMs(5);
  }
  SleepMs(300);
  EXPECT_EQ(result->load(), -1) << "the loop went on";
  EXPECT_EQ(parts.RequestCount(), 0u);
  CancelTransferForTesting();
  const uint32_t cancelled = TickCount();
  while (result->load() == -1 && TickCount() - cancelled < 5000) SleepMs(5);
  if (result->load() == -1) {
    program.detach();
    FAIL() << "the held loop did not end when cancelled";
  }
  program.join();
  EXPECT_EQ(result->load(), 0);
  EXPECT_EQ(TheDownloadPlan.currentPart, 1);
  EXPECT_FALSE(TheDownloadPlan.downloading);
  EXPECT_FALSE(FileExists(sandbox_.Path("b.q9tovi")));
}

// A resume answer names an earlier part than the one that was running
// (updates go out every ten per cent): the later part's file still holds
// bytes from before, which must not stay in front of the new ones.
TEST_F(StatsExchangeTest, ResumedLoopStartsLaterPartsFromEmptyFiles) {
  HttpFixture parts(PatternReply(1000));
  sandbox_.Write("comm290.tmp", R"({"parts": 2, "current_part": 0, "url_0": ")" + parts.Url("/a") +
                                    R"(", "size_0": "1000", "url_1": ")" + parts.Url("/b") +
                                    R"(", "size_1": "1000"})");
  sandbox_.Write("a.q9tovi", PatternBytes(0, 600));
  sandbox_.Write("b.q9tovi", std::string(1500, 'x'));
  ASSERT_TRUE(ParseCommFile(sandbox_.Dir(), sandbox_.Path("a.q9tovi"), true));
  EXPECT_TRUE(DownloadAllParts());
  EXPECT_EQ(TheDownloadPlan.currentPart, 2);
  ASSERT_EQ(parts.RequestCount(), 2u);
  EXPECT_EQ(parts.Header(0, "Range"), "bytes=600-");
  EXPECT_EQ(parts.Header(1, "Range"), "bytes=0-1000");
  EXPECT_EQ(sandbox_.Read("a.q9tovi"), PatternBytes(0, 1000));
  EXPECT_EQ(sandbox_.Read("b.q9tovi"), PatternBytes(0, 1000));
}

// More bytes on disk than the part has: fetched again from the first byte,
// and the progress base does not count the bad bytes.
TEST_F(StatsExchangeTest, OversizedPartialFileIsFetchedAgain) {
  HttpFixture parts(PatternReply(1000));
  sandbox_.Write("b.q9tovi", std::string(1500, 'x'));
  SetDownloadPlan({parts.Url("/a"), parts.Url("/b")}, {1000, 1000}, 1500, sandbox_.Dir());
  TheDownloadPlan.partCount = 2;
  TheDownloadPlan.currentPart = 1;
  EXPECT_TRUE(DownloadAllParts());
  EXPECT_EQ(TheDownloadPlan.baseBytes, 1000);
  EXPECT_EQ(sandbox_.Read("b.q9tovi"), PatternBytes(0, 1000));
}

// A size of 0, or the empty text, says nothing about the part: the empty
// file the start path made must not pass as the complete part.
TEST_F(StatsExchangeTest, PartOfSizeZeroIsDownloaded) {
  for (const char* size : {R"("")", R"("0")"}) {
    SCOPED_TRACE(size);
    ResetDownloadRecordsForTesting();
    SetUp();
    HttpFixture parts(PatternReply(3000));
    sandbox_.Write("comm290.tmp", R"({"parts": 1, "url_0": ")" + parts.Url("/setup.exe") +
                                      R"(", "size_0": )" + size + "}");
    ASSERT_TRUE(ParseCommFile(sandbox_.Dir(), std::string(), false));
    sandbox_.Write("setup.exe.q9tovi", "");
    EXPECT_TRUE(DownloadAllParts());
    EXPECT_EQ(parts.RequestCount(), 1u);
    EXPECT_EQ(sandbox_.Read("setup.exe.q9tovi"), PatternBytes(0, 3000));
  }
}

TEST_F(StatsExchangeTest, PartsLoopChecksEachPartsDigest) {
  HttpFixture parts(PatternReply(1000));
  const std::string bytes = PatternBytes(0, 1000);
  CSha256 hash;
  ASSERT_TRUE(hash.Update(bytes.data(), bytes.size()));
  const std::string good = hash.FinishHex();
  const std::string wrong(64, '0');
  SetDownloadPlan({parts.Url("/a"), parts.Url("/b"), parts.Url("/c")}, {1000, 1000, 1000}, 0,
                  sandbox_.Dir(), {good, wrong, ""});
  TheDownloadPlan.partCount = 3;
  LogCapture log;
  EXPECT_FALSE(DownloadAllParts());
  EXPECT_EQ(TheDownloadPlan.currentPart, 1);
  // The part with the wrong digest is fetched once more, whole, then fails.
  EXPECT_EQ(parts.RequestCount(), 3u);
  EXPECT_EQ(parts.Header(2, "Range"), "<none>");
  EXPECT_EQ(sandbox_.Read("a.q9tovi"), bytes);
  EXPECT_FALSE(FileExists(sandbox_.Path("b.q9tovi")));
  EXPECT_EQ(log.Count("wrong content in " + sandbox_.Path("b.q9tovi") + ": sha256 expected " +
                      wrong + ", got " + good + ". deleting bad file."),
            2u);
}

// Reports, like transfers, go over HTTP only.
TEST_F(StatsExchangeTest, ReportsTakeHttpOnly) {
  sandbox_.Write("local.txt", "local file");
  std::string url = "file://";
  const std::string path = sandbox_.Path("local.txt");
  if (path[0] != '/') url += '/';
  for (const char c : path) url += c == '\\' ? '/' : c;
  EXPECT_FALSE(SendStatsRequest(url));
}

TEST(WhiteSpace, RemovedWhereverItStands) {
  EXPECT_EQ(RemoveWhiteSpace(" http://h/a b\tc\nd\ve\ff\r\n"), "http://h/abcdef");
  EXPECT_EQ(RemoveWhiteSpace("http://h/x"), "http://h/x");
}

}  // namespace
