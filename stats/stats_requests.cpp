#include "stats/stats_requests.h"

#include <curl/curl.h>

#include <atomic>
#include <memory>

#include "platform/files.h"
#include "platform/log.h"
#include "platform/thread.h"
#include "platform/wait.h"
#include "stats/download_records.h"
#include "transfer/file_size.h"
#include "transfer/http_only.h"

namespace {

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;

constexpr long kConnectTimeoutSeconds = 60;
constexpr uint32_t kWaitSliceMs = 25;

// Characters a query value may carry unchanged: the unreserved ones and
// those of the query syntax that no usual query decoding gives a meaning to.
// '&', '=', ';' (pair separators), '+' (a blank to form decoders), '%' and
// '#' are left out on purpose.
bool StaysInQuery(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '-':
    case '.':
    case '_':
    case '~':
    case ':':
    case '@':
    case '/':
    case '?':
    case '!':
    case '$':
    case '\'':
    case '(':
    case ')':
    case '*':
    case ',':
      return true;
    default:
      return false;
  }
}

std::string EventUrl(const char* event) {
  const StatsSettings& settings = TheStatsSettings;
  std::string url = settings.baseUrl;
  url += '/';
  url += event;
  url += "?mid=";
  url += EncodeQueryValue(settings.mid);
  url += "&game=";
  url += EncodeQueryValue(settings.game);
  url += "&distributor=";
  url += EncodeQueryValue(settings.distributor);
  return url;
}

std::string EventUrlWithPart(const char* event, int64_t bytes) {
  std::string url = EventUrl(event);
  url += "&bytes=";
  url += FormatInt64(bytes);
  url += "&current_part=";
  url += FormatInt64(TheDownloadPlan.currentPart.load());
  return url;
}

// The body of a report answer goes nowhere: libcurl's default would write it
// to standard output.
size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

// One request's own state; the caller keeps it alive until done is set.
struct StatsRequest {
  CURL* curl = nullptr;
  bool succeeded = false;
  std::atomic<bool> done{false};
};

uint32_t RunStatsRequest(void* argument) {
  auto* request = static_cast<StatsRequest*>(argument);
  request->succeeded = curl_easy_perform(request->curl) == CURLE_OK;
  // Last touch of the request: the caller may release it right after.
  request->done.store(true, std::memory_order_release);
  return 0;
}

void DeleteCommFileForReport() {
  const std::string& path = TheStatsSettings.commFilePath;
  if (FileExists(path) && !RemoveFile(path)) LogLine("could not delete last communication file");
}

}  // namespace

std::string FormatInt64(int64_t value) {
  // Digits of the magnitude, taken as unsigned so the lowest value works too.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::string text;
  if (value < 0) text += '-';
  while (count > 0) text += digits[--count];
  return text;
}

std::string EncodeQueryValue(const std::string& value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(value.size());
  for (const char ch : value) {
    const auto c = static_cast<unsigned char>(ch);
    if (StaysInQuery(c)) {
      encoded += ch;
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 0x0F];
    }
  }
  return encoded;
}

std::string BuildStatsUrlForStart() { return EventUrl("start"); }

std::string BuildStatsUrlForResume() { return EventUrl("resume"); }

std::string BuildStatsUrlForPause(int64_t bytes) { return EventUrlWithPart("pause", bytes); }

std::string BuildStatsUrlForUpdate(int64_t bytes) { return EventUrlWithPart("update", bytes); }

std::string BuildStatsUrlForFinish(int64_t bytes) {
  return EventUrl("finish") + "&bytes=" + FormatInt64(bytes);
}

bool SendStatsRequest(const std::string& url) {
  CurlHandle curl(curl_easy_init());
  if (!curl) return false;
  curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
  if (!LimitToHttp(curl.get())) return false;
  curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, kStatsRequestTimeLimitMs);
  // Several threads run requests; time limits must not rely on signals.
  curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, DiscardBody);

  StatsRequest request;
  request.curl = curl.get();
  if (!StartThread(RunStatsRequest, &request, nullptr)) return false;
  while (!request.done.load(std::memory_order_acquire)) WaitWithMessagePump(kWaitSliceMs);
  return request.succeeded;
}

bool ReportUpdate(int64_t bytes) { return SendStatsRequest(BuildStatsUrlForUpdate(bytes)); }

bool ReportPause(int64_t bytes) {
  DeleteCommFileForReport();
  TheDownloadPlan.downloading = false;
  return SendStatsRequest(BuildStatsUrlForPause(bytes));
}

bool ReportFinish() {
  DeleteCommFileForReport();
  int64_t onDisk = 0;
  for (const std::string& path : TheDownloadPlan.partialPaths) {
    // A part that cannot be measured adds nothing rather than its -1.
    const int64_t size = QueryFileSize(path);
    if (size > 0) onDisk += size;
  }
  return SendStatsRequest(BuildStatsUrlForFinish(onDisk));
}
