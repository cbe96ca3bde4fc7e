#include "identity/mac_address.h"

#include <cstdio>

std::string FormatMacText(const unsigned char* bytes) {
  char text[18] = {};
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", bytes[0], bytes[1], bytes[2],
                bytes[3], bytes[4], bytes[5]);
  return text;
}
