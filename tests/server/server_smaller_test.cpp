// The smaller guarantees: part URLs from the server's own address whatever
// Host a client sends; a digest that follows an in-place rewrite whose
// modification time was put back; ETag, Last-Modified and If-Range on parts;
// a part that cannot be read refused by name (and the log not flooded); a
// read-only SQLite database refused at start-up.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "server/http_client.h"
#include "server/raw_connection.h"
#include "server/server_process.h"
#include "server/server_test_support.h"
#include "support/sandbox.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

const std::string kMachine = "&game=29&distributor=0";

std::string Sha256Sum(const std::string& path) {
  std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(("sha256sum '" + path + "'").c_str(), "r"),
                                                pclose);
  char hex[65] = {};
  return pipe && std::fread(hex, 1, 64, pipe.get()) == 64 ? std::string(hex) : std::string();
}

std::string JsonValue(const std::string& body, const std::string& key) {
  const std::string marker = "\"" + key + "\": \"";
  const size_t at = body.find(marker);
  if (at == std::string::npos) return {};
  const size_t end = body.find('"', at + marker.size());
  return body.substr(at + marker.size(), end - at - marker.size());
}

size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class ServerSmallerTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(box_.Path("parts"));
    box_.Write("parts/ToviSetup.exe", Pattern(3000, 0));
    box_.Write("parts/ToviSetup-1.bin", Pattern(2000, 1));
  }

  void Start(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--port",           "0",    "--parts",
                                     box_.Path("parts"), "--db", DbPath()};
    args.insert(args.end(), extra.begin(), extra.end());
    ASSERT_TRUE(server_.Start(args, box_.Path("server.log"))) << box_.Read("server.log");
  }

  virtual std::string DbPath() const { return box_.Path("events.sqlite3"); }

  HttpAnswer Get(const std::string& target, const std::vector<std::string>& headers = {}) {
    return HttpGet(server_.Url(target), headers);
  }

  Sandbox box_;
  ServerProcess server_;
};

TEST_F(ServerSmallerTest, PartUrlsComeFromTheServersAddressNotTheClientsHost) {
  Start();
  const std::string base = "http://" + server_.Address() + "/parts/";
  for (const char* host : {"Host: tovi.example:8101", "Host: evil.example", "Host: a\"b/c"}) {
    const HttpAnswer answer = Get("/start?mid=u" + kMachine, {host});
    EXPECT_EQ(JsonValue(answer.body, "url_0"), base + "ToviSetup.exe") << host;
    EXPECT_EQ(JsonValue(answer.body, "url_1"), base + "ToviSetup-1.bin") << host;
  }
  EXPECT_EQ(server_.Stop(), 0);
  Start({"--parts-base-url", "http://cdn.example/tovi/"});
  EXPECT_EQ(JsonValue(Get("/start?mid=u" + kMachine, {"Host: evil.example"}).body, "url_0"),
            "http://cdn.example/tovi/ToviSetup.exe");
}

TEST_F(ServerSmallerTest, ADigestFollowsARewriteWhoseTimeWasPutBack) {
  Start();
  const std::string path = box_.Path("parts/ToviSetup-1.bin");
  const std::string before = JsonValue(Get("/start?mid=d" + kMachine).body, "sha256_1");
  EXPECT_EQ(before, Sha256Sum(path));
  // Same size, other bytes, the modification time put back as it was.
  const auto time = fs::last_write_time(path);
  {
    FILE* file = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    const std::string other = Pattern(2000, 7);
    ASSERT_EQ(std::fwrite(other.data(), 1, other.size(), file), other.size());
    std::fclose(file);
  }
  fs::last_write_time(path, time);
  ASSERT_EQ(fs::last_write_time(path), time);
  const std::string after = JsonValue(Get("/start?mid=d" + kMachine).body, "sha256_1");
  EXPECT_NE(after, before);
  EXPECT_EQ(after, Sha256Sum(path));
}

