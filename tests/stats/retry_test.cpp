// Retries of passing faults in the parts loop and the communication file,
// against in-process servers that fail the way networks do, with a budget
// shrunk to milliseconds.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/ticks.h"
#include "stats/comm_file.h"
#include "stats/download_records.h"
#include "stats/parts_loop.h"
#include "stats/retry_budget.h"
#include "stats/stats_requests.h"
#include "support/http_fixture.h"
#include "support/log_capture.h"
#include "support/sandbox.h"
#include "support/test_socket.h"
#include "transfer/sha256.h"
#include "transfer/transfer_pause.h"
#include "transfer/transfer_state.h"

namespace {

constexpr int64_t kSize = 200000;

std::string Sha256Of(const std::string& bytes) {
  CSha256 hash;
  EXPECT_TRUE(hash.Update(bytes.data(), bytes.size()));
  return hash.FinishHex();
}

HttpReply Pattern(int64_t size = kSize) {
  HttpReply reply;
  reply.patternSize = size;
  return reply;
}

HttpReply Status(int status, const std::string& headers = "") {
  HttpReply reply;
  reply.status = status;
  reply.body = "busy";
  reply.headers = headers;
  return reply;
}

std::vector<uint32_t> notices;
void RecordNotice(uint32_t seconds) { notices.push_back(seconds); }

class RetryTest : public testing::Test {
 protected:
  void SetUp() override {
    SetStallBoundForTesting(1000);
    SetRetryBudget(kSmall);
    ResetDownloadRecordsForTesting();
    notices.clear();
    TheRetryNotice = RecordNotice;
  }
  void TearDown() override {
    SetStallBoundForTesting(kDefaultStallBoundMs);
    SetRetryBudget(RetryBudget{});
    TheRetryNotice = nullptr;
    ResetDownloadRecordsForTesting();
    TheStatsSettings.commFilePath.clear();
  }

  // A plan of the given parts, all in the sandbox, from part 0.
  void Plan(const std::vector<std::string>& urls, const std::vector<int64_t>& sizes,
            const std::vector<std::string>& digests = {}) {
    SetDownloadPlan(urls, sizes, 0, sandbox_.Dir(), digests);
    TheDownloadPlan.partCount = static_cast<int32_t>(urls.size());
    TheDownloadPlan.currentPart = 0;
  }

  bool LogHas(const std::string& piece) const {
    for (const auto& body : log_.Bodies()) {
      if (body.find(piece) != std::string::npos) return true;
    }
    return false;
  }

  static constexpr RetryBudget kSmall{6, 20, 100, 5000};
  Sandbox sandbox_;
  LogCapture log_;
};

TEST(RetryWaitTest, DoublesToTheCapAndHonoursRetryAfterUpToIt) {
  const RetryBudget budget;  // the program's: 1 s doubling to 30 s
  const struct {
    int failedTries;
    long retryAfter;
    uint32_t waitMs;
  } cases[] = {
      {1, -1, 1000},  {2, -1, 2000},   {3, -1, 4000}, {5, -1, 16000},
      {6, -1, 30000}, {40, -1, 30000}, {1, 7, 7000},  {9, 120, 30000},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RetryWaitMs(budget, c.failedTries, c.retryAfter), c.waitMs)
        << c.failedTries << " " << c.retryAfter;
  }
  // Five minutes of outage are tried through before the run gives up.
  EXPECT_GE(budget.outageMs, 300000u);
  EXPECT_GE(budget.maxTries * 1000ull, 300000ull / 30);
}

// Each passing fault is tried again, from the bytes already on disk, until
// the part arrives whole.
TEST_F(RetryTest, EachPassingFaultIsRetriedFromTheBytesOnDisk) {
  HttpReply cut = Pattern();
  cut.closeAfter = 50000;
  HttpReply stall = Pattern();
  stall.stallAfter = 30000;
  stall.holdMs = 3000;
  HttpReply reset;
  reset.reset = true;
  HttpFixture server(Pattern());
  server.QueueReplies({cut, stall, reset, Status(503), Status(500), Status(408), Status(429)});
  SetRetryBudget({10, 20, 100, 5000});
  Plan({server.Url()}, {kSize});

  ASSERT_TRUE(DownloadAllParts());

  EXPECT_EQ(ReadFileBytes(TheDownloadPlan.partialPaths[0]), PatternBytes(0, kSize));
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 8u);
  // The cut-short answer left 50000 bytes; the stall 30000 more from there.
  EXPECT_EQ(server.Header(1, "Range"), "bytes=50000-");
  for (size_t i = 2; i < 8; ++i) EXPECT_EQ(server.Header(i, "Range"), "bytes=80000-") << i;
  // Every byte of the part once, and the four error pages' "busy".
  EXPECT_EQ(server.BodyBytesSent(), kSize + 4 * 4);
  EXPECT_TRUE(LogHas("no data received for 1000 ms, transfer stalled"));
  EXPECT_TRUE(LogHas("part 0: try 1 failed"));
  // The new bytes of the stall made it a new outage: the count starts anew.
  EXPECT_TRUE(LogHas("part 0: try 6 failed (server answered HTTP 429"));
}

