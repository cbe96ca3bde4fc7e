#include "transfer/http_only.h"

bool LimitToHttp(CURL* curl) {
  return curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http") == CURLE_OK &&
         curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http") == CURLE_OK;
}
