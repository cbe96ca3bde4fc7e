// tovi-server driven as a program on 127.0.0.1: its answers to the
// statistics requests, what it stores, the part files with ranges, the
// refused paths, the pages and a clean stop.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <jansson.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "server/http_client.h"
#include "server/postgres_cluster.h"
#include "server/server_process.h"
#include "server/server_test_support.h"
#include "support/sandbox.h"

namespace {

namespace fs = std::filesystem;

struct JsonDecref {
  void operator()(json_t* value) const { json_decref(value); }
};
using JsonPtr = std::unique_ptr<json_t, JsonDecref>;

JsonPtr ParseJson(const std::string& text) {
  return JsonPtr(json_loadb(text.data(), text.size(), 0, nullptr));
}

std::string JsonText(json_t* object, const char* key) {
  const char* value = json_string_value(json_object_get(object, key));
  return value ? value : "<not a string>";
}

json_int_t JsonInt(json_t* object, const char* key) {
  json_t* value = json_object_get(object, key);
  return json_is_integer(value) ? json_integer_value(value) : -999;
}

const std::string kMachine = "&game=29&distributor=0";

// The digest as the system's sha256sum tool gives it.
std::string Sha256Sum(const std::string& path) {
  std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(("sha256sum '" + path + "'").c_str(), "r"),
                                                pclose);
  if (!pipe) return "";
  char hex[65] = {};
  return std::fread(hex, 1, 64, pipe.get()) == 64 ? std::string(hex) : std::string();
}

size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

enum class Store { kSqlite, kPostgres };

class ServerTest : public testing::Test {
 protected:
  void SetUp() override { StartWith(Store::kSqlite); }

  void StartWith(Store store) {
    store_ = store;
    if (store == Store::kPostgres) {
      PostgresCluster& cluster = PostgresCluster::Shared();
      if (!cluster.Available()) GTEST_SKIP() << "PostgreSQL tests skipped: " << cluster.Reason();
      conninfo_ = cluster.NewDatabase();
      ASSERT_FALSE(conninfo_.empty());
    }
    fs::create_directories(PartsDir());
    box_.Write("parts/ToviSetup.exe", Pattern(3000, 0));
    box_.Write("parts/ToviSetup-1.bin", Pattern(2000, 1));
    box_.Write("parts/ToviSetup-2.bin", Pattern(1000, 2));
    ASSERT_TRUE(server_.Start({"--port", "0", "--parts", PartsDir(), "--db", DbArg()},
                              box_.Path("server.log")));
  }

  std::string PartsDir() const { return box_.Path("parts"); }
  std::string DbPath() const { return box_.Path("events.sqlite3"); }
  std::string DbArg() const { return store_ == Store::kPostgres ? conninfo_ : DbPath(); }
  std::vector<EventRow> Events() const {
    return store_ == Store::kPostgres ? ReadPostgresEvents(conninfo_) : ReadEvents(DbPath());
  }
  HttpAnswer Get(const std::string& target, const std::vector<std::string>& headers = {}) {
    return HttpGet(server_.Url(target), headers);
  }

  Sandbox box_;
  ServerProcess server_;
  Store store_ = Store::kSqlite;
  std::string conninfo_;
};

// The tests of what is stored and answered from the store run on both.
class ServerStoreTest : public ServerTest, public testing::WithParamInterface<Store> {
 protected:
  void SetUp() override { StartWith(GetParam()); }
};

std::string StoreName(const testing::TestParamInfo<Store>& info) {
  return info.param == Store::kPostgres ? "PostgreSQL" : "SQLite";
}

