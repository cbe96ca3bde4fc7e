// tovi-server while its event store hangs: an SQLite write lock held by the
// test, or the test's own PostgreSQL stopped with SIGSTOP. Parts, pages and
// the communication file's HEAD answer at once meanwhile; reports, starts and
// resumes get 503 with Retry-After within the store time limit, never 408 and
// never a hang; a stop is quick; no report is answered 200 unless stored.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/postgres_cluster.h"
#include "server/raw_connection.h"
#include "server/server_process.h"
#include "server/server_test_support.h"
#include "support/sandbox.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

enum class Store { kSqlite, kPostgres };

const std::string kMachine = "&game=29&distributor=0";
constexpr int kStoreTimeoutMs = 500;

std::string Request(const std::string& target, const std::string& method = "GET",
                    const std::string& extra = "") {
  return method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n";
}

std::string Report(const std::string& mid, int bytes) {
  return "/update?mid=" + mid + kMachine + "&bytes=" + std::to_string(bytes) + "&current_part=0";
}

struct Timed {
  RawResponse response;
  milliseconds took{0};
};

// One request on a fresh connection, timed from connecting to the whole answer.
Timed TimedRequest(const std::string& address, const std::string& request, bool head = false,
                   milliseconds limit = milliseconds(10000)) {
  Timed timed;
  const auto began = Clock::now();
  RawConnection connection;
  if (connection.Connect(address) && connection.Send(request)) {
    timed.response = connection.Read(limit, head);
  }
  timed.took = std::chrono::duration_cast<milliseconds>(Clock::now() - began);
  return timed;
}

class StoreStallTest : public testing::TestWithParam<Store> {
 protected:
  void SetUp() override {
    if (GetParam() == Store::kPostgres) {
      PostgresCluster& cluster = PostgresCluster::Shared();
      if (!cluster.Available()) GTEST_SKIP() << "PostgreSQL tests skipped: " << cluster.Reason();
      conninfo_ = cluster.NewDatabase();
      ASSERT_FALSE(conninfo_.empty());
    }
    fs::create_directories(box_.Path("parts"));
    box_.Write("parts/ToviSetup.exe", Pattern(3000, 0));
    box_.Write("parts/ToviSetup-1.bin", Pattern(200000, 1));
    ASSERT_TRUE(server_.Start({"--port", "0", "--parts", box_.Path("parts"), "--db", DbArg(),
                               "--store-timeout", std::to_string(kStoreTimeoutMs),
                               "--max-connections-per-client", "1000", "--report-rate", "0"},
                              box_.Path("server.log")));
    // The store is in use before it hangs (PostgreSQL: a pooled connection).
    ASSERT_EQ(TimedRequest(server_.Address(), Request(Report("warm", 1))).response.status, 200);
  }

  void TearDown() override { Release(); }

  std::string DbArg() const {
    return GetParam() == Store::kPostgres ? conninfo_ : box_.Path("events.sqlite3");
  }

  std::vector<EventRow> Events() const {
    return GetParam() == Store::kPostgres ? ReadPostgresEvents(conninfo_)
                                          : ReadEvents(box_.Path("events.sqlite3"));
  }

