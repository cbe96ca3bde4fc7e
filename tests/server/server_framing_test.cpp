// Strict HTTP/1.1 framing against the real server, over raw sockets: every
// malformed shape of RFC 9112 gets 400 and a closed connection and stores
// nothing (nor does a second request hidden behind it); a request that
// announces a body gets 413 at once and is closed; the shapes the standard
// allows still work. The gate itself is also fed byte by byte.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "server/raw_connection.h"
#include "server/request_gate.h"
#include "server/server_process.h"
#include "server/server_test_support.h"
#include "support/sandbox.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

std::string Report(const std::string& mid) {
  return "/update?mid=" + mid + "&game=29&distributor=0&bytes=1&current_part=0";
}

std::string Line(const std::string& mid) { return "GET " + Report(mid) + " HTTP/1.1\r\n"; }

struct Shape {
  const char* what;
  std::string bytes;
  int status;
};

std::vector<Shape> MalformedShapes() {
  return {
      {"empty field name, then a second request",
       Line("a1") + "Host: x\r\n: foo\r\n" + Line("a2") + "Host: x\r\n\r\n", 400},
      {"two Content-Length", Line("b") + "Host: x\r\nContent-Length: 0\r\nContent-Length: 5\r\n\r\n",
       400},
      {"Content-Length and Transfer-Encoding",
       Line("c") + "Host: x\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 400},
      {"white space before the colon", Line("d") + "Host: x\r\nContent-Length : 5\r\n\r\n", 400},
      {"tab before the colon", Line("d2") + "Host: x\r\nX-A\t: 1\r\n\r\n", 400},
      {"unknown transfer coding", Line("e") + "Host: x\r\nTransfer-Encoding: gzip\r\n\r\n", 400},
      {"chunked twice", Line("e2") + "Host: x\r\nTransfer-Encoding: chunked, chunked\r\n\r\n", 400},
      {"HTTP/1.1 without Host", Line("f") + "\r\n", 400},
      {"two Host", Line("g") + "Host: x\r\nHost: y\r\n\r\n", 400},
      {"NUL in a value", Line("h") + "Host: x\r\nX-A: a" + std::string(1, '\0') + "b\r\n\r\n", 400},
      {"bare CR in a value", Line("i") + "Host: x\r\nX-A: a\rb\r\n\r\n", 400},
      {"bare CR in the request line", "GET " + Report("i2") + "\r HTTP/1.1\r\nHost: x\r\n\r\n", 400},
      {"obs-fold", Line("j") + "Host: x\r\nX-A: a\r\n b\r\n\r\n", 400},
      {"obs-fold of the first field", Line("j2") + " Host: x\r\n\r\n", 400},
      {"a name that is not a token", Line("k") + "Host: x\r\nX(A): 1\r\n\r\n", 400},
      {"a line without a colon", Line("k2") + "Host: x\r\nXA\r\n\r\n", 400},
      {"a control byte in a value", Line("k3") + "Host: x\r\nX-A: 1\x01\r\n\r\n", 400},
      {"Content-Length not a decimal", Line("l") + "Host: x\r\nContent-Length: 1x\r\n\r\n", 400},
      {"Content-Length as a list", Line("l2") + "Host: x\r\nContent-Length: 0, 0\r\n\r\n", 400},
      {"another HTTP version", "GET " + Report("m") + " HTTP/1.2\r\nHost: x\r\n\r\n", 400},
      {"two spaces in the request line", "GET  " + Report("m2") + " HTTP/1.1\r\nHost: x\r\n\r\n", 400},
      {"a body by length", Line("n") + "Host: x\r\nContent-Length: 5\r\n\r\nhello", 413},
      {"a chunked body", Line("o") + "Host: x\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 413},
  };
}

class ServerFramingTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(box_.Path("parts"));
    box_.Write("parts/ToviSetup.exe", Pattern(3000, 0));
    ASSERT_TRUE(server_.Start(
        {"--port", "0", "--parts", box_.Path("parts"), "--db", box_.Path("events.sqlite3")},
        box_.Path("server.log")));
  }

  std::vector<EventRow> Events() { return ReadEvents(box_.Path("events.sqlite3")); }

  Sandbox box_;
  ServerProcess server_;
};

