#include "ui/app_address.h"

namespace {
template <typename Char>
bool Parse(std::basic_string_view<Char> address, uint32_t* command) {
  constexpr char kPrefix[] = "app:";
  if (address.size() < 4) return false;
  for (size_t i = 0; i < 4; ++i) {
    Char c = address[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<Char>(c - 'A' + 'a');
    if (c != static_cast<Char>(kPrefix[i])) return false;
  }
  size_t at = 4;
  while (at < address.size() && (address[at] == ' ' || address[at] == '\t')) ++at;
  uint32_t value = 0;
  for (; at < address.size() && address[at] >= '0' && address[at] <= '9'; ++at) {
    value = value * 10u + static_cast<uint32_t>(address[at] - '0');
  }
  *command = value;
  return true;
}
}  // namespace

bool ParseAppAddress(std::wstring_view address, uint32_t* command) {
  return Parse(address, command);
}

bool ParseAppAddress(std::string_view address, uint32_t* command) {
  return Parse(address, command);
}