TEST_P(ServerStoreTest, BadQueriesAreRefusedAndNothingIsStored) {
  const std::string longMid(1043, 'm');
  const char* const kBad[] = {
      "/start?game=29&distributor=0",
      "/start?mid=&game=29&distributor=0",
      "/resume?mid=a&distributor=0",
      "/start?mid=a&game=2x&distributor=0",
      "/start?mid=a&game=29&distributor=-1",
      "/start?mid=a&game=12345678901&distributor=0",
      "/start?mid=a%00b&game=29&distributor=0",
      "/start?mid=a%zz&game=29&distributor=0",
      "/start?mid=a%2&game=29&distributor=0",
      "/start?mid=a&mid=b&game=29&distributor=0",
      "/update?mid=a&game=29&distributor=0&current_part=1",
      "/update?mid=a&game=29&distributor=0&bytes=12a&current_part=1",
      "/update?mid=a&game=29&distributor=0&bytes=%2B5&current_part=1",
      "/update?mid=a&game=29&distributor=0&bytes=%205&current_part=1",
      "/update?mid=a&game=29&distributor=0&bytes=9223372036854775808&current_part=1",
      "/pause?mid=a&game=29&distributor=0&bytes=5",
      "/pause?mid=a&game=29&distributor=0&bytes=5&current_part=-1",
      "/pause?mid=a&game=29&distributor=0&bytes=5&current_part=2147483648",
      "/pause?mid=a&game=29&distributor=0&bytes=5&current_part=1.0",
      "/finish?mid=a&game=29&distributor=0",
      "/finish?mid=a&game=29&distributor=0&bytes=",
  };
  std::vector<std::string> cases(std::begin(kBad), std::end(kBad));
  cases.push_back("/start?mid=" + longMid + kMachine);
  for (const auto& target : cases) {
    const HttpAnswer answer = Get(target);
    EXPECT_EQ(answer.status, 400) << target;
    EXPECT_EQ(answer.body.rfind("bad request: ", 0), 0u) << target << " -> " << answer.body;
  }
  EXPECT_TRUE(Events().empty());

  // The limits themselves are accepted: the longest identifier the
  // downloader builds (a 1023-byte serial, "::", an adapter address) with
  // any byte a disk may report, every one percent-encoded.
  std::string longestMid;
  std::string encoded;
  for (int i = 0; i < 1023; ++i) longestMid.push_back(static_cast<char>(1 + i % 255));
  longestMid += "::00-1A-2B-3C-4D-5E";
  for (char c : longestMid) {
    char escape[4];
    std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(c));
    encoded += escape;
  }
  EXPECT_EQ(Get("/start?mid=" + encoded + kMachine).status, 200);
  EXPECT_EQ(Get("/update?mid=a" + kMachine + "&bytes=-9223372036854775808&current_part=2147483647")
                .status,
            200);
  const auto rows = Events();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].mid, longestMid);
  EXPECT_EQ(rows[1].bytes, INT64_MIN);
  EXPECT_EQ(rows[1].currentPart, 2147483647);
}

TEST_P(ServerStoreTest, ReportsAreStoredExactly) {
  // A quote, an encoded '&', '%', '#' and '+', a literal '+' and a space.
  const std::string mid = "WD-'x\"&%#+ +z";
  const std::string encoded = "WD-'x\"%26%25%23%2B%20+z";
  const HttpAnswer pause = Get("/pause?mid=" + encoded + kMachine + "&bytes=123456&current_part=0");
  EXPECT_EQ(pause.status, 200);
  EXPECT_EQ(pause.body, "OK\n");
  EXPECT_EQ(pause.Header("content-type").rfind("text/plain", 0), 0u);
  EXPECT_EQ(Get("/update?mid=" + encoded + "&game=7&distributor=3&bytes=-5&current_part=2").status,
            200);
  EXPECT_EQ(Get("/finish?mid=" + encoded + kMachine + "&bytes=6000&current_part=9").status, 200);
  EXPECT_EQ(Get("/start?mid=" + encoded + kMachine + "&extra=1").status, 200);

  const auto rows = Events();
  ASSERT_EQ(rows.size(), 4u);
  const EventRow expected[] = {
      {"pause", mid, "29", "0", 123456, 0},
      {"update", mid, "7", "3", -5, 2},
      {"finish", mid, "29", "0", 6000, std::nullopt},
      {"start", mid, "29", "0", std::nullopt, std::nullopt},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].event, expected[i].event);
    EXPECT_EQ(rows[i].mid, expected[i].mid) << rows[i].event;
    EXPECT_EQ(rows[i].game, expected[i].game) << rows[i].event;
    EXPECT_EQ(rows[i].distributor, expected[i].distributor) << rows[i].event;
    EXPECT_EQ(rows[i].bytes, expected[i].bytes) << rows[i].event;
    EXPECT_EQ(rows[i].currentPart, expected[i].currentPart) << rows[i].event;
  }
}

