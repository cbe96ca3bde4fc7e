// Keys are directories below $XDG_CONFIG_HOME/tovi/registry/HKEY_CURRENT_USER
// (~/.config when unset); a key's default value is the file "@" in it,
// holding the string as UTF-16LE code units with the terminator, as the
// registry stores a string value. Missing keys are not created on open, as
// with the registry.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace {
std::string RootKeyPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config != nullptr && *config != '\0') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home ? home : "") + "/.config";
  }
  return base + "/tovi/registry/HKEY_CURRENT_USER";
}

std::vector<uint16_t> ToUtf16(const std::wstring& text) {
  std::vector<uint16_t> units;
  for (wchar_t wc : text) {
    auto c = static_cast<uint32_t>(wc);
    if (c >= 0x10000) {
      c -= 0x10000;
      units.push_back(static_cast<uint16_t>(0xD800 + (c >> 10)));
      units.push_back(static_cast<uint16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      units.push_back(static_cast<uint16_t>(c));
    }
  }
  units.push_back(0);
  return units;
}
}  // namespace

CRegistry::CRegistry() : key_(new std::string(RootKeyPath())) {}

CRegistry::~CRegistry() { Close(); }

void CRegistry::Close() {
  delete static_cast<std::string*>(key_);
  key_ = nullptr;
}

bool CRegistry::Open(const std::wstring& subKey) {
  if (key_ == nullptr) return false;
  std::string path = *static_cast<std::string*>(key_);
  path += '/';
  for (wchar_t c : subKey) {
    if (c == L'\\') {
      path += '/';
    } else if (c < 0x80) {
      path += static_cast<char>(c);
    } else {
      return false;  // key names of this program are ASCII
    }
  }
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  Close();
  key_ = new std::string(path);
  return true;
}

bool CRegistry::QueryDefault(std::wstring* text, size_t limitBytes) {
  if (key_ == nullptr) return false;
  const std::string file = *static_cast<std::string*>(key_) + "/@";
  std::FILE* in = std::fopen(file.c_str(), "rb");
  if (in == nullptr) return false;
  std::vector<unsigned char> bytes(limitBytes + 1);
  const size_t got = std::fread(bytes.data(), 1, bytes.size(), in);
  std::fclose(in);
  if (got > limitBytes) return false;  // does not fit, like ERROR_MORE_DATA
  text->clear();
  for (size_t i = 0; i + 1 < got; i += 2) {
    uint32_t unit = bytes[i] | (bytes[i + 1] << 8);
    if (unit == 0) break;
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < got) {
      const uint32_t low = bytes[i + 2] | (bytes[i + 3] << 8);
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    text->push_back(static_cast<wchar_t>(unit));
  }
  return true;
}

bool CRegistry::SetDefault(const std::wstring& text) {
  if (key_ == nullptr) return false;
  const std::string file = *static_cast<std::string*>(key_) + "/@";
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) return false;
  bool ok = true;
  for (uint16_t unit : ToUtf16(text)) {
    const unsigned char pair[2] = {static_cast<unsigned char>(unit & 0xFF),
                                   static_cast<unsigned char>(unit >> 8)};
    ok = ok && std::fwrite(pair, 1, 2, out) == 2;
  }
  return std::fclose(out) == 0 && ok;
}
