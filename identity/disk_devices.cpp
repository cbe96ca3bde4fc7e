#include "identity/disk_devices.h"

#include <cstring>

namespace {

// Word ranges of the IDENTIFY text fields: serial number, firmware, model.
bool IsTextWord(size_t index) {
  return (index >= 10 && index <= 19) || (index >= 23 && index <= 46);
}

}  // namespace

IdentifyWords IdentifyWordsFromBytes(const unsigned char* bytes, bool textInReadingOrder) {
  IdentifyWords words{};
  for (size_t i = 0; i < words.size(); ++i) {
    const unsigned first = bytes[2 * i];
    const unsigned second = bytes[2 * i + 1];
    const bool readingOrder = textInReadingOrder && IsTextWord(i);
    words[i] = static_cast<uint16_t>(readingOrder ? (first << 8) | second : (second << 8) | first);
  }
  return words;
}

std::string DescriptorStringAt(const unsigned char* block, size_t size, size_t offset) {
  // A driver's offset is not trusted: it may point past the block, and the
  // string may run to the block's end without a terminator.
  if (block == nullptr || offset == 0 || offset >= size) return {};
  const auto* begin = reinterpret_cast<const char*>(block + offset);
  const void* zero = std::memchr(begin, 0, size - offset);
  const size_t length =
      zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - begin) : size - offset;
  return std::string(begin, length);
}
