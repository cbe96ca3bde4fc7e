#include "platform/log.h"
#include "platform/utf8.h"

// Outside Windows the narrow texts are UTF-8, so wide bodies are too.
std::string EncodeWideLogText(const std::wstring& body) {
  std::string out;
  for (wchar_t wc : body) {
    const auto c = static_cast<uint32_t>(wc);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) break;
    AppendUtf8(out, c);
  }
  return out;
}

std::string EncodeNarrowLogText(const std::string& body) { return body; }
