// Which schemes each kind of request takes. Now that libcurl speaks TLS on
// every platform, only these settings keep HTTPS away from the statistics
// requests and the pages, and every other scheme away from all of them.
#include "transfer/web_schemes.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/test_socket.h"
#include "transfer/http_only.h"

namespace {

struct CurlCleanup {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

TEST(WebSchemes, EachRequestKindTakesItsSchemesOnly) {
  // A closed port: a scheme that is allowed fails to connect, one that is
  // not fails before any connection.
  uint16_t closedPort = 0;
  CloseTestSocket(ListenOnLoopback(&closedPort));
  ASSERT_NE(closedPort, 0);
  const std::string hostAndPort = "127.0.0.1:" + std::to_string(closedPort) + "/x";
  const struct {
    bool (*limit)(CURL*);
    const char* limitName;
    const char* scheme;
    CURLcode result;
  } cases[] = {
      {LimitToHttp, "http only", "http", CURLE_COULDNT_CONNECT},
      {LimitToHttp, "http only", "https", CURLE_UNSUPPORTED_PROTOCOL},
      {LimitToHttp, "http only", "ftp", CURLE_UNSUPPORTED_PROTOCOL},
      {LimitToWebWithVerification, "web", "http", CURLE_COULDNT_CONNECT},
      {LimitToWebWithVerification, "web", "https", CURLE_COULDNT_CONNECT},
      {LimitToWebWithVerification, "web", "ftp", CURLE_UNSUPPORTED_PROTOCOL},
      {LimitToWebWithVerification, "web", "ftps", CURLE_UNSUPPORTED_PROTOCOL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.limitName) + " " + c.scheme);
    std::unique_ptr<CURL, CurlCleanup> curl(curl_easy_init());
    ASSERT_TRUE(curl);
    const std::string url = std::string(c.scheme) + "://" + hostAndPort;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, 10L);
    ASSERT_TRUE(c.limit(curl.get()));
    EXPECT_EQ(curl_easy_perform(curl.get()), c.result);
  }
}

}  // namespace
