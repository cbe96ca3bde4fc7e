// Parts over HTTPS: a server on loopback with certificates made for the test
// (openssl s_server). A certificate from a trusted issuer for the address
// asked for is taken; one for another host name, or one nobody vouches for,
// is refused before any byte is written.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "support/child_process.h"
#include "support/http_fixture.h"
#include "support/log_capture.h"
#include "support/sandbox.h"
#include "support/test_socket.h"
#include "transfer/download_file.h"
#include "transfer/transfer_state.h"
#include "transfer/web_schemes.h"

namespace {

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

bool Accepts(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return connected;
}

class HttpsDownloadTest : public testing::Test {
 protected:
  void SetUp() override {
    SetStallBoundForTesting(5000);
    const std::string dir = sandbox_.Dir();
    const std::string quiet = " >/dev/null 2>&1";
    const std::string key = " -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2";
    sandbox_.Write("ip.ext", "subjectAltName=IP:127.0.0.1\n");
    sandbox_.Write("wrong.ext", "subjectAltName=DNS:wrong.example\n");
    made_ = Shell("cd '" + dir + "' && openssl req -x509" + key +
                  " -keyout ca.key -out ca.pem -subj /CN=TestCA" + quiet) &&
            Shell("cd '" + dir + "' && openssl req" + key +
                  " -keyout good.key -out good.csr -subj /CN=127.0.0.1" + quiet) &&
            Shell("cd '" + dir +
                  "' && openssl x509 -req -in good.csr -CA ca.pem -CAkey ca.key -CAcreateserial"
                  " -days 2 -out good.pem -extfile ip.ext" +
                  quiet) &&
            Shell("cd '" + dir + "' && openssl req" + key +
                  " -keyout wrong.key -out wrong.csr -subj /CN=wrong.example" + quiet) &&
            Shell("cd '" + dir +
                  "' && openssl x509 -req -in wrong.csr -CA ca.pem -CAkey ca.key -CAcreateserial"
                  " -days 2 -out wrong.pem -extfile wrong.ext" +
                  quiet) &&
            Shell("cd '" + dir + "' && openssl req -x509" + key +
                  " -keyout self.key -out self.pem -subj /CN=127.0.0.1"
                  " -addext subjectAltName=IP:127.0.0.1" +
                  quiet);
    sandbox_.Write("part.bin", PatternBytes(0, 5000));
    SetTrustedCertificatesForTesting(sandbox_.Path("ca.pem"));
  }
  void TearDown() override {
    SetTrustedCertificatesForTesting("");
    SetStallBoundForTesting(kDefaultStallBoundMs);
  }

  // Serves the sandbox over HTTPS with the named certificate; the port, or
  // 0 when the server did not come up within five seconds.
  uint16_t Serve(const std::string& name) {
    uint16_t port = 0;
    CloseTestSocket(ListenOnLoopback(&port));
    const std::string command = "cd '" + sandbox_.Dir() + "' && exec openssl s_server -quiet -WWW" +
                                " -accept 127.0.0.1:" + std::to_string(port) + " -cert " + name +
                                ".pem -key " + name + ".key";
    if (!server_.Start("/bin/sh", {"-c", command}, {})) return 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
      if (Accepts(port)) return port;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
  }

  Sandbox sandbox_;
  ChildProcess server_;
  bool made_ = false;
};

TEST_F(HttpsDownloadTest, VerifiedCertificateOnly) {
  ASSERT_TRUE(made_) << "openssl could not make the test certificates";
  const struct {
    const char* certificate;
    bool taken;
  } cases[] = {{"good", true}, {"wrong", false}, {"self", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.certificate);
    const uint16_t port = Serve(c.certificate);
    ASSERT_NE(port, 0);
    const std::string path = sandbox_.Path(std::string(c.certificate) + ".q9tovi");
    LogCapture log;
    EXPECT_EQ(
        DownloadFile(path, "https://127.0.0.1:" + std::to_string(port) + "/part.bin", 5000, 0),
        c.taken);
    if (c.taken) {
      EXPECT_EQ(ReadFileBytes(path), PatternBytes(0, 5000));
    } else {
      EXPECT_TRUE(log.Contains("SSL peer certificate or SSH remote key was not OK"))
          << testing::PrintToString(log.Bodies());
      EXPECT_EQ(ReadFileBytes(path), "");
    }
    server_.Kill();
  }
}

}  // namespace
