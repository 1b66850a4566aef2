#pragma once

// The neighbour table work of the ARP helper: the one temporary entry it holds, the removal of
// entries that are not permanent, and the clean-up of entries left by a helper that was killed.

#include "arphelper/HelperRequest.h"
#include "net/RouteNetlink.h"

namespace qubra::arphelper {

// The abstract socket name that tells other helpers this address's entry has a live holder.
class TLiveName {
public:
    TLiveName() = default;
    ~TLiveName();
    TLiveName(const TLiveName&) = delete;
    TLiveName& operator=(const TLiveName&) = delete;
    // False when another process holds the name (or no socket could be made).
    bool Bind(int IfIndex, std::uint32_t IP);

private:
    int Fd = -1;
};

// Removes every marked entry whose holder is gone.
void SweepLeftovers(rtnl::TRouteNetlink& Netlink);

// Checks the target and places the marked entry; Name stays bound while it is held.
TRefusal PlaceEntry(rtnl::TRouteNetlink& Netlink, const THelperRequest& Request, TLiveName& Name);
// Takes the held entry out again, when it is still the one placed.
void RemoveEntry(rtnl::TRouteNetlink& Netlink, const THelperRequest& Request);

// Removes an entry that is not permanent, or a permanent one on a link without ARP, where it
// resolves nothing.
TRefusal DeleteEntry(rtnl::TRouteNetlink& Netlink, const THelperRequest& Request);

} // namespace qubra::arphelper
