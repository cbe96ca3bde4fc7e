// The texts the client builds from what it is given: a part's file name
// from its URL, and a query value for a statistics request. The encoded value
// holds only characters that keep their meaning inside a query value, and
// percent-decoding gives the original back byte for byte.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "stats/download_records.h"
#include "stats/stats_requests.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // the encoder writes upper-case digits only
}

bool StaysAsIs(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         (c != '\0' && std::strchr("-._~:@/?!$'()*,", c) != nullptr);
}

void CheckFileName(const std::string& url, char separator) {
  const std::string name = FileNameFromUrl(url, separator);
  FUZZ_CHECK(name.find(separator) == std::string::npos);
  FUZZ_CHECK(name.size() <= url.size());
  FUZZ_CHECK(url.compare(url.size() - name.size(), name.size(), name) == 0);
  if (name.size() < url.size()) FUZZ_CHECK(url[url.size() - name.size() - 1] == separator);
}

void CheckQueryValue(const std::string& value) {
  const std::string encoded = EncodeQueryValue(value);
  std::string decoded;
  for (size_t i = 0; i < encoded.size(); ++i) {
    const char c = encoded[i];
    if (c != '%') {
      FUZZ_CHECK(c != '\0' && StaysAsIs(c));
      decoded += c;
      continue;
    }
    FUZZ_CHECK(i + 2 < encoded.size());
    const int high = HexValue(encoded[i + 1]);
    const int low = HexValue(encoded[i + 2]);
    FUZZ_CHECK(high >= 0 && low >= 0);
    const char byte = static_cast<char>(high * 16 + low);
    // Only what would not stay as it is gets escaped.
    FUZZ_CHECK(!StaysAsIs(byte));
    decoded += byte;
    i += 2;
  }
  FUZZ_CHECK(decoded == value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CheckFileName(text, '/');
  CheckFileName(text, '\\');
  CheckQueryValue(text);

  int64_t number = 0;
  std::memcpy(&number, data, size < sizeof number ? size : sizeof number);
  const std::string decimal = FormatInt64(number);
  int64_t back = 0;
  const auto result = std::from_chars(decimal.data(), decimal.data() + decimal.size(), back);
  FUZZ_CHECK(result.ec == std::errc() && result.ptr == decimal.data() + decimal.size());
  FUZZ_CHECK(back == number);
  return 0;
}
