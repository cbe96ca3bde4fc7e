#include "transfer/web_schemes.h"

#include "transfer/tls_platform.h"

namespace {
std::string trustedForTesting;
}  // namespace

bool LimitToWebWithVerification(CURL* curl) {
  // A libcurl without TLS knows no "https" and refuses the list: it keeps to
  // HTTP, as before.
  const bool withTls =
      curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
      curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
  if (!withTls && (curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http") != CURLE_OK ||
                   curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http") != CURLE_OK)) {
    return false;
  }
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!trustedForTesting.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, trustedForTesting.c_str());
  return !withTls || ApplyPlatformTlsOptions(curl, !trustedForTesting.empty());
}

void SetTrustedCertificatesForTesting(const std::string& pemFile) { trustedForTesting = pemFile; }