TEST_F(ServerFramingTest, EachMalformedShapeGets400AndACloseAndStoresNothing) {
  for (const Shape& shape : MalformedShapes()) {
    RawConnection connection;
    ASSERT_TRUE(connection.Connect(server_.Address())) << shape.what;
    ASSERT_TRUE(connection.Send(shape.bytes)) << shape.what;
    const RawResponse answer = connection.Read(milliseconds(3000));
    EXPECT_EQ(answer.status, shape.status) << shape.what;
    EXPECT_EQ(answer.Header("connection"), "close") << shape.what;
    if (shape.status == 400) {
      EXPECT_EQ(answer.body.rfind("bad request: ", 0), 0u) << shape.what << ": " << answer.body;
    }
    // Closed at once: no second answer, no waiting for a body.
    EXPECT_TRUE(connection.ClosedWithin(milliseconds(2000))) << shape.what;
  }
  EXPECT_TRUE(Events().empty());
}

TEST_F(ServerFramingTest, ShapesTheStandardAllowsStillWork) {
  const Shape kGood[] = {
      {"CRLF", Line("g1") + "Host: x\r\n\r\n", 200},
      {"bare LF line ends", "GET " + Report("g2") + " HTTP/1.1\nHost: x\nX-A: 1\n\n", 200},
      {"Content-Length 0", Line("g3") + "Host: x\r\nContent-Length: 0\r\n\r\n", 200},
      {"an empty line before the request", "\r\n" + Line("g4") + "Host: x\r\n\r\n", 200},
      {"HTTP/1.0 without Host", "GET " + Report("g5") + " HTTP/1.0\r\n\r\n", 200},
      {"tabs and obs-text in a value", Line("g6") + "Host: x\r\nX-A: \ta \xc3\xb1 b\t\r\n\r\n", 200},
  };
  for (const Shape& shape : kGood) {
    RawConnection connection;
    ASSERT_TRUE(connection.Connect(server_.Address())) << shape.what;
    ASSERT_TRUE(connection.Send(shape.bytes)) << shape.what;
    EXPECT_EQ(connection.Read(milliseconds(3000)).status, 200) << shape.what;
  }
  EXPECT_EQ(Events().size(), 6u);

  // Pipelined: the good requests before a malformed one are answered and
  // stored, the malformed one gets 400, nothing after it runs.
  RawConnection connection;
  ASSERT_TRUE(connection.Connect(server_.Address()));
  ASSERT_TRUE(connection.Send(Line("p1") + "Host: x\r\n\r\n" + Line("p2") + "Host: x\r\n\r\n" +
                              Line("p3") + "Host: x\r\nX-A: a\r\n b\r\n\r\n" + Line("p4") +
                              "Host: x\r\n\r\n"));
  EXPECT_EQ(connection.Read(milliseconds(3000)).status, 200);
  EXPECT_EQ(connection.Read(milliseconds(3000)).status, 200);
  EXPECT_EQ(connection.Read(milliseconds(3000)).status, 400);
  EXPECT_TRUE(connection.ClosedWithin(milliseconds(2000)));
  const auto rows = Events();
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows[6].mid, "p1");
  EXPECT_EQ(rows[7].mid, "p2");
}

TEST_F(ServerFramingTest, ASlowBodyIsRefusedAtOnce) {
  // The body is announced and never sent (or trickled): refused as soon as
  // the header is in, the connection closed, not held.
  RawConnection connection;
  ASSERT_TRUE(connection.Connect(server_.Address()));
  ASSERT_TRUE(connection.Send(Line("slow") + "Host: x\r\nContent-Length: 100000\r\n\r\nx"));
  const auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(connection.Read(milliseconds(3000)).status, 413);
  EXPECT_TRUE(connection.ClosedWithin(milliseconds(2000)));
  EXPECT_LT(std::chrono::steady_clock::now() - began, milliseconds(1000));
  EXPECT_TRUE(Events().empty());
}

// The gate gives the same verdict and the same bytes however the input is cut.
TEST(RequestGate, SameVerdictByteByByte) {
  std::vector<Shape> shapes = MalformedShapes();
  shapes.push_back({"good", Line("x") + "Host: x\r\n\r\n" + Line("y") + "Host: y\r\n\r\n", 200});
  for (const Shape& shape : shapes) {
    RequestGate whole;
    std::string wholeOut;
    whole.Feed(shape.bytes.data(), shape.bytes.size(), wholeOut);
    RequestGate bytewise;
    std::string bytewiseOut;
    for (char c : shape.bytes) bytewise.Feed(&c, 1, bytewiseOut);
    EXPECT_EQ(wholeOut, bytewiseOut) << shape.what;
    EXPECT_EQ(whole.RefusedRequest(), bytewise.RefusedRequest()) << shape.what;
    EXPECT_EQ(whole.RefusedRequest() != 0, shape.status == 400) << shape.what;
    if (shape.status == 400) {
      // Nothing after the fault reaches the engine.
      EXPECT_EQ(wholeOut.find("a2"), std::string::npos) << shape.what;
    }
  }
}

}  // namespace
