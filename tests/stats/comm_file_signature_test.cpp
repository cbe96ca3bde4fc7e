// The publisher's signature of the communication file: with a key built in,
// only the exact bytes the publisher signed are taken, at a start and at a
// resume; without one, nothing changes.
#include "stats/comm_file_signature.h"

#include <gtest/gtest.h>

#include <string>

#include "stats/comm_file.h"
#include "stats/download_records.h"
#include "stats/stats_requests.h"
#include "support/http_fixture.h"
#include "support/log_capture.h"
#include "support/sandbox.h"
#include "transfer/signature_check.h"

namespace {

// A key pair made for these tests with openssl; the private halves are
// nowhere in the repository.
const char* const kPublisherKey =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE9MojXWVm8C8byGnsS16L3/dmNZeD\n"
    "3o51rCjPMGXQ8MOwE75ngce46infAod0+Z3ziRmop82WSSEaFSuOHCmjog==\n"
    "-----END PUBLIC KEY-----\n";
const char* const kOtherKey =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE@OTHER@\n"
    "-----END PUBLIC KEY-----\n";

const char* const kBody =
    R"({"parts":1,"current_part":0,"url_0":"http://127.0.0.1/parts/ToviSetup.exe","size_0":"5"})";
// kBody signed with the publisher's key, and with another key.
const char* const kPublisherSignature =
    "MEUCIQCsiwK6tfcUejOW8wIAq1pTIUoOXycoW/"
    "aPjrvdZ7PY8gIgZV3tSKhqNLH3oKHadxnk9JVVN0LmSwVsR30BtPoTb7M=";
const char* const kOtherSignature =
    "MEYCIQDtMVRTd/Qzo5j/eflHJ2ULuyAbgXhfX3GBYtb+wsvQuAIhAL8UAVk4cvH/"
    "Z7yVBarr8vVZSJX1XIU2szWmPXInB0g1";

TEST(SignatureCheck, OnlyThePublishersSignatureOfTheExactBytes) {
  std::string changed = kBody;
  changed[changed.size() - 3] = '6';
  std::string flipped = kPublisherSignature;
  flipped[20] = flipped[20] == 'A' ? 'B' : 'A';
  const struct {
    const char* name;
    std::string key;
    std::string body;
    std::string signature;
    bool holds;
  } cases[] = {
      {"signed", kPublisherKey, kBody, kPublisherSignature, true},
      {"a byte changed", kPublisherKey, changed, kPublisherSignature, false},
      {"another key's signature", kPublisherKey, kBody, kOtherSignature, false},
      {"a signature byte changed", kPublisherKey, kBody, flipped, false},
      {"no signature", kPublisherKey, kBody, "", false},
      {"not base64", kPublisherKey, kBody, "not base64!", false},
      {"cut short", kPublisherKey, kBody, std::string(kPublisherSignature).substr(0, 40), false},
      {"broken key", kOtherKey, kBody, kPublisherSignature, false},
      {"no key", "", kBody, kPublisherSignature, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VerifyEcdsaSignature(c.key, c.body, c.signature), c.holds) << c.name;
  }
}

class CommFileSignatureTest : public testing::Test {
 protected:
  void SetUp() override { SetPublisherKeyForTesting(kPublisherKey); }
  void TearDown() override {
    SetPublisherKeyForTesting("");
    ResetDownloadRecordsForTesting();
  }

  // Loads kBody (or body) answered with the given signature header.
  bool Load(bool resume, const std::string& signature, const std::string& body = kBody) {
    ResetDownloadRecordsForTesting();
    TheStatsSettings.mid = "M";
    TheStatsSettings.game = "29";
    TheStatsSettings.distributor = "0";
    TheStatsSettings.commFilePath = sandbox_.Path("comm290.tmp");
    HttpReply reply;
    reply.body = body;
    if (!signature.empty()) reply.headers = "X-Tovi-Signature: " + signature + "\r\n";
    HttpFixture server(reply);
    TheStatsSettings.baseUrl = server.Url("");
    return resume ? LoadCommFileForResume(sandbox_.Dir(), sandbox_.Path("a.q9tovi"))
                  : LoadCommFileForStart(sandbox_.Dir());
  }

  Sandbox sandbox_;
};

TEST_F(CommFileSignatureTest, SignedFileIsTakenAnythingElseRefused) {
  std::string changed = kBody;
  changed[changed.size() - 3] = '6';
  for (const bool resume : {false, true}) {
    SCOPED_TRACE(resume ? "resume" : "start");
    {
      LogCapture log;
      EXPECT_TRUE(Load(resume, kPublisherSignature)) << testing::PrintToString(log.Bodies());
      EXPECT_EQ(TheDownloadPlan.partUrls.size(), 1u);
    }
    const struct {
      const char* name;
      std::string signature;
      std::string body;
      const char* why;
    } refused[] = {
        {"no header", "", kBody, "communication file refused: it carries no signature"},
        {"another key", kOtherSignature, kBody,
         "communication file refused: its signature is not the publisher's"},
        {"a byte changed", kPublisherSignature, changed,
         "communication file refused: its signature is not the publisher's"},
    };
    for (const auto& c : refused) {
      LogCapture log;
      EXPECT_FALSE(Load(resume, c.signature, c.body)) << c.name;
      EXPECT_EQ(log.Bodies().back(), c.why) << c.name;
      EXPECT_TRUE(TheDownloadPlan.partUrls.empty()) << c.name;
    }
  }
}

// A build without a key takes what it got, signed or not, as before.
TEST_F(CommFileSignatureTest, WithoutAKeyNothingIsChecked) {
  SetPublisherKeyForTesting("");
  EXPECT_TRUE(Load(false, ""));
  EXPECT_TRUE(Load(false, kOtherSignature));
  EXPECT_TRUE(Load(true, "garbage"));
  EXPECT_EQ(TheDownloadPlan.partUrls.size(), 1u);
}

}  // namespace
