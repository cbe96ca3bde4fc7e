// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include "identity/mac_address.h"

namespace {
// The list is asked for in one fixed buffer; a machine with more adapters
// than fit gets no MAC text rather than a second, differently sized call.
constexpr ULONG kAdapterBufferBytes = 4000;
}  // namespace

std::string GetMacAddressText() {
  alignas(IP_ADAPTER_INFO) unsigned char buffer[kAdapterBufferBytes] = {};
  ULONG size = kAdapterBufferBytes;
  auto* first = reinterpret_cast<IP_ADAPTER_INFO*>(buffer);
  if (GetAdaptersInfo(first, &size) != NO_ERROR) return {};
  // Six bytes whatever AddressLength says: the field always holds eight.
  return FormatMacText(first->Address);
}