TEST_F(ServerTest, StartListsThePartsInOrder) {
  const HttpAnswer answer = Get("/start?mid=m1" + kMachine);
  ASSERT_EQ(answer.status, 200);
  EXPECT_EQ(answer.Header("content-type"), "application/json");
  JsonPtr json = ParseJson(answer.body);
  ASSERT_TRUE(json) << answer.body;
  EXPECT_EQ(JsonInt(json.get(), "parts"), 3);
  EXPECT_EQ(JsonInt(json.get(), "current_part"), 0);
  const std::string base = "http://" + server_.Address() + "/parts/";
  EXPECT_EQ(JsonText(json.get(), "url_0"), base + "ToviSetup.exe");
  EXPECT_EQ(JsonText(json.get(), "size_0"), "3000");
  EXPECT_EQ(JsonText(json.get(), "url_1"), base + "ToviSetup-1.bin");
  EXPECT_EQ(JsonText(json.get(), "size_1"), "2000");
  EXPECT_EQ(JsonText(json.get(), "url_2"), base + "ToviSetup-2.bin");
  EXPECT_EQ(JsonText(json.get(), "size_2"), "1000");
  EXPECT_EQ(json_object_get(json.get(), "url_3"), nullptr);
  const char* const kNames[] = {"ToviSetup.exe", "ToviSetup-1.bin", "ToviSetup-2.bin"};
  for (int i = 0; i < 3; ++i) {
    const std::string key = "sha256_" + std::to_string(i);
    EXPECT_EQ(JsonText(json.get(), key.c_str()), Sha256Sum(box_.Path("parts/") + kNames[i])) << key;
  }

  // The URLs name the server's own address whatever Host the client sends.
  json = ParseJson(Get("/start?mid=m1" + kMachine, {"Host: tovi.example:8101"}).body);
  ASSERT_TRUE(json);
  EXPECT_EQ(JsonText(json.get(), "url_0"), base + "ToviSetup.exe");
  // Whatever its length: 255 characters, the longest host name, and one more.
  for (const size_t length : {255u, 256u}) {
    const std::string host = std::string(length - 5, 'h') + ":8101";
    json = ParseJson(Get("/start?mid=m1" + kMachine, {"Host: " + host}).body);
    ASSERT_TRUE(json) << length;
    EXPECT_EQ(JsonText(json.get(), "url_0"), base + "ToviSetup.exe") << length;
  }
}

