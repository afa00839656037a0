#include "ports/posix/posix_adapters.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/socket.h>

#include <algorithm>
#include <climits>

namespace zeva::posix {

std::optional<HardwareAddress> PosixAdapters::FirstAdapterAddress() {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return std::nullopt;
  std::optional<HardwareAddress> best;
  int bestIndex = INT_MAX;
  for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET) continue;
    if (entry->ifa_flags & IFF_LOOPBACK) continue;
    const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
    if (link->sll_halen < 6 || link->sll_ifindex >= bestIndex) continue;
    HardwareAddress address{};
    std::copy_n(link->sll_addr, 6, address.begin());
    best = address;
    bestIndex = link->sll_ifindex;
  }
  ::freeifaddrs(list);
  return best;
}

}  // namespace zeva::posix