TEST_F(RetryTest, RefusedConnectionIsRetriedUntilTheServerIsBack) {
  uint16_t port = 0;
  CloseTestSocket(ListenOnLoopback(&port));
  SetRetryBudget({20, 100, 200, 10000});
  Plan({"http://127.0.0.1:" + std::to_string(port) + "/file.bin"}, {kSize});
  std::atomic<bool> listening{false};
  std::unique_ptr<HttpFixture> server;
  std::thread later([&] {
    SleepMs(600);
    server = std::make_unique<HttpFixture>(Pattern(), port);
    listening = server->Listening();
  });

  const bool downloaded = DownloadAllParts();
  later.join();

  ASSERT_TRUE(listening.load()) << "port " << port << " was taken meanwhile";
  EXPECT_TRUE(downloaded);
  EXPECT_EQ(ReadFileBytes(TheDownloadPlan.partialPaths[0]), PatternBytes(0, kSize));
  EXPECT_TRUE(LogHas("Couldn't connect to server"));
  EXPECT_EQ(server->RequestCount(), 1u);
}

TEST_F(RetryTest, RetryAfterIsHonouredUpToTheCap) {
  SetRetryBudget({6, 20, 1500, 10000});
  HttpFixture server(Pattern());
  server.QueueReplies({Status(503, "Retry-After: 1\r\n")});
  Plan({server.Url()}, {kSize});
  const uint32_t start = TickCount();

  ASSERT_TRUE(DownloadAllParts());

  EXPECT_GE(TickCount() - start, 950u);
  EXPECT_EQ(server.RequestCount(), 2u);
  EXPECT_TRUE(LogHas("retrying in 1000 ms"));
  // The wait said so on the detail line, then cleared it.
  EXPECT_EQ(notices, (std::vector<uint32_t>{1, 0}));
}