  // The store hangs until Release.
  void Hold() {
    if (GetParam() == Store::kPostgres) {
      ASSERT_TRUE(PostgresCluster::Shared().SignalAll(SIGSTOP));
      frozen_ = true;
      return;
    }
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(box_.Path("events.sqlite3").c_str(), &raw, SQLITE_OPEN_READWRITE,
                              nullptr),
              SQLITE_OK);
    lock_.reset(raw);
    sqlite3_busy_timeout(raw, 5000);
    ASSERT_EQ(sqlite3_exec(raw, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(raw);
  }

  void Release() {
    if (frozen_) PostgresCluster::Shared().SignalAll(SIGCONT);
    frozen_ = false;
    if (lock_) sqlite3_exec(lock_.get(), "ROLLBACK;", nullptr, nullptr, nullptr);
    lock_.reset();
  }

  // Requests that must not wait for the store, each timed; the slowest.
  milliseconds SlowestFileAnswer(int rounds) {
    milliseconds slowest{0};
    for (int i = 0; i < rounds; ++i) {
      const Timed page = TimedRequest(server_.Address(), Request("/tovi/parte1"));
      EXPECT_EQ(page.response.status, 200);
      const Timed part = TimedRequest(server_.Address(),
                                      Request("/parts/ToviSetup.exe", "GET", "Range: bytes=10-19\r\n"));
      EXPECT_EQ(part.response.status, 206);
      EXPECT_EQ(part.response.body, Pattern(3000, 0).substr(10, 10));
      const Timed whole = TimedRequest(server_.Address(), Request("/parts/ToviSetup-1.bin"));
      EXPECT_EQ(whole.response.status, 200);
      EXPECT_EQ(whole.response.body.size(), 200000u);
      const Timed head = TimedRequest(server_.Address(),
                                      Request("/start?mid=h" + kMachine, "HEAD"), true);
      EXPECT_EQ(head.response.status, 200);
      for (const Timed* t : {&page, &part, &whole, &head}) slowest = std::max(slowest, t->took);
      std::this_thread::sleep_for(milliseconds(20));
    }
    return slowest;
  }

  struct Reporter {
    std::thread thread;
    Timed result;
  };

  // Sends a report on each of count fresh connections at once.
  std::vector<std::unique_ptr<Reporter>> SendReports(const std::string& prefix, int count) {
    std::vector<std::unique_ptr<Reporter>> reporters;
    for (int i = 0; i < count; ++i) {
      auto reporter = std::make_unique<Reporter>();
      Reporter* r = reporter.get();
      const std::string target = Report(prefix + std::to_string(i), i + 1);
      r->thread = std::thread([this, r, target] {
        r->result = TimedRequest(server_.Address(), Request(target));
      });
      reporters.push_back(std::move(reporter));
    }
    return reporters;
  }

  Sandbox box_;
  ServerProcess server_;
  std::string conninfo_;
  bool frozen_ = false;
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> lock_{nullptr, sqlite3_close};
};

TEST_P(StoreStallTest, FilesAndPagesDoNotWaitForAHungStore) {
  Hold();
  auto reporters = SendReports("stalled", 16);
  // While the reports wait for the store, and after they were refused.
  const milliseconds slowest = SlowestFileAnswer(25);
  EXPECT_LT(slowest.count(), 100) << "a part, page or HEAD waited for the store";

  for (auto& reporter : reporters) {
    reporter->thread.join();
    const Timed& r = reporter->result;
    EXPECT_EQ(r.response.status, 503) << r.response.body;
    EXPECT_EQ(r.response.Header("retry-after"), "1");
    // Answered at the store's time limit, not later (a generous margin for
    // a busy machine; the hang lasts until Release).
    EXPECT_LT(r.took.count(), kStoreTimeoutMs + 1500);
  }
  for (const char* route : {"/start", "/resume"}) {
    const Timed answer =
        TimedRequest(server_.Address(), Request(std::string(route) + "?mid=s" + kMachine));
    EXPECT_EQ(answer.response.status, 503) << route;
    EXPECT_EQ(answer.response.Header("retry-after"), "1") << route;
  }
  Release();

  // The store answers again: so does the server, at once.
  int status = 0;
  for (int tries = 0; tries < 50 && status != 200; ++tries) {
    status = TimedRequest(server_.Address(), Request(Report("after", 1))).response.status;
    if (status != 200) std::this_thread::sleep_for(milliseconds(100));
  }
  EXPECT_EQ(status, 200);
  const auto rows = Events();
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.front().mid, "warm");
  EXPECT_EQ(rows.back().mid, "after");
}

TEST_P(StoreStallTest, ManyReportsAgainstAHungStoreGet503NeverATimeout) {
  Hold();
  // More simultaneous reports than the store has threads or connections.
  auto reporters = SendReports("many", 200);
  int refused = 0;
  for (auto& reporter : reporters) {
    reporter->thread.join();
    const int status = reporter->result.response.status;
    EXPECT_EQ(status, 503);
    refused += status == 503;
  }
  EXPECT_EQ(refused, 200);
  Release();
  // Two hundred failures, a few log lines: the first, then summaries at
  // most once a second.
  const std::string log = box_.Read("server.log");
  size_t storeLines = 0;
  for (size_t at = log.find("tovi-server: "); at != std::string::npos;
       at = log.find("tovi-server: ", at + 1)) {
    const std::string line = log.substr(at, log.find('\n', at) - at);
    if (line.find("database") != std::string::npos) ++storeLines;
  }
  EXPECT_LE(storeLines, 8u) << log;
  // No report was answered 200 without being stored: only the first is in.
  if (GetParam() == Store::kSqlite) {
    EXPECT_EQ(Events().size(), 1u);
  }
}

TEST_P(StoreStallTest, StopIsQuickWhileTheStoreHangs) {
  Hold();
  auto reporters = SendReports("stopping", 8);
  std::this_thread::sleep_for(milliseconds(100));
  const auto began = Clock::now();
  EXPECT_EQ(server_.Stop(SIGTERM), 0);
  const auto took = Clock::now() - began;
  EXPECT_LT(took, std::chrono::seconds(2))
      << std::chrono::duration_cast<milliseconds>(took).count() << " ms";
  for (auto& reporter : reporters) {
    reporter->thread.join();
    // Answered 503 before the stop closed the connection.
    EXPECT_EQ(reporter->result.response.status, 503) << reporter->result.response.body;
  }
  Release();
}

INSTANTIATE_TEST_SUITE_P(Stores, StoreStallTest, testing::Values(Store::kSqlite, Store::kPostgres),
                         [](const testing::TestParamInfo<Store>& param) {
                           return param.param == Store::kPostgres ? "PostgreSQL" : "SQLite";
                         });

}  // namespace