TEST_F(ServerTest, DigestsAreKeptUntilAPartChanges) {
  auto digest = [this](const char* key) {
    JsonPtr json = ParseJson(Get("/start?mid=d" + kMachine).body);
    return json ? JsonText(json.get(), key) : std::string();
  };
  const std::string before = digest("sha256_2");
  EXPECT_EQ(digest("sha256_2"), before);
  EXPECT_EQ(CountOf(box_.Read("server.log"), "hashed ToviSetup-2.bin"), 1u);

  // Same size, other bytes, a later time: hashed again.
  box_.Write("parts/ToviSetup-2.bin", Pattern(1000, 9));
  fs::last_write_time(
      box_.Path("parts/ToviSetup-2.bin"),
      fs::last_write_time(box_.Path("parts/ToviSetup-2.bin")) + std::chrono::seconds(5));
  const std::string after = digest("sha256_2");
  EXPECT_NE(after, before);
  EXPECT_EQ(after, Sha256Sum(box_.Path("parts/ToviSetup-2.bin")));
  EXPECT_EQ(CountOf(box_.Read("server.log"), "hashed ToviSetup-2.bin"), 2u);

  // Another size with the same time: hashed again.
  const auto stamp = fs::last_write_time(box_.Path("parts/ToviSetup-2.bin"));
  box_.Write("parts/ToviSetup-2.bin", Pattern(1500, 3));
  fs::last_write_time(box_.Path("parts/ToviSetup-2.bin"), stamp);
  const std::string resized = digest("sha256_2");
  EXPECT_NE(resized, after);
  EXPECT_EQ(resized, Sha256Sum(box_.Path("parts/ToviSetup-2.bin")));
}

TEST_P(ServerStoreTest, ResumeNamesTheLastReportedPart) {
  auto resumePart = [this](const std::string& midAndCodes) {
    const HttpAnswer answer = Get("/resume?mid=" + midAndCodes);
    EXPECT_EQ(answer.status, 200) << answer.body;
    JsonPtr json = ParseJson(answer.body);
    EXPECT_TRUE(json) << answer.body;
    return json ? JsonInt(json.get(), "current_part") : -999;
  };
  EXPECT_EQ(resumePart("unseen" + kMachine), 0);

  ASSERT_EQ(Get("/start?mid=m1" + kMachine).status, 200);
  ASSERT_EQ(Get("/update?mid=m1" + kMachine + "&bytes=600&current_part=0").status, 200);
  ASSERT_EQ(Get("/update?mid=m1" + kMachine + "&bytes=3600&current_part=1").status, 200);
  EXPECT_EQ(resumePart("m1" + kMachine), 1);
  ASSERT_EQ(Get("/pause?mid=m1" + kMachine + "&bytes=5400&current_part=2").status, 200);
  EXPECT_EQ(resumePart("m1" + kMachine), 2);
  // A finish report carries no part and changes nothing.
  ASSERT_EQ(Get("/finish?mid=m1" + kMachine + "&bytes=6000").status, 200);
  EXPECT_EQ(resumePart("m1" + kMachine), 2);

  // The machine is the triple mid, game, distributor.
  EXPECT_EQ(resumePart("m1&game=29&distributor=1"), 0);
  EXPECT_EQ(resumePart("m2" + kMachine), 0);

  // The identifier is data, never statement text: a quote in it finds its
  // own reports, and one shaped as a condition finds no other machine's.
  ASSERT_EQ(Get("/update?mid=it's" + kMachine + "&bytes=1&current_part=1").status, 200);
  EXPECT_EQ(resumePart("it's" + kMachine), 1);
  EXPECT_EQ(resumePart("x'%20OR%20mid%3D'm1" + kMachine), 0);
  // The identifier is a bound value: quotes in it change nothing.
  ASSERT_EQ(Get("/update?mid=q%27%22x" + kMachine + "&bytes=1&current_part=2").status, 200);
  EXPECT_EQ(resumePart("q%27%22x" + kMachine), 2);
  EXPECT_EQ(resumePart("q%27%22" + kMachine), 0);
  // Any bytes, a backslash and one that is no UTF-8 included.
  ASSERT_EQ(Get("/update?mid=a%5Cb%FF" + kMachine + "&bytes=1&current_part=1").status, 200);
  EXPECT_EQ(resumePart("a%5Cb%FF" + kMachine), 1);

  // A part beyond the installer is clamped to the last one.
  ASSERT_EQ(Get("/update?mid=m3" + kMachine + "&bytes=1&current_part=7").status, 200);
  EXPECT_EQ(resumePart("m3" + kMachine), 2);
  // And stored as it was answered.
  EXPECT_EQ(Events().back().event, "resume");
  EXPECT_EQ(Events().back().currentPart, 2);

  // A new start forgets the reports of the download before it.
  ASSERT_EQ(Get("/start?mid=m1" + kMachine).status, 200);
  EXPECT_EQ(resumePart("m1" + kMachine), 0);

  const auto rows = Events();
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.back().event, "resume");
  EXPECT_EQ(rows.back().currentPart, 0);
}

