// tovi-server under a small descriptor limit (ulimit -n 256): it lowers
// --max-connections to what fits and says so, and past that limit clients
// get 503 at once instead of waiting unanswered; a part that exists is never
// 404 and /start never fails for want of descriptors.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "server/raw_connection.h"
#include "server/server_process.h"
#include "server/server_test_support.h"
#include "support/sandbox.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

std::string Request(const std::string& target) {
  return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

TEST(ServerDescriptors, ASmallLimitLowersMaxConnectionsAndRefusesPastIt) {
  Sandbox box;
  fs::create_directories(box.Path("parts"));
  box.Write("parts/ToviSetup.exe", Pattern(3000, 0));
  box.Write("parts/ToviSetup-1.bin", Pattern(4 << 20, 1));
  ServerProcess server;
  server.SetDescriptorLimit(256);
  ASSERT_TRUE(server.Start({"--port", "0", "--parts", box.Path("parts"), "--db",
                            box.Path("events.sqlite3"), "--max-connections-per-client", "4096",
                            "--threads", "2", "--rate-limit", "100000"},
                           box.Path("server.log")));
  const std::string log = box.Read("server.log");
  const size_t said = log.find("--max-connections lowered to ");
  ASSERT_NE(said, std::string::npos) << log;
  const int fits = std::atoi(log.c_str() + said + std::string("--max-connections lowered to ").size());
  EXPECT_GT(fits, 16);
  EXPECT_LT(fits, 128);

  // Connections that each hold a part being sent (slowly, and to a reader
  // that stops after the header), up to the limit and past it.
  std::vector<std::unique_ptr<RawConnection>> held;
  int sending = 0;
  int refused = 0;
  for (int i = 0; i < fits + 40; ++i) {
    auto connection = std::make_unique<RawConnection>();
    ASSERT_TRUE(connection->Connect(server.Address(), 4096));
    ASSERT_TRUE(connection->Send(Request("/parts/ToviSetup-1.bin")));
    const RawResponse answer = connection->ReadHeader(milliseconds(3000));
    // Every connection is answered: the part, or 503 past the limit.
    ASSERT_TRUE(answer.status == 200 || answer.status == 503) << i << ": " << answer.status;
    if (answer.status == 200) ++sending;
    if (answer.status == 503) ++refused;
    held.push_back(std::move(connection));
  }
  EXPECT_GE(sending, fits - 2);
  EXPECT_GE(refused, 30);

  // The header of a 200 part answer arrived with its body held back; the
  // descriptors held meanwhile did not turn a part into a 404 nor /start
  // into "cannot be read".
  held.clear();
  std::this_thread::sleep_for(milliseconds(300));
  RawConnection later;
  ASSERT_TRUE(later.Connect(server.Address()));
  ASSERT_TRUE(later.Send(Request("/parts/ToviSetup.exe")));
  EXPECT_EQ(later.Read(milliseconds(3000)).status, 200);
  ASSERT_TRUE(later.Send(Request("/start?mid=fd&game=29&distributor=0")));
  EXPECT_EQ(later.Read(milliseconds(3000)).status, 200);
  EXPECT_EQ(server.Stop(), 0);
}

TEST(ServerDescriptors, ALimitWithNoRoomIsRefusedAtStartUp) {
  Sandbox box;
  fs::create_directories(box.Path("parts"));
  box.Write("parts/ToviSetup.exe", Pattern(3000, 0));
  ServerProcess server;
  server.SetDescriptorLimit(64);
  EXPECT_FALSE(server.Start(
      {"--port", "0", "--parts", box.Path("parts"), "--db", box.Path("events.sqlite3")},
      box.Path("server.log")));
  EXPECT_EQ(server.Stop(), 1);
  EXPECT_NE(box.Read("server.log").find("raise it (ulimit -n)"), std::string::npos)
      << box.Read("server.log");
}

}  // namespace