TEST_F(RetryTest, ExhaustedBudgetAndLastingFaultsFail) {
  const struct {
    const char* name;
    HttpReply reply;
    size_t requests;
  } cases[] = {
      {"503 throughout", Status(503), 6},
      {"404 at once", Status(404), 1},
      {"403 at once", Status(403), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HttpFixture server(c.reply);
    Plan({server.Url()}, {kSize});
    EXPECT_FALSE(DownloadAllParts());
    EXPECT_EQ(server.RequestCount(), c.requests);
    EXPECT_EQ(TheDownloadPlan.currentPart, 0);
    EXPECT_FALSE(TheDownloadPlan.downloading);
  }
  EXPECT_TRUE(LogHas("part 0: giving up after 6 tries"));
}

TEST_F(RetryTest, ThePartsOutageClockStopsTheRetries) {
  SetRetryBudget({1000, 20, 50, 400});
  HttpFixture server(Status(502));
  Plan({server.Url()}, {kSize});
  const uint32_t start = TickCount();
  EXPECT_FALSE(DownloadAllParts());
  EXPECT_LT(TickCount() - start, 3000u);
  EXPECT_GE(server.RequestCount(), 4u);
  EXPECT_TRUE(LogHas("part 0: giving up after"));
}

// A pause during the wait holds the retries as it holds a transfer: nothing
// more is asked for, and the loop ends only with the process (here: a
// test's cancel).
TEST_F(RetryTest, PauseDuringTheWaitHoldsTheRetries) {
  SetRetryBudget({6, 300, 300, 10000});
  HttpFixture server(Status(503));
  Plan({server.Url()}, {kSize});
  std::atomic<bool> held{false};
  std::thread user([&] {
    const uint32_t start = TickCount();
    while (server.RequestCount() == 0 && TickCount() - start < 5000) SleepMs(5);
    TheDownloadPlan.downloading = false;  // what the pause report does
    SleepMs(900);
    held = server.RequestCount() == 1;
    CancelTransferForTesting();
  });

  EXPECT_FALSE(DownloadAllParts());
  user.join();

  EXPECT_TRUE(held.load()) << server.RequestCount() << " requests";
  EXPECT_TRUE(LogHas("download paused while waiting to retry"));
}

TEST_F(RetryTest, WrongContentIsFetchedOnceMoreFromTheFirstByte) {
  HttpFixture server(Pattern());
  Plan({server.Url()}, {kSize}, {std::string(64, 'a')});
  EXPECT_FALSE(DownloadAllParts());
  ASSERT_EQ(server.RequestCount(), 2u);
  EXPECT_EQ(server.Header(1, "Range"), "<none>");
  EXPECT_FALSE(std::filesystem::exists(TheDownloadPlan.partialPaths[0]));
}

// With digests, what is on disk is checked instead of fetched again.
TEST_F(RetryTest, VerifiedPartsOnDiskAreKeptAtAResume) {
  const std::string whole = PatternBytes(0, kSize);
  HttpFixture part0(Pattern());
  HttpFixture part1(Pattern());
  HttpFixture part2(Pattern());
  HttpFixture part3(Pattern());
  Plan({part0.Url("/p0"), part1.Url("/p1"), part2.Url("/p2"), part3.Url("/p3")},
       {kSize, kSize, kSize, kSize}, {Sha256Of(whole), Sha256Of(whole), Sha256Of(whole), ""});
  // The server names part 0 (its file is complete); part 1 complete, part 2
  // half there, part 3 without a digest half there.
  sandbox_.Write("p0.q9tovi", whole);
  sandbox_.Write("p1.q9tovi", whole);
  sandbox_.Write("p2.q9tovi", PatternBytes(0, 70000));
  sandbox_.Write("p3.q9tovi", PatternBytes(0, 70000));
  TheDownloadPlan.resumeOffset = kSize;

  ASSERT_TRUE(DownloadAllParts());

  EXPECT_EQ(part0.RequestCount(), 0u);
  EXPECT_EQ(part1.RequestCount(), 0u);
  ASSERT_EQ(part2.RequestCount(), 1u);
  EXPECT_EQ(part2.Header(0, "Range"), "bytes=70000-");
  ASSERT_EQ(part3.RequestCount(), 1u);
  EXPECT_EQ(part3.Header(0, "Range"), "bytes=0-200000");
  for (const auto& path : TheDownloadPlan.partialPaths) EXPECT_EQ(ReadFileBytes(path), whole);
}

TEST_F(RetryTest, StaleLaterPartialIsFetchedAgainFromItsFirstByte) {
  const std::string whole = PatternBytes(0, kSize);
  HttpFixture part0(Pattern());
  HttpFixture part1(Pattern());
  Plan({part0.Url("/p0"), part1.Url("/p1")}, {kSize, kSize}, {Sha256Of(whole), Sha256Of(whole)});
  sandbox_.Write("p0.q9tovi", whole);
  sandbox_.Write("p1.q9tovi", std::string(70000, 'x'));
  TheDownloadPlan.resumeOffset = kSize;

  ASSERT_TRUE(DownloadAllParts());

  ASSERT_EQ(part1.RequestCount(), 2u);
  EXPECT_EQ(part1.Header(0, "Range"), "bytes=70000-");
  EXPECT_EQ(part1.Header(1, "Range"), "<none>");
  EXPECT_EQ(ReadFileBytes(TheDownloadPlan.partialPaths[1]), whole);
}

TEST_F(RetryTest, CommunicationFileIsRetriedButNotAMissingOne) {
  TheStatsSettings.commFilePath = sandbox_.Path("comm290.tmp");
  const std::string comm =
      R"({"parts": 1, "current_part": 0, "url_0": "http://127.0.0.1:1/a.bin", "size_0": "5"})";
  {
    HttpReply good;
    good.body = comm;
    HttpReply cut = good;
    cut.closeAfter = 10;
    HttpFixture stats(good);
    stats.QueueReplies({Status(503), cut});
    EXPECT_TRUE(FetchCommFile(stats.Url("/start")));
    EXPECT_EQ(stats.RequestCount(), 3u);
    EXPECT_EQ(ReadFileBytes(TheStatsSettings.commFilePath), comm);
    EXPECT_EQ(stats.Header(2, "Range"), "<none>");
  }
  {
    HttpFixture stats(Status(404));
    EXPECT_FALSE(FetchCommFile(stats.Url("/start")));
    EXPECT_EQ(stats.RequestCount(), 1u);
  }
  EXPECT_TRUE(LogHas("communication file: try 2 failed"));
}

}  // namespace
