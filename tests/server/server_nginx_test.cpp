// tovi-server beside nginx: the byte-range answers compared with nginx's on
// the same files, and the scaled layout's nginx configuration (nginx serving
// the parts, the statistics routes passed to two servers sharing one
// PostgreSQL database). Skipped where nginx is not installed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "server/http_client.h"
#include "server/nginx_process.h"
#include "server/postgres_cluster.h"
#include "server/server_process.h"
#include "server/server_test_support.h"
#include "support/sandbox.h"

namespace {

namespace fs = std::filesystem;
const std::string kMachine = "&game=29&distributor=0";

#define SKIP_WITHOUT_NGINX()                                                         \
  if (NginxProcess::Program().empty()) {                                             \
    GTEST_SKIP() << "nginx is not installed (no /usr/sbin/nginx or /usr/bin/nginx)"; \
  }

TEST(ServerBesideNginx, RangesAnswerAsNginxDoesSaveWhereTheProtocolSaysOtherwise) {
  SKIP_WITHOUT_NGINX();
  Sandbox box;
  fs::create_directories(box.Path("parts"));
  const std::string content = Pattern(3000, 0);
  box.Write("parts/ToviSetup.exe", content);
  ServerProcess server;
  ASSERT_TRUE(server.Start(
      {"--port", "0", "--parts", box.Path("parts"), "--db", box.Path("events.sqlite3")},
      box.Path("server.log")));
  NginxProcess nginx;
  ASSERT_TRUE(nginx.Start(box.Dir(), "server { listen 127.0.0.1:@PORT@; location /parts/ { alias " +
                                         box.Path("parts") + "/; } }"))
      << box.Read("nginx-error.log");

  struct Case {
    const char* range;
    // 0: answered exactly as nginx answers. Otherwise nginx differs and this
    // is the status here: the whole file (200) where the protocol says an
    // unusable header is ignored and where several ranges are asked for.
    int ownStatus;
  };
  const Case kCases[] = {
      {"bytes=0-", 0},
      {"bytes=10-19", 0},
      {"bytes=1000-3000", 0},
      {"bytes=2999-2999", 0},
      {"bytes=5-", 0},
      {"bytes=-5", 0},
      {"bytes=-5000", 0},
      {"bytes=3000-", 0},
      {"bytes=3000-3999", 0},
      {"bytes=-0", 0},
      {"bytes=99999999999999999999-", 0},
      {"BYTES=0-4", 0},
      {"bytes= 0-4 ", 0},
      {"bytes = 0-4", 0},
      {"items=0-5", 0},
      {"bytes=", 0},
      // nginx: 416 for a header it cannot parse; ignored here.
      {"bytes=abc", 200},
      {"bytes=5-2", 200},
      {"bytes=-", 200},
      // nginx: 416 past the 64-bit range; here a last position past the end
      // is cut to the end, however large.
      {"bytes=0-99999999999999999999", 206},
      // nginx: a multipart answer, or the one satisfiable range; the whole
      // file here, which the protocol allows and the downloader never asks.
      {"bytes=0-1,5-6", 200},
      {"bytes=0-1,3000-", 200},
  };
  for (const auto& c : kCases) {
    const std::vector<std::string> headers = {std::string("Range: ") + c.range};
    const HttpAnswer own = HttpGet(server.Url("/parts/ToviSetup.exe"), headers);
    const HttpAnswer theirs =
        HttpGet("http://" + nginx.Address() + "/parts/ToviSetup.exe", headers);
    ASSERT_TRUE(own.transferred && theirs.transferred) << c.range;
    if (c.ownStatus == 0) {
      EXPECT_EQ(own.status, theirs.status) << c.range;
      EXPECT_EQ(own.Header("content-range"), theirs.Header("content-range")) << c.range;
      if (own.status != 416) {
        EXPECT_TRUE(own.body == theirs.body) << c.range;
      }
    } else {
      EXPECT_NE(own.status, theirs.status) << c.range << " (nginx changed?)";
      EXPECT_EQ(own.status, c.ownStatus) << c.range;
      if (own.status == 200) {
        EXPECT_TRUE(own.body == content) << c.range;
      }
    }
    EXPECT_EQ(own.Header("accept-ranges"), "bytes") << c.range;
  }
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// nginx in front of two servers that share one PostgreSQL database, the
// parts served by nginx: the configuration docs/deployment.md gives.
TEST(ServerBesideNginx, ScaledLayoutSharesOneDatabaseAndServesPartsFromNginx) {
  SKIP_WITHOUT_NGINX();
  PostgresCluster& cluster = PostgresCluster::Shared();
  if (!cluster.Available()) GTEST_SKIP() << "PostgreSQL tests skipped: " << cluster.Reason();
  const std::string conninfo = cluster.NewDatabase();
  ASSERT_FALSE(conninfo.empty());
  Sandbox box;
  fs::create_directories(box.Path("parts"));
  const std::string names[] = {"ToviSetup.exe", "ToviSetup-1.bin"};
  for (int i = 0; i < 2; ++i) box.Write("parts/" + names[i], Pattern(200000 + i, i));

  const int nginxPort = FreeLoopbackPort();
  const std::string front = "127.0.0.1:" + std::to_string(nginxPort);
  ServerProcess servers[2];
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(servers[i].Start({"--port", "0", "--parts", box.Path("parts"), "--db", conninfo,
                                  "--parts-base-url", "http://" + front + "/parts/"},
                                 box.Path("server" + std::to_string(i) + ".log")));
  }
  std::string config = ReadFileBytes(TOVI_NGINX_CONF);
  ASSERT_FALSE(config.empty());
  config = Replace(config, "@PARTS@", box.Path("parts"));
  config = Replace(config, "@SERVER1@", servers[0].Address());
  config = Replace(config, "@SERVER2@", servers[1].Address());
  NginxProcess nginx;
  ASSERT_TRUE(nginx.Start(box.Dir(), config, nginxPort)) << box.Read("nginx-error.log");
  const std::string base = "http://" + front;

  // Reports go to both servers in turn; the resume answer, from either,
  // sees them all.
  ASSERT_EQ(HttpGet(base + "/start?mid=scaled" + kMachine).status, 200);
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(HttpGet(base + "/update?mid=scaled" + kMachine + "&bytes=" + std::to_string(i) +
                      "&current_part=" + std::to_string(i % 2))
                  .status,
              200);
  }
  for (int i = 0; i < 2; ++i) {
    const HttpAnswer resume = HttpGet(base + "/resume?mid=scaled" + kMachine);
    ASSERT_EQ(resume.status, 200);
    EXPECT_NE(resume.body.find("\"current_part\": 1"), std::string::npos) << resume.body;
    EXPECT_NE(resume.body.find("\"url_1\": \"" + base + "/parts/ToviSetup-1.bin\""),
              std::string::npos)
        << resume.body;
  }
  EXPECT_EQ(ReadPostgresEvents(conninfo).size(), 9u);
  const std::string log0 = box.Read("server0.log");
  const std::string log1 = box.Read("server1.log");
  EXPECT_NE(log0.find("/update?"), std::string::npos);
  EXPECT_NE(log1.find("/update?"), std::string::npos);

  // The parts come from nginx, whole and resumed; the servers do not serve
  // them themselves.
  const HttpAnswer whole = HttpGet(base + "/parts/ToviSetup-1.bin");
  EXPECT_EQ(whole.status, 200);
  EXPECT_TRUE(whole.body == Pattern(200001, 1));
  const HttpAnswer rest = HttpGet(base + "/parts/ToviSetup-1.bin", {"Range: bytes=200000-200001"});
  EXPECT_EQ(rest.status, 206);
  EXPECT_EQ(rest.body, Pattern(200001, 1).substr(200000));
  EXPECT_EQ(HttpGet(servers[0].Url("/parts/ToviSetup-1.bin")).status, 404);
}

}  // namespace
