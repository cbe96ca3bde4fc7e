#include "transfer/tls_platform.h"

bool ApplyPlatformTlsOptions(CURL* curl) {
  // Schannel also asks whether the certificate was revoked. A revoked one is
  // still refused; but when the revocation server cannot be reached (a
  // firewall, a proxy, an outage), or a certificate names none, the part is
  // fetched anyway, as browsers do: an unreachable list must not stop a
  // download.
  return curl_easy_setopt(curl, CURLOPT_SSL_OPTIONS,
                          static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT)) == CURLE_OK;
}
