#include "server/http_client.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace {

struct CurlCleanup {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct ListCleanup {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

size_t CollectBody(char* data, size_t size, size_t count, void* target) {
  static_cast<HttpAnswer*>(target)->body.append(data, size * count);
  return size * count;
}

size_t CollectHeader(char* data, size_t size, size_t count, void* target) {
  const std::string line(data, size * count);
  const size_t colon = line.find(':');
  if (colon != std::string::npos) {
    std::string name = line.substr(0, colon);
    for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(" \t"));
    while (!value.empty() && (value.back() == '\r' || value.back() == '\n')) value.pop_back();
    static_cast<HttpAnswer*>(target)->headers[name] = value;
  }
  return size * count;
}

}  // namespace

HttpAnswer HttpGet(const std::string& url, const std::vector<std::string>& extraHeaders,
                   long timeoutSeconds) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  HttpAnswer answer;
  std::unique_ptr<CURL, CurlCleanup> curl(curl_easy_init());
  if (!curl) return answer;
  std::unique_ptr<curl_slist, ListCleanup> headers;
  for (const auto& header : extraHeaders) {
    headers.reset(curl_slist_append(headers.release(), header.c_str()));
  }
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PROXY, "");
  curl_easy_setopt(c, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 5L);
  curl_easy_setopt(c, CURLOPT_TIMEOUT, timeoutSeconds);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, CollectBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &answer);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, CollectHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &answer);
  if (curl_easy_perform(c) != CURLE_OK) return answer;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &answer.status);
  answer.transferred = true;
  return answer;
}
