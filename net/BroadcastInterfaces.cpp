#include "net/BroadcastInterfaces.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include "model/Conversions.h"

namespace qubra {

std::vector<TBroadcastInterface> BroadcastInterfaces()
{
    std::vector<TBroadcastInterface> found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return found;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        const unsigned flags = entry->ifa_flags;
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !(flags & IFF_UP) ||
            !(flags & IFF_BROADCAST) || (flags & IFF_LOOPBACK))
            continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        const auto* mask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask);
        found.push_back({entry->ifa_name, IPToStr(address->sin_addr.s_addr),
                         mask ? mask->sin_addr.s_addr : 0u});
    }
    freeifaddrs(list);
    return found;
}

} // namespace qubra
