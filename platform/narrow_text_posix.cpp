// UTF-8 both ways. A byte that is not part of valid UTF-8 (a file name need
// not be) becomes U+DC00 + byte on the way in and the same byte on the way
// out, so no path is changed by a round trip.
#include <cstdint>

#include "platform/narrow_text.h"
#include "platform/utf8.h"

namespace {
constexpr uint32_t kEscapeBase = 0xDC00;
}  // namespace

std::wstring WidenText(const std::string& text) {
  std::wstring wide;
  for (size_t i = 0; i < text.size();) {
    uint32_t code = 0;
    const size_t length = DecodeUtf8(text, i, &code);
    if (length == 0) {
      wide += static_cast<wchar_t>(kEscapeBase + static_cast<uint8_t>(text[i]));
      ++i;
    } else {
      wide += static_cast<wchar_t>(code);
      i += length;
    }
  }
  return wide;
}

std::string NarrowText(const std::wstring& text) {
  std::string out;
  for (wchar_t wc : text) {
    const auto c = static_cast<uint32_t>(wc);
    if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) {
      out += static_cast<char>(c - kEscapeBase);
    } else if (c <= 0x10FFFF) {
      AppendUtf8(out, c);
    }
  }
  return out;
}
