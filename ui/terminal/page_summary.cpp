#include "ui/terminal/page_summary.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>

#include "platform/narrow_text.h"
#include "platform/thread.h"
#include "platform/window_messages.h"
#include "transfer/http_only.h"
#include "ui/app_address.h"
#include "ui/page_commands.h"

namespace {
constexpr size_t kPageLimit = 256 * 1024;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::wstring PlainText(const std::string& html) {
  std::string text;
  bool inTag = false;
  for (char c : html) {
    if (c == '<')
      inTag = true;
    else if (c == '>')
      inTag = false;
    else if (!inTag)
      text += (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
  }
  const size_t first = text.find_first_not_of(' ');
  const size_t last = text.find_last_not_of(' ');
  return first == std::string::npos ? L"" : WidenText(text.substr(first, last - first + 1));
}

struct FetchRequest {
  std::string address;
  void* window;
  intptr_t serial;
};

size_t Collect(char* data, size_t size, size_t count, void* target) {
  auto* page = static_cast<std::string*>(target);
  const size_t bytes = size * count;
  if (page->size() + bytes > kPageLimit) return 0;  // too big: give up
  page->append(data, bytes);
  return bytes;
}

uint32_t FetchMain(void* argument) {
  std::unique_ptr<FetchRequest> request(static_cast<FetchRequest*>(argument));
  std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
  if (!curl) return 0;
  // A page may redirect anywhere; only HTTP is ever followed.
  if (!LimitToHttp(curl.get())) return 0;
  std::string page;
  curl_easy_setopt(curl.get(), CURLOPT_URL, request->address.c_str());
  curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &page);
  curl_easy_setopt(curl.get(), CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS, 5000L);
  curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, 10000L);
  curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
  long status = 0;
  if (curl_easy_perform(curl.get()) != CURLE_OK ||
      curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status != 200) {
    return 0;
  }
  auto* summary = new PageSummary(SummarizePage(page));
  if (!PostWindowMessage(request->window, WM_PAGE_SUMMARY, reinterpret_cast<uintptr_t>(summary),
                         request->serial)) {
    delete summary;
  }
  return 0;
}
}  // namespace

PageSummary SummarizePage(const std::string& html) {
  PageSummary summary;
  const std::string lower = Lower(html);
  const size_t titleOpen = lower.find("<title");
  if (titleOpen != std::string::npos) {
    const size_t start = lower.find('>', titleOpen);
    const size_t end = lower.find("</title", start == std::string::npos ? titleOpen : start);
    if (start != std::string::npos && end != std::string::npos) {
      summary.title = PlainText(html.substr(start + 1, end - start - 1));
    }
  }
  size_t at = 0;
  while (summary.links.size() < 9 && (at = lower.find("href=", at)) != std::string::npos) {
    at += 5;
    if (at >= html.size()) break;
    const char quote = html[at];
    size_t valueEnd;
    std::string value;
    if (quote == '"' || quote == '\'') {
      valueEnd = html.find(quote, at + 1);
      if (valueEnd == std::string::npos) break;
      value = html.substr(at + 1, valueEnd - at - 1);
    } else {
      valueEnd = html.find_first_of(" >", at);
      if (valueEnd == std::string::npos) break;
      value = html.substr(at, valueEnd - at);
    }
    uint32_t command = 0;
    if (!ParseAppAddress(std::string_view(value), &command) || !PageMayPost(command)) continue;
    const size_t textStart = html.find('>', valueEnd);
    const size_t textEnd = lower.find("</a", textStart == std::string::npos ? valueEnd : textStart);
    std::wstring text;
    if (textStart != std::string::npos && textEnd != std::string::npos) {
      text = PlainText(html.substr(textStart + 1, textEnd - textStart - 1));
    }
    summary.links.push_back({command, text.empty() ? WidenText(value) : text});
  }
  return summary;
}

void FetchPageSummary(const std::string& address, void* window, intptr_t serial) {
  auto* request = new FetchRequest{address, window, serial};
  if (!StartThread(FetchMain, request, nullptr)) delete request;
}
