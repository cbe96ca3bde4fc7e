#include "platform/log.h"

// One byte per character, ISO 8859-1; the body ends at the first character
// outside that range.
std::string EncodeWideLogText(const std::wstring& body) {
  std::string out;
  for (wchar_t wc : body) {
    if (static_cast<uint32_t>(wc) > 0xFF) break;
    out += static_cast<char>(static_cast<unsigned char>(wc));
  }
  return out;
}
