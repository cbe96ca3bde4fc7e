// A plain GET on 127.0.0.1 for the server tests, with libcurl.
#pragma once

#include <map>
#include <string>
#include <vector>

struct HttpAnswer {
  bool transferred = false;  // false when no answer came
  long status = 0;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;

  std::string Header(const std::string& lowerName) const {
    const auto found = headers.find(lowerName);
    return found == headers.end() ? std::string() : found->second;
  }
};

// The URL is sent as it is (dot segments included); at most timeoutSeconds.
HttpAnswer HttpGet(const std::string& url, const std::vector<std::string>& extraHeaders = {},
                   long timeoutSeconds = 20);
