#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/socket.h>

#include <fstream>
#include <memory>
#include <string>

#include "identity/mac_address.h"

namespace {
struct InterfaceListFree {
  void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

// Virtual interfaces (ifb, veth, some tunnels) get a new random address each
// time they are created; such an address would change the identifier from
// boot to boot. The kernel marks them with address assign type 1.
bool HasRandomAddress(const char* name) {
  std::ifstream in(std::string("/sys/class/net/") + name + "/addr_assign_type");
  int type = 0;
  return static_cast<bool>(in >> type) && type == 1;
}
}  // namespace

std::string GetMacAddressText() {
  ifaddrs* raw = nullptr;
  if (getifaddrs(&raw) != 0) return {};
  const std::unique_ptr<ifaddrs, InterfaceListFree> list(raw);
  // The kernel lists interfaces by index, so the first match is the same
  // interface from run to run while the hardware stays.
  for (const ifaddrs* entry = list.get(); entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_PACKET) continue;
    if ((entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
    const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
    if (link->sll_halen != 6 || HasRandomAddress(entry->ifa_name)) continue;
    return FormatMacText(link->sll_addr);
  }
  return {};
}
