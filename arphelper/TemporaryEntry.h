#pragma once

// The neighbour table work behind a temporary entry, shared by the ARP service and by the tool
// run as root: what the host knows about a target, the marked entry placed and taken out, the
// removal of an entry that found nobody, and the clean-up of marked entries past any hold.

#include "arphelper/HelperRequest.h"
#include "net/RouteNetlink.h"

namespace qubra::arphelper {

// Link, route, gateways, the link's subnets and the entry at the address; with Probe, where no
// station is known there, whether one answers an ARP request.
TRefusal ReadTarget(rtnl::TRouteNetlink& Netlink, const THelperRequest& Request, TTarget& Target, bool Probe);

// Removes every marked entry older than the longest hold: no live hold is that old.
void SweepLeftovers(rtnl::TRouteNetlink& Netlink);

// Checks the target and places the marked entry.
TRefusal PlaceEntry(rtnl::TRouteNetlink& Netlink, const THelperRequest& Request);
// Takes the held entry out again, when it is still the one placed.
void RemoveEntry(rtnl::TRouteNetlink& Netlink, const THelperRequest& Request);

// Removes an entry that found nobody; any other is refused.
TRefusal DeleteEntry(rtnl::TRouteNetlink& Netlink, const THelperRequest& Request);

} // namespace qubra::arphelper
