#include <windows.h>

#include "platform/log.h"
#include "platform/utf8.h"

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

namespace {
// A run of characters through the ANSI code page, "?" for the ones it lacks.
void AppendInAnsiCodePage(std::string& out, const std::wstring& run) {
  if (run.empty()) return;
  const int size = static_cast<int>(run.size());
  const int length =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, run.data(), size, nullptr, 0, "?", nullptr);
  if (length <= 0) return;
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, run.data(), size, bytes.data(), length, "?",
                      nullptr);
  out += bytes;
}
}  // namespace

std::string EncodeNarrowLogText(const std::string& body) {
  // A system whose ANSI code page is UTF-8 takes the text as it is (the
  // conversion refuses these flags for UTF-8).
  if (GetACP() == CP_UTF8) return body;
  std::string out;
  out.reserve(body.size());
  std::wstring run;
  for (size_t i = 0; i < body.size();) {
    uint32_t code = 0;
    const size_t length = DecodeUtf8(body, i, &code);
    if (length == 0) {
      AppendInAnsiCodePage(out, run);
      run.clear();
      out += body[i++];
      continue;
    }
    if (code >= 0x10000) {
      run += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
      run += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      run += static_cast<wchar_t>(code);
    }
    i += length;
  }
  AppendInAnsiCodePage(out, run);
  return out;
}