TEST_F(ServerTest, PartsAreServedWithRanges) {
  const std::string content = Pattern(3000, 0);
  struct Case {
    std::string range;
    long status;
    std::string contentRange;
    size_t first, length;
  };
  const Case kCases[] = {
      {"", 200, "", 0, 3000},
      {"bytes=0-", 206, "bytes 0-2999/3000", 0, 3000},
      {"bytes=10-19", 206, "bytes 10-19/3000", 10, 10},
      {"bytes=2999-2999", 206, "bytes 2999-2999/3000", 2999, 1},
      // The downloader asks for "offset-size": the last position is cut.
      {"bytes=1000-3000", 206, "bytes 1000-2999/3000", 1000, 2000},
      {"bytes=-5", 206, "bytes 2995-2999/3000", 2995, 5},
      {"bytes=-5000", 206, "bytes 0-2999/3000", 0, 3000},
      {"bytes=3000-", 416, "bytes */3000", 0, 0},
      {"bytes=3000-3999", 416, "bytes */3000", 0, 0},
      {"bytes=-0", 416, "bytes */3000", 0, 0},
      {"BYTES=0-4", 206, "bytes 0-4/3000", 0, 5},
      {"bytes= 0-4 ", 206, "bytes 0-4/3000", 0, 5},
      // Several ranges, another unit or an unusable header: the whole file.
      {"bytes=0-1,5-6", 200, "", 0, 3000},
      {"items=0-5", 200, "", 0, 3000},
      {"bytes=5-2", 200, "", 0, 3000},
      {"bytes=abc", 200, "", 0, 3000},
      {"bytes=-", 200, "", 0, 3000},
      {"bytes = 0-4", 200, "", 0, 3000},
  };
  for (const auto& c : kCases) {
    std::vector<std::string> headers;
    if (!c.range.empty()) headers.push_back("Range: " + c.range);
    const HttpAnswer answer = Get("/parts/ToviSetup.exe", headers);
    EXPECT_EQ(answer.status, c.status) << c.range;
    EXPECT_EQ(answer.Header("content-range"), c.contentRange) << c.range;
    if (c.status == 416) continue;
    EXPECT_EQ(answer.Header("content-length"), std::to_string(c.length)) << c.range;
    EXPECT_TRUE(answer.body == content.substr(c.first, c.length)) << c.range;
  }
  // Ranges belong to the part files only; other answers stay whole and
  // reports are stored whatever Range they carry.
  for (const char* range : {"bytes=1-", "items=0-5", "bytes=abc", "bytes=9999-"}) {
    const HttpAnswer report = Get("/update?mid=r" + kMachine + "&bytes=1&current_part=0",
                                  {std::string("Range: ") + range});
    EXPECT_EQ(report.status, 200) << range;
    EXPECT_EQ(report.body, "OK\n") << range;
    const HttpAnswer start = Get("/start?mid=r" + kMachine, {std::string("Range: ") + range});
    EXPECT_EQ(start.status, 200) << range;
    EXPECT_TRUE(ParseJson(start.body)) << range;
  }
  EXPECT_EQ(Events().size(), 8u);

  // An empty part has no byte to send: every range is unsatisfiable.
  box_.Write("parts/empty.bin", "");
  for (const char* range : {"bytes=-5", "bytes=0-"}) {
    const HttpAnswer answer = Get("/parts/empty.bin", {std::string("Range: ") + range});
    EXPECT_EQ(answer.status, 416) << range;
    EXPECT_EQ(answer.Header("content-range"), "bytes */0") << range;
  }
}

