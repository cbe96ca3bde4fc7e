// Parts over HTTPS through Schannel, against servers on loopback with
// certificates made for the run (openssl s_server, started by the
// tovi_https_servers CTest fixture: scripts/test-https-servers).
//
// The test CA is handed to libcurl as a file. Wine's Schannel does not check
// the server's certificate on its own (it took a self-signed one and one for
// another name alike), so under Wine only libcurl's own check, which runs
// with a CA file, can refuse anything. That check builds the chain with the
// system's crypt32 and matches DNS names only, hence "localhost".
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
    SetTrustedCertificatesForTesting(dir_ + "ca.pem");
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
    bool taken;
  } cases[] = {{"good", true}, {"wrong", false}, {"self", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.server);
    const std::string path = sandbox_.Path(std::string(c.server) + ".q9tovi");
    LogCapture log;
    EXPECT_EQ(DownloadFile(path, Url(c.server), kPartSize, 0), c.taken);
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
