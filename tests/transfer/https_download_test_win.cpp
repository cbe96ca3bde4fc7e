// Parts over HTTPS through Schannel, against servers on loopback with
// certificates made for the run (openssl s_server, started by the
// tovi_https_servers CTest fixture: scripts/test-https-servers).
//
// Under Wine the program hands libcurl the system's roots, since Wine's
// Schannel does not check certificates itself; libcurl then checks the chain
// and the name. The test CA cannot be made a system root there (Wine's root
// store ignores additions), so it is given as a file for the cases that need
// it; without it even the certificate from the test CA is refused. libcurl's
// name check matches DNS names only, hence "localhost".
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/log_capture.h"
#include "support/sandbox.h"
#include "transfer/download_file.h"
#include "transfer/transfer_state.h"
#include "transfer/web_schemes.h"

namespace {

constexpr int64_t kPartSize = 5000;

class HttpsDownloadTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("TOVI_TEST_HTTPS_DIR");
    ASSERT_NE(dir, nullptr) << "no tovi_https_servers fixture (TOVI_TEST_HTTPS_DIR)";
    dir_ = std::string("Z:") + dir + "/";
    SetStallBoundForTesting(5000);
  }
  void TearDown() override {
    SetTrustedCertificatesForTesting("");
    SetStallBoundForTesting(kDefaultStallBoundMs);
  }

  std::string Url(const std::string& server) const {
    return "https://localhost:" + ReadFileBytes(dir_ + server + ".port") + "/part";
  }

  Sandbox sandbox_;
  std::string dir_;
};

TEST_F(HttpsDownloadTest, VerifiedCertificateOnly) {
  const std::string body = ReadFileBytes(dir_ + "part.bin");
  ASSERT_EQ(body.size(), static_cast<size_t>(kPartSize));
  const struct {
    const char* server;
    bool testCaTrusted;
    bool taken;
  } cases[] = {
      {"good", true, true},
      {"wrong", true, false},
      {"self", true, false},
      {"good", false, false},  // the system's roots alone
  };
  for (const auto& c : cases) {
    const std::string name = std::string(c.server) + (c.testCaTrusted ? "" : "-untrusted");
    SCOPED_TRACE(name);
    SetTrustedCertificatesForTesting(c.testCaTrusted ? dir_ + "ca.pem" : "");
    const std::string path = sandbox_.Path(name + ".q9tovi");
    LogCapture log;
    EXPECT_EQ(DownloadFile(path, Url(c.server), kPartSize, 0), c.taken)
        << testing::PrintToString(log.Bodies());
    // The bytes are random: compared, not printed.
    const std::string got = ReadFileBytes(path);
    if (c.taken) {
      EXPECT_TRUE(got == body) << got.size() << " bytes";
    } else {
      EXPECT_TRUE(log.Contains("SSL peer certificate or SSH remote key was not OK"))
          << testing::PrintToString(log.Bodies());
      EXPECT_TRUE(got.empty()) << got.size() << " bytes written";
    }
  }
}

}  // namespace