TEST_F(ServerTest, LargeSparsePartIsServedWith64BitOffsets) {
  const int64_t size = (int64_t{5} << 30) + 20;
  const std::string tail = "0123456789abcdefghij";
  {
    const int fd = open(box_.Path("parts/ToviSetup-3.bin").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    const bool made =
        ftruncate(fd, size) == 0 && pwrite(fd, tail.data(), tail.size(), size - 20) == 20;
    close(fd);
    if (!made) GTEST_SKIP() << "no sparse 5 GiB file here";
  }
  const HttpAnswer answer =
      Get("/parts/ToviSetup-3.bin", {"Range: bytes=" + std::to_string(size - 20) + "-"});
  EXPECT_EQ(answer.status, 206);
  EXPECT_EQ(answer.Header("content-range"), "bytes 5368709120-5368709139/5368709140");
  EXPECT_EQ(answer.body, tail);

  // The large part is hashed once (which takes a while on a busy machine),
  // not on every request.
  for (int i = 0; i < 2; ++i) {
    JsonPtr json = ParseJson(HttpGet(server_.Url("/start?mid=big" + kMachine), {}, 240).body);
    ASSERT_TRUE(json);
    EXPECT_EQ(JsonText(json.get(), "size_3"), "5368709140");
    EXPECT_EQ(JsonText(json.get(), "sha256_3").size(), 64u);
  }
  EXPECT_EQ(CountOf(box_.Read("server.log"), "hashed ToviSetup-3.bin"), 1u);
}

TEST_F(ServerTest, PathsOutsideThePartsDirectoryAreRefused) {
  const std::string secret = "secret content";
  box_.Write("secret.txt", secret);
  fs::create_symlink(box_.Path("secret.txt"), box_.Path("parts/link.bin"));
  fs::create_directories(box_.Path("parts/sub"));
  box_.Write("parts/sub/inner.bin", secret);
  const char* const kTargets[] = {
      "/parts/../secret.txt",
      "/parts/..%2fsecret.txt",
      "/parts/%2e%2e%2fsecret.txt",
      "/parts/..%5csecret.txt",
      "/parts/..",
      "/parts/%2e%2e",
      "/parts//etc/passwd",
      "/parts/%2Fetc%2Fpasswd",
      "/parts/link.bin",
      "/parts/sub",
      "/parts/sub/inner.bin",
      "/parts/sub%2finner.bin",
      "/parts/ToviSetup.exe%00.txt",
      "/parts/",
  };
  for (const char* target : kTargets) {
    const HttpAnswer answer = Get(target);
    EXPECT_TRUE(answer.status == 403 || answer.status == 404) << target << " " << answer.status;
    EXPECT_EQ(answer.body.find(secret), std::string::npos) << target;
    EXPECT_EQ(answer.body.find("root:"), std::string::npos) << target;
  }
  // Neither the link nor the directory is offered as a part.
  JsonPtr json = ParseJson(Get("/start?mid=p" + kMachine).body);
  ASSERT_TRUE(json);
  EXPECT_EQ(JsonInt(json.get(), "parts"), 3);
}

TEST_F(ServerTest, PagesAndUnknownPaths) {
  for (int n = 1; n <= 4; ++n) {
    const HttpAnswer page = Get("/tovi/parte" + std::to_string(n));
    EXPECT_EQ(page.status, 200) << n;
    EXPECT_EQ(page.Header("content-type").rfind("text/html", 0), 0u) << n;
    EXPECT_EQ(page.body.find("href=\"app:100\"") != std::string::npos, n == 1) << n;
  }
  EXPECT_EQ(Get("/polvex_tovi").status, 200);
  for (const char* target : {"/tovi/parte5", "/tovi/parte0", "/", "/nothing", "/start/x"}) {
    EXPECT_EQ(Get(target).status, 404) << target;
  }
}

INSTANTIATE_TEST_SUITE_P(Stores, ServerStoreTest, testing::Values(Store::kSqlite, Store::kPostgres),
                         StoreName);

class ServerStopTest : public ServerTest,
                       public testing::WithParamInterface<std::tuple<int, Store>> {
 protected:
  void SetUp() override { StartWith(std::get<1>(GetParam())); }
};

TEST_P(ServerStopTest, StopsCleanlyWithTheDatabaseIntact) {
  ASSERT_EQ(Get("/pause?mid=s" + kMachine + "&bytes=9&current_part=1").status, 200);
  EXPECT_EQ(server_.Stop(std::get<0>(GetParam())), 0) << box_.Read("server.log");
  EXPECT_FALSE(fs::exists(DbPath() + "-wal"));
  const auto rows = Events();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].event, "pause");
  EXPECT_EQ(HttpGet(server_.Url("/tovi/parte1")).transferred, false);
}

