#include "identity/kernel_serial.h"

#include <algorithm>
#include <fstream>

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

std::string ReadKernelAttribute(const std::string& path) {
  // sysfs attributes are at most a page; a serial is a few dozen bytes.
  constexpr size_t kAttributeBytes = 4096;
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string content(kAttributeBytes, '\0');
  in.read(content.data(), static_cast<std::streamsize>(content.size()));
  content.resize(static_cast<size_t>(in.gcount()));
  return content;
}

bool ReadKernelDiskSerial(const std::string& blockDir, std::string& serial) {
  for (const char* attribute : {"device/serial", "serial"}) {
    const std::string text = SerialFromAttributeText(ReadKernelAttribute(blockDir + attribute));
    if (!text.empty()) {
      serial = text;
      return true;
    }
  }
  const std::string text = SerialFromVpdPage(ReadKernelAttribute(blockDir + "device/vpd_pg80"));
  if (text.empty()) return false;
  serial = text;
  return true;
}
