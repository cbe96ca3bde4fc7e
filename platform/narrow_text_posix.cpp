// UTF-8 both ways. A byte that is not part of valid UTF-8 (a file name need
// not be) becomes U+DC00 + byte on the way in and the same byte on the way
// out, so no path is changed by a round trip.
#include <cstdint>

#include "platform/narrow_text.h"
#include "platform/utf8.h"

namespace {
constexpr uint32_t kEscapeBase = 0xDC00;

// Length of the valid UTF-8 sequence at text[i] and its code point; 0 when
// there is none.
size_t DecodeOne(const std::string& text, size_t i, uint32_t* code) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t lead = byte(i);
  size_t length = 0;
  uint32_t value = 0;
  uint32_t minimum = 0;
  if (lead < 0x80) {
    *code = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(i + k) & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *code = value;
  return length;
}
}  // namespace

std::wstring WidenText(const std::string& text) {
  std::wstring wide;
  for (size_t i = 0; i < text.size();) {
    uint32_t code = 0;
    const size_t length = DecodeOne(text, i, &code);
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
