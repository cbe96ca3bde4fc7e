#include "identity/kernel_serial.h"

#include <algorithm>

std::string SerialFromAttributeText(const std::string& content) {
  std::string text = content.substr(0, content.find('\0'));
  // Only the line end is the kernel's; blanks around the serial are the
  // drive's own and are dealt with by the decoding, as on other systems.
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string SerialFromVpdPage(const std::string& content) {
  constexpr size_t kHeader = 4;
  if (content.size() < kHeader || static_cast<unsigned char>(content[1]) != 0x80) return {};
  const size_t length = (static_cast<size_t>(static_cast<unsigned char>(content[2])) << 8) |
                        static_cast<unsigned char>(content[3]);
  const std::string serial = content.substr(kHeader, std::min(length, content.size() - kHeader));
  return serial.substr(0, serial.find('\0'));
}