TEST_F(ServerSmallerTest, PartsCarryValidatorsAndHonourIfRange) {
  Start();
  const std::string content = Pattern(3000, 0);
  const HttpAnswer whole = Get("/parts/ToviSetup.exe");
  const std::string etag = whole.Header("etag");
  const std::string lastModified = whole.Header("last-modified");
  ASSERT_EQ(etag.size() > 2 && etag.front() == '"' && etag.back() == '"', true) << etag;
  ASSERT_NE(lastModified.find(" GMT"), std::string::npos) << lastModified;
  struct Case {
    std::string ifRange;
    long status;
  };
  const Case kCases[] = {
      {etag, 206},
      {lastModified, 206},
      {"\"other\"", 200},
      {"W/" + etag, 200},
      {"Thu, 01 Jan 1970 00:00:00 GMT", 200},
  };
  for (const auto& c : kCases) {
    const HttpAnswer answer =
        Get("/parts/ToviSetup.exe", {"Range: bytes=100-199", "If-Range: " + c.ifRange});
    EXPECT_EQ(answer.status, c.status) << c.ifRange;
    EXPECT_TRUE(answer.body == (c.status == 206 ? content.substr(100, 100) : content)) << c.ifRange;
    EXPECT_EQ(answer.Header("etag"), etag) << c.ifRange;
  }
  // The part replaced (a new file renamed over it): the old tag no longer
  // matches, so the client gets the new part whole.
  box_.Write("parts/ToviSetup.new", Pattern(3000, 5));
  fs::rename(box_.Path("parts/ToviSetup.new"), box_.Path("parts/ToviSetup.exe"));
  const HttpAnswer replaced =
      Get("/parts/ToviSetup.exe", {"Range: bytes=100-199", "If-Range: " + etag});
  EXPECT_EQ(replaced.status, 200);
  EXPECT_TRUE(replaced.body == Pattern(3000, 5));
  EXPECT_NE(replaced.Header("etag"), etag);
}

// Root reads and writes whatever the modes say: the server then runs as an
// unprivileged user.
bool RunUnprivileged(ServerProcess& server, const Sandbox& box) {
  if (geteuid() != 0) return true;
  const passwd* nobody = getpwnam("nobody");
  if (nobody == nullptr) return false;
  server.RunAs(nobody->pw_uid, nobody->pw_gid);
  for (fs::path dir = box.Dir(); dir.has_relative_path() && dir != dir.root_path();
       dir = dir.parent_path()) {
    if (dir.filename().empty()) continue;
    struct stat info {};
    if (stat(dir.c_str(), &info) == 0 && (info.st_mode & S_IXOTH) == 0) {
      chmod(dir.c_str(), info.st_mode | S_IXOTH);
    }
  }
  chmod(box.Dir().c_str(), 0777);
  return true;
}

TEST_F(ServerSmallerTest, APartThatCannotBeReadIsRefusedByName) {
  if (!RunUnprivileged(server_, box_)) GTEST_SKIP() << "no unprivileged user to run the server as";
  chmod(box_.Path("parts").c_str(), 0755);
  chmod(box_.Path("parts/ToviSetup.exe").c_str(), 0644);
  chmod(box_.Path("parts/ToviSetup-1.bin").c_str(), 0644);
  Start();
  ASSERT_EQ(Get("/start?mid=r" + kMachine).status, 200);
  chmod(box_.Path("parts/ToviSetup-1.bin").c_str(), 0);
  for (int i = 0; i < 50; ++i) {
    const HttpAnswer answer = Get("/start?mid=r" + kMachine);
    ASSERT_EQ(answer.status, 503);
    EXPECT_NE(answer.body.find("ToviSetup-1.bin"), std::string::npos) << answer.body;
    EXPECT_EQ(answer.Header("retry-after"), "1");
  }
  // The log names it, once and then in a summary, not fifty times.
  const std::string log = box_.Read("server.log");
  EXPECT_GE(CountOf(log, "cannot read part ToviSetup-1.bin"), 1u) << log;
  EXPECT_LE(CountOf(log, "cannot read part ToviSetup-1.bin"), 3u) << log;
}

TEST_F(ServerSmallerTest, AReadOnlySqliteDatabaseIsRefusedAtStartUp) {
  if (!RunUnprivileged(server_, box_)) GTEST_SKIP() << "no unprivileged user to run the server as";
  struct Case {
    const char* what;
    mode_t fileMode;
    mode_t dirMode;
  };
  for (const Case c : {Case{"file", 0444, 0777}, Case{"directory", 0666, 0555}}) {
    const std::string dir = box_.Path(std::string("db-") + c.what);
    fs::create_directories(dir);
    box_.Write(std::string("db-") + c.what + "/events.sqlite3", "");
    chmod((dir + "/events.sqlite3").c_str(), c.fileMode);
    chmod(dir.c_str(), c.dirMode);
    std::string output;
    const bool started = server_.Start({"--port", "0", "--parts", box_.Path("parts"), "--db",
                                        dir + "/events.sqlite3"},
                                       box_.Path("server.log"));
    EXPECT_FALSE(started) << c.what;
    EXPECT_EQ(server_.Stop(), 1) << c.what;
    chmod(dir.c_str(), 0777);
  }
  const std::string log = box_.Read("server.log");
  EXPECT_EQ(CountOf(log, "cannot open the database"), 2u) << log;
  EXPECT_EQ(CountOf(log, "check the file's and its directory's permissions"), 2u) << log;
}

}  // namespace