INSTANTIATE_TEST_SUITE_P(Signals, ServerStopTest,
                         testing::Combine(testing::Values(SIGTERM, SIGINT),
                                          testing::Values(Store::kSqlite, Store::kPostgres)));

TEST(ServerRateLimit, PartDownloadsArePacedPerConnection) {
  Sandbox box;
  fs::create_directories(box.Path("parts"));
  const std::string content = Pattern(100000, 4);
  box.Write("parts/ToviSetup.exe", content);
  ServerProcess server;
  ASSERT_TRUE(server.Start({"--port", "0", "--parts", box.Path("parts"), "--db",
                            box.Path("events.sqlite3"), "--rate-limit", "40000"},
                           box.Path("server.log")));
  // 100000 bytes at 40000 a second cannot arrive in under 2 s; a machine
  // slower than expected only makes it later.
  const auto began = std::chrono::steady_clock::now();
  const HttpAnswer answer = HttpGet(server.Url("/parts/ToviSetup.exe"));
  const auto took = std::chrono::steady_clock::now() - began;
  EXPECT_EQ(answer.status, 200);
  EXPECT_TRUE(answer.body == content);
  EXPECT_GE(took, std::chrono::seconds(2));
  // Reports are not paced.
  const auto reportBegan = std::chrono::steady_clock::now();
  EXPECT_EQ(HttpGet(server.Url("/update?mid=r" + kMachine + "&bytes=1&current_part=0")).status,
            200);
  EXPECT_LT(std::chrono::steady_clock::now() - reportBegan, std::chrono::seconds(2));
}

TEST(ServerCommandLine, HelpBadOptionsAndMissingParts) {
  Sandbox box;
  std::string output;
  EXPECT_EQ(RunServerToEnd({"--help"}, output), 0);
  EXPECT_NE(output.find("--parts DIR"), std::string::npos);
  EXPECT_EQ(RunServerToEnd({"--bogus"}, output), 2);
  EXPECT_EQ(RunServerToEnd({"--port", "70000"}, output), 2);
  EXPECT_EQ(RunServerToEnd({"--port"}, output), 2);
  EXPECT_EQ(RunServerToEnd({"--rate-limit", "-1"}, output), 2);
  EXPECT_EQ(RunServerToEnd({"--rate-limit", "1k"}, output), 2);
  for (const char* url : {"ftp://cdn/parts/", "http://", "http:///x", "http://cdn/a b/",
                          "http://cdn/\"x", "parts/"}) {
    EXPECT_EQ(RunServerToEnd({"--parts-base-url", url}, output), 2) << url;
  }
  EXPECT_EQ(
      RunServerToEnd({"--port", "0", "--parts", box.Path("none"), "--db", box.Path("db.sqlite3")},
                     output),
      1);
}

}  // namespace
